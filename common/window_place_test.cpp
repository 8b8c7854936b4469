// Where secondary windows go: always inside the free screen area, beside
// their owner where it fits, clear of the middle where the wizards open.
#include "common/window_place.h"

#include <gtest/gtest.h>

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

TEST(WindowPlace, WaitWindowStaysClearOfACentredWizard) {
  for (const ScreenRect& area : {kScreen, ScreenRect{0, 0, 1024, 768}, ScreenRect{1280, 0, 1920, 1050}}) {
    const ScreenRect wait = BelowTheMiddle(382, 60, area);
    // The CD builder's window (with its title bar) in the middle of the screen.
    const ScreenRect wizard{area.x + (area.width - 660) / 2, area.y + (area.height - 500) / 2, 660, 500};
    EXPECT_TRUE(Inside(wait, area));
    EXPECT_FALSE(Overlap(wait, wizard)) << area.width << "x" << area.height;
  }
  // Screens too small to keep clear of the middle still hold all of it.
  EXPECT_TRUE(Inside(BelowTheMiddle(382, 60, kSmall), kSmall));
  const ScreenRect tiny{0, 0, 300, 200};
  EXPECT_TRUE(Inside(BelowTheMiddle(382, 60, tiny), tiny));
}

}  // namespace
}  // namespace kiv
