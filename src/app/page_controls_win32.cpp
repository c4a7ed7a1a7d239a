#include "app/page_controls_win32.h"

#include <algorithm>

#include "platform/utf16.h"
#include "platform/window_win32.h"

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

HWND AddPageControl(HWND panel, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle, int id) {
  HWND h = platform::CreateControl(panel, cls, text, style | WS_CLIPSIBLINGS, exStyle, id, nullptr);
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return h;
}

void PlaceDesign(HWND control, UINT dpi, int left, int top, int width, int height) {
  SetWindowPos(control, nullptr, platform::Scale(left, dpi), platform::Scale(top, dpi),
               platform::Scale(std::max(width, 0), dpi), platform::Scale(std::max(height, 0), dpi),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void PopUpMenuAtCursor(HWND owner, HMENU menu) {
  POINT pt{};
  GetCursorPos(&pt);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace jihe::app
