#include "settings/autostart_win32.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/file_system.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"
#include "settings/autostart.h"

namespace jihe::settings {

using platform::Narrow;
using platform::Widen;

namespace {
std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}
}  // namespace

AutostartResult EnableAutostart() {
  const std::wstring exe = OwnExecutablePath();
  if (exe.empty() || GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES)
    return AutostartResult::NoExecutable;
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(kRunKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &raw, nullptr) != ERROR_SUCCESS)
    return AutostartResult::RegistryFailed;
  platform::UniqueRegKey key(raw);
  const std::wstring command = Widen(RunCommandFor(Narrow(exe)));
  const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key.get(), Widen(kRunValueName).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(command.c_str()), bytes) != ERROR_SUCCESS)
    return AutostartResult::RegistryFailed;
  return AutostartResult::Done;
}

AutostartResult DisableAutostart() {
  AutostartResult result = AutostartResult::Done;
  HKEY raw = nullptr;
  LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kRunKey).c_str(), 0, KEY_SET_VALUE, &raw);
  if (opened == ERROR_SUCCESS) {
    platform::UniqueRegKey key(raw);
    LONG deleted = RegDeleteValueW(key.get(), Widen(kRunValueName).c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) result = AutostartResult::RegistryFailed;
  } else if (opened != ERROR_FILE_NOT_FOUND) {
    result = AutostartResult::RegistryFailed;
  }
  wchar_t startup[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, startup))) {
    std::wstring link = std::wstring(startup) + L"\\" + Widen(kRunValueName) + L".lnk";
    if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileW(link.c_str());
      SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, link.c_str(), nullptr);
      SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, startup, nullptr);
    }
  }
  return result;
}

std::string StoredAutostartCommand() {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, Widen(kRunKey).c_str(), Widen(kRunValueName).c_str(),
                   RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return {};
  return Narrow(buffer);
}

}  // namespace jihe::settings
