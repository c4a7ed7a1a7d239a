#include "platform/tray_icon_win32.h"

#include <cwchar>

#include "platform/utf16.h"

namespace jihe::platform {

namespace {
template <size_t N>
void CopyInto(wchar_t (&target)[N], std::string_view utf8) {
  std::wstring wide = Widen(utf8);
  wcsncpy(target, wide.c_str(), N - 1);
  target[N - 1] = L'\0';
}
}  // namespace

bool TrayIcon::Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, std::string_view tip,
                   UINT balloonTimerId) {
  data_ = {};
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = id;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  CopyInto(data_.szTip, tip);
  balloonTimerId_ = balloonTimerId;
  added_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
  return added_;
}

bool TrayIcon::AddAgain() {
  if (!data_.hWnd) return false;
  NOTIFYICONDATAW again = data_;
  again.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  added_ = Shell_NotifyIconW(NIM_ADD, &again) != FALSE;
  return added_;
}

bool TrayIcon::ShowBalloon(std::string_view title, std::string_view text, DWORD iconKind,
                           UINT durationMs) {
  if (!data_.hWnd) return false;
  NOTIFYICONDATAW balloon = data_;
  balloon.uFlags = NIF_INFO;
  CopyInto(balloon.szInfoTitle, title);
  CopyInto(balloon.szInfo, text);
  balloon.dwInfoFlags = iconKind;
  balloon.uTimeout = durationMs;
  const bool shown = Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
  // Arming the timer again replaces the pending one, so the newest balloon gets its full time.
  SetTimer(data_.hWnd, balloonTimerId_, durationMs, nullptr);
  return shown;
}

void TrayIcon::OnBalloonTimer() {
  KillTimer(data_.hWnd, balloonTimerId_);
  NOTIFYICONDATAW clear = data_;
  clear.uFlags = NIF_INFO;
  clear.szInfoTitle[0] = L'\0';
  clear.szInfo[0] = L'\0';
  clear.dwInfoFlags = NIIF_NONE;
  Shell_NotifyIconW(NIM_MODIFY, &clear);
}

void TrayIcon::Remove() {
  if (!data_.hWnd) return;
  KillTimer(data_.hWnd, balloonTimerId_);
  Shell_NotifyIconW(NIM_DELETE, &data_);
  added_ = false;
  data_.hWnd = nullptr;
}

}  // namespace jihe::platform
