#pragma once
// INI files with the semantics of the Windows private-profile functions, over GB18030 bytes:
// section and key names compare without regard to ASCII case, blanks around keys and values are
// trimmed, a value inside a pair of quotation marks loses them, the first occurrence wins, a write
// replaces its key's line in place and keeps every other line as it was, a new key goes to the end
// of its section and a new section to the end of the file. Saving is atomic.
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

  // Every key and value of the first section of that name, in file order (values not cut).
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, long long value);
  void SetBool(std::string_view section, std::string_view key, bool value);

  std::string ToBytes() const;
  // Writes the file atomically; skips the write when the bytes on disk are already these.
  bool Save(const std::string& path) const;

 private:
  struct Line {
    std::string text;    // decoded, without its line break
    std::string ending;  // "\r\n", "\n" or "" for a last line without one
  };
  static std::optional<std::string_view> SectionOf(std::string_view line);
  // Key and value of a "key=value" line; nothing for other lines.
  static bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value);
  // [begin, end) line range of the first section with that name; begin is the header line.
  bool FindSection(std::string_view section, size_t& begin, size_t& end) const;

  std::vector<Line> lines_;
  bool exists_ = false;
};

}  // namespace jihe::storage
