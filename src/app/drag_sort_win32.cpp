#include "app/drag_sort_win32.h"

#include <windowsx.h>
#include <commctrl.h>

#include "library/row_rules.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::app {

namespace {

constexpr COLORREF kDragSortText = RGB(88, 48, 224);
constexpr COLORREF kDragLabelText = RGB(128, 128, 128);
constexpr wchar_t kDragLabelClass[] = L"霁禾客服助手.画板";

// The dragged row's text on a small board that follows the pointer.
LRESULT CALLBACK DragLabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    SetTextColor(dc, kDragLabelText);
    SetBkMode(dc, TRANSPARENT);
    auto font = reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd), WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    DrawTextW(dc, text, -1, &rc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void BringToTop(HWND control) {
  SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

void DragSortView::Attach(HWND panel, HWND list, HWND leaveButton) {
  panel_ = panel;
  list_ = list;
  leaveButton_ = leaveButton;
}

void DragSortView::CreateLabel() {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = DragLabelProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kDragLabelClass;
  cls.hCursor = LoadCursorW(nullptr, IDC_NO);
  RegisterClassExW(&cls);
  label_ = CreateWindowExW(0, kDragLabelClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, panel_, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

void DragSortView::Enter(bool pageShown) {
  if (drag_.on()) return;
  drag_.Enter();
  // The button belongs to its page: it shows and hides with it.
  if (pageShown) ShowWindow(leaveButton_, SW_SHOWNA);
  BringToTop(leaveButton_);
  ListView_SetTextColor(list_, kDragSortText);
  InvalidateRect(list_, nullptr, TRUE);
}

void DragSortView::Leave() {
  drag_.Leave();
  ShowWindow(leaveButton_, SW_HIDE);
  ListView_SetTextColor(list_, kRowText);
  InvalidateRect(list_, nullptr, TRUE);
  Reset();
}

void DragSortView::Reset() {
  if (label_) {
    SetWindowTextW(label_, L"");
    SetWindowPos(label_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  drag_.Reset();
  if (GetCapture() == list_) ReleaseCapture();
}

void DragSortView::BeginDrag() {
  if (drag_.armed()) SetCapture(list_);
}

void DragSortView::Moved(POINT inList) {
  const std::optional<std::string> row = selectedRow ? selectedRow() : std::nullopt;
  const auto pointer = drag_.Moved(true, OverList(inList), row ? &*row : nullptr);
  if (!pointer) return;
  POINT inPanel = inList;
  MapWindowPoints(list_, panel_, &inPanel, 1);
  // The capture keeps WM_SETCURSOR away, so the pointer is set here.
  SetCursor(LoadCursorW(nullptr, pointer->droppable ? IDC_ARROW : IDC_NO));
  if (!pointer->droppable) {
    SetWindowPos(label_, HWND_TOP, inPanel.x + 10, inPanel.y + 10, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return;
  }
  if (!pointer->sizeLabel) return;
  const UINT dpi = platform::DpiOf(panel_);
  platform::SetWindowTextUtf8(label_, drag_.label());
  SetWindowPos(label_, HWND_TOP, inPanel.x + 10, inPanel.y + 10,
               platform::Scale(library::DragLabelWidth(drag_.label()), dpi), platform::Scale(16, dpi), SWP_NOACTIVATE);
  InvalidateRect(label_, nullptr, TRUE);
}

// The list's whole window counts, its scroll bar included: a release there is a drop below the
// last row, not a release over the panel.
bool DragSortView::OverList(POINT inList) const {
  RECT window{};
  GetWindowRect(list_, &window);
  MapWindowPoints(HWND_DESKTOP, list_, reinterpret_cast<POINT*>(&window), 2);
  return PtInRect(&window, inList) != FALSE;
}

LRESULT DragSortView::OnListMessage(UINT msg, WPARAM wp, LPARAM lp, const std::function<LRESULT()>& passOn) {
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_LBUTTONDOWN:
      drag_.ButtonDown();
      break;
    case WM_MOUSEMOVE:
      if (drag_.armed() && (wp & MK_LBUTTON)) {
        if (GetCapture() != list_) SetCapture(list_);
        Moved(pt);
        return 0;
      }
      break;
    case WM_LBUTTONUP: {
      const bool armed = drag_.armed();
      const LRESULT r = passOn();
      const bool over = OverList(pt);
      Reset();
      LVHITTESTINFO hit{};
      hit.pt = pt;
      const int to = ListView_HitTest(list_, &hit) >= 0 && (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
      if (onRelease) onRelease(armed, over, to);
      return r;
    }
    case WM_CAPTURECHANGED:
      if (drag_.CaptureLost(reinterpret_cast<HWND>(lp) != list_, GetKeyState(VK_LBUTTON) & 0x8000)) Reset();
      break;
  }
  return passOn();
}

}  // namespace jihe::app
