#include "app/menus_win32.h"

#include "platform/utf16.h"

namespace jihe::app {

HMENU BuildMenu(const MenuRow* rows, size_t count, bool popup) {
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  for (size_t i = 0; i < count; ++i) {
    if (rows[i].command == Command::Separator)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(rows[i].command), platform::Widen(rows[i].caption).c_str());
  }
  return menu;
}

}  // namespace jihe::app
