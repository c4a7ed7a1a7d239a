#include "storage/csv.h"

#include "storage/gb18030.h"

namespace jihe::storage {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF. GBK text almost never
// passes, since its lead bytes 0x81..0xFE are rarely followed by the exact continuation bytes.
bool IsValidUtf8(std::string_view s) {
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
      return false;
    }
    if (i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return false;
    }
    i += len;
  }
  return true;
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

std::string DecodeCsvBytes(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return std::string(bytes.substr(kUtf8Bom.size()));
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return DecodeGb18030(bytes);
}

std::variant<std::vector<CsvRecord>, CsvError> ParseCsv(std::string_view text) {
  const char sep = SeparatorOf(text);
  std::vector<CsvRecord> records;
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
    records.push_back(std::move(record));
  }
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

}  // namespace jihe::storage
