#pragma once
// An input method whose windows share one input context, as the windows of one thread do.
#include <optional>
#include <string>

#include "platform/input_method.h"

namespace jihe::testing {

class FakeInputMethod final : public platform::InputMethod {
 public:
  std::optional<platform::InputMode> Mode(platform::WindowId) override { return mode; }
  bool SetMode(platform::WindowId, const platform::InputMode& m) override {
    ++sets;
    if (!mode) return false;
    mode = m;
    return true;
  }
  std::string Composition(platform::WindowId) override { return composition; }

  std::optional<platform::InputMode> mode;  // nothing: no input context
  std::string composition;
  int sets = 0;
};

}  // namespace jihe::testing
