#pragma once
// The windows of the desktop as the follow loop and the send engine see them: visible top-level
// windows with their text, class and rectangle, and the few things done to them. The Win32 side is
// desktop_win32.cpp; tests use an in-memory desktop.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jihe::platform {

// A window handle as a number, so portable code can hold one; 0 is no window.
using WindowId = std::uintptr_t;

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
};

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

// True when the two rectangles share at least one pixel.
inline bool Meets(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

struct Monitor {
  Rect area;      // the whole monitor, in desktop pixels
  Rect workArea;  // the part that the taskbar and docked bars leave free
  bool primary = false;
  bool operator==(const Monitor&) const = default;
};

// The monitor of `monitors` that holds most of `rect`. None when `rect` meets no monitor, unless
// `nearest` is set: then the one closest to it. None when there is no monitor at all.
const Monitor* MonitorOfRect(const std::vector<Monitor>& monitors, const Rect& rect, bool nearest);

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Top-level windows with the visible style, top of the Z-order first.
  virtual std::vector<WindowId> VisibleTopLevelWindows() = 0;
  // Empty for a window that no longer exists.
  virtual std::string WindowText(WindowId window) = 0;
  virtual std::string ClassName(WindowId window) = 0;
  // The window rectangle in screen pixels; all zero for a window that no longer exists.
  virtual Rect WindowRect(WindowId window) = 0;
  // What of the window is drawn: on Windows 10 and later a resizable window's rectangle holds an
  // invisible border for resizing on its left, right and bottom.
  virtual Rect VisibleFrame(WindowId window) { return WindowRect(window); }
  virtual bool IsVisible(WindowId window) = 0;
  virtual bool Exists(WindowId window) = 0;
  virtual bool IsMaximized(WindowId window) = 0;
  // Minimised to the taskbar; a window maximised before it was minimised is only this meanwhile.
  virtual bool IsMinimized(WindowId window) = 0;
  // Every monitor of the desktop.
  virtual std::vector<Monitor> Monitors() = 0;
  // The monitor that holds most of `rect`, as MonitorOfRect does over Monitors().
  virtual std::optional<Monitor> MonitorFromRect(const Rect& rect, bool nearest) = 0;

  // These may be called from any thread. A window of another thread is changed without waiting
  // for that thread, so a worker never blocks on a busy UI thread.
  virtual void MoveWindowTo(WindowId window, int left, int top) = 0;  // keeps the size
  virtual void PlaceWindow(WindowId window, const Rect& rect) = 0;    // moves and sizes
  virtual void ShowWindow(WindowId window) = 0;
  virtual void HideWindow(WindowId window) = 0;
  virtual void SetTopmost(WindowId window) = 0;
  virtual void Restore(WindowId window) = 0;
  // Carries out, on the calling thread, the changes other threads asked for its windows without
  // waiting. A worker's stop calls it so nothing the worker asked for lands after the stop.
  virtual void ApplyChangesAskedByOtherThreads() = 0;

  // Asks for the window to become the foreground window; the answer is not reported.
  virtual void BringToForeground(WindowId window) = 0;
  // Whether the window, or a window it owns, is the foreground window: the one keys go to.
  virtual bool IsInFront(WindowId window) = 0;
  // Posts mouse move, left button down and up at (x, y) of the window's client area; the desktop
  // window takes them when `window` is 0.
  virtual void PostLeftClick(WindowId window, int x, int y) = 0;
};

}  // namespace jihe::platform
