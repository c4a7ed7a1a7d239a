#pragma once
// A phrase's preview after a click on the phrase list: a balloon at the pointer for five seconds,
// its variables drawn in their colour over the balloon's own text.
#include <windows.h>
#include <commctrl.h>

#include <string_view>

#include "library/row_rules.h"

namespace jihe::app {

class PreviewBalloonView {
 public:
  // Once every page has its controls, so that it lies above them.
  void Create(HWND panel);
  // The balloon for `row` at the pointer; nothing for a row without preview text.
  void Show(std::string_view row);
  void Hide();
  // NM_CUSTOMDRAW of the balloon; false for any other notification.
  bool OnNotify(const NMHDR& hdr, LRESULT& result) const;

 private:
  LRESULT PaintVariables(NMTTCUSTOMDRAW& draw) const;

  HWND panel_ = nullptr;
  HWND balloon_ = nullptr;
  library::BalloonText shown_;  // what it shows, with its variables
  POINT shownAt_{};             // the spot it was shown for
};

}  // namespace jihe::app
