#pragma once
// The daily schedule: its rows and its switch.
#include <string>
#include <string_view>
#include <vector>

namespace jihe::schedule {

inline constexpr char kTypeReminder[] = "定时提醒";
inline constexpr char kTypeShutdown[] = "定时关机";

// What a row does when its minute comes. The type is kept as the text stored in the Data folder;
// a text that is neither of the two makes a row that does nothing.
enum class ItemKind { Reminder, Shutdown, Unknown };
ItemKind KindOfType(std::string_view type);

struct TimedItem {
  std::string time;     // "HH:mm"
  std::string type;     // kTypeReminder or kTypeShutdown
  std::string result;   // e.g. "8日09:05已执行"; not stored
  std::string content;  // the reminder's text; not stored
  bool operator==(const TimedItem&) const = default;
};

struct Schedule {
  std::vector<TimedItem> items;
  bool on = false;
};

// "HH:mm": hour and minute with two digits each, "09:05", "00:00".
std::string MinuteStamp(int hour, int minute);

// The result column of a row that ran: day of the month without a leading zero, "日", the
// minute stamp, "已执行" — "8日09:05已执行".
std::string ResultStamp(int dayOfMonth, std::string_view minuteStamp);

}  // namespace jihe::schedule
