#pragma once
// The group file: one line per entry, ended by CR LF, with the entry's own line breaks stored as
// the marker "[换行]". Rows here are UTF-8; the file's bytes are GB18030.
#include <string>
#include <string_view>
#include <vector>

namespace jihe::storage {

inline constexpr std::string_view kLineBreakMarker = "[换行]";

struct ParsedGroupFile {
  std::vector<std::string> rows;
  // True when writing the rows back gives exactly the bytes that were read, so a save may leave
  // the file alone until the group changes.
  bool canonical = false;
};

ParsedGroupFile ParseGroupFile(std::string_view bytes);
std::string SerializeGroupFile(const std::vector<std::string>& rows);

}  // namespace jihe::storage
