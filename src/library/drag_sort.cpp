#include "library/drag_sort.h"

#include "library/row_rules.h"

namespace jihe::library {

std::optional<DragSort::Pointer> DragSort::Moved(bool buttonDown, bool overList, const std::string* selectedRow) {
  if (!armed() || !buttonDown) return std::nullopt;
  // Over the panel's own surface nothing can be dropped.
  if (!overList) return Pointer{false, false};
  if (label_.empty()) {
    if (selectedRow) label_ = DragLabelText(*selectedRow);
    return Pointer{true, false};
  }
  return Pointer{true, true};
}

DragSort::Drop DragSort::Released(bool armed, bool overList, int from, int to, size_t rows, std::optional<TabRef> shown) {
  Reset();
  Drop drop;
  if (!armed || !overList) return drop;  // released over the panel: nothing moves
  drop.clearSelection = true;
  // Drag-sort was turned on in an own group, and a team group is shown now.
  if (from >= 0 && from != to && shown && (drop.refusal = ChangeRefusal(*shown))) return drop;
  // A drop with no row taken, in a list of one row, or onto the dragged row itself moves nothing
  // and leaves no row selected.
  if (!shown || from < 0 || rows < 2 || from == to) return drop;
  drop.from = from;
  drop.to = to;
  return drop;
}

bool DragSort::CaptureLost(bool toOther, bool buttonDown) {
  if (!armed() || !toOther || buttonDown) return false;
  Reset();
  return true;
}

}  // namespace jihe::library
