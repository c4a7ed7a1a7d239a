#pragma once
// The clipboard writers of the send engine. Each empties the clipboard first, so after a write it
// holds exactly what was written. Each returns false when the clipboard may not hold what was asked
// (it could not be opened, or a format was refused): a paste would then paste something else.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::platform {

// What the clipboard held at one moment: each format that could be copied as bytes.
struct ClipboardSnapshot {
  struct Format {
    std::uint32_t id;  // the format's number; a registered one is put back by its name
    std::string name;  // a registered format's name, empty for a standard format
    std::string bytes;
    bool operator==(const Format&) const = default;
  };
  std::vector<Format> formats;
  bool operator==(const ClipboardSnapshot&) const = default;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // Plain text (UTF-8 here, Unicode text on the clipboard); line breaks stay as they are.
  virtual bool PutText(std::string_view text) = 0;
  // A file-drop list; `paths` holds one path per line, lines separated by CR LF. A text with no path
  // leaves the clipboard empty.
  virtual bool PutFileList(std::string_view paths) = 0;
  // A picture as a bitmap, decoded from the bytes of a jpg, png, gif or bmp file. Bytes that do not
  // decode leave the clipboard empty, so a following paste does not repeat the previous item; that
  // counts as written.
  virtual bool PutPicture(std::string_view fileBytes) = 0;
  // Rich content from an HTML fragment of text, <BR> breaks and <IMG src="file:///..."> pictures:
  // the HTML form, QQ's rich-edit form and the plain text, all in one clipboard session; a
  // fragment that is a single picture also goes out as a bitmap, a PNG and a file-drop list.
  virtual bool PutRichContent(std::string_view htmlFragment) = 0;

  // The clipboard's content, so that a send can give it back afterwards. Formats that cannot be
  // copied are left out; nothing when the clipboard could not be opened.
  virtual std::optional<ClipboardSnapshot> Save() = 0;
  // Puts saved content back in place of what the clipboard holds, when that is still what left
  // the sequence number `ours`: the check is made with the clipboard open, so a copy made at that
  // moment is kept.
  enum class RestoreResult { Restored, NewerCopyKept, Failed };
  virtual RestoreResult Restore(const ClipboardSnapshot& snapshot, std::uint32_t ours) = 0;
  // The clipboard's text (its Unicode text form), up to its first NUL; nothing when it holds no
  // text or could not be opened.
  virtual std::optional<std::string> Text() = 0;
  // A number that changes whenever any program writes to the clipboard.
  virtual std::uint32_t SequenceNumber() = 0;

  // The paste of the last write is asked of the program that owns `reader` (the chat window): its
  // Ctrl+V is on its way. Until then nobody is handed the content: a chat program that looks at
  // every copy (to offer a copied picture) has not pasted it, and a clipboard manager that took it
  // first would hide the paste's own read.
  virtual void ExpectPaste(std::uintptr_t reader) = 0;
  // Whether that program has read what the last write put there since its paste was asked for: a
  // window of its process asked for the content and has closed the clipboard again. Reads by other
  // programs (clipboard managers) do not count.
  virtual bool WasRead(std::uintptr_t reader) = 0;
  // Puts what the last write only offered on the clipboard as plain data, at the end of a send: a
  // late read of the phrase left there then needs no answer from this program, which may have
  // ended, been ended, or be busy.
  virtual void HandOver() = 0;
};

// The paths of a file-list text: split at every CR LF. Empty lines are dropped: a Windows reader
// takes an empty path as the end of the list and would lose every file after a blank line.
std::vector<std::string> SplitFileList(std::string_view paths);

// The CF_HDROP block: the 20-byte DROPFILES header (file list at offset 20, wide characters), then
// each path in UTF-16LE with its zero, then one more zero character.
std::vector<std::uint8_t> FileDropBlock(const std::vector<std::string>& paths);

}  // namespace jihe::platform
