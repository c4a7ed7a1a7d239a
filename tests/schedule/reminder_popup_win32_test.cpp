// The Reminder popup on a real ScheduleLoop worker thread: it opens with its text, rings, shakes
// in the designed steps, and a click on the text silences it and ends the shake.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "fakes/fake_clock.h"
#include "fakes/fake_shell.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "platform/worker_signal_win32.h"
#include "schedule/alert_sounds.h"
#include "schedule/reminder_popup_win32.h"
#include "schedule/schedule_loop.h"
#include "schedule/schedule_win32.h"

namespace jihe::schedule {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What the popup's voice was asked to do, as "play loop <bytes>", "play once <bytes>", "stop".
struct SoundLog {
  std::mutex mutex;
  std::vector<std::string> events;
  void Add(std::string e) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(e));
  }
  std::vector<std::string> Get() {
    std::lock_guard lock(mutex);
    return events;
  }
};

struct LoggingPlayer final : platform::SoundPlayer {
  explicit LoggingPlayer(SoundLog& log) : log(log) {}
  bool Play(std::string bytes, bool loop) override {
    log.Add(std::string(loop ? "play loop " : "play once ") + std::to_string(bytes.size()));
    return true;
  }
  void Stop() override { log.Add("stop"); }
  SoundLog& log;
};

struct NoHost final : ScheduleHost {
  void CloseMainPanel() override {}
  void RowRan(size_t) override {}
};

struct Sample {
  Clock::duration at;
  POINT pos;
};

class ReminderPopupTest : public ::testing::Test {
 protected:
  ReminderPopupTest() : clock_({2024, 5, 8, 9, 5, 0, 0}), rows_(schedule_) {
    parts_.schedule = &rows_;
    parts_.host = &host_;
    parts_.clock = &clock_;
    parts_.shell = &shell_;
    parts_.newSignal = [] { return platform::NewPumpingWorkerSignal(); };
    parts_.newDisplay = [this] {
      return NewReminderPopupDisplay([this] { return std::make_unique<LoggingPlayer>(sound_); });
    };
  }

  // Starts the worker with one reminder due now and waits for its popup.
  HWND OpenPopup(const std::string& content, bool shake, const std::string& music = "") {
    rows_.Append(TimedItem{"09:05", kTypeReminder, "", content});
    rows_.SetReminderOptions({music, shake});
    loop_ = std::make_unique<ScheduleLoop>(parts_);
    loop_->Start();
    const auto deadline = Clock::now() + 10s;
    HWND popup = nullptr;
    // Shown last, when its opening has run.
    while (!((popup = FindWindowW(kReminderPopupClass, L"定时提醒")) && IsWindowVisible(popup)) &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(2ms);
    opened_ = Clock::now();
    return popup;
  }

  static POINT PositionOf(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return {r.left, r.top};
  }
  static std::vector<Sample> SampleFor(HWND w, Clock::duration length, Clock::time_point from) {
    std::vector<Sample> samples;
    const auto end = Clock::now() + length;
    while (Clock::now() < end) {
      samples.push_back({Clock::now() - from, PositionOf(w)});
      std::this_thread::sleep_for(4ms);
    }
    return samples;
  }
  static HWND TextBoxOf(HWND popup) { return FindWindowExW(popup, nullptr, L"Edit", nullptr); }

  // A left click in the middle of the text, through the input queue as the mouse gives it.
  static void ClickText(HWND popup) {
    RECT r{};
    GetWindowRect(TextBoxOf(popup), &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    const int w = GetSystemMetrics(SM_CXSCREEN) - 1, h = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT in[3]{};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = x * 65535 / w;
    in[0].mi.dy = y * 65535 / h;
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (SendInput(3, in, sizeof(INPUT)) != 3) {
      PostMessageW(TextBoxOf(popup), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
      PostMessageW(TextBoxOf(popup), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    }
  }

  bool WaitForSound(const std::string& last, Clock::duration limit = 3s) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      const auto events = sound_.Get();
      if (!events.empty() && events.back() == last) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  void TearDown() override {
    if (loop_) loop_->Stop();
    EXPECT_EQ(FindWindowW(kReminderPopupClass, nullptr), nullptr);  // the worker took its popup along
  }

  Schedule schedule_;
  testing::FakeClock clock_;
  NoHost host_;
  testing::FakeShell shell_;
  SharedSchedule rows_;
  ScheduleLoopParts parts_;
  SoundLog sound_;
  std::unique_ptr<ScheduleLoop> loop_;
  Clock::time_point opened_;
};

TEST_F(ReminderPopupTest, OpensCentredOnTopWithItsTextAndRings) {
  HWND popup = OpenPopup("该给客户回电话了\r\n第二行", false);
  ASSERT_TRUE(popup);
  wchar_t text[256] = L"";
  GetWindowTextW(TextBoxOf(popup), text, 256);
  EXPECT_EQ(platform::Narrow(text), "该给客户回电话了\r\n第二行");
  RECT r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.right - r.left, 351);
  EXPECT_EQ(r.bottom - r.top, 202);
  EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - 351) / 2, 1);
  EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - 202) / 2, 1);
  const LONG_PTR ex = GetWindowLongPtrW(popup, GWL_EXSTYLE), style = GetWindowLongPtrW(popup, GWL_STYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(GetWindow(popup, GW_OWNER), nullptr);
  EXPECT_EQ(rows_.ResultOf(0), "8日09:05已执行");
  // An empty sound box rings the built-in popup sound, over and over.
  EXPECT_TRUE(WaitForSound("play loop " + std::to_string(BuiltInPopupSound().size())));

  // Without the shake box the popup never moves; a click on the text silences it.
  const POINT origin = PositionOf(popup);
  for (const Sample& s : SampleFor(popup, 1200ms, opened_)) {
    ASSERT_EQ(s.pos.x, origin.x);
    ASSERT_EQ(s.pos.y, origin.y);
  }
  ClickText(popup);
  EXPECT_TRUE(WaitForSound("stop"));
  EXPECT_TRUE(IsWindow(popup));  // it stays open until the agent closes it
}

TEST_F(ReminderPopupTest, ShakesInStepsUntilTheTextIsClicked) {
  HWND popup = OpenPopup("开会", true, "默认声音");
  ASSERT_TRUE(popup);
  const POINT origin = PositionOf(popup);
  const std::vector<Sample> samples = SampleFor(popup, 2600ms, opened_);

  const std::set<std::pair<int, int>> allowed{{0, 0}, {0, -3}, {-3, 0}, {0, 3}, {3, 0}};
  std::set<std::pair<int, int>> seen;
  Clock::duration firstMove{};
  for (const Sample& s : samples) {
    const std::pair<int, int> offset{s.pos.x - origin.x, s.pos.y - origin.y};
    ASSERT_TRUE(allowed.count(offset)) << offset.first << "," << offset.second;
    if (offset != std::pair{0, 0} && firstMove == Clock::duration{}) firstMove = s.at;
    seen.insert(offset);
  }
  EXPECT_EQ(seen, allowed);
  // The shake begins about 800 ms after the popup opened.
  EXPECT_GT(firstMove, 650ms);
  EXPECT_LT(firstMove, 1500ms);
  // Between rounds it rests at its place: the middle of the first rest, about 1.9 s after opening.
  for (const Sample& s : samples)
    if (s.at > firstMove + 700ms && s.at < firstMove + 1300ms) {
      ASSERT_EQ(s.pos.x, origin.x);
      ASSERT_EQ(s.pos.y, origin.y);
    }
  EXPECT_TRUE(WaitForSound("play loop " + std::to_string(DefaultAlertSound().size())));

  // A click silences it at once; the running round ends (at most 1.44 s) and it stands still.
  ClickText(popup);
  EXPECT_TRUE(WaitForSound("stop"));
  const auto clicked = Clock::now();
  std::this_thread::sleep_for(1600ms);
  for (const Sample& s : SampleFor(popup, 1600ms, clicked)) {
    ASSERT_EQ(s.pos.x, origin.x);
    ASSERT_EQ(s.pos.y, origin.y);
  }
  // A second click does nothing more.
  const size_t soundEvents = sound_.Get().size();
  ClickText(popup);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(sound_.Get().size(), soundEvents);
}

TEST_F(ReminderPopupTest, ClosingThePopupStopsSoundAndShakeAndTheWorkerGoesOn) {
  HWND popup = OpenPopup("", true, "D:\\没有这个文件.wav");
  ASSERT_TRUE(popup);
  std::this_thread::sleep_for(1000ms);  // shaking now
  // A missing sound file gives silence: nothing was played.
  for (const std::string& e : sound_.Get()) EXPECT_EQ(e.rfind("play", 0), std::string::npos) << e;
  PostMessageW(popup, WM_SYSCOMMAND, SC_CLOSE, 0);
  const auto deadline = Clock::now() + 3s;
  while (IsWindow(popup) && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_TRUE(loop_->running());
}

// A shutdown row on the Windows worker: the command line goes to the (replaced) shell, and about a
// second later the UI thread receives the request to close the Main panel, by a posted message.
TEST(ScheduleShutdownWin32Test, StartsTheCommandAndPostsTheCloseASecondLater) {
  const UINT kCloseMessage = WM_APP + 7, kRowRanMessage = WM_APP + 8;
  HWND target = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(target);
  PostingScheduleHost host(target, kCloseMessage, kRowRanMessage);
  Schedule schedule;
  SharedSchedule rows(schedule);
  rows.Append(TimedItem{"09:05", kTypeShutdown, "", ""});
  testing::FakeClock clock({2024, 5, 8, 9, 5, 0, 0});
  testing::FakeShell shell;
  ScheduleLoopParts parts{&rows, &host, &clock, &shell, [] { return platform::NewPumpingWorkerSignal(); },
                          [] { return NewReminderPopupDisplay(); },
                          platform::SystemDirectory()};
  ScheduleLoop loop(parts);
  const auto started = Clock::now();
  loop.Start();
  MSG msg{};
  bool closed = false;
  WPARAM rowRan = 99;
  Clock::duration closedAfter{};
  while (!closed && Clock::now() < started + 10s) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kRowRanMessage) rowRan = msg.wParam;
      if (msg.message == kCloseMessage) {
        closed = true;
        closedAfter = Clock::now() - started;
      }
    }
    std::this_thread::sleep_for(5ms);
  }
  loop.Stop();
  DestroyWindow(target);
  EXPECT_TRUE(closed);
  EXPECT_EQ(rowRan, 0u);  // the panel redraws the row's result
  EXPECT_EQ(shell.started(), std::vector<std::string>{"\"" + platform::SystemDirectory() + "\\shutdown.exe\" -s -f -t 60"});
  EXPECT_EQ(rows.ResultOf(0), "8日09:05已执行");
  EXPECT_GE(closedAfter, 950ms);
  EXPECT_LT(closedAfter, 3000ms);
}

}  // namespace
}  // namespace jihe::schedule
