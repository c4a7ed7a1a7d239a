#pragma once
// A search box asks for plain letters while it has the focus. Agents type Chinese all day, and in
// Chinese mode "thdz" would go into the input method's composition instead of the box, and the
// first Enter would be spent committing it. The agent's own mode comes back when the focus leaves
// the box. Only the mode changes: the agent can still switch to Chinese in the box and type "退h".
#include <optional>

#include "platform/input_method.h"
#include "settings/options.h"

namespace jihe::app {

// True when the mode types letters as they are: a closed input method, or one out of native mode.
bool TypesLetters(const platform::InputMode& mode);

class SearchInputMode {
 public:
  SearchInputMode(platform::InputMethod& method, const settings::Options& options)
      : method_(method), options_(options) {}

  // The box took the focus (the hotkey, Ctrl+F, a click): with "搜索时切换到英文输入" on and the
  // input method typing Chinese, the box's input goes to English and the agent's mode is kept.
  void BoxFocused(platform::WindowId box);
  // The focus leaves the box (Esc, a send, a click elsewhere): the kept mode is given back, even
  // when the option was turned off meanwhile.
  void GiveBack();

 private:
  platform::InputMethod& method_;
  const settings::Options& options_;
  platform::WindowId box_ = 0;
  std::optional<platform::InputMode> kept_;
};

}  // namespace jihe::app
