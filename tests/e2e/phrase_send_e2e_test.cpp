// Phrases sent from jihe.exe into chat windows of other programs (fake_chat, which logs every paste
// and Enter): a row selected in the phrase list and sent by the list menu's two send items or by a
// double click, into a QQ, a WeChat and an Aliwangwang window, and the refusal while paused.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/commands.h"
#include "chat/send_engine.h"
#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "platform/picture_win32.h"
#include "platform/utf16.h"
#include "storage/gb18030.h"
#include "storage/ini_file.h"

namespace jihe::e2e {
namespace {

using Event = FakeChat::Event;

constexpr int kPhraseListId = 120;

bool HasFormat(const Event& paste, const std::string& format) {
  return ("|" + paste.Field("formats") + "|").find("|" + format + "|") != std::string::npos;
}

bool DockedBeside(HWND panel, const FakeChat& chat) {
  const RECT p = RectOf(panel), c = chat.rect();
  return IsWindowVisible(panel) && p.left == c.right - 5 && p.top == c.top + 8;
}

class PhraseSendE2e : public ::testing::Test {
 protected:
  // One phrase group "常用" with these rows (line breaks as CR LF), a 3 × 2 picture img\a.png and
  // a file to attach; auto-send on and the three chat programs followed.
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(WriteGroupNames(data_, {"常用"}, {"默认"}));
    ASSERT_TRUE(platform::CreateDirectories(data_.Utf8(L"img")));
    const platform::DecodedPicture picture{3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF}};
    const auto png = platform::EncodePng(picture);
    ASSERT_TRUE(png);
    ASSERT_TRUE(platform::WriteFileAtomically(data_.Utf8(L"img\\a.png"), *png));
    ASSERT_TRUE(platform::WriteFileAtomically(attachment_, "报价"));

    std::string file;
    for (const std::string& row : kRows()) {
      std::string stored = row;
      for (size_t at; (at = stored.find("\r\n")) != std::string::npos;) stored.replace(at, 2, "[换行]");
      file += stored + "\r\n";
    }
    ASSERT_TRUE(platform::WriteFileAtomically(data_.Utf8(L"数据\\短语\\常用.txt"), storage::EncodeGb18030(file)));
    ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"跟随微信", true}, {"跟随旺旺", true}, {"自动点发送", true},
                                     {"双击发送", true}}));
  }
  void TearDown() override { CoUninitialize(); }

  std::vector<std::string> kRows() const {
    return {
        "问候┃您好\r\n请稍等",                      // 0: plain text, a remark before "┃"
        "文字A\r\n[img=a.pngimg]\r\n文字B",         // 1: text, picture, text
        "请查收《" + attachment_ + "》",            // 2: a file token
        "文字A[img=a.pngimg]",                      // 3: text and picture
    };
  }

  // Selects `row` of the phrase list and sends it as `how` does: a command of the list menu, or a
  // double click on the row.
  void Send(Jihe& jihe, int row, std::optional<app::Command> command) {
    HWND list = GetDlgItem(jihe.Panel(), kPhraseListId);
    ASSERT_TRUE(SelectListRow(jihe.process(), list, row));
    if (command) {
      jihe.PostCommand(static_cast<UINT>(*command));
    } else {
      const auto rc = jihe.ListItemRect(list, row);
      ASSERT_TRUE(rc);
      PostClick(list, {(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2}, true);
    }
  }

  TempFolder data_;
  std::string attachment_ = data_.Utf8(L"报价 单.txt");
};

TEST_F(PhraseSendE2e, SendsTheSelectedRowIntoEachKindOfChatWindow) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  HWND list = GetDlgItem(panel, kPhraseListId);
  ASSERT_EQ(ListView_GetItemCount(list), 4);
  const std::string picture = data_.Utf8(L"img\\a.png");

  {
    FakeChat qq(data_, "TXGuiFoundation", "客户甲", {300, 40, 560, 600});
    ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, qq); }));

    // Plain text keeps its line breaks; what precedes "┃" is not sent.
    Send(jihe, 0, app::Command::SendThisPhrase);
    auto events = qq.WaitForEvents(2);
    ASSERT_EQ(Kinds(events), "paste enter");
    EXPECT_EQ(events[0].Field("text"), "您好\r\n请稍等");
    EXPECT_EQ(events[1].Field("text"), "您好\r\n请稍等");

    // Text, picture, text: one rich paste, then one Enter.
    Send(jihe, 1, std::nullopt);
    events = qq.WaitForEvents(4);
    ASSERT_EQ(Kinds(events), "paste enter paste enter") << "double click";
    EXPECT_TRUE(HasFormat(events[2], "HTML Format"));
    EXPECT_TRUE(HasFormat(events[2], "QQ_Unicode_RichEdit_Format"));
    EXPECT_EQ(events[2].Field("text"), "文字A\r\n\r\n文字B");
    EXPECT_NE(events[2].Field("html").find("文字A<BR><IMG src=\"file:///"), std::string::npos) << events[2].Field("html");
    EXPECT_NE(events[2].Field("html").find("a.png\"><BR>文字B"), std::string::npos) << events[2].Field("html");

    // The file goes first and is sent; "发送但不发出" leaves the text in the input box.
    Send(jihe, 2, app::Command::SendWithoutEnter);
    events = qq.WaitForEvents(7);
    ASSERT_EQ(Kinds(events), "paste enter paste enter paste enter paste");
    EXPECT_EQ(events[4].Field("files"), attachment_);
    EXPECT_TRUE(HasFormat(events[4], "CF_HDROP"));
    EXPECT_EQ(events[6].Field("text"), "请查收");
  }
  {
    // WeChat: a click into its input area, the picture on its own, then the text joined.
    FakeChat wechat(data_, "ChatWnd", "客户乙", {320, 50, 560, 600});
    ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, wechat); }));
    Send(jihe, 1, app::Command::SendThisPhrase);
    const auto events = wechat.WaitForEvents(5);
    ASSERT_EQ(Kinds(events), "click paste enter paste enter");
    EXPECT_EQ(events[0].value, "350," + std::to_string(600 - 50));
    EXPECT_EQ(events[1].Field("picture"), "3x2");
    EXPECT_EQ(events[1].Field("files"), picture);
    EXPECT_TRUE(HasFormat(events[1], "PNG"));
    EXPECT_TRUE(HasFormat(events[1], "CF_DIB"));
    EXPECT_EQ(events[3].Field("text"), "文字A文字B");
  }
  {
    // Aliwangwang: the picture as a bitmap, then the text.
    FakeChat wangwang(data_, "StandardFrame", "阿里旺旺 - 客户丙", {340, 60, 560, 600});
    ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, wangwang); }));
    Send(jihe, 3, app::Command::SendThisPhrase);
    auto events = wangwang.WaitForEvents(4);
    ASSERT_EQ(Kinds(events), "paste enter paste enter");
    EXPECT_EQ(events[0].Field("picture"), "3x2");
    EXPECT_TRUE(HasFormat(events[0], "CF_DIB"));
    EXPECT_FALSE(HasFormat(events[0], "HTML Format"));
    EXPECT_EQ(events[2].Field("text"), "文字A");

    // Paused: the refusal, and nothing is typed.
    jihe.ClickMenu("暂停工作");
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); }));
    Send(jihe, 0, app::Command::SendThisPhrase);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = jihe.MessageBoxWindow()) != nullptr; })) << "no refusal";
    EXPECT_EQ(jihe.MessageBoxText(box), chat::kPausedMessage);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return jihe.MessageBoxWindow() == nullptr; }));
    EXPECT_EQ(wangwang.WaitForEvents(4).size(), 4u) << "typed while paused";
  }
}

// A second double click 0.4 s after the first comes while the first send still waits (for its
// Enter and to give the clipboard back): it is sent after it, not dropped, and their keys do not
// mix.
TEST_F(PhraseSendE2e, ADoubleClickDuringASendIsSentAfterIt) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  FakeChat qq(data_, "TXGuiFoundation", "客户甲", {300, 40, 560, 600});
  ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, qq); }));

  const auto first = std::chrono::steady_clock::now();
  Send(jihe, 0, std::nullopt);
  // The first paste shows that the first click was taken before the second row gets selected.
  ASSERT_TRUE(WaitFor([&] { return !qq.Events().empty(); }));
  // The agent's second double click, 0.4 s after the first: the pace of the input, not a wait for
  // a state.
  std::this_thread::sleep_until(first + std::chrono::milliseconds(400));
  Send(jihe, 1, std::nullopt);
  const auto events = qq.WaitForEvents(4);
  ASSERT_EQ(Kinds(events), "paste enter paste enter");
  EXPECT_EQ(events[0].Field("text"), "您好\r\n请稍等");
  EXPECT_EQ(events[2].Field("text"), "文字A\r\n\r\n文字B");
}

TEST_F(PhraseSendE2e, ABusyClipboardStopsTheSendBeforeAnyPaste) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  FakeChat qq(data_, "TXGuiFoundation", "客户甲", {300, 40, 560, 600});
  ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, qq); }));

  // Another program holds the clipboard, with something the agent copied for themselves on it:
  // neither the phrase nor that may reach the customer.
  {
    ClipboardHolder holder("私人内容");
    ASSERT_TRUE(holder.holding());
    Send(jihe, 0, app::Command::SendThisPhrase);
    EXPECT_TRUE(HoldsFor([&] { return qq.Events().empty(); }, 3000)) << Kinds(qq.Events());
  }

  // Once the clipboard is free, the same send goes out, and nothing is left over from the first.
  Send(jihe, 0, app::Command::SendThisPhrase);
  const auto events = qq.WaitForEvents(2);
  ASSERT_EQ(Kinds(events), "paste enter");
  EXPECT_EQ(events[0].Field("text"), "您好\r\n请稍等");
}

// A chat program busy loading history reads each paste 1.5 s late: it must still get the phrase's
// pieces, in order, and never the agent's own clipboard, which comes back afterwards.
TEST_F(PhraseSendE2e, AChatProgramThatReadsLateGetsThePhraseAndTheAgentsClipboardComesBack) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  const std::string agents = "别的客户的订单号12345";
  const struct {
    const char* name;
    const char* className;
    int row;
    std::string kinds;
    std::vector<std::pair<size_t, std::pair<std::string, std::string>>> fields;  // event, field, value
    bool chatWatches = false;  // the chat program reads every copy at once, and its paste late
    bool manager = false;      // a clipboard manager reads every copy at once
  } cases[] = {
      {"plain text", "TXGuiFoundation", 0, "paste enter", {{0, {"text", "您好\r\n请稍等"}}}},
      {"a WeChat picture phrase", "ChatWnd", 1, "click paste enter paste enter",
       {{1, {"picture", "3x2"}}, {1, {"text", ""}}, {3, {"text", "文字A文字B"}}}},
      {"a file phrase", "TXGuiFoundation", 2, "paste enter paste enter",
       {{0, {"files", attachment_}}, {2, {"text", "请查收"}}}},
      {"a WeChat that looks at every copied picture", "ChatWnd", 1, "click paste enter paste enter",
       {{1, {"picture", "3x2"}}, {1, {"text", ""}}, {3, {"text", "文字A文字B"}}}, true},
      {"a clipboard manager beside it", "TXGuiFoundation", 0, "paste enter", {{0, {"text", "您好\r\n请稍等"}}}, false, true},
  };
  int x = 300;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CopyAsTheAgent(platform::Widen(agents)));
    std::optional<FakeChat> manager;
    if (c.manager) manager.emplace(data_, "JiheTestClipboardManager", "剪贴板管理器", FakeChat::Place{0, 0, 200, 200, false, 0, true});
    FakeChat chat(data_, c.className, std::string("忙碌的客户") + c.name, {x += 10, 40, 560, 600, false, 1500, c.chatWatches});
    ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, chat); }));
    Send(jihe, c.row, app::Command::SendThisPhrase);
    const auto events = chat.WaitForEvents(std::count(c.kinds.begin(), c.kinds.end(), ' ') + 1, 20000);
    ASSERT_EQ(Kinds(events), c.kinds);
    for (const auto& [at, field] : c.fields) EXPECT_EQ(events[at].Field(field.first), field.second) << field.first;
    EXPECT_TRUE(WaitFor([&] { return ClipboardText() == agents; }, 8000)) << ClipboardText();
  }
}

// A chat program that does not read its paste within the limit: the send ends there, and the
// clipboard keeps the piece it did not read, so its late read gets that and not the agent's own.
TEST_F(PhraseSendE2e, APasteNeverReadInTimeEndsTheSendAndLeavesThePieceOnTheClipboard) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(CopyAsTheAgent(L"别的客户的订单号12345"));
  FakeChat chat(data_, "TXGuiFoundation", "卡住的客户", {300, 40, 560, 600, false, 4500});
  ASSERT_TRUE(WaitFor([&] { return DockedBeside(panel, chat); }));
  Send(jihe, 2, app::Command::SendThisPhrase);
  const auto events = chat.WaitForEvents(2, 20000);
  ASSERT_EQ(Kinds(events), "paste enter");  // the file, read late; its text never pasted
  EXPECT_EQ(events[0].Field("files"), attachment_);
  EXPECT_TRUE(HoldsFor([&] { return Kinds(chat.Events()) == "paste enter" && ClipboardText().empty(); }, 1500))
      << Kinds(chat.Events()) << " " << ClipboardText();
}

}  // namespace
}  // namespace jihe::e2e
