#pragma once
#include "platform/shell.h"

namespace jihe::platform {

// ShellExecuteW and CreateProcessW.
Shell& SystemShell();

}  // namespace jihe::platform
