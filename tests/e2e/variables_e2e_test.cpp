// Phrases with variables sent from jihe.exe into a QQ-class chat window titled "张三": the
// customer's name and the agent's clipboard filled in, a picture token on the clipboard arriving as
// text, and a value asked at the send, answered and canceled.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "e2e/jihe_driver.h"
#include "library/input_box_win32.h"
#include "library/phrase_variables.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "storage/gb18030.h"
#include "storage/ini_file.h"

namespace jihe::e2e {
namespace {

using Event = FakeChat::Event;
constexpr int kPhraseListId = 120;

class PhraseVariablesE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteGroupNames(data_, {"常用"}, {"默认"}));
    const std::string rows = "{对方}您好，单号｛剪贴板｝\r\n快递单号：{输入:快递单号}\r\n";
    ASSERT_TRUE(platform::WriteFileAtomically(data_.Utf8(L"数据\\短语\\常用.txt"), storage::EncodeGb18030(rows)));
    ASSERT_TRUE(WriteOptions(data_, {{"跟随QQ", true}, {"自动点发送", true}}));
  }

  void Send(Jihe& jihe, int row) {
    ASSERT_TRUE(SelectListRow(jihe.process(), GetDlgItem(jihe.Panel(), kPhraseListId), row));
    jihe.PostCommand(static_cast<UINT>(app::Command::SendThisPhrase));
  }

  TempFolder data_;
};

TEST_F(PhraseVariablesE2e, FillsTheCustomerTheClipboardAndAnAnswer) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  FakeChat chat(data_, "TXGuiFoundation", "张三", {300, 40, 560, 600});
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(panel) && RectOf(panel).left == chat.rect().right - 5; }));

  // A picture token and a file token on the clipboard go out as the characters they are.
  const std::wstring copied = L"[img=a.pngimg]《C:\\报价.xlsx》";
  ASSERT_TRUE(CopyAsTheAgent(copied));
  Send(jihe, 0);
  auto events = chat.WaitForEvents(2);
  ASSERT_EQ(Kinds(events), "paste enter");
  EXPECT_EQ(events[0].Field("text"), "张三您好，单号" + platform::Narrow(copied));
  EXPECT_EQ(events[0].Field("files"), "");
  EXPECT_EQ(events[0].Field("picture"), "");

  // The question, answered with Enter.
  Send(jihe, 1);
  HWND box = jihe.WaitForWindowTitled(std::string(library::kAskValueTitle));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Text(GetDlgItem(box, library::kInputBoxPromptId)), "快递单号");
  HWND answer = GetDlgItem(box, library::kInputBoxEditId);
  // The search hotkey pressed out of habit: the question keeps the front and its focus, and no
  // search opens under it.
  PostMessageW(panel, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_SPACE));
  GUITHREADINFO gui{sizeof gui, 0, {}, {}, {}, {}, {}, {}, {}};
  EXPECT_TRUE(WaitFor([&] {
    return GetForegroundWindow() == box && GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui) &&
           gui.hwndFocus == answer;
  })) << "the question lost its focus";
  EXPECT_TRUE(HoldsFor([&] { return GetForegroundWindow() == box; }, 500));
  SendMessageW(answer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"SF1234567"));
  PostMessageW(answer, WM_KEYDOWN, VK_RETURN, 0);  // Enter sends with the value
  PostMessageW(answer, WM_KEYUP, VK_RETURN, 0);
  events = chat.WaitForEvents(4);
  ASSERT_EQ(Kinds(events), "paste enter paste enter");
  EXPECT_EQ(events[2].Field("text"), "快递单号：SF1234567");

  // ... and canceled with Esc: nothing is pasted, and the agent's clipboard is as it was.
  ASSERT_TRUE(WaitFor([&] { return ClipboardText() == platform::Narrow(copied); }, 8000)) << ClipboardText();
  Send(jihe, 1);
  box = jihe.WaitForWindowTitled(std::string(library::kAskValueTitle));
  ASSERT_NE(box, nullptr);
  HWND edit = GetDlgItem(box, library::kInputBoxEditId);
  PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(edit, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  EXPECT_TRUE(HoldsFor([&] { return chat.Events().size() == 4; }, 1500)) << Kinds(chat.Events());
  EXPECT_EQ(ClipboardText(), platform::Narrow(copied));
}

// The work paused from the tray while the question is open: the answer sends nothing.
TEST_F(PhraseVariablesE2e, PausedWhileAsked) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  FakeChat chat(data_, "TXGuiFoundation", "张三", {300, 40, 560, 600});
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(panel) && RectOf(panel).left == chat.rect().right - 5; }));
  Send(jihe, 1);
  HWND box = jihe.WaitForWindowTitled(std::string(library::kAskValueTitle));
  ASSERT_NE(box, nullptr);
  jihe.PostCommand(static_cast<UINT>(app::Command::PauseResume));
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(panel); }));  // paused, the panel goes to the tray
  HWND answer = GetDlgItem(box, library::kInputBoxEditId);
  SendMessageW(answer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"SF1"));
  PostMessageW(answer, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(answer, WM_KEYUP, VK_RETURN, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  EXPECT_TRUE(HoldsFor([&] { return chat.Events().empty(); }, 1500)) << Kinds(chat.Events());
}

}  // namespace
}  // namespace jihe::e2e
