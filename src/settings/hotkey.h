#pragma once
// The global key combination that calls up the panel, as the agent writes it ("Ctrl+Alt+Space")
// and as RegisterHotKey takes it: modifier flags plus one virtual key.
#include <optional>
#include <string>
#include <string_view>

namespace jihe::settings {

// The values of RegisterHotKey's MOD_* flags, so the Windows side passes them on unchanged.
inline constexpr unsigned kModAlt = 0x1;
inline constexpr unsigned kModCtrl = 0x2;
inline constexpr unsigned kModShift = 0x4;
inline constexpr unsigned kModWin = 0x8;

inline constexpr char kHotkeySection[] = "热键";
inline constexpr char kHotkeyKey[] = "呼出";
inline constexpr char kDefaultHotkeyText[] = "Ctrl+Alt+Space";

struct Hotkey {
  unsigned modifiers = 0;  // kMod* flags
  unsigned virtualKey = 0; // a Windows virtual-key code
  bool operator==(const Hotkey&) const = default;
};

// Reads "Ctrl+Alt+Space", "ctrl + shift + F9", "Win+Q": modifiers and one key, in any order and
// letter case, joined by "+". Nothing for text that names no key, an unknown name, a key given
// twice, or a combination that would take over ordinary typing (a letter, digit or other key with
// no Ctrl, Alt or Win; function keys may stand alone).
std::optional<Hotkey> ParseHotkey(std::string_view text);
// The text of a combination, modifiers first in the order Ctrl, Alt, Shift, Win.
std::string FormatHotkey(Hotkey hotkey);
Hotkey DefaultHotkey();

// The notice when the system refuses a combination (another program holds it); the one in use
// stays.
std::string HotkeyTakenMessage(Hotkey refused);
// At start-up no other combination of ours is held: the agent is sent to the setting instead.
std::string HotkeyTakenAtStartMessage(Hotkey refused);

}  // namespace jihe::settings
