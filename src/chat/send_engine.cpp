#include "chat/send_engine.h"

#include <chrono>
#include <climits>
#include <map>
#include <mutex>

#include "chat/clipboard_keeper.h"
#include "chat/follow_loop.h"
#include "chat/pattern_matcher.h"
#include "chat/rich_content.h"
#include "library/library.h"
#include "library/phrase_variables.h"
#include "library/preview.h"
#include "platform/file_system.h"

namespace jihe::chat {

using platform::Key;

namespace {

constexpr std::string_view kOpenFile = "《";
constexpr std::string_view kCloseFile = "》";
// Group 1 is the whole address, which names a file share by its host (file://server/share/...).
constexpr std::string_view kPicturePattern = "<img src=\"(file:.*?)\">";
constexpr std::string_view kPictureStart = "[img=";
constexpr std::string_view kPictureEnd = "img]";
constexpr std::string_view kNoPicture = "<IMG src=\"file:///\">";
// How long a send waits for the team's share to say whether a picture is there.
constexpr std::chrono::milliseconds kShareAnswerLimit{1000};
// How long after that wait ran out the share is not asked again: each send in the meantime takes
// the spare's copy at once, rather than waiting the limit again and leaving one more question
// hanging on the network. The team session notices the outage itself within its checks.
constexpr std::chrono::seconds kShareSilenceKept{30};

// The shares that did not answer in time lately, by their img folder.
class SilentShares {
 public:
  bool Silent(const std::string& folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto at = since_.find(folder);
    if (at == since_.end()) return false;
    if (std::chrono::steady_clock::now() - at->second < kShareSilenceKept) return true;
    since_.erase(at);
    return false;
  }
  void Heard(const std::string& folder, bool answered) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (answered) since_.erase(folder);
    else since_[folder] = std::chrono::steady_clock::now();
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::chrono::steady_clock::time_point> since_;
};

SilentShares& Silences() {
  static SilentShares shares;
  return shares;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string RemoveAll(std::string_view text, std::string_view part) {
  std::string out;
  size_t at = 0;
  for (size_t hit; (hit = text.find(part, at)) != std::string_view::npos; at = hit + part.size()) {
    out.append(text.substr(at, hit - at));
  }
  out.append(text.substr(at));
  return out;
}

bool StartsIgnoringAsciiCase(std::string_view text, size_t at, std::string_view part) {
  if (text.size() - at < part.size()) return false;
  for (size_t k = 0; k < part.size(); ++k) {
    if (LowerAscii(text[at + k]) != LowerAscii(part[k])) return false;
  }
  return true;
}

size_t FindIgnoringAsciiCase(std::string_view text, std::string_view part, size_t from) {
  for (size_t at = from; at + part.size() <= text.size(); ++at) {
    if (StartsIgnoringAsciiCase(text, at, part)) return at;
  }
  return std::string_view::npos;
}

std::string EscapeAttribute(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '"') out += "&quot;";
    else out.push_back(c);
  }
  return out;
}

// The picture file a token names, when the preview would show it: a plain name directly inside
// img\. Any other name ("..\..\报价.xlsx", a sub-folder, another drive) is a missing picture, so
// a phrase can never send a file from elsewhere as its picture.
std::optional<std::string> PictureFileIn(std::string_view name, std::string_view imgFolder) {
  const std::string folder = std::string(imgFolder) + platform::kPathSeparator;
  const std::vector<library::PreviewRun> runs =
      library::ParsePreviewHtml("<IMG src=\"" + EscapeAttribute("file:///" + folder + std::string(name)) + "\">", folder);
  if (runs.size() != 1 || runs[0].kind != library::RunKind::Picture || runs[0].picturePath.empty()) {
    return std::nullopt;
  }
  return runs[0].picturePath;
}

// The picture in img\, or else the spare folder's copy of it when that one is there. The img\ of
// a phrase with a spare is the team's share: when it does not answer at once (its server went
// away since the last check), the spare's copy is sent rather than the send holding the panel for
// the network's timeouts. `shareAway` is set then, and the share is not asked again for the rest
// of the phrase, nor by the sends of the next moments. A picture the spare does not hold yet is
// still sent from the share: it is asked when the share is not known to be silent.
std::optional<std::string> PictureFileOfName(std::string_view name, std::string_view imgFolder,
                                             std::string_view spareImgFolder,
                                             const std::shared_ptr<platform::FileAccess>& share, bool& shareAway) {
  std::optional<std::string> file = PictureFileIn(name, imgFolder);
  if (!file || spareImgFolder.empty()) return file;
  // The question keeps the share and the path its own: it may outlive this send.
  const auto there = shareAway ? std::nullopt
                               : platform::AnswerWithin([share, path = *file] { return share->Stamp(path).has_value(); },
                                                        kShareAnswerLimit);
  if (!shareAway) Silences().Heard(std::string(imgFolder), there.has_value());
  shareAway = !there;
  if (there == true) return file;
  std::optional<std::string> kept = PictureFileIn(name, spareImgFolder);
  return kept && platform::FileExists(*kept) ? kept : file;
}

// The steps every send repeats.
class Typist {
 public:
  explicit Typist(SendContext& ctx) : ctx_(ctx) {}
  void Wait(int ms) { ctx_.waiter.WaitPumping(ms); }
  // Keys go to the window in front. Once that is no longer the chat window (the agent clicked
  // another customer's window while the send waited, or the chat window closed), the rest of the
  // phrase would be typed there: false, and nothing is typed.
  bool Paste() {
    if (!ctx_.desktop.IsInFront(chat)) return false;
    ctx_.clipboard.ExpectPaste(chat);
    ctx_.keyboard.PressKeyCombination(Key::V, Key::Ctrl);
    pasted_ = true;
    return true;
  }
  bool Enter() {
    if (!ctx_.desktop.IsInFront(chat)) return false;
    ctx_.keyboard.PressKey(Key::Enter);
    return true;
  }
  // A busy chat program reads its paste late, when the clipboard may hold something else: nothing
  // replaces a paste before the chat program has read it. False when it did not in time.
  bool LastPasteRead() {
    if (!pasted_) return true;
    pasted_ = false;
    return AwaitRead(ctx_.clipboard, ctx_.waiter, chat);
  }

  platform::WindowId chat = 0;  // the window the keys are meant for

 private:
  SendContext& ctx_;
  bool pasted_ = false;  // a paste not yet known to be read
};

// The values of a phrase's variables, read at the start of the send.
class SendVariables final : public library::VariableSource {
 public:
  SendVariables(SendContext& ctx, platform::WindowId chat) : ctx_(ctx), chat_(chat) {}
  std::optional<std::string> ClipboardText() override { return ctx_.clipboard.Text(); }
  std::string ChatTitle() override { return ctx_.desktop.WindowText(chat_); }
  std::string ChatClass() override { return ctx_.desktop.ClassName(chat_); }
  platform::LocalTime Now() override { return ctx_.clock.Now(); }
  std::optional<std::string> Ask(std::string_view prompt) override { return ctx_.host.AskValue(prompt); }

 private:
  SendContext& ctx_;
  platform::WindowId chat_;
};

}  // namespace

ChatKind ChatKindOfClass(std::string_view className) {
  if (className == "ChatWnd" || className == "WeChatMainWndForPC") return ChatKind::WeChat;
  if (className == "StandardFrame") return ChatKind::Wangwang;
  return ChatKind::Other;
}

int IntervalMilliseconds(std::string_view intervalText) {
  long long value = 0;
  for (char c : intervalText) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

std::string ReplaceAllIgnoringAsciiCase(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    bool hit = i + from.size() <= text.size();
    for (size_t k = 0; hit && k < from.size(); ++k) hit = LowerAscii(text[i + k]) == LowerAscii(from[k]);
    if (hit) {
      out.append(to);
      i += from.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

std::string PhraseHtml(std::string_view text, std::string_view imgFolder, std::string_view spareImgFolder,
                       std::shared_ptr<platform::FileAccess> share) {
  if (!share) share = platform::SystemFileAccess();
  std::string html;
  bool shareAway = !spareImgFolder.empty() && Silences().Silent(std::string(imgFolder));
  size_t i = 0;
  while (i < text.size()) {
    if (StartsIgnoringAsciiCase(text, i, kPictureStart)) {
      const size_t nameStart = i + kPictureStart.size();
      const size_t end = FindIgnoringAsciiCase(text, kPictureEnd, nameStart);
      if (end == std::string_view::npos) {
        // An unclosed token opens an element that nothing closes, as it always has.
        html += "<IMG src=\"file:///" + std::string(imgFolder) + platform::kPathSeparator;
        i = nameStart;
        continue;
      }
      // The name goes into the address percent-encoded, so that reading the address back gives
      // the name unchanged, "%20" and "#" included.
      const std::optional<std::string> file =
          PictureFileOfName(text.substr(nameStart, end - nameStart), imgFolder, spareImgFolder, share, shareAway);
      html += file ? "<IMG src=\"" + FileUrlOf(*file) + "\">" : std::string(kNoPicture);
      i = end + kPictureEnd.size();
    } else if (StartsIgnoringAsciiCase(text, i, kPictureEnd)) {
      html += "\">";
      i += kPictureEnd.size();
    } else if (text.compare(i, 2, "\r\n") == 0) {
      html += "<BR>";
      i += 2;
    } else {
      html.push_back(text[i++]);
    }
  }
  return html;
}

std::optional<std::string> PictureFileOfAddress(std::string_view address) {
  return LocalPathOfFileUrl(address);
}

std::optional<std::string> FileTokenOf(std::string_view text) {
  const size_t open = text.find(kOpenFile);
  if (open == std::string_view::npos || !Contains(text, kCloseFile)) return std::nullopt;
  const size_t start = open + kOpenFile.size();
  const size_t close = text.find(kCloseFile, start);
  if (close == std::string_view::npos) return std::string();
  return std::string(text.substr(start, close - start));
}

// The send itself; SendPhrase wraps it to give the agent their clipboard back.
static SendOutcome TypePhrase(SendContext& ctx, Typist& typist, SendMode mode) {
  if (ctx.host.Paused()) {
    ctx.host.ShowNotice(kPausedMessage);
    return SendOutcome::Refused;
  }
  const PhraseListSource source =
      mode == SendMode::ListClick ? PhraseListSource::ClickedList : PhraseListSource::CurrentList;
  const std::optional<std::string> row = ctx.host.SelectedRowText(source);
  if (!row) return SendOutcome::NothingToSend;
  if (library::ContentOf(*row).empty()) return SendOutcome::NothingToSend;

  // Without a chat window the keys would land in whatever window has the focus, and Enter would
  // send the phrase there: better to type nothing.
  const platform::WindowId chat = ctx.host.CurrentChatWindow();
  if (chat == 0 || !ctx.desktop.Exists(chat)) return SendOutcome::NoChatWindow;
  if (!EnsureWindowOnScreen(ctx.desktop, chat, true)) return SendOutcome::ChatOffScreen;

  // The values go in before anything is written or typed: a refusal or a canceled question leaves
  // the chat window and the clipboard as they were.
  SendVariables variables(ctx, chat);
  const std::string titleBefore = ctx.desktop.WindowText(chat);
  const library::FillResult fill = library::FillVariables(library::ContentOf(*row), variables);
  if (fill.outcome == library::FillOutcome::NoClipboardText) {
    ctx.host.ShowNotice(library::kNoClipboardTextMessage);
    return SendOutcome::NoClipboardText;
  }
  if (fill.outcome == library::FillOutcome::Canceled) return SendOutcome::InputCanceled;
  // The input box let the messages flow: the agent may have paused the work from the tray meanwhile.
  if (ctx.host.Paused()) {
    ctx.host.ShowNotice(kPausedMessage);
    return SendOutcome::Refused;
  }
  // Or gone on to another customer in the same window (a tab of Wangwang or of QQ's merged
  // window): the answer, and the name a {对方} took, were for the one before.
  if (ctx.desktop.WindowText(chat) != titleBefore) return SendOutcome::ChatChanged;
  const library::FilledPhrase& filled = fill.phrase;
  std::string text = filled.text();

  typist.chat = chat;
  typist.Wait(100);
  ctx.desktop.BringToForeground(chat);
  typist.Wait(100);

  std::string fileList;
  // A token around a value is no file token: a value never sends a file.
  if (std::optional<std::string> token = FileTokenOf(text); token && !filled.HoldsValue(*token)) {
    fileList = std::move(*token);
    text = ReplaceAllIgnoringAsciiCase(text, fileList, "");
    text = ReplaceAllIgnoringAsciiCase(text, kOpenFile, "");
    text = ReplaceAllIgnoringAsciiCase(text, kCloseFile, "");
  }

  const ChatKind kind = ChatKindOfClass(ctx.desktop.ClassName(chat));
  if (kind == ChatKind::WeChat) {
    ctx.desktop.PostLeftClick(chat, 350, ctx.desktop.WindowRect(chat).height() - 50);
  }

  // A write that fails leaves on the clipboard whatever was there before, perhaps something the
  // agent copied for themselves: Ctrl+V and Enter would send that to the customer. Stop instead.
  if (!fileList.empty()) {
    typist.Wait(10);
    if (!ctx.clipboard.PutFileList(fileList)) return SendOutcome::ClipboardBusy;
    typist.Wait(100);
    if (!typist.Paste()) return SendOutcome::ChatLeft;
    typist.Wait(100);
    if (!typist.Enter()) return SendOutcome::ChatLeft;
    typist.Wait(300);
  }

  if (!typist.LastPasteRead()) return SendOutcome::PasteUnread;
  if (!Contains(text, "[img=") && !Contains(text, "<IMG src")) {
    if (!ctx.clipboard.PutText(filled.Plain(text))) return SendOutcome::ClipboardBusy;
  } else {
    const std::string html = PhraseHtml(text, ctx.imgFolder, ctx.spareImgFolder);

    if (kind == ChatKind::Other) {
      // One paste of the whole phrase: text, breaks and pictures together. The waits are those the
      // chat programs were given when a page produced this content.
      if (!ctx.clipboard.PutRichContent(filled.Html(html))) return SendOutcome::ClipboardBusy;
      typist.Wait(110);
    } else {
      PatternMatcher pictures;
      pictures.CreateMatcher(kPicturePattern, html);
      const int interval = IntervalMilliseconds(ctx.options.Interval());
      for (int i = 1; i <= pictures.MatchCount(); ++i) {
        if (!typist.LastPasteRead()) return SendOutcome::PasteUnread;
        if (kind == ChatKind::WeChat) {
          if (!ctx.clipboard.PutRichContent(pictures.MatchText(i))) return SendOutcome::ClipboardBusy;
          typist.Wait(110);
          typist.Wait(10);
        } else {
          // A picture that cannot be read is still pasted: an emptied clipboard pastes nothing.
          const std::optional<std::string> file = PictureFileOfAddress(pictures.GroupText(i, 1));
          const std::optional<std::string> bytes = file ? platform::ReadWholeFile(*file) : std::nullopt;
          if (!ctx.clipboard.PutPicture(bytes ? *bytes : std::string())) return SendOutcome::ClipboardBusy;
          typist.Wait(100);
        }
        if (!typist.Paste()) return SendOutcome::ChatLeft;
        typist.Wait(100);
        if (!typist.Enter()) return SendOutcome::ChatLeft;
        if (kind == ChatKind::Wangwang) ctx.waiter.ProcessPendingMessages();
        if (interval > 0) typist.Wait(interval);
      }
      const std::string rest = filled.Plain(RemoveAll(pictures.ReplaceAll(""), "<BR>"));
      if (rest.empty()) return SendOutcome::PicturesOnly;
      typist.Wait(10);
      if (!typist.LastPasteRead()) return SendOutcome::PasteUnread;
      if (!ctx.clipboard.PutText(rest)) return SendOutcome::ClipboardBusy;
    }
  }

  typist.Wait(10);
  if (!typist.Paste()) return SendOutcome::ChatLeft;
  if (ctx.options.Get(settings::Option::自动点发送) && mode != SendMode::MenuSendNoEnter) {
    typist.Wait(100);
    if (!typist.Enter()) return SendOutcome::ChatLeft;
  }
  return SendOutcome::Sent;
}

SendOutcome SendPhrase(SendContext& ctx, SendMode mode) {
  ClipboardKeeper keeper(ctx.clipboard, ctx.options.Get(settings::Option::恢复剪贴板));
  SendContext kept{ctx.desktop, keeper,          ctx.keyboard,       ctx.waiter, ctx.options,
                   ctx.host,    ctx.imgFolder,   ctx.spareImgFolder, ctx.clock};
  Typist typist(kept);
  SendOutcome outcome = TypePhrase(kept, typist, mode);
  // The last paste too: the agent's clipboard goes back only once the chat program has it.
  if (outcome != SendOutcome::PasteUnread && !typist.LastPasteRead()) outcome = SendOutcome::PasteUnread;
  keeper.Finish(ctx.waiter, outcome != SendOutcome::PasteUnread);
  // What stays for a late read must not depend on this program answering it.
  ctx.clipboard.HandOver();
  return outcome;
}

}  // namespace jihe::chat
