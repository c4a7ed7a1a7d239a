#pragma once
// What every page of the Main panel does with its controls: they are children of the panel
// (the end-to-end tests find them there by id), placed in design pixels, stacked in creation order.
#include <windows.h>

#include <cstddef>
#include <string_view>

#include "app/commands.h"

namespace jihe::app {

// The text of a library page's rows, and of the lines of its "≡" button.
inline constexpr COLORREF kRowText = RGB(64, 128, 128);

// A menu built from its table of rows; Command::Separator rows become separators.
HMENU BuildMenu(const MenuRow* rows, size_t count, bool popup = true);

// A control on the panel. Later controls lie above earlier ones, so a list covers its strip and
// not the other way round.
HWND AddPageControl(HWND panel, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle, int id);

// Places `control` at a rectangle in design pixels (96 DPI), scaled to `dpi`.
void PlaceDesign(HWND control, UINT dpi, int left, int top, int width, int height);

// Pops `menu` up at the pointer; its commands go to `owner`.
void PopUpMenuAtCursor(HWND owner, HMENU menu);

}  // namespace jihe::app
