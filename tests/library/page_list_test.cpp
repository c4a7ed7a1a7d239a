// What a library page's list shows and which row it selects across a search and a team reload.
#include "library/page_list.h"

#include <gtest/gtest.h>

namespace jihe::library {
namespace {

GroupStrip StripOf(std::vector<Group> groups) {
  GroupStrip strip;
  strip.slots() = std::move(groups);
  return strip;
}

// The shown tab's caption and the selected row's text, as the agent sees them.
std::string Seen(const PageList& page, int selected) {
  const auto tab = page.ShownTab();
  const std::string* row = page.TextAt(selected);
  return (tab ? page.Caption(*tab) : "no tab") + " / " + (row ? *row : "none");
}

TEST(PageListTest, ATeamReloadKeepsTheTabAndTheRowTheAgentHad) {
  const GroupStrip own = StripOf({Group("售后", {"own apple", "own pear"})});
  const GroupStrip oldTeam = StripOf({Group("通知", {"team apple", "team plum"}), Group("活动", {"team fig"})});
  struct Case {
    const char* name;
    TabRef shown;
    std::string query;  // empty: the group view
    int selected;
    GroupStrip newTeam;
    std::string seen;
  };
  const Case cases[] = {
      {"team row moved down", {true, 0}, "", 1,
       StripOf({Group("通知", {"new", "team apple", "team plum"})}), "团队·通知 / team plum"},
      {"team row gone", {true, 0}, "", 1, StripOf({Group("通知", {"team apple"})}), "团队·通知 / none"},
      {"team group gone", {true, 1}, "", 0, StripOf({Group("通知", {"team apple"})}), "售后 / none"},
      {"own tab", {false, 0}, "", 1, StripOf({}), "售后 / own pear"},
      // A reload during a search keeps the result selected, not the first one.
      {"team result moved", {false, 0}, "apple", 1,
       StripOf({Group("通知", {"apple new", "team plum", "team apple"})}), "售后 / team apple"},
      {"team result gone", {false, 0}, "apple", 1, StripOf({Group("通知", {"apple new"})}), "售后 / none"},
      {"own result", {false, 0}, "apple", 0, StripOf({Group("通知", {"apple new"})}), "售后 / own apple"},
      {"no result selected", {false, 0}, "apple", -1, StripOf({Group("通知", {"apple new"})}), "售后 / own apple"},
      {"team tab kept under search", {true, 1}, "apple", 0,
       StripOf({Group("x", {}), Group("活动", {"team fig"})}), "团队·活动 / own apple"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageList page(GroupKind::Phrase, own);
    page.ReloadTeam(&oldTeam, {}, -1);
    page.FillTabs(c.shown);
    int selected = c.selected;
    if (!c.query.empty()) page.Search(c.query);
    const auto before = page.PlaceBeforeTeamReload(selected);
    selected = page.ReloadTeam(&c.newTeam, before, selected);
    EXPECT_EQ(Seen(page, selected), c.seen);
  }
}

TEST(PageListTest, SearchAndEscSelectWhatTheAgentExpects) {
  GroupStrip own = StripOf({Group("a", {"one", "two", "three"}), Group("b", {"tw2", "x"})});
  const GroupStrip team = StripOf({Group("t", {"twin"})});
  PageList page(GroupKind::Phrase, own);
  page.ReloadTeam(&team, {}, -1);
  page.FillTabs({false, 0});
  page.RememberRow(2);
  // A keystroke selects the first result; its rows are the results with their group's caption.
  int selected = page.Search("tw");
  ASSERT_EQ(page.RowCount(), 3u);
  EXPECT_EQ(page.ShownText(selected), "a · two");
  EXPECT_EQ(page.ShownText(2), "团队·t · twin");
  EXPECT_EQ(page.EntryAt(2)->tab.team, true);
  EXPECT_EQ(page.Step(selected, -1), 0);
  EXPECT_EQ(page.Step(selected, 5), 2);
  // An edit during the search keeps the result selected where it went.
  own.ListOfGroup(1)->MutableRows().insert(own.ListOfGroup(1)->MutableRows().begin(), "tw0");
  page.LibraryChanged();
  selected = page.SearchAgain(2);
  EXPECT_EQ(page.ShownText(selected), "团队·t · twin");
  // Esc: the group view with the row it had.
  EXPECT_EQ(page.EndSearch(), 2);
  EXPECT_FALSE(page.Searching());
  // A remembered row that the group no longer has is selected nowhere.
  own.ListOfGroup(0)->MutableRows().pop_back();
  EXPECT_EQ(page.RowToShow(), -1);
  EXPECT_EQ(page.TextAt(5), nullptr);
}

}  // namespace
}  // namespace jihe::library
