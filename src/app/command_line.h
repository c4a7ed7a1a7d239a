#pragma once
// What the program's command line asks for.
#include <optional>
#include <string>
#include <vector>

namespace jihe::app {

struct StartOptions {
  std::optional<std::string> dataDir;  // --data-dir DIR: use DIR instead of the usual Data folder
  // --shot-page N (for screenshots): 0-2 show that page of the panel, 3-4 the Settings window's
  // first or second page.
  std::optional<int> shotPage;
};

struct ParsedCommandLine {
  StartOptions options;
  std::string error;  // empty when the line was understood
};

// `args` excludes the program's own path.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace jihe::app
