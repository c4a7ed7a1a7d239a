#include "library/page_actions.h"

#include "library/messages.h"

namespace jihe::library {

ActionTarget TargetOf(PageAction action, const PageState& state) {
  // The group of the row the agent chose; the tab shown when no row is chosen.
  const std::optional<TabRef> chosen = state.selected ? std::optional<TabRef>(state.selected->tab) : state.shownTab;
  ActionTarget target;
  const auto inGroup = [&](ActionScope scope, std::optional<TabRef> tab) {
    target.scope = scope;
    target.tab = tab;
    if (tab) target.refusal = ChangeRefusal(*tab);
  };
  switch (action) {
    case PageAction::Send:
    case PageAction::SendWithoutEnter:
    case PageAction::ExportCsv:
      break;
    case PageAction::AddGroup:
    case PageAction::ImportCsv:
      target.scope = ActionScope::OwnGroups;
      break;
    case PageAction::AddEntry:
    case PageAction::ClearGroup:
    case PageAction::DeleteGroup:
    case PageAction::RenameGroup:
      inGroup(ActionScope::Group, chosen);
      break;
    case PageAction::EditEntry:
    case PageAction::DeleteEntry:
      inGroup(ActionScope::Row, chosen);
      if (state.selected) target.row = state.selected->row;
      else if (!target.refusal)
        target.refusal = action == PageAction::EditEntry ? msg::kSelectToEdit : msg::kSelectToDelete;
      break;
    case PageAction::DragSort:
      // Results come from several groups: a drag among them would mean nothing.
      if (state.searching) {
        target.scope = ActionScope::Group;
        target.refusal = msg::kNoDragSortInSearch;
        break;
      }
      inGroup(ActionScope::Group, state.shownTab);
      break;
  }
  return target;
}

}  // namespace jihe::library
