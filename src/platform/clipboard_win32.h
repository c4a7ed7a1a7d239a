#pragma once
// The clipboard writers over user32. Every write happens in one session owned by a message-only
// window of the calling thread (with no owner, SetClipboardData is unreliable).
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/clipboard.h"

namespace jihe::platform {

// An open clipboard, emptied, owned by the thread's message-only window. Opening is retried for a
// moment, since other programs hold the clipboard briefly while they read it.
class ClipboardSession {
 public:
  enum Purpose { Write, Read };  // a session to read leaves the content alone
  explicit ClipboardSession(Purpose purpose = Write);
  ~ClipboardSession();
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;

  bool open() const { return open_; }
  // Offers the format by delayed rendering: the thread's owner window keeps a copy of the bytes
  // and hands them over when a program asks for them (which it learns who reads, and when).
  bool Put(UINT format, const void* data, size_t size);
  // Copies the bytes into a global block and hands it to the clipboard, which owns it from then on.
  bool PutNow(UINT format, const void* data, size_t size);
  bool PutText(std::wstring_view text);

 private:
  bool open_ = false;
};

UINT HtmlFormat();                // "HTML Format"
UINT QQRichEditFormat();          // "QQ_Unicode_RichEdit_Format"
UINT PngFormat();                 // "PNG"
UINT PreferredDropEffectFormat(); // "Preferred DropEffect"

// The formats that keep a write out of clipboard history, the cloud clipboard and clipboard
// monitors: every write of ours carries them, since what a send puts there is only in passing.
UINT ExcludeFromMonitorFormat();  // "ExcludeClipboardContentFromMonitorProcessing"
UINT CanIncludeInHistoryFormat(); // "CanIncludeInClipboardHistory" = 0
UINT CanUploadToCloudFormat();    // "CanUploadToCloudClipboard" = 0
void MarkTransient(ClipboardSession& session);

class Win32Clipboard : public Clipboard {
 public:
  bool PutText(std::string_view text) override;
  bool PutFileList(std::string_view paths) override;
  bool PutPicture(std::string_view fileBytes) override;
  bool PutRichContent(std::string_view htmlFragment) override;
  std::optional<ClipboardSnapshot> Save() override;
  RestoreResult Restore(const ClipboardSnapshot& snapshot, std::uint32_t ours) override;
  std::optional<std::string> Text() override;
  std::uint32_t SequenceNumber() override;
  void ExpectPaste(std::uintptr_t reader) override;
  bool WasRead(std::uintptr_t reader) override;
  void HandOver() override;
};

}  // namespace jihe::platform
