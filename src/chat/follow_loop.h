#pragma once
// The follow loop: a worker that walks the visible top-level windows several times a second, finds
// the chat window in front and docks the Main panel beside it. With smart hide on, a large window
// of another program in front hides the panel instead.
//
// The loop reaches the desktop only through platform::Desktop and waits through platform::Waiter,
// so one pass runs in a test against an in-memory desktop.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/desktop.h"
#include "platform/wait.h"
#include "settings/options.h"

namespace jihe::chat {

inline constexpr std::string_view kPanelTitle = "霁禾客服助手";
inline constexpr int kFollowPauseMs = 300;

// Shared between the loop, the panel and the send engine, each a single word.
struct FollowState {
  // The last docked chat window; never cleared, so it may name a window that has closed.
  std::atomic<platform::WindowId> currentChatWindow{0};
  // Set by the panel when the user shows it; cleared by every docking. Smart hide waits for it to
  // be clear, so a panel the user just called up stays until it has docked once.
  std::atomic<bool> userShownFlag{false};
};

// True when the window is maximised, minimised or its rectangle meets the work area of some monitor. Otherwise
// false, after moving the window to (50, 50) on the primary monitor at its size when `move` is set;
// it counts from the next look on. A maximised or minimised window is never moved.
bool EnsureWindowOnScreen(platform::Desktop& desktop, platform::WindowId window, bool move);

enum class Recognition {
  NoRule,    // no rule's condition holds: the window belongs to no followed program
  Rejected,  // a rule's condition holds but one of its further tests failed
  Match,
};

// The recognition rules for a candidate with this text, class and rectangle. The further tests run
// in order and stop at the first failure; the on-screen test among them may move the window.
Recognition RecogniseChatWindow(platform::Desktop& desktop, const settings::Options& options,
                                platform::WindowId window, std::string_view text,
                                std::string_view className, const platform::Rect& rect);

// Where a panel of `panel` size goes beside a chat window with rectangle `chat`, whole inside `work`
// (the work area of the chat window's monitor). On the chosen side when it fits there: right of the
// chat window overlapping its edge by 5 pixels, or touching its left edge from outside. Otherwise on
// the other side, and when neither fits (a maximised chat window) inside the chosen edge. The top is
// 8 pixels below the chat window's, moved up or down only as far as the panel needs to stay whole.
platform::Point DockPosition(const platform::Rect& chat, platform::Size panel, bool right,
                             const platform::Rect& work);

// Places the panel beside a chat window with rectangle `chat` (DockPosition on the chat window's
// monitor, with 跟随到右边 choosing the side). A panel off screen or hidden is first brought back,
// always on top. A panel larger than that work area is shrunk to it.
void DockPanel(platform::Desktop& desktop, const settings::Options& options, platform::WindowId panel,
               const platform::Rect& chat);

struct FollowPassResult {
  enum class Outcome { Docked, Hidden, NoMatch, Stopped };
  Outcome outcome = Outcome::NoMatch;
  platform::WindowId window = 0;  // the docked chat window
};

// One pass over the windows, without the pause that follows it. `stop`, when raised, ends the walk
// between two windows before anything more is changed.
FollowPassResult FollowPass(platform::Desktop& desktop, platform::Waiter& waiter,
                            const settings::Options& options, FollowState& state,
                            platform::WindowId panel, const platform::StopSignal* stop = nullptr);

// Starts and stops the worker. Stopping is cooperative: the worker ends at its next safe point (in
// the pause or between two windows), and StopFollowLoop returns only after it has ended, so no pass
// moves the panel afterwards. No thread is ever killed.
class FollowLoop {
 public:
  using WaiterFactory = std::function<std::unique_ptr<platform::Waiter>()>;

  FollowLoop() = default;
  ~FollowLoop();
  FollowLoop(const FollowLoop&) = delete;
  FollowLoop& operator=(const FollowLoop&) = delete;

  // What the passes need: the desktop, the live options, the panel window, and a way to make a
  // waiter on the worker thread (a waiter services the thread it was made on). Call once, on the
  // panel's thread, before or after the first start; a loop started earlier begins walking now.
  void Attach(platform::Desktop& desktop, const settings::Options& options, platform::WindowId panel,
              WaiterFactory makeWaiter);

  void StartFollowLoop();
  void StopFollowLoop();
  bool running() const { return running_.load(); }

  FollowState& state() { return state_; }
  platform::WindowId CurrentChatWindow() const { return state_.currentChatWindow.load(); }

  // How many passes the worker has finished; lets a test wait for a pass instead of sleeping.
  std::uint64_t passes() const { return passes_.load(); }

 private:
  void StartWorker();
  void Run();

  platform::Desktop* desktop_ = nullptr;
  const settings::Options* options_ = nullptr;
  platform::WindowId panel_ = 0;
  WaiterFactory makeWaiter_;

  FollowState state_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<std::uint64_t> passes_{0};
  std::mutex mutex_;  // guards stopSignal_ between the worker that makes it and Stop
  platform::StopSignal* stopSignal_ = nullptr;
  std::thread worker_;
};

// Starts the loop when one of the run-decision switches is on, stops it otherwise.
void ApplyFollowSwitches(FollowLoop& loop, const settings::Options& options);

}  // namespace jihe::chat
