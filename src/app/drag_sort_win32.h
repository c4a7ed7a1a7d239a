#pragma once
// Drag-sort mode on a library page's list, as the agent sees it: the list's text in the mode's
// colour, the "退出拖放模式" button, the capture while a row is carried, the pointer, and the label
// with the row's text that follows it. What each event means is library::DragSort's.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "library/drag_sort.h"

namespace jihe::app {

// The text of a library page's rows, and of the lines of its "≡" button.
inline constexpr COLORREF kRowText = RGB(64, 128, 128);

class DragSortView {
 public:
  void Attach(HWND panel, HWND list, HWND leaveButton);
  // The label, made after every page's controls so that it lies above them all.
  void CreateLabel();
  HWND label() const { return label_; }

  bool on() const { return drag_.on(); }
  void Enter(bool pageShown);
  void Leave();
  // The drag ends (a click, a release): no label, no capture.
  void Reset();
  // LVN_BEGINDRAG: the list starts its own drag; an armed one keeps the mouse.
  void BeginDrag();

  // A mouse message of the list in drag-sort mode, with `passOn` its default handling.
  LRESULT OnListMessage(UINT msg, WPARAM wp, LPARAM lp, const std::function<LRESULT()>& passOn);

  library::DragSort& state() { return drag_; }
  // The text of the list's selected row, for the label.
  std::function<std::optional<std::string>()> selectedRow;
  // The button was released: armed as before the list's own handling, over the list or not, and
  // the row under the pointer (-1 below the rows).
  std::function<void(bool armed, bool overList, int to)> onRelease;

 private:
  void Moved(POINT inList);
  bool OverList(POINT inList) const;

  HWND panel_ = nullptr;
  HWND list_ = nullptr;
  HWND leaveButton_ = nullptr;
  HWND label_ = nullptr;
  library::DragSort drag_;
};

}  // namespace jihe::app
