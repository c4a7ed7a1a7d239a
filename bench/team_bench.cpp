// What the team library costs the file share, counted as a file server counts it (one request per
// stamp, open or directory listing, and the bytes read), for the two folders a team meets:
// 20 groups of 50 rows with 40 pictures of 1 MB, and 10,000 groups of 10 rows.
//
//   build/native/jihe_bench --benchmark_filter=TeamShare
//
// It prints, for each, the requests of a quiet check (target: at most 2), the bytes read when one
// row of one group changes (target: under 2 MB) and when one picture is replaced, the first load's
// time (target for 10,000 groups: under 2 s on local disk), and what 200 agents checking every
// 10 s cost the server.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/file_access.h"
#include "storage/data_folder.h"
#include "storage/gb18030.h"
#include "storage/group_file.h"
#include "storage/store.h"
#include "storage/team_library.h"

namespace {

using namespace jihe;
using library::GroupKind;

constexpr int kAgents = 200;
constexpr double kPeriodSeconds = 10;

std::string Row(int group, int row, int round, int pictures) {
  std::string text = "备注" + std::to_string(row) + "┃亲，您好！第" + std::to_string(group) + "组第" + std::to_string(row) +
                     "条回复，版本" + std::to_string(round) + "。我们店铺所有商品均为正品，支持七天无理由退换货。";
  if (pictures > 0) text += "[img=图" + std::to_string((group * 50 + row) % pictures) + ".pngimg]";
  return text;
}

// Writes the team folder as the lead's save does: the group files, then conf.ini with their check
// values. Only the groups in `changed` are written again (all of them when it is empty).
void SaveTeamFolder(const storage::DataFolder& team, int groups, int rows, int pictures, int round,
                    const std::vector<int>& changed) {
  std::string conf = "[主面板]\r\n短语子夹数=" + std::to_string(groups) + "\r\n快捷子夹数=0\r\n[短语子夹名]\r\n";
  std::string checks = "[短语子夹校验]\r\n";
  for (int g = 0; g < groups; ++g) {
    std::vector<std::string> lines;
    for (int r = 0; r < rows; ++r) lines.push_back(Row(g, r, g == 0 ? round : 0, pictures));
    const std::string bytes = storage::SerializeGroupFile(lines);
    const std::string name = "分组" + std::to_string(g);
    if (changed.empty() || std::find(changed.begin(), changed.end(), g) != changed.end())
      platform::ReplaceFileUnflushed(team.GroupFile(GroupKind::Phrase, name), bytes);
    conf += std::to_string(g) + "=" + name + "\r\n";
    checks += std::to_string(g) + "=" + storage::GroupFileCheck(bytes) + "\r\n";
  }
  platform::WriteFileAtomically(team.ConfIni(), storage::EncodeGb18030(conf + checks));
}

void Picture(const storage::DataFolder& team, int n, int version) {
  std::string bytes(1 << 20, '\0');
  std::mt19937 rng(static_cast<unsigned>(n * 1000 + version));
  for (char& c : bytes) c = static_cast<char>(rng());
  const std::string path = team.ImgFolder() + "图" + std::to_string(n) + ".png";
  platform::ReplaceFileUnflushed(path, bytes);
  // A new copy under the old name, with its own time, as the lead's Explorer gives it.
  const auto p = std::filesystem::path(std::u8string(path.begin(), path.end()));
  std::filesystem::last_write_time(p, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(version));
}

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

void Measure(const char* label, int groups, int rows, int pictures) {
  const std::string root = std::filesystem::temp_directory_path().string() + "/jihe-team-bench-" + std::to_string(getpid());
  const storage::DataFolder team(root + "/share/团队短语"), own(root + "/agent");
  team.EnsureFolders();
  own.EnsureFolders();
  for (int p = 0; p < pictures; ++p) Picture(team, p, 0);
  SaveTeamFolder(team, groups, rows, pictures, 0, {});

  auto share = std::make_shared<platform::CountingFileAccess>(platform::SystemFileAccess());
  storage::TeamLibrary lib(team.root(), own, share);
  const auto start = std::chrono::steady_clock::now();
  const storage::TeamCheck first = lib.Check();
  const double firstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const auto firstCounts = share->counts();
  lib.Check();  // the read after a load

  share->Reset();
  const storage::TeamCheck quiet = lib.Check();
  const auto quietCounts = share->counts();

  SaveTeamFolder(team, groups, rows, pictures, 1, {0});
  share->Reset();
  const storage::TeamCheck change = lib.Check();
  const auto changeCounts = share->counts();
  lib.Check();

  platform::CountingFileAccess::Counts pictureCounts;
  if (pictures > 0) {
    Picture(team, 0, 1);
    share->Reset();
    lib.Check();
    pictureCounts = share->counts();
  }

  const bool ok = first.status == storage::TeamCheckStatus::Reloaded && quiet.status == storage::TeamCheckStatus::Unchanged &&
                  change.status == storage::TeamCheckStatus::Reloaded;
  std::printf("\n%s%s\n", label, ok ? "" : "  (a check did not go as expected)");
  std::printf("  quiet check: %llu requests, %s read (target <= 2 requests)%s\n",
              static_cast<unsigned long long>(quietCounts.requests), Megabytes(quietCounts.bytesRead).c_str(),
              quietCounts.requests <= 2 ? "" : "  MISSED");
  std::printf("  one row of one group changed: %s in %llu requests (target < 2 MB)%s\n",
              Megabytes(changeCounts.bytesRead).c_str(), static_cast<unsigned long long>(changeCounts.requests),
              changeCounts.bytesRead < 2'000'000 ? "" : "  MISSED");
  if (pictures > 0)
    std::printf("  one picture replaced (no row changed): %s in %llu requests\n", Megabytes(pictureCounts.bytesRead).c_str(),
                static_cast<unsigned long long>(pictureCounts.requests));
  std::printf("  first load: %.0f ms, %s in %llu requests%s\n", firstMs, Megabytes(firstCounts.bytesRead).c_str(),
              static_cast<unsigned long long>(firstCounts.requests),
              groups >= 10000 ? (firstMs < 2000 ? " (target < 2000 ms)" : " (target < 2000 ms)  MISSED") : "");
  std::printf("  %d agents every %.0f s: %.0f requests/s at the server while quiet; %s read per change\n", kAgents,
              kPeriodSeconds, kAgents * static_cast<double>(quietCounts.requests) / kPeriodSeconds,
              Megabytes(kAgents * changeCounts.bytesRead).c_str());
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}

void BM_TeamShare(benchmark::State& state) {
  for (auto _ : state) {
    Measure("Team folder of 20 groups x 50 rows and 40 pictures of 1 MB:", 20, 50, 40);
    Measure("Team folder of 10,000 groups x 10 rows:", 10000, 10, 0);
  }
}
BENCHMARK(BM_TeamShare)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
