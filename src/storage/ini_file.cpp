#include "storage/ini_file.h"

#include <climits>

#include "platform/file_system.h"
#include "storage/gb18030.h"

namespace jihe::storage {

namespace {

// ^Z ends the text of DOS files and still turns up in old ones; the system trims it like a blank.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// A value loses one pair of quotation marks around it when read.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Blanks that the system's wide-character reader may trim as well, beyond the ASCII ones: the
// no-break spaces, the typographic spaces and the ideographic space U+3000 (UTF-8 forms).
bool StartsOrEndsWithWideBlank(std::string_view v) {
  static constexpr std::string_view kWideBlanks[] = {
      "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
      "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};
  for (std::string_view blank : kWideBlanks)
    if (v.starts_with(blank) || v.ends_with(blank)) return true;
  return false;
}

// The text to write after "key=" so that every private-profile reader gives `value` back: the
// value itself, or the value in a pair of double quotes when a read would change it otherwise.
// Quoting is safe for any value, since a read strips exactly one pair.
std::string StoredForm(std::string_view value) {
  if (Unquote(Trim(value)) == value && !StartsOrEndsWithWideBlank(value)) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.append("\"").append(value).append("\"");
  return quoted;
}

bool HoldsLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string CutIniValue(std::string value) {
  // Cheap test first: no character takes more than twice its UTF-8 bytes in GB18030 ("À": 2 and 4).
  if (value.size() <= kIniValueLimit / 2) return value;
  std::string bytes = EncodeGb18030(value);
  if (bytes.size() <= kIniValueLimit) return value;
  bytes.resize(kIniValueLimit);
  return DecodeGb18030(bytes);
}

int LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

IniFile IniFile::FromBytes(std::string_view bytes) {
  IniFile ini;
  ini.exists_ = true;
  const std::string text = DecodeGb18030(bytes);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    Line line;
    if (end == std::string::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      const size_t next = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2 : end + 1;
      line.text = text.substr(start, end - start);
      line.ending = text.substr(end, next - end);
      start = next;
    }
    ini.lines_.push_back(std::move(line));
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  auto bytes = platform::ReadWholeFile(path);
  if (!bytes) return IniFile{};
  return FromBytes(*bytes);
}

std::optional<std::string_view> IniFile::SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.rfind(']');
  if (close == 0 || close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

std::optional<IniFile::KeyLine> IniFile::KeyOf(std::string_view line) {
  line = Trim(line);
  if (line.empty()) return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return KeyLine{line, std::nullopt};
  return KeyLine{Trim(line.substr(0, eq)), Unquote(Trim(line.substr(eq + 1)))};
}

bool IniFile::FindSection(std::string_view section, size_t& begin, size_t& end) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionOf(lines_[i].text);
    if (!name || !SameName(*name, section)) continue;
    begin = i;
    end = i + 1;
    while (end < lines_.size() && !SectionOf(lines_[end].text)) ++end;
    return true;
  }
  return false;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  size_t begin = 0, end = 0;
  if (!FindSection(section, begin, end)) return std::nullopt;
  for (size_t i = begin + 1; i < end; ++i) {
    const auto line = KeyOf(lines_[i].text);
    if (!line || !SameName(line->key, key)) continue;
    if (!line->value) return std::nullopt;
    return CutIniValue(std::string(*line->value));
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::optional<std::string>>> IniFile::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::optional<std::string>>> out;
  size_t begin = 0, end = 0;
  if (!FindSection(section, begin, end)) return out;
  for (size_t i = begin + 1; i < end; ++i) {
    if (const auto line = KeyOf(lines_[i].text)) out.emplace_back(line->key, line->value);
  }
  return out;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto v = Get(section, key);
  return v ? *v : std::string(fallback);
}

int IniFile::GetInt(std::string_view section, std::string_view key) const {
  auto v = Get(section, key);
  return v ? LeadingNumber(*v) : 0;
}

bool IniFile::GetBool(std::string_view section, std::string_view key, bool fallback) const {
  auto v = Get(section, key);
  return v ? *v == kTrue : fallback;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) return false;
  if (key.find('=') != std::string_view::npos || Trim(key).starts_with('[')) return false;
  std::string text;
  text.reserve(key.size() + 3 + value.size());
  text.append(key).append("=").append(StoredForm(value));

  size_t begin = 0, end = 0;
  if (!FindSection(section, begin, end)) {
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = "\r\n";
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({std::move(text), "\r\n"});
    return true;
  }
  for (size_t i = begin + 1; i < end; ++i) {
    const auto line = KeyOf(lines_[i].text);
    if (line && SameName(line->key, key)) {
      lines_[i].text = std::move(text);
      if (lines_[i].ending.empty()) lines_[i].ending = "\r\n";
      return true;
    }
  }
  // A new key goes after the section's last non-blank line.
  size_t at = end;
  while (at > begin + 1 && Trim(lines_[at - 1].text).empty()) --at;
  if (lines_[at - 1].ending.empty()) lines_[at - 1].ending = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), "\r\n"});
  return true;
}

bool IniFile::SetInt(std::string_view section, std::string_view key, long long value) {
  return Set(section, key, std::to_string(value));
}

bool IniFile::SetBool(std::string_view section, std::string_view key, bool value) {
  return Set(section, key, value ? kTrue : kFalse);
}

std::string IniFile::ToBytes() const {
  std::string text;
  for (const Line& line : lines_) text.append(line.text).append(line.ending);
  return EncodeGb18030(text);
}

bool IniFile::Save(const std::string& path) const {
  const std::string bytes = ToBytes();
  if (auto old = platform::ReadWholeFile(path); old && *old == bytes) return true;
  return platform::WriteFileAtomically(path, bytes);
}

}  // namespace jihe::storage
