// The Main panel's side of a send: what the send engine asks of it, and the send itself.

#include "app/main_panel_win32.h"

#include <shellapi.h>

#include "library/phrase_variables.h"
#include "library/input_box_win32.h"
#include "platform/clipboard_win32.h"
#include "platform/keyboard_win32.h"
#include "platform/wait_win32.h"

namespace jihe::app {

std::optional<std::string> MainPanel::SelectedRowText(chat::PhraseListSource source) const {
  // The phrase page shows one list, the selected group's; a right click never changes the group,
  // so the list last right-clicked and the list clicked are the same one.
  (void)source;
  return phraseView_.SelectedRowText();
}

void MainPanel::ShowNotice(std::string_view message) { platform::ShowInfoMessage(hwnd(), message); }

std::optional<std::string> MainPanel::AskValue(std::string_view prompt) {
  return library::InputBox(hwnd(), prompt, library::kAskValueTitle, "");
}

void MainPanel::SendPhrase(chat::SendMode mode) {
  // A send waits with the messages flowing (for the chat program, and to give the clipboard back):
  // a click or a key then must not start a second send inside it, whose keeper would take this
  // send's phrase for the agent's clipboard.
  if (sending_) return;
  sending_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{sending_};
  platform::Win32Clipboard clipboard;
  platform::Win32Keyboard keyboard;
  const auto waiter = platform::CreateThreadWaiter();
  // A team phrase's pictures are in the team folder's img (or its cache's).
  std::string img = storage::ImgFolderOfTab(phraseView_.SelectedTab().value_or(library::TabRef{}), store_.folder(), team_);
  if (!img.empty() && (img.back() == '\\' || img.back() == '/')) img.pop_back();
  chat::SendContext ctx{desktop_, clipboard, keyboard, *waiter, ws_.options, *this, std::move(img)};
  // The agent must learn that the phrase did not (fully) go out, without a box that takes the focus
  // from the chat window.
  const std::optional<storage::SendCountKey> sent = phraseView_.SelectedCountKey();
  const chat::SendOutcome outcome = chat::SendPhrase(ctx, mode);
  if (sent && (outcome == chat::SendOutcome::Sent || outcome == chat::SendOutcome::PicturesOnly)) phraseView_.CountUse(*sent);
  if (outcome == chat::SendOutcome::ClipboardBusy) ShowBalloon(kBalloonTitle, chat::kClipboardBusyText, NIIF_WARNING, 5000);
  if (outcome == chat::SendOutcome::PasteUnread) ShowBalloon(kBalloonTitle, chat::kPasteUnreadText, NIIF_WARNING, 5000);
}

}  // namespace jihe::app
