#include "library/search.h"

#include <algorithm>
#include <bit>

#include "library/pinyin.h"
#include "library/preview.h"
#include "library/row_rules.h"
#include "storage/text_split.h"

namespace jihe::library {

namespace {

// The matcher follows the query with one bit per query position, so it handles queries of up to
// this many characters; longer ones (pasted text, not typed pinyin) are matched literally.
constexpr size_t kMaxPinyinQuery = 63;

// Appends the code points of UTF-8 text; a byte that starts no valid sequence stands for itself
// as U+FFFD, so a damaged row is still searchable by its readable part.
void DecodeUtf8(std::string_view text, std::vector<char32_t>& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const int len = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t c = len == 4 ? b & 0x07 : len == 3 ? b & 0x0F : b & 0x1F;
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      ok = (s[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (ok) ok = c >= (len == 3 ? 0x800u : len == 4 ? 0x10000u : 0x80u) && c <= 0x10FFFF;
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
    } else {
      out.push_back(c);
      i += len;
    }
  }
}

// One bit per ASCII letter and digit, the others share the remaining bits. A row whose bits do not
// cover the query's cannot match, whatever the pinyin, which skips most rows of a longer query.
std::uint64_t LetterBit(char32_t c) {
  if (c >= 'a' && c <= 'z') return std::uint64_t{1} << (c - 'a');
  if (c >= '0' && c <= '9') return std::uint64_t{1} << (26 + c - '0');
  return std::uint64_t{1} << (36 + c % 28);
}

// A "v" of a reading (ü) is also typed as "u".
bool SyllableLetterMatches(char32_t typed, char letter) {
  return typed == static_cast<char32_t>(letter) || (letter == 'v' && typed == 'u');
}

// The query positions reachable from the positions in `from` by one character: what each single
// position leads to is looked up in the query's table.
inline std::uint64_t Step(std::uint64_t from, const std::uint64_t* table, size_t ids, std::uint32_t id) {
  std::uint64_t to = 0;
  while (from) {
    const int p = std::countr_zero(from);
    from &= from - 1;
    to |= table[p * ids + id];
  }
  return to;
}

// What the agent sees of a phrase's content, as the preview shows it: no picture or file tokens,
// no markup tags, character references read. Plain text (most rows) is taken as it is.
std::string ShownContent(std::string_view content) {
  if (content.find_first_of("<&[") == std::string_view::npos && content.find("《") == std::string_view::npos)
    return std::string(content);
  std::string text(content);
  while (const std::optional<std::string> token = FindFileToken(text)) text = storage::ReplaceAll(text, *token, "");
  std::string shown;
  for (const PreviewRun& run : PreviewRuns(text, ""))
    if (run.kind == RunKind::Text) shown += run.text;
  return shown;
}

}  // namespace

bool SkippedInSearch(char32_t c) {
  if (c <= 0x20 || (c >= 0x7F && c <= 0xA0)) return true;  // blanks, line breaks, controls
  if (c < 0x80) {
    switch (c) {
      case '!': case '"': case '#': case '%': case '&': case '\'': case '(': case ')': case '*': case ',':
      case '-': case '.': case '/': case ':': case ';': case '?': case '@': case '[': case '\\': case ']':
      case '_': case '{': case '}':
        return true;
    }
    return false;
  }
  if (c == 0xA1 || c == 0xA7 || c == 0xAB || c == 0xB6 || c == 0xB7 || c == 0xBB || c == 0xBF) return true;
  if (c >= 0x2000 && c <= 0x206F) return true;  // spaces, dashes, quotes, bullets, ellipses
  if ((c >= 0x3000 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) || (c >= 0x3014 && c <= 0x301F) || c == 0x3030 ||
      c == 0x303D)
    return true;  // 、。〈〉《》「」『』【】〔〕 and the like
  if ((c >= 0xFE10 && c <= 0xFE1F) || (c >= 0xFE30 && c <= 0xFE6F)) return true;  // vertical and small forms
  return c >= 0xFF5F && c <= 0xFF65;  // half-width 。「」、・
}

char32_t FoldForSearch(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
  else if (c == 0x3000) c = ' ';
  if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  return c;
}

std::string SearchRowText(std::string_view groupName, std::string_view rowText) {
  std::string out(groupName);
  out += " · ";
  out += rowText;
  return out;
}

std::uint32_t SearchIndex::IdOf(char32_t c) {
  if (c < 0x10000) {
    if (bmpId_.empty()) bmpId_.assign(0x10000, -1);
    if (bmpId_[c] >= 0) return static_cast<std::uint32_t>(bmpId_[c]);
  } else {
    auto at = std::lower_bound(otherIds_.begin(), otherIds_.end(), std::make_pair(c, std::uint32_t{0}));
    if (at != otherIds_.end() && at->first == c) return at->second;
  }
  const auto id = static_cast<std::uint32_t>(idChar_.size());
  idChar_.push_back(c);
  idSet_.push_back(PinyinSetOf(c));
  if (c < 0x10000) {
    bmpId_[c] = static_cast<std::int32_t>(id);
  } else {
    otherIds_.insert(std::lower_bound(otherIds_.begin(), otherIds_.end(), std::make_pair(c, std::uint32_t{0})),
                     {c, id});
  }
  return id;
}

SearchIndex::SearchIndex(const GroupStrip& strip, const GroupStrip* team, GroupKind kind) {
  std::vector<std::uint64_t> idLetters;
  std::vector<char32_t> chars;
  auto append = [&](std::string_view text, std::uint64_t& letters) {
    chars.clear();
    DecodeUtf8(text, chars);
    for (char32_t c : chars) {
      c = FoldForSearch(c);
      if (SkippedInSearch(c)) continue;
      const std::uint32_t id = IdOf(c);
      if (id == idLetters.size()) {
        std::uint64_t bits = LetterBit(idChar_[id]);
        for (std::uint16_t s : PinyinSetSyllables(idSet_[id])) {
          for (char letter : PinyinSyllable(s)) bits |= LetterBit(letter) | (letter == 'v' ? LetterBit('u') : 0);
        }
        idLetters.push_back(bits);
      }
      letters |= idLetters[id];
      units_.push_back(id);
    }
  };
  for (const GroupStrip* source : {&strip, team}) {
    if (!source) continue;
    const std::vector<Group>& groups = source->slots();
    for (size_t g = 0; g < groups.size(); ++g) {
      if (groups[g].hidden()) continue;
      const std::vector<std::string>& rows = groups[g].rows();
      for (size_t r = 0; r < rows.size(); ++r) {
        const std::string_view text = rows[r];
        const std::string_view content = ContentOf(text);
        const size_t remarkLength =
            content.size() == text.size() ? 0 : text.size() - content.size() - kRemarkSeparator.size();
        Row row{static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(r), 0, 0, 0, 0, source == team};
        row.begin = static_cast<std::uint32_t>(units_.size());
        append(text.substr(0, remarkLength), row.letters);
        row.split = static_cast<std::uint32_t>(units_.size());
        append(kind == GroupKind::Phrase ? ShownContent(content) : std::string(content), row.letters);
        row.end = static_cast<std::uint32_t>(units_.size());
        rows_.push_back(row);
      }
    }
  }
  bmpId_.clear();
  bmpId_.shrink_to_fit();
}

std::vector<SearchHit> SearchIndex::Search(std::string_view queryText) const {
  std::vector<char32_t> query;
  DecodeUtf8(queryText, query);
  for (char32_t& c : query) c = FoldForSearch(c);
  std::erase_if(query, SkippedInSearch);
  if (query.empty() || rows_.empty()) return {};
  if (query.size() > kMaxPinyinQuery) return SearchLiteral(query);

  // For each query position p and each character of the library: the positions the character
  // leads to from p. Itself leads to p + 1; a prefix of one of its readings to p + its length.
  const size_t m = query.size();
  const size_t ids = idChar_.size();
  std::vector<std::uint64_t> table(m * ids, 0);
  std::uint64_t queryLetters = 0;
  for (char32_t c : query) queryLetters |= LetterBit(c);
  for (size_t id = 0; id < ids; ++id) {
    const char32_t c = idChar_[id];
    const std::span<const std::uint16_t> syllables = PinyinSetSyllables(idSet_[id]);
    for (size_t p = 0; p < m; ++p) {
      std::uint64_t to = query[p] == c ? std::uint64_t{2} << p : 0;
      for (std::uint16_t s : syllables) {
        const std::string_view name = PinyinSyllable(s);
        for (size_t k = 0; k < name.size() && p + k < m && SyllableLetterMatches(query[p + k], name[k]); ++k) {
          to |= std::uint64_t{2} << (p + k);
        }
      }
      table[p * ids + id] = to;
    }
  }

  const std::uint64_t goal = std::uint64_t{1} << m;
  const std::uint64_t* t = table.data();
  // Most characters of a row start no match: while nothing is under way they are skipped by a
  // plain scan over this flag, which is what keeps a keystroke within a frame.
  std::vector<std::uint8_t> starts(ids);
  for (size_t id = 0; id < ids; ++id) starts[id] = table[id] != 0;
  auto occurs = [&](const std::uint32_t* u, const std::uint32_t* end) {
    std::uint64_t open = 1;  // query positions reached by a match that may start anywhere
    while (u < end) {
      if (open == 1) {
        while (u < end && !starts[*u]) ++u;
        if (u == end) return false;
        open = 1 | t[*u++];
      } else {
        open = 1 | Step(open, t, ids, *u++);
      }
      if (open & goal) return true;
    }
    return false;
  };

  std::vector<SearchHit> tiers[3];
  const std::uint32_t* units = units_.data();
  for (const Row& row : rows_) {
    if ((row.letters & queryLetters) != queryLetters) continue;
    int tier = -1;
    // A match from the remark's first character; then one anywhere in the remark.
    std::uint64_t anchored = 1;
    for (std::uint32_t u = row.begin; u < row.split && anchored && !(anchored & goal); ++u) {
      anchored = Step(anchored, t, ids, units[u]);
    }
    if (anchored & goal) tier = 0;
    else if (occurs(units + row.begin, units + row.split)) tier = 1;
    else if (occurs(units + row.split, units + row.end)) tier = 2;
    if (tier >= 0) tiers[tier].push_back({row.group, row.row, row.team});
  }
  std::vector<SearchHit> out = std::move(tiers[0]);
  out.insert(out.end(), tiers[1].begin(), tiers[1].end());
  out.insert(out.end(), tiers[2].begin(), tiers[2].end());
  return out;
}

std::vector<SearchHit> SearchIndex::SearchLiteral(const std::vector<char32_t>& query) const {
  std::vector<std::uint32_t> wanted;
  for (char32_t c : query) {
    const auto at = std::find(idChar_.begin(), idChar_.end(), c);
    if (at == idChar_.end()) return {};  // a character no row holds
    wanted.push_back(static_cast<std::uint32_t>(at - idChar_.begin()));
  }
  std::vector<SearchHit> tiers[3];
  for (const Row& row : rows_) {
    const auto* units = units_.data();
    const auto* remarkHit = std::search(units + row.begin, units + row.split, wanted.begin(), wanted.end());
    int tier = remarkHit == units + row.begin && row.split - row.begin >= wanted.size() ? 0
               : remarkHit != units + row.split                                         ? 1
               : std::search(units + row.split, units + row.end, wanted.begin(), wanted.end()) != units + row.end ? 2
                                                                                                                   : -1;
    if (tier >= 0) tiers[tier].push_back({row.group, row.row, row.team});
  }
  std::vector<SearchHit> out = std::move(tiers[0]);
  out.insert(out.end(), tiers[1].begin(), tiers[1].end());
  out.insert(out.end(), tiers[2].begin(), tiers[2].end());
  return out;
}

}  // namespace jihe::library
