#pragma once
// A modal window built in code from a table of controls: the phrase and command editors and the
// input box. It runs as a dialog (the owner is disabled while it is open, Tab moves between the
// controls, Esc closes it), with its controls placed in design pixels scaled to the DPI.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "platform/window_win32.h"

namespace jihe::library {

struct FormControl {
  const wchar_t* className;
  std::string_view text;
  DWORD style;    // WS_CHILD | WS_VISIBLE are added
  DWORD exStyle;
  int id;
  int left, top, width, height;  // design pixels inside the client area
};

struct FormFrame {
  std::string_view title;
  int width = 0, height = 0;  // outer size in design pixels
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  DWORD exStyle = 0;
  bool centreOnScreen = true;  // otherwise centred over the owner
};

class ModalForm {
 public:
  virtual ~ModalForm() = default;
  // Returns the code passed to End, or IDCANCEL when the form was closed by Esc or its close box.
  INT_PTR Run(HWND owner, const FormFrame& frame, std::span<const FormControl> controls);

 protected:
  virtual void OnInit() {}
  // A command from a control; true when handled. IDCANCEL (Esc, close box) ends the form unless
  // handled here.
  virtual bool OnControl(int id, int code) { return false; }
  // Colours of static controls; nullptr keeps the default.
  virtual HBRUSH OnStaticColour(HDC dc, HWND control) { return nullptr; }

  HWND hwnd() const { return dlg_; }
  HWND Item(int id) const { return GetDlgItem(dlg_, id); }
  std::string ItemText(int id) const { return platform::WindowTextUtf8(Item(id)); }
  void SetItemText(int id, std::string_view text) const { platform::SetWindowTextUtf8(Item(id), text); }
  void End(INT_PTR code) { EndDialog(dlg_, code); }
  void Message(std::string_view text) const { platform::ShowInfoMessage(dlg_, text); }

 private:
  static INT_PTR CALLBACK Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  void Build();

  HWND dlg_ = nullptr;
  const FormFrame* frame_ = nullptr;
  std::span<const FormControl> controls_;
  platform::UniqueFont font_;
  platform::UniqueFont linkFont_;
};

// Controls with ids from 900 to 999 are clickable labels, drawn underlined in blue.
inline constexpr bool IsLinkId(int id) { return id >= 900 && id < 1000; }

}  // namespace jihe::library
