// jihe.exe on a desk of two monitors (./dev test runs this suite on a display of its own: a
// primary 1024 x 768 and a second 1280 x 1024 on its right). A chat window on the second monitor
// stays where the agent put it, maximised or not, and the panel docks whole beside or on it; the
// Settings window, its messages, the web chat window, the editors and the Reminder popup open on
// the panel's monitor.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/commands.h"
#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "schedule/reminder_popup_win32.h"
#include "storage/ini_file.h"
#include "webchat/web_chat_window_win32.h"

namespace jihe::e2e {
namespace {

std::vector<MONITORINFO> Monitors() {
  std::vector<MONITORINFO> monitors;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM param) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) reinterpret_cast<std::vector<MONITORINFO>*>(param)->push_back(info);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// Whether `upper` lies above `lower` in the Z-order.
bool Above(HWND upper, HWND lower) {
  for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == lower) return true;
  }
  return false;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

class TwoMonitorsE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tests place windows for one layout: a primary 1024 x 768 at the origin and a second
    // 1280 x 1024 right of it. ./dev test builds that display and says so, and there any other
    // layout is a failure; elsewhere the suite has nothing to look at.
    RECT primary{}, second{};
    for (const MONITORINFO& m : Monitors()) {
      if (m.dwFlags & MONITORINFOF_PRIMARY) {
        primary = m.rcMonitor;
      } else {
        second_ = m;
        second = m.rcMonitor;
      }
    }
    const RECT wantPrimary{0, 0, 1024, 768}, wantSecond{1024, 0, 2304, 1024};
    const auto same = [](const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; };
    if (Monitors().size() == 2 && same(primary, wantPrimary) && same(second, wantSecond)) return;
    const std::string problem = "needs a primary monitor at " + Describe(wantPrimary) + " and a second at " +
                                Describe(wantSecond) + "; this desktop has " +
                                std::to_string(Monitors().size()) + " monitor(s), primary " + Describe(primary) +
                                ", second " + Describe(second);
    char asked[8] = {};
    if (GetEnvironmentVariableA("JIHE_TWO_MONITORS", asked, sizeof asked) == 0) GTEST_SKIP() << problem;
    FAIL() << problem;
  }
  TempFolder data_;
  MONITORINFO second_{};
};

TEST_F(TwoMonitorsE2e, ChatWindowOnTheSecondMonitorStaysWithThePanelBesideIt) {
  ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"智能隐藏", false}}));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  const int x = second_.rcMonitor.left + 200;
  FakeChat qq(data_, "TXGuiFoundation", "客户甲", {x, 100, 600, 700});
  ASSERT_NE(qq.hwnd(), nullptr);
  const RECT placed = qq.rect();
  ASSERT_EQ(placed.left, x);
  ASSERT_TRUE(qq.Raise());
  const auto docked = [&] {
    const RECT p = RectOf(panel), chat = qq.rect();
    return IsWindowVisible(panel) && p.left == chat.right - 5 && p.top == chat.top + 8;
  };
  EXPECT_TRUE(WaitFor(docked)) << "panel at " << Describe(RectOf(panel)) << ", chat at " << Describe(qq.rect());
  EXPECT_TRUE(HoldsFor([&] { return qq.rect().left == placed.left && qq.rect().top == placed.top && docked(); }, 1500))
      << "chat at " << Describe(qq.rect());
  EXPECT_TRUE(Inside(RectOf(panel), second_.rcWork)) << Describe(RectOf(panel));

  // The Settings window opens on the panel's monitor, and so does a message of it.
  HWND settings = OpenSettings(jihe);
  ASSERT_NE(settings, nullptr);
  EXPECT_TRUE(Inside(RectOf(settings), second_.rcMonitor)) << "settings at " << Describe(RectOf(settings));
  PostMessageW(ChildByCaption(settings, "单击列表进行发送"), BM_CLICK, 0, 0);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = jihe.MessageBoxWindow()) != nullptr; }));
  EXPECT_TRUE(Inside(RectOf(box), second_.rcMonitor)) << "message at " << Describe(RectOf(box));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return jihe.MessageBoxWindow() == nullptr; }));
  // So does the web chat window.
  PostControlCommand(ChildByCaption(settings, "需点此登录58"), STN_CLICKED);
  HWND web = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (web = TopLevelOf(jihe, webchat::kWebChatWindowClass)) && IsWindowVisible(web); }));
  EXPECT_TRUE(Inside(RectOf(web), second_.rcWork)) << "web chat at " << Describe(RectOf(web));
  PostMessageW(web, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(web); }));
  ASSERT_TRUE(CloseSettings(jihe));

  // A second monitor of 144 DPI: Windows tells the panel of the new DPI with a rectangle half as
  // large again (Wine gives every monitor one DPI, so the message is sent as Windows would send
  // it). The panel keeps its layout at the new scale and docks again at its new size.
  HWND list = nullptr;
  for (HWND h : Children(panel))
    if (ClassOf(h) == WC_LISTVIEWW && IsWindowVisible(h) && (GetWindowLongPtrW(h, GWL_STYLE) & LVS_NOCOLUMNHEADER)) list = h;
  ASSERT_NE(list, nullptr);
  // The list's place in the panel's client area: its width left over, its top.
  const auto place = [&] {
    RECT client{}, r = RectOf(list);
    GetClientRect(panel, &client);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
    return POINT{client.right - (r.right - r.left), r.top};
  };
  const RECT before = RectOf(panel);
  const POINT listBefore = place();
  const RECT suggested{before.left, before.top, before.left + (before.right - before.left) * 3 / 2,
                       before.top + (before.bottom - before.top) * 3 / 2};
  RemoteMemory rect(jihe.process(), sizeof suggested);
  ASSERT_TRUE(rect.ok() && rect.Write(&suggested, sizeof suggested));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(panel, WM_DPICHANGED, MAKEWPARAM(144, 144), rect.lparam(), SMTO_ABORTIFHUNG, 5000, &ignored);
  const RECT after = RectOf(panel);
  EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
  EXPECT_EQ(after.bottom - after.top, suggested.bottom - suggested.top);
  // The list leaves as much of the client area beside it at the new scale, and lies below the tab
  // headers (whose height follows the font, not the scale alone).
  const POINT listAfter = place();
  EXPECT_NEAR(listAfter.x, MulDiv(listBefore.x, 144, 96), 2);
  EXPECT_GT(listAfter.y, listBefore.y);
  EXPECT_TRUE(WaitFor(docked)) << "panel at " << Describe(RectOf(panel)) << ", chat at " << Describe(qq.rect());
  EXPECT_TRUE(Inside(RectOf(panel), second_.rcWork)) << Describe(RectOf(panel));
}

TEST_F(TwoMonitorsE2e, MaximisedChatWindowStaysMaximisedWithThePanelOnScreen) {
  ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"智能隐藏", false}}));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  FakeChat qq(data_, "TXGuiFoundation", "客户甲", {second_.rcMonitor.left + 100, 80, 600, 700});
  ASSERT_NE(qq.hwnd(), nullptr);
  PostMessageW(qq.hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return IsZoomed(qq.hwnd()) && qq.rect().right - qq.rect().left > 1000; }))
      << "chat at " << Describe(qq.rect());
  const RECT maximised = qq.rect();
  ASSERT_TRUE(qq.Raise());
  // On the chat window's monitor, whole, inside its right edge.
  const auto docked = [&] {
    const RECT p = RectOf(panel);
    return IsWindowVisible(panel) && Inside(p, second_.rcWork) && p.right == second_.rcWork.right &&
           Above(panel, qq.hwnd());
  };
  EXPECT_TRUE(WaitFor(docked)) << "panel at " << Describe(RectOf(panel)) << ", chat at " << Describe(qq.rect());
  EXPECT_TRUE(HoldsFor(
      [&] {
        const RECT r = qq.rect();
        return IsZoomed(qq.hwnd()) && r.left == maximised.left && r.top == maximised.top && r.right == maximised.right &&
               docked();
      },
      1500))
      << "chat at " << Describe(qq.rect()) << (IsZoomed(qq.hwnd()) ? "" : ", restored");

  // The phrase editor opens over the panel, whole on its monitor although the panel is at its edge.
  jihe.PostCommand(static_cast<UINT>(app::Command::AddPhrase));
  HWND editor = jihe.WaitForWindowTitled("添加短语");
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(Inside(RectOf(editor), second_.rcWork)) << "editor at " << Describe(RectOf(editor));
  PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));
}

TEST_F(TwoMonitorsE2e, PanelStoredOnTheSecondMonitorOpensTheReminderThere) {
  storage::IniFile config;
  config.Set("大小", "高度", "463");
  config.Set("大小", "宽度", "279");
  config.Set("大小", "左边", std::to_string(second_.rcMonitor.left + 500));
  config.Set("大小", "顶边", "100");
  ASSERT_TRUE(platform::CreateDirectories(data_.Utf8()));
  ASSERT_TRUE(config.Save(data_.Utf8(L"config.ini")));
  // The program's hidden switch that opens a Reminder popup at start, as a due reminder does.
  Jihe jihe(data_.path(), L"--shot-page 12");
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(RectOf(panel).left, second_.rcMonitor.left + 500);
  HWND popup = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (popup = TopLevelOf(jihe, schedule::kReminderPopupClass)) && IsWindowVisible(popup); }));
  const RECT r = RectOf(popup), m = second_.rcMonitor;
  // Centred on the monitor (the shake moves it by a few pixels).
  EXPECT_NEAR((r.left + r.right) / 2, (m.left + m.right) / 2, 12) << "popup at " << Describe(r);
  EXPECT_NEAR((r.top + r.bottom) / 2, (m.top + m.bottom) / 2, 12) << "popup at " << Describe(r);
}

}  // namespace
}  // namespace jihe::e2e
