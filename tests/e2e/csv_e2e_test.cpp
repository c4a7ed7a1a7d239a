// CSV files and the data tool beside the running program: jihe-data leaves a Data folder that
// jihe.exe holds alone, and the group menu's import runs with its progress bar.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/csv_dialogs_win32.h"
#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "storage/store.h"

namespace jihe::e2e {
namespace {

using platform::Widen;

struct ToolRun {
  DWORD exitCode = 0xFFFF;
  std::string output;  // stdout and stderr together, UTF-8
};

// Runs jihe-data with `args` to its end, its output caught in a file of `folder`.
ToolRun RunDataTool(const TempFolder& folder, const std::wstring& args) {
  static int runs = 0;
  const std::wstring outPath = folder.path() + L"\\tool-output-" + std::to_wstring(++runs) + L".txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  ToolRun run;
  if (out == INVALID_HANDLE_VALUE) return run;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  std::wstring commandLine = L"\"" + DataToolExe() + L"\" " + args;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &run.exitCode);
    else TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  run.output = platform::ReadWholeFile(platform::Narrow(outPath)).value_or("");
  return run;
}

std::vector<std::string> StoredNames(const TempFolder& data) {
  storage::Workspace ws;
  storage::Store{storage::DataFolder(data.Utf8())}.LoadAll(ws);
  std::vector<std::string> names;
  for (const auto& g : ws.library.phrases.slots()) names.push_back(g.name());
  return names;
}

TEST(CsvE2e, TheDataToolWritesNoFolderThatTheProgramHolds) {
  TempFolder root;
  ASSERT_TRUE(platform::CreateDirectories(root.Utf8()));
  TempFolder data;
  const std::string csvPath = root.Utf8(L"新行.csv");
  ASSERT_TRUE(platform::WriteFileAtomically(csvPath, "分组,备注,内容\r\n导入组,备注,内容\r\n"));
  const std::wstring dataArg = L" --data-dir \"" + data.path() + L"\"";

  auto jihe = std::make_unique<Jihe>(data.path());
  ASSERT_NE(jihe->WaitForPanel(), nullptr);
  const std::vector<std::string> before = StoredNames(data);

  const std::string refusal =
      "霁禾客服助手正在使用这个数据文件夹，请先在托盘菜单里“退出软件”，或在软件里用分组菜单的“导入CSV…”";
  // The same folder spelt another way is the same folder: letter case and a final separator, a
  // "\\?\" path, a network path (./dev maps \\teamserver\share to drive C), another drive letter.
  std::wstring upper = data.path();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  const std::wstring onC = data.path().substr(3);
  std::vector<std::wstring> spellings = {upper + L"\\\\",  // two before the quote stand for one
                                         L"\\\\?\\" + data.path(), L"\\\\teamserver\\share\\" + onC,
                                         L"\\\\?\\UNC\\teamserver\\share\\" + onC};
  ASSERT_EQ(data.path().substr(0, 3), L"C:\\");
  wchar_t shortName[MAX_PATH] = {};
  const DWORD shortLength = GetShortPathNameW(data.path().c_str(), shortName, MAX_PATH);
  if (shortLength > 0 && shortLength < MAX_PATH && shortName != data.path()) spellings.push_back(shortName);
  if (const char* prefix = std::getenv("WINEPREFIX")) {
    std::wstring z = L"Z:" + Widen(prefix) + L"\\drive_c\\" + onC;
    std::replace(z.begin(), z.end(), L'/', L'\\');
    spellings.push_back(z);
  }
  std::vector<std::wstring> runs = {L"import \"" + Widen(csvPath) + L"\"" + dataArg};
  for (const std::wstring& spelling : spellings)
    runs.push_back(L"import \"" + Widen(csvPath) + L"\" --data-dir \"" + spelling + L"\"");
  runs.push_back(L"restore \"" + Widen(root.Utf8(L"none.json")) + L"\"" + dataArg);
  for (const std::wstring& args : runs) {
    SCOPED_TRACE(platform::Narrow(args));
    if (args.starts_with(L"restore")) {
      // A well-formed state, so that only the held folder can refuse it.
      const ToolRun dump = RunDataTool(root, L"dump" + dataArg);
      ASSERT_EQ(dump.exitCode, 0u) << dump.output;
      ASSERT_TRUE(platform::WriteFileAtomically(root.Utf8(L"none.json"), dump.output));
    }
    const ToolRun run = RunDataTool(root, args);
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find(refusal), std::string::npos) << run.output;
    EXPECT_EQ(StoredNames(data), before);
  }
  // Reading still works while the program runs.
  const ToolRun exported = RunDataTool(root, L"export \"" + Widen(root.Utf8(L"out.csv")) + L"\"" + dataArg);
  EXPECT_EQ(exported.exitCode, 0u) << exported.output;

  // Once the program has ended, the same import goes in.
  jihe->PostCommand(static_cast<UINT>(app::Command::ExitSoftware));
  ASSERT_TRUE(jihe->WaitForExit(20000));
  jihe.reset();
  const ToolRun after = RunDataTool(root, L"import \"" + Widen(csvPath) + L"\"" + dataArg);
  EXPECT_EQ(after.exitCode, 0u) << after.output;
  EXPECT_NE(after.output.find("添加 1 条"), std::string::npos) << after.output;
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;
  HWND found = nullptr;
};

// A visible top-level window of the process by class.
HWND VisibleTopLevel(DWORD pid, const wchar_t* className) {
  WindowSearch search{pid, className};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<WindowSearch*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->pid || !IsWindowVisible(hwnd) || ClassOf(hwnd) != s->className) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The open-file dialog's file name box (an Edit, alone or inside a combo box).
HWND FileNameBox(HWND dialog) {
  for (int id : {0x47C, 0x480}) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) continue;
    if (ClassOf(item) == L"Edit") return item;
    // Inside a combo box, which may sit inside an extended one.
    HWND edit = nullptr;
    EnumChildWindows(item, [](HWND h, LPARAM lp) -> BOOL {
      if (ClassOf(h) != L"Edit") return TRUE;
      *reinterpret_cast<HWND*>(lp) = h;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&edit));
    if (edit) return edit;
  }
  return nullptr;
}

// The group menu's "导入CSV…" of the page shown, with `file` typed into the dialog.
void ChooseImportFile(const Jihe& jihe, const std::wstring& file) {
  jihe.PostCommand(static_cast<UINT>(app::Command::ImportCsv));
  HWND dialog = nullptr, box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    dialog = VisibleTopLevel(jihe.pid(), L"#32770");
    return dialog && (box = FileNameBox(dialog)) != nullptr;
  }, 20000)) << "no file dialog";
  // A dialog that is still filling its lists (the first one of a new Wine prefix is slow) can
  // overwrite the name or drop the click: type it and click again until the dialog is gone.
  for (int attempt = 0; attempt < 10 && IsWindow(dialog) && IsWindowVisible(dialog); ++attempt) {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 3000);
  }
  ASSERT_FALSE(IsWindow(dialog) && IsWindowVisible(dialog)) << "the file dialog did not take the file";
}

TEST(CsvE2e, AMenuImportShowsItsProgressAndACancelChangesNothing) {
  TempFolder root;
  ASSERT_TRUE(platform::CreateDirectories(root.Utf8()));
  TempFolder data;
  // Big enough to take well over half a second even on an idle machine: 300,000 rows, about
  // 180 MB.
  std::string csv = std::string("\xEF\xBB\xBF") + "分组,备注,内容\r\n";
  csv.reserve(200'000'000);
  const std::string words = "您好亲请问有什么可以帮您的吗我们店铺所有商品均为正品支持七天无理由退换货发货时间一般在下单后";
  for (int i = 0; i < 300000; ++i)
    csv += "大表,备注" + std::to_string(i) + ",这是第" + std::to_string(i) + "行的内容，" + words + words + words + "\r\n";
  const std::string csvPath = root.Utf8(L"大表.csv");
  ASSERT_TRUE(platform::WriteFileAtomically(csvPath, csv));
  csv = {};

  Jihe jihe(data.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);

  // The progress shows with its bar and "取消"; a cancel ends the import and adds nothing.
  ChooseImportFile(jihe, Widen(csvPath));
  HWND progress = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (progress = VisibleTopLevel(jihe.pid(), app::kCsvProgressClass)) != nullptr; }, 30000));
  EXPECT_NE(GetDlgItem(progress, app::kCsvProgressBarId), nullptr);
  HWND cancel = GetDlgItem(progress, IDCANCEL);
  wchar_t caption[16] = {};
  GetWindowTextW(cancel, caption, 16);
  EXPECT_EQ(std::wstring(caption), L"取消");
  EXPECT_FALSE(IsWindowEnabled(panel));  // nothing changes the library meanwhile
  PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 30000));
  EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(panel) != FALSE; }));
  EXPECT_EQ(jihe.MessageBoxWindow(), nullptr);

  // Again, to its end.
  ChooseImportFile(jihe, Widen(csvPath));
  ASSERT_TRUE(WaitFor([&] { return VisibleTopLevel(jihe.pid(), app::kCsvProgressClass) != nullptr; }, 30000));
  ExpectMessage(jihe, "导入完成：添加 300000 条，跳过重复 0 条，新建分组 1 个");
  jihe.PostCommand(static_cast<UINT>(app::Command::ExitSoftware));
  ASSERT_TRUE(jihe.WaitForExit(30000));
  EXPECT_EQ(StoredNames(data), (std::vector<std::string>{"分组1", "大表"}));
}

}  // namespace
}  // namespace jihe::e2e
