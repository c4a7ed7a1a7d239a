// The search index against a plain matcher that tries every way a query can be spelled over a
// row, on random small libraries typed into as an agent types: on, back, over, pasted.
#include <algorithm>
#include <random>
#include <regex>
#include <sstream>

#include "library/pinyin.h"
#include "library/preview.h"
#include "library/row_rules.h"
#include "library/search.h"
#include "storage/text_split.h"

#include <gtest/gtest.h>

namespace jihe::library {

void PrintTo(const SearchHit& hit, std::ostream* os);  // with the table tests

namespace {

// Valid UTF-8 only: the rows and queries below are made of whole characters.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = len == 1 ? b : b & (0x7F >> len);
    for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += c;
    i += static_cast<size_t>(len);
  }
  return out;
}

std::u32string Searched(std::string_view text) {
  std::u32string out;
  for (char32_t c : Decode(text))
    if (!SkippedInSearch(FoldForSearch(c))) out += FoldForSearch(c);
  return out;
}

// Can q[k..] be spelled from part[i] on: each character by itself or by a prefix of a reading?
bool SpelledFrom(const std::u32string& part, size_t i, const std::u32string& q, size_t k, std::vector<signed char>& memo) {
  if (k == q.size()) return true;
  if (i == part.size()) return false;
  signed char& known = memo[i * (q.size() + 1) + k];
  if (known >= 0) return known;
  bool ok = part[i] == q[k] && SpelledFrom(part, i + 1, q, k + 1, memo);
  for (std::string_view r : PinyinOf(part[i])) {
    for (size_t n = 0; !ok && n < r.size() && k + n < q.size(); ++n) {
      if (q[k + n] != static_cast<char32_t>(r[n]) && !(r[n] == 'v' && q[k + n] == 'u')) break;
      ok = SpelledFrom(part, i + 1, q, k + n + 1, memo);
    }
  }
  known = ok;
  return ok;
}

bool Found(const std::u32string& part, const std::u32string& q, bool atStart) {
  if (q.size() > 63) return atStart ? part.starts_with(q) : part.find(q) != std::u32string::npos;
  std::vector<signed char> memo((part.size() + 1) * (q.size() + 1), -1);
  for (size_t i = 0; i < (atStart ? std::min<size_t>(1, part.size()) : part.size()); ++i)
    if (SpelledFrom(part, i, q, 0, memo)) return true;
  return false;
}

std::string Shown(std::string content, GroupKind kind) {
  if (kind == GroupKind::Command) return content;
  // A file token: a drive or a share's path in book-title marks.
  static const std::regex kFile(R"(《([A-Za-z0-9_]:|\\\\)[\s\S]*?》)");
  content = std::regex_replace(content, kFile, "");
  std::string shown;
  for (const PreviewRun& run : PreviewRuns(content, ""))
    if (run.kind == RunKind::Text) shown += run.text;
  return shown;
}

// What is searched of a row: its remark and its content as shown.
std::pair<std::u32string, std::u32string> Parts(const std::string& text, GroupKind kind) {
  const size_t bar = text.rfind("┃");
  if (bar == std::string::npos) return {U"", Searched(Shown(text, kind))};
  return {Searched(text.substr(0, bar)), Searched(Shown(text.substr(bar + 3), kind))};
}

std::vector<SearchHit> Reference(const GroupStrip& own, const GroupStrip* team, GroupKind kind, std::string_view query) {
  const std::u32string q = Searched(query);
  std::vector<SearchHit> tiers[3];
  if (q.empty()) return {};
  for (const GroupStrip* strip : {&own, team}) {
    if (!strip) continue;
    for (size_t g = 0; g < strip->slots().size(); ++g) {
      const Group& group = strip->slots()[g];
      if (group.hidden()) continue;
      for (size_t r = 0; r < group.rows().size(); ++r) {
        const auto [remark, content] = Parts(group.rows()[r], kind);
        const int tier = Found(remark, q, true) ? 0 : Found(remark, q, false) ? 1 : Found(content, q, false) ? 2 : -1;
        if (tier >= 0)
          tiers[tier].push_back({static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(r), strip == team});
      }
    }
  }
  for (int t : {1, 2}) tiers[0].insert(tiers[0].end(), tiers[t].begin(), tiers[t].end());
  return tiers[0];
}

// Characters of several readings, letters of the readings, full-width forms, what search passes
// over, and the markup a phrase can hold. A library of the first few alone has matches that
// overlap everywhere ("长行" is chang, zhang, hang, xing...).
const std::vector<std::string> kPieces = {
    "行", "长", "h",  "a",  "n",  "g",  "x",  "i",  "重", "绿", "女", "退", "货", "地", "址", "亲", "您",
    "好", "嗯", "略", "还", "乐", "了", "𠀀", "e",  "l",  "o",  "u",  "v",  "z",  "H",  "N",  "1",  "0",
    "Ａ", "ｘ", "Ｌ", "１", "，", "。", " ",  "'",  "-",  "！", "　", "\r\n", "+",
    "[img=a.pngimg]", "<b>", "</b>", "&amp;", "《C:\\a.txt》", "《D:\\报价单.docx》", "《长》", "《",
};
constexpr size_t kFew = 8, kPlain = 34;

std::string RandomText(std::mt19937& rng, size_t most, size_t kinds) {
  std::string s;
  const size_t n = rng() % (most + 1);
  for (size_t i = 0; i < n; ++i) s += kPieces[rng() % (kinds < kPlain || rng() % 3 ? kinds : kPieces.size())];
  return s;
}

std::string Encode(const std::u32string& chars) {
  std::string utf8;
  for (char32_t c : chars) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
      continue;
    }
    const int len = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    utf8 += static_cast<char>((len == 2 ? 0xC0 : len == 3 ? 0xE0 : 0xF0) | (c >> (6 * (len - 1))));
    for (int k = len - 2; k >= 0; --k) utf8 += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  return utf8;
}

// A way an agent might type part of a row's remark or content: each character as itself or a
// prefix of a reading, now and then in capitals or with a blank.
std::string Spelling(std::mt19937& rng, const std::string& row, GroupKind kind) {
  const auto [remark, content] = Parts(row, kind);
  const std::u32string& chars = !remark.empty() && rng() % 2 ? remark : content;
  if (chars.empty()) return "x";
  const size_t from = rng() % chars.size();
  const size_t n = 1 + rng() % std::min<size_t>(chars.size() - from, rng() % 4 ? 8 : 80);
  std::string out;
  for (size_t i = from; i < from + n; ++i) {
    const std::vector<std::string_view> readings = PinyinOf(chars[i]);
    if (!readings.empty() && rng() % 3) {
      std::string r(readings[rng() % readings.size()]);
      if (rng() % 2) r.resize(1 + rng() % r.size());
      if (rng() % 2) std::replace(r.begin(), r.end(), 'v', 'u');
      out += r;
    } else {
      out += Encode(chars.substr(i, 1));
    }
    if (rng() % 5 == 0 && out.back() >= 'a' && out.back() <= 'z') out.back() = static_cast<char>(out.back() - 'a' + 'A');
    if (rng() % 8 == 0) out += rng() % 2 ? " " : "'";
  }
  return out;
}

void DropLastCharacter(std::string& s) {
  while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80) s.pop_back();
  if (!s.empty()) s.pop_back();
}

std::string Describe(const GroupStrip& own, const GroupStrip* team, GroupKind kind) {
  std::ostringstream out;
  out << (kind == GroupKind::Command ? "commands" : "phrases");
  for (const GroupStrip* strip : {&own, team}) {
    if (!strip) continue;
    out << (strip == team ? "\nteam:" : "");
    for (const Group& g : strip->slots()) {
      out << "\n  group" << (g.hidden() ? " (hidden)" : "") << ':';
      for (const std::string& r : g.rows()) out << " \"" << r << '"';
    }
  }
  return out.str();
}

TEST(SearchFuzzTest, AgreesWithEverySpellingTriedInTurn) {
  std::mt19937 rng(16);
  for (int library = 0; library < 500; ++library) {
    GroupStrip own, teamStrip;
    std::vector<std::string> all;
    const size_t kinds = rng() % 4 ? kPlain : kFew;
    for (GroupStrip* strip : {&own, &teamStrip}) {
      for (size_t g = rng() % 3; g > 0; --g) {
        std::vector<std::string> rows;
        for (size_t r = rng() % 6; r > 0; --r) {
          std::string row = rng() % 2 ? RandomText(rng, 6, kinds) + "┃" : "";
          row += RandomText(rng, rng() % 8 ? 12 : rng() % 4 ? 90 : 400, kinds);  // some past 255 characters
          rows.push_back(row);
          all.push_back(row);
        }
        strip->slots().emplace_back("g", std::move(rows));
        strip->slots().back().set_hidden(rng() % 6 == 0);
      }
    }
    const GroupStrip* team = rng() % 3 ? nullptr : &teamStrip;
    const GroupKind kind = rng() % 4 ? GroupKind::Phrase : GroupKind::Command;
    SearchIndex index(own, team, kind);
    // The agent types `pending` one character after the other, goes back, starts over or pastes.
    std::string query, pending, typed;
    for (int step = 0; step < 40; ++step) {
      const unsigned op = rng() % 10;
      if (all.empty()) {
        query += kPieces[rng() % kinds];
      } else if (op < 5) {
        if (pending.empty() && rng() % 4 == 0) pending = kPieces[rng() % kinds];
        if (pending.empty()) {  // done with one phrase, on to the next
          if (rng() % 4) query.clear();
          pending = Spelling(rng, all[rng() % all.size()], kind);
        }
        const std::u32string next = Decode(pending);
        query += Encode(next.substr(0, 1));
        pending = Encode(next.substr(1));
      } else if (op < 7) {
        DropLastCharacter(query);
      } else if (op == 7) {
        query.clear();
        pending = Spelling(rng, all[rng() % all.size()], kind);
      } else if (op == 8) {  // pasted over the box or after what is typed
        if (rng() % 2) query.clear();
        query += Spelling(rng, all[rng() % all.size()], kind);
      } else {  // a long paste: over 63 characters are matched as they are
        const std::string& row = all[rng() % all.size()];
        const std::u32string chars = rng() % 2 ? Decode(row) : Parts(row, kind).second;
        if (chars.size() > 64) query = Encode(chars.substr(rng() % (chars.size() - 64), 60 + rng() % 20));
      }
      typed += "\n  " + query;
      ASSERT_EQ(index.Search(query), Reference(own, team, kind, query))
          << Describe(own, team, kind) << "\ntyped:" << typed;
    }
  }
}

// A library large enough for a search to be shared between two threads: the pieces must join in
// library order, each tier counted whole.
TEST(SearchFuzzTest, AgreesOnALibraryLargeEnoughToShare) {
  std::mt19937 rng(61);
  GroupStrip own;
  std::vector<std::string> all;
  for (int g = 0; g < 9; ++g) {
    std::vector<std::string> rows;
    for (int r = 0; r < 2000; ++r) {
      std::string row = rng() % 2 ? RandomText(rng, 3, kFew) + "┃" : "";
      row += RandomText(rng, 8, kFew);
      rows.push_back(row);
      all.push_back(row);
    }
    own.slots().emplace_back("g", std::move(rows));
  }
  SearchIndex index(own);
  for (int phrase = 0; phrase < 6; ++phrase) {
    const std::u32string spelled = Decode(Spelling(rng, all[rng() % all.size()], GroupKind::Phrase));
    std::string query;
    for (size_t i = 0; i < spelled.size() && i < 8; ++i) {
      query += Encode(spelled.substr(i, 1));
      if (i == 4) DropLastCharacter(query);
      ASSERT_EQ(index.Search(query), Reference(own, nullptr, GroupKind::Phrase, query)) << query;
    }
    index.Search("");
  }
}

}  // namespace
}  // namespace jihe::library
