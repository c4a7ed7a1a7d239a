#include "platform/input_method_win32.h"

#include <windows.h>

#include <imm.h>

#include <string>

#include "platform/desktop_win32.h"
#include "platform/utf16.h"

namespace jihe::platform {

namespace {

// ImmGetContext and its release, which every call pairs.
class ContextOf {
 public:
  explicit ContextOf(WindowId window) : hwnd_(HwndOf(window)), himc_(ImmGetContext(hwnd_)) {}
  ~ContextOf() {
    if (himc_) ImmReleaseContext(hwnd_, himc_);
  }
  ContextOf(const ContextOf&) = delete;
  ContextOf& operator=(const ContextOf&) = delete;
  HIMC get() const { return himc_; }

 private:
  HWND hwnd_;
  HIMC himc_;
};

class Win32InputMethod final : public InputMethod {
 public:
  std::optional<InputMode> Mode(WindowId window) override {
    ContextOf context(window);
    if (!context.get()) return std::nullopt;
    DWORD conversion = 0, sentence = 0;
    if (!ImmGetConversionStatus(context.get(), &conversion, &sentence)) return std::nullopt;
    return InputMode{ImmGetOpenStatus(context.get()) != FALSE, conversion, sentence};
  }

  bool SetMode(WindowId window, const InputMode& mode) override {
    ContextOf context(window);
    if (!context.get()) return false;
    // The open status first: opening may bring the input method's own last conversion mode.
    bool ok = true;
    if ((ImmGetOpenStatus(context.get()) != FALSE) != mode.open)
      ok = ImmSetOpenStatus(context.get(), mode.open);
    return ImmSetConversionStatus(context.get(), mode.conversion, mode.sentence) && ok;
  }

  std::string Composition(WindowId window) override {
    ContextOf context(window);
    if (!context.get()) return {};
    const LONG bytes = ImmGetCompositionStringW(context.get(), GCS_COMPSTR, nullptr, 0);
    if (bytes <= 0) return {};
    std::wstring text(static_cast<size_t>(bytes) / sizeof(wchar_t), L'\0');
    const LONG got = ImmGetCompositionStringW(context.get(), GCS_COMPSTR, text.data(),
                                              static_cast<DWORD>(bytes));
    if (got <= 0) return {};
    text.resize(static_cast<size_t>(got) / sizeof(wchar_t));
    return Narrow(text);
  }
};

}  // namespace

InputMethod& SystemInputMethod() {
  static Win32InputMethod method;
  return method;
}

}  // namespace jihe::platform
