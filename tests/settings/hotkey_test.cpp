#include "settings/hotkey.h"

#include <gtest/gtest.h>

namespace jihe::settings {
namespace {

TEST(HotkeyTest, ParsesAndFormatsCombinations) {
  const struct {
    std::string_view text;
    std::optional<Hotkey> parsed;
    std::string_view formatted;  // how it is written back
  } kCases[] = {
      {"Ctrl+Alt+Space", Hotkey{kModCtrl | kModAlt, 0x20}, "Ctrl+Alt+Space"},
      {" alt + CTRL + space ", Hotkey{kModCtrl | kModAlt, 0x20}, "Ctrl+Alt+Space"},
      {"Control+Shift+q", Hotkey{kModCtrl | kModShift, 'Q'}, "Ctrl+Shift+Q"},
      {"Win+7", Hotkey{kModWin, '7'}, "Win+7"},
      {"F9", Hotkey{0, 0x78}, "F9"},
      {"Shift+F24", Hotkey{kModShift, 0x87}, "Shift+F24"},
      {"Ctrl+Alt+PageDown", Hotkey{kModCtrl | kModAlt, 0x22}, "Ctrl+Alt+PageDown"},
      {"Ctrl+Escape", Hotkey{kModCtrl, 0x1B}, "Ctrl+Esc"},
      {"", std::nullopt, ""},
      {"Ctrl+Alt", std::nullopt, ""},       // no key
      {"Q", std::nullopt, ""},              // would swallow a typed letter
      {"Shift+Q", std::nullopt, ""},        // so would this
      {"Ctrl+Q+W", std::nullopt, ""},       // two keys
      {"Ctrl+Ctrl+Q", std::nullopt, ""},
      {"Ctrl++Q", std::nullopt, ""},
      {"Ctrl+F25", std::nullopt, ""},
      {"Ctrl+空格", std::nullopt, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseHotkey(c.text), c.parsed) << c.text;
    if (c.parsed) {
      EXPECT_EQ(FormatHotkey(*c.parsed), c.formatted) << c.text;
    }
  }
  EXPECT_EQ(FormatHotkey(DefaultHotkey()), kDefaultHotkeyText);
  EXPECT_NE(HotkeyTakenMessage({kModWin, 'Q'}).find("Win+Q"), std::string::npos);
  // At start-up there is no earlier combination that stays in use.
  EXPECT_EQ(HotkeyTakenAtStartMessage({kModWin, 'Q'}), "呼出搜索的热键 Win+Q 已被其他程序占用，请在“其他设置”里换一个");
}

}  // namespace
}  // namespace jihe::settings
