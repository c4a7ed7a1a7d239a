#pragma once
// The group menu's CSV import and export as the agent meets them: the file dialog, and the work
// on a worker thread with a progress bar, so that a big file never freezes the panel.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "storage/csv_exchange.h"
#include "storage/store.h"
#include "storage/workspace.h"

namespace jihe::app {

inline constexpr int kCsvProgressBarId = 1;
inline constexpr wchar_t kCsvProgressClass[] = L"JiheCsvProgress";

// The file to read (or, with `save`, to write); nothing when the agent cancelled.
std::optional<std::string> AskCsvPath(HWND owner, bool save);

// Runs `work` on a worker thread while this thread keeps its messages going and the owner takes
// no input. Once it has run half a second, a window titled `title` shows the progress with
// "取消", which sets progress.cancel. Returns when `work` has ended: false when it threw (a file
// too big for the memory left), which this thread then tells the agent.
bool RunWithProgress(HWND owner, std::string_view title, storage::CsvProgress& progress,
                     const std::function<void()>& work);

// The group menu's "导入CSV…": rows of a chosen file go into the agent's own groups of `kind`, by
// the file's group names, read and checked on a worker and put in only when they are on disk
// whole; `imported` runs once they are, before the summary is shown.
void ImportCsv(HWND owner, storage::Store& store, storage::Workspace& ws, library::GroupKind kind,
               const std::function<void()>& imported);
// "导出CSV…": the page's groups into a chosen file, written from a copy on a worker.
void ExportCsv(HWND owner, const library::GroupStrip& strip);

}  // namespace jihe::app
