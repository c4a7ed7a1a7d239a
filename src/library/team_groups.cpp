#include "library/team_groups.h"

namespace jihe::library {

std::optional<TabRef> TabAt(const GroupStrip& own, const GroupStrip& team, size_t position) {
  const size_t ownCount = own.slots().size();
  if (position < ownCount) return TabRef{false, position};
  if (position - ownCount < team.slots().size()) return TabRef{true, position - ownCount};
  return std::nullopt;
}

size_t PositionOf(const GroupStrip& own, TabRef tab) { return tab.team ? own.slots().size() + tab.index : tab.index; }

std::string TabCaption(const GroupStrip& own, const GroupStrip& team, TabRef tab) {
  const Group* g = tab.team ? team.ListOfGroup(tab.index) : own.ListOfGroup(tab.index);
  if (!g) return {};
  return tab.team ? std::string(kTeamCaptionPrefix) + g->name() : g->name();
}

std::optional<std::string> ChangeRefusal(TabRef tab) {
  if (tab.team) return std::string(kTeamReadOnly);
  return std::nullopt;
}

KeptSelection KeepSelection(const GroupStrip& newTeam, std::string_view groupName, std::optional<size_t> oldRow,
                            std::string_view oldRowText) {
  // Two team groups may share a name: the row is looked for in each, the first holding it wins.
  KeptSelection kept;
  for (size_t i = 0; i < newTeam.slots().size(); ++i) {
    const Group& group = newTeam.slots()[i];
    if (group.hidden() || group.name() != groupName) continue;
    if (!kept.group) kept.group = i;
    if (!oldRow) break;
    size_t bestDistance = SIZE_MAX;
    for (size_t r = 0; r < group.rows().size(); ++r) {
      if (group.rows()[r] != oldRowText) continue;
      const size_t distance = r > *oldRow ? r - *oldRow : *oldRow - r;
      if (distance < bestDistance) {
        bestDistance = distance;
        kept = {i, r};
      }
    }
    if (kept.row) break;
  }
  return kept;
}

}  // namespace jihe::library
