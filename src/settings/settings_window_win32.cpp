#include "settings/settings_window_win32.h"

#include <commctrl.h>
#include <shlobj.h>

#include <optional>

#include "app/commands.h"
#include "platform/utf16.h"
#include "settings/autostart.h"
#include "settings/autostart_win32.h"
#include "settings/option_rules.h"
#include "storage/store.h"
#include "storage/team_library.h"
#include "webchat/web_chat_window_win32.h"

namespace jihe::settings {

using platform::Scale;

namespace {
constexpr wchar_t kClassName[] = L"霁禾客服助手.软件设置";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
// The client area holds the tab control at (0, 2), 440 × 385.
constexpr int kClientWidth = 440;
constexpr int kClientHeight = 387;
constexpr int kTabsLeft = 0, kTabsTop = 2, kTabsWidth = 440, kTabsHeight = 385;

constexpr int kTabsId = 2100;
constexpr int kLabel1Id = 2001;
constexpr int kLabel2Id = 2002;
constexpr int kLabel3Id = 2003;
constexpr int kLabel4Id = 2004;
constexpr int kLabel5Id = 2005;
constexpr int kIntervalId = 2010;
constexpr int kFrame1Id = 2011, kFrame2Id = 2012, kLine1Id = 2013, kLine2Id = 2014;
constexpr int kTeamLabelId = 2020, kTeamFolderId = 2021, kTeamBrowseId = 2022, kTeamClearId = 2023;
constexpr int kHotkeyLabelId = 2030, kHotkeyId = 2031;
constexpr int OptionId(Option o) { return 1000 + static_cast<int>(o); }

constexpr COLORREF kDarkBlue = RGB(0, 0, 128);
constexpr COLORREF kHelpPurple = RGB(144, 0, 255);
}  // namespace

enum class Kind { Frame, Radio, Check, Line, Label, Link, Edit, Text, Button, Hotkey };

struct SettingsWindow::Control {
  int page;
  int frame;  // 0: on the page; 1: inside the first frame; 2: inside the second frame
  Kind kind;
  int id;
  int left, top, width, height;
  std::string_view caption;
  std::optional<Option> option;
  COLORREF colour = CLR_INVALID;
};

namespace {
// Frame origins on the first page.
constexpr POINT kFrameOrigin[] = {{0, 0}, {4, 35}, {4, 219}};
}  // namespace

static const SettingsWindow::Control kControls[] = {
    // Page "基础设置"
    {0, 0, Kind::Frame, kFrame1Id, 4, 35, 432, 171, "窗口跟随设置[所有聊天窗口不能最大化]", {}},
    {0, 1, Kind::Radio, OptionId(Option::跟随到左边), 44, 15, 129, 24, "跟随到聊天窗口左边", Option::跟随到左边},
    {0, 1, Kind::Radio, OptionId(Option::跟随到右边), 251, 15, 142, 24, "跟随到聊天窗口右边", Option::跟随到右边},
    {0, 1, Kind::Line, kLine1Id, 0, 41, 431, 1, "", {}},
    // 跟随QQ is drawn narrower than its designed 392 pixels so it does not lie over 跟随微信.
    {0, 1, Kind::Check, OptionId(Option::跟随QQ), 7, 46, 210, 24, "自动跟随到电脑QQ的聊天窗口", Option::跟随QQ},
    {0, 1, Kind::Check, OptionId(Option::跟随微信), 224, 46, 189, 24, "自动跟随到电脑版微信聊天窗口", Option::跟随微信},
    {0, 1, Kind::Check, OptionId(Option::跟随旺旺), 7, 77, 189, 24, "自动跟随旺旺或千牛聊天窗口", Option::跟随旺旺},
    {0, 1, Kind::Check, OptionId(Option::跟随京东), 224, 77, 197, 24, "自动跟随到京东卖家版聊天窗口", Option::跟随京东},
    {0, 1, Kind::Check, OptionId(Option::跟随陌陌), 7, 107, 181, 24, "自动跟随电脑版陌陌聊天窗口", Option::跟随陌陌},
    {0, 1, Kind::Check, OptionId(Option::跟随58), 224, 107, 117, 24, "跟随到58聊天窗口", Option::跟随58},
    {0, 1, Kind::Check, OptionId(Option::跟随拼多多), 7, 139, 189, 24, "自动跟随到拼多多客服浏览器版", Option::跟随拼多多},
    {0, 1, Kind::Label, kLabel1Id, 204, 143, 216, 16, "拼多多仅支持360安全浏览器,可点此下载", {}, kDarkBlue},
    {0, 0, Kind::Link, kLabel2Id, 344, 145, 76, 16, "需点此登录58", {}, kDarkBlue},
    {0, 0, Kind::Frame, kFrame2Id, 4, 219, 432, 155, "快捷短语发送设置", {}},
    {0, 2, Kind::Radio, OptionId(Option::单击发送), 44, 17, 144, 24, "单击列表进行发送", Option::单击发送},
    {0, 2, Kind::Radio, OptionId(Option::双击发送), 232, 17, 144, 24, "双击列表进行发送", Option::双击发送},
    {0, 2, Kind::Line, kLine2Id, 0, 41, 431, 1, "", {}},
    {0, 2, Kind::Check, OptionId(Option::自动点发送), 7, 46, 376, 24,
     "自动点击[发送]按钮,将消息发出（聊天工具需设置ENTER键发送)", Option::自动点发送},
    {0, 2, Kind::Check, OptionId(Option::显示预览), 7, 70, 245, 24, "当鼠标单击快捷短语项目时显示内容预览", Option::显示预览},
    {0, 2, Kind::Check, OptionId(Option::鼠标停留), 7, 98, 244, 20, "消息发送完毕后鼠标停留在聊天窗口上面", Option::鼠标停留},
    {0, 2, Kind::Label, kLabel3Id, 8, 125, 186, 16, "微信图片和文字之间的发送间隔：", {}},
    {0, 2, Kind::Edit, kIntervalId, 187, 125, 41, 18, "", {}},
    {0, 2, Kind::Label, kLabel4Id, 233, 125, 27, 16, "毫秒", {}},
    {0, 2, Kind::Link, kLabel5Id, 262, 125, 14, 16, "？", {}, kHelpPurple},
    // Page "其他设置"
    {1, 0, Kind::Check, OptionId(Option::开机自启), 15, 34, 160, 24, "开机自动启动本软件", Option::开机自启},
    {1, 0, Kind::Check, OptionId(Option::智能隐藏), 15, 86, 264, 24, "当打开非跟随的窗口时,隐藏本软件", Option::智能隐藏},
    // The team library: a folder on the office share, empty for none.
    {1, 0, Kind::Label, kTeamLabelId, 15, 300, 200, 16, "团队短语库文件夹：", {}},
    {1, 0, Kind::Text, kTeamFolderId, 15, 320, 290, 22, "", {}},
    {1, 0, Kind::Button, kTeamBrowseId, 310, 319, 56, 24, "浏览…", {}},
    {1, 0, Kind::Button, kTeamClearId, 370, 319, 56, 24, "清除", {}},
    // Search and sending without the mouse.
    {1, 0, Kind::Check, OptionId(Option::恢复剪贴板), 15, 138, 264, 24, "发送后恢复剪贴板原有内容", Option::恢复剪贴板},
    {1, 0, Kind::Label, kHotkeyLabelId, 17, 193, 110, 16, "呼出搜索的热键", {}},
    {1, 0, Kind::Hotkey, kHotkeyId, 130, 190, 160, 22, "", {}},
    {1, 0, Kind::Check, OptionId(Option::搜索英文), 15, 242, 264, 24, "搜索时切换到英文输入", Option::搜索英文},
};

SettingsWindow::SettingsWindow(Options& options, const storage::Store& store,
                               std::function<void()> applyFollowSwitches,
                               std::function<void(bool)> settingsSaved)
    : options_(options),
      store_(store),
      applyFollowSwitches_(std::move(applyFollowSwitches)),
      settingsSaved_(std::move(settingsSaved)) {}

bool SettingsWindow::Create(HWND owner) {
  owner_ = owner;
  RegisterWindowClass(kClassName,
                      static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                    0, 0, LR_DEFAULTSIZE)),
                      GetSysColorBrush(COLOR_BTNFACE));
  store_.LoadSettings(options_);
  options_.SetInterval(kDefaultInterval);  // the interval is never stored
  dpi_ = platform::DpiOf(owner);
  SIZE outer = platform::OuterSizeForClient(Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_),
                                            kStyle, kExStyle, false, dpi_);
  const POINT at = platform::CentredIn(platform::MonitorAreaOf(owner, false), outer.cx, outer.cy);
  if (!CreateWindowOf(kExStyle, kClassName, app::kSettingsTitle, kStyle, at.x, at.y, outer.cx, outer.cy,
                      owner, nullptr))
    return false;
  // The window may sit on a monitor of another DPI than the owner's.
  if (platform::DpiOf(hwnd()) != dpi_) {
    dpi_ = platform::DpiOf(hwnd());
    outer = platform::OuterSizeForClient(Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_),
                                         kStyle, kExStyle, false, dpi_);
    SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CreateControls();
  ApplyFonts();
  Layout();
  Render();
  return true;
}

void SettingsWindow::CreateControls() {
  HWND self = hwnd();
  settingsTabs_ = platform::CreateControl(self, WC_TABCONTROLW, "", WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                                         0, kTabsId, nullptr);
  for (const char* caption : {"基础设置", "其他设置"}) {
    std::wstring text = platform::Widen(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    TabCtrl_InsertItem(settingsTabs_, TabCtrl_GetItemCount(settingsTabs_), &item);
  }
  for (const Control& c : kControls) {
    const wchar_t* cls = WC_BUTTONW;
    DWORD style = WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (c.kind) {
      case Kind::Frame:
        // Transparent, so the tab page below it is painted through the frame's inside.
        style |= BS_GROUPBOX;
        exStyle = WS_EX_TRANSPARENT;
        break;
      case Kind::Radio: style |= BS_RADIOBUTTON | WS_TABSTOP; break;
      case Kind::Check: style |= BS_CHECKBOX | WS_TABSTOP; break;
      case Kind::Line: cls = WC_STATICW; style |= SS_ETCHEDHORZ; break;
      case Kind::Label: cls = WC_STATICW; style |= SS_LEFT | SS_NOTIFY; break;
      case Kind::Link: cls = WC_STATICW; style |= SS_LEFT | SS_NOTIFY; break;
      case Kind::Edit:
        cls = WC_EDITW;
        style |= ES_NUMBER | ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Text:
        cls = WC_EDITW;
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button: style |= BS_PUSHBUTTON | WS_TABSTOP; break;
      case Kind::Hotkey: cls = HOTKEY_CLASSW; style |= WS_TABSTOP; break;
    }
    HWND h = platform::CreateControl(self, cls, c.caption, style, exStyle, c.id, nullptr);
    controls_.emplace_back(&c, h);
  }
  SetWindowTextW(ControlById(kIntervalId), platform::Widen(options_.Interval()).c_str());
  platform::SetWindowTextUtf8(ControlById(kTeamFolderId), storage::LoadTeamFolderSetting(store_.folder()));
  ShowHotkey(options_.Hotkey());
  // Bottom to top: the tab control, the frames, then every other control above them.
  for (auto& [c, h] : controls_)
    if (c->kind == Kind::Frame) SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(settingsTabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SelectPage(0);
}

void SettingsWindow::ApplyFonts() {
  font_ = platform::CreateUiFont(dpi_);
  linkFont_ = platform::CreateUiFont(dpi_, true);
  SendMessageW(settingsTabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  for (auto& [c, h] : controls_) {
    HFONT f = (c->kind == Kind::Link || c->id == kLabel1Id) ? linkFont_.get() : font_.get();
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
  }
}

void SettingsWindow::Layout() {
  SetWindowPos(settingsTabs_, nullptr, Scale(kTabsLeft, dpi_), Scale(kTabsTop, dpi_), Scale(kTabsWidth, dpi_),
               Scale(kTabsHeight, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
  for (auto& [c, h] : controls_) {
    // Positions on a page are relative to the tab control, inside a frame to the frame.
    const int x = kTabsLeft + kFrameOrigin[c->frame].x + c->left;
    const int y = kTabsTop + kFrameOrigin[c->frame].y + c->top;
    SetWindowPos(h, nullptr, Scale(x, dpi_), Scale(y, dpi_), Scale(c->width, dpi_),
                 std::max(1, Scale(c->height, dpi_)), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  pageBrush_.reset(CreateSolidBrush(platform::TabBodyColour(settingsTabs_)));
}

void SettingsWindow::SelectPage(int page) {
  page_ = page;
  TabCtrl_SetCurSel(settingsTabs_, page);
  for (auto& [c, h] : controls_) ShowWindow(h, c->page == page ? SW_SHOWNA : SW_HIDE);
}

HWND SettingsWindow::ControlById(int id) const {
  for (auto& [c, h] : controls_)
    if (c->id == id) return h;
  return nullptr;
}

void SettingsWindow::Render() {
  for (auto& [c, h] : controls_)
    if (c->option) {
      const WPARAM state = options_.Get(*c->option) ? BST_CHECKED : BST_UNCHECKED;
      if (SendMessageW(h, BM_GETCHECK, 0, 0) != static_cast<LRESULT>(state)) SendMessageW(h, BM_SETCHECK, state, 0);
    }
}

void SettingsWindow::ShowSettings() {
  if (!hwnd() && !Create(owner_)) return;
  if (IsWindowVisible(hwnd())) return;
  // It opens on the panel's monitor: the panel may have followed a chat window to another one.
  if (owner_ && MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST) != MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST)) {
    RECT rc{};
    GetWindowRect(hwnd(), &rc);
    const POINT at = platform::CentredIn(platform::MonitorAreaOf(owner_, false), rc.right - rc.left, rc.bottom - rc.top);
    SetWindowPos(hwnd(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SelectPage(0);
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
}

void SettingsWindow::CloseSettings() {
  if (applyFollowSwitches_) applyFollowSwitches_();
  // Both are tried: a busy config.ini must not also drop a changed team folder unheard of.
  const bool optionsSaved = store_.SaveSettings(options_);
  const bool teamFolderKept = KeepTeamFolder();
  const bool saved = optionsSaved && teamFolderKept;
  if (settingsSaved_) settingsSaved_(saved);
  ShowWindow(hwnd(), SW_HIDE);
}

void SettingsWindow::OnOptionClicked(Option option) {
  const OptionInfo& info = InfoOf(option);
  if (info.section == std::string_view(kRadioSection))
    options_.Set(option, true);
  else
    options_.Set(option, !options_.Get(option));
  Render();
  std::optional<std::string_view> message;
  if (option == Option::显示预览 && options_.Get(option)) message = AfterPreviewClicked(options_);
  if (option == Option::单击发送) message = AfterSingleClickChosen(options_);
  if (message) platform::ShowInfoMessage(hwnd(), *message);
  Render();
  if (option == Option::开机自启) OnAutostartClicked();
}

void SettingsWindow::OnAutostartClicked() {
  if (options_.Get(Option::开机自启)) {
    switch (EnableAutostart()) {
      case AutostartResult::Done: platform::ShowInfoMessage(hwnd(), kAutostartOnMessage); return;
      case AutostartResult::NoExecutable: platform::ShowInfoMessage(hwnd(), kAutostartNoExeMessage); break;
      case AutostartResult::RegistryFailed: platform::ShowInfoMessage(hwnd(), kAutostartOnFailedMessage); break;
    }
    // The entry was not made: the box must not claim it was.
    options_.Set(Option::开机自启, false);
  } else {
    if (DisableAutostart() == AutostartResult::Done) {
      platform::ShowInfoMessage(hwnd(), kAutostartOffMessage);
      return;
    }
    platform::ShowInfoMessage(hwnd(), kAutostartOffFailedMessage);
    options_.Set(Option::开机自启, true);
  }
  Render();
}

void SettingsWindow::OnClicked(int id) {
  for (auto& [c, h] : controls_)
    if (c->id == id && c->option) {
      OnOptionClicked(*c->option);
      return;
    }
  if (id == kTeamBrowseId) BrowseTeamFolder();
  if (id == kTeamClearId) SetWindowTextW(ControlById(kTeamFolderId), L"");
  if (id == kLabel5Id) platform::ShowInfoMessage(hwnd(), kIntervalHelpMessage);
  if (id == kLabel2Id) webchat::OpenWebChatWindow();
}

// ---- the team folder -------------------------------------------------------------------------------

void SettingsWindow::BrowseTeamFolder() {
  const std::wstring title = platform::Widen("请选择团队短语库文件夹（含“数据”文件夹的那一层）");
  BROWSEINFOW info{};
  info.hwndOwner = hwnd();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  const bool got = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (got) SetWindowTextW(ControlById(kTeamFolderId), path);
}

// Stores the folder typed or chosen when it differs from config.ini's; the panel then follows the
// new folder. False when config.ini did not take it.
bool SettingsWindow::KeepTeamFolder() {
  std::string folder = platform::WindowTextUtf8(ControlById(kTeamFolderId));
  const auto notBlank = folder.find_first_not_of(" \t");
  folder = notBlank == std::string::npos ? std::string() : folder.substr(notBlank, folder.find_last_not_of(" \t") - notBlank + 1);
  if (folder == storage::LoadTeamFolderSetting(store_.folder())) return true;
  if (!storage::SaveTeamFolderSetting(store_.folder(), folder)) return false;
  if (teamFolderChanged_) teamFolderChanged_();
  return true;
}

LRESULT SettingsWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_CLOSE:
      CloseSettings();
      return 0;  // the window lives on, hidden
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      const int code = HIWORD(wp);
      if (code == BN_CLICKED || code == STN_CLICKED) OnClicked(id);
      if (id == kHotkeyId && code == EN_CHANGE) OnHotkeyEdited();
      if (id == kIntervalId && code == EN_CHANGE) {
        const std::string typed = platform::WindowTextUtf8(reinterpret_cast<HWND>(lp));
        const std::string digits = DigitsOnly(typed);
        if (digits != typed) platform::SetWindowTextUtf8(reinterpret_cast<HWND>(lp), digits);
        options_.SetInterval(digits);
      }
      return 0;
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->hwndFrom == settingsTabs_ && hdr->code == TCN_SELCHANGE) SelectPage(TabCtrl_GetCurSel(settingsTabs_));
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wp);
      auto ctl = reinterpret_cast<HWND>(lp);
      for (auto& [c, h] : controls_)
        if (h == ctl && c->colour != CLR_INVALID) SetTextColor(dc, c->colour);
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(pageBrush_ ? pageBrush_.get() : GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wp));
      if (id == kLabel2Id || id == kLabel5Id || id == kLabel1Id) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      auto* suggested = reinterpret_cast<RECT*>(lp);
      SIZE outer = platform::OuterSizeForClient(Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_),
                                                kStyle, kExStyle, false, dpi_);
      SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyFonts();
      Layout();
      return 0;
    }
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      pageBrush_.reset(CreateSolidBrush(platform::TabBodyColour(settingsTabs_)));
      break;
  }
  return Default(msg, wp, lp);
}

// ---- the search hotkey ----------------------------------------------------------------------------

namespace {
// The hotkey control's modifier flags (HOTKEYF_*) are not RegisterHotKey's (MOD_*): Shift and Alt
// trade places. The control knows no Win key.
constexpr std::pair<unsigned, BYTE> kModifierFlags[] = {
    {kModCtrl, HOTKEYF_CONTROL}, {kModAlt, HOTKEYF_ALT}, {kModShift, HOTKEYF_SHIFT}};
}  // namespace

void SettingsWindow::ShowHotkey(Hotkey hotkey) {
  BYTE flags = 0;
  for (auto [mod, flag] : kModifierFlags)
    if (hotkey.modifiers & mod) flags |= flag;
  SendMessageW(ControlById(kHotkeyId), HKM_SETHOTKEY, MAKEWORD(hotkey.virtualKey, flags), 0);
}

// Every key the agent presses in the control changes it; a combination that is whole (a key, and
// one that does not take over ordinary typing) is offered to the system at once. When the system
// refuses it, the agent hears which, and the one in use stays and shows again.
void SettingsWindow::OnHotkeyEdited() {
  const LRESULT value = SendMessageW(ControlById(kHotkeyId), HKM_GETHOTKEY, 0, 0);
  Hotkey typed{0, LOBYTE(LOWORD(value))};
  for (auto [mod, flag] : kModifierFlags)
    if (HIBYTE(LOWORD(value)) & flag) typed.modifiers |= mod;
  if (typed.virtualKey == 0 || typed == options_.Hotkey()) return;
  if (ParseHotkey(FormatHotkey(typed)) != typed) return;  // not a combination we would store
  if (changeHotkey_ && !changeHotkey_(typed)) {
    ShowHotkey(options_.Hotkey());
    platform::ShowInfoMessage(hwnd(), HotkeyTakenMessage(typed));
    return;
  }
  options_.SetHotkey(typed);
}

}  // namespace jihe::settings
