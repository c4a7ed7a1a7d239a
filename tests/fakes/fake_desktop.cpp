#include "fake_desktop.h"

#include <algorithm>

namespace jihe::testing {

void EventLog::Add(std::string event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

std::vector<std::string> EventLog::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void EventLog::Clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

std::string NameOf(WindowId id) { return id == 0 ? "#0" : "#" + std::to_string(id - 0xFF); }

// ---- desktop ------------------------------------------------------------------------------

WindowId FakeDesktop::Add(FakeWindow window) {
  std::lock_guard lock(mutex_);
  windows_.push_back({nextId_, std::move(window)});
  return nextId_++;
}

FakeDesktop::Entry* FakeDesktop::Find(WindowId id) {
  for (Entry& e : windows_) {
    if (e.id == id && e.alive) return &e;
  }
  return nullptr;
}

void FakeDesktop::Raise(WindowId id) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(windows_.begin(), windows_.end(), [&](const Entry& e) { return e.id == id; });
  if (it != windows_.end()) std::rotate(windows_.begin(), it, it + 1);
}

void FakeDesktop::Destroy(WindowId id) {
  std::lock_guard lock(mutex_);
  if (Entry* e = Find(id)) e->alive = false;
}

FakeWindow FakeDesktop::Get(WindowId id) const {
  std::lock_guard lock(mutex_);
  for (const Entry& e : windows_) {
    if (e.id == id) return e.window;
  }
  return {};
}

void FakeDesktop::Set(WindowId id, const FakeWindow& window) {
  std::lock_guard lock(mutex_);
  if (Entry* e = Find(id)) e->window = window;
}

std::vector<WindowId> FakeDesktop::VisibleTopLevelWindows() {
  std::lock_guard lock(mutex_);
  std::vector<WindowId> ids;
  for (const Entry& e : windows_) {
    if (e.alive && e.window.visible) ids.push_back(e.id);
  }
  return ids;
}

std::string FakeDesktop::WindowText(WindowId window) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(window);
  return e ? e->window.text : std::string();
}

std::string FakeDesktop::ClassName(WindowId window) {
  std::lock_guard lock(mutex_);
  ++classReads_;
  const Entry* e = Find(window);
  return e ? e->window.className : std::string();
}

Rect FakeDesktop::VisibleFrame(WindowId window) {
  Rect r = WindowRect(window);
  std::lock_guard lock(mutex_);
  if (const Entry* e = Find(window); e && !e->window.minimized) {
    r.left += e->window.invisibleBorder;
    r.right -= e->window.invisibleBorder;
    r.bottom -= e->window.invisibleBorder;
  }
  return r;
}

Rect FakeDesktop::WindowRect(WindowId window) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(window);
  if (!e) return {};
  // A minimised window sits far off screen as a small caption, as Windows keeps it.
  if (e->window.minimized) return {-32000, -32000, -32000 + 160, -32000 + 28};
  return e->window.rect;
}

bool FakeDesktop::IsVisible(WindowId window) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(window);
  return e && e->window.visible;
}

bool FakeDesktop::Exists(WindowId window) {
  std::lock_guard lock(mutex_);
  return Find(window) != nullptr;
}

bool FakeDesktop::IsMaximized(WindowId window) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(window);
  return e && e->window.maximized;
}

bool FakeDesktop::IsMinimized(WindowId window) {
  std::lock_guard lock(mutex_);
  const Entry* e = Find(window);
  return e && e->window.minimized;
}

std::vector<platform::Monitor> FakeDesktop::Monitors() {
  std::lock_guard lock(mutex_);
  return monitors;
}

std::optional<platform::Monitor> FakeDesktop::MonitorFromRect(const Rect& rect, bool nearest) {
  std::lock_guard lock(mutex_);
  const platform::Monitor* m = platform::MonitorOfRect(monitors, rect, nearest);
  return m ? std::optional(*m) : std::nullopt;
}

void FakeDesktop::MoveWindowTo(WindowId window, int left, int top) {
  std::lock_guard lock(mutex_);
  log_.Add("move " + NameOf(window) + " " + std::to_string(left) + "," + std::to_string(top));
  if (Entry* e = Find(window)) {
    Rect& r = e->window.rect;
    r = {left, top, left + r.width(), top + r.height()};
  }
}

void FakeDesktop::PlaceWindow(WindowId window, const Rect& rect) {
  std::lock_guard lock(mutex_);
  log_.Add("place " + NameOf(window) + " " + std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
           std::to_string(rect.width()) + "x" + std::to_string(rect.height()));
  if (Entry* e = Find(window)) e->window.rect = rect;
}

void FakeDesktop::ShowWindow(WindowId window) {
  std::lock_guard lock(mutex_);
  log_.Add("show " + NameOf(window));
  if (Entry* e = Find(window)) e->window.visible = true;
}

void FakeDesktop::HideWindow(WindowId window) {
  std::lock_guard lock(mutex_);
  log_.Add("hide " + NameOf(window));
  if (Entry* e = Find(window)) e->window.visible = false;
}

void FakeDesktop::SetTopmost(WindowId window) {
  std::lock_guard lock(mutex_);
  log_.Add("topmost " + NameOf(window));
  if (Entry* e = Find(window)) e->window.topmost = true;
}

void FakeDesktop::Restore(WindowId window) {
  std::lock_guard lock(mutex_);
  log_.Add("restore " + NameOf(window));
  if (Entry* e = Find(window)) e->window.minimized = false;
}

void FakeDesktop::BringToForeground(WindowId window) {
  log_.Add("foreground " + NameOf(window));
  foreground = window;
}

void FakeDesktop::PostLeftClick(WindowId window, int x, int y) {
  log_.Add("click " + NameOf(window) + " " + std::to_string(x) + "," + std::to_string(y));
}

// ---- clipboard and keyboard -----------------------------------------------------------------

// A write empties the clipboard first, so even a failed one has changed it.
bool FakeClipboard::Written(std::string event) {
  log_.Add(event);
  ++sequence_;
  writtenAt_ = log_.now();
  pasteAsked_ = false;
  content.formats.clear();
  const bool ok = failFrom == 0 || ++writes_ < failFrom;
  if (ok) content.formats.push_back({13, "", std::move(event)});
  return ok;
}

bool FakeClipboard::PutText(std::string_view text) { return Written("text " + std::string(text)); }
bool FakeClipboard::PutFileList(std::string_view paths) { return Written("files " + std::string(paths)); }
bool FakeClipboard::PutPicture(std::string_view fileBytes) { return Written("picture " + std::string(fileBytes)); }
bool FakeClipboard::PutRichContent(std::string_view htmlFragment) {
  return Written("rich " + std::string(htmlFragment));
}

std::optional<platform::ClipboardSnapshot> FakeClipboard::Save() {
  log_.Add("save clipboard");
  if (saveFails) return std::nullopt;
  platform::ClipboardSnapshot saved;
  for (const auto& format : content.formats) {
    if (std::find(uncopyable.begin(), uncopyable.end(), format.id) == uncopyable.end()) saved.formats.push_back(format);
  }
  return saved;
}

platform::Clipboard::RestoreResult FakeClipboard::Restore(const platform::ClipboardSnapshot& snapshot,
                                                          std::uint32_t ours) {
  if (copyDuringRestore) CopyByAnotherProgram(*copyDuringRestore);
  if (sequence_ != ours) return RestoreResult::NewerCopyKept;
  log_.Add("restore clipboard");
  content = snapshot;
  ++sequence_;
  return RestoreResult::Restored;
}

void FakeClipboard::ExpectPaste(std::uintptr_t window) {
  if (reader == 0 || window == reader) pasteAsked_ = true;
}

bool FakeClipboard::WasRead(std::uintptr_t window) {
  if ((reader != 0 && window != reader) || !pasteAsked_) return false;
  return readAfterMs >= 0 && log_.now() - writtenAt_ >= readAfterMs;
}

std::optional<std::string> FakeClipboard::Text() {
  for (const auto& format : content.formats) {
    if (format.id == 13) return format.bytes;
  }
  return std::nullopt;
}

void FakeClipboard::CopyByAnotherProgram(std::string text) {
  content.formats = {{13, "", std::move(text)}};
  ++sequence_;
}

namespace {
std::string KeyName(platform::Key key) {
  switch (key) {
    case platform::Key::Ctrl: return "Ctrl";
    case platform::Key::V: return "V";
    case platform::Key::Enter: return "Enter";
    case platform::Key::None: break;
  }
  return "?";
}
}  // namespace

void FakeKeyboard::PressKeyCombination(platform::Key key, platform::Key modifier1, platform::Key modifier2,
                                       platform::Key modifier3) {
  std::string name;
  for (platform::Key m : {modifier3, modifier2, modifier1}) {
    if (m != platform::Key::None) name += KeyName(m) + "+";
  }
  log_.Add(name + KeyName(key));
}

void FakeKeyboard::PressKey(platform::Key key) { log_.Add(KeyName(key)); }

// ---- waiting --------------------------------------------------------------------------------

namespace {
class FakeStopSignal : public platform::StopSignal {
 public:
  void Request() override { raised_ = true; }
  void Reset() override { raised_ = false; }
  bool Requested() const override { return raised_; }

 private:
  std::atomic<bool> raised_{false};
};
}  // namespace

bool FakeWaiter::WaitPumping(std::int64_t amount, platform::WaitUnit unit, const platform::StopSignal* stop) {
  const std::int64_t ms = std::max<std::int64_t>(0, platform::MillisecondsOf(amount, unit));
  log_.Add("wait " + std::to_string(ms));
  log_.Advance(ms);
  return !(stop && stop->Requested());
}

void FakeWaiter::ProcessPendingMessages() {
  if (logPumps_) log_.Add("pump");
}

std::unique_ptr<platform::StopSignal> FakeWaiter::CreateStopSignal() { return std::make_unique<FakeStopSignal>(); }

}  // namespace jihe::testing
