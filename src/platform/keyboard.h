#pragma once
// Synthesized key presses, as a typist's: the chat programs are driven only through these and the
// clipboard.
#include <cstdint>
#include <vector>

namespace jihe::platform {

enum class Key : std::uint8_t { None = 0, Enter = 0x0D, Ctrl = 0x11, V = 0x56 };

struct KeyEvent {
  Key key;
  bool up;
  bool operator==(const KeyEvent&) const = default;
};

// The events of a key combination: the modifiers go down from the last to the first, then the key;
// they come up in the same order, the key last. Ctrl+V is Ctrl down, V down, Ctrl up, V up.
std::vector<KeyEvent> KeyCombinationEvents(Key key, Key modifier1, Key modifier2 = Key::None,
                                           Key modifier3 = Key::None);

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // One batch of events with no delay between them (scan code 0, the key-up flag on releases).
  virtual void PressKeyCombination(Key key, Key modifier1, Key modifier2 = Key::None,
                                   Key modifier3 = Key::None) = 0;
  virtual void PressKey(Key key) = 0;
};

}  // namespace jihe::platform
