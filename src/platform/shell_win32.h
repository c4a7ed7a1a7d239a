#pragma once
#include "platform/shell.h"

namespace jihe::platform {

// ShellExecuteW and CreateProcessW.
Shell& SystemShell();

// Opens a file or program with the "open" verb and no parameters, its window maximised. False when
// the shell could not.
bool OpenMaximised(std::string_view target);

}  // namespace jihe::platform
