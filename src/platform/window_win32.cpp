#include "platform/window_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>

#include "platform/utf16.h"

namespace jihe::platform {

Window::~Window() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void Window::RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc)) return;
  wc.lpfnWndProc = &Window::Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
}

HWND Window::CreateWindowOf(DWORD exStyle, const wchar_t* className, std::string_view title,
                            DWORD style, int x, int y, int width, int height, HWND parentOrOwner,
                            HMENU menu) {
  return CreateWindowExW(exStyle, className, Widen(title).c_str(), style, x, y, width, height,
                         parentOrOwner, menu, GetModuleHandleW(nullptr), this);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT result = self->HandleMessage(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

// ---- DPI ----------------------------------------------------------------------------------
namespace {
template <typename F>
F LoadUser32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}
}  // namespace

UINT DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = LoadUser32<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && hwnd) {
    UINT dpi = getDpiForWindow(hwnd);
    if (dpi) return dpi;
  }
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu,
                        UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = LoadUser32<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rc{0, 0, clientWidth, clientHeight};
  if (adjustForDpi)
    adjustForDpi(&rc, style, hasMenu, exStyle, dpi);
  else
    AdjustWindowRectEx(&rc, style, hasMenu, exStyle);
  return {rc.right - rc.left, rc.bottom - rc.top};
}

UniqueFont CreateUiFont(UINT dpi, bool underline) {
  using SpiForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto spiForDpi = LoadUser32<SpiForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  LOGFONTW lf{};
  if (spiForDpi && spiForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi)) {
    lf = ncm.lfMessageFont;
  } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    lf = ncm.lfMessageFont;
    lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi), static_cast<int>(DpiOf(nullptr)));
  } else {
    lf.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
    lf.lfCharSet = DEFAULT_CHARSET;
  }
  // The layout leaves 16 to 24 pixels per line at 96 DPI: keep the text at 9 points.
  lf.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
  lf.lfWidth = 0;
  lf.lfUnderline = underline ? TRUE : FALSE;
  lf.lfQuality = CLEARTYPE_QUALITY;
  return UniqueFont(CreateFontIndirectW(&lf));
}

// ---- text and messages --------------------------------------------------------------------
void SetWindowTextUtf8(HWND hwnd, std::string_view text) { SetWindowTextW(hwnd, Widen(text).c_str()); }

std::string WindowTextUtf8(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length > 0 ? length : 0));
  return Narrow(text);
}

namespace {
std::atomic<HWND> homeWindow{nullptr};
}  // namespace

void SetHomeWindow(HWND window) { homeWindow = window; }

RECT MonitorAreaOf(HWND window, bool workArea) {
  if (!window) window = homeWindow.load();
  const HMONITOR monitor = window && IsWindow(window) ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                                                     : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) return workArea ? info.rcWork : info.rcMonitor;
  return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

POINT CentredIn(const RECT& area, int width, int height) {
  const auto centre = [](LONG from, LONG to, int size) {
    return std::max<LONG>(from, std::min<LONG>(from + (to - from - size) / 2, to - size));
  };
  return {centre(area.left, area.right, width), centre(area.top, area.bottom, height)};
}

void ShowInfoMessage(HWND owner, std::string_view text) {
  MessageBoxW(owner, Widen(text).c_str(), L"友情提醒", MB_OK | MB_ICONINFORMATION);
}

bool OpenAddress(std::string_view address) {
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

HWND CreateControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                   DWORD exStyle, int id, HFONT font) {
  HWND hwnd = CreateWindowExW(exStyle, className, Widen(text).c_str(), style | WS_CHILD, 0, 0, 0, 0,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd && font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

}  // namespace jihe::platform

namespace jihe::platform {

COLORREF TabBodyColour(HWND tabControl) {
  RECT rc{};
  GetClientRect(tabControl, &rc);
  if (rc.right <= 4 || rc.bottom <= 4) return GetSysColor(COLOR_BTNFACE);
  HDC screen = GetDC(tabControl);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(tabControl, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  RECT page = rc;
  SendMessageW(tabControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  COLORREF colour = GetPixel(dc, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(tabControl, screen);
  return colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
}

HWND AddControlOnTop(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle, int id) {
  HWND h = CreateControl(parent, cls, text, style | WS_CLIPSIBLINGS, exStyle, id, nullptr);
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return h;
}

void PlaceDesign(HWND control, UINT dpi, int left, int top, int width, int height) {
  SetWindowPos(control, nullptr, Scale(left, dpi), Scale(top, dpi), Scale(std::max(width, 0), dpi),
               Scale(std::max(height, 0), dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

void PopUpMenuAtCursor(HWND owner, HMENU menu) {
  POINT pt{};
  GetCursorPos(&pt);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
}

}  // namespace jihe::platform
