// What each mouse event of drag-sort mode means.
#include "library/drag_sort.h"

#include <gtest/gtest.h>

#include "library/messages.h"

namespace jihe::library {
namespace {

std::string Describe(const DragSort::Drop& d) {
  if (d.refusal) return "refused";
  if (d.from) return "move " + std::to_string(*d.from) + " to " + std::to_string(*d.to);
  return d.clearSelection ? "nothing, selection cleared" : "nothing";
}

TEST(DragSortTest, AReleaseMovesOnlyATakenRowOfAnOwnGroup) {
  const TabRef own{false, 0}, team{true, 0};
  struct Case {
    const char* name;
    bool armed, overList;
    int from, to;
    size_t rows;
    std::optional<TabRef> shown;
    std::string expected;
  };
  const Case cases[] = {
      {"onto another row", true, true, 0, 2, 3, own, "move 0 to 2"},
      {"below the last row", true, true, 1, -1, 3, own, "move 1 to -1"},
      {"onto itself", true, true, 1, 1, 3, own, "nothing, selection cleared"},
      {"no row taken", true, true, -1, 1, 3, own, "nothing, selection cleared"},
      {"one row", true, true, 0, -1, 1, own, "nothing, selection cleared"},
      {"over the panel", true, false, 0, 2, 3, own, "nothing"},
      {"not armed", false, true, 0, 2, 3, own, "nothing"},
      {"team tab", true, true, 0, 2, 3, team, "refused"},
      {"team tab, onto itself", true, true, 1, 1, 3, team, "nothing, selection cleared"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DragSort drag;
    drag.Enter();
    drag.ButtonDown();
    EXPECT_EQ(Describe(drag.Released(c.armed, c.overList, c.from, c.to, c.rows, c.shown)), c.expected);
    EXPECT_FALSE(drag.armed());
  }
}

TEST(DragSortTest, TheLabelIsTakenOverTheListAndTheDragEndsWithTheCapture) {
  DragSort drag;
  const std::string row = "退货地址";
  drag.ButtonDown();
  EXPECT_FALSE(drag.armed()) << "only in drag-sort mode";
  drag.Enter();
  EXPECT_FALSE(drag.Moved(true, true, &row)) << "not armed";
  drag.ButtonDown();
  EXPECT_FALSE(drag.Moved(false, true, &row)) << "button up";
  auto p = drag.Moved(true, false, &row);
  ASSERT_TRUE(p);
  EXPECT_FALSE(p->droppable);
  EXPECT_EQ(drag.label(), "");
  p = drag.Moved(true, true, &row);
  EXPECT_TRUE(p->droppable && !p->sizeLabel);
  EXPECT_EQ(drag.label(), " 退货地址");
  EXPECT_TRUE(drag.Moved(true, true, &row)->sizeLabel);
  EXPECT_FALSE(drag.CaptureLost(true, true)) << "the button is still down";
  EXPECT_FALSE(drag.CaptureLost(false, false)) << "taken by the list itself";
  EXPECT_TRUE(drag.CaptureLost(true, false));
  EXPECT_EQ(drag.label(), "");
  drag.ButtonDown();
  drag.Leave();
  EXPECT_FALSE(drag.armed());
}

}  // namespace
}  // namespace jihe::library
