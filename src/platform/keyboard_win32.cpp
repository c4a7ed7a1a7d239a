#include "platform/keyboard_win32.h"

#include <windows.h>

namespace jihe::platform {

namespace {

// One SendInput call: the events reach the input stream together, so a key the user presses
// meanwhile cannot fall between Ctrl and V.
void Send(const std::vector<KeyEvent>& events) {
  std::vector<INPUT> inputs;
  for (const KeyEvent& e : events) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(e.key);
    in.ki.wScan = 0;
    in.ki.dwFlags = e.up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

void Win32Keyboard::PressKeyCombination(Key key, Key modifier1, Key modifier2, Key modifier3) {
  Send(KeyCombinationEvents(key, modifier1, modifier2, modifier3));
}

void Win32Keyboard::PressKey(Key key) { Send({{key, false}, {key, true}}); }

}  // namespace jihe::platform
