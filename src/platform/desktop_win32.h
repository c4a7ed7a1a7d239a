#pragma once
// The desktop of the running session, through user32.
#include <windows.h>

#include "platform/desktop.h"

namespace jihe::platform {

inline HWND HwndOf(WindowId id) { return reinterpret_cast<HWND>(id); }
inline WindowId IdOf(HWND hwnd) { return reinterpret_cast<WindowId>(hwnd); }

class Win32Desktop : public Desktop {
 public:
  std::vector<WindowId> VisibleTopLevelWindows() override;
  std::string WindowText(WindowId window) override;
  std::string ClassName(WindowId window) override;
  Rect WindowRect(WindowId window) override;
  Rect VisibleFrame(WindowId window) override;
  bool IsVisible(WindowId window) override;
  bool Exists(WindowId window) override;
  bool IsMaximized(WindowId window) override;
  bool IsMinimized(WindowId window) override;
  std::vector<Monitor> Monitors() override;
  std::optional<Monitor> MonitorFromRect(const Rect& rect, bool nearest) override;
  void MoveWindowTo(WindowId window, int left, int top) override;
  void PlaceWindow(WindowId window, const Rect& rect) override;
  void ShowWindow(WindowId window) override;
  void HideWindow(WindowId window) override;
  void SetTopmost(WindowId window) override;
  void Restore(WindowId window) override;
  void ApplyChangesAskedByOtherThreads() override;
  void BringToForeground(WindowId window) override;
  bool IsInFront(WindowId window) override;
  void PostLeftClick(WindowId window, int x, int y) override;
};

}  // namespace jihe::platform
