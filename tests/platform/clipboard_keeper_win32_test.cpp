// Saving and restoring the agent's clipboard on the real clipboard, and the marks that keep our
// own writes out of clipboard history.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "platform/clipboard_win32.h"
#include "platform/utf16.h"

namespace jihe::platform {
namespace {

// What another program does when the agent copies: text and a device-dependent bitmap.
void CopyAsAnotherProgram(std::wstring_view text) {
  ClipboardSession session;
  ASSERT_TRUE(session.open());
  ASSERT_TRUE(session.PutText(text));
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 3);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(SetClipboardData(CF_BITMAP, bitmap), nullptr);  // the clipboard's now
}

std::optional<std::string> ClipboardText() {
  std::optional<std::string> text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = Narrow(static_cast<const wchar_t*>(GlobalLock(h)));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

TEST(Win32ClipboardKeeper, SavedTextAndPictureComeBackAndOurWritesStayOutOfHistory) {
  CopyAsAnotherProgram(L"订单号 A123 😀");
  Win32Clipboard clipboard;
  const std::optional<ClipboardSnapshot> saved = clipboard.Save();
  ASSERT_TRUE(saved);
  const auto dib = std::find_if(saved->formats.begin(), saved->formats.end(),
                                [](const auto& f) { return f.id == CF_DIB; });
  ASSERT_NE(dib, saved->formats.end());  // the bitmap, kept as bytes
  EXPECT_GE(dib->bytes.size(), sizeof(BITMAPINFOHEADER) + 4 * 3 * 4);

  const std::uint32_t before = clipboard.SequenceNumber();
  ASSERT_TRUE(clipboard.PutText("您好"));
  EXPECT_NE(clipboard.SequenceNumber(), before);
  clipboard.ExpectPaste(0);
  EXPECT_EQ(ClipboardText(), "您好");
  for (UINT mark : {ExcludeFromMonitorFormat(), CanIncludeInHistoryFormat(), CanUploadToCloudFormat()}) {
    EXPECT_TRUE(IsClipboardFormatAvailable(mark)) << mark;
  }

  ASSERT_EQ(clipboard.Restore(*saved, clipboard.SequenceNumber()), Clipboard::RestoreResult::Restored);
  EXPECT_EQ(ClipboardText(), "订单号 A123 😀");
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
}

}  // namespace
}  // namespace jihe::platform

namespace jihe::platform {
namespace {

// A write is read once a window of the reader's process asked for it, after its paste was asked
// for, and closed the clipboard. A look before the paste is no paste: it is handed nothing, so the
// paste's own read still asks us.
TEST(Win32ClipboardKeeper, AWriteCountsAsReadOnceThePastedReaderHasClosedTheClipboard) {
  HWND reader = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(reader, nullptr);
  const auto id = reinterpret_cast<std::uintptr_t>(reader);
  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutText("您好"));
  ASSERT_TRUE(OpenClipboard(reader));
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr) << "handed over before the paste";
  CloseClipboard();
  EXPECT_FALSE(clipboard.WasRead(id)) << "a look before the paste";

  clipboard.ExpectPaste(id);
  ASSERT_TRUE(OpenClipboard(reader));
  EXPECT_NE(GetClipboardData(CF_UNICODETEXT), nullptr);
  EXPECT_FALSE(clipboard.WasRead(id)) << "still reading";
  CloseClipboard();
  EXPECT_TRUE(clipboard.WasRead(id));
  ASSERT_TRUE(clipboard.PutText("再见"));
  EXPECT_FALSE(clipboard.WasRead(id)) << "a new write is unread";
  DestroyWindow(reader);
}

// What a send leaves on the clipboard is handed over at its end: a late reader no longer needs this
// program to answer, so the phrase outlives a hung or ended program.
TEST(Win32ClipboardKeeper, AHandedOverWriteIsReadWithoutUs) {
  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutText("您好"));
  clipboard.ExpectPaste(0);
  clipboard.HandOver();
  // Read from another thread while this one answers no message, as a hung program would not.
  auto read = std::async(std::launch::async, [] {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(h));
      GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
  });
  const bool answered = read.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  EXPECT_TRUE(answered) << "the read waited for this program";
  while (read.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  EXPECT_EQ(read.get(), L"您好");
}

}  // namespace
}  // namespace jihe::platform
