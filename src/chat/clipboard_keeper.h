#pragma once
// Gives the agent their clipboard back after a send. Every write of the send passes through the
// keeper: the first one saves what the clipboard held, and at the end of the send, once the chat
// program has read the last paste, the saved content goes back, unless somebody has copied
// something newer meanwhile (the clipboard's sequence number tells). A paste that was never read
// keeps the phrase there: a late read then still gets the phrase, never the agent's own content.
#include <cstdint>
#include <optional>

#include "platform/clipboard.h"
#include "platform/wait.h"

namespace jihe::chat {

// How long after the last paste, at least, the clipboard stays as the send left it.
inline constexpr int kPasteReadMilliseconds = 500;
// How long a chat program is given to read one piece of a send, beyond the send's own waits.
inline constexpr int kPieceReadLimitMilliseconds = 3000;
inline constexpr int kReadPollMilliseconds = 10;

// Waits, with the messages flowing, until the program of `reader` has read the clipboard's last
// write; false when it has not within kPieceReadLimitMilliseconds.
bool AwaitRead(platform::Clipboard& clipboard, platform::Waiter& waiter, std::uintptr_t reader);

enum class KeeperOutcome {
  NothingWritten,  // the send wrote nothing, or the keeper is switched off
  Restored,
  NewerCopyKept,   // someone copied after our last write: their content stays
  NotSaved,        // the clipboard could not be read before the first write
  PasteUnread,     // the chat program did not read the last paste: the phrase stays
  RestoreFailed,
};

class ClipboardKeeper final : public platform::Clipboard {
 public:
  ClipboardKeeper(platform::Clipboard& clipboard, bool enabled) : clipboard_(clipboard), enabled_(enabled) {}

  bool PutText(std::string_view text) override;
  bool PutFileList(std::string_view paths) override;
  bool PutPicture(std::string_view fileBytes) override;
  bool PutRichContent(std::string_view htmlFragment) override;
  std::optional<platform::ClipboardSnapshot> Save() override { return clipboard_.Save(); }
  RestoreResult Restore(const platform::ClipboardSnapshot& snapshot, std::uint32_t ours) override {
    return clipboard_.Restore(snapshot, ours);
  }
  std::optional<std::string> Text() override { return clipboard_.Text(); }
  std::uint32_t SequenceNumber() override { return clipboard_.SequenceNumber(); }
  void ExpectPaste(std::uintptr_t reader) override { clipboard_.ExpectPaste(reader); }
  bool WasRead(std::uintptr_t reader) override { return clipboard_.WasRead(reader); }
  void HandOver() override { clipboard_.HandOver(); }

  // The end of the send, once the last paste was read (or was not, `lastPasteRead`): restores.
  KeeperOutcome Finish(platform::Waiter& waiter, bool lastPasteRead);

 private:
  template <typename Write>
  bool Kept(Write write);

  platform::Clipboard& clipboard_;
  bool enabled_;
  bool wrote_ = false;
  std::optional<platform::ClipboardSnapshot> saved_;
  std::uint32_t ours_ = 0;  // the sequence number our last write left
};

}  // namespace jihe::chat
