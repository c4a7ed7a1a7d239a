#pragma once
// Rich clipboard content built from the HTML fragment of a send: text, <BR> breaks and pictures
// given as <IMG src="file:///...">. We write the formats the chat programs read ourselves rather
// than letting a web page copy its selection: CF_HTML, QQ's rich-edit format and the plain text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::chat {

struct RichPiece {
  enum class Kind { Text, Break, Picture };
  Kind kind = Kind::Text;
  // Text: the characters, entities decoded. Picture: the local file path when the source is a
  // file address, otherwise empty.
  std::string text;
  // Picture: the source as written.
  std::string source;
  bool operator==(const RichPiece&) const = default;
};

// Reads a fragment as a browser would for our purposes: <BR> is a break, <IMG> a picture, other
// tags are dropped with their text kept, "&lt;" and friends are decoded, and a "<" that opens no
// tag is text.
std::vector<RichPiece> ParseFragment(std::string_view html);

// "file:///C:/a%20b.png" or "file:///C:\a b.png" -> "C:\a b.png" on Windows ("/" kept elsewhere);
// nothing for any other address or for "file:///" alone, which names no file.
std::optional<std::string> LocalPathOfFileUrl(std::string_view url);
// The file address of a path, percent-encoding what an address or an HTML attribute would read
// otherwise (blank, "%", "#", "?", "&", quotes and angle brackets): LocalPathOfFileUrl gives the
// path back unchanged.
std::string FileUrlOf(std::string_view localPath);

// The fragment written back as well-formed HTML: text escaped, breaks as <BR>, pictures as
// <IMG src="file:///..."> with forward slashes.
std::string FragmentHtml(const std::vector<RichPiece>& pieces);
// The "HTML Format" clipboard text: UTF-8 with the Version/StartHTML/EndHTML/StartFragment/
// EndFragment header whose byte offsets point into the text itself.
std::string CfHtml(std::string_view fragmentHtml);
// The text of the pieces: breaks as CR LF, pictures left out.
std::string PlainTextOf(const std::vector<RichPiece>& pieces);
// QQ's "QQ_Unicode_RichEdit_Format": text elements and picture elements with their file paths.
std::string QQRichEditOf(const std::vector<RichPiece>& pieces);
// The local path when the fragment is one picture and nothing else (blank text aside).
std::optional<std::string> SinglePicturePath(const std::vector<RichPiece>& pieces);

}  // namespace jihe::chat
