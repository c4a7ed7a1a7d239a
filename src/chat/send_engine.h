#pragma once
// The send engine: turns the selected phrase into input of the current chat window, as a typist
// would, through the clipboard, Ctrl+V and Enter. Attached files and, for WeChat and
// Aliwangwang/Qianniu, pictures go out as messages of their own before the text.
//
// It runs on the UI thread; every wait keeps that thread's messages flowing.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_access.h"
#include "platform/keyboard.h"
#include "platform/wait.h"
#include "settings/options.h"

namespace jihe::chat {

inline constexpr std::string_view kPausedMessage =
    "软件处于暂停工作状态,不跟随窗口,不进行群发,请右上角软件设置下开启！";

// The tray balloon's text when a send stopped because the clipboard could not be written.
inline constexpr std::string_view kClipboardBusyText = "剪贴板正被其他程序占用，本条短语没有发送完，请稍后再试";
// ... and when the chat program did not read a paste in time.
inline constexpr std::string_view kPasteUnreadText = "聊天窗口没有及时接收短语，短语留在剪贴板里，没有继续发送";
// ... and when another window came in front of the chat window during the send.
inline constexpr std::string_view kChatLeftText = "聊天窗口已不在最前面，短语没有继续发送";
inline constexpr std::string_view kChatChangedText = "聊天窗口已换成别的客户，短语没有发送";

// How a send was asked for: a click or double click on the phrase list, or one of the list menu's
// two send items.
enum class SendMode {
  ListClick,        // reads the list that raised the click
  MenuSend,         // "发送此条短语": reads the list last right-clicked
  MenuSendNoEnter,  // "右键发送不回车": the same, and never presses Enter after the paste
};

// Which phrase list the selected row is read from.
enum class PhraseListSource {
  ClickedList,  // the list that raised the click
  CurrentList,  // the phrase list last right-clicked (the menu modes)
};

// What the engine asks of the Main panel.
class SendHost {
 public:
  virtual ~SendHost() = default;
  virtual bool Paused() const = 0;
  // The selected row's text (remark, "┃", content; line breaks as CR LF); nothing without a
  // selected row.
  virtual std::optional<std::string> SelectedRowText(PhraseListSource source) const = 0;
  virtual platform::WindowId CurrentChatWindow() const = 0;
  // A notice in the "友情提醒" message box with the information icon and OK.
  virtual void ShowNotice(std::string_view message) = 0;
  // The value of a {输入:提示} variable, asked of the agent with `prompt` as the question; nothing
  // when they cancel.
  virtual std::optional<std::string> AskValue(std::string_view prompt) = 0;
};

struct SendContext {
  platform::Desktop& desktop;
  platform::Clipboard& clipboard;
  platform::Keyboard& keyboard;
  platform::Waiter& waiter;
  const settings::Options& options;
  SendHost& host;
  // The Data folder's picture folder, without a trailing separator.
  std::string imgFolder;
  // Where a picture that is not in imgFolder may still be, without a trailing separator: the team
  // cache's copies of pictures gone from the share. Empty when there is no such place.
  std::string spareImgFolder = {};
  // The date and time of {日期}, {时间} and {星期}.
  const platform::Clock& clock = platform::SystemClock();
};

enum class ChatKind { WeChat, Wangwang, Other };
ChatKind ChatKindOfClass(std::string_view className);

// The picture/text interval in milliseconds: the leading decimal digits of the settings box, 0 when
// there are none, capped so a long row of digits cannot overflow.
int IntervalMilliseconds(std::string_view intervalText);

// What a send returned for; a silent end is no failure shown to the user.
enum class SendOutcome {
  Refused,         // work is paused: the notice was shown
  NothingToSend,   // no selected row or an empty phrase
  NoChatWindow,    // no chat window docked yet, or it has closed
  ChatOffScreen,   // the chat window was off screen and has been moved to (50, 50)
  PicturesOnly,    // pictures went out and no text was left
  NoClipboardText, // {剪贴板} found no text on the clipboard: the notice was shown, nothing sent
  InputCanceled,   // the agent canceled the question of a {输入:提示}: nothing sent
  ClipboardBusy,   // a clipboard write failed: the send stopped before pasting what it held
  PasteUnread,     // the chat program did not read a paste in time: nothing more was pasted, and
                   // the piece stays on the clipboard
  ChatLeft,        // another window came in front of the chat window: nothing more was typed
  ChatChanged,     // the chat window turned to another customer while a value was asked: nothing sent
  Sent,
};

SendOutcome SendPhrase(SendContext& ctx, SendMode mode);

// Text helpers of the engine, shared with its tests.
std::string ReplaceAllIgnoringAsciiCase(std::string_view text, std::string_view from, std::string_view to);
// The send's HTML fragment of a phrase: a picture token becomes an image element with the file
// address of that name in `imgFolder` (given without its final separator), "img]" a closing quote,
// CR LF a "<BR>"; letter case is ignored. A token whose name would lead out of the folder becomes a
// picture with no file, "<IMG src=\"file:///\">". A picture missing from `imgFolder` that
// `spareImgFolder` holds is addressed there. An `imgFolder` with a spare is the team's share, asked
// through `share` (the system's file access when null).
std::string PhraseHtml(std::string_view text, std::string_view imgFolder, std::string_view spareImgFolder = {},
                       std::shared_ptr<platform::FileAccess> share = nullptr);
// The file a picture element's address names, as the picture pattern's group 1 holds it
// ("file:///C:/..." or "file://server/share/..."); nothing for an element with no file.
std::optional<std::string> PictureFileOfAddress(std::string_view address);
// The file list of a file token: the text between the first "《" and the first "》" after it.
std::optional<std::string> FileTokenOf(std::string_view text);

}  // namespace jihe::chat
