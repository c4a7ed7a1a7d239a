// The Main panel's side of searching from the keyboard: Ctrl+F, the keys of the search boxes, and
// the global hotkey that calls the phrase search up from any program.

#include "app/main_panel_win32.h"

#include <utility>

namespace jihe::app {

namespace {
constexpr char kNotAChatWindow[] = "当前窗口不是跟随的聊天窗口，短语没有发送";
}  // namespace

bool MainPanel::PreTranslateSearch(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || !hwnd()) return false;
  // The Enter that commits a composition only commits it.
  if (phraseView_.ComposingInSearch() || commandView_.ComposingInSearch()) return false;
  // The hotkey was pressed over a window that is no chat window: a phrase sent now would land in
  // the chat window docked before, behind it, where the agent does not look.
  if (msg.wParam == VK_RETURN && calledFrom_ && !calledFromChat_ && phraseView_.IsSearchBox(msg.hwnd)) {
    ShowNotice(kNotAChatWindow);
    return true;
  }
  if (phraseView_.PreTranslateSearchKey(msg) || commandView_.PreTranslateSearchKey(msg)) return true;
  if (msg.wParam == 'F' && (GetKeyState(VK_CONTROL) & 0x8000) && page_ != 2 &&
      (msg.hwnd == hwnd() || IsChild(hwnd(), msg.hwnd))) {
    ShownLibrary().FocusSearch();
    return true;
  }
  return false;
}

bool MainPanel::RegisterSearchHotkey(settings::Hotkey hotkey) {
  if (hotkeyId_ != 0 && hotkey == registeredHotkey_) return true;
  // A second id, so the old combination stays registered until the new one is taken.
  const int id = hotkeyId_ == 1 ? 2 : 1;
  if (!RegisterHotKey(hwnd(), id, hotkey.modifiers, hotkey.virtualKey)) return false;
  if (hotkeyId_ != 0) UnregisterHotKey(hwnd(), hotkeyId_);
  hotkeyId_ = id;
  registeredHotkey_ = hotkey;
  return true;
}

// The window in front is remembered, so that Enter and Esc give the focus back to it; when it is a
// chat window the follow rules accept, it is also where the phrase goes, and the panel docks
// beside it at once instead of at the follow loop's next look.
void MainPanel::OnSearchHotkey() {
  // A box of ours is open over the panel (a send's question, an editor, a message): it is what
  // the agent has to answer first, so it comes to the front with its focus, and the search waits.
  if (!IsWindowEnabled(hwnd())) {
    if (HWND box = OpenBox()) SetForegroundWindow(box);
    return;
  }
  HWND front = GetForegroundWindow();
  // Pressed again over the search it opened (or a notice of the panel's): the same search, still
  // for the window it was called from.
  const bool again = front && (front == hwnd() || GetWindow(front, GW_OWNER) == hwnd());
  bool docked = false;
  if (!again) {
    calledFrom_ = front;
    if (calledFrom_) {
      const platform::WindowId chat = platform::IdOf(calledFrom_);
      const platform::Rect rect = desktop_.WindowRect(chat);
      if (chat::RecogniseChatWindow(desktop_, ws_.options, chat, desktop_.WindowText(chat), desktop_.ClassName(chat),
                                    rect) == chat::Recognition::Match) {
        followLoop_.state().currentChatWindow = chat;
        chat::DockPanel(desktop_, ws_.options, platform::IdOf(hwnd()), desktop_.WindowRect(chat));
        docked = true;
      }
    }
    calledFromChat_ = docked;
  }
  if (!docked && (!IsWindowVisible(hwnd()) || IsIconic(hwnd()))) ShowPanel(ShowVariant::Menu);
  ShowSearch();
}

// The topmost visible, enabled window with a caption that the panel owns, directly or through
// another box (an editor's message box); tooltips and balloons have none. Found in the windows'
// order on the screen: GetLastActivePopup would do only for a panel that no other window owns,
// and ours is owned by the hidden window that keeps it off the taskbar.
HWND MainPanel::OpenBox() const {
  const DWORD thread = GetCurrentThreadId();
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (GetWindowThreadProcessId(w, nullptr) != thread || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
    if ((GetWindowLongW(w, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) continue;
    for (HWND owner = GetWindow(w, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER))
      if (owner == hwnd()) return w;
  }
  return nullptr;
}

void MainPanel::ShowSearch() {
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  // Smart hide leaves a panel the agent called up in place until it has docked.
  followLoop_.state().userShownFlag = true;
  if (page_ != 0) ShowPage(0);
  phraseView_.FocusSearch();
}

// The agent went to another program: the search the hotkey called up is over. Enter in the
// search box then sends as from the panel itself, and Esc leaves the focus where it is.
void MainPanel::OnOtherProgramActive() {
  calledFrom_ = nullptr;
  calledFromChat_ = false;
}

void MainPanel::SearchKeyDone() {
  HWND back = std::exchange(calledFrom_, nullptr);
  if (back && IsWindow(back)) SetForegroundWindow(back);
}

}  // namespace jihe::app
