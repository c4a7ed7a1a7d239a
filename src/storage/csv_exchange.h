#pragma once
// Phrase lists to and from Excel: the columns 分组, 备注, 内容 of a CSV file, one row per entry.
// The command line tool and the group menu both go through here.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "library/library.h"

namespace jihe::storage {

// Lets a reader or writer that runs on a worker show how far it is and be stopped.
struct CsvProgress {
  std::atomic<size_t> done{0};  // of `total`, in the unit of the task (bytes or rows)
  std::atomic<size_t> total{0};
  std::atomic<bool> cancel{false};
};

// The file for every visible group of the strip, in tab order: UTF-8 with a byte-order mark (so
// Excel reads it as UTF-8), a header row, CR LF after each row. Every row comes back exactly from
// ImportCsv: formula characters are guarded, cells that a spreadsheet would retype go in their
// text form, and the remark cell carries the separator itself when the row has one that the
// remark alone would not show (an empty remark, or one that ends in "┃").
std::string ExportCsv(const library::GroupStrip& strip, CsvProgress* progress = nullptr);

struct CsvImportCounts {
  size_t added = 0;
  size_t skipped = 0;  // rows equal to one already in their group
  size_t blank = 0;    // rows of nothing but a group name or blanks
  size_t groupsCreated = 0;
};

struct CsvImportError {
  size_t line = 0;
  std::string message;  // the whole message, with its line number
};

// Everything a file asks to add, read and checked, before any strip is touched.
struct CsvImportPlan {
  std::vector<std::string> groups;  // group cells as the file gives them, in order of first use
  struct Row {
    std::uint32_t group;
    std::string text;
  };
  std::vector<Row> rows;
  size_t blank = 0;
};

// Reads and checks the whole file; touches no library, so it may run on a worker. Rows of a
// command file must be what the quick-command editor would take. A cancelled read gives an error
// at line 0.
std::variant<CsvImportPlan, CsvImportError> ReadCsvImport(std::string fileBytes, library::GroupKind kind,
                                                          CsvProgress* progress = nullptr);

// Rows go to the end of their group, skipping those already there. A group cell matches the
// visible group of exactly its name, else the one group of its trimmed name; without either a
// group of the trimmed name is created.
CsvImportCounts ApplyCsvImport(CsvImportPlan plan, library::GroupStrip& strip);

// Both of the above: a file with a fault leaves the strip as it was.
std::variant<CsvImportCounts, CsvImportError> ImportCsv(std::string fileBytes, library::GroupKind kind,
                                                        library::GroupStrip& strip);

// What the agent or the team lead is told after an import.
std::string ImportSummary(const CsvImportCounts& counts);

}  // namespace jihe::storage
