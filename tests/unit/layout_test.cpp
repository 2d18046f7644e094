// marlet's window layout: the twips table and its conversion to pixels at
// different DPIs, where the window must keep its proportions and the edges
// that line up in twips must still line up.
#include "layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const layout::Control& Named(const std::string& name) {
  for (const layout::Control& c : layout::kControls) {
    if (name == c.name) return c;
  }
  ADD_FAILURE() << "no control " << name;
  return layout::kControls[0];
}

const int kDpis[] = {96, 120, 144, 168, 192, 240, 288};

TEST(LayoutTest, TwipsToPixelsRoundsToNearest) {
  EXPECT_EQ(layout::TwipsToPixels(15, 96), 1);
  EXPECT_EQ(layout::TwipsToPixels(6360, 96), 424);
  EXPECT_EQ(layout::TwipsToPixels(4440, 96), 296);
  EXPECT_EQ(layout::TwipsToPixels(7, 96), 0);    // 0.47
  EXPECT_EQ(layout::TwipsToPixels(8, 96), 1);    // 0.53
  EXPECT_EQ(layout::TwipsToPixels(1455, 144), 146);  // 145.5: half goes up
  EXPECT_EQ(layout::TwipsToPixels(-8, 96), -1);  // half away from zero both ways
  EXPECT_EQ(layout::TwipsToPixels(0, 96), 0);
  // No overflow on large values.
  EXPECT_EQ(layout::TwipsToPixels(1440000000, 960), 960000000);
}

TEST(LayoutTest, FontHeightOfCombo1) {
  EXPECT_EQ(layout::FontHeightPixels(layout::kCombo1FontHundredthsOfPoint, 96), -15);
  EXPECT_EQ(layout::FontHeightPixels(layout::kCombo1FontHundredthsOfPoint, 192), -30);
  EXPECT_EQ(layout::FontHeightPixels(layout::kCombo1FontHundredthsOfPoint, 144), -23);  // 22.5
}

TEST(LayoutTest, TableIsInTabOrderWithUniqueIds) {
  std::set<int> ids;
  int expectedTab = 0;
  for (const layout::Control& c : layout::kControls) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.name;
    EXPECT_EQ(layout::FindControl(c.id), &c);
    if (c.tabIndex >= 0) {
      EXPECT_EQ(c.tabIndex, expectedTab++) << c.name;
    } else {
      EXPECT_EQ(c.kind, layout::kImage) << c.name;
    }
  }
  EXPECT_EQ(expectedTab, 7);
  EXPECT_EQ(layout::FindControl(12345), nullptr);
  // Enter and Esc reach the buttons through the OK and cancel ids.
  EXPECT_EQ(Named("Command1").id, 1);
  EXPECT_EQ(Named("Command2").id, 2);
  // The combo box and the buttons come first, so they lie above the rest.
  EXPECT_EQ(layout::kControls[0].kind, layout::kComboBox);
  EXPECT_EQ(layout::kControls[1].kind, layout::kCommandButton);
  EXPECT_EQ(layout::kControls[2].kind, layout::kCommandButton);
}

TEST(LayoutTest, EveryBoxIsWholePixelsAt96Dpi) {
  for (const layout::Control& c : layout::kControls) {
    layout::PixelRect r = layout::ControlPixels(c, 96);
    EXPECT_EQ(r.left * 15, c.left) << c.name;
    EXPECT_EQ(r.top * 15, c.top) << c.name;
    EXPECT_EQ(r.width * 15, c.width) << c.name;
    EXPECT_EQ(r.height * 15, c.height) << c.name;
  }
  // The image box is the picture plus its border on each side.
  layout::PixelRect image = layout::ControlPixels(Named("Image1"), 96);
  EXPECT_EQ(image.width, layout::kPictureWidth + 2 * layout::kImageBorderPixels);
  EXPECT_EQ(image.height, layout::kPictureHeight + 2 * layout::kImageBorderPixels);
}

TEST(LayoutTest, RightEdgesLineUpAtEveryDpi) {
  for (int dpi : kDpis) {
    auto right = [dpi](const char* name) {
      layout::PixelRect r = layout::ControlPixels(Named(name), dpi);
      return r.left + r.width;
    };
    const int edge = right("Combo1");
    EXPECT_EQ(edge, layout::TwipsToPixels(6255, dpi)) << dpi;
    EXPECT_EQ(right("Label2"), edge) << dpi;
    EXPECT_EQ(right("Label3"), edge) << dpi;
    EXPECT_EQ(right("Command2"), edge) << dpi;
    EXPECT_EQ(right("Label1(1)"), edge) << dpi;
    EXPECT_EQ(right("Command1"), right("Label1(0)")) << dpi;
    EXPECT_LE(edge, layout::TwipsToPixels(layout::kClientWidthTwips, dpi)) << dpi;
  }
}

TEST(LayoutTest, KeepsProportionsAtHighDpi) {
  for (int dpi : kDpis) {
    for (const layout::Control& c : layout::kControls) {
      layout::PixelRect r = layout::ControlPixels(c, dpi);
      // Within a pixel of the exact scaled box.
      EXPECT_NEAR(r.left, c.left * dpi / 1440.0, 0.5 + 1e-9) << c.name << " at " << dpi;
      EXPECT_NEAR(r.width, c.width * dpi / 1440.0, 1.0) << c.name << " at " << dpi;
      EXPECT_NEAR(r.height, c.height * dpi / 1440.0, 1.0) << c.name << " at " << dpi;
      // Every box stays inside the client area.
      EXPECT_LE(r.left + r.width, layout::TwipsToPixels(layout::kClientWidthTwips, dpi));
      EXPECT_LE(r.top + r.height, layout::TwipsToPixels(layout::kClientHeightTwips, dpi));
    }
  }
}

TEST(LayoutTest, ColouredBarsSitJustUnderTheButtons) {
  const char* bars[][2] = {{"Label1(0)", "Command1"}, {"Label1(1)", "Command2"}};
  for (auto& p : bars) {
    const layout::Control& bar = Named(p[0]);
    const layout::Control& button = Named(p[1]);
    EXPECT_EQ(bar.left, button.left);
    EXPECT_EQ(bar.width, button.width);
    EXPECT_EQ(bar.top + bar.height - button.top, 15) << p[0];  // one pixel at 96 dpi
    EXPECT_TRUE(bar.border);
  }
  EXPECT_EQ(Named("Label1(0)").backColour, 0x00FF00);  // green
  EXPECT_EQ(Named("Label1(1)").backColour, 0x0000FF);  // red (0x00BBGGRR)
}

TEST(LayoutTest, TextsOfTheWindow) {
  EXPECT_EQ(std::u16string(layout::kForm1Title), u"SQL 選択");
  EXPECT_EQ(std::u16string(Named("Command1").text), u"送信");
  EXPECT_EQ(std::u16string(Named("Command2").text), u"\uFF77\uFF6C\uFF9D\uFF7E\uFF99");  // half-width katakana
  const std::u16string version = Named("Label3").text;
  EXPECT_EQ(version.substr(0, 21), u"Tovrin.exe ver 2.10  ");
  EXPECT_GT(version.size(), 21u);
  EXPECT_NE(version[21], u' ');
  EXPECT_TRUE(Named("Label3").rightAligned);
  EXPECT_TRUE(Named("Label2").rightAligned);
  EXPECT_EQ(std::u16string(Named("Combo1").text), u"");
}

}  // namespace
