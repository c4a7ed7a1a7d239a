// The send engine against the in-memory platform: the exact order of clipboard contents, keys,
// clicks and waits for each kind of phrase and chat window.
#include "chat/send_engine.h"

#include <gtest/gtest.h>

#include "chat/rich_content.h"
#include "fakes/fake_desktop.h"
#include "fakes/temp_dir.h"
#include "platform/file_system.h"

namespace jihe::chat {
namespace {

using platform::WindowId;
using settings::Option;
using testing::EventLog;
using testing::FakeClipboard;
using testing::FakeDesktop;
using testing::FakeKeyboard;
using testing::FakeWaiter;
using Strings = std::vector<std::string>;

class FakeHost : public SendHost {
 public:
  bool Paused() const override { return paused; }
  std::optional<std::string> SelectedRowText(PhraseListSource source) const override {
    return source == PhraseListSource::ClickedList ? clickedRow : currentRow;
  }
  WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view message) override { notices.emplace_back(message); }
  std::optional<std::string> AskValue(std::string_view) override { return std::nullopt; }

  bool paused = false;
  std::optional<std::string> clickedRow;
  std::optional<std::string> currentRow;
  WindowId chat = 0;
  Strings notices;
};

struct Case {
  const char* name;
  const char* className;
  std::string row;
  SendMode mode;
  bool autoSend;
  const char* interval;
  Strings expected;  // "{img}" stands for the picture folder's file address prefix
  SendOutcome outcome;
  int failFrom = 0;  // the clipboard write of this number (from 1) on fails
  std::int64_t readAfterMs = 0;  // when the chat program reads each write; -1: never
};

// The engine looking, every 10 ms, whether the chat program has read its paste yet.
Strings Polls(int n) { return Strings(n, "wait 10"); }

class SendPhraseTest : public ::testing::Test {
 protected:
  SendPhraseTest() {
    platform::CreateDirectories(img.str());
    platform::WriteFileAtomically(img.Sub("a.png"), "A-BYTES");
    platform::WriteFileAtomically(img.Sub("b.png"), "B-BYTES");
    platform::WriteFileAtomically(img.Sub("截图%201 #2.png"), "PERCENT-BYTES");
    platform::WriteFileAtomically(img.Sub("../报价.xlsx"), "OUTSIDE-BYTES");
    // The image prefix the engine writes: the folder's file address and a separator.
    imgUrl = FileUrlOf(img.str() + platform::kPathSeparator);
  }

  Strings Run(const Case& c, SendOutcome* outcome) {
    EventLog log;
    FakeDesktop desktop{log};
    FakeClipboard clipboard{log};
    clipboard.failFrom = c.failFrom;
    clipboard.readAfterMs = c.readAfterMs;
    FakeKeyboard keyboard{log};
    FakeWaiter waiter{log};
    settings::Options options;
    options.Set(Option::自动点发送, c.autoSend);
    options.Set(Option::恢复剪贴板, false);  // the sequences alone; the restore has its own test
    options.SetInterval(c.interval);
    desktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
    host.chat = desktop.Add({"客户甲", c.className, {100, 100, 700, 800}});
    clipboard.reader = host.chat;  // reads by other windows do not count
    host.clickedRow = c.row;
    host.currentRow = c.row;
    SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, img.str()};
    *outcome = SendPhrase(ctx, c.mode);
    return log.events();
  }

  std::string Expand(std::string s) const {
    for (size_t at; (at = s.find("{img}")) != std::string::npos;) s.replace(at, 5, imgUrl);
    return s;
  }

  testing::TempDir data;
  testing::TempDir img{"霁禾测试/img"};
  std::string imgUrl;
  FakeHost host;
};

const Strings kStart = {"wait 100", "foreground #2", "wait 100"};
const Strings kStartWeChat = {"wait 100", "foreground #2", "wait 100", "click #2 350,650"};

Strings Join(const Strings& a, const Strings& b) {
  Strings out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

TEST_F(SendPhraseTest, Sequences) {
  const Strings pasteAndSend = {"wait 10", "Ctrl+V", "wait 100", "Enter"};
  const Strings pasteOnly = {"wait 10", "Ctrl+V"};
  const Strings fileAB = {"wait 10", "files C:\\报价.xlsx", "wait 100", "Ctrl+V", "wait 100", "Enter", "wait 300"};
  const std::string mixed = "备注┃文字A\r\n[img=a.pngimg]\r\n文字B";
  const Case cases[] = {
      {"plain text keeps its line breaks", "TXGuiFoundation", "问候┃您好\r\n请稍等", SendMode::ListClick, true, "400",
       Join(kStart, Join({"text 您好\r\n请稍等"}, pasteAndSend)), SendOutcome::Sent},
      {"plain text to WeChat", "ChatWnd", "您好\r\n请稍等", SendMode::ListClick, true, "400",
       Join(kStartWeChat, Join({"text 您好\r\n请稍等"}, pasteAndSend)), SendOutcome::Sent},
      {"plain text to Aliwangwang", "StandardFrame", "您好", SendMode::MenuSend, true, "400",
       Join(kStart, Join({"text 您好"}, pasteAndSend)), SendOutcome::Sent},
      {"right-click without Enter", "TXGuiFoundation", "您好", SendMode::MenuSendNoEnter, true, "400",
       Join(kStart, Join({"text 您好"}, pasteOnly)), SendOutcome::Sent},
      {"auto-send off", "TXGuiFoundation", "您好", SendMode::ListClick, false, "400", Join(kStart, Join({"text 您好"}, pasteOnly)),
       SendOutcome::Sent},
      {"two separators", "TXGuiFoundation", "甲┃乙┃正文", SendMode::ListClick, true, "400",
       Join(kStart, Join({"text 正文"}, pasteAndSend)), SendOutcome::Sent},
      {"rich paste to QQ", "TXGuiFoundation", mixed, SendMode::ListClick, true, "400",
       Join(kStart, Join({"rich 文字A<BR><IMG src=\"{img}a.png\"><BR>文字B", "wait 110"}, pasteAndSend)),
       SendOutcome::Sent},
      {"rich paste to Momo with tokens in any case", "Chrome_WidgetWin_1", "A[img=a.PNGIMG]B", SendMode::ListClick, true, "400",
       Join(kStart, Join({"rich A<IMG src=\"{img}a.PNG\">B", "wait 110"}, pasteAndSend)), SendOutcome::Sent},
      {"an upper-case token start is not a picture", "TXGuiFoundation", "A[IMG=a.pngimg]", SendMode::ListClick, true, "400",
       Join(kStart, Join({"text A[IMG=a.pngimg]"}, pasteAndSend)), SendOutcome::Sent},
      {"WeChat: picture first, then the text joined", "ChatWnd", mixed, SendMode::ListClick, true, "400",
       Join(kStartWeChat,
            Join({"rich <IMG src=\"{img}a.png\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter", "wait 400",
                  "wait 10", "text 文字A文字B"},
                 pasteAndSend)),
       SendOutcome::Sent},
      {"Aliwangwang: picture as a bitmap", "StandardFrame", mixed, SendMode::ListClick, true, "250ms",
       Join(kStart, Join({"picture A-BYTES", "wait 100", "Ctrl+V", "wait 100", "Enter", "pump", "wait 250", "wait 10",
                          "text 文字A文字B"},
                         pasteAndSend)),
       SendOutcome::Sent},
      {"Aliwangwang: an unreadable picture still pastes", "StandardFrame", "[img=missing.pngimg]x", SendMode::ListClick, true, "",
       Join(kStart, Join({"picture ", "wait 100", "Ctrl+V", "wait 100", "Enter", "pump", "wait 10", "text x"},
                         pasteAndSend)),
       SendOutcome::Sent},
      {"pictures only: no final paste", "WeChatMainWndForPC", "[img=a.pngimg]\r\n[img=b.pngimg]", SendMode::MenuSendNoEnter, true,
       "abc",
       Join(kStartWeChat, {"rich <IMG src=\"{img}a.png\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter",
                           "rich <IMG src=\"{img}b.png\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter"}),
       SendOutcome::PicturesOnly},
      {"file token first, then the text", "TXGuiFoundation", "请查收《C:\\报价.xlsx》谢谢", SendMode::ListClick, true, "400",
       Join(kStart, Join(fileAB, Join({"text 请查收谢谢"}, pasteAndSend))), SendOutcome::Sent},
      {"only a file token pastes an empty text", "TXGuiFoundation", "《C:\\报价.xlsx》", SendMode::ListClick, true, "400",
       Join(kStart, Join(fileAB, Join({"text "}, pasteAndSend))), SendOutcome::Sent},
      {"the path is removed wherever it occurs", "TXGuiFoundation", "c:\\报价.XLSX 见《C:\\报价.xlsx》", SendMode::ListClick, true,
       "400", Join(kStart, Join(fileAB, Join({"text  见"}, pasteAndSend))), SendOutcome::Sent},
      {"files are sent even without the final Enter", "ChatWnd", "《C:\\报价.xlsx》好", SendMode::ListClick, false, "400",
       Join(kStartWeChat, Join(fileAB, Join({"text 好"}, pasteOnly))), SendOutcome::Sent},
      {"a 》 only before the 《: empty list, marks removed", "TXGuiFoundation", "》A《B", SendMode::ListClick, true, "400",
       Join(kStart, Join({"text AB"}, pasteAndSend)), SendOutcome::Sent},
      {"empty content", "TXGuiFoundation", "备注┃", SendMode::ListClick, true, "400", {}, SendOutcome::NothingToSend},
      // Picture names keep "%" and "#", and never lead out of the picture folder.
      {"a name with % and # reaches the address encoded", "ChatWnd", "[img=截图%201 #2.pngimg]", SendMode::ListClick, true, "",
       Join(kStartWeChat, {"rich <IMG src=\"{img}截图%25201%20%232.png\">", "wait 110", "wait 10", "Ctrl+V",
                           "wait 100", "Enter"}),
       SendOutcome::PicturesOnly},
      {"Aliwangwang reads a name with % as it is", "StandardFrame", "[img=截图%201 #2.pngimg]", SendMode::ListClick, true, "",
       Join(kStart, {"picture PERCENT-BYTES", "wait 100", "Ctrl+V", "wait 100", "Enter", "pump"}),
       SendOutcome::PicturesOnly},
      {"a name out of the folder is a missing picture", "StandardFrame", "[img=../报价.xlsximg]", SendMode::ListClick, true, "",
       Join(kStart, {"picture ", "wait 100", "Ctrl+V", "wait 100", "Enter", "pump"}), SendOutcome::PicturesOnly},
      {"... for WeChat too", "ChatWnd", "[img=..\\报价.xlsximg]", SendMode::ListClick, true, "",
       Join(kStartWeChat, {"rich <IMG src=\"file:///\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter"}),
       SendOutcome::PicturesOnly},
      {"... and for QQ", "TXGuiFoundation", "A[img=../报价.xlsximg]", SendMode::ListClick, true, "",
       Join(kStart, Join({"rich A<IMG src=\"file:///\">", "wait 110"}, pasteAndSend)), SendOutcome::Sent},
      // A clipboard write that fails ends the send before its paste.
      {"busy clipboard: plain text", "TXGuiFoundation", "您好", SendMode::ListClick, true, "", Join(kStart, {"text 您好"}),
       SendOutcome::ClipboardBusy, 1},
      {"busy clipboard: the file", "TXGuiFoundation", "请查收《C:\\报价.xlsx》谢谢", SendMode::ListClick, true, "",
       Join(kStart, {"wait 10", "files C:\\报价.xlsx"}), SendOutcome::ClipboardBusy, 1},
      {"busy clipboard: the text after the file", "TXGuiFoundation", "请查收《C:\\报价.xlsx》谢谢", SendMode::ListClick, true, "",
       Join(kStart, Join(fileAB, {"text 请查收谢谢"})), SendOutcome::ClipboardBusy, 2},
      {"busy clipboard: the rich paste", "TXGuiFoundation", mixed, SendMode::ListClick, true, "",
       Join(kStart, {"rich 文字A<BR><IMG src=\"{img}a.png\"><BR>文字B"}), SendOutcome::ClipboardBusy, 1},
      {"busy clipboard: a WeChat picture", "ChatWnd", mixed, SendMode::ListClick, true, "",
       Join(kStartWeChat, {"rich <IMG src=\"{img}a.png\">"}), SendOutcome::ClipboardBusy, 1},
      {"busy clipboard: the text after a bitmap", "StandardFrame", mixed, SendMode::ListClick, true, "",
       Join(kStart, {"picture A-BYTES", "wait 100", "Ctrl+V", "wait 100", "Enter", "pump", "wait 10",
                     "text 文字A文字B"}),
       SendOutcome::ClipboardBusy, 2},
      // A chat program that reads late: nothing replaces a paste before it is read, and the waits
      // are never shorter than the fixed ones. Each piece is read 1.5 s after its write.
      {"WeChat reads late: the text waits for the picture's read", "ChatWnd", mixed, SendMode::ListClick, true, "400",
       Join(kStartWeChat,
            Join({"rich <IMG src=\"{img}a.png\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter", "wait 400",
                  "wait 10"},
                 Join(Polls(87), Join({"text 文字A文字B"}, Join(pasteAndSend, Polls(139)))))),
       SendOutcome::Sent, 0, 1500},
      {"a file read late", "TXGuiFoundation", "请查收《C:\\报价.xlsx》谢谢", SendMode::ListClick, false, "",
       Join(kStart, Join(fileAB, Join(Polls(100), Join({"text 请查收谢谢"}, Join(pasteOnly, Polls(149)))))),
       SendOutcome::Sent, 0, 1500},
      // Never read: the send ends with the unread piece on the clipboard.
      {"a WeChat picture never read: no text is pasted", "ChatWnd", mixed, SendMode::ListClick, true, "400",
       Join(kStartWeChat, Join({"rich <IMG src=\"{img}a.png\">", "wait 110", "wait 10", "Ctrl+V", "wait 100", "Enter",
                                "wait 400", "wait 10"},
                               Polls(300))),
       SendOutcome::PasteUnread, 0, -1},
      {"a file never read: no text is pasted", "TXGuiFoundation", "请查收《C:\\报价.xlsx》谢谢", SendMode::ListClick, true, "",
       Join(kStart, Join(fileAB, Polls(300))), SendOutcome::PasteUnread, 0, -1},
      {"plain text never read", "TXGuiFoundation", "您好", SendMode::ListClick, true, "",
       Join(kStart, Join({"text 您好"}, Join(pasteAndSend, Polls(300)))), SendOutcome::PasteUnread, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendOutcome outcome;
    const Strings events = Run(c, &outcome);
    Strings expected;
    for (const std::string& e : c.expected) expected.push_back(Expand(e));
    EXPECT_EQ(events, expected);
    EXPECT_EQ(outcome, c.outcome);
  }
}

TEST_F(SendPhraseTest, MenuModesReadTheCurrentListAndRightClickSendsWithoutEnter) {
  host.currentRow = "来自右键的短语";
  EventLog log;
  FakeDesktop desktop{log};
  FakeClipboard clipboard{log};
  FakeKeyboard keyboard{log};
  FakeWaiter waiter{log};
  settings::Options options;
  options.Set(Option::自动点发送, true);
  options.Set(Option::恢复剪贴板, false);
  desktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
  for (SendMode mode : {SendMode::MenuSend, SendMode::MenuSendNoEnter}) {
    log.Clear();
    host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
    host.clickedRow = std::nullopt;
    SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, img.str()};
    EXPECT_EQ(SendPhrase(ctx, mode), SendOutcome::Sent);
    const Strings events = log.events();
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events[3], "text 来自右键的短语");
    EXPECT_EQ(events.back(), mode == SendMode::MenuSend ? "Enter" : "Ctrl+V");
  }
}

TEST_F(SendPhraseTest, SilentEndsAndTheRefusal) {
  EventLog log;
  FakeDesktop desktop{log};
  FakeClipboard clipboard{log};
  FakeKeyboard keyboard{log};
  FakeWaiter waiter{log};
  settings::Options options;
  SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, img.str()};
  host.clickedRow = "您好";

  host.paused = true;
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::Refused);
  EXPECT_EQ(host.notices, Strings{std::string(kPausedMessage)});
  host.paused = false;

  host.chat = 0;  // nothing docked yet: no keys into a random window
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::NoChatWindow);
  host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
  desktop.Destroy(host.chat);
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::NoChatWindow);

  host.clickedRow = std::nullopt;
  host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::NothingToSend);
  EXPECT_EQ(log.events(), Strings{});

  host.clickedRow = "您好";
  host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {-2000, 100, -1400, 800}});  // on a monitor that is gone
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::ChatOffScreen);
  EXPECT_EQ(log.events(), Strings{"move #3 50,50"});  // moved, and nothing typed

  // One the agent minimised (maximised before or not) is on screen: the send restores it, not moves it.
  log.Clear();
  testing::FakeWindow minimised{"客户乙", "TXGuiFoundation", {100, 100, 700, 800}};
  minimised.minimized = true;
  host.chat = desktop.Add(minimised);
  EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::Sent);
  EXPECT_EQ(desktop.Get(host.chat).rect, (platform::Rect{100, 100, 700, 800}));
}

// Another program copies something while the send waits for its last paste to be read.
class CopyingWaiter : public FakeWaiter {
 public:
  CopyingWaiter(EventLog& log, FakeClipboard& clipboard) : FakeWaiter(log), clipboard_(clipboard) {}
  bool WaitPumping(std::int64_t amount, platform::WaitUnit unit, const platform::StopSignal* stop) override {
    if (copyOnWait == amount) clipboard_.CopyByAnotherProgram("新复制的地址");
    return FakeWaiter::WaitPumping(amount, unit, stop);
  }
  std::int64_t copyOnWait = -1;

 private:
  FakeClipboard& clipboard_;
};

TEST_F(SendPhraseTest, TheAgentsClipboardComesBackUnlessSomethingNewerWasCopied) {
  using Format = platform::ClipboardSnapshot::Format;
  const Strings start = {"wait 100", "foreground #1", "wait 100"};  // the chat window is the only one
  const Format agents{13, "", "订单号 A123"};
  const Format palette{9, "", "PALETTE"};  // a handle, not memory: it cannot be kept
  const struct {
    const char* name;
    bool restore;
    bool saveFails;
    std::int64_t copyOnWait;
    int failFrom;
    SendOutcome outcome;
    Strings expected;
    std::vector<Format> after;
    std::int64_t readAfterMs = 0;  // when the chat program reads each write; -1: never
    const char* copyDuringRestore = nullptr;
  } cases[] = {
      {"restored once the paste was read", true, false, -1, 0, SendOutcome::Sent,
       Join(start, {"save clipboard", "text 您好", "wait 10", "Ctrl+V", "wait 500", "restore clipboard"}), {agents}},
      {"a newer copy is left alone", true, false, 500, 0, SendOutcome::Sent,
       Join(start, {"save clipboard", "text 您好", "wait 10", "Ctrl+V", "wait 500"}), {{13, "", "新复制的地址"}}},
      {"switched off", false, false, -1, 0, SendOutcome::Sent, Join(start, {"text 您好", "wait 10", "Ctrl+V"}),
       {{13, "", "text 您好"}}},
      {"unreadable before the send: the send goes on", true, true, -1, 0, SendOutcome::Sent,
       Join(start, {"save clipboard", "text 您好", "wait 10", "Ctrl+V"}), {{13, "", "text 您好"}}},
      {"a failed write emptied it", true, false, -1, 1, SendOutcome::ClipboardBusy,
       Join(start, {"save clipboard", "text 您好", "wait 500", "restore clipboard"}), {agents}},
      {"restored after a late read", true, false, -1, 0, SendOutcome::Sent,
       Join(start, Join({"save clipboard", "text 您好", "wait 10", "Ctrl+V"}, Join(Polls(149), {"wait 500", "restore clipboard"}))),
       {agents}, 1500},
      {"never read: the phrase stays, the agent's content is not put back", true, false, -1, 0, SendOutcome::PasteUnread,
       Join(start, Join({"save clipboard", "text 您好", "wait 10", "Ctrl+V"}, Polls(300))), {{13, "", "text 您好"}}, -1},
      {"a copy made while the restore opens the clipboard is kept", true, false, -1, 0, SendOutcome::Sent,
       Join(start, {"save clipboard", "text 您好", "wait 10", "Ctrl+V", "wait 500"}), {{13, "", "新复制的地址"}}, 0,
       "新复制的地址"},
  };
  for (const auto& c : cases) {
    EventLog log;
    FakeDesktop desktop{log};
    FakeClipboard clipboard{log};
    clipboard.content.formats = {agents, palette};
    clipboard.uncopyable = {9};
    clipboard.saveFails = c.saveFails;
    clipboard.failFrom = c.failFrom;
    clipboard.readAfterMs = c.readAfterMs;
    if (c.copyDuringRestore) clipboard.copyDuringRestore = c.copyDuringRestore;
    FakeKeyboard keyboard{log};
    CopyingWaiter waiter{log, clipboard};
    waiter.copyOnWait = c.copyOnWait;
    settings::Options options;
    options.Set(Option::恢复剪贴板, c.restore);
    host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
    host.clickedRow = "您好";
    SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, img.str()};
    EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), c.outcome) << c.name;
    EXPECT_EQ(log.events(), c.expected) << c.name;
    EXPECT_EQ(clipboard.content.formats, c.after) << c.name;
    EXPECT_TRUE(clipboard.handedOver) << c.name << ": what stays must not need this program";
  }
}

// The agent clicks another window (another customer's chat window) while the send waits: its
// keys would type the rest of the phrase there.
class ClickingAwayWaiter : public FakeWaiter {
 public:
  ClickingAwayWaiter(EventLog& log, FakeDesktop& desktop) : FakeWaiter(log), log_(log), desktop_(desktop) {}
  bool WaitPumping(std::int64_t amount, platform::WaitUnit unit, const platform::StopSignal* stop) override {
    if (clickAt >= 0 && log_.now() >= clickAt) desktop_.foreground = other;
    return FakeWaiter::WaitPumping(amount, unit, stop);
  }
  std::int64_t clickAt = -1;  // from this time of the log's clock on, `other` is in front
  WindowId other = 0;

 private:
  EventLog& log_;
  FakeDesktop& desktop_;
};

TEST_F(SendPhraseTest, NothingMoreIsTypedOnceTheChatWindowIsNoLongerInFront) {
  const Strings fileStart = Join(kStart, {"wait 10", "files C:\\报价.xlsx", "wait 100", "Ctrl+V"});
  const struct {
    const char* name;
    std::int64_t clickAt;
    std::int64_t readAfterMs;
    Strings expected;
  } cases[] = {
      {"between the file's paste and its Enter", 250, 0, Join(fileStart, {"wait 100"})},
      {"while the chat program reads the file late", 600, 800, Join(fileStart, Join({"wait 100", "Enter", "wait 300"}, Join(Polls(30), {"text 请查收", "wait 10"})))},
  };
  for (const auto& c : cases) {
    EventLog log;
    FakeDesktop desktop{log};
    FakeClipboard clipboard{log};
    clipboard.readAfterMs = c.readAfterMs;
    FakeKeyboard keyboard{log};
    ClickingAwayWaiter waiter{log, desktop};
    settings::Options options;
    options.Set(Option::自动点发送, true);
    options.Set(Option::恢复剪贴板, false);
    waiter.other = desktop.Add({"客户乙", "TXGuiFoundation", {200, 100, 800, 800}});
    host.chat = desktop.Add({"客户甲", "TXGuiFoundation", {100, 100, 700, 800}});
    waiter.clickAt = c.clickAt;
    host.clickedRow = "请查收《C:\\报价.xlsx》";
    SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, img.str()};
    EXPECT_EQ(SendPhrase(ctx, SendMode::ListClick), SendOutcome::ChatLeft) << c.name;
    EXPECT_EQ(log.events(), c.expected) << c.name;
  }
}

TEST(SendEngineText, IntervalAndFileToken) {
  EXPECT_EQ(IntervalMilliseconds("400"), 400);
  EXPECT_EQ(IntervalMilliseconds("12ab3"), 12);
  EXPECT_EQ(IntervalMilliseconds(""), 0);
  EXPECT_EQ(IntervalMilliseconds("x400"), 0);
  EXPECT_EQ(IntervalMilliseconds("99999999999999999999"), 2147483647);
  EXPECT_EQ(FileTokenOf("a《b》c《d》"), "b");
  EXPECT_EQ(FileTokenOf("》a《b"), "");
  EXPECT_EQ(FileTokenOf("a《b"), std::nullopt);
  EXPECT_EQ(ReplaceAllIgnoringAsciiCase("IMG]x img]", "img]", "\">"), "\">x \">");
}

}  // namespace
}  // namespace jihe::chat
