#include "schedule/schedule_page.h"

namespace jihe::schedule {

ListPlace ApplyTypeLayout(int typeEntry, std::string& contentBox, bool contentFocused) {
  if (typeEntry == kTypeEntryShutdown) return kShutdownListPlace;
  if (contentBox.empty() && !contentFocused) contentBox = kReminderPlaceholder;
  return kReminderListPlace;
}

std::string ContentGotFocus(std::string text) {
  if (text == kReminderPlaceholder) text.clear();
  return text;
}

std::string ContentLostFocus(std::string text, bool enabled) {
  if (enabled && text.empty()) text = kReminderPlaceholder;
  return text;
}

SchedulePage::SchedulePage(Schedule& schedule, ScheduleLoopParts loopParts)
    : shared_(schedule), loop_(WithRows(std::move(loopParts), shared_)) {}

std::optional<std::string_view> SchedulePage::AddTimedItem(std::string_view type, std::string_view content,
                                                           int hour, int minute) {
  if (type == kTypeReminder && (content.empty() || content == kReminderPlaceholder)) return kNoContentMessage;
  // A shutdown row keeps whatever the content box held; nothing reads it.
  shared_.Append(TimedItem{MinuteStamp(hour, minute), std::string(type), "", std::string(content)});
  return std::nullopt;
}

std::optional<std::string_view> SchedulePage::SetScheduleSwitch(bool& ticked) {
  if (!ticked) {
    loop_.Stop();
    shared_.schedule().on = false;
    return std::nullopt;
  }
  if (shared_.RowCount() == 0) {
    ticked = false;
    shared_.schedule().on = false;
    return kEmptyListMessage;
  }
  shared_.schedule().on = true;
  loop_.Start();
  return std::nullopt;
}

void SchedulePage::StartAtLaunch() {
  if (shared_.schedule().on && shared_.RowCount() > 0) loop_.Start();
}

}  // namespace jihe::schedule
