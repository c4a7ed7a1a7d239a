#pragma once
// The panel's and the pages' menus, built from their tables in commands.h.
#include <windows.h>

#include <cstddef>

#include "app/commands.h"

namespace jihe::app {

// A menu built from its table of rows; Command::Separator rows become separators.
HMENU BuildMenu(const MenuRow* rows, size_t count, bool popup = true);

}  // namespace jihe::app
