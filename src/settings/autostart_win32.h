#pragma once
// Writes and removes the autostart entry of the current user.
#include <string>

namespace jihe::settings {

enum class AutostartResult { Done, NoExecutable, RegistryFailed };

// Sets the Run value to this program's quoted full path.
AutostartResult EnableAutostart();
// Removes the Run value (a value that is not there counts as removed) and a shortcut of the same
// name from the user's Startup folder.
AutostartResult DisableAutostart();
// The Run value as stored now; empty when there is none.
std::string StoredAutostartCommand();

}  // namespace jihe::settings
