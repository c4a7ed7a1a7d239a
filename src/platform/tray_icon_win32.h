#pragma once
// One notification-area icon with a tip and a temporary balloon.
#include <windows.h>
#include <shellapi.h>

#include <string_view>

namespace jihe::platform {

class TrayIcon {
 public:
  TrayIcon() = default;
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;
  ~TrayIcon() { Remove(); }

  // The icon sends `callbackMessage` to `owner` with the mouse message as the second parameter.
  bool Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, std::string_view tip,
           UINT balloonTimerId);
  // The notification area was rebuilt (the shell restarted): put the icon back.
  bool AddAgain();
  // Shows the balloon and clears it `durationMs` later; a newer balloon replaces the pending clear.
  bool ShowBalloon(std::string_view title, std::string_view text, DWORD iconKind, UINT durationMs);
  // Run from the owner's WM_TIMER with the balloon timer's id.
  void OnBalloonTimer();
  void Remove();
  bool added() const { return added_; }

 private:
  NOTIFYICONDATAW data_{};
  UINT balloonTimerId_ = 0;
  bool added_ = false;
};

}  // namespace jihe::platform
