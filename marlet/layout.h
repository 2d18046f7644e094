// The layout of marlet's window Form1: the client size, every control with its
// place in twips (1/1440 inch, from the top-left corner of the client area),
// its texts and colours, and the two lines along the top edge. The window is
// built from this table, and the tests check the real window against it.
#pragma once

#include <cstdint>

namespace layout {

constexpr int kTwipsPerInch = 1440;

// Form1.
constexpr int kClientWidthTwips = 6360;
constexpr int kClientHeightTwips = 4440;
extern const char16_t kForm1Title[];  // "SQL 選択"

enum ControlKind { kComboBox, kCommandButton, kLabel, kImage };

// Control ids. Command1 and Command2 carry the ids of the default (OK) and
// cancel buttons, so that Enter and Esc reach them.
constexpr int kIdCommand1 = 1;
constexpr int kIdCommand2 = 2;
constexpr int kIdCombo1 = 1001;
constexpr int kIdLabel1_0 = 1002;
constexpr int kIdLabel1_1 = 1003;
constexpr int kIdLabel3 = 1004;
constexpr int kIdLabel2 = 1005;
constexpr int kIdImage1 = 1006;

constexpr std::int32_t kNoColour = -1;

struct Control {
  const char* name;       // "Combo1", "Label1(0)", ...
  ControlKind kind;
  int id;
  const char16_t* text;   // empty for none
  int left, top, width, height;  // twips
  int tabIndex;           // place in the tab order, -1 for none
  std::int32_t backColour;  // 0x00BBGGRR, or kNoColour for the window's own
  bool border;            // single-line border
  bool rightAligned;      // text right-aligned
};

// In tab order, which is also the stacking order from the top: the combo box
// and the buttons lie above the labels and the picture.
constexpr int kControlCount = 8;
extern const Control kControls[kControlCount];

// The lines, drawn on the window's own surface below every control. The
// colour is a system colour index.
struct Line {
  const char* name;
  int x1, y1, x2, y2;  // twips
  int systemColour;
};
constexpr int kSysColorWindow = 5;
constexpr int kSysColorButtonShadow = 16;
constexpr int kLineCount = 2;
extern const Line kLines[kLineCount];

// Combo1's own font.
extern const char16_t kCombo1FontFace[];  // "ＭＳ Ｐゴシック"
constexpr int kCombo1FontHundredthsOfPoint = 1125;
constexpr int kCombo1FontWeight = 400;
constexpr int kCombo1FontCharset = 128;  // Shift-JIS

// Image1 shows the picture at its own size inside a two-pixel border.
constexpr int kPictureWidth = 72;
constexpr int kPictureHeight = 40;
constexpr int kImageBorderPixels = 2;

// Finds a control by id; null when there is none.
const Control* FindControl(int id);

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel (half
// away from zero). 15 twips are one pixel at 96 dpi.
int TwipsToPixels(int twips, int dpi);

// A control's box in pixels. The edges are converted, not the sizes, so
// boxes whose edges line up in twips line up in pixels at any dpi.
struct PixelRect {
  int left, top, width, height;
};
PixelRect ControlPixels(const Control& control, int dpi);

// Character height (negative, as Windows expects it for a point size) of a
// font of `hundredths` hundredths of a point at `dpi`.
int FontHeightPixels(int hundredths, int dpi);

}  // namespace layout
