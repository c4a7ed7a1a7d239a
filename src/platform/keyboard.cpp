#include "platform/keyboard.h"

namespace jihe::platform {

std::vector<KeyEvent> KeyCombinationEvents(Key key, Key modifier1, Key modifier2, Key modifier3) {
  std::vector<KeyEvent> events;
  for (bool up : {false, true}) {
    for (Key modifier : {modifier3, modifier2, modifier1}) {
      if (modifier != Key::None) events.push_back({modifier, up});
    }
    events.push_back({key, up});
  }
  return events;
}

}  // namespace jihe::platform
