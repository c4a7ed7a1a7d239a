#pragma once
// Key presses synthesized with SendInput.
#include "platform/keyboard.h"

namespace jihe::platform {

class Win32Keyboard : public Keyboard {
 public:
  void PressKeyCombination(Key key, Key modifier1, Key modifier2 = Key::None, Key modifier3 = Key::None) override;
  void PressKey(Key key) override;
};

}  // namespace jihe::platform
