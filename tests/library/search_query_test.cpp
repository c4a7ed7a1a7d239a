#include "library/search_query.h"

#include <gtest/gtest.h>

namespace jihe::library {
namespace {

TEST(SearchQueryTest, PutsTheCompositionOverTheSelectionWithoutItsSeparators) {
  const struct {
    std::string_view text;
    size_t start, end;  // UTF-16 units, as the edit control reports them
    std::string_view composition;
    std::string_view query;
  } kCases[] = {
      {"", 0, 0, "t'h'd'z", "thdz"},
      {"", 0, 0, "tui h", "tuih"},
      {"", 0, 0, "tui\u3000h", "tuih"},
      {"退", 1, 1, "h", "退h"},              // a committed prefix
      {"退货地址", 0, 4, "th", "th"},        // the hotkey selected the old query: typing replaces it
      {"ab", 1, 1, "x'y", "axyb"},           // the caret inside the text
      {"😀a", 2, 2, "t", "😀ta"},            // a character of two units before the caret
      {"😀a", 0, 2, "t", "ta"},
      {"退货", 1, 2, "", "退货"},            // nothing composed: the selection is still in the box
      {"a b's", 0, 0, "", "a b's"},          // the box's own blanks and apostrophes are the agent's
      {"退货", 7, 9, "h", "退货h"},          // a selection past the end
      {"退货", 2, 0, "h", "h"},              // given the other way round
  };
  for (const auto& c : kCases)
    EXPECT_EQ(ComposedQuery(c.text, c.start, c.end, c.composition), c.query)
        << c.text << " [" << c.start << ',' << c.end << ") " << c.composition;
}

}  // namespace
}  // namespace jihe::library
