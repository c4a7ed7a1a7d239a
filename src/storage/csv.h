#pragma once
// Comma-separated files as Excel reads and writes them: fields in double quotes may hold the
// separator, quotes (doubled) and line breaks; a file may begin with a UTF-8 byte-order mark.
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jihe::storage {

// The text of a file as UTF-8: after a UTF-8 byte-order mark, or when the bytes are valid UTF-8,
// as they are; otherwise as GB18030 (what a Chinese Excel saves as plain "CSV").
std::string DecodeCsvBytes(std::string_view bytes);

struct CsvRecord {
  size_t line = 0;  // 1-based line of the file where the record starts
  std::vector<std::string> fields;
};

struct CsvError {
  size_t line = 0;
  std::string message;
};

// Splits UTF-8 text into records. The separator is a comma or a tab: the first of the two met
// outside quotes on the first line. Line breaks inside a quoted field (CR LF, a bare LF as Excel
// writes it, or a bare CR) come out as CR LF. An unclosed quote, or text after a closing quote, is
// an error at the line where its record starts.
std::variant<std::vector<CsvRecord>, CsvError> ParseCsv(std::string_view text);

// One CSV line (without its line break) for the fields: a field holding the separator, a quote, a
// line break or blanks at its ends goes in quotes.
std::string CsvLine(const std::vector<std::string>& fields);

// Excel runs a cell that begins with = + - @ (or a tab or CR) as a formula. Such a field goes out
// with an apostrophe in front, which Excel shows as text. So that reading our own file gives back
// exactly what was written, a field that already begins with apostrophes followed by one of those
// characters gets one apostrophe more, and UnguardFormula takes exactly one away from such fields;
// any other field, an ordinary leading apostrophe included, passes both ways unchanged.
std::string GuardFormula(std::string_view field);
std::string UnguardFormula(std::string_view field);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace jihe::storage
