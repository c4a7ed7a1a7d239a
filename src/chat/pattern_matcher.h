#pragma once
// Regular expressions as the senders and editors use them: letter case ignored, "^" and "$" at
// every line, "." never across a line break, all matches found. Matches and groups are numbered
// from 1. Patterns work on characters, not bytes, so a class such as [《》] means two characters.
// Any length of text is safe: the engine does not recurse (see pattern_engine.h for its syntax).
#include <string>
#include <string_view>
#include <vector>

#include "chat/pattern_engine.h"

namespace jihe::chat {

class PatternMatcher {
 public:
  // False when the pattern is not a valid expression; the matcher then has no matches.
  bool CreateMatcher(std::string_view pattern, std::string_view subject);

  int MatchCount() const { return static_cast<int>(matches_.size()); }
  // The whole text of match i; empty when there is no such match.
  std::string MatchText(int match) const;
  // The text captured by group j of match i; empty when there is no such group or it took part
  // in no match.
  std::string GroupText(int match, int group) const;
  // The subject with every match replaced; "$1", "$&", "$`", "$'" and "$$" work in the
  // replacement.
  std::string ReplaceAll(std::string_view replacement) const;

 private:
  // Byte offsets into the subject of a match and its groups, start and end of each; npos for a
  // group that took no part.
  using Spans = std::vector<size_t>;
  std::string Span(const Spans& spans, size_t group) const;

  std::string subject_;
  std::vector<Spans> matches_;
  int groups_ = 0;
};

}  // namespace jihe::chat
