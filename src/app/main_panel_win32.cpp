#include "app/main_panel_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/clipboard_win32.h"
#include "platform/keyboard_win32.h"
#include "platform/sound_win32.h"
#include "platform/utf16.h"
#include "platform/wait_win32.h"
#include "schedule/reminder_popup_win32.h"
#include "schedule/sound_controls_win32.h"

namespace jihe::app {

using platform::Scale;
using platform::Unscale;
using platform::Widen;

namespace {
constexpr wchar_t kOwnerClass[] = L"霁禾客服助手.隐藏主人";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
constexpr COLORREF kRowText = RGB(64, 128, 128);

constexpr int kTopTabsId = 100;
constexpr int kStripId[2] = {110, 111};
constexpr int kListId[2] = {120, 121};
constexpr int kPictureButtonId[2] = {130, 131};
constexpr int kDragButtonId[2] = {140, 141};
constexpr int kToolsTabId = 150;
constexpr int kScheduleFrameId = 151, kScheduleSwitchId = 152, kTimePickerId = 153, kTypeBoxId = 154,
              kAddButtonId = 155, kContentBoxId = 156, kSoundBoxId = 157, kSetSoundLinkId = 158,
              kListenLinkId = 159, kShakeBoxId = 160, kScheduleListId = 161, kHandOverId = 162;

// The schedule page: positions inside toolsTab_, and inside its frame scheduleFrame_ at (4, 32).
constexpr int kFrameLeft = 4, kFrameTop = 32;
using schedule::kReminderPlaceholder;

HMENU BuildMenu(const MenuRow* rows, size_t count, bool popup) {
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  for (size_t i = 0; i < count; ++i)
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(rows[i].command), Widen(rows[i].caption).c_str());
  return menu;
}

HICON LoadAppIcon(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR));
}
}  // namespace

MainPanel::MainPanel(storage::Store& store, storage::Workspace& workspace, StartOptions start)
    : store_(store),
      ws_(workspace),
      start_(std::move(start)),
      settings_(
          workspace.options, store, [this] { chat::ApplyFollowSwitches(followLoop_, ws_.options); },
          [this](bool saved) { ReportSettingsSave(saved); }) {}

MainPanel::~MainPanel() {
  if (hiddenOwner_) DestroyWindow(hiddenOwner_);
}

bool MainPanel::Create() {
  taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
  showRunningPanelMessage_ = RegisterWindowMessageW(Widen(kShowRunningPanelMessage).c_str());
  bigIcon_.reset(LoadAppIcon(GetSystemMetrics(SM_CXICON)));
  smallIcon_.reset(LoadAppIcon(GetSystemMetrics(SM_CXSMICON)));

  // An invisible owner keeps the panel off the taskbar while it keeps a normal caption.
  WNDCLASSEXW owner{};
  owner.cbSize = sizeof owner;
  owner.lpfnWndProc = DefWindowProcW;
  owner.hInstance = GetModuleHandleW(nullptr);
  owner.lpszClassName = kOwnerClass;
  RegisterClassExW(&owner);
  hiddenOwner_ = CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);

  const std::wstring className = Widen(kPanelClass);
  RegisterWindowClass(className.c_str(), bigIcon_.get(), GetSysColorBrush(COLOR_BTNFACE));
  CreateMenus();
  HMENU menuBar = CreateMenu();
  AppendMenuW(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(settingsMenu_),
              Widen(kSettingsMenuCaption).c_str());
  if (!CreateWindowOf(kExStyle, className.c_str(), kPanelTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      100, 100, hiddenOwner_, menuBar)) {
    DestroyMenu(menuBar);
    return false;
  }
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  dpi_ = platform::DpiOf(hwnd());

  // The panel's creation, in order: the Data folder, the Settings window (which loads the
  // options), the follow switches, the tray icon, then the library and the geometry.
  store_.folder().EnsureFolders();
  CreateControls();
  CreateLibraryParts();
  settings_.Create(hwnd());
  followLoop_.Attach(desktop_, ws_.options, platform::IdOf(hwnd()), [] { return platform::CreateThreadWaiter(); });
  chat::ApplyFollowSwitches(followLoop_, ws_.options);
  tray_.Add(hwnd(), kTrayIconId, kTrayNotifyMessage, smallIcon_.get(), kPanelTitle, kBalloonTimerId);
  store_.LoadAll(ws_);
  for (KindView& view : kinds_) FillStrip(view);
  Button_SetCheck(shakeBox_, ws_.shake ? BST_CHECKED : BST_UNCHECKED);
  Button_SetCheck(scheduleSwitch_, ws_.schedule.on ? BST_CHECKED : BST_UNCHECKED);
  platform::SetWindowTextUtf8(soundBox_, ws_.music);
  StartSchedule();

  const HMONITOR monitor = MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO mi{};
    mi.cbSize = sizeof mi;
  GetMonitorInfoW(monitor, &mi);
  const SIZE screenOuter{mi.rcMonitor.right - mi.rcMonitor.left, mi.rcMonitor.bottom - mi.rcMonitor.top};
  const SIZE chrome = platform::OuterSizeForClient(0, 0, kStyle, kExStyle, true, dpi_);
  screenLimit_ = FrameOfClient({Unscale(screenOuter.cx - chrome.cx, dpi_), Unscale(screenOuter.cy - chrome.cy, dpi_)});
  RestoreGeometry();
  ShowPage(0);
  ShowWindow(hwnd(), SW_SHOW);
  UpdateWindow(hwnd());
  followLoop_.state().userShownFlag = true;
  if (start_.shotPage) ApplyShotPage();
  return true;
}

void MainPanel::CreateMenus() {
  settingsMenu_ = BuildMenu(kSettingsMenu, std::size(kSettingsMenu), true);
  trayMenu_.reset(BuildMenu(kTrayMenu, std::size(kTrayMenu), true));
  groupMenu_.reset(BuildMenu(kGroupMenu, std::size(kGroupMenu), true));
}

HWND MainPanel::AddControl(int page, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle,
                           int id) {
  HWND h = platform::CreateControl(hwnd(), cls, text, style | WS_CLIPSIBLINGS, exStyle, id, nullptr);
  // Later controls lie above earlier ones, so a list covers its strip and not the other way round.
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (page >= 0) pages_[page].push_back(h);
  return h;
}

void MainPanel::CreateControls() {
  pageTabs_ = AddControl(-1, WC_TABCONTROLW, "", WS_VISIBLE | WS_TABSTOP, 0, kTopTabsId);
  for (const char* caption : {"快捷短语", "快捷打开", "其他工具"}) {
    std::wstring text = Widen(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    TabCtrl_InsertItem(pageTabs_, TabCtrl_GetItemCount(pageTabs_), &item);
  }
  kinds_[0].kind = library::GroupKind::Phrase;
  kinds_[1].kind = library::GroupKind::Command;
  for (int k = 0; k < 2; ++k) {
    KindView& v = kinds_[k];
    v.strip = AddControl(k, WC_TABCONTROLW, "", WS_TABSTOP, 0, kStripId[k]);
    v.list = AddControl(k, WC_LISTVIEWW, "",
                        WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                            LVS_SHOWSELALWAYS | WS_BORDER,
                        0, kListId[k]);
    ListView_SetExtendedListViewStyle(v.list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ListView_InsertColumn(v.list, 0, &column);
    ListView_SetTextColor(v.list, kRowText);
    ListView_SetTextBkColor(v.list, RGB(255, 255, 255));
    ListView_SetBkColor(v.list, RGB(255, 255, 255));
    v.pictureButton = AddControl(k, WC_BUTTONW, "", BS_OWNERDRAW | WS_TABSTOP, 0, kPictureButtonId[k]);
    // Shown only while rows are being drag-sorted.
    v.dragButton = AddControl(-1, WC_BUTTONW, "退出拖放模式", BS_PUSHBUTTON, 0, kDragButtonId[k]);
  }
  CreateSchedulePage();
  ApplyFonts();
}

void MainPanel::CreateSchedulePage() {
  toolsTab_ = AddControl(2, WC_TABCONTROLW, "", 0, 0, kToolsTabId);
  {
    std::wstring text = L"工具";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    TabCtrl_InsertItem(toolsTab_, 0, &item);
  }
  scheduleFrame_ = AddControl(2, WC_BUTTONW, "每天定时项目", BS_GROUPBOX, WS_EX_TRANSPARENT, kScheduleFrameId);
  scheduleSwitch_ = AddControl(2, WC_BUTTONW, "开启/关闭", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kScheduleSwitchId);
  timePicker_ = AddControl(2, DATETIMEPICK_CLASSW, "", DTS_TIMEFORMAT | DTS_UPDOWN | WS_TABSTOP, 0, kTimePickerId);
  SendMessageW(timePicker_, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm"));
  typeBox_ = AddControl(2, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 0, kTypeBoxId);
  for (const char* type : {schedule::kTypeReminder, schedule::kTypeShutdown})
    SendMessageW(typeBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(type).c_str()));
  SendMessageW(typeBox_, CB_SETCURSEL, 0, 0);
  addRowButton_ = AddControl(2, WC_BUTTONW, "添加", BS_PUSHBUTTON | WS_TABSTOP, 0, kAddButtonId);
  contentBox_ = AddControl(2, WC_EDITW, kReminderPlaceholder, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, kContentBoxId);
  soundBox_ = AddControl(2, WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kSoundBoxId);
  setSoundLink_ = AddControl(2, WC_STATICW, "设置提示音", SS_NOTIFY, 0, kSetSoundLinkId);
  listenLink_ = AddControl(2, WC_STATICW, "试听", SS_NOTIFY, 0, kListenLinkId);
  shakeBox_ = AddControl(2, WC_BUTTONW, "窗口抖动", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kShakeBoxId);
  scheduleList_ = AddControl(2, WC_LISTVIEWW, "",
                           LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                           WS_EX_CLIENTEDGE, kScheduleListId);
  ListView_SetExtendedListViewStyle(scheduleList_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const std::pair<const char*, int> columns[] = {{"时间", 60}, {"类型", 70}, {"结果", 105}, {"内容", 0}};
  for (int i = 0; i < 4; ++i) {
    std::wstring caption = Widen(columns[i].first);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = caption.data();
    column.cx = columns[i].second;
    ListView_InsertColumn(scheduleList_, i, &column);
  }
  handOverBox_ = AddControl(-1, WC_EDITW, "", ES_AUTOHSCROLL, 0, kHandOverId);
  // Each control went on top of the ones before it, so the frame lies above the tab control (which
  // would otherwise clip its border and caption away) and below the controls it frames.
}

void MainPanel::ApplyFonts() {
  font_ = platform::CreateUiFont(dpi_);
  for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  for (int i = 0; i < 4; ++i) {
    const int widths[] = {60, 70, 105, 0};
    ListView_SetColumnWidth(scheduleList_, i, Scale(widths[i], dpi_));
  }
}

void MainPanel::PlaceDesign(HWND h, int left, int top, int width, int height) {
  SetWindowPos(h, nullptr, Scale(left, dpi_), Scale(top, dpi_), Scale(std::max(width, 0), dpi_),
               Scale(std::max(height, 0), dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
}

Size MainPanel::FrameSize() const {
  RECT rc{};
  GetClientRect(hwnd(), &rc);
  return FrameOfClient({Unscale(rc.right, dpi_), Unscale(rc.bottom, dpi_)});
}

void MainPanel::PanelLayout() {
  if (!pageTabs_) return;
  const app::PanelLayout l = LayoutPanel(FrameSize());
  PlaceDesign(pageTabs_, l.topTabs.left, l.topTabs.top, l.topTabs.width, l.topTabs.height);
  // Everything else lies on the pages of pageTabs_, placed from its top-left corner.
  const int ox = l.topTabs.left, oy = l.topTabs.top;
  for (KindView& v : kinds_) {
    PlaceDesign(v.strip, ox + l.strip.left, oy + l.strip.top, l.strip.width, l.strip.height);
    PlaceDesign(v.pictureButton, ox + l.pictureButton.left, oy + l.pictureButton.top, l.pictureButton.width,
                l.pictureButton.height);
    PlaceDesign(v.dragButton, ox + l.dragButton.left, oy + l.dragButton.top, l.dragButton.width,
                l.dragButton.height);
    RECT area{};
    GetClientRect(v.strip, &area);
    TabCtrl_AdjustRect(v.strip, FALSE, &area);
    const Rect display{Unscale(area.left, dpi_), Unscale(area.top, dpi_), Unscale(area.right - area.left, dpi_),
                       Unscale(area.bottom - area.top, dpi_)};
    const Rect list = ListInStrip(l.strip, display, l);
    PlaceDesign(v.list, ox + list.left, oy + list.top, list.width, list.height);
    ListView_SetColumnWidth(v.list, 0, Scale(l.listColumnWidth, dpi_));
  }
  PlaceDesign(toolsTab_, ox + l.strip.left, oy + l.strip.top, l.strip.width, l.strip.height);
  const int tx = ox + l.strip.left, ty = oy + l.strip.top;  // toolsTab_'s corner
  const int fx = tx + kFrameLeft, fy = ty + kFrameTop;      // scheduleFrame_'s corner
  PlaceDesign(scheduleFrame_, fx, fy, 254, 315);
  PlaceDesign(scheduleSwitch_, tx + 104, ty + 32, 76, 13);
  PlaceDesign(timePicker_, fx + 4, fy + 21, 86, 20);
  PlaceDesign(typeBox_, fx + 100, fy + 21, 80, 200);
  PlaceDesign(addRowButton_, fx + 194, fy + 20, 54, 20);
  PlaceDesign(contentBox_, fx + 4, fy + 49, 245, 58);
  PlaceDesign(soundBox_, fx + 5, fy + 113, 60, 18);
  PlaceDesign(setSoundLink_, fx + 75, fy + 116, 64, 16);
  PlaceDesign(listenLink_, fx + 145, fy + 116, 28, 16);
  PlaceDesign(shakeBox_, fx + 183, fy + 117, 68, 16);
  PlaceDesign(handOverBox_, fx + 192, fy + 3, 40, 16);
  ApplyTypeLayout();
  pageBrush_.reset(CreateSolidBrush(platform::TabBodyColour(toolsTab_)));
}

void MainPanel::ApplyTypeLayout() {
  const Rect strip = LayoutPanel(FrameSize()).strip;
  const int fx = kTopTabsDesign.left + strip.left + kFrameLeft;
  const int fy = kTopTabsDesign.top + strip.top + kFrameTop;
  std::string content = platform::WindowTextUtf8(contentBox_);
  const std::string before = content;
  const schedule::ListPlace place =
      schedule::ApplyTypeLayout(static_cast<int>(SendMessageW(typeBox_, CB_GETCURSEL, 0, 0)), content,
                                GetFocus() == contentBox_);
  PlaceDesign(scheduleList_, fx + 4, fy + place.top, 246, place.height);
  if (content != before) platform::SetWindowTextUtf8(contentBox_, content);
}

void MainPanel::ShowPage(int page) {
  page_ = page;
  TabCtrl_SetCurSel(pageTabs_, page);
  for (int p = 0; p < 3; ++p)
    if (p != page)
      for (HWND h : pages_[p]) ShowWindow(h, SW_HIDE);
  for (HWND h : pages_[page]) ShowWindow(h, SW_SHOWNA);
  if (page == 2) ApplyTypeLayout();
}

void MainPanel::FillStrip(KindView& view) {
  TabCtrl_DeleteAllItems(view.strip);
  view.tabSlots = ws_.library.strip(view.kind).VisibleIndices();
  for (size_t i = 0; i < view.tabSlots.size(); ++i) {
    std::wstring caption = Widen(ws_.library.strip(view.kind).slots()[view.tabSlots[i]].name());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(view.strip, static_cast<int>(i), &item);
  }
  TabCtrl_SetCurSel(view.strip, 0);
  PanelLayout();
  ShowSelectedGroup(view);
}

const library::Group* MainPanel::SelectedGroup(const KindView& view) const {
  const int tab = TabCtrl_GetCurSel(view.strip);
  if (tab < 0 || static_cast<size_t>(tab) >= view.tabSlots.size()) return nullptr;
  return ws_.library.strip(view.kind).ListOfGroup(view.tabSlots[tab]);
}

void MainPanel::ShowSelectedGroup(KindView& view) {
  const library::Group* group = SelectedGroup(view);
  ListView_SetItemCountEx(view.list, group ? group->rows().size() : 0, 0);
  InvalidateRect(view.list, nullptr, TRUE);
}

void MainPanel::OnGetDispInfo(NMLVDISPINFOW& info) {
  if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
  const size_t row = static_cast<size_t>(info.item.iItem);
  const std::string* text = nullptr;
  std::string cell;
  if (info.hdr.hwndFrom == scheduleList_) {
    if (row < ws_.schedule.items.size()) {
      const schedule::TimedItem& item = ws_.schedule.items[row];
      // The worker writes the result column; it is read under the schedule's lock.
      if (info.item.iSubItem == 2 && schedulePage_) cell = schedulePage_->rows().ResultOf(row);
      const std::string* columns[] = {&item.time, &item.type, &cell, &item.content};
      if (info.item.iSubItem >= 0 && info.item.iSubItem < 4) text = columns[info.item.iSubItem];
    }
  } else {
    for (const KindView& v : kinds_)
      if (v.list == info.hdr.hwndFrom)
        if (const library::Group* g = SelectedGroup(v); g && row < g->rows().size()) text = &g->rows()[row];
  }
  dispText_ = text ? Widen(*text) : std::wstring();
  const size_t n = std::min(dispText_.size(), static_cast<size_t>(info.item.cchTextMax - 1));
  std::copy_n(dispText_.c_str(), n, info.item.pszText);
  info.item.pszText[n] = L'\0';
}

void MainPanel::CenterOnScreen() {
  RECT rc{};
  GetWindowRect(hwnd(), &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  if (rc.left != x || rc.top != y) SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainPanel::RestoreGeometry() {
  Size frame{kDesignWidth, kDesignHeight};
  const bool stored = ws_.geometry && ws_.geometry->height != 0;
  if (stored) frame = ClampFrame({ws_.geometry->width, ws_.geometry->height}, screenLimit_);
  const Size client = ClientOfFrame(frame);
  const SIZE outer = platform::OuterSizeForClient(Scale(client.width, dpi_), Scale(client.height, dpi_), kStyle,
                                                  kExStyle, true, dpi_);
  if (stored) {
    // A position on a monitor that is gone would leave the panel out of reach: keep it on one.
    RECT want{ws_.geometry->left, ws_.geometry->top, ws_.geometry->left + outer.cx, ws_.geometry->top + outer.cy};
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&want, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    int x = std::clamp<int>(want.left, work.left, std::max<int>(work.left, work.right - outer.cx));
    int y = std::clamp<int>(want.top, work.top, std::max<int>(work.top, work.bottom - outer.cy));
    SetWindowPos(hwnd(), nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterOnScreen();
  }
  PanelLayout();
}

void MainPanel::CaptureGeometry() {
  // The normal-position rectangle holds the panel's place and size also while it is minimised or
  // hidden in the tray, when the client area measures nothing. It is in workspace coordinates,
  // which are off from the screen's by the taskbar when that sits at the top or the left.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(hwnd(), &placement)) return;
  RECT normal = placement.rcNormalPosition;
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromRect(&normal, MONITOR_DEFAULTTONEAREST), &mi))
    OffsetRect(&normal, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
  const SIZE chrome = platform::OuterSizeForClient(0, 0, kStyle, kExStyle, true, dpi_);
  const Size frame = FrameOfClient({Unscale(normal.right - normal.left - chrome.cx, dpi_),
                                    Unscale(normal.bottom - normal.top - chrome.cy, dpi_)});
  ws_.geometry = storage::PanelGeometry{frame.height, frame.width, normal.left, normal.top};
}

void MainPanel::SaveAll() {
  CaptureGeometry();
  ws_.music = platform::WindowTextUtf8(soundBox_);
  ws_.shake = Button_GetCheck(shakeBox_) == BST_CHECKED;
  ws_.schedule.on = Button_GetCheck(scheduleSwitch_) == BST_CHECKED;
  ReportSettingsSave(!store_.SaveAll(ws_).settingsKept);
}

// config.ini that could not be read or written is left as it was; the agent hears of it once,
// and again only after a save has gone through in between.
void MainPanel::ReportSettingsSave(bool saved) {
  if (saved) {
    settingsWarned_ = false;
  } else if (!settingsWarned_) {
    settingsWarned_ = true;
    ShowBalloon(kBalloonTitle, kBalloonSettingsNotSavedText, NIIF_WARNING, kSettingsNotSavedBalloonMs);
  }
}

void MainPanel::ShowBalloon(std::string_view title, std::string_view text, DWORD iconKind, UINT durationMs) {
  tray_.ShowBalloon(title, text, iconKind, durationMs);
}

void MainPanel::HideToTray(UINT durationMs) {
  ShowWindow(hwnd(), SW_HIDE);
  ShowBalloon(kBalloonTitle, kBalloonHiddenText, NIIF_INFO, durationMs);
}

void MainPanel::BringPanelForward() {
  ShowWindow(hwnd(), SW_RESTORE);
  SetForegroundWindow(hwnd());
  SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainPanel::ShowPanel(ShowVariant variant) {
  const bool wasVisible = IsWindowVisible(hwnd());
  if (variant == ShowVariant::Tray || !wasVisible) {
    if (IsIconic(hwnd()) || IsZoomed(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
    ShowWindow(hwnd(), SW_SHOW);
    CenterOnScreen();
  }
  BringPanelForward();
  if (variant == ShowVariant::Tray) followLoop_.state().userShownFlag = true;
}

bool MainPanel::paused() const {
  wchar_t caption[32] = {};
  GetMenuStringW(settingsMenu_, static_cast<UINT>(Command::PauseResume), caption, 32, MF_BYCOMMAND);
  return platform::Narrow(caption) == kResumeCaption;
}

void MainPanel::PauseOrResume() {
  const UINT id = static_cast<UINT>(Command::PauseResume);
  if (!paused()) {
    ModifyMenuW(settingsMenu_, id, MF_BYCOMMAND | MF_STRING | MF_CHECKED, id, Widen(kResumeCaption).c_str());
    if (followLoop_.running()) followLoop_.StopFollowLoop();
    SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HideToTray(kHideOnCloseMs);
  } else {
    ModifyMenuW(settingsMenu_, id, MF_BYCOMMAND | MF_STRING | MF_UNCHECKED, id, Widen(kPauseCaption).c_str());
    // Resuming starts the follow loop whatever the switches say.
    if (!followLoop_.running()) followLoop_.StartFollowLoop();
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void MainPanel::ExitProgram() {
  tray_.Remove();
  DestroyWindow(hwnd());
}

void MainPanel::PopUpMenu(HMENU menu) {
  POINT pt{};
  GetCursorPos(&pt);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(hwnd());
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd(), nullptr);
  PostMessageW(hwnd(), WM_NULL, 0, 0);
}

void MainPanel::OnCommand(Command command) {
  switch (command) {
    case Command::ChangeSettings: settings_.ShowSettings(); break;
    case Command::PauseResume: PauseOrResume(); break;
    case Command::SaveConfig: SaveAll(); break;
    case Command::Tutorial: platform::OpenAddress(kTutorialAddress); break;
    case Command::Contact: platform::OpenAddress(kContactAddress); break;
    case Command::Homepage: platform::OpenAddress(kHomepageAddress); break;
    case Command::ShowSoftware: ShowPanel(ShowVariant::Menu); break;
    case Command::ExitSoftware: ExitProgram(); break;
    default: OnLibraryCommand(command); break;  // groups and the list menus
  }
}

void MainPanel::OnTrayNotify(UINT mouseMessage) {
  if (mouseMessage == WM_LBUTTONDOWN) ShowPanel(ShowVariant::Tray);
  if (mouseMessage == WM_RBUTTONDOWN) PopUpMenu(trayMenu_.get());
}

bool MainPanel::PreTranslate(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || !hwnd()) return false;
  if (msg.hwnd != hwnd() && !IsChild(hwnd(), msg.hwnd)) return false;
  // A dropped-down combo box closes its list first.
  if (SendMessageW(typeBox_, CB_GETDROPPEDSTATE, 0, 0)) return false;
  HideToTray(kHideOnCloseMs);
  return true;
}

void MainPanel::ApplyShotPage() {
  const int page = *start_.shotPage;
  if (page <= 2) {
    ShowPage(page);
  } else if (page == 11) {
    ShowPage(2);
    SendMessageW(typeBox_, CB_SETCURSEL, schedule::kTypeEntryShutdown, 0);
    ApplyTypeLayout();
  } else if (page == 12) {
    // The popup as a reminder opens it, shaking and ringing; here on the panel's own thread.
    shotReminder_ = schedule::NewReminderPopupDisplay();
    shotReminder_->OpenReminder("该给客户回电话了\r\n14:30 前确认订单", {ws_.music, ws_.shake});
  } else if (page >= 5) {
    ApplyLibraryShot(page);
  } else {
    settings_.ShowSettings();
    settings_.SelectPage(page - 3);
  }
}

LRESULT MainPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == kTrayNotifyMessage) {
    OnTrayNotify(static_cast<UINT>(lp));
    return 0;
  }
  if (taskbarCreatedMessage_ && msg == taskbarCreatedMessage_) {
    tray_.AddAgain();
    return Default(msg, wp, lp);
  }
  if (showRunningPanelMessage_ && msg == showRunningPanelMessage_) {
    ShowPanel(ShowVariant::Menu);
    return 0;
  }
  switch (msg) {
    case kScheduleCloseMessage:
      // A timed shutdown: the program ends the way "退出软件" ends it, with its save.
      ExitProgram();
      return 0;
    case kScheduleRowRanMessage:
      ListView_RedrawItems(scheduleList_, static_cast<int>(wp), static_cast<int>(wp));
      return 0;
    case WM_CLOSE:
      HideToTray(kHideOnCloseMs);
      return 0;
    case WM_SIZE:
      if (wp == SIZE_MINIMIZED) {
        HideToTray(kHideOnMinimizeMs);
        return 0;
      }
      PanelLayout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      const Size minClient = ClientOfFrame({kDesignWidth, kDesignHeight});
      const SIZE minOuter = platform::OuterSizeForClient(Scale(minClient.width, dpi_), Scale(minClient.height, dpi_),
                                                         kStyle, kExStyle, true, dpi_);
      info->ptMinTrackSize = {minOuter.cx, minOuter.cy};
      if (screenLimit_.width > 0) {
        const Size maxClient = ClientOfFrame(screenLimit_);
        const SIZE maxOuter = platform::OuterSizeForClient(Scale(maxClient.width, dpi_), Scale(maxClient.height, dpi_),
                                                           kStyle, kExStyle, true, dpi_);
        info->ptMaxTrackSize = {std::max(maxOuter.cx, minOuter.cx), std::max(maxOuter.cy, minOuter.cy)};
      }
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      const auto* suggested = reinterpret_cast<const RECT*>(lp);
      ApplyFonts();
      SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      PanelLayout();
      return 0;
    }
    case WM_TIMER:
      if (wp == kBalloonTimerId) {
        tray_.OnBalloonTimer();
        return 0;
      }
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      const int code = HIWORD(wp);
      if (lp == 0) {
        OnCommand(static_cast<Command>(id));
        return 0;
      }
      if (OnLibraryButton(id, code)) {
      } else if ((id == kPictureButtonId[0] || id == kPictureButtonId[1]) && code == BN_CLICKED) {
        PopUpMenu(groupMenu_.get());
      } else if (id >= kScheduleFrameId && id <= kHandOverId) {
        OnScheduleCommand(id, code);
      }
      return 0;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (LRESULT result = 0; OnLibraryNotify(*hdr, result)) return result;
      if (hdr->code == LVN_GETDISPINFOW) {
        OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(lp));
        return 0;
      }
      if (hdr->code == TCN_SELCHANGE) {
        if (hdr->hwndFrom == pageTabs_) ShowPage(TabCtrl_GetCurSel(pageTabs_));
        for (KindView& v : kinds_)
          if (hdr->hwndFrom == v.strip) ShowSelectedGroup(v);
      }
      return 0;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      // The picture buttons: a small framed "≡" that opens the group menu.
      RECT rc = di->rcItem;
      FillRect(di->hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(di->hDC, &rc, (di->itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      HBRUSH bar = CreateSolidBrush(kRowText);
      const int w = rc.right - rc.left, h = rc.bottom - rc.top;
      const int thick = std::max(1, Scale(2, dpi_));
      for (int i = 0; i < 3; ++i) {
        const int y = rc.top + h / 2 - thick / 2 + (i - 1) * Scale(5, dpi_);
        RECT line{rc.left + w / 4, y, rc.right - w / 4, y + thick};
        FillRect(di->hDC, &line, bar);
      }
      DeleteObject(bar);
      if (di->itemState & ODS_FOCUS) {
        InflateRect(&rc, -3, -3);
        DrawFocusRect(di->hDC, &rc);
      }
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wp);
      auto ctl = reinterpret_cast<HWND>(lp);
      if (ctl == setSoundLink_ || ctl == listenLink_) SetTextColor(dc, RGB(0, 0, 128));
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(pageBrush_ ? pageBrush_.get() : GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp && !saved_) {
        SaveAll();
        saved_ = true;
      }
      return 0;
    case WM_DESTROY:
      // The one place where the program saves on its way out.
      if (!saved_) {
        SaveAll();
        saved_ = true;
      }
      // Then the workers end: the schedule's closes its Reminder popup, and no pass of the follow
      // loop moves a panel that is going away.
      if (schedulePage_) schedulePage_->StopLoop();
      followLoop_.StopFollowLoop();
      tray_.Remove();
      if (settings_.hwnd()) DestroyWindow(settings_.hwnd());
      PostQuitMessage(0);
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace jihe::app
