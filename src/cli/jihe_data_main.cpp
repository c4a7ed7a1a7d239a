// jihe-data: reads and writes a Data folder with the program's own load and save code.
//   jihe-data dump [--data-dir DIR]
//   jihe-data restore FILE.json [--data-dir DIR]
//   jihe-data export FILE.csv [--commands] [--data-dir DIR]
//   jihe-data import FILE.csv [--commands] [--data-dir DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "cli/json.h"
#include "cli/state_json.h"
#include "platform/file_system.h"
#include "storage/csv_exchange.h"
#include "storage/data_folder.h"
#include "storage/store.h"
#include "storage/team_library.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/utf16.h"
#endif

namespace {

using namespace jihe;

constexpr char kUsage[] =
    "usage: jihe-data dump [--data-dir DIR]\n"
    "       jihe-data restore FILE.json [--data-dir DIR]\n"
    "       jihe-data export FILE.csv [--commands] [--data-dir DIR]\n"
    "       jihe-data import FILE.csv [--commands] [--data-dir DIR]\n";

constexpr char kFolderInUse[] =
    "霁禾客服助手正在使用这个数据文件夹，请先在托盘菜单里“退出软件”，或在软件里用分组菜单的“导入CSV…”";

void Error(const std::string& message) { std::fprintf(stderr, "jihe-data: %s\n", message.c_str()); }

struct Args {
  std::string command;
  std::vector<std::string> positional;
  std::string dataDir;
  bool commands = false;  // the command groups instead of the phrase groups
};

bool ParseArgs(const std::vector<std::string>& argv, Args& args) {
  for (size_t i = 1; i < argv.size(); ++i) {
    if (argv[i] == "--data-dir") {
      if (i + 1 >= argv.size()) return false;
      args.dataDir = argv[++i];
    } else if (argv[i].starts_with("--data-dir=")) {
      args.dataDir = argv[i].substr(11);
    } else if (argv[i] == "--commands") {
      args.commands = true;
    } else if (args.command.empty()) {
      args.command = argv[i];
    } else {
      args.positional.push_back(argv[i]);
    }
  }
  if (args.dataDir.empty()) args.dataDir = storage::DefaultDataFolder();
  return !args.command.empty();
}

// A folder that exists must be one we can read; one that does not exist yet is a new
// installation and loads as the design state.
bool CheckReadable(const std::string& dir) {
  const bool exists = platform::DirectoryExists(dir) || platform::FileExists(dir);
  if (exists && (!platform::DirectoryExists(dir) || !platform::CanListDirectory(dir))) {
    Error("cannot read the Data folder " + dir);
    return false;
  }
  return true;
}

std::optional<std::string> ReadJsonFile(const std::string& path, storage::Workspace& ws) {
  auto text = platform::ReadWholeFile(path);
  if (!text) return "cannot read " + path;
  auto parsed = cli::ParseJson(*text);
  if (auto* err = std::get_if<cli::JsonError>(&parsed))
    return path + ": malformed JSON at byte " + std::to_string(err->offset) + ": " + err->message;
  if (auto problem = cli::WorkspaceFromJson(std::get<cli::Json>(parsed), ws)) return path + ": " + *problem;
  return std::nullopt;
}

int Dump(const Args& args) {
  if (!args.positional.empty()) return Error(kUsage), 2;
  if (!CheckReadable(args.dataDir)) return 1;
  storage::Store store{storage::DataFolder(args.dataDir)};
  storage::Workspace ws;
  store.LoadSettings(ws.options);
  store.LoadAll(ws);
  const std::string out = cli::WorkspaceToJson(ws) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Restore(const Args& args) {
  if (args.positional.size() != 1) return Error(kUsage), 2;
  storage::Workspace ws;
  if (auto problem = ReadJsonFile(args.positional[0], ws)) {
    Error(*problem + " (nothing was written)");
    return 1;
  }
  storage::DataFolder folder(args.dataDir);
  if (!CheckReadable(args.dataDir)) return 1;
  const auto hold = folder.Hold(0);
  if (!hold) return Error(kFolderInUse), 1;
  if (!folder.EnsureFolders()) {
    Error("cannot create the Data folder " + folder.root());
    return 1;
  }
  storage::Store store{folder};
  const storage::SaveReport report = store.SaveAll(ws);
  const bool settingsSaved = store.SaveSettings(ws.options);
  if (report.settingsKept) {
    Error(folder.ConfigIni() + " is there but could not be read; it was left as it was, without the settings");
    return 1;
  }
  if (report.failures || !settingsSaved) {
    Error("could not write " + std::to_string(report.failures + (settingsSaved ? 0 : 1)) + " file(s) in " +
          folder.root());
    return 1;
  }
  return 0;
}

library::GroupKind KindOf(const Args& args) {
  return args.commands ? library::GroupKind::Command : library::GroupKind::Phrase;
}

int Export(const Args& args) {
  if (args.positional.size() != 1) return Error(kUsage), 2;
  if (!CheckReadable(args.dataDir)) return 1;
  storage::Store store{storage::DataFolder(args.dataDir)};
  storage::Workspace ws;
  store.LoadAll(ws);
  const library::GroupStrip& strip = ws.library.strip(KindOf(args));
  if (!platform::WriteFileAtomically(args.positional[0], storage::ExportCsv(strip))) {
    Error("cannot write " + args.positional[0]);
    return 1;
  }
  size_t rows = 0;
  for (size_t index : strip.VisibleIndices()) rows += strip.ListOfGroup(index)->rows().size();
  std::fprintf(stdout, "exported %zu row(s) of %zu group(s)\n", rows, strip.VisibleIndices().size());
  return 0;
}

int Import(const Args& args) {
  if (args.positional.size() != 1) return Error(kUsage), 2;
  const std::string& path = args.positional[0];
  std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return Error("cannot read " + path), 1;
  storage::DataFolder folder(args.dataDir);
  if (!CheckReadable(args.dataDir)) return 1;
  // Held from the load to the save: the panel's next save would write back what it holds.
  const auto hold = folder.Hold(0);
  if (!hold) return Error(kFolderInUse), 1;
  storage::Store store{folder};
  storage::Workspace ws;
  store.LoadAll(ws);
  const library::GroupKind kind = KindOf(args);
  auto result = storage::ImportCsv(std::move(*bytes), kind, ws.library.strip(kind), [&](const std::vector<std::string>& names) {
    return storage::GroupFilesTooLong(folder, kind, names);
  });
  if (auto* error = std::get_if<storage::CsvImportError>(&result)) {
    Error(path + ": " + error->message + " (nothing was imported)");
    return 1;
  }
  const auto& counts = std::get<storage::CsvImportCounts>(result);
  if (counts.added > 0) {
    if (!folder.EnsureFolders()) return Error("cannot create the Data folder " + folder.root()), 1;
    const storage::SaveReport report = store.SaveAllOrNothing(ws);
    if (report.failures) {
      Error("could not write " + std::to_string(report.failures) + " file(s) in " + folder.root() +
            (report.notUndone ? "; some files it had written could not be put back, so the folder holds part of the import"
                              : "; the folder was left as it was (nothing was imported)"));
      return 1;
    }
  }
  const std::string summary = storage::ImportSummary(counts) + "\n";
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  return 0;
}

// For the save-interruption test: saves two states in turn until the process is killed.
int SaveLoop(const Args& args) {
  if (args.positional.size() != 2) return Error("usage: jihe-data save-loop A.json B.json --data-dir DIR"), 2;
  storage::Workspace a, b;
  for (auto [path, ws] : {std::pair{args.positional[0], &a}, std::pair{args.positional[1], &b}}) {
    if (auto problem = ReadJsonFile(path, *ws)) return Error(*problem), 1;
  }
  storage::Store store{storage::DataFolder(args.dataDir)};
  for (unsigned long round = 0;; ++round) {
    store.SaveAll(a);
    store.SaveAll(b);
    if (round == 0) std::fprintf(stdout, "saving\n"), std::fflush(stdout);
  }
}

// ---- the team folder under load: one writer, many readers -------------------------------------

// A fingerprint of the groups of both kinds, equal for equal libraries.
std::string LibraryDigest(const library::Library& lib) {
  std::uint64_t h = 14695981039346656037ull;
  auto mix = [&h](std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    h = (h ^ 0xFF) * 1099511628211ull;
  };
  for (library::GroupKind kind : {library::GroupKind::Phrase, library::GroupKind::Command}) {
    const library::GroupStrip& strip = lib.strip(kind);
    mix(kind == library::GroupKind::Phrase ? "phrases" : "commands");
    for (size_t index : strip.VisibleIndices()) {
      mix(strip.ListOfGroup(index)->name());
      for (const std::string& row : strip.ListOfGroup(index)->rows()) mix(row);
      mix("end of group");
    }
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

// State `round` of the writer: every group changes in every round, and the number of groups
// changes too, so a reader that mixed files of two saves would not match any state.
library::Library TeamState(int round) {
  library::Library lib;
  const int groups = 3 + round % 3;
  for (int g = 0; g < groups; ++g) {
    std::vector<std::string> rows;
    const int count = 5 + (round * 7 + g) % 11;
    for (int r = 0; r < count; ++r)
      rows.push_back("第" + std::to_string(round) + "版┃组" + std::to_string(g) + "第" + std::to_string(r) +
                     "行\r\n[img=pic" + std::to_string(r % 3) + ".pngimg]");
    lib.phrases.slots().emplace_back("组" + std::to_string(g), std::move(rows));
  }
  lib.commands.slots().emplace_back("链接", std::vector<std::string>{"官网┃https://example.com/" + std::to_string(round)});
  return lib;
}

// Saves the states 0 .. N-1 in turn and prints the fingerprint of each after its save.
int TeamWriteLoop(const Args& args) {
  if (args.positional.size() != 1) return Error("usage: jihe-data team-write-loop N --data-dir DIR"), 2;
  const int rounds = std::atoi(args.positional[0].c_str());
  storage::DataFolder folder(args.dataDir);
  if (!folder.EnsureFolders()) return Error("cannot create " + folder.root()), 1;
  storage::Store store{folder};
  for (int round = 0; round < rounds; ++round) {
    storage::Workspace ws;
    ws.library = TeamState(round);
    if (store.SaveAll(ws).failures) return Error("a save failed"), 1;
    std::fprintf(stdout, "saved %s\n", LibraryDigest(ws.library).c_str());
    std::fflush(stdout);
  }
  return 0;
}

// Checks the team folder as the panel's worker does, as fast as it can, until STOPFILE exists;
// prints the fingerprint of every load, then of what it ended with.
int TeamReadLoop(const Args& args) {
  if (args.positional.size() != 2) return Error("usage: jihe-data team-read-loop TEAMDIR STOPFILE --data-dir DIR"), 2;
  storage::TeamLibrary team(args.positional[0], storage::DataFolder(args.dataDir));
  std::string current = "none";
  int incomplete = 0;
  for (bool last = false; !last;) {
    last = platform::FileExists(args.positional[1]);
    const storage::TeamCheck check = team.Check();
    if (check.status == storage::TeamCheckStatus::Incomplete) ++incomplete;
    if (check.content) {
      current = LibraryDigest(check.content->library);
      std::fprintf(stdout, "loaded %s\n", current.c_str());
    }
    if (!last) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::fprintf(stdout, "final %s\nincomplete %d\n", current.c_str(), incomplete);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Run(const std::vector<std::string>& argv) {
  Args args;
  if (!ParseArgs(argv, args)) return std::fputs(kUsage, stderr), 2;
  if (args.command == "dump") return Dump(args);
  if (args.command == "restore") return Restore(args);
  if (args.command == "export") return Export(args);
  if (args.command == "import") return Import(args);
  if (args.command == "save-loop") return SaveLoop(args);
  if (args.command == "team-write-loop") return TeamWriteLoop(args);
  if (args.command == "team-read-loop") return TeamReadLoop(args);
  Error("unknown command " + args.command);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(jihe::platform::Narrow(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv, argv + argc)); }
#endif
