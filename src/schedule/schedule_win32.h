#pragma once
// The schedule page put together with its Windows parts: the worker waits with its messages
// flowing, opens the Reminder popup on its own thread, and starts the shutdown command through
// the system's shell.
#include <windows.h>

#include <memory>

#include "platform/shell.h"
#include "schedule/schedule_page.h"

namespace jihe::schedule {

// Tells a window of the UI thread by posted messages: `closeMessage` asks it to close the Main
// panel; `rowRanMessage` (WPARAM: the row) asks it to redraw a row whose result changed.
class PostingScheduleHost final : public ScheduleHost {
 public:
  PostingScheduleHost(HWND target, UINT closeMessage, UINT rowRanMessage)
      : target_(target), closeMessage_(closeMessage), rowRanMessage_(rowRanMessage) {}
  void CloseMainPanel() override { PostMessageW(target_, closeMessage_, 0, 0); }
  void RowRan(size_t row) override { PostMessageW(target_, rowRanMessage_, row, 0); }

 private:
  HWND target_;
  UINT closeMessage_;
  UINT rowRanMessage_;
};

// `host` and `shell` (which starts the shutdown command) must outlive the page.
std::unique_ptr<SchedulePage> NewSchedulePage(Schedule& schedule, ScheduleHost& host, platform::Shell& shell);

}  // namespace jihe::schedule
