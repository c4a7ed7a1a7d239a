#pragma once
// The in-memory platform: a desktop of windows, a clipboard, a keyboard and a waiter that record
// every call, in order, into one log on a virtual clock. Waits advance the clock instead of sleeping.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/keyboard.h"
#include "platform/wait.h"

namespace jihe::testing {

using platform::Rect;
using platform::WindowId;

class EventLog {
 public:
  void Add(std::string event);
  std::vector<std::string> events() const;
  void Clear();
  std::int64_t now() const { return now_.load(); }
  void Advance(std::int64_t ms) { now_ += ms; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::atomic<std::int64_t> now_{0};
};

struct FakeWindow {
  std::string text;
  std::string className;
  Rect rect;
  bool visible = true;
  bool topmost = false;
  bool minimized = false;
  bool maximized = false;
  int invisibleBorder = 0;  // on the left, right and bottom of `rect`, as Windows 10 draws one
};

class FakeDesktop : public platform::Desktop {
 public:
  explicit FakeDesktop(EventLog& log) : log_(log) {}

  // Adds a window below all others (the Z-order is the order of adding) and returns its id.
  WindowId Add(FakeWindow window);
  // Puts a window on top of the Z-order.
  void Raise(WindowId id);
  void Destroy(WindowId id);
  FakeWindow Get(WindowId id) const;
  void Set(WindowId id, const FakeWindow& window);

  // One 1280 x 1024 monitor with a taskbar of 40 pixels at the bottom, unless a test sets others.
  std::vector<platform::Monitor> monitors{{{0, 0, 1280, 1024}, {0, 0, 1280, 984}, true}};
  // How often each was read; a pass must not read classes of windows that are no candidates.
  int classReads() const { return classReads_; }

  std::vector<WindowId> VisibleTopLevelWindows() override;
  std::string WindowText(WindowId window) override;
  std::string ClassName(WindowId window) override;
  Rect WindowRect(WindowId window) override;
  Rect VisibleFrame(WindowId window) override;
  bool IsVisible(WindowId window) override;
  bool Exists(WindowId window) override;
  bool IsMaximized(WindowId window) override;
  bool IsMinimized(WindowId window) override;
  std::vector<platform::Monitor> Monitors() override;
  std::optional<platform::Monitor> MonitorFromRect(const Rect& rect, bool nearest) override;
  void MoveWindowTo(WindowId window, int left, int top) override;
  void PlaceWindow(WindowId window, const Rect& rect) override;
  void ShowWindow(WindowId window) override;
  void HideWindow(WindowId window) override;
  void SetTopmost(WindowId window) override;
  void Restore(WindowId window) override;
  void ApplyChangesAskedByOtherThreads() override {}
  void BringToForeground(WindowId window) override;
  bool IsInFront(WindowId window) override { return window == foreground; }
  void PostLeftClick(WindowId window, int x, int y) override;

  WindowId foreground = 0;  // the last window brought to the foreground, unless a test sets another

 private:
  struct Entry {
    WindowId id;
    FakeWindow window;
    bool alive = true;
  };
  Entry* Find(WindowId id);
  EventLog& log_;
  mutable std::recursive_mutex mutex_;
  std::vector<Entry> windows_;  // top of the Z-order first
  WindowId nextId_ = 0x100;
  int classReads_ = 0;
};

class FakeClipboard : public platform::Clipboard {
 public:
  explicit FakeClipboard(EventLog& log) : log_(log) {}
  bool PutText(std::string_view text) override;
  bool PutFileList(std::string_view paths) override;
  bool PutPicture(std::string_view fileBytes) override;
  bool PutRichContent(std::string_view htmlFragment) override;
  std::optional<platform::ClipboardSnapshot> Save() override;
  RestoreResult Restore(const platform::ClipboardSnapshot& snapshot, std::uint32_t ours) override;
  // The first text format's content.
  std::optional<std::string> Text() override;
  std::uint32_t SequenceNumber() override { return sequence_; }
  // The chat program reads each write this many milliseconds (of the log's clock) after it was
  // made, once its paste was asked for; -1: never. Only the window `reader` counts as the chat
  // program.
  void ExpectPaste(std::uintptr_t window) override;
  bool WasRead(std::uintptr_t window) override;
  void HandOver() override { handedOver = true; }
  bool handedOver = false;  // what a send left there no longer needs its program
  std::int64_t readAfterMs = 0;
  std::uintptr_t reader = 0;  // 0: any window

  // What the clipboard holds. A write of ours leaves one text format with the logged text; a
  // format marked uncopyable stands for one the platform cannot copy (a palette, a private
  // handle): Save leaves it out.
  platform::ClipboardSnapshot content;
  std::vector<std::uint32_t> uncopyable;
  // Another program copies something: the content is replaced and the sequence number moves on.
  void CopyByAnotherProgram(std::string text);
  // ... at the moment the restore has opened the clipboard.
  std::optional<std::string> copyDuringRestore;
  bool saveFails = false;

  // The write of this number (from 1) and every later one fail, as when another program holds the
  // clipboard; 0: none fails.
  int failFrom = 0;

 private:
  bool Written(std::string event);
  EventLog& log_;
  int writes_ = 0;
  std::uint32_t sequence_ = 1;
  std::int64_t writtenAt_ = 0;
  bool pasteAsked_ = false;  // since the last write
};

class FakeKeyboard : public platform::Keyboard {
 public:
  explicit FakeKeyboard(EventLog& log) : log_(log) {}
  void PressKeyCombination(platform::Key key, platform::Key modifier1, platform::Key modifier2,
                           platform::Key modifier3) override;
  void PressKey(platform::Key key) override;

 private:
  EventLog& log_;
};

class FakeWaiter : public platform::Waiter {
 public:
  explicit FakeWaiter(EventLog& log, bool logPumps = true) : log_(log), logPumps_(logPumps) {}
  bool WaitPumping(std::int64_t amount, platform::WaitUnit unit, const platform::StopSignal* stop) override;
  void ProcessPendingMessages() override;
  std::unique_ptr<platform::StopSignal> CreateStopSignal() override;

 private:
  EventLog& log_;
  bool logPumps_;
};

// Names for the log: "#1" for the first window added, and so on.
std::string NameOf(WindowId id);

}  // namespace jihe::testing
