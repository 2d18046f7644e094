#include "layout.h"

namespace layout {

const char16_t kForm1Title[] = u"SQL 選択";
const char16_t kCombo1FontFace[] = u"ＭＳ Ｐゴシック";

namespace {
const char16_t kLabel2Text[] = u"選んだテンプレートを SQL*Plus へ送ります";
const char16_t kLabel3Text[] = u"Tovrin.exe ver 2.10  送信すると自動で閉じます";
constexpr std::int32_t kGreen = 0x0000FF00;
constexpr std::int32_t kRed = 0x000000FF;
}  // namespace

const Control kControls[kControlCount] = {
    // name        kind            id           text        left  top   width height tab colour     border right
    {"Combo1", kComboBox, kIdCombo1, u"", 120, 240, 6135, 3330, 0, kNoColour, false, false},
    {"Command1", kCommandButton, kIdCommand1, u"送信", 3120, 3960, 1455, 375, 1, kNoColour, false, false},
    {"Command2", kCommandButton, kIdCommand2, u"ｷｬﾝｾﾙ", 4800, 3960, 1455, 375, 2, kNoColour, false, false},
    {"Label1(0)", kLabel, kIdLabel1_0, u"", 3120, 3840, 1455, 135, 3, kGreen, true, false},
    {"Label1(1)", kLabel, kIdLabel1_1, u"", 4800, 3840, 1455, 135, 4, kRed, true, false},
    {"Label3", kLabel, kIdLabel3, kLabel3Text, 1320, 3600, 4935, 255, 5, kNoColour, false, true},
    {"Label2", kLabel, kIdLabel2, kLabel2Text, 120, 45, 6135, 315, 6, kNoColour, false, true},
    {"Image1", kImage, kIdImage1, u"", 120, 3720, 1140, 660, -1, kNoColour, true, false},
};

// A two-tone rule along the top edge; both lines run past the client area's
// right edge.
const Line kLines[kLineCount] = {
    {"Line1(0)", 0, 0, 6480, 0, kSysColorButtonShadow},
    {"Line1(1)", 0, 15, 6480, 15, kSysColorWindow},
};

const Control* FindControl(int id) {
  for (const Control& c : kControls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

namespace {
// value * dpi / divisor, rounded half away from zero, in 64 bits.
int ScaleRounded(long long value, long long dpi, long long divisor) {
  long long n = value * dpi;
  long long half = divisor / 2;
  return static_cast<int>(n >= 0 ? (n + half) / divisor : -((-n + half) / divisor));
}
}  // namespace

int TwipsToPixels(int twips, int dpi) { return ScaleRounded(twips, dpi, kTwipsPerInch); }

PixelRect ControlPixels(const Control& control, int dpi) {
  int left = TwipsToPixels(control.left, dpi);
  int top = TwipsToPixels(control.top, dpi);
  int right = TwipsToPixels(control.left + control.width, dpi);
  int bottom = TwipsToPixels(control.top + control.height, dpi);
  return PixelRect{left, top, right - left, bottom - top};
}

int FontHeightPixels(int hundredths, int dpi) { return -ScaleRounded(hundredths, dpi, 7200); }

}  // namespace layout
