// The library at work on the Main panel: the group menu and its operations, the list menus, what
// a click, a double click and a right click on a list do, the preview balloon, drag-sort mode
// and the phrase and command editors.
#include "app/main_panel_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include "library/entry_editor_win32.h"
#include "library/group_ops.h"
#include "library/input_box_win32.h"
#include "library/messages.h"
#include "library/row_rules.h"
#include "platform/shell_win32.h"
#include "platform/utf16.h"

namespace jihe::app {

using library::GroupKind;
using platform::Widen;
namespace msg = library::msg;

namespace {

constexpr COLORREF kRowText = RGB(64, 128, 128);
constexpr COLORREF kDragSortText = RGB(88, 48, 224);
constexpr COLORREF kDragLabelText = RGB(128, 128, 128);
constexpr int kDragButtonId[2] = {140, 141};
constexpr UINT_PTR kBalloonHideTimer = 0x4C42;  // on the balloon's own window
constexpr UINT kBalloonShowMs = 5000;
constexpr UINT_PTR kShotTimer = 0x4C53;
constexpr wchar_t kDragLabelClass[] = L"霁禾客服助手.画板";

HMENU BuildListMenu(const MenuRow* rows, size_t count) {
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < count; ++i) {
    if (rows[i].command == Command::Separator)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(rows[i].command), Widen(rows[i].caption).c_str());
  }
  return menu;
}

// dragLabel_: the dragged row's text on a small board that follows the pointer.
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

}  // namespace

void MainPanel::CreateLibraryParts() {
  phraseListMenu_.reset(BuildListMenu(kPhraseListMenu, std::size(kPhraseListMenu)));
  commandListMenu_.reset(BuildListMenu(kCommandListMenu, std::size(kCommandListMenu)));

  WNDCLASSEXW label{};
  label.cbSize = sizeof label;
  label.lpfnWndProc = DragLabelProc;
  label.hInstance = GetModuleHandleW(nullptr);
  label.lpszClassName = kDragLabelClass;
  label.hCursor = LoadCursorW(nullptr, IDC_NO);
  RegisterClassExW(&label);
  dragLabel_ = CreateWindowExW(0, kDragLabelClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, hwnd(), nullptr,
                        GetModuleHandleW(nullptr), nullptr);

  previewBalloon_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = hwnd();
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(previewBalloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(previewBalloon_, TTM_SETMAXTIPWIDTH, 0, 600);  // lines break only where the text says

  for (KindView& v : kinds_) {
    SetWindowSubclass(v.strip, &MainPanel::LibraryHook, 1, reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(v.list, &MainPanel::LibraryHook, 2, reinterpret_cast<DWORD_PTR>(this));
  }
}

// ---- group slots ------------------------------------------------------------------------------

std::optional<size_t> MainPanel::ShownGroupIndex(const KindView& view) const {
  const int tab = TabCtrl_GetCurSel(view.strip);
  if (tab < 0 || static_cast<size_t>(tab) >= view.tabSlots.size()) return std::nullopt;
  return view.tabSlots[static_cast<size_t>(tab)];
}

int MainPanel::SelectedRow(const KindView& view) const {
  return ListView_GetNextItem(view.list, -1, LVNI_SELECTED);
}

void MainPanel::RefreshList(KindView& view) {
  const library::Group* group = SelectedGroup(view);
  ListView_SetItemCountEx(view.list, group ? group->rows().size() : 0, LVSICF_NOSCROLL);
  InvalidateRect(view.list, nullptr, TRUE);
}

// The shown group's selected row, kept for when the group is shown again. Every switch of the
// shown group passes here first: a tab click, and a strip rebuilt after a group was added,
// renamed or deleted.
void MainPanel::RememberShownRow(const KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  if (auto index = ShownGroupIndex(view)) {
    if (rememberedRows_[k].size() <= *index) rememberedRows_[k].resize(*index + 1, -1);
    rememberedRows_[k][*index] = SelectedRow(view);
  }
}

// Select group: the strip's selected tab decides which group the list shows; the list and the
// drag-sort button come to the front.
void MainPanel::SelectGroup(KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  ListView_SetItemState(view.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ShowSelectedGroup(view);
  if (auto index = ShownGroupIndex(view); index && *index < rememberedRows_[k].size()) {
    const int row = rememberedRows_[k][*index];
    if (row >= 0 && row < ListView_GetItemCount(view.list)) {
      ListView_SetItemState(view.list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      ListView_EnsureVisible(view.list, row, FALSE);
    }
  }
  SetWindowPos(view.list, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(view.dragButton, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The strip shows the visible groups; hidden slots keep their index but have no tab.
void MainPanel::RebuildStrip(KindView& view, size_t selectGroup) {
  RememberShownRow(view);
  const library::GroupStrip& strip = ws_.library.strip(view.kind);
  TabCtrl_DeleteAllItems(view.strip);
  view.tabSlots = strip.VisibleIndices();
  int selectTab = 0;
  for (size_t i = 0; i < view.tabSlots.size(); ++i) {
    std::wstring caption = Widen(strip.slots()[view.tabSlots[i]].name());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(view.strip, static_cast<int>(i), &item);
    if (view.tabSlots[i] == selectGroup) selectTab = static_cast<int>(i);
  }
  TabCtrl_SetCurSel(view.strip, selectTab);
  PanelLayout();
  SelectGroup(view);
}

bool MainPanel::QuestionYesNo(std::string_view text, std::string_view title) {
  return MessageBoxW(hwnd(), Widen(text).c_str(), Widen(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void MainPanel::AddGroupFromMenu() {
  KindView& view = ShownKind();
  library::GroupStrip& strip = ws_.library.strip(view.kind);
  const auto name = library::InputBox(hwnd(), msg::kAddGroupPrompt, msg::kAddGroupTitle, "");
  if (!name) return;
  if (auto refusal = library::AddGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(hwnd(), *refusal);
    return;
  }
  RebuildStrip(view, library::AddGroup(strip, *name));
}

void MainPanel::DeleteGroupFromMenu() {
  KindView& view = ShownKind();
  library::GroupStrip& strip = ws_.library.strip(view.kind);
  const auto index = ShownGroupIndex(view);
  if (!index) return;
  if (auto refusal = library::DeleteGroupRefusal(*index)) {
    platform::ShowInfoMessage(hwnd(), *refusal);
    return;
  }
  const std::string name = strip.slots()[*index].name();
  if (!QuestionYesNo(library::DeleteFirstQuestion(name), kMessageTitle)) return;
  if (!QuestionYesNo(library::DeleteSecondQuestion(name), msg::kDeleteSecondTitle)) return;
  library::DeleteGroup(strip, *index);
  RebuildStrip(view, library::FirstVisibleIndex(strip));
}

void MainPanel::RenameGroupFromMenu() {
  KindView& view = ShownKind();
  library::GroupStrip& strip = ws_.library.strip(view.kind);
  const auto index = ShownGroupIndex(view);
  if (!index) return;
  const auto name = library::InputBox(hwnd(), msg::kRenamePrompt, msg::kRenameTitle, strip.slots()[*index].name());
  if (!name || name->empty()) return;
  if (auto refusal = library::RenameGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(hwnd(), *refusal);
    return;
  }
  library::RenameGroup(strip, *index, *name);
  RebuildStrip(view, *index);
}

void MainPanel::ClearShownGroup(KindView& view) {
  if (!QuestionYesNo(msg::kClearQuestion, kMessageTitle)) return;
  if (auto index = ShownGroupIndex(view)) library::ClearGroup(ws_.library.strip(view.kind), *index);
  ListView_SetItemState(view.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  RefreshList(view);
}

// ---- entries ----------------------------------------------------------------------------------

void MainPanel::OpenEntryEditor(KindView& view, bool edit) {
  const auto group = ShownGroupIndex(view);
  if (!group) return;
  const int row = SelectedRow(view);
  if (edit && row < 0) {
    platform::ShowInfoMessage(hwnd(), msg::kSelectToEdit);
    return;
  }
  library::EntryEditorContext ctx;
  ctx.kind = view.kind;
  ctx.mode = edit ? library::EditorMode::Edit : library::EditorMode::Add;
  ctx.library = &ws_.library;
  ctx.selectedGroup = *group;
  ctx.currentList = *group;
  ctx.editedRow = edit ? static_cast<size_t>(row) : 0;
  ctx.folder = &store_.folder();
  ctx.onConfirmed = [this, &view](bool rowLeftList) {
    if (rowLeftList) ListView_SetItemState(view.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    RefreshList(view);
    SaveAll();
  };
  library::RunEntryEditor(hwnd(), ctx);
}

void MainPanel::DeleteSelectedEntry(KindView& view) {
  const int row = SelectedRow(view);
  const auto group = ShownGroupIndex(view);
  library::Group* g = group ? ws_.library.strip(view.kind).ListOfGroup(*group) : nullptr;
  if (row < 0 || !g || static_cast<size_t>(row) >= g->rows().size()) {
    platform::ShowInfoMessage(hwnd(), msg::kSelectToDelete);
    return;
  }
  auto& rows = g->MutableRows();
  rows.erase(rows.begin() + row);
  ListView_SetItemState(view.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  RefreshList(view);
  SaveAll();
}

void MainPanel::LaunchSelectedCommand(const KindView& view) {
  const int row = SelectedRow(view);
  const library::Group* g = SelectedGroup(view);
  if (row < 0 || !g || static_cast<size_t>(row) >= g->rows().size()) return;
  const std::string content(library::ContentOf(g->rows()[static_cast<size_t>(row)]));
  // A launch that fails says nothing.
  switch (library::LaunchKindOf(content)) {
    case library::LaunchKind::Address: platform::SystemShell().OpenWithShell(content); break;
    case library::LaunchKind::Path: platform::OpenMaximised(content); break;
    case library::LaunchKind::None: break;
  }
}

// ---- mouse on the lists -------------------------------------------------------------------------

void MainPanel::OnListRightClick(KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  if (dragSortMode_[k]) {
    platform::ShowInfoMessage(hwnd(), msg::kLeaveDragModeFirst);
    return;
  }
  HidePreviewBalloon();
  PopUpMenu(k == 0 ? phraseListMenu_.get() : commandListMenu_.get());
}

void MainPanel::OnListClick(KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  HidePreviewBalloon();
  if (dragSortMode_[k]) {
    ResetDrag();
    return;
  }
  if (view.kind != GroupKind::Phrase) return;  // a single click only selects a command
  if (ws_.options.Get(settings::Option::单击发送)) {
    SendPhrase(chat::kModeListClick);
    return;
  }
  if (ws_.options.Get(settings::Option::显示预览)) ShowPreviewBalloon(view);
}

void MainPanel::ShowPreviewBalloon(const KindView& view) {
  const int row = SelectedRow(view);
  const library::Group* g = SelectedGroup(view);
  if (row < 0 || !g || static_cast<size_t>(row) >= g->rows().size()) return;
  const std::string text = library::PreviewBalloonText(g->rows()[static_cast<size_t>(row)]);
  if (text.empty()) return;
  std::wstring wide = Widen(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd();
  tool.lpszText = wide.data();
  SendMessageW(previewBalloon_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT pt{};
  GetCursorPos(&pt);
  SendMessageW(previewBalloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + 20, pt.y));
  SendMessageW(previewBalloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  SetTimer(previewBalloon_, kBalloonHideTimer, kBalloonShowMs, HideBalloonTimer);
}

void MainPanel::HidePreviewBalloon() {
  if (!previewBalloon_) return;
  KillTimer(previewBalloon_, kBalloonHideTimer);
  SendMessageW(previewBalloon_, TTM_TRACKACTIVATE, FALSE, 0);
}

// ---- drag-sort ----------------------------------------------------------------------------------

void MainPanel::EnterDragSort(KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  if (dragSortMode_[k]) return;
  dragSortMode_[k] = true;
  // The button belongs to its page: it shows and hides with it.
  pages_[k].push_back(view.dragButton);
  if (page_ == k) ShowWindow(view.dragButton, SW_SHOWNA);
  SetWindowPos(view.dragButton, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ListView_SetTextColor(view.list, kDragSortText);
  InvalidateRect(view.list, nullptr, TRUE);
}

void MainPanel::LeaveDragSort(KindView& view) {
  const int k = view.kind == GroupKind::Phrase ? 0 : 1;
  dragSortMode_[k] = false;
  std::erase(pages_[k], view.dragButton);
  ShowWindow(view.dragButton, SW_HIDE);
  ListView_SetTextColor(view.list, kRowText);
  InvalidateRect(view.list, nullptr, TRUE);
  ResetDrag();
}

void MainPanel::ResetDrag() {
  if (dragLabel_) {
    SetWindowTextW(dragLabel_, L"");
    SetWindowPos(dragLabel_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  dragArmed_ = false;
  dragLabelText_.clear();
  for (const KindView& v : kinds_)
    if (GetCapture() == v.list) ReleaseCapture();
}

void MainPanel::DragMove(KindView& view, POINT inList) {
  POINT inPanel = inList;
  MapWindowPoints(view.list, hwnd(), &inPanel, 1);
  if (!OverList(view, inList)) {
    // Over the panel's own surface: nothing can be dropped here.
    SetCursor(LoadCursorW(nullptr, IDC_NO));
    SetWindowPos(dragLabel_, HWND_TOP, inPanel.x + 10, inPanel.y + 10, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  // Back over the list: the capture keeps WM_SETCURSOR away, so the pointer is set here.
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  if (dragLabelText_.empty()) {
    const int row = SelectedRow(view);
    const library::Group* g = SelectedGroup(view);
    if (row >= 0 && g && static_cast<size_t>(row) < g->rows().size())
      dragLabelText_ = library::DragLabelText(g->rows()[static_cast<size_t>(row)]);
    return;
  }
  const UINT dpi = platform::DpiOf(hwnd());
  platform::SetWindowTextUtf8(dragLabel_, dragLabelText_);
  SetWindowPos(dragLabel_, HWND_TOP, inPanel.x + 10, inPanel.y + 10,
               platform::Scale(library::DragLabelWidth(dragLabelText_), dpi), platform::Scale(16, dpi),
               SWP_NOACTIVATE);
  InvalidateRect(dragLabel_, nullptr, TRUE);
}

// The list's whole window counts, its scroll bar included: a release there is a drop below the
// last row, not a release over the panel.
bool MainPanel::OverList(const KindView& view, POINT inList) const {
  RECT window{};
  GetWindowRect(view.list, &window);
  MapWindowPoints(HWND_DESKTOP, view.list, reinterpret_cast<POINT*>(&window), 2);
  return PtInRect(&window, inList) != FALSE;
}

void MainPanel::Drop(KindView& view, POINT inList, bool armed) {
  ResetDrag();
  if (!armed) return;
  if (!OverList(view, inList)) return;  // released over the panel: nothing moves
  const int from = SelectedRow(view);
  ListView_SetItemState(view.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  LVHITTESTINFO hit{};
  hit.pt = inList;
  const int to = ListView_HitTest(view.list, &hit) >= 0 && (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
  const auto group = ShownGroupIndex(view);
  library::Group* g = group ? ws_.library.strip(view.kind).ListOfGroup(*group) : nullptr;
  // A drop with no row taken, in a list of one row, or onto the dragged row itself moves nothing
  // and leaves no row selected.
  if (!g || from < 0 || g->rows().size() < 2 || from == to) return;
  const auto moved = library::MoveRow(g->MutableRows(), from, to);
  if (moved) {
    const int at = static_cast<int>(*moved);
    ListView_SetItemState(view.list, at, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(view.list, at, FALSE);
  }
  InvalidateRect(view.list, nullptr, TRUE);
}

// Right button down on a strip opens the group menu; the lists' own mouse messages arm, move
// and drop a drag while their kind is in drag-sort mode.
LRESULT CALLBACK MainPanel::LibraryHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  auto* panel = reinterpret_cast<MainPanel*>(self);
  for (KindView& v : panel->kinds_) {
    const int k = v.kind == GroupKind::Phrase ? 0 : 1;
    if (hwnd == v.strip && msg == WM_RBUTTONDOWN) {
      panel->PopUpMenu(panel->groupMenu_.get());
      return 0;
    }
    if (hwnd != v.list || !panel->dragSortMode_[k]) continue;
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
      case WM_LBUTTONDOWN:
        panel->dragArmed_ = true;
        break;
      case WM_MOUSEMOVE:
        if (panel->dragArmed_ && (wp & MK_LBUTTON)) {
          if (GetCapture() != hwnd) SetCapture(hwnd);
          panel->DragMove(v, pt);
          return 0;
        }
        break;
      case WM_LBUTTONUP: {
        const bool armed = panel->dragArmed_;
        const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
        panel->Drop(v, pt, armed);
        return r;
      }
      case WM_CAPTURECHANGED:
        if (panel->dragArmed_ && reinterpret_cast<HWND>(lp) != hwnd && !(GetKeyState(VK_LBUTTON) & 0x8000))
          panel->ResetDrag();
        break;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// ---- events from the panel ---------------------------------------------------------------------

void MainPanel::OnLibraryCommand(Command command) {
  KindView& phrases = kinds_[0];
  KindView& commands = kinds_[1];
  switch (command) {
    case Command::AddGroup: AddGroupFromMenu(); break;
    case Command::DeleteGroup: DeleteGroupFromMenu(); break;
    case Command::RenameGroup: RenameGroupFromMenu(); break;
    case Command::AddPhrase: OpenEntryEditor(phrases, false); break;
    case Command::EditPhrase: OpenEntryEditor(phrases, true); break;
    case Command::DeletePhrase: DeleteSelectedEntry(phrases); break;
    case Command::ClearPhraseGroup: ClearShownGroup(phrases); break;
    case Command::PhraseDragSort: EnterDragSort(phrases); break;
    case Command::SendThisPhrase: SendPhrase(chat::kModeMenuSend); break;
    case Command::SendWithoutEnter: SendPhrase(chat::kModeMenuSendNoEnter); break;
    case Command::AddCommand: OpenEntryEditor(commands, false); break;
    case Command::EditCommand: OpenEntryEditor(commands, true); break;
    case Command::DeleteCommand: DeleteSelectedEntry(commands); break;
    case Command::ClearCommandGroup: ClearShownGroup(commands); break;
    case Command::CommandDragSort: EnterDragSort(commands); break;
    default: break;
  }
}

bool MainPanel::OnLibraryButton(int id, int code) {
  for (int k = 0; k < 2; ++k) {
    if (id == kDragButtonId[k] && code == BN_CLICKED) {
      LeaveDragSort(kinds_[k]);
      return true;
    }
  }
  return false;
}

bool MainPanel::OnLibraryNotify(NMHDR& hdr, LRESULT& result) {
  result = 0;
  for (KindView& v : kinds_) {
    const int k = v.kind == GroupKind::Phrase ? 0 : 1;
    if (hdr.hwndFrom == v.strip) {
      if (hdr.code == TCN_SELCHANGING) {
        RememberShownRow(v);
        HidePreviewBalloon();
        return true;
      }
      if (hdr.code == TCN_SELCHANGE) {
        SelectGroup(v);
        return true;
      }
      return false;
    }
    if (hdr.hwndFrom != v.list) continue;
    switch (hdr.code) {
      case NM_CLICK: OnListClick(v); return true;
      case NM_RCLICK: OnListRightClick(v); return true;
      case NM_DBLCLK:
        if (v.kind == GroupKind::Command)
          LaunchSelectedCommand(v);  // in every mode, whatever the settings
        else if (ws_.options.Get(settings::Option::双击发送))
          SendPhrase(chat::kModeListClick);
        return true;
      case LVN_BEGINDRAG:
        if (dragSortMode_[k] && dragArmed_) SetCapture(v.list);
        return true;
    }
    return false;
  }
  return false;
}

// ---- screenshots --------------------------------------------------------------------------------

// --shot-page 5 to 10: the group menu, the phrase list menu, the command list menu, the phrase
// editor adding and editing, and the command editor.
void MainPanel::ApplyLibraryShot(int shot) {
  static int pending = 0;
  pending = shot;
  const int page = shot == 7 || shot == 10 ? 1 : 0;
  ShowPage(page);
  if (shot == 9) ListView_SetItemState(kinds_[0].list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  // The menus and editors run their own loops: open them once the panel's loop is running.
  SetTimer(hwnd(), kShotTimer, 300, [](HWND panelWindow, UINT, UINT_PTR id, DWORD) {
    KillTimer(panelWindow, id);
    auto* panel = static_cast<MainPanel*>(reinterpret_cast<platform::Window*>(GetWindowLongPtrW(panelWindow, GWLP_USERDATA)));
    if (!panel) return;
    KindView& view = panel->kinds_[pending == 7 || pending == 10 ? 1 : 0];
    RECT rc{};
    GetWindowRect(pending == 5 ? view.strip : view.list, &rc);
    SetCursorPos(rc.left + 40, rc.top + 12);
    switch (pending) {
      case 5: panel->PopUpMenu(panel->groupMenu_.get()); break;
      case 6: panel->PopUpMenu(panel->phraseListMenu_.get()); break;
      case 7: panel->PopUpMenu(panel->commandListMenu_.get()); break;
      case 8: panel->OpenEntryEditor(view, false); break;
      case 9: panel->OpenEntryEditor(view, true); break;
      case 10: panel->OpenEntryEditor(view, false); break;
    }
  });
}

}  // namespace jihe::app
