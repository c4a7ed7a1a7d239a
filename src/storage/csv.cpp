#include "storage/csv.h"

#include <algorithm>

#include "platform/utf16.h"
#include "storage/gb18030.h"

namespace jihe::storage {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF. GBK text almost never
// passes, since its lead bytes 0x81..0xFE are rarely followed by the exact continuation bytes.
// The offset of the first byte that does not belong to strict UTF-8 (see below), or npos.
size_t FirstInvalidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return i;
    }
    if (i + len > s.size()) return i;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return i;
    }
    i += len;
  }
  return std::string_view::npos;
}

size_t LineAt(std::string_view text, size_t offset) {
  return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// UTF-16 after its byte-order mark, in the given byte order. A lone surrogate or an odd last byte
// cannot be read exactly, and is an error at its line.
std::variant<std::string, CsvError> DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  size_t line = 1;
  auto unitAt = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (size_t i = 0; i < bytes.size();) {
    if (i + 1 >= bytes.size()) return CsvError{line, "文件末尾缺了半个字（UTF-16 的字节数应为双数）"};
    char32_t cp = unitAt(i);
    i += 2;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < bytes.size() && unitAt(i) >= 0xDC00 && unitAt(i) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unitAt(i) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      return CsvError{line, "有一个残缺的 UTF-16 字符，文件无法按原样读出"};
    }
    if (cp == '\n') ++line;
    platform::AppendUtf8(out, cp);
  }
  return out;
}

bool IsFormulaLead(char c) { return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r'; }

// Apostrophes followed by a formula character: the form that UnguardFormula takes one away from.
bool IsGuarded(std::string_view field) {
  const size_t at = field.find_first_not_of('\'');
  return at > 0 && at != std::string_view::npos && IsFormulaLead(field[at]);
}

char SeparatorOf(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',' || c == '\t') return c;
    if (c == '\r' || c == '\n') break;
  }
  return ',';
}

}  // namespace

std::variant<std::string, CsvError> DecodeCsvBytes(std::string bytes) {
  const std::string_view view(bytes);
  if (view.starts_with("\xFF\xFE")) return DecodeUtf16(view.substr(2), false);
  if (view.starts_with("\xFE\xFF")) return DecodeUtf16(view.substr(2), true);
  if (view.starts_with(kUtf8Bom)) {
    bytes.erase(0, kUtf8Bom.size());
    if (const size_t bad = FirstInvalidUtf8(bytes); bad != std::string::npos)
      return CsvError{LineAt(bytes, bad), "文件开头标明是 UTF-8，这一行却不是 UTF-8 文字（请在 Excel 里另存为“CSV UTF-8”）"};
    return bytes;
  }
  if (FirstInvalidUtf8(bytes) == std::string::npos) return bytes;
  return DecodeGb18030(bytes);
}

std::optional<CsvError> ForEachCsvRecord(std::string_view text, const std::function<bool(CsvRecord&)>& onRecord) {
  const char sep = SeparatorOf(text);
  size_t line = 1;
  size_t i = 0;
  while (i < text.size()) {
    CsvRecord record{line, {}};
    std::string field;
    bool ended = false;
    while (!ended) {
      field.clear();
      if (i < text.size() && text[i] == '"') {
        ++i;
        for (;;) {
          if (i >= text.size()) return CsvError{record.line, "引号没有结束"};
          const char c = text[i];
          if (c == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (c == '\r' || c == '\n') {
            // Every kind of line break inside a cell becomes the row's CR LF.
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            field += "\r\n";
            ++line;
            continue;
          }
          field += c;
          ++i;
        }
        if (i < text.size() && text[i] != sep && text[i] != '\r' && text[i] != '\n')
          return CsvError{line, "引号后面多了文字"};
      } else {
        while (i < text.size() && text[i] != sep && text[i] != '\r' && text[i] != '\n') {
          if (text[i] == '"') return CsvError{line, "引号只能出现在加了引号的单元格里"};
          field += text[i++];
        }
      }
      record.fields.push_back(field);
      if (i < text.size() && text[i] == sep) {
        ++i;
        continue;
      }
      // End of the record: a line break or the end of the text.
      if (i < text.size()) i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      ++line;
      ended = true;
    }
    record.end = i;
    if (!onRecord(record)) break;
  }
  return std::nullopt;
}

std::variant<std::vector<CsvRecord>, CsvError> ParseCsv(std::string_view text) {
  std::vector<CsvRecord> records;
  if (auto error = ForEachCsvRecord(text, [&](CsvRecord& r) {
        records.push_back(std::move(r));
        return true;
      }))
    return *error;
  return records;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) out += ',';
    const std::string& f = fields[k];
    const bool quote = f.find_first_of(",\"\r\n\t") != std::string::npos ||
                       (!f.empty() && (f.front() == ' ' || f.back() == ' '));
    if (!quote) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string GuardFormula(std::string_view field) {
  if ((!field.empty() && IsFormulaLead(field.front())) || IsGuarded(field)) return "'" + std::string(field);
  return std::string(field);
}

std::string UnguardFormula(std::string_view field) {
  return std::string(IsGuarded(field) ? field.substr(1) : field);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t Digits(std::string_view s, size_t& i) {
  const size_t from = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i - from;
}

// Numbers as a spreadsheet reads them: a sign, digits (perhaps in groups of three with commas), a
// decimal part, an exponent, a percent sign; a currency sign in front.
bool LooksLikeNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  for (std::string_view currency : {"$", "¥", "￥"}) {
    if (s.substr(i).starts_with(currency)) {
      i += currency.size();
      break;
    }
  }
  const size_t intDigits = Digits(s, i);
  while (intDigits > 0 && i < s.size() && s[i] == ',') {
    size_t j = i + 1;
    if (Digits(s, j) != 3) return false;
    i = j;
  }
  size_t fraction = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    fraction = Digits(s, i);
  }
  if (intDigits == 0 && fraction == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (Digits(s, i) == 0) return false;
  }
  if (i < s.size() && s[i] == '%') ++i;
  return i == s.size();
}

// Dates, times and fractions as a spreadsheet reads them: 2024-1-2, 1/2, 2.3.2024, 12:30,
// 2024/1/2 3:04:05, 1 1/2.
bool LooksLikeDateOrTime(std::string_view s) {
  size_t i = 0;
  auto number = [&] { return Digits(s, i) > 0; };
  auto next = [&](char c) { return i < s.size() && s[i] == c ? (++i, true) : false; };
  auto timeToEnd = [&] {  // H:M, H:M:S or H:M:S.f
    if (!number() || !next(':') || !number()) return false;
    if (next(':') && (!number() || (next('.') && !number()))) return false;
    return i == s.size();
  };
  if (timeToEnd()) return true;
  i = 0;
  // A mixed fraction, 1 1/2.
  if (number() && next(' ') && number() && next('/') && number() && i == s.size()) return true;
  i = 0;
  if (!number() || i >= s.size()) return false;
  const char sep = s[i];
  if (sep != '-' && sep != '/' && sep != '.') return false;
  ++i;
  if (!number()) return false;
  bool third = false;
  if (next(sep)) {
    if (!number()) return false;
    third = true;
  }
  if (sep == '.' && !third) return false;  // 1.5 is a number
  if (i == s.size()) return true;
  return next(' ') && timeToEnd();
}

}  // namespace

bool NeedsTextForm(std::string_view field) {
  if (field.empty()) return false;
  size_t i = 0;
  if (Digits(field, i) == field.size()) {
    // Plain digits survive unless a zero leads or there are too many for the spreadsheet's
    // General format (which shows 12 and more as 1.23457E+11).
    return (field.size() > 1 && field[0] == '0') || field.size() > 11;
  }
  if (LooksLikeNumber(field) || LooksLikeDateOrTime(field)) return true;
  // Logical values are retyped as well (true becomes TRUE).
  std::string upper(field);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return upper == "TRUE" || upper == "FALSE";
}

std::string TextForm(std::string_view field) {
  std::string out = "=\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::optional<std::string> TextOfTextForm(std::string_view field) {
  if (field.size() < 3 || !field.starts_with("=\"") || field.back() != '"') return std::nullopt;
  std::string out;
  const std::string_view inner = field.substr(2, field.size() - 3);
  for (size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] == '"') {
      if (i + 1 >= inner.size() || inner[i + 1] != '"') return std::nullopt;
      ++i;
    }
    out += inner[i];
  }
  return out;
}

}  // namespace jihe::storage
