#pragma once
// The schedule page of the Main panel, without its window: what the type box, the content box,
// the add button and the switch do. The panel forwards its control events here and shows what
// comes back.
#include <optional>
#include <string>
#include <string_view>

#include "schedule/schedule_loop.h"
#include "schedule/shared_schedule.h"

namespace jihe::schedule {

inline constexpr std::string_view kReminderPlaceholder = "请输入定时提醒内容";
inline constexpr std::string_view kNoContentMessage = "请在下方输入框设置好提醒内容！";
inline constexpr std::string_view kEmptyListMessage = "列表中没有设置定时项目！";

// The entries of the type box, in order.
inline constexpr int kTypeEntryReminder = 0;
inline constexpr int kTypeEntryShutdown = 1;

// Where the schedule list stands inside the page's frame (design pixels; left 4 and width 246 never change).
struct ListPlace {
  int top = 0;
  int height = 0;
  bool operator==(const ListPlace&) const = default;
};
inline constexpr ListPlace kShutdownListPlace{48, 262};   // covers the content, sound and shake boxes
inline constexpr ListPlace kReminderListPlace{139, 171};  // its designed place

// ApplyTypeLayout, for the selected entry of the type box. For a reminder an empty content box
// gets the placeholder, unless the agent is in it: what they type must not follow the placeholder.
ListPlace ApplyTypeLayout(int typeEntry, std::string& contentBox, bool contentFocused);

// The content box's text after it got or lost the focus.
std::string ContentGotFocus(std::string text);
std::string ContentLostFocus(std::string text, bool enabled);

class SchedulePage {
 public:
  // `loopParts.schedule` is set to this page's shared schedule.
  SchedulePage(Schedule& schedule, ScheduleLoopParts loopParts);
  ~SchedulePage() { loop_.Stop(); }

  SharedSchedule& rows() { return shared_; }
  bool running() const { return loop_.running(); }

  // AddTimedItem: a click on the add button. The time picker's hour and minute, the selected type's text and
  // the content box's text. Returns the refusal to show, or nothing when the row was appended.
  std::optional<std::string_view> AddTimedItem(std::string_view type, std::string_view content, int hour,
                                               int minute);

  // SetScheduleSwitch: a click on the switch, after the box changed its state. `ticked` is the box's
  // state and is set back to false when the switch is refused; then the message is returned.
  std::optional<std::string_view> SetScheduleSwitch(bool& ticked);

  // After LoadAll: starts the worker when the stored switch is on and there are rows. A ticked
  // switch over an empty list stays ticked without a worker.
  void StartAtLaunch();

  // The sound box and the shake box as the next popup will read them.
  void SetReminderOptions(std::string music, bool shake) { shared_.SetReminderOptions({std::move(music), shake}); }

  // Ends the worker and closes its popup (the Main panel's destruction, before it exits).
  void StopLoop() { loop_.Stop(); }

 private:
  static ScheduleLoopParts WithRows(ScheduleLoopParts parts, SharedSchedule& rows) {
    parts.schedule = &rows;
    return parts;
  }

  SharedSchedule shared_;
  ScheduleLoop loop_;
};

}  // namespace jihe::schedule
