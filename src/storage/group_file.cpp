#include "storage/group_file.h"

#include "storage/gb18030.h"
#include "storage/text_split.h"

namespace jihe::storage {

ParsedGroupFile ParseGroupFile(std::string_view bytes) {
  ParsedGroupFile parsed;
  const std::string text = DecodeGb18030(bytes);
  for (std::string_view piece : SplitText(text, "\r\n")) {
    if (piece.find(kLineBreakMarker) == std::string_view::npos)
      parsed.rows.emplace_back(piece);
    else
      parsed.rows.push_back(ReplaceAll(piece, kLineBreakMarker, "\r\n"));
  }
  // Decoding keeps every byte, and a row's "[换行]" comes back as "[换行]"; only a file whose
  // last line lacks its CR LF differs from what a save writes.
  parsed.canonical = bytes.empty() || (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
  return parsed;
}

std::string SerializeGroupFile(const std::vector<std::string>& rows) {
  size_t total = 0;
  for (const std::string& row : rows) total += row.size() + 2;
  std::string text;
  text.reserve(total);
  for (const std::string& row : rows) {
    if (row.find("\r\n") == std::string::npos)
      text.append(row);
    else
      text.append(ReplaceAll(row, "\r\n", kLineBreakMarker));
    text.append("\r\n");
  }
  return EncodeGb18030(text);
}

}  // namespace jihe::storage
