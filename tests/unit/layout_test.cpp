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
  EXPECT_EQ(layout::FindControl(12345), nullptr);
  // The window stacks the controls in table order: no label or picture may
  // come before (and so lie above) the combo box or a button.
  bool decorationSeen = false;
  for (const layout::Control& c : layout::kControls) {
    const bool decoration = c.kind == layout::kLabel || c.kind == layout::kImage;
    EXPECT_FALSE(decorationSeen && !decoration) << c.name << " lies under a label or the picture";
    decorationSeen = decorationSeen || decoration;
  }
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

TEST(LayoutTest, ColouredBarsTouchTheirButtonsAtEveryDpi) {
  const char* bars[][2] = {{"Label1(0)", "Command1"}, {"Label1(1)", "Command2"}};
  for (int dpi : kDpis) {
    for (auto& p : bars) {
      const layout::PixelRect bar = layout::ControlPixels(Named(p[0]), dpi);
      const layout::PixelRect button = layout::ControlPixels(Named(p[1]), dpi);
      EXPECT_EQ(bar.left, button.left) << p[0] << " at " << dpi;
      EXPECT_EQ(bar.width, button.width) << p[0] << " at " << dpi;
      // Directly above the button, its lowest edge under the button's top:
      // no gap between the two at any DPI.
      EXPECT_LT(bar.top, button.top) << p[0] << " at " << dpi;
      EXPECT_GE(bar.top + bar.height, button.top) << p[0] << " at " << dpi;
    }
  }
}

}  // namespace
