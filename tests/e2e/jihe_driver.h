#pragma once
// Starts jihe.exe against its own Data folder and finds, reads and drives its windows the way a
// user's clicks would reach them. Every wait polls with a time limit.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jihe::e2e {

// Polls `condition` until it holds or `timeoutMs` has passed; true when it held.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// The path of jihe.exe as Windows sees it.
std::wstring JiheExe();

// A fresh, not yet existing folder under the temporary folder; removed by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::string Utf8(const std::wstring& relative = L"") const;

 private:
  std::wstring path_;
};

class Jihe {
 public:
  // Starts the program; `extra` is appended to its command line.
  explicit Jihe(const std::wstring& dataDir, const std::wstring& extra = L"");
  ~Jihe();  // ends the process if it is still running

  bool started() const { return process_.hProcess != nullptr; }
  DWORD pid() const { return process_.dwProcessId; }
  HANDLE process() const { return process_.hProcess; }
  bool WaitForExit(int timeoutMs, DWORD* exitCode = nullptr);

  // The Main panel (visible or not); nullptr until it exists.
  HWND Panel() const;
  HWND WaitForPanel(int timeoutMs = 20000);
  HWND Settings() const;
  // The message box titled "友情提醒" of this process, if one is open.
  HWND MessageBoxWindow() const;
  std::string MessageBoxText(HWND box) const;

  // Captions and commands of the menu "软件设置", when this system lets another process read them.
  std::optional<std::vector<std::pair<std::string, UINT>>> MenuItems() const;
  // The command of the menu item captioned `caption` (0 when there is none).
  UINT MenuCommand(const std::string& caption) const;
  void PostCommand(UINT id) const;
  void ClickMenu(const std::string& caption) const;

 private:
  PROCESS_INFORMATION process_{};
};

// Child windows of `parent` in z-order.
std::vector<HWND> Children(HWND parent);
HWND ChildByCaption(HWND parent, const std::string& caption);
HWND ChildByClass(HWND parent, const wchar_t* className, bool visibleOnly);
std::string Text(HWND hwnd);
std::wstring ClassOf(HWND hwnd);

}  // namespace jihe::e2e
