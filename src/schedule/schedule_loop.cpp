#include "schedule/schedule_loop.h"

#include <algorithm>

namespace jihe::schedule {

namespace {
// Checks happen this long after a minute begins, so that a timer that fires a little early
// still lands in the new minute.
constexpr std::uint32_t kMinuteMarginMs = 200;

struct MinuteKey {
  int year = 0, month = 0, day = 0, hour = -1, minute = -1;
  bool operator==(const MinuteKey&) const = default;
};
MinuteKey KeyOf(const platform::LocalTime& t) { return {t.year, t.month, t.day, t.hour, t.minute}; }
}  // namespace

std::optional<std::string> ShutdownCommandLine(std::string_view systemDirectory) {
  while (!systemDirectory.empty() && (systemDirectory.back() == '\\' || systemDirectory.back() == '/'))
    systemDirectory.remove_suffix(1);
  if (systemDirectory.empty()) return std::nullopt;
  return "\"" + std::string(systemDirectory) + "\\shutdown.exe\" " + kShutdownArguments;
}

bool RunScheduleCheck(const ScheduleLoopParts& parts, const platform::LocalTime& now,
                      platform::WorkerSignal& signal, ReminderDisplay& display) {
  const std::string stamp = MinuteStamp(now.hour, now.minute);
  const std::optional<DueRow> due = parts.schedule->MarkFirstDue(stamp, ResultStamp(now.day, stamp));
  if (!due) return true;
  const TimedItem& item = due->item;
  const ItemKind kind = KindOfType(item.type);
  if (kind != ItemKind::Unknown) parts.host->RowRan(due->index);
  if (kind == ItemKind::Reminder) {
    display.CloseReminder();
    display.OpenReminder(item.content, parts.schedule->reminderOptions());
  } else if (kind == ItemKind::Shutdown) {
    // Whether the command started is not checked: the program closes either way.
    if (auto commandLine = ShutdownCommandLine(parts.systemDirectory)) parts.shell->StartCommandLine(*commandLine);
    if (!signal.WaitFor(kShutdownGraceMs)) return false;
    parts.host->CloseMainPanel();
  }
  return true;
}

std::uint32_t MillisecondsToNextMinute(const platform::LocalTime& now) {
  const int intoMinute = now.second * 1000 + now.millisecond;  // a leap second gives 60 s
  return static_cast<std::uint32_t>(60'000 - std::min(intoMinute, 59'999)) + kMinuteMarginMs;
}

// The checks follow the minutes of the clock rather than waits of 60 seconds: waits of 60 seconds
// that begin after each check's work drift later and later until a minute gets no check at all,
// and its rows never run that day. Each minute is checked once, however early a wait ends.
void RunScheduleLoop(const ScheduleLoopParts& parts, platform::WorkerSignal& signal, ReminderDisplay& display) {
  MinuteKey checked;
  while (!signal.StopRequested()) {
    const platform::LocalTime now = parts.clock->Now();
    if (!(KeyOf(now) == checked)) {
      checked = KeyOf(now);
      if (!RunScheduleCheck(parts, now, signal, display)) break;
    }
    if (!signal.WaitFor(MillisecondsToNextMinute(parts.clock->Now()))) break;
  }
  display.CloseReminder();
}

void ScheduleLoop::Start() {
  if (running()) return;
  signal_ = parts_.newSignal();
  thread_ = std::thread([this, signal = signal_.get()] {
    {
      std::unique_ptr<ReminderDisplay> display = parts_.newDisplay();
      RunScheduleLoop(parts_, *signal, *display);
    }
    signal->MarkFinished();
  });
}

void ScheduleLoop::Stop() {
  if (!running()) return;
  signal_->RequestStop();
  signal_->WaitFinished();
  thread_.join();
  signal_.reset();
}

}  // namespace jihe::schedule
