#include "app/main_panel_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "app/guide_win32.h"
#include "app/menus_win32.h"
#include "platform/shell_win32.h"
#include "platform/utf16.h"
#include "platform/wait_win32.h"
#include "schedule/reminder_popup_win32.h"

namespace jihe::app {

using platform::Scale;
using platform::Unscale;
using platform::Widen;

namespace {
constexpr wchar_t kOwnerClass[] = L"霁禾客服助手.隐藏主人";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
constexpr int kPageTabsId = 100;

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
          [this](bool saved) { ReportSettingsSave(saved); }),
      sendQueue_(*this, [this](chat::SendHost& host, const SendRequest& request) { RunSend(host, request); }),
      phraseView_(library::GroupKind::Phrase, store, workspace, *this),
      commandView_(library::GroupKind::Command, store, workspace, *this),
      scheduleView_(store, workspace, start_) {}

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
  platform::SetHomeWindow(hwnd());
  dpi_ = platform::DpiOf(hwnd());

  // The panel's creation, in order: the Data folder, the Settings window (which loads the
  // options), the follow switches, the tray icon, then the library and the geometry.
  store_.folder().EnsureFolders();
  // The pages' controls in this order: each lies above the ones before it.
  CreatePageTabs();
  phraseView_.Create(hwnd());
  commandView_.Create(hwnd());
  scheduleView_.Create(hwnd());
  ApplyFonts();
  phraseView_.CreateOverlays();
  commandView_.CreateOverlays();
  settings_.Create(hwnd());
  settings_.SetTeamFolderChanged([this] { StartTeamLibrary(); });
  followLoop_.Attach(desktop_, ws_.options, platform::IdOf(hwnd()), [] { return platform::CreateThreadWaiter(); });
  chat::ApplyFollowSwitches(followLoop_, ws_.options);
  tray_.Add(hwnd(), kTrayIconId, kTrayNotifyMessage, smallIcon_.get(), kPanelTitle, kBalloonTimerId);
  if (!RegisterSearchHotkey(ws_.options.Hotkey()))
    ShowBalloon(kBalloonTitle, settings::HotkeyTakenAtStartMessage(ws_.options.Hotkey()), NIIF_WARNING, 10000);
  settings_.SetHotkeyChanger([this](settings::Hotkey hotkey) { return RegisterSearchHotkey(hotkey); });
  store_.LoadAll(ws_);
  sendCounts_ = storage::SendCounts::Load(store_.folder());
  phraseView_.ShowLoadedGroups();
  commandView_.ShowLoadedGroups();
  StartTeamLibrary();
  scheduleView_.StartSchedule();

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
}

void MainPanel::CreatePageTabs() {
  pageTabs_ = platform::AddControlOnTop(hwnd(), WC_TABCONTROLW, "", WS_VISIBLE | WS_TABSTOP, 0, kPageTabsId);
  for (const char* caption : {"快捷短语", "快捷打开", "其他工具"}) {
    std::wstring text = Widen(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    TabCtrl_InsertItem(pageTabs_, TabCtrl_GetItemCount(pageTabs_), &item);
  }
}

void MainPanel::ApplyFonts() {
  font_ = platform::CreateUiFont(dpi_);
  SendMessageW(pageTabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  phraseView_.ApplyFont(font_.get(), dpi_);
  commandView_.ApplyFont(font_.get(), dpi_);
  scheduleView_.ApplyFont(font_.get(), dpi_);
}

Size MainPanel::FrameSize() const {
  RECT rc{};
  GetClientRect(hwnd(), &rc);
  return FrameOfClient({Unscale(rc.right, dpi_), Unscale(rc.bottom, dpi_)});
}

void MainPanel::PanelLayout() {
  if (!pageTabs_) return;
  const app::PanelLayout l = LayoutPanel(FrameSize());
  platform::PlaceDesign(pageTabs_, dpi_, l.topTabs.left, l.topTabs.top, l.topTabs.width, l.topTabs.height);
  // Every page lies on the page tabs, placed from their top-left corner.
  const int ox = l.topTabs.left, oy = l.topTabs.top;
  phraseView_.Layout(l, ox, oy, dpi_);
  commandView_.Layout(l, ox, oy, dpi_);
  scheduleView_.Layout(l, ox, oy, dpi_);
  // The pages' labels and boxes are drawn on the colour of a tab's body.
  pageBrush_.reset(CreateSolidBrush(platform::TabBodyColour(pageTabs_)));
}

void MainPanel::ShowPage(int page) {
  page_ = page;
  TabCtrl_SetCurSel(pageTabs_, page);
  if (page != 0) phraseView_.Show(false);
  if (page != 1) commandView_.Show(false);
  if (page != 2) scheduleView_.Show(false);
  if (page == 0) phraseView_.Show(true);
  if (page == 1) commandView_.Show(true);
  if (page == 2) scheduleView_.Show(true);
}

bool MainPanel::ForwardNotify(const NMHDR& hdr, LRESULT& result) {
  return phraseView_.OnNotify(hdr, result) || commandView_.OnNotify(hdr, result) ||
         scheduleView_.OnNotify(hdr, result);
}

void MainPanel::CenterOnScreen() {
  RECT rc{};
  GetWindowRect(hwnd(), &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  // The centre of the work area of the monitor the panel is on (it may have followed a chat window
  // to another one), whole inside it: the title bar never above its top edge.
  const RECT work = platform::MonitorAreaOf(hwnd(), true);
  const int fitW = std::min<int>(w, work.right - work.left), fitH = std::min<int>(h, work.bottom - work.top);
  const POINT at = platform::CentredIn(work, fitW, fitH);
  if (rc.left != at.x || rc.top != at.y || fitW != w || fitH != h)
    SetWindowPos(hwnd(), nullptr, at.x, at.y, fitW, fitH, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainPanel::RestoreGeometry() {
  Size frame{kDesignWidth, kDesignHeight};
  const bool stored = ws_.geometry && ws_.geometry->height != 0;
  if (stored) frame = ClampFrame({ws_.geometry->width, ws_.geometry->height}, screenLimit_);
  const auto outerOf = [this](Size f) {
    const Size client = ClientOfFrame(f);
    return platform::OuterSizeForClient(Scale(client.width, dpi_), Scale(client.height, dpi_), kStyle, kExStyle,
                                        true, dpi_);
  };
  SIZE outer = outerOf(frame);
  if (stored) {
    // A position on a monitor that is gone would leave the panel out of reach: it comes back whole
    // on the nearest monitor, at most as large as that monitor's work area.
    RECT want{ws_.geometry->left, ws_.geometry->top, ws_.geometry->left + outer.cx, ws_.geometry->top + outer.cy};
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&want, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    const SIZE chrome = platform::OuterSizeForClient(0, 0, kStyle, kExStyle, true, dpi_);
    const Size workFrame = FrameOfClient({Unscale(work.right - work.left - chrome.cx, dpi_),
                                          Unscale(work.bottom - work.top - chrome.cy, dpi_)});
    frame = ClampFrame(frame, {std::min(frame.width, workFrame.width), std::min(frame.height, workFrame.height)});
    outer = outerOf(frame);
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
  scheduleView_.KeepInWorkspace();
  const storage::SaveReport report = store_.SaveAll(ws_);
  // The counts go with every save, so none is lost at exit; a count that could not be written
  // waits for the next save.
  sendCounts_.Save(store_.folder());
  ReportSettingsSave(!report.settingsKept);
  // A group file that could not be written keeps its old rows on disk: the agent must know the
  // library was not saved, once, until a save goes through again.
  if (report.failures == 0) {
    libraryWarned_ = false;
  } else if (!libraryWarned_) {
    libraryWarned_ = true;
    ShowBalloon(kBalloonTitle, kBalloonLibraryNotSavedText, NIIF_WARNING, kSettingsNotSavedBalloonMs);
  }
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

void MainPanel::PauseOrResume() {
  const UINT id = static_cast<UINT>(Command::PauseResume);
  paused_ = !paused_;
  // The menu item's caption offers the other state: "恢复工作" while paused.
  if (paused_) {
    sendQueue_.DropWaiting();  // the work stops: what was still to go out does not
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

void MainPanel::OnCommand(Command command) {
  switch (command) {
    case Command::ChangeSettings: settings_.ShowSettings(); break;
    case Command::PauseResume: PauseOrResume(); break;
    case Command::SaveConfig: SaveAll(); break;
    case Command::Tutorial:
    case Command::Contact:
    case Command::Homepage: OpenAboutItem(command, store_.folder(), platform::SystemShell()); break;
    case Command::ShowSoftware: ShowPanel(ShowVariant::Menu); break;
    case Command::ExitSoftware: ExitProgram(); break;
    case Command::AddGroup:
    case Command::DeleteGroup:
    case Command::RenameGroup:
    case Command::ImportCsv:
    case Command::ExportCsv: ShownLibrary().OnGroupCommand(command); break;
    default:  // the list menus
      if (!phraseView_.OnCommand(command)) commandView_.OnCommand(command);
      break;
  }
}

void MainPanel::OnTrayNotify(UINT mouseMessage) {
  if (mouseMessage == WM_LBUTTONDOWN) ShowPanel(ShowVariant::Tray);
  if (mouseMessage == WM_RBUTTONDOWN) platform::PopUpMenuAtCursor(hwnd(), trayMenu_.get());
}

bool MainPanel::PreTranslate(const MSG& msg) {
  if (PreTranslateSearch(msg)) return true;
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || !hwnd()) return false;
  if (msg.hwnd != hwnd() && !IsChild(hwnd(), msg.hwnd)) return false;
  // A dropped-down combo box closes its list first.
  if (scheduleView_.TypeListDropped()) return false;
  HideToTray(kHideOnCloseMs);
  return true;
}

void MainPanel::ApplyShotPage() {
  const int page = *start_.shotPage;
  if (page <= 2) {
    ShowPage(page);
  } else if (page == 11) {
    ShowPage(2);
    scheduleView_.ChooseShutdownForShot();
  } else if (page == 13) {
    ShowPage(0);
    phraseView_.SearchForShot("th");
  } else if (page == 12) {
    // The popup as a reminder opens it, shaking and ringing; here on the panel's own thread.
    shotReminder_ = schedule::NewReminderPopupDisplay();
    shotReminder_->OpenReminder("该给客户回电话了\r\n14:30 前确认订单", {ws_.music, ws_.shake});
  } else if (page >= 5) {
    // The group menu, the phrase list menu, the command list menu, the phrase editor adding and
    // editing, and the command editor.
    const bool commands = page == 7 || page == 10;
    ShowPage(commands ? 1 : 0);
    (commands ? commandView_ : phraseView_).OpenForShot(page);
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
    case kTeamUpdateMessage:
      OnTeamUpdate(lp);
      return 0;
    case kScheduleRowRanMessage:
      scheduleView_.RedrawRow(static_cast<int>(wp));
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
      {
        // The work area of the monitor the panel is on now, not the one it was created on.
        const RECT work = platform::MonitorAreaOf(hwnd(), true);
        const SIZE chrome = platform::OuterSizeForClient(0, 0, kStyle, kExStyle, true, dpi_);
        const Size maxClient = ClientOfFrame(FrameOfClient(
            {Unscale(work.right - work.left - chrome.cx, dpi_), Unscale(work.bottom - work.top - chrome.cy, dpi_)}));
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
    case WM_HOTKEY:
      if (hotkeyId_ != 0 && static_cast<int>(wp) == hotkeyId_) OnSearchHotkey();
      return 0;
    case WM_ACTIVATEAPP:
      if (!wp) OnOtherProgramActive();
      break;
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
      const auto control = reinterpret_cast<HWND>(lp);
      if (!phraseView_.OnControlCommand(control, code) && !commandView_.OnControlCommand(control, code))
        scheduleView_.OnControlCommand(control, code);
      return 0;
    }
    case WM_NOTIFY: {
      const auto& hdr = *reinterpret_cast<const NMHDR*>(lp);
      if (LRESULT result = 0; ForwardNotify(hdr, result)) return result;
      if (hdr.hwndFrom == pageTabs_ && hdr.code == TCN_SELCHANGE) ShowPage(TabCtrl_GetCurSel(pageTabs_));
      return 0;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (phraseView_.OnDrawItem(item) || commandView_.OnDrawItem(item)) return TRUE;
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wp);
      scheduleView_.PrepareColour(dc, reinterpret_cast<HWND>(lp));
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
      platform::SetHomeWindow(nullptr);
      sendQueue_.DropWaiting();
      // The one place where the program saves on its way out.
      if (!saved_) {
        SaveAll();
        saved_ = true;
      }
      // Then the workers end: the schedule's closes its Reminder popup, and no pass of the follow
      // loop moves a panel that is going away.
      scheduleView_.StopLoop();
      followLoop_.StopFollowLoop();
      if (teamSession_) teamSession_->Stop();
      tray_.Remove();
      if (settings_.hwnd()) DestroyWindow(settings_.hwnd());
      PostQuitMessage(0);
      return 0;
  }
  return Default(msg, wp, lp);
}

}  // namespace jihe::app
