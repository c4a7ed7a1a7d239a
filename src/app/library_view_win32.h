#pragma once
// A library page of the Main panel: the phrase page or the command page. Each is one instance of
// this view over one kind of the library, and owns everything on its page:
//  - its group strip (GroupStripView) and the group menu, opened from the strip's right button or
//    the "≡" picture button; adding, renaming and deleting groups (library_view_edits_win32.cpp);
//  - its list, an owner-data view of what library::PageList says it shows and selects;
//  - its list menu and what a click, a double click and a right click on a row do: a send or the
//    preview balloon (PreviewBalloonView) for phrases, a launch for commands, the entry editor;
//  - drag-sort mode (DragSortView), its search box (SearchBox), the CSV dialogs.
// Its controls are children of the panel, which forwards their notifications here.
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/drag_sort_win32.h"
#include "app/group_strip_win32.h"
#include "app/panel_layout.h"
#include "app/preview_balloon_win32.h"
#include "app/search_box_win32.h"
#include "chat/send_engine.h"
#include "library/library.h"
#include "library/page_actions.h"
#include "library/page_list.h"
#include "library/row_rules.h"
#include "library/team_groups.h"
#include "storage/send_counts.h"
#include "library/search.h"
#include "platform/window_win32.h"
#include "storage/store.h"
#include "storage/workspace.h"

namespace jihe::app {

// What a library view asks of the panel.
class LibraryViewHost {
 public:
  virtual void SendPhrase(chat::SendMode mode) = 0;
  virtual void SaveAll() = 0;
  // The strip's tabs changed and may take another number of rows: lay the panel out again.
  virtual void RelayoutPanel() = 0;
  // Enter or Esc in a search box: whatever the agent called the panel up for is done, the focus
  // may go back to where it came from.
  virtual void SearchKeyDone() = 0;
  // How often the agent sent or opened each row, for the search's order.
  virtual storage::SendCounts& SendCounts() = 0;

 protected:
  ~LibraryViewHost() = default;
};

class LibraryView {
 public:
  LibraryView(library::GroupKind kind, storage::Store& store, storage::Workspace& workspace, LibraryViewHost& host);
  LibraryView(const LibraryView&) = delete;
  LibraryView& operator=(const LibraryView&) = delete;

  // Creates the page's controls on `panel` and its menus.
  void Create(HWND panel);
  // Creates the drag label and the preview balloon, once every page has its controls.
  void CreateOverlays();
  void ApplyFont(HFONT font, UINT dpi);
  // Places the page inside the page tabs, whose top-left corner is at (originX, originY).
  void Layout(const PanelLayout& layout, int originX, int originY, UINT dpi);
  void Show(bool shown);
  // After the library was loaded: the strip shows its groups, the first one selected.
  void ShowLoadedGroups();

  // The group menu's commands, for the view of the page shown.
  void OnGroupCommand(Command command);
  // The list menu's commands of this view's kind; false for any other command.
  bool OnCommand(Command command);
  // WM_COMMAND from a control; false when the control is not this view's.
  bool OnControlCommand(HWND control, int code);
  // WM_NOTIFY from a control; false (and `result` untouched) when the control is not this view's.
  bool OnNotify(const NMHDR& hdr, LRESULT& result);
  // WM_DRAWITEM of the picture button; false when the control is not this view's.
  bool OnDrawItem(const DRAWITEMSTRUCT& item);

  // The full text of the selected row of the shown group, if there is one.
  std::optional<std::string> SelectedRowText() const;
  // The selected row as the send counts know it: kind, group name and text.
  std::optional<storage::SendCountKey> SelectedCountKey() const;
  // A row was sent (or opened): it counts, and the next search orders by the new count.
  void CountUse(const storage::SendCountKey& key);

  // ---- the team's groups: read-only tabs after the agent's own ----
  // The tab shown: an own group or a team group; nothing with no tab.
  std::optional<library::TabRef> ShownTab() const;
  // The tab of the row the list's selection stands for: in a search, the result's own group.
  std::optional<library::TabRef> SelectedTab() const;
  using TeamReload = library::PageList::TeamReload;
  // Where the agent is, taken while the old team library still lives.
  TeamReload PlaceBeforeTeamReload() const;
  // The team's groups of this view's kind (nothing without a team library) are shown again: the
  // shown tab, its selected row and a selected search result stay where they still exist.
  void ShowTeamGroups(const library::GroupStrip* team, const TeamReload& before);

  // --shot-page 5 to 10: the group menu, the list menu, and the entry editor adding or editing.
  void OpenForShot(int shot);

  // ---- search ----
  // The focus in the search box, its text selected (Ctrl+F, the global hotkey).
  void FocusSearch();
  bool IsSearchBox(HWND control) const { return control == search_; }
  // An input method composes in the search box: every key is its own until it commits.
  bool ComposingInSearch() const { return searchBox_.Composing(); }
  // Down, Up, Enter, Shift+Enter and Esc pressed in this view's search box, taken before they are
  // translated (so Enter and Esc neither beep nor hide the panel); false for any other message.
  bool PreTranslateSearchKey(const MSG& msg);
  // --shot-page: the page with `query` typed into its search box.
  void SearchForShot(std::string_view query);

 private:
  std::optional<size_t> ShownGroupIndex() const;
  library::Group* ShownGroupForChange();
  int SelectedRow() const;
  void ClearSelection();
  void FillStrip(size_t selectGroup);
  void FillStrip(library::TabRef select);
  // The strip's tabs as the page list has them.
  void ShowTabs();
  void SelectRow(int row);
  void ShowSelectedGroup(UINT countFlags);
  void RememberShownRow();
  void SelectGroup();
  void RebuildStrip(size_t selectGroup);
  void RebuildStrip(library::TabRef select);
  // Where the page stands for the menus: the tab shown, a search under way, the row chosen.
  library::PageState State() const;
  // An item of the list menu or the group menu, on the group TargetOf gives it.
  void Act(library::PageAction action);
  void AddGroup();
  void DeleteGroupOf(const library::ActionTarget& target);
  void RenameGroupOf(const library::ActionTarget& target);
  void ClearGroupOf(const library::ActionTarget& target);
  void OpenEntryEditor(const library::ActionTarget& target, bool edit);
  void DeleteEntryOf(const library::ActionTarget& target);
  void LaunchSelectedCommand();
  void OnListClick();
  void OnListDoubleClick();
  void OnListRightClick();
  void OnGetDispInfo(NMLVDISPINFOW& info);
  // A release in drag-sort mode (see DragSortView::onRelease).
  void Drop(bool armed, bool overList, int to);
  bool QuestionYesNo(std::string_view text, std::string_view title);
  LRESULT OnHookedMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK Hook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);

  const library::GroupKind kind_;
  storage::Store& store_;
  storage::Workspace& ws_;
  LibraryViewHost& host_;
  library::PageList page_;  // what the list shows, and which row stays selected
  HWND panel_ = nullptr;
  UINT dpi_ = 96;
  bool shown_ = false;

  HWND strip_ = nullptr;          // a tab per visible group
  HWND list_ = nullptr;           // the shown group's rows
  HWND groupMenuButton_ = nullptr;  // "≡", opens the group menu
  GroupStripView tabs_;             // the strip and its button, drawn and kept clear of each other
  HWND leaveDragButton_ = nullptr;  // "退出拖放模式", shown only in drag-sort mode
  PreviewBalloonView balloon_;  // a phrase's preview after a click
  platform::UniqueMenu groupMenu_;
  platform::UniqueMenu listMenu_;

  DragSortView drag_;
  std::wstring dispText_;

  // ---- search ----
  void OnSearchChanged();
  void ShowSearch(int select);
  void ApplySendCounts(library::SearchIndex& index) const;
  void CancelSearch();
  // The library of this kind changed: the index is built again before the next search, and the
  // results shown are searched again.
  void LibraryChanged();
  void MoveSearchSelection(int step);

  HWND search_ = nullptr;  // "搜索短语" / "搜索快捷"
  SearchBox searchBox_;
};

}  // namespace jihe::app
