// Which group each item of the list menus and the group menu changes, from where the page stands.
#include "library/page_actions.h"

#include <gtest/gtest.h>

#include <map>

#include "app/commands.h"
#include "library/messages.h"

namespace jihe::library {
namespace {

std::string Describe(const ActionTarget& t) {
  if (t.refusal) return "refused: " + *t.refusal;
  const std::string group = t.tab ? (t.tab->team ? "team " : "own ") + std::to_string(t.tab->index) : "none";
  switch (t.scope) {
    case ActionScope::Row: return "row " + std::to_string(t.row.value_or(999)) + " of " + group;
    case ActionScope::Group: return "group " + group;
    case ActionScope::OwnGroups: return "own groups";
    case ActionScope::Nothing: return "nothing";
  }
  return "?";
}

TEST(PageActionsTest, EveryMenuItemChangesTheGroupOfTheRowChosen) {
  const std::string team = std::string("refused: ") + kTeamReadOnly;
  // A search on the own tab 0 with a result of the own group 2 selected; a team tab shown with its
  // row 0 selected; a search with a team result selected.
  const PageState ownResult{TabRef{false, 0}, true, PageState::Row{{false, 2}, 1}};
  const PageState teamTab{TabRef{true, 0}, false, PageState::Row{{true, 0}, 0}};
  const PageState teamResult{TabRef{false, 0}, true, PageState::Row{{true, 1}, 3}};
  struct Expected {
    std::string ownResult, teamTab, teamResult;
  };
  const std::map<PageAction, Expected> expected{
      {PageAction::AddEntry, {"group own 2", team, team}},
      {PageAction::EditEntry, {"row 1 of own 2", team, team}},
      {PageAction::DeleteEntry, {"row 1 of own 2", team, team}},
      {PageAction::ClearGroup, {"group own 2", team, team}},
      {PageAction::DragSort, {std::string("refused: ") + msg::kNoDragSortInSearch, team,
                              std::string("refused: ") + msg::kNoDragSortInSearch}},
      {PageAction::Send, {"nothing", "nothing", "nothing"}},
      {PageAction::SendWithoutEnter, {"nothing", "nothing", "nothing"}},
      {PageAction::AddGroup, {"own groups", "own groups", "own groups"}},
      {PageAction::DeleteGroup, {"group own 2", team, team}},
      {PageAction::RenameGroup, {"group own 2", team, team}},
      {PageAction::ImportCsv, {"own groups", "own groups", "own groups"}},
      {PageAction::ExportCsv, {"nothing", "nothing", "nothing"}},
  };
  const std::pair<const app::MenuRow*, const app::MenuRow*> menus[] = {
      {std::begin(app::kPhraseListMenu), std::end(app::kPhraseListMenu)},
      {std::begin(app::kCommandListMenu), std::end(app::kCommandListMenu)},
      {std::begin(app::kGroupMenu), std::end(app::kGroupMenu)},
  };
  for (const auto& [first, last] : menus) {
    for (const app::MenuRow* item = first; item != last; ++item) {
      if (item->command == app::Command::Separator) continue;
      SCOPED_TRACE(std::string(item->caption));
      const auto action = app::PageActionOf(item->command);
      ASSERT_TRUE(action) << "a menu item the page does not know";
      const Expected& e = expected.at(*action);
      EXPECT_EQ(Describe(TargetOf(*action, ownResult)), e.ownResult);
      EXPECT_EQ(Describe(TargetOf(*action, teamTab)), e.teamTab);
      EXPECT_EQ(Describe(TargetOf(*action, teamResult)), e.teamResult);
    }
  }
}

}  // namespace
}  // namespace jihe::library
