#include "app/search_input_mode.h"

#include <gtest/gtest.h>

#include "fakes/fake_input_method.h"

namespace jihe::app {
namespace {

using platform::InputMode;
using platform::kInputFullShape;
using platform::kInputNative;
constexpr platform::WindowId kBox = 42;
constexpr std::uint32_t kSymbol = 0x0400;  // IME_CMODE_SYMBOL: Chinese punctuation, left alone

TEST(SearchInputModeTest, TheBoxGetsEnglishAndTheAgentsModeComesBack) {
  const InputMode chinese{true, kInputNative | kInputFullShape | kSymbol, 8};
  const struct {
    const char* name;
    std::optional<InputMode> agent;
    bool option;
    std::optional<InputMode> inBox;  // nothing: the mode is not touched
  } kCases[] = {
      {"Chinese mode", chinese, true, InputMode{true, kSymbol, 8}},
      {"option off", chinese, false, std::nullopt},
      {"input method closed", InputMode{false, kInputNative, 0}, true, std::nullopt},
      {"already English", InputMode{true, kInputFullShape, 0}, true, std::nullopt},
      {"no input context", std::nullopt, true, std::nullopt},
  };
  for (const auto& c : kCases) {
    testing::FakeInputMethod ime;
    ime.mode = c.agent;
    settings::Options options;
    options.Set(settings::Option::搜索英文, c.option);
    SearchInputMode mode(ime, options);
    mode.BoxFocused(kBox);
    EXPECT_EQ(ime.mode, c.inBox ? c.inBox : c.agent) << c.name;
    EXPECT_EQ(ime.sets, c.inBox ? 1 : 0) << c.name;
    mode.GiveBack();
    EXPECT_EQ(ime.mode, c.agent) << c.name;
    mode.GiveBack();  // a second leave has nothing to give
    EXPECT_EQ(ime.sets, c.inBox ? 2 : 0) << c.name;
  }
}

TEST(SearchInputModeTest, TheOptionTurnedOffMeanwhileStillGivesBackTheAgentsMode) {
  const InputMode chinese{true, kInputNative, 0};
  testing::FakeInputMethod ime;
  ime.mode = chinese;
  settings::Options options;
  SearchInputMode mode(ime, options);
  mode.BoxFocused(kBox);
  options.Set(settings::Option::搜索英文, false);
  mode.GiveBack();
  EXPECT_EQ(ime.mode, chinese);
  // The next focus switches again.
  options.Set(settings::Option::搜索英文, true);
  mode.BoxFocused(kBox);
  EXPECT_TRUE(TypesLetters(*ime.mode));
}

}  // namespace
}  // namespace jihe::app
