#pragma once
// What a search box searches while the agent may still be composing with an input method: the
// results follow the composition keystroke by keystroke, before anything is committed.
#include <cstddef>
#include <string>
#include <string_view>

namespace jihe::library {

// The box's text with the composition where the input method will commit it, over the selection
// [selectionStart, selectionEnd), counted in UTF-16 units as the edit control counts them. The
// apostrophes and blanks that input methods put between syllables ("t'h'd'z") are left out of the
// composition, so the query grows as the letters do.
std::string ComposedQuery(std::string_view text, size_t selectionStart, size_t selectionEnd,
                          std::string_view composition);

}  // namespace jihe::library
