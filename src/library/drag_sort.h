#pragma once
// Drag-sort mode of a library page: a row taken with the left button, carried over the list and
// dropped onto another row (or below the last one) moves there. This decides what each mouse
// event means; the page's view does the capture, the pointer and the label that follows it.
#include <optional>
#include <string>

#include "library/team_groups.h"

namespace jihe::library {

class DragSort {
 public:
  bool on() const { return on_; }
  void Enter() { on_ = true; }
  void Leave() {
    on_ = false;
    Reset();
  }
  // The drag ends: nothing armed, no label.
  void Reset() {
    armed_ = false;
    label_.clear();
  }

  // Left button down on the list: a drag may start.
  void ButtonDown() {
    if (on_) armed_ = true;
  }
  bool armed() const { return on_ && armed_; }

  // What the pointer shows during a drag.
  struct Pointer {
    bool droppable = false;  // over the list: the arrow; elsewhere "no"
    bool sizeLabel = false;  // the label shows label() at its width; otherwise it only follows
  };
  // The pointer moved; nothing when no drag is under way (the list handles the move itself). The
  // first move over the list takes the selected row's text for the label, the next ones show it.
  std::optional<Pointer> Moved(bool buttonDown, bool overList, const std::string* selectedRow);
  const std::string& label() const { return label_; }

  // The button released: the drag ends, and the answer says what changes.
  struct Drop {
    bool clearSelection = false;        // released over the list: its selection goes
    std::optional<std::string> refusal;  // a team group is shown: nothing moves
    std::optional<int> from, to;         // the rows to move (to -1: below the last row)
  };
  // `armed`: as armed() answered before the list saw the release (its click resets the drag);
  // `from`: the selected row (-1 none); `to`: the row under the pointer (-1 below the rows);
  // `rows`: how many the shown group has.
  Drop Released(bool armed, bool overList, int from, int to, size_t rows, std::optional<TabRef> shown);

  // The list lost the capture to another window while the button is up: the drag is over.
  // True when it was one.
  bool CaptureLost(bool toOther, bool buttonDown);

 private:
  bool on_ = false;
  bool armed_ = false;
  std::string label_;
};

}  // namespace jihe::library
