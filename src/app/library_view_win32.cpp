#include "app/library_view_win32.h"

#include <windowsx.h>
#include <commdlg.h>

#include <algorithm>
#include <variant>

#include "app/csv_dialogs_win32.h"
#include "app/page_controls_win32.h"
#include "library/entry_editor_win32.h"
#include "library/group_ops.h"
#include "library/input_box_win32.h"
#include "library/messages.h"
#include "library/preview.h"
#include "library/row_rules.h"
#include "platform/file_system.h"
#include "platform/input_method_win32.h"
#include "platform/shell_win32.h"
#include "platform/utf16.h"
#include "storage/csv_exchange.h"

namespace jihe::app {

using library::GroupKind;
using platform::Scale;
using platform::Unscale;
using platform::Widen;
namespace msg = library::msg;

namespace {

constexpr COLORREF kRowText = RGB(64, 128, 128);
constexpr COLORREF kDragSortText = RGB(88, 48, 224);
constexpr COLORREF kDragLabelText = RGB(128, 128, 128);
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
constexpr wchar_t kDragLabelClass[] = L"霁禾客服助手.画板";
constexpr UINT kSelectedFocused = LVIS_SELECTED | LVIS_FOCUSED;

// The dragged row's text on a small board that follows the pointer.
LRESULT CALLBACK DragLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    SetTextColor(dc, kDragLabelText);
    SetBkMode(dc, TRANSPARENT);
    auto font = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    DrawTextW(dc, text, -1, &rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

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
  SetWindowSubclass(strip_, &LibraryView::Hook, 1, reinterpret_cast<DWORD_PTR>(this));
  SetWindowSubclass(list_, &LibraryView::Hook, 2, reinterpret_cast<DWORD_PTR>(this));
}

// The drag label comes after every page's controls, so that it lies above them all.
void LibraryView::CreateOverlays() {
  WNDCLASSEXW label{};
  label.cbSize = sizeof label;
  label.lpfnWndProc = DragLabelProc;
  label.hInstance = GetModuleHandleW(nullptr);
  label.lpszClassName = kDragLabelClass;
  label.hCursor = LoadCursorW(nullptr, IDC_NO);
  RegisterClassExW(&label);
  dragLabel_ = CreateWindowExW(0, kDragLabelClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, panel_,
                               nullptr, GetModuleHandleW(nullptr), nullptr);

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
  for (HWND control : {strip_, list_, groupMenuButton_, leaveDragButton_, dragLabel_, search_})
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
  if (dragSortMode_) ShowWindow(leaveDragButton_, show);
}

// ---- group slots ------------------------------------------------------------------------------

// The team's groups, or an empty strip where there is no team library.
const library::GroupStrip& LibraryView::TeamOrNone(const library::GroupStrip* team) {
  static const library::GroupStrip none;
  return team ? *team : none;
}

// The own group shown; nothing while a team group is shown.
std::optional<size_t> LibraryView::ShownGroupIndex() const {
  const auto tab = ShownTab();
  if (!tab || tab->team) return std::nullopt;
  return tab->index;
}

const library::Group* LibraryView::ShownGroup() const {
  const auto tab = ShownTab();
  if (tab && tab->team) return team_ ? team_->ListOfGroup(tab->index) : nullptr;
  return tab ? ws_.library.strip(kind_).ListOfGroup(tab->index) : nullptr;
}

library::Group* LibraryView::ShownGroupForChange() {
  const auto index = ShownGroupIndex();
  return index ? ws_.library.strip(kind_).ListOfGroup(*index) : nullptr;
}

int LibraryView::SelectedRow() const { return ListView_GetNextItem(list_, -1, LVNI_SELECTED); }

void LibraryView::ClearSelection() { ListView_SetItemState(list_, -1, 0, kSelectedFocused); }

std::optional<std::string> LibraryView::SelectedRowText() const {
  const std::string* row = RowAt(SelectedRow());
  if (!row) return std::nullopt;
  return *row;
}

void LibraryView::ShowSelectedGroup(UINT countFlags) {
  const library::Group* group = ShownGroup();
  ListView_SetItemCountEx(list_, group ? group->rows().size() : 0, countFlags);
  InvalidateRect(list_, nullptr, TRUE);
}

void LibraryView::FillStrip(size_t selectGroup) { FillStrip(library::TabRef{false, selectGroup}); }

// The strip shows the visible groups, the agent's own first, then the team's; hidden slots keep
// their index but have no tab.
void LibraryView::FillStrip(library::TabRef select) {
  const library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::GroupStrip& team = TeamOrNone(team_);
  TabCtrl_DeleteAllItems(strip_);
  tabSlots_.clear();
  for (size_t index : strip.VisibleIndices()) tabSlots_.push_back({false, index});
  for (size_t index : team.VisibleIndices()) tabSlots_.push_back({true, index});
  int selectTab = 0;
  for (size_t i = 0; i < tabSlots_.size(); ++i) {
    std::wstring caption = Widen(library::TabCaption(strip, team, tabSlots_[i]));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(strip_, static_cast<int>(i), &item);
    if (tabSlots_[i].team == select.team && tabSlots_[i].index == select.index) selectTab = static_cast<int>(i);
  }
  TabCtrl_SetCurSel(strip_, selectTab);
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
void LibraryView::RememberShownRow() {
  if (searching_) return;  // the list shows results, not the group's rows
  if (const auto tab = ShownTab(); tab && tab->team) {
    if (const library::Group* g = ShownGroup()) teamRememberedRows_[g->name()] = SelectedRow();
    return;
  }
  if (auto index = ShownGroupIndex()) {
    if (rememberedRows_.size() <= *index) rememberedRows_.resize(*index + 1, -1);
    rememberedRows_[*index] = SelectedRow();
  }
}

// Select group: the strip's selected tab decides which group the list shows; the list and the
// drag-sort button come to the front.
void LibraryView::SelectGroup() {
  ClearSelection();
  ShowSelectedGroup(0);
  std::optional<int> remembered;
  if (auto index = ShownGroupIndex(); index && *index < rememberedRows_.size()) remembered = rememberedRows_[*index];
  if (const auto tab = ShownTab(); tab && tab->team)
    if (const library::Group* g = ShownGroup())
      if (auto it = teamRememberedRows_.find(g->name()); it != teamRememberedRows_.end()) remembered = it->second;
  if (remembered) {
    const int row = *remembered;
    if (row >= 0 && row < ListView_GetItemCount(list_)) {
      ListView_SetItemState(list_, row, kSelectedFocused, kSelectedFocused);
      ListView_EnsureVisible(list_, row, FALSE);
    }
  }
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
  if (!QuestionYesNo(library::ClearGroupQuestion(searching_, group->name()), kMessageTitle)) return;
  library::ClearGroup(strip, target.tab->index);
  ClearSelection();
  if (!searching_) ShowSelectedGroup(LVSICF_NOSCROLL);
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
    if (!searching_) ShowSelectedGroup(LVSICF_NOSCROLL);
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
  if (!searching_) ShowSelectedGroup(LVSICF_NOSCROLL);
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
  if (dragSortMode_) {
    platform::ShowInfoMessage(panel_, msg::kLeaveDragModeFirst);
    return;
  }
  HidePreviewBalloon();
  PopUpMenuAtCursor(panel_, listMenu_.get());
}

void LibraryView::OnListClick() {
  HidePreviewBalloon();
  if (dragSortMode_) {
    ResetDrag();
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
  const std::string* row = RowAt(info.item.iItem);
  if (!row) {
    dispText_.clear();
  } else if (searching_) {
    const library::SearchHit& hit = hits_[static_cast<size_t>(info.item.iItem)];
    const std::string group = library::TabCaption(ws_.library.strip(kind_), TeamOrNone(team_), {hit.team, hit.group});
    dispText_ = Widen(library::SearchRowText(group, *row));
  } else {
    dispText_ = Widen(*row);
  }
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

void LibraryView::EnterDragSort() {
  if (dragSortMode_) return;
  dragSortMode_ = true;
  // The button belongs to its page: it shows and hides with it.
  if (shown_) ShowWindow(leaveDragButton_, SW_SHOWNA);
  BringToTop(leaveDragButton_);
  ListView_SetTextColor(list_, kDragSortText);
  InvalidateRect(list_, nullptr, TRUE);
}

void LibraryView::LeaveDragSort() {
  dragSortMode_ = false;
  ShowWindow(leaveDragButton_, SW_HIDE);
  ListView_SetTextColor(list_, kRowText);
  InvalidateRect(list_, nullptr, TRUE);
  ResetDrag();
}

void LibraryView::ResetDrag() {
  if (dragLabel_) {
    SetWindowTextW(dragLabel_, L"");
    SetWindowPos(dragLabel_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  dragArmed_ = false;
  dragLabelText_.clear();
  if (GetCapture() == list_) ReleaseCapture();
}

void LibraryView::DragMove(POINT inList) {
  POINT inPanel = inList;
  MapWindowPoints(list_, panel_, &inPanel, 1);
  if (!OverList(inList)) {
    // Over the panel's own surface: nothing can be dropped here.
    SetCursor(LoadCursorW(nullptr, IDC_NO));
    SetWindowPos(dragLabel_, HWND_TOP, inPanel.x + 10, inPanel.y + 10, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  // Back over the list: the capture keeps WM_SETCURSOR away, so the pointer is set here.
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  if (dragLabelText_.empty()) {
    if (const auto row = SelectedRowText()) dragLabelText_ = library::DragLabelText(*row);
    return;
  }
  const UINT dpi = platform::DpiOf(panel_);
  platform::SetWindowTextUtf8(dragLabel_, dragLabelText_);
  SetWindowPos(dragLabel_, HWND_TOP, inPanel.x + 10, inPanel.y + 10, Scale(library::DragLabelWidth(dragLabelText_), dpi),
               Scale(16, dpi), SWP_NOACTIVATE);
  InvalidateRect(dragLabel_, nullptr, TRUE);
}

// The list's whole window counts, its scroll bar included: a release there is a drop below the
// last row, not a release over the panel.
bool LibraryView::OverList(POINT inList) const {
  RECT window{};
  GetWindowRect(list_, &window);
  MapWindowPoints(HWND_DESKTOP, list_, reinterpret_cast<POINT*>(&window), 2);
  return PtInRect(&window, inList) != FALSE;
}

void LibraryView::Drop(POINT inList, bool armed) {
  ResetDrag();
  if (!armed) return;
  if (!OverList(inList)) return;  // released over the panel: nothing moves
  const int from = SelectedRow();
  ClearSelection();
  LVHITTESTINFO hit{};
  hit.pt = inList;
  const int to = ListView_HitTest(list_, &hit) >= 0 && (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
  // Drag-sort was turned on in an own group, and a team group is shown now.
  if (from >= 0 && from != to && RefuseTeamChange()) return;
  library::Group* g = ShownGroupForChange();
  // A drop with no row taken, in a list of one row, or onto the dragged row itself moves nothing
  // and leaves no row selected.
  if (!g || from < 0 || g->rows().size() < 2 || from == to) return;
  if (const auto moved = library::MoveRow(g->MutableRows(), from, to)) {
    const int at = static_cast<int>(*moved);
    ListView_SetItemState(list_, at, kSelectedFocused, kSelectedFocused);
    ListView_EnsureVisible(list_, at, FALSE);
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
  if (hwnd != list_ || !dragSortMode_) return DefSubclassProc(hwnd, msg, wp, lp);
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_LBUTTONDOWN:
      dragArmed_ = true;
      break;
    case WM_MOUSEMOVE:
      if (dragArmed_ && (wp & MK_LBUTTON)) {
        if (GetCapture() != hwnd) SetCapture(hwnd);
        DragMove(pt);
        return 0;
      }
      break;
    case WM_LBUTTONUP: {
      const bool armed = dragArmed_;
      const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      Drop(pt, armed);
      return r;
    }
    case WM_CAPTURECHANGED:
      if (dragArmed_ && reinterpret_cast<HWND>(lp) != hwnd && !(GetKeyState(VK_LBUTTON) & 0x8000)) ResetDrag();
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
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
  library::PageState state{ShownTab(), searching_, std::nullopt};
  if (const auto entry = SelectedEntry()) state.selected = library::PageState::Row{{entry->team, entry->group}, entry->row};
  return state;
}

// Every item works on the row the agent chose: during a search, the selected result in its own
// group, whichever tab the strip shows.
void LibraryView::Act(library::PageAction action) {
  using library::PageAction;
  if (action == PageAction::Send) return host_.SendPhrase(chat::SendMode::MenuSend);
  if (action == PageAction::SendWithoutEnter) return host_.SendPhrase(chat::SendMode::MenuSendNoEnter);
  if (action == PageAction::DragSort && dragSortMode_) return;
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
    case PageAction::DragSort: EnterDragSort(); break;
    case PageAction::AddGroup: AddGroup(); break;
    case PageAction::DeleteGroup: DeleteGroupOf(target); break;
    case PageAction::RenameGroup: RenameGroupOf(target); break;
    case PageAction::ImportCsv: ImportCsv(); break;
    case PageAction::ExportCsv: ExportCsv(); break;
    case PageAction::Send: case PageAction::SendWithoutEnter: break;
  }
}

bool LibraryView::OnControlCommand(HWND control, int code) {
  if (control == search_) {
    if (code == EN_CHANGE) OnSearchChanged();
    // The index is built while the agent starts typing, not on the first keystroke.
    if (code == EN_SETFOCUS && indexStale_) BuildIndex();
    return true;
  }
  if (control == leaveDragButton_) {
    if (code == BN_CLICKED) LeaveDragSort();
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
      if (dragSortMode_ && dragArmed_) SetCapture(list_);
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

std::optional<library::TabRef> LibraryView::ShownTab() const {
  const int tab = TabCtrl_GetCurSel(strip_);
  if (tab < 0 || static_cast<size_t>(tab) >= tabSlots_.size()) return std::nullopt;
  return tabSlots_[static_cast<size_t>(tab)];
}

std::optional<library::TabRef> LibraryView::SelectedTab() const {
  if (!searching_) return ShownTab();
  const auto entry = SelectedEntry();
  if (!entry) return ShownTab();
  return library::TabRef{entry->team, entry->group};
}

bool LibraryView::RefuseTeamChange() {
  const auto tab = ShownTab();
  if (!tab) return false;
  const auto refusal = library::ChangeRefusal(*tab);
  if (refusal) platform::ShowInfoMessage(panel_, *refusal);
  return refusal.has_value();
}

std::optional<LibraryView::TeamPlace> LibraryView::ShownTeamPlace() const {
  const auto tab = ShownTab();
  const library::Group* g = ShownGroup();
  if (!tab || !tab->team || !g) return std::nullopt;
  TeamPlace place{g->name(), std::nullopt, {}};
  if (const int row = SelectedRow(); row >= 0 && static_cast<size_t>(row) < g->rows().size()) {
    place.row = static_cast<size_t>(row);
    place.rowText = g->rows()[static_cast<size_t>(row)];
  }
  return place;
}

LibraryView::TeamReload LibraryView::PlaceBeforeTeamReload() const {
  TeamReload before{ShownTeamPlace(), std::nullopt};
  if (!searching_) return before;
  if (const auto entry = SelectedEntry()) {
    const library::GroupStrip* source = entry->team ? team_ : &ws_.library.strip(kind_);
    const library::Group* g = source ? source->ListOfGroup(entry->group) : nullptr;
    if (g && entry->row < g->rows().size())
      before.result = ResultPlace{entry->team, entry->group, entry->row, g->name(), g->rows()[entry->row]};
  }
  return before;
}

void LibraryView::ShowTeamGroups(const library::GroupStrip* team, const TeamReload& before) {
  HidePreviewBalloon();
  indexStale_ = true;
  if (searching_)
    ShowTeamGroupsUnderSearch(team, before);
  else
    ShowTeamGroupsInStrip(team, before.shown);
}

// A search is under way: the strip is rebuilt under it, keeping its tab, and the results are
// searched again in the new team library, the selected one kept where it still exists.
void LibraryView::ShowTeamGroupsUnderSearch(const library::GroupStrip* team, const TeamReload& before) {
  team_ = team;
  const auto tab = ShownTab();
  library::TabRef select{false, library::FirstVisibleIndex(ws_.library.strip(kind_))};
  if (tab && !tab->team) {
    select = *tab;
  } else if (before.shown) {
    const library::KeptSelection kept = library::KeepSelection(TeamOrNone(team), before.shown->group, {}, {});
    if (kept.group) select = {true, *kept.group};
  }
  FillStrip(select);
  const auto& result = before.result;
  if (!result) return RunSearch(true);
  // The selected result by its group and text; when it is gone nothing is selected, as in the
  // group view (a row no result has).
  ListRow keep{SIZE_MAX, SIZE_MAX, true};
  if (!result->team) {
    keep = ListRow{result->group, result->row, false};
  } else if (team) {
    const library::KeptSelection kept = library::KeepSelection(*team, result->groupName, result->row, result->rowText);
    if (kept.group && kept.row) keep = ListRow{*kept.group, *kept.row, true};
  }
  RunSearch(false, keep);
}

void LibraryView::ShowTeamGroupsInStrip(const library::GroupStrip* team, const std::optional<TeamPlace>& place) {
  const auto tab = ShownTab();
  if (!place) {
    // An own group is shown (or none yet): it stays, with its row.
    if (tab) RememberShownRow();
    team_ = team;
    FillStrip(tab && !tab->team ? *tab : library::TabRef{false, library::FirstVisibleIndex(ws_.library.strip(kind_))});
    SelectGroup();
    return;
  }
  team_ = team;
  const library::KeptSelection kept = library::KeepSelection(TeamOrNone(team), place->group, place->row, place->rowText);
  if (!kept.group) {
    // The team group is gone: back to the first own group.
    FillStrip(library::TabRef{false, library::FirstVisibleIndex(ws_.library.strip(kind_))});
    SelectGroup();
    return;
  }
  FillStrip(library::TabRef{true, *kept.group});
  ClearSelection();
  ShowSelectedGroup(LVSICF_NOSCROLL);
  if (kept.row) {
    const int row = static_cast<int>(*kept.row);
    ListView_SetItemState(list_, row, kSelectedFocused, kSelectedFocused);
    ListView_EnsureVisible(list_, row, FALSE);
  }
  BringToTop(list_);
  BringToTop(leaveDragButton_);
}

// ---- CSV import and export ------------------------------------------------------------------------

// Rows go into the agent's own groups of this page, by the group names of the file. The file is
// read and checked on a worker; the rows go in here, and only when they are on disk whole.
void LibraryView::ImportCsv() {
  const auto path = AskCsvPath(panel_, false);
  if (!path) return;
  storage::CsvProgress progress;
  bool unreadable = false;
  std::variant<storage::CsvImportPlan, storage::CsvImportError> read;
  const bool ran = RunWithProgress(panel_, "正在导入CSV…", progress, [&] {
    std::optional<std::string> bytes = platform::ReadWholeFile(*path);
    if (!bytes) unreadable = true;
    else read = storage::ReadCsvImport(std::move(*bytes), kind_, &progress);
  });
  if (!ran || progress.cancel) return;  // nothing changed
  if (unreadable) return platform::ShowInfoMessage(panel_, "无法读取文件：" + *path);
  if (const auto* error = std::get_if<storage::CsvImportError>(&read))
    return platform::ShowInfoMessage(panel_, error->message + "\r\n没有导入任何内容。");

  library::GroupStrip& strip = ws_.library.strip(kind_);
  auto applied = storage::ApplyCsvImport(std::move(std::get<storage::CsvImportPlan>(read)), strip,
                                         [&](const std::vector<std::string>& names) {
                                           return storage::GroupFilesTooLong(store_.folder(), kind_, names);
                                         });
  if (const auto* error = std::get_if<storage::CsvImportError>(&applied))
    return platform::ShowInfoMessage(panel_, error->message + "\r\n没有导入任何内容。");
  const auto& counts = std::get<storage::CsvImportCounts>(applied);
  if (counts.added > 0 || counts.groupsCreated > 0) {
    const storage::SaveReport report = store_.SaveAllOrNothing(ws_);
    if (report.failures) {
      storage::UndoCsvImport(counts, strip);
      return platform::ShowInfoMessage(panel_, report.notUndone ? "数据文件夹写不进去，导入没有完成，部分文件也没能还原。"
                                                                : "数据文件夹写不进去，没有导入任何内容。");
    }
    RebuildStrip(ShownTab().value_or(library::TabRef{false, library::FirstVisibleIndex(strip)}));
    LibraryChanged();  // the new rows are searched too
    host_.SaveAll();   // the panel's own part of the save (geometry, schedule)
  }
  platform::ShowInfoMessage(panel_, storage::ImportSummary(counts));
}

// The file is made from a copy of the page's groups, on a worker.
void LibraryView::ExportCsv() {
  const auto path = AskCsvPath(panel_, true);
  if (!path) return;
  const library::GroupStrip strip = ws_.library.strip(kind_);
  storage::CsvProgress progress;
  bool written = false;
  const bool ran = RunWithProgress(panel_, "正在导出CSV…", progress, [&] {
    const std::string file = storage::ExportCsv(strip, &progress);
    written = !progress.cancel && platform::WriteFileAtomically(*path, file);
  });
  if (!ran || (progress.cancel && !written)) return;
  if (!written) return platform::ShowInfoMessage(panel_, "无法写入文件：" + *path);
  size_t rows = 0;
  const std::vector<size_t> groups = strip.VisibleIndices();
  for (size_t index : groups) rows += strip.ListOfGroup(index)->rows().size();
  platform::ShowInfoMessage(panel_, "导出完成：" + std::to_string(groups.size()) + " 个分组，" +
                                        std::to_string(rows) + " 条");
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

const std::string* LibraryView::RowAt(int listRow) const {
  if (listRow < 0) return nullptr;
  const library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* g = nullptr;
  size_t row = static_cast<size_t>(listRow);
  if (searching_) {
    if (row >= hits_.size()) return nullptr;
    const library::GroupStrip* source = hits_[row].team ? team_ : &strip;
    g = source ? source->ListOfGroup(hits_[row].group) : nullptr;
    row = hits_[row].row;
  } else {
    g = ShownGroup();
  }
  return g && row < g->rows().size() ? &g->rows()[row] : nullptr;
}

void LibraryView::BuildIndex() {
  index_ = library::SearchIndex(ws_.library.strip(kind_), team_, kind_);
  indexStale_ = false;
  if (!host_.SendCounts().empty()) ApplySendCounts();
}

void LibraryView::ApplySendCounts() {
  const storage::SendCounts& counts = host_.SendCounts();
  index_.SetSendCounts([&](const library::SearchHit& hit) -> std::uint32_t {
    const library::GroupStrip* strip = hit.team ? team_ : &ws_.library.strip(kind_);
    if (!strip) return 0;
    const library::Group& group = strip->slots()[hit.group];
    return counts.Count({storage::KindKey(kind_, hit.team), group.name(), group.rows()[hit.row]});
  });
}

std::optional<storage::SendCountKey> LibraryView::SelectedCountKey() const {
  const int selected = SelectedRow();
  const std::string* text = RowAt(selected);
  if (!text) return std::nullopt;
  std::optional<library::TabRef> tab = SelectedTab();
  if (searching_) {
    const library::SearchHit& hit = hits_[static_cast<size_t>(selected)];
    tab = library::TabRef{hit.team, hit.group};
  }
  const library::GroupStrip* strip = tab && tab->team ? team_ : &ws_.library.strip(kind_);
  if (!tab || !strip || tab->index >= strip->slots().size()) return std::nullopt;
  return storage::SendCountKey{storage::KindKey(kind_, tab->team), strip->slots()[tab->index].name(), *text};
}

void LibraryView::CountUse(const storage::SendCountKey& key) {
  host_.SendCounts().Add(key);
  // The results shown keep their order; the next keystroke's are ordered by the new counts, and
  // still look only among the last matches.
  if (!indexStale_) ApplySendCounts();
}

std::optional<LibraryView::ListRow> LibraryView::SelectedEntry() const {
  const int selected = SelectedRow();
  if (!RowAt(selected)) return std::nullopt;
  if (searching_) {
    const library::SearchHit& hit = hits_[static_cast<size_t>(selected)];
    return ListRow{hit.group, hit.row, hit.team};
  }
  const auto tab = ShownTab();
  if (!tab) return std::nullopt;
  return ListRow{tab->index, static_cast<size_t>(selected), tab->team};
}

void LibraryView::LibraryChanged() {
  indexStale_ = true;
  if (searching_) RunSearch(false);
}

void LibraryView::OnSearchChanged() {
  const std::string query = searchBox_.Query();
  if (query.empty()) {
    CancelSearch();
    return;
  }
  if (!searching_) {
    RememberShownRow();
    HidePreviewBalloon();
    // Results come from several groups: a drag among them would mean nothing.
    if (dragSortMode_) LeaveDragSort();
    searching_ = true;
  }
  RunSearch(true);
}

// The list shows the results of the box's query; the first one is selected so that Enter sends
// it, or the one selected before when the results are searched again after a change.
void LibraryView::RunSearch(bool selectFirst, std::optional<ListRow> keep) {
  if (indexStale_) BuildIndex();
  const std::optional<ListRow> before = selectFirst ? std::nullopt : keep ? keep : SelectedEntry();
  hits_ = index_.Search(searchBox_.Query());
  // Only the one selected row is cleared: clearing "all rows" walks every row of the list, which
  // with a hundred thousand results costs more than the search.
  if (const int selected = SelectedRow(); selected >= 0) ListView_SetItemState(list_, selected, 0, kSelectedFocused);
  ListView_SetItemCountEx(list_, hits_.size(), LVSICF_NOINVALIDATEALL);
  int select = hits_.empty() ? -1 : 0;
  if (before) {
    select = -1;
    for (size_t i = 0; i < hits_.size(); ++i)
      if (hits_[i].group == before->group && hits_[i].row == before->row && hits_[i].team == before->team)
        select = static_cast<int>(i);
  }
  if (select >= 0) {
    ListView_SetItemState(list_, select, kSelectedFocused, kSelectedFocused);
    ListView_EnsureVisible(list_, select, FALSE);
  }
  InvalidateRect(list_, nullptr, TRUE);
}

// Back to the group view as it was: the same tab, the same selected row.
void LibraryView::CancelSearch() {
  if (!searching_) return;
  searching_ = false;
  hits_.clear();
  HidePreviewBalloon();
  if (GetWindowTextLengthW(search_) > 0) SetWindowTextW(search_, L"");  // its EN_CHANGE finds nothing to do
  SelectGroup();
}

void LibraryView::FocusSearch() {
  SetFocus(search_);
  SendMessageW(search_, EM_SETSEL, 0, -1);
}

void LibraryView::MoveSearchSelection(int step) {
  const int count = ListView_GetItemCount(list_);
  if (count == 0) return;
  const int at = std::clamp(SelectedRow() + step, 0, count - 1);
  ClearSelection();
  ListView_SetItemState(list_, at, kSelectedFocused, kSelectedFocused);
  ListView_EnsureVisible(list_, at, FALSE);
}

bool LibraryView::PreTranslateSearchKey(const MSG& m) { return searchBox_.PreTranslateKey(m); }

void LibraryView::SearchForShot(std::string_view query) {
  platform::SetWindowTextUtf8(search_, query);
  FocusSearch();
}

}  // namespace jihe::app
