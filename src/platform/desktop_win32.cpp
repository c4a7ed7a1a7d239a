#include "platform/desktop_win32.h"

#include <dwmapi.h>

#include "platform/utf16.h"

namespace jihe::platform {

namespace {

// Windows of other threads are changed without waiting for them: a worker must never block on a
// UI thread that may itself be waiting for the worker.
UINT AsyncFlagFor(HWND hwnd) {
  return GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() ? 0 : SWP_ASYNCWINDOWPOS;
}

}  // namespace

std::vector<WindowId> Win32Desktop::VisibleTopLevelWindows() {
  std::vector<WindowId> windows;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) {
          reinterpret_cast<std::vector<WindowId>*>(param)->push_back(IdOf(hwnd));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::string Win32Desktop::WindowText(WindowId window) {
  // InternalGetWindowText reads the caption without sending WM_GETTEXT, so a hung program (or our
  // own UI thread waiting for this worker) cannot stall the walk.
  wchar_t text[512];
  const int n = InternalGetWindowText(HwndOf(window), text, static_cast<int>(std::size(text)));
  return n > 0 ? Narrow(std::wstring_view(text, n)) : std::string();
}

std::string Win32Desktop::ClassName(WindowId window) {
  wchar_t name[256];
  const int n = GetClassNameW(HwndOf(window), name, static_cast<int>(std::size(name)));
  return n > 0 ? Narrow(std::wstring_view(name, n)) : std::string();
}

Rect Win32Desktop::WindowRect(WindowId window) {
  RECT r{};
  if (!GetWindowRect(HwndOf(window), &r)) return {};
  return {r.left, r.top, r.right, r.bottom};
}

Rect Win32Desktop::VisibleFrame(WindowId window) {
  RECT r{};
  if (FAILED(DwmGetWindowAttribute(HwndOf(window), DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof r)) || r.right <= r.left)
    return WindowRect(window);
  return {r.left, r.top, r.right, r.bottom};
}

bool Win32Desktop::IsVisible(WindowId window) { return IsWindowVisible(HwndOf(window)) != FALSE; }

bool Win32Desktop::Exists(WindowId window) { return window != 0 && IsWindow(HwndOf(window)) != FALSE; }

bool Win32Desktop::IsMaximized(WindowId window) { return IsZoomed(HwndOf(window)) != FALSE; }

bool Win32Desktop::IsMinimized(WindowId window) { return IsIconic(HwndOf(window)) != FALSE; }

namespace {

Rect RectOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

std::optional<Monitor> MonitorOf(HMONITOR handle) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!handle || !GetMonitorInfoW(handle, &info)) return std::nullopt;
  return Monitor{RectOf(info.rcMonitor), RectOf(info.rcWork), (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
}

}  // namespace

std::vector<Monitor> Win32Desktop::Monitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR handle, HDC, LPRECT, LPARAM param) -> BOOL {
        if (auto m = MonitorOf(handle)) reinterpret_cast<std::vector<Monitor>*>(param)->push_back(*m);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

std::optional<Monitor> Win32Desktop::MonitorFromRect(const Rect& rect, bool nearest) {
  const RECT r{rect.left, rect.top, rect.right, rect.bottom};
  return MonitorOf(::MonitorFromRect(&r, nearest ? MONITOR_DEFAULTTONEAREST : MONITOR_DEFAULTTONULL));
}

void Win32Desktop::MoveWindowTo(WindowId window, int left, int top) {
  const HWND hwnd = HwndOf(window);
  SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | AsyncFlagFor(hwnd));
}

void Win32Desktop::PlaceWindow(WindowId window, const Rect& rect) {
  const HWND hwnd = HwndOf(window);
  SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.width(), rect.height(),
               SWP_NOZORDER | SWP_NOACTIVATE | AsyncFlagFor(hwnd));
}

void Win32Desktop::ShowWindow(WindowId window) { ShowWindowAsync(HwndOf(window), SW_SHOWNOACTIVATE); }

void Win32Desktop::HideWindow(WindowId window) { ShowWindowAsync(HwndOf(window), SW_HIDE); }

void Win32Desktop::SetTopmost(WindowId window) {
  const HWND hwnd = HwndOf(window);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | AsyncFlagFor(hwnd));
}

void Win32Desktop::Restore(WindowId window) {
  if (IsIconic(HwndOf(window))) ShowWindowAsync(HwndOf(window), SW_RESTORE);
}

void Win32Desktop::ApplyChangesAskedByOtherThreads() {
  // The asynchronous changes arrive as sent messages; peeking delivers them without taking any
  // posted message off the queue.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void Win32Desktop::BringToForeground(WindowId window) {
  const HWND hwnd = HwndOf(window);
  // Windows lets a thread take the foreground only while it shares input with the one that has it.
  const HWND foreground = GetForegroundWindow();
  const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  const DWORD self = GetCurrentThreadId();
  const bool attach = foregroundThread != 0 && foregroundThread != self &&
                      AttachThreadInput(self, foregroundThread, TRUE);
  if (IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
  SetForegroundWindow(hwnd);
  BringWindowToTop(hwnd);
  if (attach) AttachThreadInput(self, foregroundThread, FALSE);
}

bool Win32Desktop::IsInFront(WindowId window) {
  const HWND hwnd = HwndOf(window);
  for (HWND w = GetForegroundWindow(); w; w = GetWindow(w, GW_OWNER)) {
    if (w == hwnd) return true;
  }
  return false;
}

void Win32Desktop::PostLeftClick(WindowId window, int x, int y) {
  const HWND hwnd = window ? HwndOf(window) : GetDesktopWindow();
  const LPARAM position = MAKELPARAM(x, y);
  PostMessageW(hwnd, WM_MOUSEMOVE, 2, position);
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, position);
  PostMessageW(hwnd, WM_LBUTTONUP, 0, position);
}

}  // namespace jihe::platform
