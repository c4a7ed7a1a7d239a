#pragma once
// ScheduleLoop: the worker that runs the daily schedule. Once in every minute it takes the first
// row due at that minute and runs it: a reminder opens the Reminder popup, a shutdown starts the
// system's shutdown command and closes the Main panel.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/clock.h"
#include "platform/shell.h"
#include "platform/worker_signal.h"
#include "schedule/shared_schedule.h"

namespace jihe::schedule {

inline constexpr char kShutdownArguments[] = "-s -f -t 60";

// The command line of a timed shutdown: the system's own shutdown.exe by its full path, so a
// "shutdown" lying in the program's folder or the current folder is never the one started.
// Nothing without a system folder.
std::optional<std::string> ShutdownCommandLine(std::string_view systemDirectory);
inline constexpr std::uint32_t kShutdownGraceMs = 1000;

// What the worker asks of the rest of the program.
class ScheduleHost {
 public:
  virtual ~ScheduleHost() = default;
  // Asks the UI thread to close the Main panel, which saves and ends the program. Called on the
  // worker's thread; it must post the request and return without waiting for it.
  virtual void CloseMainPanel() = 0;
  // The result column of a row changed (the row ran). Called on the worker's thread, like
  // CloseMainPanel: post, do not wait.
  virtual void RowRan(size_t row) = 0;
};

// The Reminder popup as the worker sees it. Created, used and destroyed on the worker's thread,
// where its window lives.
class ReminderDisplay {
 public:
  virtual ~ReminderDisplay() = default;
  virtual void OpenReminder(const std::string& content, const ReminderOptions& options) = 0;
  // Closes the popup when one is open.
  virtual void CloseReminder() = 0;
};

struct ScheduleLoopParts {
  SharedSchedule* schedule = nullptr;
  ScheduleHost* host = nullptr;
  platform::Clock* clock = nullptr;
  platform::Shell* shell = nullptr;
  // Made for each run of the worker: the signal on the starting thread, the display on the
  // worker's own thread (its windows belong to that thread).
  std::function<std::unique_ptr<platform::WorkerSignal>()> newSignal;
  std::function<std::unique_ptr<ReminderDisplay>()> newDisplay;
  std::string systemDirectory;  // where shutdown.exe lies, e.g. "C:\\Windows\\system32"
};

// The check of one minute and what it runs. Returns false when a stop was asked while it waited
// (after starting a shutdown), so that nothing more is done.
bool RunScheduleCheck(const ScheduleLoopParts& parts, const platform::LocalTime& now,
                      platform::WorkerSignal& signal, ReminderDisplay& display);

// The milliseconds from `now` to just after the start of the next minute.
std::uint32_t MillisecondsToNextMinute(const platform::LocalTime& now);

// The worker's body: checks each minute once, until the signal asks it to stop; then closes the
// popup it opened. Runs on the calling thread.
void RunScheduleLoop(const ScheduleLoopParts& parts, platform::WorkerSignal& signal, ReminderDisplay& display);

// At most one worker at a time, on its own thread.
class ScheduleLoop {
 public:
  explicit ScheduleLoop(ScheduleLoopParts parts) : parts_(std::move(parts)) {}
  ~ScheduleLoop() { Stop(); }
  ScheduleLoop(const ScheduleLoop&) = delete;
  ScheduleLoop& operator=(const ScheduleLoop&) = delete;

  // Starts the worker unless it runs already.
  void Start();
  // Asks the worker to stop and returns once it has ended: after that no check, no action and no
  // popup of it remains. Waiting for it does not block messages sent to the calling thread.
  void Stop();
  bool running() const { return thread_.joinable(); }

 private:
  ScheduleLoopParts parts_;
  std::unique_ptr<platform::WorkerSignal> signal_;
  std::thread thread_;
};

}  // namespace jihe::schedule
