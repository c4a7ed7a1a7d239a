#include "schedule/schedule_win32.h"

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/worker_signal_win32.h"
#include "schedule/reminder_popup_win32.h"

namespace jihe::schedule {

std::unique_ptr<SchedulePage> NewSchedulePage(Schedule& schedule, ScheduleHost& host, platform::Shell& shell) {
  ScheduleLoopParts parts;
  parts.host = &host;
  parts.clock = &platform::SystemClock();
  parts.shell = &shell;
  parts.systemDirectory = platform::SystemDirectory();
  parts.newSignal = [] { return platform::NewPumpingWorkerSignal(); };
  parts.newDisplay = [] { return NewReminderPopupDisplay(); };
  return std::make_unique<SchedulePage>(schedule, std::move(parts));
}

}  // namespace jihe::schedule
