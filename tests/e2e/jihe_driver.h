#pragma once
// Starts jihe.exe against its own Data folder and finds, reads and drives its windows the way a
// user's clicks would reach them. Every wait polls with a time limit.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fakes/chat_log.h"

namespace jihe::e2e {

// Polls `condition` until it holds or `timeoutMs` has passed; true when it held.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// A program of the build as Windows sees it: built on Linux, the path is a Unix one, and under
// Wine it lies on drive Z:.
std::wstring BuiltProgram(const char* buildPath);
// The path of jihe.exe as Windows sees it.
std::wstring JiheExe();
// The path of jihe-data.exe as Windows sees it.
std::wstring DataToolExe();

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
  HWND WaitForPanel(int timeoutMs = 60000);  // the first start in a new Wine prefix is slow
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

  // A visible top-level window of this process with this title (any class), or nullptr.
  HWND WindowTitled(const std::string& title) const;
  HWND WaitForWindowTitled(const std::string& title, int timeoutMs = 10000) const;

  // Messages whose parameter points to memory go through a buffer made inside the program.
  std::optional<RECT> ListItemRect(HWND list, int item) const;
  std::string TabCaption(HWND strip, int tab) const;

 private:
  PROCESS_INFORMATION process_{};
};

// Waits for the program's message box, checks its text and clicks its OK button.
void ExpectMessage(const Jihe& jihe, const std::string& text);

// Child windows of `parent` in z-order.
std::vector<HWND> Children(HWND parent);
HWND ChildByCaption(HWND parent, const std::string& caption);
HWND ChildByClass(HWND parent, const wchar_t* className, bool visibleOnly);
std::string Text(HWND hwnd);
std::wstring ClassOf(HWND hwnd);

// ---- chat windows, the schedule page and list rows ------------------------------------------

// True when `condition` held at every look for `ms` milliseconds: how a test sees that something
// does not happen (the follow loop looks five times in 1.5 s).
bool HoldsFor(const std::function<bool()>& condition, int ms);

// A top-level window of the program by class (and title, when given); nullptr when none.
HWND TopLevelOf(const Jihe& jihe, const std::wstring& className, const std::wstring& title = L"");
// Opens the Settings window from the menu and waits for it; nullptr when it did not show.
HWND OpenSettings(const Jihe& jihe);
// Closes the Settings window with its close box and waits until it is hidden.
bool CloseSettings(const Jihe& jihe);

RECT RectOf(HWND hwnd);
bool IsTopmostWindow(HWND hwnd);
// Writes config.ini in `data` with these Settings options (check boxes and radio buttons by their
// key, e.g. "跟随QQ"); options not named keep their first-start values.
bool WriteOptions(const TempFolder& data, const std::vector<std::pair<std::string, bool>>& options);
// Makes the Data folder of `data` with these phrase and command groups named in its conf.ini, in
// this order; the groups' files are the test's to write.
bool WriteGroupNames(const TempFolder& data, const std::vector<std::string>& phraseGroups,
                     const std::vector<std::string>& commandGroups);
// A click as the control's parent sees it: WM_COMMAND with the control's id and `code`.
void PostControlCommand(HWND control, UINT code);

// Memory inside another process, for the control messages that carry a pointer: the system copies
// the parameter across processes only for the classic window messages, not for list views, tab
// controls or date-time pickers.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  bool ok() const { return address_ != nullptr; }
  LPARAM lparam(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }
  bool Write(const void* data, size_t size, size_t offset = 0);
  bool Read(void* data, size_t size, size_t offset = 0) const;

 private:
  HANDLE process_;
  void* address_ = nullptr;
};

// The controls of `process` that the tests drive through pointers.
bool SetPickerTime(HANDLE process, HWND picker, int hour, int minute);
std::string ListCellText(HANDLE process, HWND list, int row, int column);
bool SelectListRow(HANDLE process, HWND list, int row);
// Clicks tab `index` of a tab control as the mouse would, so its parent hears of the change.
bool ClickTab(HANDLE process, HWND tabs, int index);

// One fake chat program (tools/chat_window), started for a test and closed at its end. Its log
// holds one event per line: "ready", "paste", "enter", "click".
class FakeChat {
 public:
  using Event = jihe::testing::ChatLogEntry;
  struct Place {
    int x = 100, y = 80, width = 600, height = 700;
    bool maximized = false;
    int pasteDelayMs = 0;  // a busy chat program: it reads each paste this late
    bool watchClipboard = false;  // it also reads the clipboard whenever it changes
  };
  FakeChat(const TempFolder& folder, const std::string& className, const std::string& title, Place place);
  ~FakeChat();
  FakeChat(const FakeChat&) = delete;
  FakeChat& operator=(const FakeChat&) = delete;

  HWND hwnd() const { return hwnd_; }
  RECT rect() const { return RectOf(hwnd_); }
  // Whether it is the first large window below those that are always on top: the one a follow
  // pass looks at first.
  bool IsFrontmost() const;
  // Puts it above every other window that is not always on top, and waits until the Z-order shows
  // it there (the activation of a window started a moment ago can still push it back); false when
  // it never got there.
  bool Raise() const;
  void MoveTo(int x, int y) const;

  // Every event after "ready".
  std::vector<Event> Events() const;
  // Waits until `count` events have arrived, then a little longer to see that no more follow.
  std::vector<Event> WaitForEvents(size_t count, int timeoutMs = 10000) const;

 private:
  std::string log_;
  PROCESS_INFORMATION process_{};
  HWND hwnd_ = nullptr;
};

// The kinds of these events, one blank between them: "paste enter paste enter".
std::string Kinds(const std::vector<FakeChat::Event>& events);

// What the agent copied for themselves, put on the clipboard as another program would (tried again
// while another program holds the clipboard).
bool CopyAsTheAgent(const std::wstring& text);
// The clipboard's text, as UTF-8; empty when it holds none.
std::string ClipboardText();

// Another program (tools/chat_window) that puts `text` on the clipboard and then keeps the
// clipboard open until released, so no other program can write it.
class ClipboardHolder {
 public:
  explicit ClipboardHolder(const std::string& text);
  ~ClipboardHolder();
  ClipboardHolder(const ClipboardHolder&) = delete;
  ClipboardHolder& operator=(const ClipboardHolder&) = delete;
  // True once the clipboard is held.
  bool holding() const { return hwnd_ != nullptr; }
  // Closes the clipboard and ends the program.
  void Release();

 private:
  PROCESS_INFORMATION process_{};
  HWND hwnd_ = nullptr;
};

// Mouse input as the window itself would receive it, at a point of its client area.
void PostClick(HWND hwnd, POINT pt, bool doubleClick = false);
void PostKey(HWND hwnd, UINT virtualKey);

}  // namespace jihe::e2e
