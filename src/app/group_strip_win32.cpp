#include "app/group_strip_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "app/drag_sort_win32.h"
#include "app/menus_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::app {

using platform::Scale;

HWND GroupStripView::CreateStrip(HWND panel, int id) {
  panel_ = panel;
  strip_ = platform::AddControlOnTop(panel, WC_TABCONTROLW, "", WS_TABSTOP, 0, id);
  return strip_;
}

HWND GroupStripView::CreateButton(int id) {
  button_ = platform::AddControlOnTop(panel_, WC_BUTTONW, "", BS_OWNERDRAW | WS_TABSTOP, 0, id);
  return button_;
}

void GroupStripView::SetTabs(const std::vector<std::string>& captions, int selected) {
  TabCtrl_DeleteAllItems(strip_);
  for (size_t i = 0; i < captions.size(); ++i) {
    std::wstring caption = platform::Widen(captions[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(strip_, static_cast<int>(i), &item);
  }
  TabCtrl_SetCurSel(strip_, std::max(0, selected));
}

void GroupStripView::KeepArrowsClear() {
  HWND arrows = FindWindowExW(strip_, nullptr, UPDOWN_CLASSW, nullptr);
  if (!arrows) return;
  if (arrows != arrows_) {
    arrows_ = arrows;
    SetWindowSubclass(arrows, &GroupStripView::ArrowsHook, 3, reinterpret_cast<DWORD_PTR>(this));
  }
  RECT rc{};
  GetWindowRect(arrows, &rc);
  MapWindowPoints(HWND_DESKTOP, strip_, reinterpret_cast<POINT*>(&rc), 2);
  // Its WM_WINDOWPOSCHANGING puts it in its place.
  SetWindowPos(arrows, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Where the arrows end, in the strip's coordinates: at the button's left edge.
int GroupStripView::ArrowsRight() const {
  RECT strip{}, button{};
  GetClientRect(strip_, &strip);
  GetWindowRect(button_, &button);
  MapWindowPoints(HWND_DESKTOP, strip_, reinterpret_cast<POINT*>(&button), 2);
  return std::min<int>(strip.right, button.left);
}

LRESULT CALLBACK GroupStripView::ArrowsHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  if (msg == WM_WINDOWPOSCHANGING) {
    auto& pos = *reinterpret_cast<WINDOWPOS*>(lp);
    if (!(pos.flags & SWP_NOMOVE)) {
      RECT now{};
      GetWindowRect(hwnd, &now);
      pos.x = reinterpret_cast<GroupStripView*>(self)->ArrowsRight() -
              ((pos.flags & SWP_NOSIZE) ? now.right - now.left : pos.cx);
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

bool GroupStripView::DrawButton(const DRAWITEMSTRUCT& di, UINT dpi) const {
  if (di.hwndItem != button_) return false;
  RECT rc = di.rcItem;
  FillRect(di.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(di.hDC, &rc, (di.itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  platform::UniqueBrush bar(CreateSolidBrush(kRowText));
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const int thick = std::max(1, Scale(2, dpi));
  for (int i = 0; i < 3; ++i) {
    const int y = rc.top + h / 2 - thick / 2 + (i - 1) * Scale(5, dpi);
    RECT line{rc.left + w / 4, y, rc.right - w / 4, y + thick};
    FillRect(di.hDC, &line, bar.get());
  }
  if (di.itemState & ODS_FOCUS) {
    InflateRect(&rc, -3, -3);
    DrawFocusRect(di.hDC, &rc);
  }
  return true;
}

}  // namespace jihe::app
