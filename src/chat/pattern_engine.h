#pragma once
// The regular-expression engine under PatternMatcher. It runs a compiled pattern as a set of
// threads that advance one character at a time together (a Pike VM), so neither the subject's
// length nor the pattern's laziness ever deepens the call stack: a megabyte of text after an
// unclosed "<IMG src=\"" costs time in proportion to its length and nothing more.
//
// The syntax is the part of ECMAScript that the program's patterns use: literals and escapes,
// ".", classes ("[a-z]", "[^...]", "\d \w \s" and their negations), "^", "$", "\b", "\B", groups
// "(...)" and "(?:...)", "|", and the quantifiers "* + ? {n} {n,} {n,m}", each greedy or lazy
// ("*?"). Letter case is ignored, "^" and "$" hold at every line, and "." never crosses a line
// break. Back references and look-arounds are not supported: such a pattern does not compile.
// Where several matches start at the same place, the one a backtracking engine would report is
// taken (leftmost, then by the preference of each alternative and quantifier).
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace jihe::chat {

// UTF-8 text as code points, with the byte offset of each and, last, the text's length. A byte
// that starts no valid sequence becomes a code point of its own.
struct DecodedText {
  std::vector<char32_t> chars;
  std::vector<size_t> offsets;
};
DecodedText DecodeUtf8(std::string_view text);

class PatternEngine {
 public:
  // False when the pattern is not one the engine can run.
  bool Compile(std::string_view pattern);
  int GroupCount() const { return groups_; }

  // The first match at or after `from` (an index into `text`, which holds code points): for the
  // whole match and then each group, its start and end index, or npos for a group that took no
  // part.
  std::optional<std::vector<size_t>> Search(const std::vector<char32_t>& text, size_t from) const;

  enum class Op {
    Char,
    Any,
    Class,
    Split,
    Jump,
    Save,
    LineStart,
    LineEnd,
    WordEdge,
    NotWordEdge,
    Match
  };
  struct Instruction {
    Op op = Op::Match;
    char32_t ch = 0;  // Char: the character, lower case
    int x = 0;        // Class: the class; Split, Jump: the (preferred) target; Save: the slot
    int y = 0;        // Split: the other target
  };
  struct CharClass {
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    bool digit = false, notDigit = false, word = false, notWord = false, space = false,
         notSpace = false;
    bool Contains(char32_t c) const;
  };

 private:
  std::vector<Instruction> program_;
  std::vector<CharClass> classes_;
  int groups_ = 0;
};

}  // namespace jihe::chat
