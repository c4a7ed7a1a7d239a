#include "app/panel_layout.h"

#include <gtest/gtest.h>

namespace jihe::app {
namespace {

TEST(PanelLayoutTest, FollowsThePanelSize) {
  struct Case {
    Size frame;
    int dragLeft;
  };
  // W / 2 - 50 keeps the half as a fraction and truncates at the end: 89 for 279, not 89.5 → 90.
  for (const Case& c : {Case{{279, 463}, 89}, Case{{280, 463}, 90}, Case{{401, 700}, 150}, Case{{1024, 768}, 462}}) {
    SCOPED_TRACE(c.frame.width);
    const PanelLayout l = LayoutPanel(c.frame);
    EXPECT_EQ(l.topTabs, (Rect{0, 2, c.frame.width - 5, c.frame.height - 38}));
    EXPECT_EQ(l.strip, (Rect{4, 43, c.frame.width - 12, c.frame.height - 85}));
    // The search box lies below the page tabs' headers, as wide as the list; the group strip and
    // its menu button move below it.
    EXPECT_EQ(l.searchBox, (Rect{4, 27, c.frame.width - 12, 22}));
    EXPECT_EQ(l.groupStrip, (Rect{4, 51, c.frame.width - 12, c.frame.height - 93}));
    EXPECT_EQ(l.pictureButton, (Rect{c.frame.width - 35, 49, 23, 23}));
    EXPECT_EQ(l.dragButton, (Rect{c.dragLeft, c.frame.height - 100, 96, 32}));
    EXPECT_EQ(l.listWidth, c.frame.width - 12);
    EXPECT_EQ(l.listColumnWidth, c.frame.width - 15);
  }
}

TEST(PanelLayoutTest, ListSitsFivePixelsIntoThePageAreaAndFourShorter) {
  const PanelLayout l = LayoutPanel({279, 463});
  // A strip whose headers take 24 pixels: its display area starts at 24, the page area at 25.
  const Rect display{2, 24, l.strip.width - 4, l.strip.height - 26};
  const Rect list = ListInStrip(l.strip, display, l);
  EXPECT_EQ(list.top, 43 + 25 + 5);  // strip top + page-area top + 5
  EXPECT_EQ(list.height, display.height - 2 - 4);
  EXPECT_EQ(list.left, 4);
  EXPECT_EQ(list.width, 279 - 12);
  // The list ends inside the strip.
  EXPECT_LE(list.top + list.height, l.strip.top + l.strip.height);
}

TEST(PanelLayoutTest, FrameAndClientConvertBothWays) {
  const Size client = ClientOfFrame({kDesignWidth, kDesignHeight});
  EXPECT_EQ(client, (Size{277, 441}));
  EXPECT_EQ(FrameOfClient(client), (Size{kDesignWidth, kDesignHeight}));
}

TEST(PanelLayoutTest, ClampKeepsTheSizeBetweenDesignAndScreen) {
  struct Case {
    Size asked, screen, expected;
  };
  for (const Case& c : {
           Case{{100, 100}, {1024, 768}, {279, 463}},
           Case{{300, 500}, {1024, 768}, {300, 500}},
           Case{{5000, 5000}, {1024, 768}, {1024, 768}},
           // A screen smaller than the design size still allows the design size.
           Case{{300, 600}, {260, 400}, {279, 463}},
       }) {
    EXPECT_EQ(ClampFrame(c.asked, c.screen), c.expected);
  }
}

}  // namespace
}  // namespace jihe::app
