// jihe.exe beside chat windows of other programs (fake_chat windows of each followed class): the
// panel docks to the one in front on either side, hides behind other large windows when smart hide
// is on, brings off-screen chat windows back, and stops following while work is paused.
#include <windows.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "e2e/jihe_driver.h"

namespace jihe::e2e {
namespace {

std::string Describe(HWND panel, const RECT& chat) {
  const RECT p = RectOf(panel);
  return "panel at (" + std::to_string(p.left) + ", " + std::to_string(p.top) + ")" +
         (IsWindowVisible(panel) ? "" : " hidden") + ", chat window at (" + std::to_string(chat.left) + ", " +
         std::to_string(chat.top) + ")-(" + std::to_string(chat.right) + ", " + std::to_string(chat.bottom) + ")";
}

// Docked: visible, always on top, 8 pixels below the chat window's top, and either overlapping its
// right edge by 5 pixels or touching its left edge from outside. (A panel called up from the tray
// is brought forward without its always-on-top state, and docking leaves a visible panel's state
// alone: `topmost` false skips that part.)
bool DockedRight(HWND panel, const RECT& chat, bool topmost = true) {
  const RECT p = RectOf(panel);
  return IsWindowVisible(panel) && (!topmost || IsTopmostWindow(panel)) && p.left == chat.right - 5 &&
         p.top == chat.top + 8;
}
bool DockedLeft(HWND panel, const RECT& chat) {
  const RECT p = RectOf(panel);
  return IsWindowVisible(panel) && IsTopmostWindow(panel) && p.right == chat.left && p.top == chat.top + 8;
}

struct ChatKind {
  const char* program;
  const char* className;
  const char* title;
};
constexpr ChatKind kChatKinds[] = {
    {"QQ", "TXGuiFoundation", "客户甲"},
    {"WeChat chat", "ChatWnd", "客户乙"},
    {"WeChat main", "WeChatMainWndForPC", "微信"},
    {"Aliwangwang", "StandardFrame", "阿里旺旺 - 客户丙"},
    {"Qianniu", "StandardFrame", "千牛接待中心 - 店铺"},
    {"Momo", "Chrome_WidgetWin_1", "陌陌"},
};

class FollowE2e : public ::testing::Test {
 protected:
  TempFolder data_;
};

TEST_F(FollowE2e, DocksBesideEachKindOfChatWindowOnBothSides) {
  ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"跟随微信", true}, {"跟随旺旺", true}, {"跟随陌陌", true}}));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);

  std::vector<std::unique_ptr<FakeChat>> chats;
  for (size_t i = 0; i < std::size(kChatKinds); ++i) {
    const int offset = static_cast<int>(i);
    chats.push_back(std::make_unique<FakeChat>(data_, kChatKinds[i].className, kChatKinds[i].title,
                                               FakeChat::Place{300 + 12 * offset, 30 + 6 * offset, 560, 600}));
    ASSERT_NE(chats.back()->hwnd(), nullptr) << kChatKinds[i].program;
  }

  for (const bool right : {true, false}) {
    if (!right) {
      HWND settings = OpenSettings(jihe);
      ASSERT_NE(settings, nullptr);
      HWND left = ChildByCaption(settings, "跟随到聊天窗口左边");
      ASSERT_NE(left, nullptr);
      PostMessageW(left, BM_CLICK, 0, 0);
      ASSERT_TRUE(WaitFor([&] { return Button_GetCheck(left) == BST_CHECKED; }));
      ASSERT_TRUE(CloseSettings(jihe));
    }
    for (size_t i = 0; i < chats.size(); ++i) {
      SCOPED_TRACE(std::string(kChatKinds[i].program) + (right ? ", right" : ", left"));
      ASSERT_TRUE(chats[i]->Raise());
      const RECT chat = chats[i]->rect();
      EXPECT_TRUE(WaitFor([&] {
        // A window started a moment ago may still take the front when its activation arrives late.
        if (!chats[i]->IsFrontmost()) chats[i]->Raise();
        return right ? DockedRight(panel, chat) : DockedLeft(panel, chat);
      })) << Describe(panel, chat);
    }
  }
}

TEST_F(FollowE2e, SmartHideOffScreenWindowsAndPause) {
  ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"跟随微信", false}, {"跟随旺旺", false}, {"智能隐藏", true}}));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);

  FakeChat qq(data_, "TXGuiFoundation", "客户甲", {300, 40, 560, 600});
  ASSERT_NE(qq.hwnd(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect()); })) << Describe(panel, qq.rect());

  // A large window of another program in front hides the panel, unless the user has just called
  // it up from the tray: then it stays until it has docked once.
  FakeChat other(data_, "Notepad", "无标题 - 记事本", {150, 60, 600, 600});
  ASSERT_TRUE(other.Raise());
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); })) << "smart hide";
  PostMessageW(panel, app::kTrayNotifyMessage, app::kTrayIconId, WM_LBUTTONDOWN);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(panel) != FALSE; }));
  EXPECT_TRUE(HoldsFor([&] { return IsWindowVisible(panel) != FALSE; }, 1500)) << "hidden again at once";
  ASSERT_TRUE(qq.Raise());
  ASSERT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect(), false); })) << Describe(panel, qq.rect());
  // Having docked, it hides again; the next match shows it again, always on top.
  ASSERT_TRUE(other.Raise());
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); })) << "smart hide after docking";
  ASSERT_TRUE(qq.Raise());
  ASSERT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect()); })) << Describe(panel, qq.rect());

  {
    // A WeChat chat window is followed even with 跟随微信 off.
    FakeChat wechat(data_, "ChatWnd", "客户乙", {330, 70, 560, 600});
    ASSERT_TRUE(wechat.Raise());
    EXPECT_TRUE(WaitFor([&] { return DockedRight(panel, wechat.rect()); })) << Describe(panel, wechat.rect());
  }

  // Smart hide off: the panel follows the chat window even below another program's window.
  HWND settings = OpenSettings(jihe);
  ASSERT_NE(settings, nullptr);
  HWND smartHide = ChildByCaption(settings, "当打开非跟随的窗口时,隐藏本软件");
  ASSERT_NE(smartHide, nullptr);
  ASSERT_EQ(Button_GetCheck(smartHide), BST_CHECKED);
  PostControlCommand(smartHide, BN_CLICKED);
  ASSERT_TRUE(WaitFor([&] { return Button_GetCheck(smartHide) == BST_UNCHECKED; }));
  ASSERT_TRUE(CloseSettings(jihe));
  ASSERT_TRUE(other.Raise());
  qq.MoveTo(320, 50);
  EXPECT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect()); })) << Describe(panel, qq.rect());

  // A chat window that meets no monitor is brought to (50, 50) and then docked.
  qq.MoveTo(-2000, 60);
  EXPECT_TRUE(WaitFor([&] {
    const RECT chat = qq.rect();
    return chat.left == 50 && chat.top == 50 && DockedRight(panel, chat);
  })) << Describe(panel, qq.rect());
  {
    // One whose frame overhangs the screen's top-left corner is on screen: it stays put.
    FakeChat overhanging(data_, "TXGuiFoundation", "客户丁", {-4, -4, 600, 700});
    ASSERT_NE(overhanging.hwnd(), nullptr);
    ASSERT_TRUE(overhanging.Raise());
    EXPECT_TRUE(WaitFor([&] { return DockedRight(panel, overhanging.rect()); })) << Describe(panel, overhanging.rect());
    EXPECT_EQ(overhanging.rect().left, -4);
    EXPECT_EQ(overhanging.rect().top, -4);
  }
  {
    // A maximised chat window stays maximised where it is; the panel lies whole on the screen,
    // inside its right edge.
    FakeChat maximized(data_, "TXGuiFoundation", "客户戊", {100, 80, 600, 700, true});
    ASSERT_NE(maximized.hwnd(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(maximized.hwnd()) != FALSE; }));
    const RECT zoomed = maximized.rect();
    ASSERT_TRUE(maximized.Raise());
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const auto docked = [&] {
      const RECT p = RectOf(panel);
      return IsWindowVisible(panel) && p.right == work.right && p.left >= work.left && p.top >= work.top &&
             p.bottom <= work.bottom;
    };
    EXPECT_TRUE(WaitFor(docked)) << Describe(panel, maximized.rect());
    EXPECT_TRUE(HoldsFor([&] { return IsZoomed(maximized.hwnd()) && RectOf(maximized.hwnd()).left == zoomed.left && docked(); }, 1000))
        << Describe(panel, maximized.rect());
  }

  // Paused, the panel hides and follows nothing; resumed, it docks again.
  ASSERT_TRUE(qq.Raise());
  ASSERT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect()); })) << Describe(panel, qq.rect());
  jihe.ClickMenu("暂停工作");
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel) && !IsTopmostWindow(panel); }));
  const RECT pausedAt = RectOf(panel);
  qq.MoveTo(200, 30);
  EXPECT_TRUE(HoldsFor(
      [&] { return !IsWindowVisible(panel) && RectOf(panel).left == pausedAt.left && RectOf(panel).top == pausedAt.top; },
      1500))
      << "followed while paused: " << Describe(panel, qq.rect());
  jihe.ClickMenu("恢复工作");
  EXPECT_TRUE(WaitFor([&] { return DockedRight(panel, qq.rect()); })) << Describe(panel, qq.rect());
}

}  // namespace
}  // namespace jihe::e2e
