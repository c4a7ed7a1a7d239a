#pragma once
// A library page's group strip as a control: a tab per group, and the "≡" button over the right
// end of its tab row that opens the group menu. The strip's scroll arrows (an up-down child it
// makes once the tabs overflow, which team tabs make the usual case) are kept left of the button,
// wherever the strip places them, so that they can be clicked.
#include <windows.h>

#include <string>
#include <vector>

namespace jihe::app {

class GroupStripView {
 public:
  HWND CreateStrip(HWND panel, int id);
  HWND CreateButton(int id);
  HWND strip() const { return strip_; }
  HWND button() const { return button_; }

  // The tabs with these captions, the one at `selected` shown (the first when it is -1).
  void SetTabs(const std::vector<std::string>& captions, int selected);
  // After the strip or the button moved, or the strip made its arrows.
  void KeepArrowsClear();
  // WM_DRAWITEM: the button, a small framed "≡"; false for another control.
  bool DrawButton(const DRAWITEMSTRUCT& item, UINT dpi) const;

 private:
  int ArrowsRight() const;
  static LRESULT CALLBACK ArrowsHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);

  HWND panel_ = nullptr;
  HWND strip_ = nullptr;
  HWND button_ = nullptr;
  HWND arrows_ = nullptr;  // once the strip has made them
};

}  // namespace jihe::app
