#include "settings/hotkey.h"

#include <array>
#include <utility>

namespace jihe::settings {

namespace {

constexpr unsigned kF1 = 0x70;
constexpr unsigned kF24 = 0x87;

// Named keys beyond letters, digits and F1-F24 (Windows virtual-key codes).
constexpr std::array<std::pair<std::string_view, unsigned>, 16> kNamedKeys = {{
    {"Space", 0x20},  {"Enter", 0x0D},    {"Tab", 0x09},    {"Esc", 0x1B},
    {"Insert", 0x2D}, {"Delete", 0x2E},   {"Home", 0x24},   {"End", 0x23},
    {"PageUp", 0x21}, {"PageDown", 0x22}, {"Left", 0x25},   {"Up", 0x26},
    {"Right", 0x27},  {"Down", 0x28},     {"`", 0xC0},      {"Pause", 0x13},
}};

constexpr std::array<std::pair<std::string_view, unsigned>, 4> kModifiers = {{
    {"Ctrl", kModCtrl}, {"Alt", kModAlt}, {"Shift", kModShift}, {"Win", kModWin},
}};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<unsigned> KeyOfName(std::string_view name) {
  if (name.size() == 1) {
    const char c = Upper(name[0]);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<unsigned>(c);
  }
  if (name.size() >= 2 && name.size() <= 3 && Upper(name[0]) == 'F') {
    unsigned n = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n >= 1 && n <= 24) return kF1 + n - 1;
    return std::nullopt;
  }
  for (const auto& [keyName, vk] : kNamedKeys)
    if (SameIgnoringCase(name, keyName)) return vk;
  if (SameIgnoringCase(name, "Escape")) return 0x1B;
  if (SameIgnoringCase(name, "Del")) return 0x2E;
  return std::nullopt;
}

std::string NameOfKey(unsigned vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= kF1 && vk <= kF24) return "F" + std::to_string(vk - kF1 + 1);
  for (const auto& [keyName, code] : kNamedKeys)
    if (code == vk) return std::string(keyName);
  return {};
}

}  // namespace

std::optional<Hotkey> ParseHotkey(std::string_view text) {
  Hotkey hotkey;
  bool haveKey = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find('+', start);
    if (plus == std::string_view::npos) plus = text.size();
    const std::string_view part = Trim(text.substr(start, plus - start));
    start = plus + 1;
    if (part.empty()) return std::nullopt;
    bool modifier = false;
    for (const auto& [name, flag] : kModifiers) {
      if (SameIgnoringCase(part, name) || (flag == kModCtrl && SameIgnoringCase(part, "Control"))) {
        if (hotkey.modifiers & flag) return std::nullopt;
        hotkey.modifiers |= flag;
        modifier = true;
      }
    }
    if (modifier) continue;
    const std::optional<unsigned> key = KeyOfName(part);
    if (!key || haveKey) return std::nullopt;
    hotkey.virtualKey = *key;
    haveKey = true;
  }
  if (!haveKey) return std::nullopt;
  const bool functionKey = hotkey.virtualKey >= kF1 && hotkey.virtualKey <= kF24;
  if (!functionKey && !(hotkey.modifiers & (kModCtrl | kModAlt | kModWin))) return std::nullopt;
  return hotkey;
}

std::string FormatHotkey(Hotkey hotkey) {
  std::string out;
  for (const auto& [name, flag] : kModifiers) {
    if (hotkey.modifiers & flag) {
      out += name;
      out += '+';
    }
  }
  return out + NameOfKey(hotkey.virtualKey);
}

Hotkey DefaultHotkey() { return {kModCtrl | kModAlt, 0x20}; }

std::string HotkeyTakenMessage(Hotkey refused) {
  return "热键 " + FormatHotkey(refused) + " 已被其他程序占用，请换一个组合。原来的热键继续有效。";
}

std::string HotkeyTakenAtStartMessage(Hotkey refused) {
  return "呼出搜索的热键 " + FormatHotkey(refused) + " 已被其他程序占用，请在“其他设置”里换一个";
}

}  // namespace jihe::settings
