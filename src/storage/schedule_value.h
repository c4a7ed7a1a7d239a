#pragma once
// The schedule as one INI value: "HH:mm--type[br]" for every row, in list order.
#include <string>
#include <string_view>
#include <vector>

#include "schedule/schedule.h"

namespace jihe::storage {

std::vector<schedule::TimedItem> ParseScheduleValue(std::string_view value);
std::string BuildScheduleValue(const std::vector<schedule::TimedItem>& items);

}  // namespace jihe::storage
