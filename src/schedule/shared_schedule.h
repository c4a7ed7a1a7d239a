#pragma once
// The schedule as the UI thread and the ScheduleLoop worker share it.
//
// The UI thread owns the rows: it alone appends rows and sets their time, type and content, so it
// may read those fields without the lock. The worker only reads rows and writes the result
// column; it does both under the lock, and the UI thread takes the lock to append a row and to
// read a result. The sound and shake boxes are copied here by the UI thread whenever they change,
// because a popup reads them on the worker's thread.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "schedule/schedule.h"

namespace jihe::schedule {

struct DueRow {
  size_t index = 0;
  TimedItem item;
};

struct ReminderOptions {
  std::string music;  // the sound box: "默认声音", a file path, or empty
  bool shake = true;  // "窗口抖动"
  bool operator==(const ReminderOptions&) const = default;
};

class SharedSchedule {
 public:
  explicit SharedSchedule(Schedule& schedule) : schedule_(schedule) {}
  SharedSchedule(const SharedSchedule&) = delete;
  SharedSchedule& operator=(const SharedSchedule&) = delete;

  // UI thread.
  void Append(TimedItem item);
  size_t RowCount() const;
  std::string ResultOf(size_t row) const;
  // A copy of a row, its result included.
  std::optional<TimedItem> Row(size_t row) const;
  void SetReminderOptions(ReminderOptions options);
  // The model the rows live in (the workspace's), for the switch and for saving.
  Schedule& schedule() { return schedule_; }

  // Worker thread. The first row, from the top, whose time is `stamp`: when its type is one of
  // the two known ones its result column becomes `result`; a copy of it is returned. Nothing
  // when no row is due.
  std::optional<DueRow> MarkFirstDue(std::string_view stamp, std::string_view result);
  ReminderOptions reminderOptions() const;

 private:
  Schedule& schedule_;
  mutable std::mutex mutex_;
  ReminderOptions reminder_;
};

}  // namespace jihe::schedule
