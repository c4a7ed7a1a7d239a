// How fast the Data folder loads and saves with a large library: 100 phrase groups of 1,000 rows.
//
//   build/native/jihe_bench
//
// After the runs it prints two ratios: LoadAll against merely reading and decoding the same group
// files (LoadAll should stay within 3x of that), and a one-row save of the big library against the
// same save of a one-group library (a save after one edit should cost about one file, so within
// 10x however many groups there are).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/file_system.h"
#include "storage/data_folder.h"
#include "storage/gb18030.h"
#include "storage/store.h"
#include "storage/workspace.h"

namespace {

using namespace jihe;
using library::GroupKind;

constexpr int kGroups = 100;
constexpr int kRowsPerGroup = 1000;

// Common characters of customer-service replies, as UTF-8 pieces.
const std::vector<std::string>& ChinesePieces() {
  static const std::vector<std::string> pieces = [] {
    const std::string all =
        "您好亲请问有什么可以帮您的吗我们店铺所有商品均为正品支持七天无理由退换货发货时间一般在下单后"
        "二十四小时内快递默认申通圆通中通韵达如需顺丰请补运费差价谢谢理解感谢光临欢迎下次再来祝您生活"
        "愉快客服工作时间早上九点到晚上十点节假日正常营业优惠活动满减包邮赠品数量有限先到先得尺码颜色"
        "库存质量问题售后保障退款申请已经处理请耐心等待物流信息查询单号地址修改电话联系方式";
    std::vector<std::string> out;
    for (size_t i = 0; i < all.size(); i += 3) out.push_back(all.substr(i, 3));  // all three-byte
    return out;
  }();
  return pieces;
}

const std::vector<std::string> kAsciiPieces = {"OK", "VIP", "2024", "http://shop.example.com/item?id=", "QQ",
                                               "ID:", "100%", "A-12", " ", "5kg", "iPhone", "x2"};
const std::vector<std::string> kPunctuation = {"，", "。", "！", "？", "：", "（", "）", "、", "~"};

// About 100 characters: mostly Chinese, some ASCII and punctuation; about one row in ten holds
// line breaks, about one in five has a remark before "┃", a few carry a character beyond GBK.
std::string MakeRow(std::mt19937& rng) {
  const auto& chinese = ChinesePieces();
  auto pick = [&rng](const std::vector<std::string>& from) -> const std::string& {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
  };
  auto chance = [&rng](int oneIn) { return std::uniform_int_distribution<int>(0, oneIn - 1)(rng) == 0; };

  std::string row;
  int chars = 0;
  if (chance(5)) {
    row += "备注";
    row += pick(chinese);
    row += pick(chinese);
    row += library::kRemarkSeparator;
    chars += 5;
  }
  const int target = std::uniform_int_distribution<int>(80, 120)(rng);
  bool multiLine = chance(10);
  while (chars < target) {
    if (multiLine && chars >= target / 2) {
      row += "\r\n";
      chars += 2;
      multiLine = false;
    }
    const int roll = std::uniform_int_distribution<int>(0, 99)(rng);
    if (roll < 80) {
      row += pick(chinese);
      ++chars;
    } else if (roll < 90) {
      row += pick(kPunctuation);
      ++chars;
    } else if (roll < 98) {
      const std::string& ascii = pick(kAsciiPieces);
      row += ascii;
      chars += static_cast<int>(ascii.size());
    } else {
      row += chance(20) ? "😀" : pick(chinese);
      ++chars;
    }
  }
  return row;
}

// Deterministic: the same library in every run.
std::unique_ptr<storage::Workspace> MakeWorkspace(int groups) {
  std::mt19937 rng(20240611);
  auto ws = std::make_unique<storage::Workspace>();
  auto& slots = ws->library.phrases.slots();
  slots.clear();
  for (int g = 0; g < groups; ++g) {
    std::vector<std::string> rows;
    rows.reserve(kRowsPerGroup);
    for (int r = 0; r < kRowsPerGroup; ++r) rows.push_back(MakeRow(rng));
    slots.emplace_back("分组" + std::to_string(g + 1), std::move(rows));
  }
  ws->geometry = storage::PanelGeometry{600, 320, 100, 80};
  return ws;
}

// One temporary folder for the whole process, removed when the process ends.
class BenchFolders {
 public:
  static BenchFolders& Get() {
    static BenchFolders folders;
    return folders;
  }

  // The big library saved once, for the load benchmarks.
  const std::string& LoadFolder() {
    if (loadFolder_.empty()) {
      loadFolder_ = root_ + "/load";
      storage::DataFolder folder(loadFolder_);
      if (!folder.EnsureFolders()) std::fprintf(stderr, "cannot create %s\n", loadFolder_.c_str());
      storage::Store store{folder};
      const storage::SaveReport report = store.SaveAll(BigWorkspace());
      if (report.failures) std::fprintf(stderr, "%d files could not be written\n", report.failures);
      for (const std::string& stem : GroupStems(BigWorkspace())) {
        groupFiles_.push_back(folder.GroupFile(GroupKind::Phrase, stem));
        if (auto stamp = platform::StampOf(groupFiles_.back())) groupBytes_ += static_cast<int64_t>(stamp->size);
      }
    }
    return loadFolder_;
  }
  const std::vector<std::string>& GroupFiles() {
    LoadFolder();
    return groupFiles_;
  }
  int64_t GroupBytes() {
    LoadFolder();
    return groupBytes_;
  }

  storage::Workspace& BigWorkspace() {
    if (!big_) big_ = MakeWorkspace(kGroups);
    return *big_;
  }

  std::string NewFolder(const std::string& name) {
    const std::string path = root_ + "/" + name + std::to_string(++folderCount_);
    storage::DataFolder(path).EnsureFolders();
    return path;
  }

  ~BenchFolders() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

 private:
  BenchFolders() {
    std::string pattern = (std::filesystem::temp_directory_path() / "jihe_bench_XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (!made) {
      std::perror("jihe_bench: mkdtemp");
      std::exit(1);
    }
    root_ = made;
  }

  static std::vector<std::string> GroupStems(const storage::Workspace& ws) {
    std::vector<std::string> names;
    for (const auto& group : ws.library.phrases.slots()) names.push_back(group.name());
    return storage::GroupFileStems(names);
  }

  std::string root_;
  std::string loadFolder_;
  std::vector<std::string> groupFiles_;
  int64_t groupBytes_ = 0;
  std::unique_ptr<storage::Workspace> big_;
  int folderCount_ = 0;
};

void BM_LoadAll(benchmark::State& state) {
  BenchFolders& folders = BenchFolders::Get();
  storage::Store store{storage::DataFolder(folders.LoadFolder())};
  size_t rows = 0;
  for (auto _ : state) {
    auto ws = std::make_unique<storage::Workspace>();
    store.LoadAll(*ws);
    rows = 0;
    for (const auto& group : ws->library.phrases.slots()) rows += group.rows().size();
    benchmark::DoNotOptimize(rows);
    // Freeing 100,000 rows is the caller's business, not the load's.
    state.PauseTiming();
    ws.reset();
    state.ResumeTiming();
  }
  if (rows != size_t{kGroups} * kRowsPerGroup) state.SkipWithError("the library did not load whole");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(rows));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * folders.GroupBytes());
}

// The least a load has to do: read every group file and decode it.
void BM_ReadAndDecode(benchmark::State& state) {
  BenchFolders& folders = BenchFolders::Get();
  const std::vector<std::string>& files = folders.GroupFiles();
  for (auto _ : state) {
    size_t chars = 0;
    for (const std::string& path : files) {
      std::optional<std::string> bytes = platform::ReadWholeFile(path);
      if (!bytes) {
        state.SkipWithError("a group file is missing");
        break;
      }
      const std::string text = storage::DecodeGb18030(*bytes);
      chars += text.size();
    }
    benchmark::DoNotOptimize(chars);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kGroups * kRowsPerGroup);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * folders.GroupBytes());
}

// One edit, then a save: the Store has seen every file already, so only the edited group should
// be written again (plus the two INI files, which are read and compared).
void SaveOneRowChange(benchmark::State& state, int groups) {
  BenchFolders& folders = BenchFolders::Get();
  std::unique_ptr<storage::Workspace> small;
  if (groups != kGroups) small = MakeWorkspace(groups);
  storage::Workspace& ws = small ? *small : folders.BigWorkspace();
  storage::Store store{storage::DataFolder(folders.NewFolder("save"))};
  if (store.SaveAll(ws).failures) state.SkipWithError("the first save failed");

  std::mt19937 rng(7);
  int written = 0;
  for (auto _ : state) {
    auto& slots = ws.library.phrases.slots();
    const size_t g = std::uniform_int_distribution<size_t>(0, slots.size() - 1)(rng);
    const size_t r = std::uniform_int_distribution<size_t>(0, kRowsPerGroup - 1)(rng);
    std::string& row = slots[g].MutableRows()[r];
    if (!row.empty() && row.back() == '!') row.pop_back();
    else row.push_back('!');
    const storage::SaveReport report = store.SaveAll(ws);
    written += report.filesWritten;
    if (report.failures) {
      state.SkipWithError("a save failed");
      break;
    }
  }
  state.counters["files/save"] = benchmark::Counter(written, benchmark::Counter::kAvgIterations);
}

void BM_SaveAll_OneRowChange_Big(benchmark::State& state) { SaveOneRowChange(state, kGroups); }
void BM_SaveAll_OneRowChange_Small(benchmark::State& state) { SaveOneRowChange(state, 1); }

// Every group file written again, as the first save into an empty Data folder does.
void BM_SaveAll_Full(benchmark::State& state) {
  BenchFolders& folders = BenchFolders::Get();
  const storage::Workspace& ws = folders.BigWorkspace();
  const std::string path = folders.NewFolder("full");
  int written = 0;
  for (auto _ : state) {
    storage::Store store{storage::DataFolder(path)};  // knows nothing, so it writes everything
    const storage::SaveReport report = store.SaveAll(ws);
    written += report.filesWritten;
    if (report.failures) {
      state.SkipWithError("a save failed");
      break;
    }
  }
  state.counters["files/save"] = benchmark::Counter(written, benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * folders.GroupBytes());
}

// Wall-clock time throughout: a save waits for the disk, and that wait is its cost.
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_ReadAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SaveAll_OneRowChange_Big)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SaveAll_OneRowChange_Small)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SaveAll_Full)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Prints as the console reporter does and keeps each benchmark's seconds per iteration.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so a saved log stays plain text.
  RecordingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
        secondsPerIteration[run.run_name.function_name] =
            run.real_accumulated_time / static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> secondsPerIteration;
};

// A target of 0 prints the ratio alone.
void PrintRatio(const RecordingReporter& reporter, const char* label, const char* top, const char* bottom,
                double target) {
  const auto a = reporter.secondsPerIteration.find(top);
  const auto b = reporter.secondsPerIteration.find(bottom);
  if (a == reporter.secondsPerIteration.end() || b == reporter.secondsPerIteration.end() || b->second <= 0) return;
  const double ratio = a->second / b->second;
  if (target <= 0) std::printf("%s = %.2f\n", label, ratio);
  else std::printf("%s = %.2f (target <= %g)%s\n", label, ratio, target, ratio <= target ? "" : "  MISSED");
}

}  // namespace

int CsvBenchMain(int argc, char** argv);  // csv_bench.cpp

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]).starts_with("--csv")) return CsvBenchMain(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& seconds = reporter.secondsPerIteration;
  if (auto it = seconds.find("BM_LoadAll"); it != seconds.end()) {
    const double mb = static_cast<double>(BenchFolders::Get().GroupBytes()) / 1e6;
    std::printf("\nLoadAll: %d groups x %d rows, %.1f MB on disk: %.0f rows/s, %.1f MB/s\n", kGroups, kRowsPerGroup,
                mb, kGroups * kRowsPerGroup / it->second, mb / it->second);
  }
  PrintRatio(reporter, "LoadAll / read+decode", "BM_LoadAll", "BM_ReadAndDecode", 3);
  PrintRatio(reporter, "SaveAll one row, big / small", "BM_SaveAll_OneRowChange_Big",
             "BM_SaveAll_OneRowChange_Small", 10);
  PrintRatio(reporter, "SaveAll full / one row (big)", "BM_SaveAll_Full", "BM_SaveAll_OneRowChange_Big", 0);
  std::fflush(stdout);
  return 0;
}
