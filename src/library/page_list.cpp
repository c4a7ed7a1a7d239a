#include "library/page_list.h"

#include <algorithm>

#include "library/group_ops.h"

namespace jihe::library {

const GroupStrip& PageList::Team() const {
  static const GroupStrip none;
  return team_ ? *team_ : none;
}

void PageList::FillTabs(TabRef select) {
  tabs_.clear();
  for (size_t index : own_->VisibleIndices()) tabs_.push_back({false, index});
  for (size_t index : Team().VisibleIndices()) tabs_.push_back({true, index});
  shown_ = tabs_.empty() ? -1 : 0;
  for (size_t i = 0; i < tabs_.size(); ++i)
    if (tabs_[i].team == select.team && tabs_[i].index == select.index) shown_ = static_cast<int>(i);
}

void PageList::ShowTabAt(int position) {
  shown_ = position >= 0 && static_cast<size_t>(position) < tabs_.size() ? position : -1;
}

std::optional<TabRef> PageList::ShownTab() const {
  if (shown_ < 0) return std::nullopt;
  return tabs_[static_cast<size_t>(shown_)];
}

const Group* PageList::GroupOf(TabRef tab) const {
  return tab.team ? (team_ ? team_->ListOfGroup(tab.index) : nullptr) : own_->ListOfGroup(tab.index);
}

size_t PageList::RowCount() const {
  if (searching_) return hits_.size();
  const auto tab = ShownTab();
  const Group* g = tab ? GroupOf(*tab) : nullptr;
  return g ? g->rows().size() : 0;
}

std::optional<PageEntry> PageList::EntryAt(int row) const {
  if (row < 0) return std::nullopt;
  PageEntry entry;
  if (searching_) {
    if (static_cast<size_t>(row) >= hits_.size()) return std::nullopt;
    const SearchHit& hit = hits_[static_cast<size_t>(row)];
    entry = {{hit.team, hit.group}, hit.row};
  } else {
    const auto tab = ShownTab();
    if (!tab) return std::nullopt;
    entry = {*tab, static_cast<size_t>(row)};
  }
  const Group* g = GroupOf(entry.tab);
  if (!g || entry.row >= g->rows().size()) return std::nullopt;
  return entry;
}

const std::string* PageList::TextAt(int row) const {
  const auto entry = EntryAt(row);
  return entry ? &GroupOf(entry->tab)->rows()[entry->row] : nullptr;
}

std::string PageList::ShownText(int row) const {
  const auto entry = EntryAt(row);
  if (!entry) return {};
  const std::string& text = GroupOf(entry->tab)->rows()[entry->row];
  return searching_ ? SearchRowText(Caption(entry->tab), text) : text;
}

void PageList::RememberRow(int selected) {
  const auto tab = ShownTab();
  if (searching_ || !tab) return;
  if (tab->team) {
    if (const Group* g = GroupOf(*tab)) teamRememberedRows_[g->name()] = selected;
    return;
  }
  if (rememberedRows_.size() <= tab->index) rememberedRows_.resize(tab->index + 1, -1);
  rememberedRows_[tab->index] = selected;
}

int PageList::RowToShow() const {
  const auto tab = ShownTab();
  if (searching_ || !tab) return -1;
  int row = -1;
  if (!tab->team) {
    if (tab->index < rememberedRows_.size()) row = rememberedRows_[tab->index];
  } else if (const Group* g = GroupOf(*tab)) {
    if (auto it = teamRememberedRows_.find(g->name()); it != teamRememberedRows_.end()) row = it->second;
  }
  return row >= 0 && static_cast<size_t>(row) < RowCount() ? row : -1;
}

void PageList::PrepareIndex() {
  if (!indexStale_) return;
  index_ = SearchIndex(*own_, team_, kind_);
  indexStale_ = false;
  if (onIndexBuilt) onIndexBuilt(index_);
}

int PageList::Search(std::string_view query, std::optional<PageEntry> keep) {
  PrepareIndex();
  searching_ = true;
  query_ = query;
  hits_ = index_.Search(query_);
  return Select(keep);
}

// The first result, or the one that is `keep`.
int PageList::Select(std::optional<PageEntry> keep) const {
  if (!keep) return hits_.empty() ? -1 : 0;
  for (size_t i = 0; i < hits_.size(); ++i)
    if (hits_[i].group == keep->tab.index && hits_[i].row == keep->row && hits_[i].team == keep->tab.team)
      return static_cast<int>(i);
  return -1;
}

int PageList::SearchAgain(int selected) {
  if (!searching_) return RowToShow();
  return Search(std::string(query_), EntryAt(selected));
}

int PageList::EndSearch() {
  searching_ = false;
  query_.clear();
  hits_.clear();
  return RowToShow();
}

int PageList::Step(int selected, int step) const {
  const int count = static_cast<int>(RowCount());
  if (count == 0) return -1;
  return std::clamp(selected + step, 0, count - 1);
}

PageList::TeamReload PageList::PlaceBeforeTeamReload(int selected) const {
  TeamReload before;
  const auto tab = ShownTab();
  if (const Group* g = tab && tab->team ? GroupOf(*tab) : nullptr) {
    before.shown = TeamPlace{g->name(), std::nullopt, {}};
    if (!searching_ && selected >= 0 && static_cast<size_t>(selected) < g->rows().size()) {
      before.shown->row = static_cast<size_t>(selected);
      before.shown->rowText = g->rows()[static_cast<size_t>(selected)];
    }
  }
  if (!searching_) return before;
  if (const auto entry = EntryAt(selected)) {
    const Group* g = GroupOf(entry->tab);
    before.result = ResultPlace{entry->tab, entry->row, g->name(), g->rows()[entry->row]};
  }
  return before;
}

int PageList::ReloadTeam(const GroupStrip* team, const TeamReload& before, int selected) {
  const auto tab = ShownTab();
  const TabRef firstOwn{false, FirstVisibleIndex(*own_)};
  if (searching_) {
    // The strip is rebuilt under the search, keeping its tab; the results are searched again in
    // the new team library, the selected one kept where it still exists.
    team_ = team;
    indexStale_ = true;
    TabRef select = firstOwn;
    if (tab && !tab->team) {
      select = *tab;
    } else if (before.shown) {
      const KeptSelection kept = KeepSelection(Team(), before.shown->group, {}, {});
      if (kept.group) select = {true, *kept.group};
    }
    FillTabs(select);
    const auto& result = before.result;
    if (!result) return Search(std::string(query_));
    // A result gone is selected nowhere, as in the group view (an entry no result is).
    PageEntry keep{{true, SIZE_MAX}, SIZE_MAX};
    if (!result->tab.team) {
      keep = {result->tab, result->row};
    } else if (team) {
      const KeptSelection kept = KeepSelection(*team, result->groupName, result->row, result->rowText);
      if (kept.group && kept.row) keep = {{true, *kept.group}, *kept.row};
    }
    return Search(std::string(query_), keep);
  }
  if (!before.shown) {
    // An own group is shown (or none yet): it stays, with its row.
    RememberRow(selected);
    team_ = team;
    indexStale_ = true;
    FillTabs(tab && !tab->team ? *tab : firstOwn);
    return RowToShow();
  }
  team_ = team;
  indexStale_ = true;
  const KeptSelection kept = KeepSelection(Team(), before.shown->group, before.shown->row, before.shown->rowText);
  if (!kept.group) {
    // The team group is gone: back to the first own group.
    FillTabs(firstOwn);
    return RowToShow();
  }
  FillTabs({true, *kept.group});
  return kept.row ? static_cast<int>(*kept.row) : -1;
}

}  // namespace jihe::library
