#include "webchat/web_chat_window_win32.h"

#include <ole2.h>

#include <memory>

#include "library/preview_layout.h"
#include "platform/window_win32.h"
#include "webchat/browser_host_win32.h"
#include "webchat/web_chat_address.h"

namespace jihe::webchat {
namespace {

using platform::Scale;

constexpr int kDesignWidth = 962;  // outer size
constexpr int kDesignHeight = 630;
constexpr int kBrowserOrigin = 1;
constexpr int kBrowserInset = 30;  // the browser is this much smaller than the window

class WebChat;
WebChat* g_keyTarget = nullptr;  // the window whose keys the hook below looks at
HHOOK g_keyHook = nullptr;

class WebChat : public platform::Window {
 public:
  bool Create() {
    const HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                     IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    RegisterWindowClass(kWebChatWindowClass, icon, GetSysColorBrush(COLOR_WINDOW));
    oleReady_ = SUCCEEDED(OleInitialize(nullptr));
    RequestNewestDocumentMode();  // before the first control of the process reads it
    dpi_ = platform::DpiOf(nullptr);
    // Fixed border with a title bar, a minimise and a close button; always on top, in the taskbar.
    constexpr DWORD kStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    // Centred in the work area of the panel's monitor.
    const RECT area = platform::MonitorAreaOf(nullptr, true);
    const int width = Scale(kDesignWidth, dpi_), height = Scale(kDesignHeight, dpi_);
    const POINT at = platform::CentredIn(area, width, height);
    if (!CreateWindowOf(WS_EX_TOPMOST | WS_EX_APPWINDOW, kWebChatWindowClass, kWebChatTitle, kStyle, at.x, at.y,
                        width, height, nullptr, nullptr)) {
      if (oleReady_) OleUninitialize();
      oleReady_ = false;
      return false;
    }
    if (const UINT dpi = platform::DpiOf(hwnd()); dpi != dpi_) {
      dpi_ = dpi;
      const int w = Scale(kDesignWidth, dpi_), h = Scale(kDesignHeight, dpi_);
      SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, w, h,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const RECT rect = BrowserRect();
    if (!oleReady_ || !browser_.Create(hwnd(), rect, WebChatStartAddress())) ShowNotice();
    g_keyTarget = this;
    if (!g_keyHook)
      g_keyHook = SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, GetCurrentThreadId());
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    browser_.Focus();
    return true;
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    switch (msg) {
      case WM_SIZE:
        if (wp != SIZE_MINIMIZED) PlaceContent();
        return 0;
      case WM_KEYDOWN:
        if (wp == VK_ESCAPE) {
          PostMessageW(hwnd(), WM_CLOSE, 0, 0);
          return 0;
        }
        break;
      case WM_SETFOCUS:
        browser_.Focus();
        return 0;
      case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      case WM_DPICHANGED: {
        dpi_ = HIWORD(wp);
        const auto* r = reinterpret_cast<const RECT*>(lp);
        if (notice_) {
          font_ = platform::CreateUiFont(dpi_);
          SendMessageW(notice_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
        }
        SetWindowPos(hwnd(), nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
      }
      case WM_DESTROY:
        browser_.Destroy();
        if (g_keyTarget == this) {
          g_keyTarget = nullptr;
          if (g_keyHook) UnhookWindowsHookEx(g_keyHook);
          g_keyHook = nullptr;
        }
        if (oleReady_) OleUninitialize();
        oleReady_ = false;
        return 0;
    }
    return Default(msg, wp, lp);
  }

 private:
  RECT BrowserRect() const {
    RECT outer{}, client{};
    GetWindowRect(hwnd(), &outer);
    GetClientRect(hwnd(), &client);
    const auto r = library::InsetChildRect(
        {outer.right - outer.left, outer.bottom - outer.top}, {client.right, client.bottom},
        Scale(kBrowserOrigin, dpi_), Scale(kBrowserOrigin, dpi_), Scale(kBrowserInset, dpi_));
    return {r.x, r.y, r.x + r.width, r.y + r.height};
  }

  void ShowNotice() {
    font_ = platform::CreateUiFont(dpi_);
    notice_ = platform::CreateControl(hwnd(), L"STATIC", kNoWebViewNotice, WS_VISIBLE | SS_CENTER,
                                      0, 1, font_.get());
    PlaceContent();
  }

  void PlaceContent() {
    const RECT rect = BrowserRect();
    browser_.SetRect(rect);
    if (notice_) {
      const int top = rect.top + Scale(40, dpi_);
      MoveWindow(notice_, rect.left, top, rect.right - rect.left, Scale(24, dpi_), TRUE);
    }
  }

  // Keys inside the window: Esc closes it; the page gets the others first, which it needs for
  // Tab, Delete and Ctrl+C / Ctrl+V in its input boxes. The program's message loop is not ours,
  // so a message hook of this thread does it while the window is open.
  static LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE && g_keyTarget && g_keyTarget->hwnd()) {
      MSG* msg = reinterpret_cast<MSG*>(lp);
      const HWND window = g_keyTarget->hwnd();
      if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
          (msg->hwnd == window || IsChild(window, msg->hwnd))) {
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
          PostMessageW(window, WM_CLOSE, 0, 0);
          msg->message = WM_NULL;
        } else if (g_keyTarget->browser_.PreTranslateKey(msg)) {
          msg->message = WM_NULL;
        }
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }

  BrowserHost browser_;
  HWND notice_ = nullptr;
  platform::UniqueFont font_;
  UINT dpi_ = 96;
  bool oleReady_ = false;
};

// Never destroyed at exit: by then the program has shut OLE down, and an open page must not be
// released after that. CloseWebChatWindow ends it while OLE is still there.
std::unique_ptr<WebChat>& Current() {
  static auto* window = new std::unique_ptr<WebChat>();
  return *window;
}

}  // namespace

void OpenWebChatWindow() {
  auto& current = Current();
  if (current && current->hwnd()) {
    if (IsIconic(current->hwnd())) ShowWindow(current->hwnd(), SW_RESTORE);
    SetForegroundWindow(current->hwnd());
    return;
  }
  current = std::make_unique<WebChat>();  // a closed one goes now
  if (!current->Create()) current.reset();
}

void CloseWebChatWindow() {
  auto& current = Current();
  if (current && current->hwnd()) DestroyWindow(current->hwnd());
  current.reset();
}

HWND WebChatWindow() {
  const auto& current = Current();
  return current ? current->hwnd() : nullptr;
}

}  // namespace jihe::webchat
