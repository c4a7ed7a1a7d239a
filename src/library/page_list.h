#pragma once
// What a library page's list shows and which of its rows stays selected. The list shows the shown
// tab's rows or, while the search box holds text, the results of every group, the team's included.
// A view renders what this answers and hands back the row its list has selected; every answer
// about a selection is a list row, -1 for none.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library.h"
#include "library/search.h"
#include "library/team_groups.h"

namespace jihe::library {

// Which entry a list row is: its group (own or team) and its row there.
struct PageEntry {
  TabRef tab;
  size_t row = 0;
};

class PageList {
 public:
  PageList(GroupKind kind, const GroupStrip& own) : kind_(kind), own_(&own) {}

  // ---- the strip: the agent's visible groups, then the team's ----
  const std::vector<TabRef>& Tabs() const { return tabs_; }
  // The tabs again (after a group changed or the team was read again), `select` shown; the first
  // tab when it has none.
  void FillTabs(TabRef select);
  // The tab at `position` of the strip is shown (a click on it).
  void ShowTabAt(int position);
  int ShownPosition() const { return shown_; }
  std::optional<TabRef> ShownTab() const;
  std::string Caption(TabRef tab) const { return TabCaption(*own_, Team(), tab); }
  const GroupStrip& Team() const;
  const GroupStrip* TeamOrNull() const { return team_; }

  // ---- rows ----
  bool Searching() const { return searching_; }
  size_t RowCount() const;
  std::optional<PageEntry> EntryAt(int row) const;
  // The row's text as stored; nothing past the end or for a row gone since.
  const std::string* TextAt(int row) const;
  // What the list draws: the row, or during a search the result with its group before it.
  std::string ShownText(int row) const;

  // ---- selection ----
  // The shown group's `selected` row is kept for when it is shown again (a team group's by its
  // name, as a reload may move it). Not during a search: the list shows results then.
  void RememberRow(int selected);
  // The row to select when the shown group is shown: the one kept for it, while it still exists.
  int RowToShow() const;

  // ---- search ----
  // The index is built again before the next search.
  void LibraryChanged() { indexStale_ = true; }
  // Builds the index now when it is stale (the agent is about to type).
  void PrepareIndex();
  // Called with each index built, before it is searched (the send counts that order it).
  std::function<void(SearchIndex&)> onIndexBuilt;
  // The index, when it is not to be built again before the next search.
  SearchIndex* FreshIndex() { return indexStale_ ? nullptr : &index_; }
  // Searches `query` (the list shows results from now on) and answers the row to select: the
  // first result, or with `keep` the result that is that entry (none when no result is).
  int Search(std::string_view query, std::optional<PageEntry> keep = std::nullopt);
  // The library changed during a search: the same query again, `selected` kept.
  int SearchAgain(int selected);
  // Esc or an empty box: the group view again; answers RowToShow.
  int EndSearch();
  // Down and Up in the search box: `step` rows on from `selected`, inside the list.
  int Step(int selected, int step) const;

  // ---- the team library read again ----
  struct TeamPlace {
    std::string group;
    std::optional<size_t> row;
    std::string rowText;
  };
  struct ResultPlace {
    TabRef tab;
    size_t row = 0;
    std::string groupName;
    std::string rowText;
  };
  struct TeamReload {
    std::optional<TeamPlace> shown;    // a team group shown, with its selected row
    std::optional<ResultPlace> result;  // the search result selected
  };
  // Where the agent is, taken while the old team library still lives.
  TeamReload PlaceBeforeTeamReload(int selected) const;
  // The new team library (nothing without one) is shown: the shown tab, its selected row and a
  // selected search result stay where they still exist, by group name and row text. Answers the
  // row to select.
  int ReloadTeam(const GroupStrip* team, const TeamReload& before, int selected);

 private:
  const Group* GroupOf(TabRef tab) const;
  int Select(std::optional<PageEntry> keep) const;

  GroupKind kind_;
  const GroupStrip* own_;
  const GroupStrip* team_ = nullptr;
  std::vector<TabRef> tabs_;
  int shown_ = -1;
  std::vector<int> rememberedRows_;                // by own slot
  std::map<std::string, int> teamRememberedRows_;  // by team group name
  bool searching_ = false;
  std::string query_;
  bool indexStale_ = true;
  SearchIndex index_;
  std::vector<SearchHit> hits_;
};

}  // namespace jihe::library
