#include "schedule/shared_schedule.h"

namespace jihe::schedule {

void SharedSchedule::Append(TimedItem item) {
  std::lock_guard lock(mutex_);
  schedule_.items.push_back(std::move(item));
}

size_t SharedSchedule::RowCount() const {
  std::lock_guard lock(mutex_);
  return schedule_.items.size();
}

std::string SharedSchedule::ResultOf(size_t row) const {
  std::lock_guard lock(mutex_);
  return row < schedule_.items.size() ? schedule_.items[row].result : std::string();
}

std::optional<TimedItem> SharedSchedule::Row(size_t row) const {
  std::lock_guard lock(mutex_);
  if (row >= schedule_.items.size()) return std::nullopt;
  return schedule_.items[row];
}

void SharedSchedule::SetReminderOptions(ReminderOptions options) {
  std::lock_guard lock(mutex_);
  reminder_ = std::move(options);
}

ReminderOptions SharedSchedule::reminderOptions() const {
  std::lock_guard lock(mutex_);
  return reminder_;
}

std::optional<DueRow> SharedSchedule::MarkFirstDue(std::string_view stamp, std::string_view result) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < schedule_.items.size(); ++i) {
    TimedItem& item = schedule_.items[i];
    if (item.time != stamp) continue;
    // A row of an unknown type does nothing, yet it still takes its minute from the rows below.
    if (KindOfType(item.type) != ItemKind::Unknown) item.result = result;
    return DueRow{i, item};
  }
  return std::nullopt;
}

}  // namespace jihe::schedule
