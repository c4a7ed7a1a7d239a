#include "settings/option_rules.h"

#include <gtest/gtest.h>

#include "settings/autostart.h"

namespace jihe::settings {
namespace {

TEST(OptionRulesTest, SingleClickSendingGivesWayToThePreview) {
  struct Case {
    const char* name;
    bool preview, singleClick;
    bool clickedPreview;  // else 单击发送 was chosen
    std::optional<std::string_view> message;
    bool singleAfter;
  };
  const Case cases[] = {
      {"preview ticked while single-click sends", true, true, true, kPreviewConflictMessage, false},
      {"preview unticked", false, true, true, std::nullopt, true},
      {"preview ticked with double-click", true, false, true, std::nullopt, false},
      {"single click chosen with preview on", true, true, false, kSingleClickConflictMessage, false},
      {"single click chosen with preview off", false, true, false, std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o;
    o.Set(Option::显示预览, c.preview);
    o.Set(c.singleClick ? Option::单击发送 : Option::双击发送, true);
    const auto message = c.clickedPreview ? AfterPreviewClicked(o) : AfterSingleClickChosen(o);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(o.Get(Option::单击发送), c.singleAfter);
    EXPECT_EQ(o.Get(Option::双击发送), !c.singleAfter);
    EXPECT_EQ(o.Get(Option::显示预览), c.preview);  // the preview always stays as clicked
  }
}

TEST(OptionRulesTest, IntervalBoxKeepsDigitsOnly) {
  EXPECT_EQ(DigitsOnly("400"), "400");
  EXPECT_EQ(DigitsOnly("-8a0０0"), "800");  // the full-width zero is not a digit the engine reads
  EXPECT_EQ(DigitsOnly(""), "");
}

TEST(AutostartTest, RunCommandQuotesThePath) {
  EXPECT_EQ(RunCommandFor("C:\\Program Files\\霁禾\\jihe.exe"), "\"C:\\Program Files\\霁禾\\jihe.exe\"");
}

}  // namespace
}  // namespace jihe::settings
