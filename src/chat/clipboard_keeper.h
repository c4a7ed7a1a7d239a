#pragma once
// Gives the agent their clipboard back after a send. Every write of the send passes through the
// keeper: the first one saves what the clipboard held, and at the end of the send, once the chat
// program has had time to read the last paste, the saved content goes back, unless somebody has
// copied something newer meanwhile (the clipboard's sequence number tells).
#include <cstdint>
#include <optional>

#include "platform/clipboard.h"
#include "platform/wait.h"

namespace jihe::chat {

// How long a chat program is given to read a paste before the clipboard changes under it.
inline constexpr int kPasteReadMilliseconds = 500;

enum class KeeperOutcome {
  NothingWritten,  // the send wrote nothing, or the keeper is switched off
  Restored,
  NewerCopyKept,   // someone copied after our last write: their content stays
  NotSaved,        // the clipboard could not be read before the first write
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
  bool Restore(const platform::ClipboardSnapshot& snapshot) override { return clipboard_.Restore(snapshot); }
  std::uint32_t SequenceNumber() override { return clipboard_.SequenceNumber(); }

  // The end of the send: waits for the last paste to be read, then restores.
  KeeperOutcome Finish(platform::Waiter& waiter);

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
