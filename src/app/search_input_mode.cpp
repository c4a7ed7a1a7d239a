#include "app/search_input_mode.h"

namespace jihe::app {

bool TypesLetters(const platform::InputMode& mode) {
  return !mode.open || (mode.conversion & platform::kInputNative) == 0;
}

void SearchInputMode::BoxFocused(platform::WindowId box) {
  if (!options_.Get(settings::Option::搜索英文)) return;
  const std::optional<platform::InputMode> mode = method_.Mode(box);
  // Focused again without leaving, the box already types letters: the kept mode stays.
  if (!mode || TypesLetters(*mode)) return;
  platform::InputMode english = *mode;
  english.conversion &= ~(platform::kInputNative | platform::kInputFullShape);
  box_ = box;
  kept_ = *mode;  // kept even if the switch fails half-way: giving it back is always right
  method_.SetMode(box, english);
}

void SearchInputMode::GiveBack() {
  if (!kept_) return;
  method_.SetMode(box_, *kept_);
  kept_.reset();
}

}  // namespace jihe::app
