#pragma once
// The input method of one of our own windows (imm32 on Windows): whether it types the language's
// characters or plain letters, and what the agent is composing in it.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace jihe::platform {

// Conversion mode bits, with the values of imm32's IME_CMODE_*.
inline constexpr std::uint32_t kInputNative = 0x0001;  // Chinese (or another language's) characters
inline constexpr std::uint32_t kInputFullShape = 0x0008;  // full-width letters and digits

struct InputMode {
  bool open = false;             // an input method that is closed passes letters through
  std::uint32_t conversion = 0;  // kInput* bits and others, kept as they are
  std::uint32_t sentence = 0;
  bool operator==(const InputMode&) const = default;
};

class InputMethod {
 public:
  virtual ~InputMethod() = default;
  // Nothing when the window has no input context (no input method, or one turned off for it).
  virtual std::optional<InputMode> Mode(WindowId window) = 0;
  virtual bool SetMode(WindowId window, const InputMode& mode) = 0;
  // The text the agent is composing in the window, not yet in it (UTF-8); empty when none is.
  virtual std::string Composition(WindowId window) = 0;
};

}  // namespace jihe::platform
