#pragma once
// Phrase lists to and from Excel: the columns 分组, 备注, 内容 of a CSV file, one row per entry.
// The command line tool and the group menu both go through here.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
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
  // What UndoCsvImport needs: the number of slots before, and each changed group's row count.
  size_t slotsBefore = 0;
  std::vector<std::pair<size_t, size_t>> rowsBefore;
};

struct CsvImportError {
  size_t line = 0;
  std::string message;  // the whole message, with its line number
};

// Everything a file asks to add, read and checked, before any strip is touched.
struct CsvImportPlan {
  std::vector<std::string> groups;  // group cells as the file gives them, in order of first use
  std::vector<size_t> groupLines;   // the line where each is first used
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
// group of the trimmed name is created. A cell of blanks alone is a name of its own, as it is.
// `tooLong` (see GroupFilesTooLong) is asked about the names of the strip's visible groups with
// the new ones after them; a new group whose file could not be written refuses the whole import
// at its line, before the strip changes.
using GroupNamesCheck = std::function<std::vector<size_t>(const std::vector<std::string>& names)>;
std::variant<CsvImportCounts, CsvImportError> ApplyCsvImport(CsvImportPlan plan, library::GroupStrip& strip,
                                                             const GroupNamesCheck& tooLong = {});

// Takes the rows and groups of an applied import out again (its save failed).
void UndoCsvImport(const CsvImportCounts& counts, library::GroupStrip& strip);

// Both of the above: a file with a fault leaves the strip as it was.
std::variant<CsvImportCounts, CsvImportError> ImportCsv(std::string fileBytes, library::GroupKind kind,
                                                        library::GroupStrip& strip, const GroupNamesCheck& tooLong = {});

// What the agent or the team lead is told after an import.
std::string ImportSummary(const CsvImportCounts& counts);

}  // namespace jihe::storage
