#include "app/library_view_win32.h"

#include <windowsx.h>

#include <algorithm>

#include "app/csv_dialogs_win32.h"
#include "app/drag_sort_win32.h"
#include "app/page_controls_win32.h"
#include "library/entry_editor_win32.h"
#include "library/group_ops.h"
#include "library/input_box_win32.h"
#include "library/messages.h"
#include "library/preview.h"
#include "library/row_rules.h"
#include "platform/input_method_win32.h"
#include "platform/shell_win32.h"
#include "platform/utf16.h"

namespace jihe::app {

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
constexpr UINT_PTR kBalloonHideTimer = 0x4C42;  // on the balloon's own window
constexpr UINT kBalloonShowMs = 5000;
constexpr int kBalloonMaxWidth = 600;
constexpr UINT_PTR kShotTimer = 0x4C53;
constexpr UINT kSelectedFocused = LVIS_SELECTED | LVIS_FOCUSED;


void CALLBACK HideBalloonTimer(HWND balloon, UINT, UINT_PTR id, DWORD) {
  KillTimer(balloon, id);
  SendMessageW(balloon, TTM_TRACKACTIVATE, FALSE, 0);
}

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
  strip_ = AddPageControl(panel, WC_TABCONTROLW, "", WS_TABSTOP, 0, kStripId[k]);
  list_ = AddPageControl(panel, WC_LISTVIEWW, "",
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
  groupMenuButton_ = AddPageControl(panel, WC_BUTTONW, "", BS_OWNERDRAW | WS_TABSTOP, 0, kGroupMenuButtonId[k]);
  leaveDragButton_ = AddPageControl(panel, WC_BUTTONW, "退出拖放模式", BS_PUSHBUTTON, 0, kLeaveDragButtonId[k]);
  search_ = AddPageControl(panel, WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kSearchBoxId[k]);
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

// The drag label comes after every page's controls, so that it lies above them all.
void LibraryView::CreateOverlays() {
  drag_.CreateLabel();

  previewBalloon_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel_, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = panel_;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(previewBalloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(previewBalloon_, TTM_SETMAXTIPWIDTH, 0, kBalloonMaxWidth);  // lines break only where the text says
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
  KeepStripArrowsClear();  // the strip placed them for its new size, before the button moved
}

// The "≡" button lies over the right end of the strip's tab row, where the strip puts its scroll
// arrows (an up-down child it makes once the tabs overflow, which team tabs make the usual case).
// The arrows are kept left of the button, wherever the strip places them, so they can be clicked.
void LibraryView::KeepStripArrowsClear() {
  HWND arrows = FindWindowExW(strip_, nullptr, UPDOWN_CLASSW, nullptr);
  if (!arrows) return;
  if (arrows != stripArrows_) {
    stripArrows_ = arrows;
    SetWindowSubclass(arrows, &LibraryView::Hook, 3, reinterpret_cast<DWORD_PTR>(this));
  }
  RECT rc{};
  GetWindowRect(arrows, &rc);
  MapWindowPoints(HWND_DESKTOP, strip_, reinterpret_cast<POINT*>(&rc), 2);
  // Its WM_WINDOWPOSCHANGING puts it in its place.
  SetWindowPos(arrows, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where the arrows end, in the strip's coordinates: at the button's left edge.
int LibraryView::StripArrowsRight() const {
  RECT strip{}, button{};
  GetClientRect(strip_, &strip);
  GetWindowRect(groupMenuButton_, &button);
  MapWindowPoints(HWND_DESKTOP, strip_, reinterpret_cast<POINT*>(&button), 2);
  return std::min<int>(strip.right, button.left);
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
  TabCtrl_DeleteAllItems(strip_);
  const auto& tabs = page_.Tabs();
  for (size_t i = 0; i < tabs.size(); ++i) {
    std::wstring caption = Widen(page_.Caption(tabs[i]));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(strip_, static_cast<int>(i), &item);
  }
  TabCtrl_SetCurSel(strip_, std::max(0, page_.ShownPosition()));
  host_.RelayoutPanel();
  KeepStripArrowsClear();
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

bool LibraryView::QuestionYesNo(std::string_view text, std::string_view title) {
  return MessageBoxW(panel_, Widen(text).c_str(), Widen(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// A new group is the agent's own, also while a team tab is shown: it goes after the own groups.
void LibraryView::AddGroup() {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const auto name = library::InputBox(panel_, msg::kAddGroupPrompt, msg::kAddGroupTitle, "");
  if (!name) return;
  if (auto refusal = library::AddGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  RebuildStrip(library::AddGroup(strip, *name));
  LibraryChanged();
}

void LibraryView::DeleteGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  const size_t index = target.tab->index;
  if (auto refusal = library::DeleteGroupRefusal(index)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  const std::string name = group->name();
  if (!QuestionYesNo(library::DeleteFirstQuestion(name), kMessageTitle)) return;
  if (!QuestionYesNo(library::DeleteSecondQuestion(name), msg::kDeleteSecondTitle)) return;
  library::DeleteGroup(strip, index);
  RebuildStrip(library::FirstVisibleIndex(strip));
  LibraryChanged();
}

void LibraryView::RenameGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  const size_t index = target.tab->index;
  const auto name = library::InputBox(panel_, msg::kRenamePrompt, msg::kRenameTitle, group->name());
  if (!name || name->empty()) return;
  if (auto refusal = library::RenameGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  host_.SendCounts().RenameGroup(storage::KindKey(kind_, false), strip.slots()[index].name(), *name);
  library::RenameGroup(strip, index, *name);
  RebuildStrip(index);
  LibraryChanged();
}

// During a search the group cleared is the selected result's, which the question names.
void LibraryView::ClearGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  if (!QuestionYesNo(library::ClearGroupQuestion(page_.Searching(), group->name()), kMessageTitle)) return;
  library::ClearGroup(strip, target.tab->index);
  ClearSelection();
  if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
  LibraryChanged();
}

// ---- entries ----------------------------------------------------------------------------------

// An edited row stays in its own group (during a search, the result's); an added one goes to the
// group of the row chosen, or of the tab shown.
void LibraryView::OpenEntryEditor(const library::ActionTarget& target, bool edit) {
  if (!target.tab || (edit && !target.row)) return;
  const size_t group = target.tab->index;
  library::EntryEditorContext ctx;
  ctx.kind = kind_;
  ctx.mode = edit ? library::EditorMode::Edit : library::EditorMode::Add;
  ctx.library = &ws_.library;
  ctx.selectedGroup = group;
  ctx.currentList = group;
  ctx.editedRow = edit ? *target.row : 0;
  ctx.folder = &store_.folder();
  ctx.onConfirmed = [this](bool rowLeftList) {
    if (rowLeftList) ClearSelection();
    if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
    LibraryChanged();
    host_.SaveAll();
  };
  library::RunEntryEditor(panel_, ctx);
}

void LibraryView::DeleteEntryOf(const library::ActionTarget& target) {
  library::Group* g = target.tab && target.row ? ws_.library.strip(kind_).ListOfGroup(target.tab->index) : nullptr;
  if (!g || *target.row >= g->rows().size()) {
    platform::ShowInfoMessage(panel_, msg::kSelectToDelete);
    return;
  }
  auto& rows = g->MutableRows();
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(*target.row));
  ClearSelection();
  if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
  LibraryChanged();
  host_.SaveAll();
}

void LibraryView::LaunchSelectedCommand() {
  const auto row = SelectedRowText();
  if (!row) return;
  const std::string content(library::ContentOf(*row));
  // A launch that fails says nothing, and does not count.
  bool launched = false;
  switch (library::LaunchKindOf(content)) {
    case library::LaunchKind::Address: launched = platform::SystemShell().OpenWithShell(content); break;
    case library::LaunchKind::Path: launched = platform::OpenMaximised(content); break;
    case library::LaunchKind::None: break;
  }
  if (launched)
    if (const auto key = SelectedCountKey()) CountUse(*key);
}

// ---- mouse on the list --------------------------------------------------------------------------

void LibraryView::OnListRightClick() {
  if (drag_.on()) {
    platform::ShowInfoMessage(panel_, msg::kLeaveDragModeFirst);
    return;
  }
  HidePreviewBalloon();
  PopUpMenuAtCursor(panel_, listMenu_.get());
}

void LibraryView::OnListClick() {
  HidePreviewBalloon();
  if (drag_.on()) {
    drag_.Reset();
    return;
  }
  if (kind_ != GroupKind::Phrase) return;  // a single click only selects a command
  if (ws_.options.Get(settings::Option::单击发送)) {
    host_.SendPhrase(chat::SendMode::ListClick);
    return;
  }
  if (ws_.options.Get(settings::Option::显示预览)) ShowPreviewBalloon();
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

void LibraryView::ShowPreviewBalloon() {
  const auto row = SelectedRowText();
  if (!row) return;
  balloon_ = library::PreviewBalloon(*row);
  if (balloon_.text.empty()) return;
  std::wstring wide = Widen(balloon_.text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = panel_;
  tool.lpszText = wide.data();
  SendMessageW(previewBalloon_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT pt{};
  GetCursorPos(&pt);
  balloonAt_ = pt;
  SendMessageW(previewBalloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + 20, pt.y));
  SendMessageW(previewBalloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  SetTimer(previewBalloon_, kBalloonHideTimer, kBalloonShowMs, HideBalloonTimer);
}

void LibraryView::HidePreviewBalloon() {
  if (!previewBalloon_) return;
  KillTimer(previewBalloon_, kBalloonHideTimer);
  SendMessageW(previewBalloon_, TTM_TRACKACTIVATE, FALSE, 0);
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
  if (hwnd == stripArrows_ && msg == WM_WINDOWPOSCHANGING) {
    auto& pos = *reinterpret_cast<WINDOWPOS*>(lp);
    if (!(pos.flags & SWP_NOMOVE)) {
      RECT now{};
      GetWindowRect(hwnd, &now);
      pos.x = StripArrowsRight() - ((pos.flags & SWP_NOSIZE) ? now.right - now.left : pos.cx);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
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

// The balloon's variables in the preview's colour for them: once the balloon has drawn its text,
// each variable is drawn again over its own place. Where the balloon put its text is worked out
// from its size: the text block sits between equal margins left and right, and above or below
// the stem, which points at the spot the balloon was shown for.
LRESULT LibraryView::DrawBalloonText(NMTTCUSTOMDRAW& draw) const {
  if (balloon_.variables.empty() || (draw.uDrawFlags & DT_CALCRECT)) return CDRF_DODEFAULT;
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
  if (draw.nmcd.dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
  HDC dc = draw.nmcd.hdc;
  const std::wstring all = Widen(balloon_.text);
  RECT block{0, 0, kBalloonMaxWidth, 0};
  DrawTextW(dc, all.c_str(), static_cast<int>(all.size()), &block, draw.uDrawFlags | DT_CALCRECT);
  RECT client{}, window{}, margin{};
  GetClientRect(previewBalloon_, &client);
  GetWindowRect(previewBalloon_, &window);
  SendMessageW(previewBalloon_, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  const int side = (client.right - block.right - margin.left - margin.right) / 2;
  const bool stemAbove = window.top >= balloonAt_.y;
  const int left = margin.left + side;
  const int top = stemAbove ? client.bottom - margin.bottom - side - block.bottom : margin.top + side;

  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int lineHeight = metrics.tmHeight + ((draw.uDrawFlags & DT_EXTERNALLEADING) ? metrics.tmExternalLeading : 0);
  constexpr uint32_t c = library::kVariableColour;
  SetTextColor(dc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  SetBkColor(dc, static_cast<COLORREF>(SendMessageW(previewBalloon_, TTM_GETTIPBKCOLOR, 0, 0)));
  SetBkMode(dc, OPAQUE);
  const std::string_view text = balloon_.text;
  for (const auto& [begin, end] : balloon_.variables) {
    // The line the variable is on, and the text before it on that line.
    int line = 0;
    size_t lineStart = 0;
    for (size_t at; (at = text.find("\r\n", lineStart)) != std::string_view::npos && at < begin; lineStart = at + 2) ++line;
    const std::wstring before = Widen(text.substr(lineStart, begin - lineStart));
    const std::wstring piece = Widen(text.substr(begin, end - begin));
    SIZE offset{};
    GetTextExtentPoint32W(dc, before.c_str(), static_cast<int>(before.size()), &offset);
    TextOutW(dc, left + offset.cx, top + line * lineHeight, piece.c_str(), static_cast<int>(piece.size()));
  }
  return CDRF_DODEFAULT;
}

bool LibraryView::OnNotify(const NMHDR& hdr, LRESULT& result) {
  if (hdr.hwndFrom == previewBalloon_ && previewBalloon_ && hdr.code == NM_CUSTOMDRAW) {
    result = DrawBalloonText(*reinterpret_cast<NMTTCUSTOMDRAW*>(const_cast<NMHDR*>(&hdr)));
    return true;
  }
  if (hdr.hwndFrom == strip_) {
    result = 0;
    if (hdr.code == TCN_SELCHANGING) {
      CancelSearch();  // back to the group view first, whose row is then remembered
      RememberShownRow();
      HidePreviewBalloon();
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

// The group menu button: a small framed "≡".
bool LibraryView::OnDrawItem(const DRAWITEMSTRUCT& di) {
  if (di.hwndItem != groupMenuButton_) return false;
  RECT rc = di.rcItem;
  FillRect(di.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(di.hDC, &rc, (di.itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  platform::UniqueBrush bar(CreateSolidBrush(kRowText));
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const int thick = std::max(1, Scale(2, dpi_));
  for (int i = 0; i < 3; ++i) {
    const int y = rc.top + h / 2 - thick / 2 + (i - 1) * Scale(5, dpi_);
    RECT line{rc.left + w / 4, y, rc.right - w / 4, y + thick};
    FillRect(di.hDC, &line, bar.get());
  }
  if (di.itemState & ODS_FOCUS) {
    InflateRect(&rc, -3, -3);
    DrawFocusRect(di.hDC, &rc);
  }
  return true;
}

// ---- the team's groups ---------------------------------------------------------------------------

std::optional<library::TabRef> LibraryView::ShownTab() const { return page_.ShownTab(); }

std::optional<library::TabRef> LibraryView::SelectedTab() const {
  const auto entry = page_.Searching() ? page_.EntryAt(SelectedRow()) : std::nullopt;
  return entry ? entry->tab : ShownTab();
}



LibraryView::TeamReload LibraryView::PlaceBeforeTeamReload() const { return page_.PlaceBeforeTeamReload(SelectedRow()); }

void LibraryView::ShowTeamGroups(const library::GroupStrip* team, const TeamReload& before) {
  HidePreviewBalloon();
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
    HidePreviewBalloon();
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
  HidePreviewBalloon();
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
