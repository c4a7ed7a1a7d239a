#include "chat/clipboard_keeper.h"

namespace jihe::chat {

template <typename Write>
bool ClipboardKeeper::Kept(Write write) {
  if (!enabled_) return write();
  if (!wrote_) saved_ = clipboard_.Save();
  wrote_ = true;
  const std::uint32_t before = clipboard_.SequenceNumber();
  const bool ok = write();
  // Only a write that changed the clipboard makes it ours. One that could not even open it left
  // the number alone, or moved on by the program that held it, whose content is not ours to undo.
  const std::uint32_t after = clipboard_.SequenceNumber();
  if (ok || after != before) ours_ = after;
  return ok;
}

bool ClipboardKeeper::PutText(std::string_view text) {
  return Kept([&] { return clipboard_.PutText(text); });
}

bool ClipboardKeeper::PutFileList(std::string_view paths) {
  return Kept([&] { return clipboard_.PutFileList(paths); });
}

bool ClipboardKeeper::PutPicture(std::string_view fileBytes) {
  return Kept([&] { return clipboard_.PutPicture(fileBytes); });
}

bool ClipboardKeeper::PutRichContent(std::string_view htmlFragment) {
  return Kept([&] { return clipboard_.PutRichContent(htmlFragment); });
}

bool AwaitRead(platform::Clipboard& clipboard, platform::Waiter& waiter, std::uintptr_t reader) {
  for (int waited = 0; !clipboard.WasRead(reader); waited += kReadPollMilliseconds) {
    if (waited >= kPieceReadLimitMilliseconds) return false;
    waiter.WaitPumping(kReadPollMilliseconds);
  }
  return true;
}

KeeperOutcome ClipboardKeeper::Finish(platform::Waiter& waiter, bool lastPasteRead) {
  if (!wrote_) return KeeperOutcome::NothingWritten;
  wrote_ = false;
  if (!saved_) return KeeperOutcome::NotSaved;
  if (!lastPasteRead) return KeeperOutcome::PasteUnread;
  waiter.WaitPumping(kPasteReadMilliseconds);
  switch (clipboard_.Restore(*saved_, ours_)) {
    case RestoreResult::Restored: return KeeperOutcome::Restored;
    case RestoreResult::NewerCopyKept: return KeeperOutcome::NewerCopyKept;
    case RestoreResult::Failed: break;
  }
  return KeeperOutcome::RestoreFailed;
}

}  // namespace jihe::chat
