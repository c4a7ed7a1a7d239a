// The send engine and the follow loop on the real platform, against fake_chat windows in their own
// processes: what each kind of chat window finds on the clipboard at each paste, and each Enter.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "chat/follow_loop.h"
#include "chat/rich_content.h"
#include "chat/send_engine.h"
#include "fakes/chat_log.h"
#include "fakes/temp_dir.h"
#include "platform/clipboard_win32.h"
#include "platform/desktop_win32.h"
#include "platform/file_system.h"
#include "platform/keyboard_win32.h"
#include "platform/picture_win32.h"
#include "platform/utf16.h"
#include "platform/wait_win32.h"

namespace jihe::chat {
namespace {

using platform::Narrow;
using platform::Widen;
using Fields = std::map<std::string, std::string>;

std::string ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return Narrow(p.substr(0, p.find_last_of(L"\\/")));
}

// One fake chat program, started for a test and closed at its end.
class FakeChat {
 public:
  FakeChat(const testing::TempDir& dir, const std::string& className, const std::string& title, const std::string& size,
           const std::string& pos = "100,80")
      : log_(dir.Sub("chat.log")), className_(className), title_(title) {
    const std::string exe = ExeFolder() + "\\fake_chat.exe";
    EXPECT_TRUE(platform::FileExists(exe)) << exe;
    std::wstring cmd = L"\"" + Widen(exe) + L"\" --class " + Widen(className) + L" --title \"" + Widen(title) +
                       L"\" --size " + Widen(size) + L" --pos " + Widen(pos) + L" --log \"" + Widen(log_) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) return;
    for (int i = 0; i < 1000 && !hwnd_; ++i) {
      hwnd_ = FindWindowW(Widen(className).c_str(), Widen(title).c_str());
      if (!hwnd_) Sleep(10);
    }
    WaitForLines(1);
  }
  ~FakeChat() {
    if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  HWND hwnd() const { return hwnd_; }

  // Each line as its fields, with the event's kind under "event" and a field without a name
  // under "value".
  std::vector<Fields> Lines() const {
    std::vector<Fields> lines;
    for (testing::ChatLogEntry& entry : testing::ParseChatLog(platform::ReadWholeFile(log_).value_or(""))) {
      Fields fields = std::move(entry.fields);
      fields["event"] = entry.kind;
      if (!entry.value.empty()) fields["value"] = entry.value;
      lines.push_back(std::move(fields));
    }
    return lines;
  }
  // Waits, with a time limit, for the log to hold this many lines.
  std::vector<Fields> WaitForLines(size_t count) const {
    for (int i = 0; i < 500; ++i) {
      if (Lines().size() >= count) break;
      Sleep(10);
    }
    return Lines();
  }

 private:
  std::string log_;
  std::string className_, title_;
  PROCESS_INFORMATION process_{};
  HWND hwnd_ = nullptr;
};

class Host : public SendHost {
 public:
  bool Paused() const override { return paused; }
  std::optional<std::string> SelectedRowText(PhraseListSource) const override { return row; }
  platform::WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view message) override { notices.emplace_back(message); }
  std::optional<std::string> AskValue(std::string_view) override { return std::nullopt; }
  bool paused = false;
  std::string row;
  platform::WindowId chat = 0;
  std::vector<std::string> notices;
};

class SendE2E : public ::testing::Test {
 protected:
  SendE2E() {
    platform::CreateDirectories(imgFolder);
    const platform::DecodedPicture picture{3, 2, {0xFFFF0000, 0xFF00FF00, 0x00000000, 0xFF0000FF, 0x80000000, 0xFFFFFFFF}};
    platform::WriteFileAtomically(imgFolder + "\\a.png", *platform::EncodePng(picture));
    options.Set(settings::Option::自动点发送, true);
    options.SetInterval("50");
  }

  std::vector<Fields> Send(FakeChat& chat, const std::string& row, SendMode mode, size_t expectedLines) {
    host.row = row;
    host.chat = platform::IdOf(chat.hwnd());
    auto waiter = platform::CreateThreadWaiter();
    SendContext ctx{desktop, clipboard, keyboard, *waiter, options, host, imgFolder};
    SendPhrase(ctx, mode);
    std::vector<Fields> lines = chat.WaitForLines(1 + expectedLines);
    Sleep(300);  // nothing more may arrive
    lines = chat.Lines();
    lines.erase(lines.begin());  // "ready"
    return lines;
  }

  testing::TempDir dir;
  std::string imgFolder = dir.Sub("霁禾测试/img");
  platform::Win32Desktop desktop;
  platform::Win32Clipboard clipboard;
  platform::Win32Keyboard keyboard;
  settings::Options options;
  Host host;
};

bool HasFormat(const Fields& paste, const std::string& format) {
  const std::string all = "|" + paste.at("formats") + "|";
  return all.find("|" + format + "|") != std::string::npos;
}

TEST_F(SendE2E, PlainTextKeepsItsLineBreaks) {
  FakeChat chat(dir, "TXGuiFoundation", "客户甲", "600x700");
  ASSERT_TRUE(chat.hwnd());
  const auto lines = Send(chat, "问候┃您好\r\n请稍等", SendMode::ListClick, 2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("event"), "paste");
  EXPECT_EQ(lines[0].at("text"), "您好\r\n请稍等");
  EXPECT_EQ(lines[1].at("event"), "enter");
  EXPECT_EQ(lines[1].at("text"), "您好\r\n请稍等");  // what the input box held when Enter came
}

TEST_F(SendE2E, QQGetsOneRichPasteAndOneEnter) {
  FakeChat chat(dir, "TXGuiFoundation", "客户甲", "600x700");
  const auto lines = Send(chat, "文字A\r\n[img=a.pngimg]\r\n文字B", SendMode::ListClick, 2);
  ASSERT_EQ(lines.size(), 2u);
  const Fields& paste = lines[0];
  EXPECT_TRUE(HasFormat(paste, "HTML Format"));
  EXPECT_TRUE(HasFormat(paste, "QQ_Unicode_RichEdit_Format"));
  EXPECT_TRUE(HasFormat(paste, "CF_UNICODETEXT"));
  EXPECT_FALSE(HasFormat(paste, "CF_DIB"));
  EXPECT_EQ(paste.at("text"), "文字A\r\n\r\n文字B");
  EXPECT_EQ(paste.at("html"), "文字A<BR><IMG src=\"" + FileUrlOf(imgFolder + "\\a.png") + "\"><BR>文字B");
  EXPECT_EQ(lines[1].at("event"), "enter");
}

TEST_F(SendE2E, WeChatGetsThePictureFirstThenTheJoinedText) {
  FakeChat chat(dir, "ChatWnd", "客户乙", "600x700");
  const auto lines = Send(chat, "文字A\r\n[img=a.pngimg]\r\n文字B", SendMode::ListClick, 5);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].at("event"), "click");
  RECT client;
  GetClientRect(chat.hwnd(), &client);
  EXPECT_EQ(lines[0].at("value"), "350,650");  // posted in the window's own coordinates
  EXPECT_EQ(lines[1].at("event"), "paste");
  EXPECT_EQ(lines[1].at("picture"), "3x2");
  EXPECT_EQ(lines[1].at("files"), imgFolder + "\\a.png");
  EXPECT_TRUE(HasFormat(lines[1], "PNG"));
  EXPECT_TRUE(HasFormat(lines[1], "HTML Format"));
  EXPECT_FALSE(HasFormat(lines[1], "CF_UNICODETEXT"));
  EXPECT_EQ(lines[2].at("event"), "enter");
  EXPECT_EQ(lines[3].at("text"), "文字A文字B");
  EXPECT_EQ(lines[4].at("event"), "enter");
}

TEST_F(SendE2E, AliwangwangGetsABitmap) {
  FakeChat chat(dir, "StandardFrame", "买家 - 阿里旺旺 - 接待", "600x700");
  const auto lines = Send(chat, "文字A[img=a.pngimg]", SendMode::ListClick, 4);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].at("picture"), "3x2");
  EXPECT_TRUE(HasFormat(lines[0], "CF_DIB"));
  EXPECT_FALSE(HasFormat(lines[0], "HTML Format"));
  EXPECT_EQ(lines[1].at("event"), "enter");
  EXPECT_EQ(lines[2].at("text"), "文字A");
  EXPECT_EQ(lines[3].at("event"), "enter");
}

TEST_F(SendE2E, FileTokenGoesFirstAndRightClickNoSendLeavesTheTextUnsent) {
  FakeChat chat(dir, "TXGuiFoundation", "客户丙", "600x700");
  const std::string file = dir.Sub("报价 单.txt");
  platform::WriteFileAtomically(file, "x");
  const auto lines = Send(chat, "请查收《" + file + "》", SendMode::MenuSendNoEnter, 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at("files"), file);
  EXPECT_EQ(lines[1].at("event"), "enter");
  EXPECT_EQ(lines[2].at("event"), "paste");
  EXPECT_EQ(lines[2].at("text"), "请查收");
}

TEST_F(SendE2E, PictureNamesReachTheClipboardUnchanged) {
  const std::string name = "截图%201 #2.png";
  ASSERT_TRUE(platform::WriteFileAtomically(imgFolder + "\\" + name, *platform::ReadWholeFile(imgFolder + "\\a.png")));
  FakeChat chat(dir, "ChatWnd", "客户乙", "600x700");
  const auto lines = Send(chat, "[img=" + name + "img]", SendMode::ListClick, 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].at("files"), imgFolder + "\\" + name);
  EXPECT_EQ(lines[1].at("picture"), "3x2");
}

TEST_F(SendE2E, AMegabyteUnclosedPictureElementIsSentAsText) {
  // The picture pattern runs on the UI thread, whose stack is small: a long line must not use it up.
  FakeChat chat(dir, "ChatWnd", "客户乙", "600x700");
  const std::string row = "<IMG src=\"" + std::string(1 << 20, 'x');
  const auto lines = Send(chat, row, SendMode::ListClick, 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].at("text"), row);
  EXPECT_EQ(lines[2].at("event"), "enter");
}

TEST_F(SendE2E, PausedRefusesAndTypesNothing) {
  FakeChat chat(dir, "TXGuiFoundation", "客户丁", "600x700");
  host.paused = true;
  const auto lines = Send(chat, "您好", SendMode::ListClick, 0);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(host.notices, std::vector<std::string>{std::string(kPausedMessage)});
}

TEST_F(SendE2E, FollowLoopMovesAChatWindowOffEveryMonitorAndDocksOnTheNextPass) {
  FakeChat chat(dir, "WeChatMainWndForPC", "微信", "600x700", "-3000,-8");
  ASSERT_TRUE(chat.hwnd());
  for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
  options.Set(settings::Option::跟随微信, true);
  options.Set(settings::Option::跟随到左边, true);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"JihePanelE2E";
  RegisterClassW(&wc);
  const HWND panel = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"霁禾客服助手", WS_POPUP | WS_VISIBLE,
                                     700, 100, 200, 500, nullptr, nullptr, wc.hInstance, nullptr);
  FollowLoop loop;
  loop.Attach(desktop, options, platform::IdOf(panel), [] { return platform::CreateThreadWaiter(); });
  loop.StartFollowLoop();
  auto waiter = platform::CreateThreadWaiter();
  RECT chatRect{}, panelRect{};
  for (int i = 0; i < 300; ++i) {
    waiter->WaitPumping(10);
    GetWindowRect(chat.hwnd(), &chatRect);
    GetWindowRect(panel, &panelRect);
    if (panelRect.top == 58) break;
  }
  loop.StopFollowLoop();
  EXPECT_EQ(chatRect.left, 50);
  EXPECT_EQ(chatRect.right - chatRect.left, 600);
  EXPECT_EQ(panelRect.left, 50 + 600 - 5);  // no room on its left: on its right
  EXPECT_EQ(panelRect.top, 58);
  DestroyWindow(panel);
}

}  // namespace
}  // namespace jihe::chat
