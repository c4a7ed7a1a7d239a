#pragma once
#include "platform/input_method.h"

namespace jihe::platform {

// imm32 over the window's input context (ImmGetContext), which the windows of one thread share.
InputMethod& SystemInputMethod();

}  // namespace jihe::platform
