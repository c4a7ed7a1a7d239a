#include "settings/autostart.h"

namespace jihe::settings {

std::string RunCommandFor(std::string_view exePath) {
  std::string command = "\"";
  command += exePath;
  command += '"';
  return command;
}

}  // namespace jihe::settings
