#pragma once
// The search box of the phrase and command pages: one index over the visible groups of a kind,
// built again whenever the library changes, and filtered on every keystroke.
//
// A query matches a row when it occurs in the row's remark or content after folding case and
// full-width letters and digits, with blanks and punctuation left out on both sides ("qin nh" finds
// "亲，您好"). A phrase is searched as the agent sees it: without its picture and file tokens and
// markup tags. A Chinese character is also matched by any prefix of any of its
// pinyin readings, so "th", "tuih", "tuihuodizhi" and "退h" all find "退货地址".
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "library/library.h"

namespace jihe::library {

struct SearchHit {
  std::uint32_t group;  // the group's index (its slot in the strip)
  std::uint32_t row;
  bool team = false;  // a group of the team library rather than the agent's own
  bool operator==(const SearchHit&) const = default;
};

class SearchIndex {
 public:
  SearchIndex() = default;
  // Hidden groups (deleted during this run) are left out. The team's groups, when given, come
  // after the agent's own, as their tabs do. A command's content is searched as it is typed.
  explicit SearchIndex(const GroupStrip& strip, const GroupStrip* team = nullptr, GroupKind kind = GroupKind::Phrase);

  // The matching rows: first those whose remark starts with the query, then those whose remark
  // contains it, then those whose content contains it; each in library order. An empty query
  // matches nothing: the page shows its groups again.
  // A query that goes on from the previous one (the next keystroke) is looked for only among the
  // previous one's matches, and one typed before on the way to it (a Backspace) is answered from
  // its matches kept, which is why searching is not const. A search over many rows shares them
  // with a second thread and returns when both are done.
  std::vector<SearchHit> Search(std::string_view query);

  size_t rowCount() const { return rows_.size(); }

  // How often the agent sent each row. Within each rank of Search's order, rows sent more often
  // come first; rows sent equally often keep library order.
  void SetSendCounts(const std::function<std::uint32_t(const SearchHit&)>& countOf);

 private:
  // What matching reads of a row; which row of which group it is lies in hits_, what its parts
  // start with in starts_, and its pair bits in pairs_.
  struct Row {
    std::uint32_t begin;  // remark: units [begin, split); content: [split, end)
    std::uint32_t split;
    std::uint32_t end;
    std::uint64_t letters;  // what the row can match at all; see LetterBit
    std::uint64_t others;   // the other characters it holds; see OtherBit
  };
  // What a match can start with (a character itself or the first letter of one of its readings):
  // at the remark's first character, anywhere in the remark, anywhere in the content; and where.
  // Apart from Row, as only a first letter and a change of part read it.
  struct RowStarts {
    std::uint64_t first = 0, remark = 0, content = 0;
    // For each letter and digit of `remark`, then of `content`, in bit order, the units of its
    // part that can start a match with it: offsets in the part, in order, at_[atBegin + runs_[runs
    // + k], atBegin + runs_[runs + k + 1]) for the k-th. A row with a part over kMostListed units
    // has none listed (kUnlisted) and is searched by reading its units: so an offset fits a byte,
    // and a Match's `left` never reaches kByEnd. For a letter the row lacks, what is read one past
    // its entries lies within the vectors (each ends with one more) and is not used.
    std::uint32_t runs = 0;
    std::uint32_t atBegin = 0;
  };
  static constexpr std::uint32_t kUnlisted = 0xFFFFFFFF;
  static constexpr size_t kMostListed = 255;  // units in a part whose starts are listed
  // Per character number: what it lets a match start with, and the letter pairs within its
  // readings.
  struct CharStarts {
    std::uint64_t bits = 0;
    std::vector<char32_t> symbols;
    std::vector<std::uint16_t> innerPairs;
  };
  std::uint32_t IdOf(char32_t folded);
  static CharStarts StartsOf(char32_t c, int pinyinSet);
  // A row the previous query matched, and in which tier. A query that starts with a letter or
  // digit keeps the unit of its earliest start in that tier's part (`at`), where that unit is
  // listed (`rel`, from the row's atBegin) and how many listed after it in the part (`left`);
  // in the first tier, whose match starts at the remark's first unit, they are not read.
  // Other queries, and rows with nothing listed (left kByEnd), keep the unit where the earliest
  // match ended instead (kNoEnd when not known).
  struct Match {
    std::uint32_t row;
    std::uint32_t at;
    std::int8_t tier;
    std::uint8_t left;
    std::uint16_t rel;
  };
  static constexpr std::uint32_t kNoEnd = 0xFFFFFFFF;
  static constexpr std::uint8_t kByEnd = 0xFF;
  template <class TierOf>
  std::vector<SearchHit> Collect(std::vector<char32_t> query, bool narrow, TierOf tierOf);
  int LiteralTier(const Row& row, const std::vector<std::uint32_t>& wanted) const;
  std::pair<std::uint32_t, std::uint32_t> Run(const RowStarts& starts, std::uint64_t bit, bool remark) const;

  std::vector<Row> rows_;
  std::vector<SearchHit> hits_;  // per row
  std::vector<RowStarts> starts_;  // per row
  // The first two letters a match can have, hashed into 512 bits per row (see PairBit): the
  // rows' first words, then their second words, and so on.
  std::vector<std::uint64_t> pairs_;
  static constexpr size_t kPairWords = 8;
  std::vector<std::uint32_t> units_;  // every row's folded characters, as character numbers
  std::vector<std::uint8_t> at_;       // see RowStarts
  std::vector<std::uint16_t> runs_;    // see RowStarts
  std::vector<char32_t> idChar_;      // character number -> folded character
  std::vector<std::int32_t> idSet_;   // character number -> its pinyin set, -1 without
  std::vector<std::int32_t> bmpId_;   // folded BMP character -> its number, -1 when unseen
  std::vector<std::pair<char32_t, std::uint32_t>> otherIds_;  // beyond the BMP, sorted
  std::vector<CharStarts> idStarts_;  // only while the index is built
  std::vector<std::uint32_t> sendCounts_;  // per row; empty when none was sent
  // The queries the agent typed on the way to the last one, each with the rows it matched in
  // library order: levels_[0, depth_), each query a prefix of the next. A keystroke that goes on
  // searches the last level's matches, and a Backspace finds its query's matches kept. A level's
  // buffer is kept for the next query at its depth: fresh memory for a hundred thousand matches
  // costs more in page faults than the matching.
  struct Level {
    std::vector<char32_t> query;
    std::vector<Match> matches;  // [0, count()) hold the matches
    size_t tiers[3] = {};        // how many of them are in each tier
    size_t count() const { return tiers[0] + tiers[1] + tiers[2]; }
  };
  static constexpr size_t kMostLevels = 32;  // the oldest goes when a query is typed longer
  Level& NextLevel(size_t candidates);
  std::vector<SearchHit> Order(const Level& level) const;
  std::vector<SearchHit> NoMatches(std::vector<char32_t> query);
  std::vector<Level> levels_;
  size_t depth_ = 0;
};

// The text of a result row, with its group's name before it: "售后 · 退货地址┃…".
std::string SearchRowText(std::string_view groupName, std::string_view rowText);

// The character as matching sees it: ASCII letters in lower case, full-width forms (letters,
// digits, signs, the ideographic space, ￥ ￠ ￡) as their half-width counterparts.
char32_t FoldForSearch(char32_t c);
// A folded character that matching passes over: blanks, line breaks and punctuation, half-width
// and full-width.
bool SkippedInSearch(char32_t c);

}  // namespace jihe::library
