// Where secondary windows go: always inside the free screen area, beside
// their owner where it fits, or centred over the window that asked.
#include "common/window_place.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kiv {
namespace {

const ScreenRect kScreen{0, 0, 1280, 900};
const ScreenRect kSmall{0, 0, 800, 600};

bool Inside(const ScreenRect& r, const ScreenRect& area) {
  return r.x >= area.x && r.y >= area.y && r.Right() <= area.Right() && r.Bottom() <= area.Bottom();
}

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

TEST(WindowPlace, KeepInsideMovesBackAndShrinksOnlyWhatDoesNotFit) {
  EXPECT_EQ(KeepInside({700, 500, 560, 520}, kScreen), (ScreenRect{700, 380, 560, 520}));
  EXPECT_EQ(KeepInside({-40, -10, 560, 520}, kScreen), (ScreenRect{0, 0, 560, 520}));
  EXPECT_EQ(KeepInside({100, 100, 900, 700}, kSmall), (ScreenRect{0, 0, 800, 600}));
  // A free area below a top panel.
  const ScreenRect belowPanel{0, 30, 1280, 870};
  EXPECT_EQ(KeepInside({10, 0, 560, 520}, belowPanel), (ScreenRect{10, 30, 560, 520}));
}

TEST(WindowPlace, BesideTheOwnerWhereItFitsElseInsideTheScreen) {
  const ScreenRect help{0, 0, 560, 520};
  const ScreenRect leftWizard{0, 0, 600, 440};
  EXPECT_EQ(BesideInside(help, leftWizard, kScreen), (ScreenRect{600, 0, 560, 520}));
  const ScreenRect rightWizard{680, 200, 600, 440};
  EXPECT_EQ(BesideInside(help, rightWizard, kScreen), (ScreenRect{120, 200, 560, 520}));
  // A wizard low on the screen: the help is lifted to stay on it.
  const ScreenRect lowWizard{0, 600, 600, 300};
  EXPECT_EQ(BesideInside(help, lowWizard, kScreen), (ScreenRect{600, 380, 560, 520}));
  // Almost room on the right: narrowed to it, the wizard left uncovered.
  const ScreenRect shifted{100, 400, 664, 490};
  const ScreenRect narrowed = BesideInside({0, 0, 564, 544}, shifted, kScreen);
  EXPECT_TRUE(Inside(narrowed, kScreen));
  EXPECT_FALSE(Overlap(narrowed, shifted));
  EXPECT_EQ(narrowed.width, kScreen.Right() - shifted.Right());
  // Far too little room on either side: full size, inside the screen, over
  // the edge of the wizard on the side with more room.
  const ScreenRect wide{100, 50, 660, 470};
  const ScreenRect placed = BesideInside(help, wide, kSmall);
  EXPECT_TRUE(Inside(placed, kSmall));
  EXPECT_EQ(placed.width, help.width);
  EXPECT_LT(placed.x, wide.x);
}

TEST(WindowPlace, CentredOverTheOwnerAndStillOnTheScreen) {
  const ScreenRect wizard{300, 200, 660, 500};
  const ScreenRect wait = CentredOver(382, 60, wizard, kScreen);
  EXPECT_EQ(wait.width, 382);
  EXPECT_EQ(wait.height, 60);
  // Equal room on either side and above and below.
  EXPECT_LE(std::abs((wait.x - wizard.x) - (wizard.Right() - wait.Right())), 1);
  EXPECT_LE(std::abs((wait.y - wizard.y) - (wizard.Bottom() - wait.Bottom())), 1);
  // An owner half off the screen (or on another screen): as near as the
  // screen allows, wholly on it.
  for (const ScreenRect& owner :
       {ScreenRect{-500, -300, 660, 500}, ScreenRect{1100, 800, 660, 500}, ScreenRect{3000, 100, 660, 500}}) {
    const ScreenRect placed = CentredOver(382, 60, owner, kSmall);
    EXPECT_TRUE(Inside(placed, kSmall)) << owner.x << "," << owner.y;
    EXPECT_TRUE(placed.x == kSmall.x || placed.Right() == kSmall.Right()) << owner.x;
  }
}

TEST(WindowPlace, AFrameGoesThroughTheCommandLineAsOneWord) {
  for (const ScreenRect& frame : {ScreenRect{120, 80, 660, 470}, ScreenRect{-1920, -40, 800, 600}}) {
    const std::string word = ScreenRectText(frame);
    EXPECT_EQ(word.find(' '), std::string::npos) << word;
    EXPECT_EQ(ParseScreenRect(word), frame) << word;
  }
  EXPECT_EQ(ScreenRectText({120, 80, 660, 470}), "120,80,660,470");
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,2,3,4", "1, 2,3,4", "1,2,3,4x", ",1,2,3"})
    EXPECT_FALSE(ParseScreenRect(bad).has_value()) << bad;
}

}  // namespace
}  // namespace kiv
