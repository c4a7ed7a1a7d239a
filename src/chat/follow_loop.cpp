#include "chat/follow_loop.h"

#include <algorithm>
#include <array>

#include "settings/option_rules.h"

namespace jihe::chat {

using platform::Desktop;
using platform::Point;
using platform::Rect;
using platform::WindowId;
using settings::Option;

bool EnsureWindowOnScreen(Desktop& desktop, WindowId window, bool move) {
  // A minimised window sits far off screen until restored, where it was: it is not moved.
  if (desktop.IsMaximized(window) || desktop.IsMinimized(window)) return true;
  // A window whose invisible resizing border alone meets a monitor cannot be seen or reached.
  const Rect rect = desktop.VisibleFrame(window);
  for (const platform::Monitor& monitor : desktop.Monitors()) {
    if (platform::Meets(rect, monitor.workArea)) return true;
  }
  if (move) desktop.MoveWindowTo(window, 50, 50);
  return false;
}

Point DockPosition(const Rect& chat, platform::Size panel, bool right, const Rect& work) {
  const int rightOf = chat.right - 5, leftOf = chat.left - panel.width;
  const auto fits = [&](int left) { return left >= work.left && left + panel.width <= work.right; };
  int left;
  if (fits(right ? rightOf : leftOf)) {
    left = right ? rightOf : leftOf;
  } else if (fits(right ? leftOf : rightOf)) {
    left = right ? leftOf : rightOf;
  } else {
    left = right ? std::min(chat.right, work.right) - panel.width : std::max(chat.left, work.left);
  }
  // A panel larger than the work area keeps its top-left corner inside it.
  left = std::max(work.left, std::min(left, work.right - panel.width));
  const int top = std::max(work.top, std::min(chat.top + 8, work.bottom - panel.height));
  return {left, top};
}

namespace {

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool QQTitlePasses(std::string_view text) {
  static constexpr std::array<std::string_view, 5> kSkipped = {"系统设置", "查找", "验证消息", "QQ", "TXMenuWindow"};
  static constexpr std::array<std::string_view, 3> kSkippedParts = {"照片", "资料", "腾讯"};
  for (std::string_view s : kSkipped) {
    if (text == s) return false;
  }
  for (std::string_view s : kSkippedParts) {
    if (Contains(text, s)) return false;
  }
  return true;
}

Recognition Verdict(bool passed) { return passed ? Recognition::Match : Recognition::Rejected; }

}  // namespace

Recognition RecogniseChatWindow(Desktop& desktop, const settings::Options& options, WindowId window,
                                std::string_view text, std::string_view className, const Rect& rect) {
  if (className == "TXGuiFoundation" && options.Get(Option::跟随QQ)) {
    return Verdict(QQTitlePasses(text) && EnsureWindowOnScreen(desktop, window, true) &&
                   rect.width() - 12 >= 440 && rect.height() - 12 >= 500);
  }
  if (className == "StandardFrame" && options.Get(Option::跟随旺旺)) {
    return Verdict(EnsureWindowOnScreen(desktop, window, true) &&
                   (Contains(text, "阿里旺旺 -") || Contains(text, "接待中心")));
  }
  if (className == "ChatWnd" || (className == "WeChatMainWndForPC" && options.Get(Option::跟随微信))) {
    return Verdict(EnsureWindowOnScreen(desktop, window, true));
  }
  if (className == "Chrome_WidgetWin_1" && options.Get(Option::跟随陌陌)) {
    return Verdict(EnsureWindowOnScreen(desktop, window, true));
  }
  if (text == "58同城" && options.Get(Option::跟随58)) {
    return Verdict(EnsureWindowOnScreen(desktop, window, true));
  }
  return Recognition::NoRule;
}

void DockPanel(Desktop& desktop, const settings::Options& options, WindowId panel, const Rect& chat) {
  if (desktop.IsMinimized(panel) || !EnsureWindowOnScreen(desktop, panel, true)) {
    desktop.SetTopmost(panel);
    desktop.Restore(panel);
  }
  if (!desktop.IsVisible(panel)) {
    desktop.ShowWindow(panel);
    desktop.SetTopmost(panel);
    desktop.Restore(panel);
  }
  const std::optional<platform::Monitor> monitor = desktop.MonitorFromRect(chat, true);
  if (!monitor) return;
  const Rect own = desktop.WindowRect(panel);
  const Rect& work = monitor->workArea;
  // A panel larger than the work area it docks on shrinks to it, so none of it hangs off screen.
  const platform::Size size{std::min(own.width(), work.width()), std::min(own.height(), work.height())};
  const Point at = DockPosition(chat, size, options.Get(Option::跟随到右边), work);
  if (size.width == own.width() && size.height == own.height()) {
    desktop.MoveWindowTo(panel, at.x, at.y);
  } else {
    desktop.PlaceWindow(panel, {at.x, at.y, at.x + size.width, at.y + size.height});
  }
}

FollowPassResult FollowPass(Desktop& desktop, platform::Waiter& waiter, const settings::Options& options,
                            FollowState& state, WindowId panel, const platform::StopSignal* stop) {
  using Outcome = FollowPassResult::Outcome;
  bool first = true;
  for (WindowId window : desktop.VisibleTopLevelWindows()) {
    if (!first) {
      waiter.ProcessPendingMessages();
      if (stop && stop->Requested()) return {Outcome::Stopped, 0};
    }
    first = false;
    const std::string text = desktop.WindowText(window);
    const Rect rect = desktop.WindowRect(window);
    if (text.empty() || text == "开始" || text == kPanelTitle || rect.width() <= 400 || rect.height() <= 500) {
      continue;
    }
    const Recognition verdict = RecogniseChatWindow(desktop, options, window, text, desktop.ClassName(window), rect);
    if (verdict == Recognition::Match) {
      state.userShownFlag = false;
      state.currentChatWindow = window;
      DockPanel(desktop, options, panel, desktop.WindowRect(window));
      return {Outcome::Docked, window};
    }
    if (verdict == Recognition::NoRule && options.Get(Option::智能隐藏)) {
      if (state.userShownFlag) return {Outcome::NoMatch, 0};
      desktop.HideWindow(panel);
      return {Outcome::Hidden, 0};
    }
  }
  return {Outcome::NoMatch, 0};
}

// ---- the worker --------------------------------------------------------------------------

FollowLoop::~FollowLoop() { StopFollowLoop(); }

void FollowLoop::Attach(Desktop& desktop, const settings::Options& options, WindowId panel,
                        WaiterFactory makeWaiter) {
  desktop_ = &desktop;
  options_ = &options;
  panel_ = panel;
  makeWaiter_ = std::move(makeWaiter);
  if (running_ && !worker_.joinable()) StartWorker();
}

void FollowLoop::StartFollowLoop() {
  if (running_) return;
  running_ = true;
  if (desktop_) StartWorker();
}

void FollowLoop::StartWorker() {
  stopRequested_ = false;
  worker_ = std::thread([this] { Run(); });
}

void FollowLoop::StopFollowLoop() {
  if (!running_) return;
  stopRequested_ = true;
  {
    std::lock_guard lock(mutex_);
    if (stopSignal_) stopSignal_->Request();
  }
  if (worker_.joinable()) {
    worker_.join();
    // Window changes the worker asked for without waiting land now, not after the stop.
    desktop_->ApplyChangesAskedByOtherThreads();
  }
  running_ = false;
}

void FollowLoop::Run() {
  std::unique_ptr<platform::Waiter> waiter = makeWaiter_();
  std::unique_ptr<platform::StopSignal> stop = waiter->CreateStopSignal();
  {
    std::lock_guard lock(mutex_);
    stopSignal_ = stop.get();
    if (stopRequested_) stop->Request();
  }
  while (!stop->Requested()) {
    FollowPass(*desktop_, *waiter, *options_, state_, panel_, stop.get());
    ++passes_;
    waiter->ProcessPendingMessages();
    if (!waiter->WaitPumping(kFollowPauseMs, platform::WaitUnit::Milliseconds, stop.get())) break;
  }
  std::lock_guard lock(mutex_);
  stopSignal_ = nullptr;
}

void ApplyFollowSwitches(FollowLoop& loop, const settings::Options& options) {
  if (settings::FollowSwitchesWantLoop(options)) {
    if (!loop.running()) loop.StartFollowLoop();
  } else if (loop.running()) {
    loop.StopFollowLoop();
  }
}

}  // namespace jihe::chat
