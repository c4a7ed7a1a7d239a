#include "settings/options.h"

#include <gtest/gtest.h>

namespace jihe::settings {
namespace {

// The Settings window as designed, which a new installation (no config.ini) shows.
constexpr std::pair<std::string_view, bool> kDesignState[] = {
    {"显示预览", true},   {"智能隐藏", false},   {"开机自启", false},  {"鼠标停留", false},
    {"自动点发送", false}, {"跟随QQ", true},      {"跟随微信", true},   {"跟随旺旺", true},
    {"跟随陌陌", false},  {"跟随京东", false},   {"跟随拼多多", false}, {"跟随58", false},
    {"单击发送", false},  {"双击发送", true},    {"跟随到左边", false}, {"跟随到右边", true},
    {"恢复剪贴板", true},  {"搜索英文", true},
};
static_assert(std::size(kDesignState) == kOptionCount);

TEST(OptionsTest, EveryOptionStartsAndResetsToItsDesignState) {
  Options options;
  options.SetInterval("800");
  for (const auto& [key, on] : kDesignState) {
    const auto option = OptionByKey(key);
    ASSERT_TRUE(option) << key;
    EXPECT_EQ(Options().Get(*option), on) << key;
    options.Set(*option, !on);
  }
  options.ResetToDesign();
  for (const auto& [key, on] : kDesignState) EXPECT_EQ(options.Get(*OptionByKey(key)), on) << key;
  EXPECT_EQ(options.Interval(), "400");
}

}  // namespace
}  // namespace jihe::settings
