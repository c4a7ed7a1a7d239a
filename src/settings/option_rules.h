#pragma once
// Rules that tie options together, applied by the Settings window after a click has changed a box.
#include <optional>
#include <string>
#include <string_view>

#include "settings/options.h"

namespace jihe::settings {

inline constexpr std::string_view kPreviewConflictMessage =
    "你设置了单击发送消息，和本项冲突 已自动改为双击列表进行发送！";
inline constexpr std::string_view kSingleClickConflictMessage =
    "你已设置了单击显示快捷短语预览，和本项冲突 已自动改为双击列表进行发送！";
inline constexpr std::string_view kIntervalHelpMessage =
    "发微信时的图片和文本发送间隔,间隔过短图片会跑到后面";

// The preview and single-click sending cannot both be on; single-click sending gives way to
// double-click. Call after the click has set the option; returns the message to show, if any.
std::optional<std::string_view> AfterPreviewClicked(Options& options);
std::optional<std::string_view> AfterSingleClickChosen(Options& options);

// The follow loop runs when one of these switches is on (跟随58 is recognised by the loop but does
// not by itself keep it running; 跟随京东 keeps it running).
bool FollowSwitchesWantLoop(const Options& options);

// The interval box accepts whole numbers only; this is the text it keeps from what was typed.
std::string DigitsOnly(std::string_view text);

}  // namespace jihe::settings
