#pragma once
// Phrase lists to and from Excel: the columns 分组, 备注, 内容 of a CSV file, one row per entry.
// The command line tool and the group menu both go through here.
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "library/library.h"

namespace jihe::storage {

// The file for every visible group of the strip, in tab order: UTF-8 with a byte-order mark (so
// Excel reads it as UTF-8), a header row, CR LF after each row, formula characters guarded.
std::string ExportCsv(const library::GroupStrip& strip);

struct CsvImportCounts {
  size_t added = 0;
  size_t skipped = 0;  // rows equal to one already in their group
  size_t groupsCreated = 0;
};

struct CsvImportError {
  size_t line = 0;
  std::string message;  // the whole message, with its line number
};

// Reads the whole file before it changes anything: a file with a fault leaves the strip as it was.
// Rows go to the end of the visible group of their name, which is created when there is none.
std::variant<CsvImportCounts, CsvImportError> ImportCsv(std::string_view fileBytes, library::GroupStrip& strip);

// What the agent or the team lead is told after an import.
std::string ImportSummary(const CsvImportCounts& counts);

}  // namespace jihe::storage
