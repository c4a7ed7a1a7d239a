#include "e2e/jihe_driver.h"

#include <filesystem>

#include "app/commands.h"
#include "platform/utf16.h"

namespace jihe::e2e {

using platform::Narrow;
using platform::Widen;

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    // Keep this thread's own messages flowing while polling.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 25, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

std::wstring JiheExe() {
  std::wstring path = Widen(JIHE_EXE);
  // Built on Linux, the path is a Unix one; under Wine it lies on drive Z:.
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

TempFolder::TempFolder() {
  static int counter = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"霁禾e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount());
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(path_), ec);
}

std::string TempFolder::Utf8(const std::wstring& relative) const {
  return Narrow(relative.empty() ? path_ : path_ + L"\\" + relative);
}

Jihe::Jihe(const std::wstring& dataDir, const std::wstring& extra) {
  const std::wstring exe = JiheExe();
  std::wstring commandLine = L"\"" + exe + L"\" --data-dir \"" + dataDir + L"\"";
  if (!extra.empty()) commandLine += L" " + extra;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &process_))
    process_ = {};
}

Jihe::~Jihe() {
  if (!process_.hProcess) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool Jihe::WaitForExit(int timeoutMs, DWORD* exitCode) {
  if (!process_.hProcess) return false;
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_.hProcess, exitCode);
  return true;
}

namespace {
struct FindArgs {
  DWORD pid;
  std::wstring className;
  std::wstring title;
  HWND found = nullptr;
};
BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lp) {
  auto* args = reinterpret_cast<FindArgs*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != args->pid) return TRUE;
  if (ClassOf(hwnd) != args->className) return TRUE;
  if (!args->title.empty()) {
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (args->title != title) return TRUE;
  }
  args->found = hwnd;
  return FALSE;
}
HWND FindTopLevelOf(DWORD pid, const std::wstring& className, const std::wstring& title = L"") {
  FindArgs args{pid, className, title};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
  return args.found;
}
}  // namespace

HWND Jihe::Panel() const { return FindTopLevelOf(pid(), Widen(app::kPanelClass)); }

HWND Jihe::WaitForPanel(int timeoutMs) {
  HWND panel = nullptr;
  WaitFor([&] { return (panel = Panel()) != nullptr && IsWindowVisible(panel); }, timeoutMs);
  return panel;
}

HWND Jihe::Settings() const { return FindTopLevelOf(pid(), L"霁禾客服助手.软件设置"); }

HWND Jihe::MessageBoxWindow() const {
  HWND box = FindTopLevelOf(pid(), L"#32770", Widen(app::kMessageTitle));
  return box && IsWindowVisible(box) ? box : nullptr;
}

std::string Jihe::MessageBoxText(HWND box) const {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  return Narrow(text);
}

std::optional<std::vector<std::pair<std::string, UINT>>> Jihe::MenuItems() const {
  HMENU bar = GetMenu(Panel());
  HMENU menu = bar ? GetSubMenu(bar, 0) : nullptr;
  const int count = menu ? GetMenuItemCount(menu) : -1;
  // Wine keeps a menu's items inside the process that made it; there they cannot be read from here.
  if (count <= 0) return std::nullopt;
  std::vector<std::pair<std::string, UINT>> items;
  for (int i = 0; i < count; ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID;
    info.dwTypeData = text;
    info.cch = 63;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return std::nullopt;
    items.emplace_back(Narrow(text), info.wID);
  }
  return items;
}

UINT Jihe::MenuCommand(const std::string& caption) const {
  if (auto items = MenuItems()) {
    for (const auto& [text, id] : *items)
      if (text == caption) return id;
    return 0;
  }
  // Where the menu cannot be read, the table the program builds its menus from names the command.
  for (const app::MenuRow& row : app::kSettingsMenu)
    if (row.caption == caption) return static_cast<UINT>(row.command);
  for (const app::MenuRow& row : app::kTrayMenu)
    if (row.caption == caption) return static_cast<UINT>(row.command);
  if (caption == app::kResumeCaption) return static_cast<UINT>(app::Command::PauseResume);
  return 0;
}

void Jihe::PostCommand(UINT id) const { PostMessageW(Panel(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void Jihe::ClickMenu(const std::string& caption) const { PostCommand(MenuCommand(caption)); }

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) all.push_back(h);
  return all;
}

HWND ChildByCaption(HWND parent, const std::string& caption) {
  for (HWND h : Children(parent))
    if (Text(h) == caption) return h;
  return nullptr;
}

HWND ChildByClass(HWND parent, const wchar_t* className, bool visibleOnly) {
  for (HWND h : Children(parent))
    if (ClassOf(h) == className && (!visibleOnly || IsWindowVisible(h))) return h;
  return nullptr;
}

std::string Text(HWND hwnd) {
  // WM_GETTEXT, not GetWindowText: for another process's window that returns only the caption it
  // was created with, not what an edit box holds now.
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return Narrow(text);
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 128);
  return name;
}

}  // namespace jihe::e2e
