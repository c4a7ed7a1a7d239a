#include "library/modal_form_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/utf16.h"

namespace jihe::library {

using platform::Scale;

INT_PTR ModalForm::Run(HWND owner, const FormFrame& frame, std::span<const FormControl> controls) {
  frame_ = &frame;
  controls_ = controls;
  // An empty in-memory template: the controls are made in WM_INITDIALOG, in pixels.
  alignas(DWORD) WORD buffer[32] = {};
  auto* tpl = reinterpret_cast<DLGTEMPLATE*>(buffer);
  tpl->style = frame.style | DS_MODALFRAME;
  tpl->dwExtendedStyle = frame.exStyle;
  // menu, class and title are the three zero words after the header
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), tpl, owner, &ModalForm::Procedure,
                                 reinterpret_cast<LPARAM>(this));
}

void ModalForm::Build() {
  const UINT dpi = platform::DpiOf(dlg_);
  font_ = platform::CreateUiFont(dpi);
  linkFont_ = platform::CreateUiFont(dpi, true);
  platform::SetWindowTextUtf8(dlg_, frame_->title);
  const int w = Scale(frame_->width, dpi), h = Scale(frame_->height, dpi);
  // Centred on the owner's monitor, or on the owner itself, and whole on that monitor.
  const HWND owner = GetWindow(dlg_, GW_OWNER);
  const RECT monitor = platform::MonitorAreaOf(owner, false);
  RECT area = monitor;
  if (!frame_->centreOnScreen && owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
  POINT at = platform::CentredIn(area, w, h);
  const RECT work = platform::MonitorAreaOf(owner, true);
  at.x = std::max<LONG>(work.left, std::min<LONG>(at.x, work.right - w));
  at.y = std::max<LONG>(work.top, std::min<LONG>(at.y, work.bottom - h));
  SetWindowPos(dlg_, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const FormControl& c : controls_) {
    HWND control = CreateWindowExW(c.exStyle, c.className, platform::Widen(c.text).c_str(),
                                   c.style | WS_CHILD | WS_VISIBLE, Scale(c.left, dpi), Scale(c.top, dpi),
                                   Scale(c.width, dpi), Scale(c.height, dpi), dlg_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), GetModuleHandleW(nullptr),
                                   nullptr);
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(IsLinkId(c.id) ? linkFont_.get() : font_.get()), FALSE);
  }
}

INT_PTR CALLBACK ModalForm::Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<ModalForm*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      self = reinterpret_cast<ModalForm*>(lp);
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      self->dlg_ = dlg;
      self->Build();
      self->OnInit();
      return FALSE;  // OnInit has put the focus where it belongs
    case WM_COMMAND:
      if (!self) return FALSE;
      if (self->OnControl(LOWORD(wp), HIWORD(wp))) return TRUE;
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC: {
      if (!self) return FALSE;
      auto control = reinterpret_cast<HWND>(lp);
      if (IsLinkId(GetDlgCtrlID(control))) {
        SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
        SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return reinterpret_cast<INT_PTR>(self->OnStaticColour(reinterpret_cast<HDC>(wp), control));
    }
    case WM_SETCURSOR: {
      if (!self) return FALSE;
      auto over = reinterpret_cast<HWND>(wp);
      if (over != dlg && IsLinkId(GetDlgCtrlID(over))) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

}  // namespace jihe::library
