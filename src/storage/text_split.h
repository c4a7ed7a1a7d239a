#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace jihe::storage {

// Splits at every delimiter. Empty pieces between two delimiters are kept; an empty remainder
// after the last delimiter is dropped, so "a[br]b[br]" gives two pieces and "" gives none.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view delimiter);

// Every occurrence of `from` replaced by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Text as HTML shows it: "&", "<" and ">" written as references, and '"' too inside an attribute.
std::string EscapeHtml(std::string_view text, bool attribute);

}  // namespace jihe::storage
