#pragma once
// What the program's command line asks for.
#include <optional>
#include <string>
#include <vector>

namespace jihe::app {

inline constexpr int kLastShotPage = 13;

struct StartOptions {
  std::optional<std::string> dataDir;  // --data-dir DIR: use DIR instead of the usual Data folder
  // --shot-page N (for screenshots): 0-2 show that page of the panel, 3-4 the Settings window's
  // first or second page, 5-10 the group menu, the phrase and command list menus, the phrase
  // editor adding and editing, and the command editor; 11 the schedule page laid out for a timed
  // shutdown, 12 an open Reminder popup, 13 the phrase page with a search typed.
  std::optional<int> shotPage;
  // --record-commands FILE (for end-to-end tests): the command lines the program would start (a
  // timed shutdown's) are appended to FILE, one per line, instead of being run.
  std::optional<std::string> recordCommands;
};

struct ParsedCommandLine {
  StartOptions options;
  std::string error;  // empty when the line was understood
};

// `args` excludes the program's own path.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace jihe::app
