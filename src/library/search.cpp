#include "library/search.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "library/pinyin.h"
#include "library/preview.h"
#include "library/row_rules.h"
#include "storage/text_split.h"

namespace jihe::library {

namespace {

// The matcher follows the query with one bit per query position, so it handles queries of up to
// this many characters; longer ones (pasted text, not typed pinyin) are matched literally.
constexpr size_t kMaxPinyinQuery = 63;

// The set bits of x. std::popcount is a library call on a processor without POPCNT, which the
// x86-64 baseline we build for does not promise.
inline int BitCount(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

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
    const int len = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t c = len == 4 ? b & 0x07 : len == 3 ? b & 0x0F : b & 0x1F;
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      ok = (s[i + k] & 0xC0) == 0x80;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    // Overlong forms and encoded surrogate halves are damage too.
    if (ok) ok = c >= (len == 3 ? 0x800u : len == 4 ? 0x10000u : 0x80u) && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
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

// The content without the files it attaches: "《" + a path + "》", the path starting with a drive
// ("C:") or a share ("\\"), whatever the file's extension, as a send takes any such token for a
// file. A title in book-title marks ("《红楼梦》") is text.
std::string WithoutFileTokens(std::string_view text) {
  constexpr std::string_view kOpen = "《", kClose = "》";
  std::string out;
  size_t from = 0;
  for (size_t open = text.find(kOpen); open != std::string_view::npos; open = text.find(kOpen, open + 1)) {
    const std::string_view path = text.substr(open + kOpen.size());
    const char d = path.empty() ? '\0' : path[0];
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z') || (d >= '0' && d <= '9') || d == '_');
    if (!drive && !path.starts_with("\\\\")) continue;
    const size_t close = path.find(kClose);
    if (close == std::string_view::npos) break;
    out.append(text.substr(from, open - from));
    from = open + kOpen.size() + close + kClose.size();
    open = from - 1;
  }
  out.append(text.substr(from));
  return out;
}

// What the agent sees of a phrase's content, as the preview shows it: no picture or file tokens,
// no markup tags, character references read. Plain text (most rows) is taken as it is.
std::string ShownContent(std::string_view content) {
  if (content.find_first_of("<&[") == std::string_view::npos && content.find("《") == std::string_view::npos)
    return std::string(content);
  const std::string text = WithoutFileTokens(content);
  std::string shown;
  for (const PreviewRun& run : PreviewRuns(text, ""))
    if (run.kind == RunKind::Text) shown += run.text;
  return shown;
}

// A letter or digit has a LetterBit of its own, so a row's start bits answer a one-letter query
// exactly.
bool ExactStart(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
// A character other than a letter or digit is matched only by itself: one bit of 64 for each,
// hashed, tells a row without it, as LetterBit's shared bits do too coarsely for Chinese text.
std::uint64_t OtherBit(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return 0;
  return std::uint64_t{1} << ((static_cast<std::uint32_t>(c) * 0x9E3779B1u) >> 26);
}
constexpr std::uint64_t kExactBits = (std::uint64_t{1} << 36) - 1;  // the LetterBits of those

// The unit after the first one in [from, end) that is `id`, or 0. Four units are compared at a time
// where the processor can: the first keystroke of a Chinese word reads most of the library.
std::uint32_t UnitAfter(const std::uint32_t* units, std::uint32_t from, std::uint32_t end, std::uint32_t id) {
  std::uint32_t u = from;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(id));
  for (; end - u >= 4; u += 4) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + u));
    if (const int hit = _mm_movemask_epi8(_mm_cmpeq_epi32(four, wanted)))
      return u + static_cast<std::uint32_t>(std::countr_zero(static_cast<unsigned>(hit)) / 4) + 1;
  }
#endif
  for (; u < end; ++u)
    if (units[u] == id) return u + 1;
  return 0;
}

// Where the pair of a match's first two characters falls among a row's pair bits.
std::uint16_t PairBit(char32_t a, char32_t b) {
  std::uint32_t h = (static_cast<std::uint32_t>(a) * 0x9E3779B1u) ^ (static_cast<std::uint32_t>(b) * 0x85EBCA6Bu);
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return static_cast<std::uint16_t>(h >> (32 - 9));  // 512 bits
}

// From how many candidates a search is shared with the helper thread: below that, waking it costs
// more than it saves.
constexpr size_t kSharedFrom = 16384;

// A second thread for the larger searches, one for the whole program: the search waits for it, so
// it only ever reads the index while the search does, and writes only the pieces it takes.
// Started with the first such search on a machine with more than one processor, and never stopped
// (the end of the process ends it).
class SearchHelper {
 public:
  // Null when there is no second processor or no thread to be had.
  static SearchHelper* Get() {
    static SearchHelper* const helper = [] {
      if (std::thread::hardware_concurrency() < 2) return static_cast<SearchHelper*>(nullptr);
      auto* made = new SearchHelper;  // never freed: a static's destructor would run under it
      try {
        std::thread([made] { made->Serve(); }).detach();
      } catch (const std::system_error&) {
        delete made;
        return static_cast<SearchHelper*>(nullptr);
      }
      return made;
    }();
    return helper;
  }
  // Runs `task` on the helper. Finish takes it back when the helper has not begun it yet, so a
  // search never waits for the helper to wake; a task begun it waits for. The caller holds `use`.
  void Start(std::function<void()> task) {
    const std::lock_guard<std::mutex> lock(mutex_);
    task_ = std::move(task);
    given_.notify_one();
  }
  void Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = nullptr;
    done_.wait(lock, [&] { return !running_; });
  }
  std::mutex use;  // one search at a time shares its work; another runs alone meanwhile

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      given_.wait(lock, [&] { return static_cast<bool>(task_); });
      const std::function<void()> task = std::move(task_);
      task_ = nullptr;
      running_ = true;
      lock.unlock();
      task();
      lock.lock();
      running_ = false;
      done_.notify_one();
    }
  }
  std::mutex mutex_;
  std::condition_variable given_, done_;
  std::function<void()> task_;  // given and not yet begun
  bool running_ = false;
};

}  // namespace

// A match starts at a character with the character itself or the first letter of a reading; its
// second letter is the reading's second one, or what the next character starts with.
SearchIndex::CharStarts SearchIndex::StartsOf(char32_t c, int set) {
  CharStarts out;
  auto add = [&](char32_t symbol) {
    if (std::find(out.symbols.begin(), out.symbols.end(), symbol) != out.symbols.end()) return;
    out.symbols.push_back(symbol);
    out.bits |= LetterBit(symbol);
  };
  add(c);
  for (std::uint16_t s : PinyinSetSyllables(set)) {
    const std::string_view name = PinyinSyllable(s);
    if (name.empty()) continue;
    add(static_cast<char32_t>(name[0]));
    if (name[0] == 'v') add('u');  // ü is typed as u, too
    if (name.size() < 2) continue;
    for (char a : {name[0], name[0] == 'v' ? 'u' : name[0]})
      for (char b : {name[1], name[1] == 'v' ? 'u' : name[1]}) {
        const std::uint16_t bit = PairBit(static_cast<char32_t>(a), static_cast<char32_t>(b));
        if (std::find(out.innerPairs.begin(), out.innerPairs.end(), bit) == out.innerPairs.end())
          out.innerPairs.push_back(bit);
      }
  }
  return out;
}

bool SkippedInSearch(char32_t c) {
  if (c <= 0x20 || (c >= 0x7F && c <= 0xA0)) return true;  // blanks, line breaks, controls
  if (c < 0x80) {
    switch (c) {
      case '!': case '"': case '#': case '%': case '&': case '\'': case '(': case ')': case '*': case ',':
      case '-': case '.': case '/': case ':': case ';': case '?': case '@': case '[': case '\\': case ']':
      case '_': case '{': case '}':
      case '~':  // also the full-width ～ of Chinese input methods, a dash of Chinese text
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
  if (c == 0xFEFF) return true;  // the zero-width no-break space text copied from elsewhere may hold
  return c >= 0xFF5F && c <= 0xFF65;  // half-width 。「」、・
}

char32_t FoldForSearch(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
  else if (c == 0x3000) c = ' ';
  else if (c == 0xFFE5) c = 0xA5;  // the yuan sign of a Chinese input method, ￥ for ¥
  else if (c == 0xFFE0 || c == 0xFFE1) c -= 0xFF3E;  // ￠ ￡
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
  static_assert(kPairWords * 64 == 512, "PairBit gives one of 512 bits");
  std::vector<std::uint64_t> idLetters;
  std::vector<char32_t> chars;
  std::vector<std::uint8_t> listed[36];  // per exact LetterBit, within the part being appended
  bool tooLong = false;  // a part of the row being appended is over kMostListed units
  std::uint64_t rowPairs[kPairWords];
  std::vector<std::uint64_t> pairWords[kPairWords];
  // `prev` is the previous character of the same part, whose start symbols pair with this one's.
  auto append = [&](std::string_view text, Row& row, RowStarts& rowStarts, std::uint64_t& starts, bool remark) {
    chars.clear();
    DecodeUtf8(text, chars);
    std::int64_t prev = -1;  // its character number
    const size_t partBegin = units_.size();
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
        idStarts_.push_back(StartsOf(idChar_[id], idSet_[id]));
      }
      const CharStarts& here = idStarts_[id];
      row.letters |= idLetters[id];
      row.others |= OtherBit(idChar_[id]);
      if (remark && units_.size() == row.begin) rowStarts.first = here.bits;
      const size_t offset = units_.size() - partBegin;
      tooLong = tooLong || offset >= kMostListed;
      if (!tooLong) {
        for (std::uint64_t bits = here.bits & kExactBits; bits; bits &= bits - 1)
          listed[std::countr_zero(bits)].push_back(static_cast<std::uint8_t>(offset));
      }
      starts |= here.bits;
      for (std::uint16_t bit : here.innerPairs) rowPairs[bit >> 6] |= std::uint64_t{1} << (bit & 63);
      if (prev >= 0) {
        for (char32_t a : idStarts_[static_cast<size_t>(prev)].symbols)
          for (char32_t b : here.symbols) {
            const std::uint16_t bit = PairBit(a, b);
            rowPairs[bit >> 6] |= std::uint64_t{1} << (bit & 63);
          }
      }
      prev = id;
      units_.push_back(id);
    }
    for (std::uint64_t bits = starts & kExactBits; bits; bits &= bits - 1) {
      std::vector<std::uint8_t>& offsets = listed[std::countr_zero(bits)];
      if (!tooLong) {
        at_.insert(at_.end(), offsets.begin(), offsets.end());
        runs_.push_back(static_cast<std::uint16_t>(at_.size() - rowStarts.atBegin));
      }
      offsets.clear();
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
        Row row{};
        RowStarts rowStarts;
        hits_.push_back({static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(r), source == team});
        std::fill(std::begin(rowPairs), std::end(rowPairs), 0);
        row.begin = static_cast<std::uint32_t>(units_.size());
        rowStarts.runs = static_cast<std::uint32_t>(runs_.size());
        rowStarts.atBegin = static_cast<std::uint32_t>(at_.size());
        runs_.push_back(0);
        tooLong = false;
        append(text.substr(0, remarkLength), row, rowStarts, rowStarts.remark, true);
        row.split = static_cast<std::uint32_t>(units_.size());
        append(kind == GroupKind::Phrase ? ShownContent(content) : std::string(content), row, rowStarts,
               rowStarts.content, false);
        row.end = static_cast<std::uint32_t>(units_.size());
        if (tooLong) {  // what was listed of its remark goes again
          at_.resize(rowStarts.atBegin);
          runs_.resize(rowStarts.runs);
          rowStarts.atBegin = kUnlisted;
        }
        rows_.push_back(row);
        starts_.push_back(rowStarts);
        for (size_t w = 0; w < kPairWords; ++w) pairWords[w].push_back(rowPairs[w]);
      }
    }
  }
  // The units grew by doubling: up to half of what they hold would be slack for the index's life.
  units_.shrink_to_fit();
  // For a letter a row lacks, its runs are read one past the row's last, and at_ at the end of it.
  runs_.push_back(0);
  runs_.shrink_to_fit();
  at_.push_back(0);
  at_.shrink_to_fit();
  rows_.shrink_to_fit();
  starts_.shrink_to_fit();
  hits_.shrink_to_fit();
  pairs_.reserve(kPairWords * rows_.size());
  for (const std::vector<std::uint64_t>& words : pairWords) pairs_.insert(pairs_.end(), words.begin(), words.end());
  bmpId_.clear();
  bmpId_.shrink_to_fit();
  idStarts_.clear();
  idStarts_.shrink_to_fit();
}

// Runs `tierOf` over the rows the query can match (all rows, or the previous query's matches when
// this one goes on from it) and orders the matches by their tier, each tier in library order.
// `tierOf(row, previous)` gives the row's Match, with tier -1 when it does not match; `previous`
// is the row's match of the previous query, or null.
template <class TierOf>
std::vector<SearchHit> SearchIndex::Collect(std::vector<char32_t> query, bool narrow, TierOf tierOf) {
  const size_t candidates = narrow ? levels_[depth_ - 1].count() : rows_.size();
  Level& level = NextLevel(candidates);
  Match* const next = level.matches.data();
  const Match* const previous = narrow ? levels_[depth_ - 1].matches.data() : nullptr;
  // The candidates [begin, end): their matches go to next[begin, kept), kept given back, and the
  // tiers are counted in `counted` (after the rows that do not match). Every row is written and
  // only the matching ones are kept, which spares a mispredicted branch per row.
  // Inlined where each thread calls it: called through another function, it is slower per row.
  auto run = [&](size_t begin, size_t end, size_t* counted) __attribute__((always_inline)) {
    size_t kept = begin;
    size_t counts[4] = {};  // its own, and not beside the other thread's
    for (size_t k = begin; k < end; ++k) {
      const std::uint32_t i = narrow ? previous[k].row : static_cast<std::uint32_t>(k);
      Match match = tierOf(rows_[i], narrow ? previous + k : nullptr);
      match.row = i;
      next[kept] = match;
      kept += match.tier >= 0;
      ++counts[match.tier + 1];
    }
    std::copy(counts, counts + 4, counted);
    return kept;
  };
  size_t counted[4] = {};
  // A larger search is shared with the helper thread: the candidates in pieces, each taken by
  // whichever thread is free first, and each piece's matches moved down after those before it, so
  // they stay in library order. When the helper is slow to wake or to run, this thread takes more
  // pieces, all of them when the helper has not begun; at the end it waits for the helper's task,
  // which by then holds at most the one piece it took last.
  SearchHelper* const helper = candidates >= kSharedFrom ? SearchHelper::Get() : nullptr;
  std::unique_lock<std::mutex> use;
  if (helper) use = std::unique_lock<std::mutex>(helper->use, std::try_to_lock);
  if (use.owns_lock()) {
    constexpr size_t kPieces = 8;
    const size_t size = (candidates + kPieces - 1) / kPieces;
    struct alignas(64) Piece {  // each written by the thread that took it, a cache line apart
      size_t kept;
      size_t counted[4];
    };
    Piece pieces[kPieces];
    alignas(64) std::atomic<size_t> taken{0};
    const auto work = [&] {
      for (size_t p; (p = taken.fetch_add(1, std::memory_order_relaxed)) < kPieces;)
        pieces[p].kept = run(std::min(p * size, candidates), std::min(p * size + size, candidates), pieces[p].counted);
    };
    helper->Start(work);
    work();
    helper->Finish();
    size_t kept = 0;
    for (size_t p = 0; p < kPieces; ++p) {
      const size_t begin = std::min(p * size, candidates);
      if (kept != begin) std::copy(next + begin, next + pieces[p].kept, next + kept);  // down, never onto itself
      kept += pieces[p].kept - begin;
      for (size_t t = 0; t < 4; ++t) counted[t] += pieces[p].counted[t];
    }
  } else {
    run(0, candidates, counted);
  }
  level.query = std::move(query);
  std::copy(counted + 1, counted + 4, level.tiers);
  ++depth_;
  return Order(level);
}

// The level after the last one, with room for the matches among `candidates` rows. Its buffer is
// kept when it fits, and made again when it is short or over twice too long: what the levels hold
// stays near what the query on the way needs.
SearchIndex::Level& SearchIndex::NextLevel(size_t candidates) {
  if (depth_ == kMostLevels) {
    std::rotate(levels_.begin(), levels_.begin() + 1, levels_.end());
    --depth_;
  }
  if (depth_ == levels_.size()) levels_.emplace_back();
  Level& level = levels_[depth_];
  if (level.matches.size() < candidates || level.matches.size() > 2 * candidates + 1024)
    level.matches = std::vector<Match>(candidates);
  return level;
}

// A query nothing matches, kept as a level like any other.
std::vector<SearchHit> SearchIndex::NoMatches(std::vector<char32_t> query) {
  Level& level = NextLevel(0);
  level.query = std::move(query);
  std::fill(std::begin(level.tiers), std::end(level.tiers), 0);
  ++depth_;
  return {};
}

// A level's matches in the order of their tiers.
std::vector<SearchHit> SearchIndex::Order(const Level& level) const {
  const std::span<const Match> matches(level.matches.data(), level.count());
  const size_t* const count = level.tiers;
  std::vector<SearchHit> out(matches.size());
  size_t at[3] = {0, count[0], count[0] + count[1]};
  if (sendCounts_.empty()) {
    for (const Match& match : matches) {
      out[at[match.tier]++] = hits_[match.row];
    }
    return out;
  }
  // Within each rank, the rows sent most often first; the stable sort keeps library order for ties.
  // Most rows were never sent: those go out in one pass, each rank's gathered at its start, and
  // move behind its few sent ones, which alone are sorted.
  std::vector<std::uint32_t> sent[3];
  for (const Match& match : matches) {
    if (sendCounts_[match.row]) sent[match.tier].push_back(match.row);
    else out[at[match.tier]++] = hits_[match.row];
  }
  for (size_t tier = 0, begin = 0; tier < 3; begin += count[tier++]) {
    const auto first = out.begin() + static_cast<std::ptrdiff_t>(begin);
    const auto unsentEnd = first + static_cast<std::ptrdiff_t>(count[tier] - sent[tier].size());
    std::move_backward(first, unsentEnd, first + static_cast<std::ptrdiff_t>(count[tier]));
    std::stable_sort(sent[tier].begin(), sent[tier].end(),
                     [&](std::uint32_t a, std::uint32_t b) { return sendCounts_[a] > sendCounts_[b]; });
    std::transform(sent[tier].begin(), sent[tier].end(), first, [&](std::uint32_t r) { return hits_[r]; });
  }
  return out;
}

void SearchIndex::SetSendCounts(const std::function<std::uint32_t(const SearchHit&)>& countOf) {
  sendCounts_.assign(rows_.size(), 0);
  bool any = false;
  for (size_t i = 0; i < rows_.size(); ++i) {
    sendCounts_[i] = countOf(hits_[i]);
    any = any || sendCounts_[i] != 0;
  }
  if (!any) sendCounts_.clear();
}

std::vector<SearchHit> SearchIndex::Search(std::string_view queryText) {
  std::vector<char32_t> query;
  DecodeUtf8(queryText, query);
  for (char32_t& c : query) c = FoldForSearch(c);
  std::erase_if(query, SkippedInSearch);
  if (query.empty() || rows_.empty()) {
    depth_ = 0;
    return {};
  }
  // Whatever matches this query matches each kept one it goes on from: the characters that match
  // its first letters match the shorter query's. Those it does not go on from are done with.
  const auto goesOnFrom = [&](const std::vector<char32_t>& kept) {
    return kept.size() <= query.size() && std::equal(kept.begin(), kept.end(), query.begin());
  };
  while (depth_ > 0 && !goesOnFrom(levels_[depth_ - 1].query)) --depth_;
  // Levels past the next one are done with; the first two, the largest, keep their buffers.
  if (levels_.size() > std::max<size_t>(depth_ + 1, 2)) levels_.resize(std::max<size_t>(depth_ + 1, 2));
  if (depth_ > 0 && levels_[depth_ - 1].query.size() == query.size()) return Order(levels_[depth_ - 1]);
  const bool narrow = depth_ > 0;
  const size_t before = narrow ? levels_[depth_ - 1].query.size() : 0;

  if (query.size() > kMaxPinyinQuery) {
    std::vector<std::uint32_t> wanted;
    for (char32_t c : query) {
      const auto at = std::find(idChar_.begin(), idChar_.end(), c);
      if (at == idChar_.end()) return NoMatches(std::move(query));  // a character no row holds
      wanted.push_back(static_cast<std::uint32_t>(at - idChar_.begin()));
    }
    return Collect(std::move(query), narrow,
                   [&](const Row& row, const Match*) {
                     return Match{0, kNoEnd, static_cast<std::int8_t>(LiteralTier(row, wanted)), kByEnd, 0};
                   });
  }

  // One other character (the first of a Chinese word, typed with an input method) matches only
  // itself: each row is looked through for it, without the pinyin.
  if (query.size() == 1 && !ExactStart(query[0])) {
    const auto known = std::find(idChar_.begin(), idChar_.end(), query[0]);
    if (known == idChar_.end()) return NoMatches(std::move(query));  // a character no row holds
    const auto id = static_cast<std::uint32_t>(known - idChar_.begin());
    const std::uint64_t letter = LetterBit(query[0]), other = OtherBit(query[0]);
    const std::uint32_t* const units = units_.data();
    return Collect(std::move(query), narrow, [&](const Row& row, const Match*) -> Match {
      if (!(row.letters & letter) || !(row.others & other)) return {0, 0, -1, 0, 0};
      // One pass over both parts: where the character first is gives the tier.
      const std::uint32_t end = UnitAfter(units, row.begin, row.end, id);
      const std::int8_t tier = !end ? -1 : end > row.split ? 2 : end == row.begin + 1 ? 0 : 1;
      return {0, end, tier, kByEnd, 0};
    });
  }

  // One letter or digit, the first keystroke of most searches, is answered from what each row's
  // parts can start with, without reading their characters; where its earliest match starts, for
  // the next keystroke, from the units listed for each letter.
  if (query.size() == 1 && ExactStart(query[0])) {
    const std::uint64_t bit = LetterBit(query[0]);
    return Collect(std::move(query), narrow, [&](const Row& row, const Match*) -> Match {
      // Worked out without branches: which part matches is as good as random from row to row.
      const RowStarts& starts = starts_[static_cast<size_t>(&row - rows_.data())];
      const bool inRemark = starts.remark & bit;
      const std::int8_t tier = starts.first & bit ? 0 : inRemark ? 1 : starts.content & bit ? 2 : -1;
      if (starts.atBegin == kUnlisted) return {0, kNoEnd, tier, kByEnd, 0};
      const auto [first, last] = Run(starts, bit, inRemark);
      return {0, (inRemark ? row.begin : row.split) + at_[first], tier, static_cast<std::uint8_t>(last - first - 1),
              static_cast<std::uint16_t>(first - starts.atBegin)};
    });
  }

  // For each query position p and each character of the library: the positions the character
  // leads to from p. Itself leads to p + 1; a prefix of one of its readings to p + its length.
  const size_t m = query.size();
  const size_t ids = idChar_.size();
  std::vector<std::uint64_t> table(m * ids, 0);
  std::uint64_t queryLetters = 0;
  std::uint64_t queryOthers = 0;
  for (char32_t c : query) {
    queryLetters |= LetterBit(c);
    queryOthers |= OtherBit(c);
  }
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
  const std::uint32_t* units = units_.data();
  // Most characters of a row start no match: while nothing is under way they are skipped by a
  // plain scan over this flag, which is what keeps a keystroke within a frame.
  std::vector<std::uint8_t> starts(ids);
  for (size_t id = 0; id < ids; ++id) starts[id] = table[id] != 0;
  // The unit after the end of the earliest match in [from, end), or 0.
  auto occurs = [&](std::uint32_t from, std::uint32_t end) -> std::uint32_t {
    const std::uint32_t* u = units + from;
    const std::uint32_t* const stop = units + end;
    std::uint64_t open = 1;  // query positions reached by a match that may start anywhere
    while (u < stop) {
      if (open == 1) {
        while (stop - u >= 4 && !(starts[u[0]] | starts[u[1]] | starts[u[2]] | starts[u[3]])) u += 4;
        while (u < stop && !starts[*u]) ++u;
        if (u == stop) return 0;
        open = 1 | t[*u++];
      } else {
        open = 1 | Step(open, t, ids, *u++);
      }
      if (open & goal) return static_cast<std::uint32_t>(u - units);
    }
    return 0;
  };
  // A row without the pair of the query's first two characters cannot match it, which leaves out
  // most rows at the second keystroke, when the first one's matches are still most of the library.
  const int pair = m >= 2 ? PairBit(query[0], query[1]) : -1;
  const std::uint64_t* const pairWord = pair >= 0 ? pairs_.data() + (pair >> 6) * rows_.size() : nullptr;
  const std::uint64_t pairMask = pair >= 0 ? std::uint64_t{1} << (pair & 63) : 0;
  // Whether a match starts at unit `from`, ending before `end` (from < end).
  auto startsAt = [&](std::uint32_t from, std::uint32_t end) {
    std::uint64_t open = t[units[from]];  // from the query's first position
    for (std::uint32_t u = from + 1; !(open & goal); ++u) {
      if (!open || u == end) return false;
      open = Step(open, t, ids, units[u]);
    }
    return true;
  };
  // A row whose match is found by reading its units.
  const auto byUnits = [&](const Row& row, const Match* previous) __attribute__((always_inline)) -> Match {
    const int was = previous ? previous->tier : 0;
    // A match of this query begins with a match of the previous one, in the same part: so in no
    // better tier, and starting at most `before` units before the previous earliest match ended.
    auto from = [&](std::uint32_t partBegin) {
      if (!previous || previous->at == kNoEnd || previous->at < partBegin + before) return partBegin;
      return previous->at - static_cast<std::uint32_t>(before);
    };
    if (was == 0) {
      // A match from the remark's first character.
      std::uint64_t anchored = 1;
      std::uint32_t u = row.begin;
      while (u < row.split && anchored && !(anchored & goal)) anchored = Step(anchored, t, ids, units[u++]);
      if (anchored & goal) return {0, u, 0, kByEnd, 0};
    }
    if (was <= 1) {
      if (const std::uint32_t end = occurs(was == 1 ? from(row.begin) : row.begin, row.split)) return {0, end, 1, kByEnd, 0};
    }
    if (const std::uint32_t end = occurs(was == 2 ? from(row.split) : row.split, row.end)) return {0, end, 2, kByEnd, 0};
    return {0, 0, -1, 0, 0};
  };

  // The same for the rare row with nothing listed among rows that have: out of line, as inlined
  // there it slows the others.
  const auto byUnitsApart = [&](const Row& row, const Match* previous)
                                __attribute__((noinline)) -> Match { return byUnits(row, previous); };
  const auto unitsOrNone = [&](const Row& row, const Match* previous) -> Match {
    if ((row.letters & queryLetters) != queryLetters || (row.others & queryOthers) != queryOthers) return {0, 0, -1, 0, 0};
    if (pairWord && !(pairWord[&row - rows_.data()] & pairMask)) return {0, 0, -1, 0, 0};
    return byUnits(row, previous);
  };
  const std::uint64_t lead = ExactStart(query[0]) ? LetterBit(query[0]) : 0;
  if (!lead) return Collect(std::move(query), narrow, unitsOrNone);
  return Collect(std::move(query), narrow, [&](const Row& row, const Match* previous) -> Match {
    if ((row.letters & queryLetters) != queryLetters || (row.others & queryOthers) != queryOthers) return {0, 0, -1, 0, 0};
    const size_t i = static_cast<size_t>(&row - rows_.data());
    if (pairWord && !(pairWord[i] & pairMask)) return {0, 0, -1, 0, 0};
    if (previous ? previous->left == kByEnd : starts_[i].atBegin == kUnlisted) return byUnitsApart(row, previous);
    const int was = previous ? previous->tier : 0;
    // A match starts at a unit listed for the query's first letter, and a match of this query
    // begins with a match of the previous one, in the same part: so in no better tier, and at
    // its earliest start or after. Only those units are tried, each until it cannot go on.
    auto tryFrom = [&](std::uint32_t first, std::uint32_t last, std::uint32_t partBegin, std::uint32_t partEnd,
                       std::int8_t tier) -> Match {
      for (std::uint32_t a = first; a < last; ++a) {
        const std::uint32_t unit = partBegin + at_[a];
        if (startsAt(unit, partEnd))
          return {0, unit, tier, static_cast<std::uint8_t>(last - a - 1), static_cast<std::uint16_t>(a - starts_[i].atBegin)};
      }
      return {0, 0, -1, 0, 0};
    };
    // The listed units of a part, all of them.
    auto tryPart = [&](bool remark) -> Match {
      const RowStarts& starts = starts_[i];
      if (!((remark ? starts.remark : starts.content) & lead)) return {0, 0, -1, 0, 0};
      const auto [first, last] = Run(starts, lead, remark);
      return remark ? tryFrom(first, last, row.begin, row.split, 1) : tryFrom(first, last, row.split, row.end, 2);
    };
    if (was > 0) {
      // Most rows stay in their part, most of them at the same start: which part it is is chosen
      // without a branch, and that start is tried without reading where it is listed.
      const bool remark = was == 1;
      const std::uint32_t partBegin = remark ? row.begin : row.split, partEnd = remark ? row.split : row.end;
      if (startsAt(previous->at, partEnd)) return *previous;
      const std::uint32_t next = starts_[i].atBegin + previous->rel + 1u;
      const Match stays = tryFrom(next, next + previous->left, partBegin, partEnd, static_cast<std::int8_t>(was));
      return stays.tier >= 0 || !remark ? stays : tryPart(false);
    }
    if (row.begin < row.split && startsAt(row.begin, row.split)) return {0, 0, 0, 0, 0};
    const Match inRemark = tryPart(true);
    return inRemark.tier >= 0 ? inRemark : tryPart(false);
  });
}

// The units listed for the letter `bit` in a row's remark or content: [first, last) in at_. For a
// letter the part lacks, an empty or meaningless range.
std::pair<std::uint32_t, std::uint32_t> SearchIndex::Run(const RowStarts& starts, std::uint64_t bit, bool remark) const {
  const std::uint64_t below = (bit - 1) & kExactBits;
  const int k = remark ? BitCount(starts.remark & below)
                       : BitCount(starts.remark & kExactBits) + BitCount(starts.content & below);
  const std::uint16_t* const run = runs_.data() + starts.runs + k;
  return {starts.atBegin + run[0], starts.atBegin + run[1]};
}

int SearchIndex::LiteralTier(const Row& row, const std::vector<std::uint32_t>& wanted) const {
  const auto* units = units_.data();
  const auto* remarkHit = std::search(units + row.begin, units + row.split, wanted.begin(), wanted.end());
  if (remarkHit == units + row.begin && row.split - row.begin >= wanted.size()) return 0;
  if (remarkHit != units + row.split) return 1;
  if (std::search(units + row.split, units + row.end, wanted.begin(), wanted.end()) != units + row.end) return 2;
  return -1;
}

}  // namespace jihe::library
