#include "app/csv_dialogs_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <thread>
#include <variant>

#include "platform/file_system.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::app {

namespace {

constexpr UINT kShowAfterMs = 500;

class ProgressWindow final : public platform::Window {
 public:
  explicit ProgressWindow(storage::CsvProgress& progress) : progress_(progress) {}

  bool Create(HWND owner, std::string_view title) {
    RegisterWindowClass(kCsvProgressClass, nullptr, GetSysColorBrush(COLOR_BTNFACE));
    const UINT dpi = platform::DpiOf(owner);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const SIZE outer = platform::OuterSizeForClient(platform::Scale(320, dpi), platform::Scale(92, dpi), style, 0, false, dpi);
    // In the middle of the owner's monitor work area.
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&ownerRect, MONITOR_DEFAULTTONEAREST), &mi);
    const int x = (mi.rcWork.left + mi.rcWork.right - outer.cx) / 2;
    const int y = (mi.rcWork.top + mi.rcWork.bottom - outer.cy) / 2;
    if (!CreateWindowOf(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kCsvProgressClass, title, style, x, y, outer.cx, outer.cy,
                        owner, nullptr))
      return false;
    font_ = platform::CreateUiFont(dpi);
    bar_ = platform::CreateControl(hwnd(), PROGRESS_CLASSW, "", WS_VISIBLE, 0, kCsvProgressBarId, font_.get());
    HWND cancel = platform::CreateControl(hwnd(), WC_BUTTONW, "取消", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
                                          IDCANCEL, font_.get());
    SetWindowPos(bar_, nullptr, platform::Scale(16, dpi), platform::Scale(16, dpi), platform::Scale(288, dpi),
                 platform::Scale(20, dpi), SWP_NOZORDER);
    SetWindowPos(cancel, nullptr, platform::Scale(232, dpi), platform::Scale(52, dpi), platform::Scale(72, dpi),
                 platform::Scale(26, dpi), SWP_NOZORDER);
    SendMessageW(bar_, PBM_SETRANGE32, 0, 1000);
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    return true;
  }

  void Update() {
    const size_t total = progress_.total, done = progress_.done;
    const int permille = total ? static_cast<int>(static_cast<double>(done) * 1000 / static_cast<double>(total)) : 0;
    SendMessageW(bar_, PBM_SETPOS, permille, 0);
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL) Cancel();
        return 0;
      case WM_CLOSE:  // the caption's close box is a cancel too; the window goes with the work
        Cancel();
        return 0;
      default: return Default(msg, wp, lp);
    }
  }

 private:
  void Cancel() {
    progress_.cancel = true;
    EnableWindow(GetDlgItem(hwnd(), IDCANCEL), FALSE);
  }

  storage::CsvProgress& progress_;
  platform::UniqueFont font_;
  HWND bar_ = nullptr;
};

}  // namespace

std::optional<std::string> AskCsvPath(HWND owner, bool save) {
  std::wstring file(32768, L'\0');
  static const wchar_t filter[] = L"CSV 文件 (*.csv)\0*.csv\0所有文件 (*.*)\0*.*\0";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = L"csv";
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return std::nullopt;
  file.resize(wcslen(file.c_str()));
  return platform::Narrow(file);
}

bool RunWithProgress(HWND owner, std::string_view title, storage::CsvProgress& progress,
                     const std::function<void()>& work) {
  platform::UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  bool threw = false;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {  // nothing may leave a worker; the agent hears of it below
      threw = true;
    }
    SetEvent(done.get());
  });
  // The owner takes no clicks meanwhile: the library must not change under the work.
  const bool wasEnabled = !EnableWindow(owner, FALSE);
  const ULONGLONG start = GetTickCount64();
  ProgressWindow window(progress);
  bool shown = false;
  std::optional<int> quit;
  for (;;) {
    const HANDLE event = done.get();
    if (MsgWaitForMultipleObjects(1, &event, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = static_cast<int>(msg.wParam);  // for the main loop, once the work has ended
        continue;
      }
      if (shown && IsDialogMessageW(window.hwnd(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!shown && GetTickCount64() - start >= kShowAfterMs) shown = window.Create(owner, title);
    if (shown) window.Update();
  }
  worker.join();
  // The owner first, so that it gets the activation when the window goes (with `window`).
  if (wasEnabled) EnableWindow(owner, TRUE);
  if (quit) PostQuitMessage(*quit);
  if (threw) platform::ShowInfoMessage(owner, "文件太大，内存不够用，没有完成。");
  return !threw;
}

// ---- CSV import and export ------------------------------------------------------------------------

void ImportCsv(HWND owner, storage::Store& store, storage::Workspace& ws, library::GroupKind kind,
               const std::function<void()>& imported) {
  const auto path = AskCsvPath(owner, false);
  if (!path) return;
  storage::CsvProgress progress;
  bool unreadable = false;
  std::variant<storage::CsvImportPlan, storage::CsvImportError> read;
  const bool ran = RunWithProgress(owner, "正在导入CSV…", progress, [&] {
    std::optional<std::string> bytes = platform::ReadWholeFile(*path);
    if (!bytes) unreadable = true;
    else read = storage::ReadCsvImport(std::move(*bytes), kind, &progress);
  });
  if (!ran || progress.cancel) return;  // nothing changed
  if (unreadable) return platform::ShowInfoMessage(owner, "无法读取文件：" + *path);
  if (const auto* error = std::get_if<storage::CsvImportError>(&read))
    return platform::ShowInfoMessage(owner, error->message + "\r\n没有导入任何内容。");

  library::GroupStrip& strip = ws.library.strip(kind);
  auto applied = storage::ApplyCsvImport(std::move(std::get<storage::CsvImportPlan>(read)), strip,
                                         [&](const std::vector<std::string>& names) {
                                           return storage::GroupFilesTooLong(store.folder(), kind, names);
                                         });
  if (const auto* error = std::get_if<storage::CsvImportError>(&applied))
    return platform::ShowInfoMessage(owner, error->message + "\r\n没有导入任何内容。");
  const auto& counts = std::get<storage::CsvImportCounts>(applied);
  if (counts.added > 0 || counts.groupsCreated > 0) {
    const storage::SaveReport report = store.SaveAllOrNothing(ws);
    if (report.failures) {
      storage::UndoCsvImport(counts, strip);
      return platform::ShowInfoMessage(owner, report.notUndone ? "数据文件夹写不进去，导入没有完成，部分文件也没能还原。"
                                                                : "数据文件夹写不进去，没有导入任何内容。");
    }
    imported();
  }
  platform::ShowInfoMessage(owner, storage::ImportSummary(counts));
}

void ExportCsv(HWND owner, const library::GroupStrip& page) {
  const auto path = AskCsvPath(owner, true);
  if (!path) return;
  const library::GroupStrip strip = page;
  storage::CsvProgress progress;
  bool written = false;
  const bool ran = RunWithProgress(owner, "正在导出CSV…", progress, [&] {
    const std::string file = storage::ExportCsv(strip, &progress);
    written = !progress.cancel && platform::WriteFileAtomically(*path, file);
  });
  if (!ran || (progress.cancel && !written)) return;
  if (!written) return platform::ShowInfoMessage(owner, "无法写入文件：" + *path);
  size_t rows = 0;
  const std::vector<size_t> groups = strip.VisibleIndices();
  for (size_t index : groups) rows += strip.ListOfGroup(index)->rows().size();
  platform::ShowInfoMessage(owner, "导出完成：" + std::to_string(groups.size()) + " 个分组，" +
                                        std::to_string(rows) + " 条");
}

}  // namespace jihe::app
