#include "e2e/jihe_driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/commands.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "settings/options.h"
#include "storage/ini_file.h"

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

std::wstring BuiltProgram(const char* buildPath) {
  std::wstring path = Widen(buildPath);
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::wstring JiheExe() { return BuiltProgram(JIHE_EXE); }

std::wstring DataToolExe() { return BuiltProgram(JIHE_DATA_EXE); }

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

namespace {
struct TitleArgs {
  DWORD pid;
  std::wstring title;
  HWND found = nullptr;
};
BOOL CALLBACK FindTitled(HWND hwnd, LPARAM lp) {
  auto* args = reinterpret_cast<TitleArgs*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != args->pid || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(hwnd, title, 256);
  if (args->title != title) return TRUE;
  args->found = hwnd;
  return FALSE;
}

}  // namespace

void ExpectMessage(const Jihe& jihe, const std::string& text) {
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = jihe.MessageBoxWindow()) != nullptr; })) << "no message: " << text;
  EXPECT_EQ(jihe.MessageBoxText(box), text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return jihe.MessageBoxWindow() == nullptr; }));
}

HWND Jihe::WindowTitled(const std::string& title) const {
  TitleArgs args{pid(), Widen(title)};
  EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

HWND Jihe::WaitForWindowTitled(const std::string& title, int timeoutMs) const {
  HWND found = nullptr;
  WaitFor([&] { return (found = WindowTitled(title)) != nullptr; }, timeoutMs);
  return found;
}

std::optional<RECT> Jihe::ListItemRect(HWND list, int item) const {
  RemoteMemory remote(process(), sizeof(RECT));
  RECT rc{LVIR_BOUNDS, 0, 0, 0};
  if (!remote.Write(&rc, sizeof rc)) return std::nullopt;
  if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), remote.lparam())) return std::nullopt;
  if (!remote.Read(&rc, sizeof rc)) return std::nullopt;
  return rc;
}

std::string Jihe::TabCaption(HWND strip, int tab) const {
  constexpr size_t kChars = 256;
  RemoteMemory remote(process(), sizeof(TCITEMW) + kChars * sizeof(wchar_t));
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = reinterpret_cast<wchar_t*>(remote.lparam(sizeof(TCITEMW)));
  item.cchTextMax = kChars;
  if (!remote.Write(&item, sizeof item)) return {};
  if (!SendMessageW(strip, TCM_GETITEMW, static_cast<WPARAM>(tab), remote.lparam())) return {};
  wchar_t text[kChars] = {};
  if (!remote.Read(text, sizeof text, sizeof(TCITEMW))) return {};
  text[kChars - 1] = L'\0';
  return Narrow(text);
}

void PostClick(HWND hwnd, POINT pt, bool doubleClick) {
  const LPARAM at = MAKELPARAM(pt.x, pt.y);
  PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
  PostMessageW(hwnd, doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void PostKey(HWND hwnd, UINT virtualKey) {
  PostMessageW(hwnd, WM_KEYDOWN, virtualKey, 1);
  PostMessageW(hwnd, WM_KEYUP, virtualKey, 1 | (1u << 30) | (1u << 31));
}

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

// ---- chat windows, the schedule page and list rows ------------------------------------------

bool HoldsFor(const std::function<bool()>& condition, int ms) {
  return !WaitFor([&] { return !condition(); }, ms);
}

HWND TopLevelOf(const Jihe& jihe, const std::wstring& className, const std::wstring& title) {
  return FindTopLevelOf(jihe.pid(), className, title);
}

HWND OpenSettings(const Jihe& jihe) {
  jihe.ClickMenu("更改设置");
  HWND settings = nullptr;
  WaitFor([&] { return (settings = jihe.Settings()) != nullptr && IsWindowVisible(settings); });
  return settings && IsWindowVisible(settings) ? settings : nullptr;
}

bool CloseSettings(const Jihe& jihe) {
  HWND settings = jihe.Settings();
  if (!settings) return false;
  PostMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitFor([&] { return !IsWindowVisible(settings); });
}

RECT RectOf(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

bool IsTopmostWindow(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool WriteOptions(const TempFolder& data, const std::vector<std::pair<std::string, bool>>& options) {
  if (!platform::CreateDirectories(data.Utf8())) return false;
  const std::string path = data.Utf8(L"config.ini");
  storage::IniFile config = storage::IniFile::Load(path);
  for (const auto& [key, on] : options) {
    const auto option = settings::OptionByKey(key);
    if (!option) return false;
    config.SetBool(settings::InfoOf(*option).section, key, on);
  }
  return config.Save(path);
}

bool WriteGroupNames(const TempFolder& data, const std::vector<std::string>& phraseGroups,
                     const std::vector<std::string>& commandGroups) {
  if (!platform::CreateDirectories(data.Utf8(L"数据\\短语")) || !platform::CreateDirectories(data.Utf8(L"数据\\快捷")))
    return false;
  storage::IniFile conf;
  conf.Set("主面板", "短语子夹数", std::to_string(phraseGroups.size()));
  for (size_t i = 0; i < phraseGroups.size(); ++i) conf.Set("短语子夹名", std::to_string(i), phraseGroups[i]);
  conf.Set("主面板", "快捷子夹数", std::to_string(commandGroups.size()));
  for (size_t i = 0; i < commandGroups.size(); ++i) conf.Set("快捷子夹名", std::to_string(i), commandGroups[i]);
  return conf.Save(data.Utf8(L"数据\\conf.ini"));
}

std::string Kinds(const std::vector<FakeChat::Event>& events) {
  std::string kinds;
  for (const FakeChat::Event& e : events) kinds += (kinds.empty() ? "" : " ") + e.kind;
  return kinds;
}

void PostControlCommand(HWND control, UINT code) {
  PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

RemoteMemory::RemoteMemory(HANDLE process, size_t size)
    : process_(process),
      address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}

RemoteMemory::~RemoteMemory() {
  if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(const void* data, size_t size, size_t offset) {
  SIZE_T done = 0;
  return address_ && WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) &&
         done == size;
}

bool RemoteMemory::Read(void* data, size_t size, size_t offset) const {
  SIZE_T done = 0;
  return address_ && ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) &&
         done == size;
}

namespace {
LRESULT SendWaiting(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}
}  // namespace

bool SetPickerTime(HANDLE process, HWND picker, int hour, int minute) {
  SYSTEMTIME time{};
  GetLocalTime(&time);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = 0;
  time.wMilliseconds = 0;
  RemoteMemory remote(process, sizeof time);
  if (!remote.Write(&time, sizeof time)) return false;
  if (!SendWaiting(picker, DTM_SETSYSTEMTIME, GDT_VALID, remote.lparam())) return false;
  SYSTEMTIME back{};
  SendWaiting(picker, DTM_GETSYSTEMTIME, 0, remote.lparam());
  return remote.Read(&back, sizeof back) && back.wHour == hour && back.wMinute == minute;
}

std::string ListCellText(HANDLE process, HWND list, int row, int column) {
  constexpr int kChars = 512;
  RemoteMemory remote(process, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = kChars;
  item.pszText = reinterpret_cast<LPWSTR>(remote.lparam(sizeof item));
  if (!remote.Write(&item, sizeof item)) return {};
  const auto n = SendWaiting(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remote.lparam());
  std::wstring text(static_cast<size_t>(std::clamp<LRESULT>(n, 0, kChars - 1)), L'\0');
  if (!text.empty() && !remote.Read(text.data(), text.size() * sizeof(wchar_t), sizeof item)) return {};
  return Narrow(text);
}

bool SelectListRow(HANDLE process, HWND list, int row) {
  RemoteMemory remote(process, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!remote.Write(&item, sizeof item)) return false;
  SendWaiting(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.lparam());
  return SendWaiting(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == row;
}

bool ClickTab(HANDLE process, HWND tabs, int index) {
  RECT rc{};
  RemoteMemory remote(process, sizeof rc);
  if (!SendWaiting(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), remote.lparam()) || !remote.Read(&rc, sizeof rc))
    return false;
  PostClick(tabs, {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  return WaitFor([&] { return SendWaiting(tabs, TCM_GETCURSEL, 0, 0) == index; });
}

FakeChat::FakeChat(const TempFolder& folder, const std::string& className, const std::string& title, Place place) {
  static int counter = 0;
  platform::CreateDirectories(folder.Utf8());
  const std::wstring log = folder.path() + L"\\chat-" + std::to_wstring(++counter) + L".log";
  log_ = Narrow(log);
  const std::wstring exe = BuiltProgram(FAKE_CHAT_EXE);
  std::wstring commandLine = L"\"" + exe + L"\" --class \"" + Widen(className) + L"\" --title \"" + Widen(title) +
                             L"\" --size " + std::to_wstring(place.width) + L"x" + std::to_wstring(place.height) +
                             L" --pos " + std::to_wstring(place.x) + L"," + std::to_wstring(place.y) + L" --log \"" +
                             log + L"\"" + (place.maximized ? L" --maximized" : L"") +
                             L" --paste-delay-ms " + std::to_wstring(place.pasteDelayMs) +
                             (place.watchClipboard ? L" --watch-clipboard" : L"");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
    process_ = {};
    return;
  }
  FindArgs args{process_.dwProcessId, Widen(className), Widen(title)};
  WaitFor([&] {
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
    return args.found != nullptr && platform::ReadWholeFile(log_).value_or("").find("ready") != std::string::npos;
  });
  hwnd_ = args.found;
}

namespace {
// Asks a test program to close through its window, ends it when it does not, and forgets it.
void CloseToolProcess(PROCESS_INFORMATION& process, HWND& window) {
  if (!process.hProcess) return;
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  process = {};
  window = nullptr;
}
}  // namespace

FakeChat::~FakeChat() { CloseToolProcess(process_, hwnd_); }

bool FakeChat::IsFrontmost() const {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!IsWindowVisible(w) || (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST)) continue;
    const RECT r = RectOf(w);
    if (r.right - r.left <= 400 || r.bottom - r.top <= 500) continue;
    return w == hwnd_;
  }
  return false;
}

bool FakeChat::Raise() const {
  return WaitFor([&] {
    if (IsFrontmost()) return true;
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd_);
    return false;
  });
}

void FakeChat::MoveTo(int x, int y) const {
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<FakeChat::Event> FakeChat::Events() const {
  std::vector<Event> events = jihe::testing::ParseChatLog(platform::ReadWholeFile(log_).value_or(""));
  std::erase_if(events, [](const Event& e) { return e.kind == "ready"; });
  return events;
}

std::vector<FakeChat::Event> FakeChat::WaitForEvents(size_t count, int timeoutMs) const {
  WaitFor([&] { return Events().size() >= count; }, timeoutMs);
  // The longest quiet gap inside a send is its picture interval (400 ms at first start): a
  // stray event would arrive within it.
  WaitFor([&] { return Events().size() > count; }, 600);
  return Events();
}

ClipboardHolder::ClipboardHolder(const std::string& text) {
  const std::wstring exe = BuiltProgram(CLIPBOARD_HOLDER_EXE);
  std::wstring commandLine = L"\"" + exe + L"\" --text \"" + Widen(text) + L"\" --seconds 60";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
    process_ = {};
    return;
  }
  FindArgs args{process_.dwProcessId, L"ClipboardHolder", L"clipboard_holder"};
  WaitFor([&] {
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
    return args.found != nullptr;
  });
  hwnd_ = args.found;
}

ClipboardHolder::~ClipboardHolder() { Release(); }

void ClipboardHolder::Release() { CloseToolProcess(process_, hwnd_); }

bool CopyAsTheAgent(const std::wstring& text) {
  return WaitFor([&] {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(GlobalLock(memory)));
    GlobalUnlock(memory);
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return put;
  });
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = platform::Narrow(static_cast<const wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

}  // namespace jihe::e2e
