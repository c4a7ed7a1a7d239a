#pragma once
// INI files with the semantics of the Windows private-profile functions, over GB18030 bytes:
// a line ends at CR LF, at a CR alone or at an LF; section and key names compare without regard to
// ASCII case; blanks (^Z among them) around keys and values are trimmed, and a value inside a pair
// of quotation marks loses them; a line that starts with "[" is a section header only when it holds
// a "]", and the name runs to the last one; the first occurrence of a section or key wins, and a
// line that holds the key without "=" counts as that key without a value. A write replaces its
// key's line in place and keeps every other line as it was, a new key goes to the end of its
// section and a new section to the end of the file. Saving is atomic.
//
// Where we differ from the system on purpose: a value is cut after kIniValueLimit bytes of its
// GB18030 form (the system cuts in characters of its buffer), a number that overflows is clamped
// instead of wrapping, and "0x" is no prefix of a number.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jihe::storage {

// A value read from an INI file is cut to this many bytes, as a 10,240-byte read buffer with its
// terminating zero would cut it.
inline constexpr size_t kIniValueLimit = 10239;

inline constexpr std::string_view kTrue = "真";
inline constexpr std::string_view kFalse = "假";

// A value as a read returns it: cut to kIniValueLimit bytes of its GB18030 form.
std::string CutIniValue(std::string value);

// Leading-number conversion: optional blanks and sign, then digits; anything else reads as 0.
int LeadingNumber(std::string_view text);

class IniFile {
 public:
  static IniFile FromBytes(std::string_view bytes);
  // A missing or unreadable file gives an empty one; Exists() tells them apart.
  static IniFile Load(const std::string& path);

  bool Exists() const { return exists_; }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
  int GetInt(std::string_view section, std::string_view key) const;
  // Only the exact text "真" is true; a missing key gives the fallback.
  bool GetBool(std::string_view section, std::string_view key, bool fallback = false) const;

  // Every key of the first section of that name, in file order, with its value (not cut); a key
  // written without "=" has none.
  std::vector<std::pair<std::string, std::optional<std::string>>> Entries(std::string_view section) const;

  // A value that a read would give back changed (blanks at its ends, a pair of quotation marks
  // around it) is written inside a pair of double quotes, which every reader strips again. False,
  // and nothing changes, when no INI line can hold the section, key or value as it is: a line break
  // in any of them, or a key holding "=" or starting with "[".
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  bool SetInt(std::string_view section, std::string_view key, long long value);
  bool SetBool(std::string_view section, std::string_view key, bool value);

  std::string ToBytes() const;
  // Writes the file atomically; skips the write when the bytes on disk are already these.
  bool Save(const std::string& path) const;

 private:
  struct Line {
    std::string text;    // decoded, without its line break
    std::string ending;  // "\r\n", "\r", "\n" or "" for a last line without one
  };
  struct KeyLine {
    std::string_view key;
    std::optional<std::string_view> value;  // trimmed and unquoted; nothing without "="
  };
  static std::optional<std::string_view> SectionOf(std::string_view line);
  // The key of a line inside a section; nothing for a blank line.
  static std::optional<KeyLine> KeyOf(std::string_view line);
  // [begin, end) line range of the first section with that name; begin is the header line.
  bool FindSection(std::string_view section, size_t& begin, size_t& end) const;

  std::vector<Line> lines_;
  bool exists_ = false;
};

}  // namespace jihe::storage
