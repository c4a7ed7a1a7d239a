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
  // so the list last right-clicked and the list clicked are the same one. A send itself reads the
  // row its request took when it was asked for.
  (void)source;
  return phraseView_.SelectedRowText();
}

void MainPanel::ShowNotice(std::string_view message) { platform::ShowInfoMessage(hwnd(), message); }

std::optional<std::string> MainPanel::AskValue(std::string_view prompt) {
  return library::InputBox(hwnd(), prompt, library::kAskValueTitle, "");
}

// The row, its picture folder and the chat window are taken now: a send that has to wait for the
// one before is still for the row and the customer the agent chose.
void MainPanel::SendPhrase(chat::SendMode mode) {
  // A team phrase's pictures are in the team folder's img (or its cache's).
  storage::TabPictureFolders folders =
      storage::PictureFoldersOfTab(phraseView_.SelectedTab().value_or(library::TabRef{}), store_.folder(), team_);
  for (std::string* folder : {&folders.img, &folders.spare})
    if (!folder->empty() && (folder->back() == '\\' || folder->back() == '/')) folder->pop_back();
  SendRequest request{mode, phraseView_.SelectedRowText(), std::move(folders.img), std::move(folders.spare),
                      CurrentChatWindow(), phraseView_.SelectedCountKey()};
  // Told without a box, which would take the focus from the chat window the running send types into.
  if (sendQueue_.Ask(std::move(request)) == SendQueue::Asked::Refused)
    ShowBalloon(kBalloonTitle, kSendBusyText, NIIF_WARNING, 3000);
}

void MainPanel::RunSend(chat::SendHost& host, const SendRequest& request) {
  platform::Win32Clipboard clipboard;
  platform::Win32Keyboard keyboard;
  const auto waiter = platform::CreateThreadWaiter();
  chat::SendContext ctx{desktop_,    clipboard, keyboard, *waiter, ws_.options, host, request.imgFolder,
                        request.spareImgFolder};
  // The agent must learn that the phrase did not (fully) go out, without a box that takes the focus
  // from the chat window.
  const chat::SendOutcome outcome = chat::SendPhrase(ctx, request.mode);
  const bool wentOut = outcome == chat::SendOutcome::Sent || outcome == chat::SendOutcome::PicturesOnly;
  if (wentOut && request.countKey) phraseView_.CountUse(*request.countKey);
  if (outcome == chat::SendOutcome::ClipboardBusy) ShowBalloon(kBalloonTitle, chat::kClipboardBusyText, NIIF_WARNING, 5000);
  if (outcome == chat::SendOutcome::PasteUnread) ShowBalloon(kBalloonTitle, chat::kPasteUnreadText, NIIF_WARNING, 5000);
  if (outcome == chat::SendOutcome::ChatLeft) ShowBalloon(kBalloonTitle, chat::kChatLeftText, NIIF_WARNING, 5000);
  if (outcome == chat::SendOutcome::ChatChanged)
    ShowBalloon(kBalloonTitle, chat::kChatChangedText, NIIF_WARNING, 5000);
}

}  // namespace jihe::app
