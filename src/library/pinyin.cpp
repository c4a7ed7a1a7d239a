#include "library/pinyin.h"

#include <algorithm>
#include <cstddef>
#include <memory>

namespace jihe::library {

namespace {
#include "library/pinyin_table.inc"

constexpr std::uint32_t kSetMask = (1u << kPinyinSetBits) - 1;

// The search index asks for the set of every character of the library, so the common characters
// get a direct table, filled once from the sorted entries; the rest are looked up by bisection.
const std::vector<std::int16_t>& BmpSets() {
  static const std::vector<std::int16_t> table = [] {
    std::vector<std::int16_t> t(0x10000, -1);
    for (std::uint32_t entry : kPinyinEntries) {
      const std::uint32_t c = entry >> kPinyinSetBits;
      if (c < 0x10000) t[c] = static_cast<std::int16_t>(entry & kSetMask);
    }
    return t;
  }();
  return table;
}

}  // namespace

int PinyinSetOf(char32_t c) {
  if (c < 0x10000) return BmpSets()[c];
  const std::uint32_t key = static_cast<std::uint32_t>(c) << kPinyinSetBits;
  const auto* end = std::end(kPinyinEntries);
  const auto* at = std::lower_bound(std::begin(kPinyinEntries), end, key);
  if (at == end || (*at >> kPinyinSetBits) != static_cast<std::uint32_t>(c)) return -1;
  return static_cast<int>(*at & kSetMask);
}

std::span<const std::uint16_t> PinyinSetSyllables(int set) {
  if (set < 0 || static_cast<size_t>(set) >= std::size(kPinyinSetAt)) return {};
  const std::uint16_t at = kPinyinSetAt[set];
  return {kPinyinSets + at + 1, kPinyinSets[at]};
}

std::string_view PinyinSyllable(std::uint16_t syllable) {
  if (syllable >= kPinyinSyllableCount) return {};
  return std::string_view(kPinyinSyllables + kPinyinSyllableAt[syllable]);
}

std::vector<std::string_view> PinyinOf(char32_t c) {
  std::vector<std::string_view> out;
  for (std::uint16_t s : PinyinSetSyllables(PinyinSetOf(c))) out.push_back(PinyinSyllable(s));
  return out;
}

}  // namespace jihe::library
