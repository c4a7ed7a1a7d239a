#include "app/command_line.h"

#include <charconv>

namespace jihe::app {

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--data-dir") {
      if (!hasValue || args[i + 1].empty()) {
        parsed.error = "--data-dir needs a folder";
        return parsed;
      }
      parsed.options.dataDir = args[++i];
    } else if (arg == "--record-commands") {
      if (!hasValue || args[i + 1].empty()) {
        parsed.error = "--record-commands needs a file";
        return parsed;
      }
      parsed.options.recordCommands = args[++i];
    } else if (arg == "--shot-page") {
      int page = -1;
      const std::string& value = hasValue ? args[i + 1] : arg;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), page);
      if (!hasValue || ec != std::errc() || end != value.data() + value.size() || page < 0 ||
          page > kLastShotPage) {
        parsed.error = "--shot-page needs a number from 0 to " + std::to_string(kLastShotPage);
        return parsed;
      }
      parsed.options.shotPage = page;
      ++i;
    } else {
      parsed.error = "unknown argument: " + arg;
      return parsed;
    }
  }
  return parsed;
}

}  // namespace jihe::app
