#pragma once
// Opening addresses and files, and starting command lines, as the operating system's shell does.
#include <string_view>

namespace jihe::platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens an address or a file with the "open" verb. False when the shell could not.
  virtual bool OpenWithShell(std::string_view target) = 0;
  // Starts a command line and returns without waiting for it. False when it did not start.
  virtual bool StartCommandLine(std::string_view commandLine) = 0;
};

}  // namespace jihe::platform
