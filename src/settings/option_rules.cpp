#include "settings/option_rules.h"

namespace jihe::settings {

namespace {
std::optional<std::string_view> FallBackToDoubleClick(Options& options, std::string_view message) {
  if (!(options.Get(Option::显示预览) && options.Get(Option::单击发送))) return std::nullopt;
  options.Set(Option::双击发送, true);  // its partner 单击发送 goes off with it
  return message;
}
}  // namespace

std::optional<std::string_view> AfterPreviewClicked(Options& options) {
  return FallBackToDoubleClick(options, kPreviewConflictMessage);
}

std::optional<std::string_view> AfterSingleClickChosen(Options& options) {
  return FallBackToDoubleClick(options, kSingleClickConflictMessage);
}

bool FollowSwitchesWantLoop(const Options& options) {
  for (Option o : {Option::跟随QQ, Option::跟随微信, Option::跟随旺旺, Option::跟随陌陌, Option::跟随京东})
    if (options.Get(o)) return true;
  return false;
}

std::string DigitsOnly(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c >= '0' && c <= '9') digits += c;
  return digits;
}

}  // namespace jihe::settings
