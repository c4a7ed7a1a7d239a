#include "app/library_view_win32.h"

#include <windowsx.h>

#include <algorithm>

#include "app/csv_dialogs_win32.h"
#include "app/drag_sort_win32.h"
#include "app/menus_win32.h"
#include "library/group_ops.h"
#include "library/messages.h"
#include "library/row_rules.h"
#include "platform/input_method_win32.h"
#include "platform/utf16.h"

namespace jihe::app {

using platform::AddControlOnTop;
using platform::PlaceDesign;
using platform::PopUpMenuAtCursor;

using library::GroupKind;
using platform::Scale;
using platform::Unscale;
using platform::Widen;
namespace msg = library::msg;

namespace {

// Control ids of the phrase page and the command page; the end-to-end tests find them by these.
constexpr int kStripId[2] = {110, 111};
constexpr int kListId[2] = {120, 121};
constexpr int kGroupMenuButtonId[2] = {130, 131};
constexpr int kLeaveDragButtonId[2] = {140, 141};
constexpr int kSearchBoxId[2] = {180, 181};
constexpr const char* kSearchCue[2] = {"搜索短语", "搜索快捷"};
constexpr UINT_PTR kShotTimer = 0x4C53;
constexpr UINT kSelectedFocused = LVIS_SELECTED | LVIS_FOCUSED;


void BringToTop(HWND control) {
  SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

LibraryView::LibraryView(GroupKind kind, storage::Store& store, storage::Workspace& workspace, LibraryViewHost& host)
    : kind_(kind),
      store_(store),
      ws_(workspace),
      host_(host),
      page_(kind, workspace.library.strip(kind)),
      searchBox_(platform::SystemInputMethod(), workspace.options) {}

void LibraryView::Create(HWND panel) {
  panel_ = panel;
  const int k = kind_ == GroupKind::Phrase ? 0 : 1;
  strip_ = tabs_.CreateStrip(panel, kStripId[k]);
  list_ = AddControlOnTop(panel, WC_LISTVIEWW, "",
                         WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                             LVS_SHOWSELALWAYS | WS_BORDER,
                         0, kListId[k]);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 100;
  ListView_InsertColumn(list_, 0, &column);
  ListView_SetTextColor(list_, kRowText);
  ListView_SetTextBkColor(list_, RGB(255, 255, 255));
  ListView_SetBkColor(list_, RGB(255, 255, 255));
  // After the list, so that the button lies over the strip's right end.
  groupMenuButton_ = tabs_.CreateButton(kGroupMenuButtonId[k]);
  leaveDragButton_ = AddControlOnTop(panel, WC_BUTTONW, "退出拖放模式", BS_PUSHBUTTON, 0, kLeaveDragButtonId[k]);
  search_ = AddControlOnTop(panel, WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kSearchBoxId[k]);
  // The cue stays while the box has the focus: after the hotkey it says what to type.
  SendMessageW(search_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Widen(kSearchCue[k]).c_str()));
  searchBox_.Attach(search_);
  searchBox_.onQueryChanged = [this] { OnSearchChanged(); };
  searchBox_.onMove = [this](int step) { MoveSearchSelection(step); };
  // As a double click would: a phrase is sent (every mode and refusal of the send applies), a
  // command launched. Shift+Enter sends without pressing Enter in the chat window.
  searchBox_.onEnter = [this](bool shift) {
    if (kind_ == GroupKind::Command)
      LaunchSelectedCommand();
    else
      host_.SendPhrase(shift ? chat::SendMode::MenuSendNoEnter : chat::SendMode::ListClick);
    host_.SearchKeyDone();
  };
  searchBox_.onEscape = [this] {
    CancelSearch();
    host_.SearchKeyDone();
  };

  groupMenu_.reset(BuildMenu(kGroupMenu, std::size(kGroupMenu)));
  listMenu_.reset(kind_ == GroupKind::Phrase ? BuildMenu(kPhraseListMenu, std::size(kPhraseListMenu))
                                             : BuildMenu(kCommandListMenu, std::size(kCommandListMenu)));
  page_.onIndexBuilt = [this](library::SearchIndex& index) { ApplySendCounts(index); };
  drag_.Attach(panel, list_, leaveDragButton_);
  drag_.selectedRow = [this] { return SelectedRowText(); };
  drag_.onRelease = [this](bool armed, bool overList, int to) { Drop(armed, overList, to); };
  SetWindowSubclass(strip_, &LibraryView::Hook, 1, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(list_, &LibraryView::Hook, 2, reinterpret_cast<DWORD_PTR>(this));
}

// The drag label and the balloon come after every page's controls, so that they lie above them all.
void LibraryView::CreateOverlays() {
  drag_.CreateLabel();
  balloon_.Create(panel_);
}

void LibraryView::ApplyFont(HFONT font, UINT dpi) {
  dpi_ = dpi;
  for (HWND control : {strip_, list_, groupMenuButton_, leaveDragButton_, drag_.label(), search_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void LibraryView::Layout(const PanelLayout& l, int ox, int oy, UINT dpi) {
  dpi_ = dpi;
  PlaceDesign(search_, dpi, ox + l.searchBox.left, oy + l.searchBox.top, l.searchBox.width, l.searchBox.height);
  PlaceDesign(strip_, dpi, ox + l.groupStrip.left, oy + l.groupStrip.top, l.groupStrip.width, l.groupStrip.height);
  PlaceDesign(groupMenuButton_, dpi, ox + l.pictureButton.left, oy + l.pictureButton.top, l.pictureButton.width,
              l.pictureButton.height);
  PlaceDesign(leaveDragButton_, dpi, ox + l.dragButton.left, oy + l.dragButton.top, l.dragButton.width,
              l.dragButton.height);
  RECT area{};
  GetClientRect(strip_, &area);
  TabCtrl_AdjustRect(strip_, FALSE, &area);
  const Rect display{Unscale(area.left, dpi), Unscale(area.top, dpi), Unscale(area.right - area.left, dpi),
                     Unscale(area.bottom - area.top, dpi)};
  const Rect list = ListInStrip(l.groupStrip, display, l);
  PlaceDesign(list_, dpi, ox + list.left, oy + list.top, list.width, list.height);
  ListView_SetColumnWidth(list_, 0, Scale(l.listColumnWidth, dpi));
  tabs_.KeepArrowsClear();  // the strip placed them for its new size, before the button moved
}

void LibraryView::Show(bool shown) {
  shown_ = shown;
  const int show = shown ? SW_SHOWNA : SW_HIDE;
  for (HWND control : {strip_, list_, groupMenuButton_, search_}) ShowWindow(control, show);
  // The drag-sort button belongs to the page only while drag-sort mode is on.
  if (drag_.on()) ShowWindow(leaveDragButton_, show);
}

// ---- group slots ------------------------------------------------------------------------------


// The own group shown; nothing while a team group is shown.
std::optional<size_t> LibraryView::ShownGroupIndex() const {
  const auto tab = ShownTab();
  if (!tab || tab->team) return std::nullopt;
  return tab->index;
}


library::Group* LibraryView::ShownGroupForChange() {
  const auto index = ShownGroupIndex();
  return index ? ws_.library.strip(kind_).ListOfGroup(*index) : nullptr;
}

int LibraryView::SelectedRow() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

void LibraryView::ClearSelection() { ListView_SetItemState(list_, -1, 0, kSelectedFocused); }

std::optional<std::string> LibraryView::SelectedRowText() const {
  const std::string* row = page_.TextAt(SelectedRow());
  if (!row) return std::nullopt;
  return *row;
}

void LibraryView::SelectRow(int row) {
  if (row < 0) return;
  ListView_SetItemState(list_, row, kSelectedFocused, kSelectedFocused);
  ListView_EnsureVisible(list_, row, FALSE);
}

void LibraryView::ShowSelectedGroup(UINT countFlags) {
  ListView_SetItemCountEx(list_, page_.RowCount(), countFlags);
  InvalidateRect(list_, nullptr, TRUE);
}

void LibraryView::FillStrip(size_t selectGroup) { FillStrip(library::TabRef{false, selectGroup}); }

// The strip shows the visible groups, the agent's own first, then the team's; hidden slots keep
// their index but have no tab.
void LibraryView::FillStrip(library::TabRef select) {
  page_.FillTabs(select);
  ShowTabs();
}

void LibraryView::ShowTabs() {
  std::vector<std::string> captions;
  for (const library::TabRef& tab : page_.Tabs()) captions.push_back(page_.Caption(tab));
  tabs_.SetTabs(captions, page_.ShownPosition());
  host_.RelayoutPanel();
  tabs_.KeepArrowsClear();
}

void LibraryView::ShowLoadedGroups() {
  FillStrip(static_cast<size_t>(-1));
  ShowSelectedGroup(0);
  LibraryChanged();
}

// The shown group's selected row, kept for when the group is shown again. Every switch of the
// shown group passes here first: a tab click, and a strip rebuilt after a group was added,
// renamed or deleted.
void LibraryView::RememberShownRow() { page_.RememberRow(SelectedRow()); }

// Select group: the strip's selected tab decides which group the list shows; the list and the
// drag-sort button come to the front.
void LibraryView::SelectGroup() {
  ClearSelection();
  ShowSelectedGroup(0);
  SelectRow(page_.RowToShow());
  BringToTop(list_);
  BringToTop(leaveDragButton_);
}

void LibraryView::RebuildStrip(size_t selectGroup) { RebuildStrip(library::TabRef{false, selectGroup}); }

void LibraryView::RebuildStrip(library::TabRef select) {
  RememberShownRow();
  FillStrip(select);
  SelectGroup();
}

// ---- mouse on the list --------------------------------------------------------------------------

void LibraryView::OnListRightClick() {
  if (drag_.on()) {
    platform::ShowInfoMessage(panel_, msg::kLeaveDragModeFirst);
    return;
  }
  balloon_.Hide();
  PopUpMenuAtCursor(panel_, listMenu_.get());
}

void LibraryView::OnListClick() {
  balloon_.Hide();
  if (drag_.on()) {
    drag_.Reset();
    return;
  }
  if (kind_ != GroupKind::Phrase) return;  // a single click only selects a command
  if (ws_.options.Get(settings::Option::单击发送)) {
    host_.SendPhrase(chat::SendMode::ListClick);
    return;
  }
  if (ws_.options.Get(settings::Option::显示预览)) if (const auto row = SelectedRowText()) balloon_.Show(*row);
}

void LibraryView::OnListDoubleClick() {
  if (kind_ == GroupKind::Command)
    LaunchSelectedCommand();  // in every mode, whatever the settings
  else if (ws_.options.Get(settings::Option::双击发送))
    host_.SendPhrase(chat::SendMode::ListClick);
}

void LibraryView::OnGetDispInfo(NMLVDISPINFOW& info) {
  if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
  dispText_ = Widen(page_.ShownText(info.item.iItem));
  const size_t n = std::min(dispText_.size(), static_cast<size_t>(info.item.cchTextMax - 1));
  std::copy_n(dispText_.c_str(), n, info.item.pszText);
  info.item.pszText[n] = L'\0';
}

// ---- drag-sort ----------------------------------------------------------------------------------






void LibraryView::Drop(bool armed, bool overList, int to) {
  const auto drop = drag_.state().Released(armed, overList, SelectedRow(), to, page_.RowCount(), ShownTab());
  if (drop.clearSelection) ClearSelection();
  if (drop.refusal) return platform::ShowInfoMessage(panel_, *drop.refusal);
  library::Group* g = ShownGroupForChange();
  if (!drop.from || !g) return;
  if (const auto moved = library::MoveRow(g->MutableRows(), *drop.from, *drop.to)) {
    SelectRow(static_cast<int>(*moved));
    LibraryChanged();
  }
  InvalidateRect(list_, nullptr, TRUE);
}

// Right button down on the strip opens the group menu; the list's own mouse messages arm, move
// and drop a drag while the view is in drag-sort mode.
LRESULT CALLBACK LibraryView::Hook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  return reinterpret_cast<LibraryView*>(self)->OnHookedMessage(hwnd, msg, wp, lp);
}

LRESULT LibraryView::OnHookedMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (hwnd == strip_ && msg == WM_RBUTTONDOWN) {
    PopUpMenuAtCursor(panel_, groupMenu_.get());
    return 0;
  }
  if (hwnd != list_ || !drag_.on()) return DefSubclassProc(hwnd, msg, wp, lp);
  return drag_.OnListMessage(msg, wp, lp, [&] { return DefSubclassProc(hwnd, msg, wp, lp); });
}

// ---- events from the panel ---------------------------------------------------------------------

void LibraryView::OnGroupCommand(Command command) {
  if (const auto action = PageActionOf(command)) Act(*action);
}

bool LibraryView::OnCommand(Command command) {
  // The list menus' commands: 4xx are the phrase page's, 5xx the command page's.
  const int menu = static_cast<int>(command) / 100;
  const auto action = PageActionOf(command);
  if (!action || menu != (kind_ == GroupKind::Phrase ? 4 : 5)) return false;
  Act(*action);
  return true;
}

library::PageState LibraryView::State() const {
  library::PageState state{ShownTab(), page_.Searching(), std::nullopt};
  if (const auto entry = page_.EntryAt(SelectedRow())) state.selected = library::PageState::Row{entry->tab, entry->row};
  return state;
}

// Every item works on the row the agent chose: during a search, the selected result in its own
// group, whichever tab the strip shows.
void LibraryView::Act(library::PageAction action) {
  using library::PageAction;
  if (action == PageAction::Send) return host_.SendPhrase(chat::SendMode::MenuSend);
  if (action == PageAction::SendWithoutEnter) return host_.SendPhrase(chat::SendMode::MenuSendNoEnter);
  if (action == PageAction::DragSort && drag_.on()) return;
  const library::ActionTarget target = library::TargetOf(action, State());
  // The group menu's operations work on the group view, once their group was taken from the search.
  const bool groupMenu = action == PageAction::AddGroup || action == PageAction::DeleteGroup ||
                         action == PageAction::RenameGroup || action == PageAction::ImportCsv ||
                         action == PageAction::ExportCsv;
  if (groupMenu) CancelSearch();
  if (target.refusal) return platform::ShowInfoMessage(panel_, *target.refusal);
  switch (action) {
    case PageAction::AddEntry: OpenEntryEditor(target, false); break;
    case PageAction::EditEntry: OpenEntryEditor(target, true); break;
    case PageAction::DeleteEntry: DeleteEntryOf(target); break;
    case PageAction::ClearGroup: ClearGroupOf(target); break;
    case PageAction::DragSort: drag_.Enter(shown_); break;
    case PageAction::AddGroup: AddGroup(); break;
    case PageAction::DeleteGroup: DeleteGroupOf(target); break;
    case PageAction::RenameGroup: RenameGroupOf(target); break;
    case PageAction::ImportCsv:
      ImportCsv(panel_, store_, ws_, kind_, [&] {
        RebuildStrip(ShownTab().value_or(library::TabRef{false, library::FirstVisibleIndex(ws_.library.strip(kind_))}));
        LibraryChanged();  // the new rows are searched too
        host_.SaveAll();   // the panel's own part of the save (geometry, schedule)
      });
      break;
    case PageAction::ExportCsv: ExportCsv(panel_, ws_.library.strip(kind_)); break;
    case PageAction::Send: case PageAction::SendWithoutEnter: break;
  }
}

bool LibraryView::OnControlCommand(HWND control, int code) {
  if (control == search_) {
    if (code == EN_CHANGE) OnSearchChanged();
    // The index is built while the agent starts typing, not on the first keystroke.
    if (code == EN_SETFOCUS) page_.PrepareIndex();
    return true;
  }
  if (control == leaveDragButton_) {
    if (code == BN_CLICKED) drag_.Leave();
    return true;
  }
  if (control == groupMenuButton_) {
    if (code == BN_CLICKED) PopUpMenuAtCursor(panel_, groupMenu_.get());
    return true;
  }
  return false;
}

bool LibraryView::OnNotify(const NMHDR& hdr, LRESULT& result) {
  if (balloon_.OnNotify(hdr, result)) return true;
  if (hdr.hwndFrom == strip_) {
    result = 0;
    if (hdr.code == TCN_SELCHANGING) {
      CancelSearch();  // back to the group view first, whose row is then remembered
      RememberShownRow();
      balloon_.Hide();
    } else if (hdr.code == TCN_SELCHANGE) {
      page_.ShowTabAt(TabCtrl_GetCurSel(strip_));
      SelectGroup();
    }
    return true;
  }
  if (hdr.hwndFrom != list_) return false;
  result = 0;
  switch (hdr.code) {
    case NM_CLICK: OnListClick(); break;
    case NM_RCLICK: OnListRightClick(); break;
    case NM_DBLCLK: OnListDoubleClick(); break;
    case LVN_BEGINDRAG:
      drag_.BeginDrag();
      break;
    case LVN_GETDISPINFOW: OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&hdr))); break;
  }
  return true;
}

bool LibraryView::OnDrawItem(const DRAWITEMSTRUCT& di) { return tabs_.DrawButton(di, dpi_); }

// ---- the team's groups ---------------------------------------------------------------------------

std::optional<library::TabRef> LibraryView::ShownTab() const { return page_.ShownTab(); }

std::optional<library::TabRef> LibraryView::SelectedTab() const {
  const auto entry = page_.Searching() ? page_.EntryAt(SelectedRow()) : std::nullopt;
  return entry ? entry->tab : ShownTab();
}



LibraryView::TeamReload LibraryView::PlaceBeforeTeamReload() const { return page_.PlaceBeforeTeamReload(SelectedRow()); }

void LibraryView::ShowTeamGroups(const library::GroupStrip* team, const TeamReload& before) {
  balloon_.Hide();
  const bool searching = page_.Searching();
  const int select = page_.ReloadTeam(team, before, SelectedRow());
  ShowTabs();
  if (searching) return ShowSearch(select);
  const auto tab = ShownTab();
  ClearSelection();
  ShowSelectedGroup(before.shown && tab && tab->team ? LVSICF_NOSCROLL : 0);
  SelectRow(select);
  BringToTop(list_);
  BringToTop(leaveDragButton_);
}



// ---- screenshots --------------------------------------------------------------------------------

void LibraryView::OpenForShot(int shot) {
  static LibraryView* pendingView = nullptr;
  static int pendingShot = 0;
  pendingView = this;
  pendingShot = shot;
  if (shot == 9) ListView_SetItemState(list_, 0, kSelectedFocused, kSelectedFocused);
  // The menus and editors run their own loops: open them once the panel's loop is running.
  SetTimer(panel_, kShotTimer, 300, [](HWND panel, UINT, UINT_PTR id, DWORD) {
    KillTimer(panel, id);
    LibraryView& view = *pendingView;
    RECT rc{};
    GetWindowRect(pendingShot == 5 ? view.strip_ : view.list_, &rc);
    SetCursorPos(rc.left + 40, rc.top + 12);
    switch (pendingShot) {
      case 5: PopUpMenuAtCursor(panel, view.groupMenu_.get()); break;
      case 6: case 7: PopUpMenuAtCursor(panel, view.listMenu_.get()); break;
      case 8: case 10: view.Act(library::PageAction::AddEntry); break;
      case 9: view.Act(library::PageAction::EditEntry); break;
    }
  });
}

// ---- search ------------------------------------------------------------------------------------


// Rows sent more often come first within each rank of the search's order.
void LibraryView::ApplySendCounts(library::SearchIndex& index) const {
  const storage::SendCounts& counts = host_.SendCounts();
  if (counts.empty()) return;
  index.SetSendCounts([&](const library::SearchHit& hit) -> std::uint32_t {
    const library::GroupStrip* strip = hit.team ? page_.TeamOrNull() : &ws_.library.strip(kind_);
    if (!strip) return 0;
    const library::Group& group = strip->slots()[hit.group];
    return counts.Count({storage::KindKey(kind_, hit.team), group.name(), group.rows()[hit.row]});
  });
}

std::optional<storage::SendCountKey> LibraryView::SelectedCountKey() const {
  const auto entry = page_.EntryAt(SelectedRow());
  if (!entry) return std::nullopt;
  const library::GroupStrip* strip = entry->tab.team ? page_.TeamOrNull() : &ws_.library.strip(kind_);
  const library::Group& group = strip->slots()[entry->tab.index];
  return storage::SendCountKey{storage::KindKey(kind_, entry->tab.team), group.name(), group.rows()[entry->row]};
}

void LibraryView::CountUse(const storage::SendCountKey& key) {
  host_.SendCounts().Add(key);
  // The results shown keep their order; the next keystroke's are ordered by the new counts, and
  // still look only among the last matches.
  if (library::SearchIndex* index = page_.FreshIndex()) ApplySendCounts(*index);
}

void LibraryView::LibraryChanged() {
  page_.LibraryChanged();
  if (page_.Searching()) ShowSearch(page_.SearchAgain(SelectedRow()));
}

void LibraryView::OnSearchChanged() {
  const std::string query = searchBox_.Query();
  if (query.empty()) {
    CancelSearch();
    return;
  }
  if (!page_.Searching()) {
    RememberShownRow();
    balloon_.Hide();
    // Results come from several groups: a drag among them would mean nothing.
    if (drag_.on()) drag_.Leave();
  }
  ShowSearch(page_.Search(query));
}

// The list shows the search results, `select` selected (the first one, so that Enter sends it, or
// the one selected before when the results are searched again after a change).
void LibraryView::ShowSearch(int select) {
  // Only the one selected row is cleared: clearing "all rows" walks every row of the list, which
  // with a hundred thousand results costs more than the search.
  if (const int selected = SelectedRow(); selected >= 0) ListView_SetItemState(list_, selected, 0, kSelectedFocused);
  ListView_SetItemCountEx(list_, page_.RowCount(), LVSICF_NOINVALIDATEALL);
  SelectRow(select);
  InvalidateRect(list_, nullptr, TRUE);
}

// Back to the group view as it was: the same tab, the same selected row.
void LibraryView::CancelSearch() {
  if (!page_.Searching()) return;
  page_.EndSearch();
  balloon_.Hide();
  if (GetWindowTextLengthW(search_) > 0) SetWindowTextW(search_, L"");  // its EN_CHANGE finds nothing to do
  SelectGroup();
}

void LibraryView::FocusSearch() {
  SetFocus(search_);
  SendMessageW(search_, EM_SETSEL, 0, -1);
}

void LibraryView::MoveSearchSelection(int step) {
  const int at = page_.Step(SelectedRow(), step);
  if (at < 0) return;
  ClearSelection();
  SelectRow(at);
}

bool LibraryView::PreTranslateSearchKey(const MSG& m) { return searchBox_.PreTranslateKey(m); }

void LibraryView::SearchForShot(std::string_view query) {
  platform::SetWindowTextUtf8(search_, query);
  FocusSearch();
}

}  // namespace jihe::app
