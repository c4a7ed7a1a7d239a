// jihe.exe driven as a user would drive it: the Main panel, its menus, the tray icon's messages,
// the Settings window and what ends up in the Data folder.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "settings/autostart.h"
#include "storage/ini_file.h"

namespace jihe::e2e {
namespace {

using platform::Narrow;
using platform::Widen;
using storage::IniFile;

bool IsTopmost(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool IsCentred(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
  return std::abs(rc.left - x) <= 1 && std::abs(rc.top - y) <= 1;
}

// The group list in front (the visible list view with no column header).
HWND FrontList(HWND panel) {
  for (HWND h : Children(panel))
    if (ClassOf(h) == WC_LISTVIEWW && IsWindowVisible(h) && (GetWindowLongPtrW(h, GWL_STYLE) & LVS_NOCOLUMNHEADER))
      return h;
  return nullptr;
}

int LineCount(const std::string& path) {
  auto bytes = platform::ReadWholeFile(path);
  if (!bytes) return -1;
  int lines = 0;
  for (size_t pos = 0; (pos = bytes->find("\r\n", pos)) != std::string::npos; pos += 2) ++lines;
  return lines;
}

// Tray balloons on screen (the tray's own tooltip windows; the program's hidden ones do not count).
int VisibleBalloons() {
  int n = 0;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
    if (IsWindowVisible(w) && ClassOf(w) == TOOLTIPS_CLASSW) ++n;
  return n;
}

class MainPanelE2e : public ::testing::Test {
 protected:
  TempFolder data_;
};

TEST_F(MainPanelE2e, FirstStartMakesTheFoldersAndShowsTheDesignState) {
  Jihe jihe(data_.path());
  ASSERT_TRUE(jihe.started());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);

  for (const wchar_t* folder : {L"img", L"数据", L"数据\\短语", L"数据\\快捷"})
    EXPECT_TRUE(platform::DirectoryExists(data_.Utf8(folder))) << Narrow(folder);

  EXPECT_EQ(Text(panel), "霁禾客服助手");
  EXPECT_TRUE(IsTopmost(panel));
  EXPECT_TRUE(IsCentred(panel));
  // No taskbar button: an owned window that does not ask for one.
  EXPECT_NE(GetWindow(panel, GW_OWNER), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(panel, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  const LONG_PTR style = GetWindowLongPtrW(panel, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

  if (auto items = jihe.MenuItems()) {
    std::vector<std::string> captions;
    for (const auto& item : *items) captions.push_back(item.first);
    EXPECT_EQ(captions, (std::vector<std::string>{"更改设置", "暂停工作", "保存配置", "使用教程", "联系我们"}));
  }

  // The phrase group "分组1" with its six help rows is in front.
  HWND list = FrontList(panel);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListView_GetItemCount(list), 6);
  EXPECT_EQ(ListView_GetTextColor(list), RGB(64, 128, 128));
  EXPECT_EQ(ListView_GetBkColor(list), RGB(255, 255, 255));

  // Resizing keeps the list 12 design pixels narrower than the panel's frame (96 DPI here).
  RECT panelClient{}, listRect{};
  GetClientRect(panel, &panelClient);
  GetWindowRect(list, &listRect);
  EXPECT_EQ(listRect.right - listRect.left, panelClient.right + 2 - 12);
}

TEST_F(MainPanelE2e, EscCloseAndMinimizeHideAndTheTrayShowsItCentred) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  auto hidden = [&] { return !IsWindowVisible(panel); };
  auto shown = [&] { return IsWindowVisible(panel) != FALSE; };
  auto trayClick = [&] { PostMessageW(panel, app::kTrayNotifyMessage, app::kTrayIconId, WM_LBUTTONDOWN); };

  PostMessageW(FrontList(panel), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitFor(hidden)) << "Esc";
  trayClick();
  ASSERT_TRUE(WaitFor(shown));

  PostMessageW(panel, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor(hidden)) << "close";
  EXPECT_EQ(WaitForSingleObject(jihe.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "closing must not end it";

  // Move it off centre, minimize it, then call it back from the tray.
  SetWindowPos(panel, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  trayClick();
  ASSERT_TRUE(WaitFor(shown));
  ASSERT_TRUE(WaitFor([&] { return IsCentred(panel); })) << "a tray click re-centres a visible panel";
  SetWindowPos(panel, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(panel, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor(hidden)) << "minimize";
  trayClick();
  ASSERT_TRUE(WaitFor([&] { return shown() && !IsIconic(panel) && IsCentred(panel); }));

  // "显示软件" on a visible panel leaves it where it is.
  SetWindowPos(panel, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  jihe.PostCommand(static_cast<UINT>(app::Command::ShowSoftware));
  PostMessageW(panel, WM_NULL, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(panel, WM_NULL, 0, 0) == 0; }));
  RECT rc{};
  GetWindowRect(panel, &rc);
  EXPECT_EQ(rc.left, 10);
}

TEST_F(MainPanelE2e, SaveConfigWritesTheLibrary) {
  Jihe jihe(data_.path());
  ASSERT_NE(jihe.WaitForPanel(), nullptr);
  jihe.ClickMenu("保存配置");
  const std::string conf = data_.Utf8(L"数据\\conf.ini");
  ASSERT_TRUE(WaitFor([&] { return platform::FileExists(conf) && platform::FileExists(data_.Utf8(L"config.ini")); }));
  IniFile ini = IniFile::Load(conf);
  EXPECT_EQ(ini.GetString("主面板", "短语子夹数"), "1");
  EXPECT_EQ(ini.GetString("主面板", "快捷子夹数"), "1");
  EXPECT_EQ(ini.GetString("短语子夹名", "0"), "分组1");
  EXPECT_EQ(ini.GetString("快捷子夹名", "0"), "默认");
  EXPECT_EQ(LineCount(data_.Utf8(L"数据\\短语\\分组1.txt")), 6);
  EXPECT_EQ(LineCount(data_.Utf8(L"数据\\快捷\\默认.txt")), 1);
  IniFile config = IniFile::Load(data_.Utf8(L"config.ini"));
  EXPECT_EQ(config.GetInt("大小", "宽度"), 279);
  EXPECT_EQ(config.GetInt("大小", "高度"), 463);
}

// A file that another program holds open is left as it was: config.ini (the library is saved all
// the same) or a group file (written by the next save). A balloon tells the agent each time.
TEST_F(MainPanelE2e, AFileHeldOpenIsLeftAsItWasAndTheAgentIsTold) {
  const std::wstring groupFile = L"数据\\短语\\分组1.txt";
  for (const std::wstring& held : {std::wstring(L"config.ini"), groupFile}) {
    SCOPED_TRACE(Narrow(held));
    Jihe jihe(data_.path());
    HWND panel = jihe.WaitForPanel();
    ASSERT_NE(panel, nullptr);
    const std::string path = data_.Utf8(held), group = data_.Utf8(groupFile);
    SendMessageW(panel, WM_COMMAND, static_cast<WPARAM>(app::Command::SaveConfig), 0);
    ASSERT_TRUE(HoldsFor([&] { return VisibleBalloons() == 0; }, 300));
    // Both files differ from what the program holds, so a save wants to write both.
    SetWindowPos(panel, nullptr, 55, 66, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(platform::WriteFileAtomically(group, "x"));
    const auto before = platform::ReadWholeFile(path);
    ASSERT_TRUE(before);
    HANDLE lock = CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    SendMessageW(panel, WM_COMMAND, static_cast<WPARAM>(app::Command::SaveConfig), 0);
    EXPECT_TRUE(WaitFor([&] { return VisibleBalloons() > 0; })) << "a balloon says what was not saved";
    CloseHandle(lock);
    EXPECT_EQ(platform::ReadWholeFile(path), before);
    if (path != group) EXPECT_EQ(LineCount(group), 6) << "the library is saved all the same";
    SendMessageW(panel, WM_COMMAND, static_cast<WPARAM>(app::Command::SaveConfig), 0);
    EXPECT_EQ(LineCount(group), 6);
  }
}

TEST_F(MainPanelE2e, PauseHidesAndDropsTopmostResumeRestoresIt) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  const UINT pause = jihe.MenuCommand("暂停工作");
  ASSERT_NE(pause, 0u);
  const bool menuReadable = jihe.MenuItems().has_value();
  jihe.PostCommand(pause);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel) && !IsTopmost(panel); }));
  if (menuReadable) {
    EXPECT_EQ(jihe.MenuCommand("恢复工作"), pause);
    EXPECT_TRUE(GetMenuState(GetSubMenu(GetMenu(panel), 0), pause, MF_BYCOMMAND) & MF_CHECKED);
  }

  jihe.PostCommand(pause);
  ASSERT_TRUE(WaitFor([&] { return IsTopmost(panel); }));
  EXPECT_FALSE(IsWindowVisible(panel)) << "resuming does not show the panel";
  if (menuReadable) {
    EXPECT_EQ(jihe.MenuCommand("暂停工作"), pause);
  }
  // Pausing once more hides and drops the topmost state again: the caption kept the state.
  ShowWindow(panel, SW_SHOWNA);
  jihe.PostCommand(pause);
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(panel) && !IsTopmost(panel); }));
}

TEST_F(MainPanelE2e, StoredLibraryAndGeometryComeBack) {
  ASSERT_TRUE(WriteGroupNames(data_, {"售前", "售后"}, {"常用"}));
  ASSERT_TRUE(platform::WriteFileAtomically(data_.Utf8(L"数据\\短语\\售前.txt"), "a\r\nb\r\nc"));
  ASSERT_TRUE(platform::WriteFileAtomically(data_.Utf8(L"数据\\短语\\售后.txt"), "x\r\n"));
  IniFile config;
  config.Set("大小", "高度", "600");
  config.Set("大小", "宽度", "320");
  config.Set("大小", "左边", "40");
  config.Set("大小", "顶边", "30");
  ASSERT_TRUE(config.Save(data_.Utf8(L"config.ini")));

  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  RECT rc{}, client{};
  GetWindowRect(panel, &rc);
  GetClientRect(panel, &client);
  EXPECT_EQ(rc.left, 40);
  EXPECT_EQ(rc.top, 30);
  EXPECT_EQ(client.right + 2, 320);
  EXPECT_EQ(client.bottom + 22, 600);
  HWND list = FrontList(panel);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListView_GetItemCount(list), 3);
  HWND strip = nullptr;
  for (HWND h : Children(panel))
    if (ClassOf(h) == WC_TABCONTROLW && IsWindowVisible(h) && TabCtrl_GetItemCount(h) == 2) strip = h;
  EXPECT_NE(strip, nullptr) << "one tab per stored phrase group";
}

TEST_F(MainPanelE2e, SettingsRoundTripIntoConfigIni) {
  {
    Jihe jihe(data_.path());
    ASSERT_NE(jihe.WaitForPanel(), nullptr);
    jihe.ClickMenu("更改设置");
    HWND settings = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (settings = jihe.Settings()) && IsWindowVisible(settings); }));
    EXPECT_EQ(Text(settings), "软件设置  —  [关闭本窗口时设置自动保存]");
    EXPECT_EQ(GetWindow(settings, GW_OWNER), jihe.Panel());

    HWND single = ChildByCaption(settings, "单击列表进行发送");
    HWND dbl = ChildByCaption(settings, "双击列表进行发送");
    HWND preview = ChildByCaption(settings, "当鼠标单击快捷短语项目时显示内容预览");
    HWND jd = ChildByCaption(settings, "自动跟随到京东卖家版聊天窗口");
    ASSERT_TRUE(single && dbl && preview && jd);
    EXPECT_EQ(Text(ChildByClass(settings, WC_EDITW, true)), "400");

    // Single-click sending with the preview on falls back to double-click.
    PostMessageW(single, BM_CLICK, 0, 0);
    ExpectMessage(jihe, "你已设置了单击显示快捷短语预览，和本项冲突 已自动改为双击列表进行发送！");
    EXPECT_EQ(Button_GetCheck(dbl), BST_CHECKED);
    EXPECT_EQ(Button_GetCheck(single), BST_UNCHECKED);
    // Without the preview it may be chosen; ticking the preview again gives way to double-click.
    PostMessageW(preview, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Button_GetCheck(preview) == BST_UNCHECKED; }));
    PostMessageW(single, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Button_GetCheck(single) == BST_CHECKED; }));
    EXPECT_EQ(jihe.MessageBoxWindow(), nullptr);
    PostMessageW(preview, BM_CLICK, 0, 0);
    ExpectMessage(jihe, "你设置了单击发送消息，和本项冲突 已自动改为双击列表进行发送！");
    EXPECT_EQ(Button_GetCheck(preview), BST_CHECKED);
    EXPECT_EQ(Button_GetCheck(dbl), BST_CHECKED);

    PostMessageW(jd, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Button_GetCheck(jd) == BST_CHECKED; }));
    PostMessageW(ChildByCaption(settings, "？"), WM_COMMAND, 0, 0);  // not a click: nothing happens
    EXPECT_EQ(jihe.MessageBoxWindow(), nullptr);

    PostMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
    EXPECT_TRUE(IsWindow(settings)) << "closing only hides it";
    ASSERT_TRUE(WaitFor([&] { return platform::FileExists(data_.Utf8(L"config.ini")); }));
    IniFile config = IniFile::Load(data_.Utf8(L"config.ini"));
    EXPECT_EQ(config.GetString("选择框", "跟随QQ"), "真");
    EXPECT_EQ(config.GetString("选择框", "跟随京东"), "真");
    EXPECT_EQ(config.GetString("选择框", "显示预览"), "真");
    EXPECT_EQ(config.GetString("单选框", "双击发送"), "真");
    EXPECT_EQ(config.GetString("单选框", "单击发送"), "假");
    EXPECT_EQ(config.GetString("单选框", "跟随到右边"), "真");
  }
  // The next start loads them.
  Jihe again(data_.path());
  ASSERT_NE(again.WaitForPanel(), nullptr);
  again.ClickMenu("更改设置");
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = again.Settings()) && IsWindowVisible(settings); }));
  EXPECT_EQ(Button_GetCheck(ChildByCaption(settings, "自动跟随到京东卖家版聊天窗口")), BST_CHECKED);
  EXPECT_EQ(Button_GetCheck(ChildByCaption(settings, "自动跟随到拼多多客服浏览器版")), BST_UNCHECKED);
}

TEST_F(MainPanelE2e, HelpLabelAndAutostart) {
  Jihe jihe(data_.path());
  ASSERT_NE(jihe.WaitForPanel(), nullptr);
  jihe.ClickMenu("更改设置");
  HWND settings = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (settings = jihe.Settings()) && IsWindowVisible(settings); }));
  HWND help = ChildByCaption(settings, "？");
  ASSERT_NE(help, nullptr);
  PostMessageW(settings, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(help), STN_CLICKED), reinterpret_cast<LPARAM>(help));
  ExpectMessage(jihe, "发微信时的图片和文本发送间隔,间隔过短图片会跑到后面");

  auto runValue = []() -> std::optional<std::wstring> {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, Widen(settings::kRunKey).c_str(), Widen(settings::kRunValueName).c_str(),
                     RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
      return std::nullopt;
    return std::wstring(buffer);
  };
  HWND autostart = ChildByCaption(settings, "开机自动启动本软件");
  ASSERT_NE(autostart, nullptr);
  PostMessageW(autostart, BM_CLICK, 0, 0);
  ExpectMessage(jihe, "开机自动启动设置成功,开机将自动启动！");
  const auto stored = runValue();
  ASSERT_TRUE(stored);
  // The quoted full path of the running jihe.exe (Wine may spell the drive in either case).
  auto upper = [](std::wstring text) {
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return Narrow(text);
  };
  EXPECT_EQ(upper(*stored), upper(L"\"" + JiheExe() + L"\""));
  EXPECT_EQ(Button_GetCheck(autostart), BST_CHECKED);

  PostMessageW(autostart, BM_CLICK, 0, 0);
  ExpectMessage(jihe, "开机自动启动已经关闭成功！");
  EXPECT_FALSE(runValue());
  EXPECT_EQ(Button_GetCheck(autostart), BST_UNCHECKED);
}

TEST_F(MainPanelE2e, ExitSavesAndEndsTheProcess) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  SetWindowPos(panel, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Minimised into the tray and ended from there: the place and size are still the panel's own.
  PostMessageW(panel, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); }));
  jihe.PostCommand(static_cast<UINT>(app::Command::ExitSoftware));
  DWORD code = 1;
  ASSERT_TRUE(jihe.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(LineCount(data_.Utf8(L"数据\\短语\\分组1.txt")), 6);
  IniFile config = IniFile::Load(data_.Utf8(L"config.ini"));
  EXPECT_EQ(config.GetInt("大小", "左边"), 33);
  EXPECT_EQ(config.GetInt("大小", "顶边"), 44);
  EXPECT_EQ(config.GetInt("大小", "宽度"), 279);
  EXPECT_EQ(config.GetInt("大小", "高度"), 463);
}

TEST_F(MainPanelE2e, SecondStartShowsTheRunningPanelAndLeaves) {
  Jihe first(data_.path());
  HWND panel = first.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  PostMessageW(panel, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); }));

  Jihe second(data_.path());
  DWORD code = 1;
  ASSERT_TRUE(second.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(panel) != FALSE; }));
  EXPECT_EQ(WaitForSingleObject(first.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
}  // namespace jihe::e2e
