#pragma once
// The options of the Settings window. The window's controls write through to this model at once,
// and every reader (the follow loop on its own thread included) asks it at the moment of use.
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "settings/hotkey.h"

namespace jihe::settings {

// In the order of the Settings window's controls, which is the order they are loaded in.
enum class Option {
  跟随到左边,
  跟随到右边,
  跟随QQ,
  跟随微信,
  跟随旺旺,
  跟随京东,
  跟随陌陌,
  跟随58,
  跟随拼多多,
  单击发送,
  双击发送,
  自动点发送,
  显示预览,
  鼠标停留,
  开机自启,
  智能隐藏,
  恢复剪贴板,
  搜索英文,
};
inline constexpr size_t kOptionCount = 18;

inline constexpr char kCheckBoxSection[] = "选择框";
inline constexpr char kRadioSection[] = "单选框";

struct OptionInfo {
  Option option;
  std::string_view key;      // the control's name, which is also its key in config.ini
  std::string_view section;  // "选择框" for check boxes, "单选框" for radio buttons
  std::string_view caption;
  bool designDefault;
};

const std::array<OptionInfo, kOptionCount>& AllOptions();
const OptionInfo& InfoOf(Option option);
std::optional<Option> OptionByKey(std::string_view key);

// The other radio button of the same pair, for the four radio options.
std::optional<Option> RadioPartner(Option option);

inline constexpr char kDefaultInterval[] = "400";

class Options {
 public:
  Options();
  Options(const Options& other);
  Options& operator=(const Options& other);

  bool Get(Option option) const { return values_[Index(option)].load(std::memory_order_relaxed); }
  // Turning a radio button on turns its partner off, as radio buttons do.
  void Set(Option option, bool on);
  void ResetToDesign();

  // The WeChat picture interval box, as text; never stored, "400" at every start.
  std::string Interval() const;
  void SetInterval(std::string text);

  // The combination that calls up the panel; stored under [热键] 呼出.
  settings::Hotkey Hotkey() const;
  void SetHotkey(settings::Hotkey hotkey);

 private:
  static size_t Index(Option o) { return static_cast<size_t>(o); }
  std::array<std::atomic<bool>, kOptionCount> values_;
  mutable std::mutex intervalMutex_;
  std::string interval_ = kDefaultInterval;
  settings::Hotkey hotkey_ = DefaultHotkey();
};

}  // namespace jihe::settings
