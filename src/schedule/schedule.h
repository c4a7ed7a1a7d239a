#pragma once
// The daily schedule: its rows and its switch.
#include <string>
#include <vector>

namespace jihe::schedule {

inline constexpr char kTypeReminder[] = "定时提醒";
inline constexpr char kTypeShutdown[] = "定时关机";

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

}  // namespace jihe::schedule
