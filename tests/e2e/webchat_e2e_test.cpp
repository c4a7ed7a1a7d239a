// The web chat window "58同城" of jihe.exe: opened from the Settings window's link, its window,
// Esc, and the Main panel docking beside it when 跟随58 is on and the follow loop runs.
#include <windows.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include "e2e/jihe_driver.h"
#include "platform/utf16.h"
#include "webchat/web_chat_window_win32.h"

namespace jihe::e2e {
namespace {

HWND OpenWebChatFromSettings(const Jihe& jihe) {
  HWND settings = OpenSettings(jihe);
  if (!settings) return nullptr;
  HWND link = ChildByCaption(settings, "需点此登录58");
  if (!link) return nullptr;
  PostControlCommand(link, STN_CLICKED);
  HWND web = nullptr;
  WaitFor([&] { return (web = TopLevelOf(jihe, webchat::kWebChatWindowClass)) != nullptr && IsWindowVisible(web); });
  return web;
}

bool CentredInWorkArea(HWND hwnd) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT rc = RectOf(hwnd);
  const int x = work.left + (work.right - work.left - (rc.right - rc.left)) / 2;
  const int y = work.top + (work.bottom - work.top - (rc.bottom - rc.top)) / 2;
  return std::abs(rc.left - x) <= 1 && std::abs(rc.top - y) <= 1;
}

class WebChatE2e : public ::testing::Test {
 protected:
  TempFolder data_;
};

TEST_F(WebChatE2e, OpensFromTheSettingsLinkIsFollowedAndClosesWithEsc) {
  // Only 跟随58 of the follow switches: it does not start the follow loop by itself.
  ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", false}, {"跟随微信", false}, {"跟随旺旺", false}, {"跟随58", true}}));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);

  HWND web = OpenWebChatFromSettings(jihe);
  ASSERT_NE(web, nullptr) << "the link opened no web chat window";
  EXPECT_EQ(Text(web), "58同城");
  const RECT rc = RectOf(web);
  EXPECT_EQ(rc.right - rc.left, 962);
  EXPECT_EQ(rc.bottom - rc.top, 630);
  EXPECT_TRUE(CentredInWorkArea(web));
  EXPECT_TRUE(IsTopmostWindow(web));
  EXPECT_EQ(GetWindow(web, GW_OWNER), nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(web, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "a taskbar button";
  const LONG_PTR style = GetWindowLongPtrW(web, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  // Without a web engine (Wine has none) the window says so in place of the page.
  HWND notice = ChildByCaption(web, webchat::kNoWebViewNotice);
  EXPECT_TRUE((notice && IsWindowVisible(notice)) || ChildByClass(web, L"Shell Embedding", true))
      << "neither the page nor the notice";

  ASSERT_TRUE(CloseSettings(jihe));
  const RECT startedAt = RectOf(panel);
  EXPECT_TRUE(HoldsFor([&] { return RectOf(panel).left == startedAt.left && RectOf(panel).top == startedAt.top; },
                       1500))
      << "followed with only 跟随58 on";

  // Resuming work starts the loop whatever the switches say: the panel docks on the right, or,
  // with no room there or on the left, inside the window's right edge.
  jihe.ClickMenu("暂停工作");
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); }));
  jihe.ClickMenu("恢复工作");
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const bool room = RectOf(web).right - 5 + (RectOf(panel).right - RectOf(panel).left) <= work.right;
  EXPECT_TRUE(WaitFor([&] {
    const RECT chat = RectOf(web), p = RectOf(panel);
    return IsWindowVisible(panel) && (room ? p.left == chat.right - 5 : p.right == chat.right) && p.top == chat.top + 8;
  })) << "not docked right of the web chat window";

  // On the left, after the window was moved (with 跟随QQ on, closing the Settings window keeps
  // the loop running).
  HWND settings = OpenSettings(jihe);
  ASSERT_NE(settings, nullptr);
  PostMessageW(ChildByCaption(settings, "跟随到聊天窗口左边"), BM_CLICK, 0, 0);
  PostMessageW(ChildByCaption(settings, "自动跟随到电脑QQ的聊天窗口"), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] {
    return Button_GetCheck(ChildByCaption(settings, "自动跟随到电脑QQ的聊天窗口")) == BST_CHECKED &&
           Button_GetCheck(ChildByCaption(settings, "跟随到聊天窗口左边")) == BST_CHECKED;
  }));
  ASSERT_TRUE(CloseSettings(jihe));
  SetWindowPos(web, nullptr, 400, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(WaitFor([&] {
    const RECT chat = RectOf(web), p = RectOf(panel);
    return IsWindowVisible(panel) && p.right == chat.left && p.top == chat.top + 8;
  })) << "not docked left of the web chat window";

  // Esc closes and destroys it; the link opens a new one, centred again.
  PostMessageW(web, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(web); })) << "Esc";
  EXPECT_EQ(TopLevelOf(jihe, webchat::kWebChatWindowClass), nullptr);
  HWND again = OpenWebChatFromSettings(jihe);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(CentredInWorkArea(again));
  CloseSettings(jihe);
  PostMessageW(again, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(again); }));
}

}  // namespace
}  // namespace jihe::e2e
