#include "platform/shell_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/utf16.h"

namespace jihe::platform {

namespace {

class Win32Shell final : public Shell {
 public:
  bool OpenWithShell(std::string_view target) override {
    const std::wstring wide = Widen(target);
    const HINSTANCE r = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
  }

  bool StartCommandLine(std::string_view commandLine) override {
    std::wstring line = Widen(commandLine);  // CreateProcessW may write into its buffer
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi))
      return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  }
};

}  // namespace

bool OpenMaximised(std::string_view target) {
  const std::wstring wide = Widen(target);
  const HINSTANCE r = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
  return reinterpret_cast<INT_PTR>(r) > 32;
}

Shell& SystemShell() {
  static Win32Shell shell;
  return shell;
}

}  // namespace jihe::platform
