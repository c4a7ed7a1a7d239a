#pragma once
// Comma-separated files as Excel reads and writes them: fields in double quotes may hold the
// separator, quotes (doubled) and line breaks; a file may begin with a UTF-8 byte-order mark.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jihe::storage {

struct CsvError {
  size_t line = 0;
  std::string message;
};

// The text of a file as UTF-8. After a UTF-16 byte-order mark (Excel's "Unicode 文本", either
// byte order) it is decoded from UTF-16; after a UTF-8 one it must be UTF-8, or the first line
// that is not is an error (a tool that put the mark before GBK bytes); the UTF-8 form of a byte
// the Data folder kept (see gb18030.h), as our own export writes it, reads back as that byte.
// Without a mark, bytes that are valid UTF-8 are taken as they are, and anything else as GB18030
// (what a Chinese Excel saves as plain "CSV"), where a byte that is no character is an error at
// its line. Takes the bytes by value so that a UTF-8 file is not copied.
std::variant<std::string, CsvError> DecodeCsvBytes(std::string bytes);

struct CsvRecord {
  size_t line = 0;  // 1-based line of the file where the record starts
  size_t end = 0;   // offset in the text just past the record
  std::vector<std::string> fields;
};

// Calls `onRecord` for each record in turn, as ParseCsv splits them; the record may be taken
// apart by the callee. Stops at the first error and returns it; returning false from
// `onRecord` stops early too.
std::optional<CsvError> ForEachCsvRecord(std::string_view text, const std::function<bool(CsvRecord&)>& onRecord);

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

// A spreadsheet retypes cells that look like numbers, dates or times, and saves what it shows:
// 02112345678 loses its zero, 6222021234567890123 becomes 6.22202123456789E+018, 1,234 becomes
// 1234. Such a cell goes out as the formula ="02112345678", which Excel and LibreOffice show and
// save as the text itself; UnguardText takes that form away again. (Only cells that hold no "="
// at their start can need it, so the formula guard and this form never meet.)
bool NeedsTextForm(std::string_view field);
std::string TextForm(std::string_view field);
// The text of a cell in the form ="..." (quotes inside doubled); nothing for any other cell.
std::optional<std::string> TextOfTextForm(std::string_view field);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace jihe::storage
