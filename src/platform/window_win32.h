#pragma once
// Window base class, handle owners and small helpers shared by the program's windows.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace jihe::platform {

// A move-only owner of one handle, in the manner of wil::unique_any.
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Type get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  Type release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(Type h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Type h_ = Traits::Invalid();
};

template <typename T>
struct GdiTraits {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteObject(h); }
};
struct KernelTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyMenu(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyIcon(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};

using UniqueFont = UniqueHandle<GdiTraits<HFONT>>;
using UniqueBrush = UniqueHandle<GdiTraits<HBRUSH>>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

// Binds `this` at WM_NCCREATE and hands every message to HandleMessage.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND hwnd() const { return hwnd_; }

 protected:
  static void RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background);
  // Creates the window; HandleMessage sees its creation messages already.
  HWND CreateWindowOf(DWORD exStyle, const wchar_t* className, std::string_view title, DWORD style,
                      int x, int y, int width, int height, HWND parentOrOwner, HMENU menu);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept;
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

// ---- DPI ----------------------------------------------------------------------------------
UINT DpiOf(HWND hwnd);
inline int Scale(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), 96); }
inline int Unscale(int pixels, UINT dpi) { return MulDiv(pixels, 96, static_cast<int>(dpi)); }
// The outer size of a window whose client area is `clientWidth` × `clientHeight` pixels.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu,
                        UINT dpi);
// The user-interface font at this DPI (the system's message font).
UniqueFont CreateUiFont(UINT dpi, bool underline = false);

// ---- monitors -----------------------------------------------------------------------------
// The program's windows open on the monitor of its home window (the Main panel), or on the
// primary monitor while there is none.
void SetHomeWindow(HWND window);
// The whole area (or the work area) of the monitor nearest to `window`; of the home window's
// monitor when `window` is null.
RECT MonitorAreaOf(HWND window, bool workArea);
// The top-left corner that centres a window of `width` × `height` on `area`, kept inside it.
POINT CentredIn(const RECT& area, int width, int height);

// ---- text and messages --------------------------------------------------------------------
void SetWindowTextUtf8(HWND hwnd, std::string_view text);
std::string WindowTextUtf8(HWND hwnd);
// The program's information message: title "友情提醒", information icon, OK.
void ShowInfoMessage(HWND owner, std::string_view text);
// Opens an address in the default browser; false when the shell could not.
bool OpenAddress(std::string_view address);

// Creates a child control with the given font; positions are in pixels.
// A control on `parent`, above its earlier children: later controls lie above earlier ones, so
// a list covers the strip it sits in and not the other way round.
HWND AddControlOnTop(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle, int id);

// Places `control` at a rectangle in design pixels (96 DPI), scaled to `dpi`.
void PlaceDesign(HWND control, UINT dpi, int left, int top, int width, int height);

// Pops `menu` up at the pointer; its commands go to `owner`.
void PopUpMenuAtCursor(HWND owner, HMENU menu);

HWND CreateControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                   DWORD exStyle, int id, HFONT font);

}  // namespace jihe::platform

namespace jihe::platform {
// The colour of a tab control's page area as the current theme paints it, so that labels and
// boxes placed on a page can share its background.
COLORREF TabBodyColour(HWND tabControl);
}  // namespace jihe::platform
