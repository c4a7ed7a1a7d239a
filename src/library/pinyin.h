#pragma once
// Toneless pinyin readings of Chinese characters, for the search box: every reading of a
// polyphone, "v" for ü, as pinyin input methods type them.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace jihe::library {

// The number of the character's set of readings; characters with equal readings share one.
// -1 for a character with no reading.
int PinyinSetOf(char32_t c);
// The syllable numbers of a set.
std::span<const std::uint16_t> PinyinSetSyllables(int set);
std::string_view PinyinSyllable(std::uint16_t syllable);

// Every reading of the character; empty for one with none.
std::vector<std::string_view> PinyinOf(char32_t c);

}  // namespace jihe::library
