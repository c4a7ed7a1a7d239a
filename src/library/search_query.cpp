#include "library/search_query.h"

#include <algorithm>

namespace jihe::library {

namespace {

// The byte offset of the UTF-16 position `units` in UTF-8 text: four-byte characters count two
// units, every other character (and a stray byte) one. A position inside a pair or past the end is
// taken to the next character boundary.
size_t ByteOffsetOfUnits(std::string_view text, size_t units) {
  size_t at = 0;
  while (at < text.size() && units > 0) {
    const unsigned char b = static_cast<unsigned char>(text[at]);
    size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (at + len > text.size()) len = 1;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) len = 1;
    units -= std::min<size_t>(units, len == 4 ? 2 : 1);
    at += len;
  }
  return at;
}

constexpr std::string_view kIdeographicSpace = "\u3000";

}  // namespace

std::string ComposedQuery(std::string_view text, size_t selectionStart, size_t selectionEnd,
                          std::string_view composition) {
  const size_t from = ByteOffsetOfUnits(text, std::min(selectionStart, selectionEnd));
  const size_t to = ByteOffsetOfUnits(text, std::max(selectionStart, selectionEnd));
  std::string query(text.substr(0, from));
  for (size_t i = 0; i < composition.size(); ++i) {
    if (composition[i] == '\'' || composition[i] == ' ') continue;
    if (composition.substr(i, kIdeographicSpace.size()) == kIdeographicSpace) {
      i += kIdeographicSpace.size() - 1;
      continue;
    }
    query += composition[i];
  }
  query += text.substr(composition.empty() ? from : to);  // nothing composed replaces nothing
  return query;
}

}  // namespace jihe::library
