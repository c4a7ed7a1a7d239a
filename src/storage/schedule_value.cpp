#include "storage/schedule_value.h"

#include "storage/text_split.h"

namespace jihe::storage {

std::vector<schedule::TimedItem> ParseScheduleValue(std::string_view value) {
  std::vector<schedule::TimedItem> items;
  for (std::string_view piece : SplitText(value, "[br]")) {
    const auto parts = SplitText(piece, "--");
    if (parts.size() != 2) continue;  // a damaged or empty piece is skipped
    items.push_back({std::string(parts[0]), std::string(parts[1]), {}, {}});
  }
  return items;
}

std::string BuildScheduleValue(const std::vector<schedule::TimedItem>& items) {
  std::string value;
  for (const auto& item : items) value.append(item.time).append("--").append(item.type).append("[br]");
  return value;
}

}  // namespace jihe::storage
