// One follow pass against the in-memory desktop: the candidate filter, the recognition rules,
// docking, smart hide and the on-screen test; and the worker's cooperative stop.
#include "chat/follow_loop.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <thread>

#include "fakes/fake_desktop.h"

namespace jihe::chat {
namespace {

using settings::Option;
using testing::EventLog;
using testing::FakeDesktop;
using testing::FakeWaiter;
using testing::FakeWindow;
using Outcome = FollowPassResult::Outcome;
using Strings = std::vector<std::string>;
using platform::Rect;
using platform::WindowId;

class FollowPassTest : public ::testing::Test {
 protected:
  FollowPassTest() {
    for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
    for (Option o : {Option::跟随QQ, Option::跟随微信, Option::跟随旺旺, Option::跟随陌陌, Option::跟随58,
                     Option::跟随到右边}) {
      options.Set(o, true);
    }
    panel = desktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
  }
  FollowPassResult Pass() { return FollowPass(desktop, waiter, options, state, panel); }
  WindowId AddWindow(std::string text, std::string className, int width, int height, int left = 200,
                     int top = 100) {
    return desktop.Add({std::move(text), std::move(className), {left, top, left + width, top + height}});
  }

  EventLog log;
  FakeDesktop desktop{log};
  FakeWaiter waiter{log, false};
  settings::Options options;
  FollowState state;
  WindowId panel = 0;
};

TEST_F(FollowPassTest, RecognitionRulesAndCandidateFilter) {
  struct Case {
    const char* text;
    const char* className;
    int width, height;
    Option off;  // a switch turned off for this case (跟随京东 is never consulted by a rule)
    bool docked;
  } cases[] = {
      {"客户甲", "TXGuiFoundation", 400, 600, Option::跟随京东, false},  // limits are strict
      {"客户甲", "TXGuiFoundation", 600, 500, Option::跟随京东, false},
      {"客户甲", "TXGuiFoundation", 451, 600, Option::跟随京东, false},  // 451 - 12 < 440
      {"客户甲", "TXGuiFoundation", 452, 512, Option::跟随京东, true},
      {"客户甲", "TXGuiFoundation", 452, 511, Option::跟随京东, false},
      {"客户甲", "TXGuiFoundation", 600, 700, Option::跟随QQ, false},
      {"QQ", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"TXMenuWindow", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"系统设置", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"查找", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"验证消息", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"我的照片", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"个人资料卡", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"腾讯新闻", "TXGuiFoundation", 600, 700, Option::跟随京东, false},
      {"查找好友", "TXGuiFoundation", 600, 700, Option::跟随京东, true},  // only the exact title is skipped
      {"买家小王 - 阿里旺旺 - 接待", "StandardFrame", 600, 700, Option::跟随京东, true},
      {"千牛接待中心", "StandardFrame", 600, 700, Option::跟随京东, true},
      {"千牛工作台", "StandardFrame", 600, 700, Option::跟随京东, false},
      {"千牛接待中心", "StandardFrame", 600, 700, Option::跟随旺旺, false},
      {"文件传输助手", "ChatWnd", 600, 700, Option::跟随微信, true},  // whatever the switch
      {"微信", "WeChatMainWndForPC", 600, 700, Option::跟随京东, true},
      {"微信", "WeChatMainWndForPC", 600, 700, Option::跟随微信, false},
      {"任意网页", "Chrome_WidgetWin_1", 600, 700, Option::跟随京东, true},
      {"任意网页", "Chrome_WidgetWin_1", 600, 700, Option::跟随陌陌, false},
      {"58同城", "JiheWebChat", 600, 700, Option::跟随京东, true},
      {"58同城", "JiheWebChat", 600, 700, Option::跟随58, false},
      {"58同城 ", "JiheWebChat", 600, 700, Option::跟随京东, false},
      {"开始", "ChatWnd", 600, 700, Option::跟随京东, false},
      {"", "ChatWnd", 600, 700, Option::跟随京东, false},
      {"霁禾客服助手", "ChatWnd", 600, 700, Option::跟随京东, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.className + " " + std::to_string(c.width) + "x" +
                 std::to_string(c.height));
    EventLog caseLog;
    FakeDesktop caseDesktop{caseLog};
    settings::Options caseOptions(options);
    caseOptions.Set(c.off, false);
    const WindowId casePanel = caseDesktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
    const WindowId chat = caseDesktop.Add({c.text, c.className, {200, 100, 200 + c.width, 100 + c.height}});
    FollowState caseState;
    const FollowPassResult result = FollowPass(caseDesktop, waiter, caseOptions, caseState, casePanel);
    EXPECT_EQ(result.outcome == Outcome::Docked, c.docked);
    EXPECT_EQ(caseState.currentChatWindow.load(), c.docked ? chat : 0u);
  }
}

TEST_F(FollowPassTest, DocksOnEitherSide) {
  const WindowId chat = AddWindow("客户甲", "TXGuiFoundation", 600, 700, 300, 150);
  state.userShownFlag = true;
  EXPECT_EQ(Pass().outcome, Outcome::Docked);
  EXPECT_EQ(log.events(), (Strings{"move #1 895,158"}));  // 5 pixels inside the right edge
  EXPECT_FALSE(state.userShownFlag);
  EXPECT_EQ(state.currentChatWindow, chat);

  log.Clear();
  options.Set(Option::跟随到左边, true);  // its radio partner 跟随到右边 goes off
  Pass();
  EXPECT_EQ(log.events(), (Strings{"move #1 100,158"}));  // touching the left edge from outside
  EXPECT_EQ(desktop.Get(panel).rect, (Rect{100, 158, 300, 758}));
}

TEST_F(FollowPassTest, WalkGoesOnBelowRejectedWindowsAndReadsClassesOfCandidatesOnly) {
  options.Set(Option::智能隐藏, true);
  AddWindow("tip", "tooltips_class32", 300, 200);
  AddWindow("系统设置", "TXGuiFoundation", 600, 700);
  AddWindow("千牛工作台", "StandardFrame", 600, 700);
  const WindowId chat = AddWindow("客户乙", "TXGuiFoundation", 600, 700);
  EXPECT_EQ(Pass().window, chat);
  EXPECT_EQ(desktop.classReads(), 3);  // not the panel, not the small tooltip
}

TEST_F(FollowPassTest, SmartHide) {
  const WindowId other = AddWindow("记事本", "Notepad", 800, 600);
  const WindowId chat = AddWindow("客户甲", "TXGuiFoundation", 600, 700);

  // Off: the followed window below the large foreign window is docked.
  EXPECT_EQ(Pass().window, chat);

  // On: the foreign window in front hides the panel, unless the user has just shown it.
  options.Set(Option::智能隐藏, true);
  state.userShownFlag = true;
  log.Clear();
  EXPECT_EQ(Pass().outcome, Outcome::NoMatch);
  EXPECT_EQ(log.events(), Strings{});
  state.userShownFlag = false;
  EXPECT_EQ(Pass().outcome, Outcome::Hidden);
  EXPECT_EQ(log.events(), (Strings{"hide #1"}));
  EXPECT_EQ(state.currentChatWindow, chat);  // kept

  // The chat window comes to the front: the panel is shown again, always on top, and docked.
  log.Clear();
  desktop.Raise(chat);
  desktop.Raise(panel);  // hidden, so not in the walk anyway
  EXPECT_EQ(Pass().outcome, Outcome::Docked);
  EXPECT_EQ(log.events(), (Strings{"show #1", "topmost #1", "restore #1", "move #1 795,108"}));
  EXPECT_TRUE(desktop.Get(panel).visible);
  (void)other;
}

// Where the panel (279 x 463) docks on a desk of one or two monitors: the primary one 1024 x 768
// with a taskbar of 40 pixels, a second one 1280 x 1024 beside it. A chat window that meets no
// monitor's work area is moved to (50, 50) and docked on the next pass; no other one is moved.
TEST_F(FollowPassTest, DockingOnOneOrTwoMonitors) {
  using platform::Monitor;
  using platform::Point;
  const Monitor primary{{0, 0, 1024, 768}, {0, 0, 1024, 728}, true};
  const auto second = [](Rect area) { return Monitor{area, area, false}; };
  const Rect right{1024, 0, 2304, 1024}, left{-1280, 0, 0, 1024}, above{0, -1024, 1280, 0}, below{0, 768, 1280, 1792};
  const Rect panelRect{300, 200, 579, 663};
  const Monitor laptop{{1280, 0, 2646, 768}, {1280, 0, 2646, 728}, false};
  struct Case {
    const char* what;
    std::vector<Monitor> monitors;
    Rect chat;
    bool maximized;
    bool dockRight;
    Point panel;  // where the panel ends
    Rect panelFrom = {300, 200, 579, 663};
    bool chatMoved = false;
    platform::Size size = {279, 463};  // the panel's size at the end
    int invisibleBorder = 0;
  } cases[] = {
      {"fits on the right", {primary}, {200, 100, 700, 700}, false, true, {695, 108}},
      {"fits on the left", {primary}, {400, 100, 900, 700}, false, false, {121, 108}},
      {"no room on the right: left", {primary}, {500, 50, 1000, 650}, false, true, {221, 58}},
      {"no room on the left: right", {primary}, {100, 50, 600, 650}, false, false, {595, 58}},
      {"wider than the screen: inside its right edge", {primary}, {0, 50, 1100, 700}, false, true, {745, 58}},
      {"too low: moved up to stay whole", {primary}, {200, 400, 700, 1000}, false, true, {695, 265}},
      {"maximised, right", {primary}, {-8, -8, 1032, 736}, true, true, {745, 0}},
      {"maximised, left", {primary}, {-8, -8, 1032, 736}, true, false, {0, 0}},
      {"second monitor on the right", {primary, second(right)}, {1300, 100, 1900, 800}, false, true, {1895, 108}},
      {"second monitor on the right, its edge", {primary, second(right)}, {1700, 100, 2300, 800}, false, true, {1421, 108}},
      {"mostly on the second monitor", {primary, second(right)}, {800, 100, 1400, 800}, false, true, {1395, 108}},
      {"maximised on the second monitor", {primary, second(right)}, {1016, -8, 2312, 1032}, true, true, {2025, 0}},
      {"second monitor on the left", {primary, second(left)}, {-1000, 100, -400, 800}, false, false, {-1279, 108}},
      {"second monitor above", {primary, second(above)}, {100, -900, 700, -200}, false, true, {695, -892}},
      {"second monitor below", {primary, second(below)}, {100, 800, 700, 1500}, false, true, {695, 808}},
      {"its monitor is gone", {primary}, {1300, 100, 1900, 800}, false, true, {645, 58}, panelRect, true},
      {"the panel's monitor is gone", {primary}, {200, 100, 700, 700}, false, true, {695, 108}, {1500, 100, 1779, 563}},
      {"taller than the work area: as tall", {primary}, {200, 100, 700, 700}, false, true, {695, 0}, {300, 0, 579, 768},
       false, {279, 728}},
      {"taller than the laptop's work area", {{{0, 0, 1280, 1024}, {0, 0, 1280, 984}, true}, laptop},
       {1400, 100, 2000, 700}, false, true, {1995, 0}, {1400, 0, 1679, 1000}, false, {279, 728}},
      {"only its invisible border on screen", {primary}, {-593, 100, 7, 800}, false, true, {645, 58}, panelRect, true,
       {279, 463}, 7},
      {"7 drawn pixels on screen", {primary}, {-586, 100, 14, 800}, false, true, {9, 108}, panelRect, false, {279, 463},
       7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EventLog caseLog;
    FakeDesktop caseDesktop{caseLog};
    caseDesktop.monitors = c.monitors;
    settings::Options caseOptions(options);
    caseOptions.Set(c.dockRight ? Option::跟随到右边 : Option::跟随到左边, true);
    const WindowId casePanel = caseDesktop.Add({"霁禾客服助手", "JihePanel", c.panelFrom});
    FakeWindow window{"客户甲", "TXGuiFoundation", c.chat};
    window.maximized = c.maximized;
    window.invisibleBorder = c.invisibleBorder;
    const WindowId chat = caseDesktop.Add(window);
    FollowState caseState;
    FollowPassResult result = FollowPass(caseDesktop, waiter, caseOptions, caseState, casePanel);
    if (c.chatMoved) {
      EXPECT_EQ(result.outcome, Outcome::NoMatch);
      EXPECT_EQ(caseLog.events(), (Strings{"move #2 50,50"}));
      EXPECT_EQ(caseDesktop.Get(chat).rect.width(), c.chat.width());
      result = FollowPass(caseDesktop, waiter, caseOptions, caseState, casePanel);
    } else {
      EXPECT_EQ(caseDesktop.Get(chat).rect, c.chat);
    }
    EXPECT_EQ(result.window, chat);
    EXPECT_EQ(caseDesktop.Get(chat).maximized, c.maximized);
    const Rect panelAt = caseDesktop.Get(casePanel).rect;
    EXPECT_EQ((Point{panelAt.left, panelAt.top}), c.panel) << panelAt.left << "," << panelAt.top;
    EXPECT_EQ(panelAt.width(), c.size.width);
    EXPECT_EQ(panelAt.height(), c.size.height);
  }
}

TEST_F(FollowPassTest, PanelOffEveryMonitorComesBackFirst) {
  desktop.Set(panel, {"霁禾客服助手", "JihePanel", {-2000, 100, -1800, 700}});
  AddWindow("客户甲", "TXGuiFoundation", 600, 700, 100, 100);
  Pass();
  EXPECT_EQ(log.events(), (Strings{"move #1 50,50", "topmost #1", "restore #1", "move #1 695,108"}));
}

TEST_F(FollowPassTest, MinimisedAndVanishedWindowsAreSkipped) {
  const WindowId minimised = AddWindow("客户甲", "TXGuiFoundation", 600, 700);
  FakeWindow w = desktop.Get(minimised);
  w.minimized = true;
  desktop.Set(minimised, w);
  const WindowId gone = AddWindow("客户乙", "TXGuiFoundation", 600, 700);
  desktop.Destroy(gone);
  EXPECT_EQ(Pass().outcome, Outcome::NoMatch);
  EXPECT_EQ(log.events(), Strings{});
}

// ---- the worker -------------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 2000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST_F(FollowPassTest, StopReturnsOnlyWhenNoPassCanMoveThePanel) {
  const WindowId chat = AddWindow("客户甲", "TXGuiFoundation", 600, 700);
  FollowLoop loop;
  loop.StartFollowLoop();  // before the panel exists: nothing walks yet
  EXPECT_TRUE(loop.running());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(loop.passes(), 0u);

  loop.Attach(desktop, options, panel, [this] { return std::make_unique<FakeWaiter>(log, false); });
  ASSERT_TRUE(WaitUntil([&] { return loop.passes() >= 3; }));
  EXPECT_EQ(loop.CurrentChatWindow(), chat);
  const Strings walked = log.events();
  EXPECT_GE(std::count(walked.begin(), walked.end(), "wait 300"), 2) << "the pause between passes";
  for (int round = 0; round < 20; ++round) {  // stop at many different moments of a pass
    loop.StopFollowLoop();
    EXPECT_FALSE(loop.running());
    const size_t events = log.events().size();
    const auto passes = loop.passes();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(log.events().size(), events);
    EXPECT_EQ(loop.passes(), passes);
    loop.StartFollowLoop();
    ASSERT_TRUE(WaitUntil([&] { return loop.passes() > passes; }));
  }
}

TEST_F(FollowPassTest, ApplyFollowSwitchesRunDecision) {
  FollowLoop loop;
  loop.Attach(desktop, options, panel, [this] { return std::make_unique<FakeWaiter>(log, false); });
  struct Case {
    Option only;  // the one switch on
    bool runs;
  } cases[] = {{Option::跟随QQ, true},   {Option::跟随微信, true}, {Option::跟随旺旺, true},
               {Option::跟随陌陌, true}, {Option::跟随京东, true}, {Option::跟随58, false},
               {Option::跟随拼多多, false}};
  for (const Case& c : cases) {
    for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
    options.Set(c.only, true);
    ApplyFollowSwitches(loop, options);
    EXPECT_EQ(loop.running(), c.runs) << settings::InfoOf(c.only).key;
  }
  options.Set(Option::跟随QQ, true);
  ApplyFollowSwitches(loop, options);
  options.Set(Option::跟随QQ, false);
  ApplyFollowSwitches(loop, options);
  EXPECT_FALSE(loop.running());
}

}  // namespace
}  // namespace jihe::chat
