#include "settings/options.h"

namespace jihe::settings {

const std::array<OptionInfo, kOptionCount>& AllOptions() {
  static const std::array<OptionInfo, kOptionCount> kAll = {{
      {Option::跟随到左边, "跟随到左边", kRadioSection, "跟随到聊天窗口左边", false},
      {Option::跟随到右边, "跟随到右边", kRadioSection, "跟随到聊天窗口右边", true},
      {Option::跟随QQ, "跟随QQ", kCheckBoxSection, "自动跟随到电脑QQ的聊天窗口", true},
      {Option::跟随微信, "跟随微信", kCheckBoxSection, "自动跟随到电脑版微信聊天窗口", true},
      {Option::跟随旺旺, "跟随旺旺", kCheckBoxSection, "自动跟随旺旺或千牛聊天窗口", true},
      {Option::跟随京东, "跟随京东", kCheckBoxSection, "自动跟随到京东卖家版聊天窗口", false},
      {Option::跟随陌陌, "跟随陌陌", kCheckBoxSection, "自动跟随电脑版陌陌聊天窗口", false},
      {Option::跟随58, "跟随58", kCheckBoxSection, "跟随到58聊天窗口", false},
      {Option::跟随拼多多, "跟随拼多多", kCheckBoxSection, "自动跟随到拼多多客服浏览器版", false},
      {Option::单击发送, "单击发送", kRadioSection, "单击列表进行发送", false},
      {Option::双击发送, "双击发送", kRadioSection, "双击列表进行发送", true},
      {Option::自动点发送, "自动点发送", kCheckBoxSection,
       "自动点击[发送]按钮,将消息发出（聊天工具需设置ENTER键发送)", false},
      {Option::显示预览, "显示预览", kCheckBoxSection, "当鼠标单击快捷短语项目时显示内容预览", true},
      {Option::鼠标停留, "鼠标停留", kCheckBoxSection, "消息发送完毕后鼠标停留在聊天窗口上面", false},
      {Option::开机自启, "开机自启", kCheckBoxSection, "开机自动启动本软件", false},
      {Option::智能隐藏, "智能隐藏", kCheckBoxSection, "当打开非跟随的窗口时,隐藏本软件", false},
      {Option::恢复剪贴板, "恢复剪贴板", kCheckBoxSection, "发送后恢复剪贴板原有内容", true},
      {Option::搜索英文, "搜索英文", kCheckBoxSection, "搜索时切换到英文输入", true},
  }};
  return kAll;
}

const OptionInfo& InfoOf(Option option) { return AllOptions()[static_cast<size_t>(option)]; }

std::optional<Option> OptionByKey(std::string_view key) {
  for (const OptionInfo& info : AllOptions())
    if (info.key == key) return info.option;
  return std::nullopt;
}

std::optional<Option> RadioPartner(Option option) {
  switch (option) {
    case Option::跟随到左边: return Option::跟随到右边;
    case Option::跟随到右边: return Option::跟随到左边;
    case Option::单击发送: return Option::双击发送;
    case Option::双击发送: return Option::单击发送;
    default: return std::nullopt;
  }
}

Options::Options() { ResetToDesign(); }

Options::Options(const Options& other) { *this = other; }

Options& Options::operator=(const Options& other) {
  if (this == &other) return *this;
  for (size_t i = 0; i < kOptionCount; ++i) values_[i].store(other.values_[i].load());
  SetInterval(other.Interval());
  SetHotkey(other.Hotkey());
  return *this;
}

void Options::Set(Option option, bool on) {
  values_[Index(option)].store(on, std::memory_order_relaxed);
  if (on) {
    if (auto partner = RadioPartner(option)) values_[Index(*partner)].store(false, std::memory_order_relaxed);
  }
}

void Options::ResetToDesign() {
  for (const OptionInfo& info : AllOptions()) values_[Index(info.option)].store(info.designDefault);
  SetInterval(kDefaultInterval);
  SetHotkey(DefaultHotkey());
}

std::string Options::Interval() const {
  std::lock_guard lock(intervalMutex_);
  return interval_;
}

void Options::SetInterval(std::string text) {
  std::lock_guard lock(intervalMutex_);
  interval_ = std::move(text);
}

Hotkey Options::Hotkey() const {
  std::lock_guard lock(intervalMutex_);
  return hotkey_;
}

void Options::SetHotkey(settings::Hotkey hotkey) {
  std::lock_guard lock(intervalMutex_);
  hotkey_ = hotkey;
}

}  // namespace jihe::settings
