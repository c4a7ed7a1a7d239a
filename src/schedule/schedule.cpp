#include "schedule/schedule.h"

namespace jihe::schedule {

ItemKind KindOfType(std::string_view type) {
  if (type == kTypeReminder) return ItemKind::Reminder;
  if (type == kTypeShutdown) return ItemKind::Shutdown;
  return ItemKind::Unknown;
}

namespace {
std::string TwoDigits(int n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }
}  // namespace

std::string MinuteStamp(int hour, int minute) { return TwoDigits(hour) + ":" + TwoDigits(minute); }

std::string ResultStamp(int dayOfMonth, std::string_view minuteStamp) {
  return std::to_string(dayOfMonth) + "日" + std::string(minuteStamp) + "已执行";
}

}  // namespace jihe::schedule
