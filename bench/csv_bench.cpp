// CSV import and export of a big file, as a team lead's spreadsheet gives it: 500,000 rows in
// 50 groups, about 100 MB. Run by `jihe_bench --csv` (./dev bench does): the export is timed in
// this process, the import in a process of its own, so that its peak memory is its own.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <variant>

#include "platform/file_system.h"
#include "storage/csv_exchange.h"

namespace {

using namespace jihe;
using Clock = std::chrono::steady_clock;

constexpr int kGroups = 50;
constexpr int kRowsPerGroup = 10000;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux gives kilobytes
}

// Rows of about 200 bytes: Chinese text with punctuation, a remark on one in three, a line break
// on one in ten, and now and then a cell that a spreadsheet would retype.
library::GroupStrip MakeStrip() {
  static const std::string kText =
      "您好亲请问有什么可以帮您的吗我们店铺所有商品均为正品支持七天无理由退换货发货时间一般在下单后"
      "二十四小时内快递默认申通圆通中通韵达如需顺丰请补运费差价谢谢理解感谢光临欢迎下次再来祝您生活";
  std::mt19937 rng(17);
  library::GroupStrip strip;
  for (int g = 0; g < kGroups; ++g) {
    std::vector<std::string> rows;
    rows.reserve(kRowsPerGroup);
    for (int r = 0; r < kRowsPerGroup; ++r) {
      std::string row;
      if (rng() % 3 == 0) row += "备注" + std::to_string(r) + "┃";
      if (rng() % 50 == 0) {
        row += "0" + std::to_string(rng());
      } else {
        const size_t from = rng() % (kText.size() / 3 - 60) * 3;
        row += kText.substr(from, 60 * 3);
        if (rng() % 10 == 0) row += "\r\n第二行，\"引号\"，逗号";
        row += std::to_string(g * kRowsPerGroup + r);
      }
      rows.push_back(std::move(row));
    }
    strip.slots().emplace_back("分组" + std::to_string(g), std::move(rows));
  }
  return strip;
}

int ImportChild(const std::string& path) {
  const auto start = Clock::now();
  std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return std::fprintf(stderr, "cannot read %s\n", path.c_str()), 1;
  const double megabytes = static_cast<double>(bytes->size()) / 1e6;
  library::GroupStrip strip;
  auto result = storage::ImportCsv(std::move(*bytes), library::GroupKind::Phrase, strip);
  const double seconds = SecondsSince(start);
  if (auto* error = std::get_if<storage::CsvImportError>(&result))
    return std::fprintf(stderr, "import refused: %s\n", error->message.c_str()), 1;
  const double peak = PeakMegabytes();
  std::printf("CSV import: %zu rows, %.1f MB in %.2f s (target < 5 s), peak memory %.0f MB (target < 300 MB)%s\n",
              std::get<storage::CsvImportCounts>(result).added, megabytes, seconds, peak,
              seconds < 5 && peak < 300 ? "" : "  MISSED");
  return 0;
}

}  // namespace

// `jihe_bench --csv`, and the import process it starts (`--csv-import FILE`).
int CsvBenchMain(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--csv-import") return ImportChild(argv[2]);
  const std::string path = "/tmp/jihe-bench-" + std::to_string(getpid()) + ".csv";
  {
    const library::GroupStrip strip = MakeStrip();
    const auto start = Clock::now();
    const std::string file = storage::ExportCsv(strip);
    const double seconds = SecondsSince(start);
    std::printf("CSV export: %d rows, %.1f MB in %.2f s (target < 2 s)%s\n", kGroups * kRowsPerGroup,
                static_cast<double>(file.size()) / 1e6, seconds, seconds < 2 ? "" : "  MISSED");
    if (!platform::WriteFileAtomically(path, file)) return std::fprintf(stderr, "cannot write %s\n", path.c_str()), 1;
  }
  std::fflush(stdout);
  const int status = std::system((std::string("'") + argv[0] + "' --csv-import '" + path + "'").c_str());
  platform::RemoveFile(path);
  return status == 0 ? 0 : 1;
}
