#include "schedule/schedule_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "fakes/fake_clock.h"
#include "fakes/fake_shell.h"

namespace jihe::schedule {
namespace {

using platform::LocalTime;
using testing::FakeClock;
using testing::FakeShell;
using testing::FakeWorkerSignal;

struct RecordingHost final : ScheduleHost {
  explicit RecordingHost(const platform::Clock& clock) : clock(clock) {}
  void CloseMainPanel() override { closedAt.push_back(clock.Now()); }
  void RowRan(size_t row) override { rowsRan.push_back(row); }
  const platform::Clock& clock;
  std::vector<LocalTime> closedAt;
  std::vector<size_t> rowsRan;
};

// Records what the worker does with its popup, in order: "open:<content>" and "close" (only
// when one is open, as the real popup does).
struct RecordingDisplay final : ReminderDisplay {
  void OpenReminder(const std::string& content, const ReminderOptions& options) override {
    std::lock_guard lock(mutex);
    events.push_back("open:" + content);
    lastOptions = options;
    open = true;
    if (onOpen) onOpen();
  }
  void CloseReminder() override {
    std::lock_guard lock(mutex);
    if (open) events.push_back("close");
    open = false;
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mutex);
    return events;
  }
  std::mutex mutex;
  std::vector<std::string> events;
  ReminderOptions lastOptions;
  bool open = false;
  std::function<void()> onOpen;
};

LocalTime At(int day, int hour, int minute, int second = 0) { return LocalTime{2024, 5, day, hour, minute, second, 0}; }
bool Before(const LocalTime& a, const LocalTime& b) {
  return std::tie(a.month, a.day, a.hour, a.minute, a.second, a.millisecond) <
         std::tie(b.month, b.day, b.hour, b.minute, b.second, b.millisecond);
}

class ScheduleLoopTest : public ::testing::Test {
 protected:
  ScheduleLoopTest() : clock_(At(8, 9, 4, 30)), signal_(clock_), host_(clock_), rows_(schedule_) {
    parts_.schedule = &rows_;
    parts_.host = &host_;
    parts_.clock = &clock_;
    parts_.shell = &shell_;
    parts_.systemDirectory = "C:\\Windows\\system32";
  }

  void Add(std::string time, std::string type, std::string content = "") {
    rows_.Append(TimedItem{std::move(time), std::move(type), "", std::move(content)});
  }
  // Runs the worker on this thread until the virtual clock reaches `end`; `everyWait` runs after
  // each of its waits.
  void RunUntil(LocalTime end, std::function<void()> everyWait = nullptr) {
    signal_.onWait = [&, everyWait](std::uint32_t) {
      if (everyWait) everyWait();
      if (!Before(clock_.Now(), end)) signal_.RequestStop();
    };
    RunScheduleLoop(parts_, signal_, display_);
  }
  std::string Result(size_t row) const { return rows_.ResultOf(row); }

  Schedule schedule_;
  FakeClock clock_;
  FakeWorkerSignal signal_;
  RecordingHost host_;
  FakeShell shell_;
  SharedSchedule rows_;
  RecordingDisplay display_;
  ScheduleLoopParts parts_;
};

TEST(ScheduleStampsTest, MinuteAndResultStamps) {
  const struct {
    int day, hour, minute;
    const char* stamp;
    const char* result;
  } cases[] = {
      {8, 9, 5, "09:05", "8日09:05已执行"},
      {21, 18, 30, "18:30", "21日18:30已执行"},
      {1, 0, 0, "00:00", "1日00:00已执行"},
      {31, 23, 59, "23:59", "31日23:59已执行"},
      {10, 10, 10, "10:10", "10日10:10已执行"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MinuteStamp(c.hour, c.minute), c.stamp);
    EXPECT_EQ(ResultStamp(c.day, MinuteStamp(c.hour, c.minute)), c.result);
  }
}

TEST_F(ScheduleLoopTest, OnlyTheTopRowOfAMinuteRunsAndGetsTheResult) {
  Add("09:04", kTypeReminder, "早了");
  Add("09:05", kTypeReminder, "第一");
  Add("09:05", kTypeReminder, "第二");
  RunUntil(At(8, 9, 8));
  // The loop starts inside 09:04, so that minute is checked too.
  EXPECT_EQ(display_.Events(), (std::vector<std::string>{"open:早了", "close", "open:第一", "close"}));
  EXPECT_EQ(Result(0), "8日09:04已执行");
  EXPECT_EQ(Result(1), "8日09:05已执行");
  EXPECT_EQ(Result(2), "");
  EXPECT_EQ(host_.rowsRan, (std::vector<size_t>{0, 1}));
}

TEST_F(ScheduleLoopTest, RowAddedAfterItsMinuteWasCheckedRunsTheNextDay) {
  clock_.Set(At(8, 9, 5, 10));
  Add("12:00", kTypeReminder, "午饭");
  bool added = false;
  RunUntil(At(9, 9, 7), [&] {
    if (!added) Add("09:05", kTypeReminder, "迟到");  // after the check of 8日 09:05
    added = true;
  });
  EXPECT_EQ(display_.Events(), (std::vector<std::string>{"open:午饭", "close", "open:迟到", "close"}));
  EXPECT_EQ(Result(1), "9日09:05已执行");
  EXPECT_EQ(Result(0), "8日12:00已执行");
}

TEST_F(ScheduleLoopTest, UnknownTypeDoesNothingButTakesItsMinute) {
  Add("09:05", "定时开会", "x");
  Add("09:05", kTypeReminder, "被挡住");
  Add("09:05", kTypeShutdown);
  Add("09:06", kTypeReminder, "下一分钟");
  RunUntil(At(8, 9, 7));
  EXPECT_EQ(display_.Events(), (std::vector<std::string>{"open:下一分钟", "close"}));
  EXPECT_EQ(Result(0), "");
  EXPECT_EQ(Result(1), "");
  EXPECT_TRUE(shell_.started().empty());
  EXPECT_TRUE(host_.closedAt.empty());
  EXPECT_EQ(host_.rowsRan, std::vector<size_t>{3});
}

TEST_F(ScheduleLoopTest, ReminderOpensItsContentWithTheBoxesOfTheMomentAndReplacesAnOpenPopup) {
  Add("09:05", kTypeReminder, "喝水");
  Add("09:06", kTypeReminder, "");  // loaded after a restart: no content
  rows_.SetReminderOptions({"D:\\铃.wav", false});
  RunUntil(At(8, 9, 6, 30), [&] {
    // The second reminder falls due while the first popup is still open.
    if (clock_.Now().minute == 6) {
      EXPECT_TRUE(display_.open);
    }
  });
  EXPECT_EQ(display_.Events(), (std::vector<std::string>{"open:喝水", "close", "open:", "close"}));
  EXPECT_EQ(display_.lastOptions, (ReminderOptions{"D:\\铃.wav", false}));
}

TEST(ShutdownCommandLineTest, NamesTheSystemsOwnShutdownByItsFullPath) {
  EXPECT_EQ(ShutdownCommandLine("D:\\Win\\System32\\"), "\"D:\\Win\\System32\\shutdown.exe\" -s -f -t 60");
  EXPECT_EQ(ShutdownCommandLine(""), std::nullopt);  // never a bare "shutdown" found by the search path
}

TEST_F(ScheduleLoopTest, ShutdownStartsTheCommandWaitsASecondAndClosesThePanel) {
  Add("09:05", kTypeShutdown, "请输入定时提醒内容");
  shell_.startSucceeds = false;  // the panel closes whether or not the command started
  RunUntil(At(8, 9, 7));
  EXPECT_EQ(shell_.started(), std::vector<std::string>{"\"C:\\Windows\\system32\\shutdown.exe\" -s -f -t 60"});
  EXPECT_EQ(Result(0), "8日09:05已执行");
  ASSERT_EQ(host_.closedAt.size(), 1u);
  // The check ran 200 ms into 09:05; the panel closes a second later.
  EXPECT_EQ(host_.closedAt[0], (LocalTime{2024, 5, 8, 9, 5, 1, 200}));
  EXPECT_TRUE(display_.Events().empty());
}

TEST_F(ScheduleLoopTest, StopDuringTheShutdownGraceLeavesThePanelOpen) {
  Add("09:05", kTypeShutdown);
  signal_.onWait = [&](std::uint32_t ms) {
    if (ms == kShutdownGraceMs) signal_.RequestStop();
  };
  RunScheduleLoop(parts_, signal_, display_);
  EXPECT_EQ(shell_.started().size(), 1u);
  EXPECT_TRUE(host_.closedAt.empty());
}

TEST_F(ScheduleLoopTest, EveryMinuteOfADayRunsOnceEvenWhenActionsTakeTime) {
  // One reminder for every minute of the day; each popup takes 1.3 s to open. Waits of a fixed
  // 60 seconds after such work would drift and lose a minute now and then.
  for (int h = 0; h < 24; ++h)
    for (int m = 0; m < 60; ++m) Add(MinuteStamp(h, m), kTypeReminder, MinuteStamp(h, m));
  clock_.Set(At(8, 0, 0, 0));
  display_.onOpen = [&] { clock_.Advance(1300); };
  RunUntil(At(9, 0, 0));
  std::vector<std::string> opened;
  for (const std::string& e : display_.Events())
    if (e.starts_with("open:")) opened.push_back(e.substr(5));
  ASSERT_EQ(opened.size(), 1440u);
  for (size_t i = 0; i < opened.size(); ++i) ASSERT_EQ(opened[i], MinuteStamp(int(i) / 60, int(i) % 60));
  // and the wait before each check ends inside its minute, never at its very end
  for (std::uint32_t w : signal_.waits) EXPECT_LE(w, 60'200u);
}

TEST_F(ScheduleLoopTest, AWaitThatEndsEarlyDoesNotRunAMinuteTwice) {
  Add("09:05", kTypeReminder, "一次");
  clock_.Set(At(8, 9, 5, 0));
  int waits = 0;
  signal_.onWait = [&](std::uint32_t) {
    if (++waits < 3) clock_.Set(At(8, 9, 5, 30));  // the timer woke up inside the same minute
    if (waits == 4) signal_.RequestStop();
  };
  RunScheduleLoop(parts_, signal_, display_);
  EXPECT_EQ(display_.Events(), (std::vector<std::string>{"open:一次", "close"}));
}

// The worker on its own thread: its popup lives on that thread, and Stop returns at once, with
// the popup closed, although the worker is in the middle of a minute's wait.
TEST(ScheduleLoopThreadTest, StopEndsTheWorkerAtOnceAndClosesItsPopup) {
  struct ForwardingDisplay final : ReminderDisplay {
    ForwardingDisplay(RecordingDisplay& to, std::vector<std::thread::id>& threads) : to(to), threads(threads) {
      threads.push_back(std::this_thread::get_id());
    }
    ~ForwardingDisplay() override { threads.push_back(std::this_thread::get_id()); }
    void OpenReminder(const std::string& c, const ReminderOptions& o) override { to.OpenReminder(c, o); }
    void CloseReminder() override { to.CloseReminder(); }
    RecordingDisplay& to;
    std::vector<std::thread::id>& threads;
  };
  Schedule schedule;
  SharedSchedule rows(schedule);
  rows.Append(TimedItem{"09:05", kTypeReminder, "", "开会"});
  FakeClock clock(At(8, 9, 5, 1));
  RecordingHost host(clock);
  FakeShell shell;
  RecordingDisplay recorder;
  std::vector<std::thread::id> displayThreads;  // written by the worker, read after it ended
  ScheduleLoopParts parts{&rows, &host, &clock, &shell, [] { return platform::NewWorkerSignal(); },
                          [&]() -> std::unique_ptr<ReminderDisplay> {
                            return std::make_unique<ForwardingDisplay>(recorder, displayThreads);
                          },
                          ""};
  ScheduleLoop loop(parts);
  loop.Start();
  loop.Start();  // a second start keeps the one worker
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (recorder.Events().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(recorder.Events(), std::vector<std::string>{"open:开会"});

  const auto before = std::chrono::steady_clock::now();
  loop.Stop();  // the worker now waits for the next minute, 59 s away
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_FALSE(loop.running());
  EXPECT_EQ(recorder.Events(), (std::vector<std::string>{"open:开会", "close"}));
  ASSERT_EQ(displayThreads.size(), 2u);
  EXPECT_NE(displayThreads[0], std::this_thread::get_id());
  EXPECT_EQ(displayThreads[0], displayThreads[1]);
  loop.Stop();  // stopping a stopped loop is harmless

  // Started again, it checks the current minute afresh.
  loop.Start();
  const auto deadline2 = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (recorder.Events().size() < 3 && std::chrono::steady_clock::now() < deadline2)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  loop.Stop();
  EXPECT_EQ(recorder.Events(), (std::vector<std::string>{"open:开会", "close", "open:开会", "close"}));
}

}  // namespace
}  // namespace jihe::schedule
