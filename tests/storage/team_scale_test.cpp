// Twenty agents' programs read one team folder while its maintainer saves it two hundred times:
// every load of every reader must be one whole saved state, and every reader must end on the last.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"

namespace jihe::storage {
namespace {

#ifndef _WIN32
std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::vector<std::string> LinesOf(FILE* pipe) {
  std::vector<std::string> lines;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
#endif

TEST(TeamScaleTest, EveryLoadOfEveryReaderIsOneWholeSave) {
#ifdef _WIN32
  GTEST_SKIP() << "runs natively: starting twenty processes under Wine would take minutes";
#else
  constexpr int kReaders = 20;
  constexpr int kSaves = 200;
  testing::TempDir dir;
  const std::string team = dir.Sub("共享/团队短语"), stop = dir.Sub("stop");
  const std::string tool = Quoted(JIHE_DATA_TOOL);

  std::vector<FILE*> readers;
  for (int r = 0; r < kReaders; ++r) {
    const std::string command = tool + " team-read-loop " + Quoted(team) + " " + Quoted(stop) + " --data-dir " +
                                Quoted(dir.Sub("agent" + std::to_string(r)));
    readers.push_back(popen(command.c_str(), "r"));
    ASSERT_TRUE(readers.back());
  }
  const auto start = std::chrono::steady_clock::now();
  FILE* writer = popen((tool + " team-write-loop " + std::to_string(kSaves) + " --data-dir " + Quoted(team)).c_str(), "r");
  ASSERT_TRUE(writer);
  std::set<std::string> saved;
  std::string last;
  for (const std::string& line : LinesOf(writer)) {
    ASSERT_TRUE(line.starts_with("saved ")) << line;
    last = line.substr(6);
    saved.insert(last);
  }
  ASSERT_EQ(pclose(writer), 0);
  ASSERT_EQ(saved.size(), static_cast<size_t>(kSaves));
  const auto writing = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(platform::WriteFileAtomically(stop, ""));

  int loads = 0, incomplete = 0;
  for (FILE* reader : readers) {
    const std::vector<std::string> lines = LinesOf(reader);
    EXPECT_EQ(pclose(reader), 0);
    ASSERT_GE(lines.size(), 2u);
    for (const std::string& line : lines) {
      if (line.starts_with("loaded ")) {
        ++loads;
        EXPECT_EQ(saved.count(line.substr(7)), 1u) << "a load that no save wrote: " << line;
      }
      if (line.starts_with("incomplete ")) incomplete += std::stoi(line.substr(11));
    }
    EXPECT_EQ(lines[lines.size() - 2], "final " + last);
  }
  std::printf("%d saves in %lld ms; %d readers made %d loads and met %d saves in progress\n", kSaves,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(writing).count()),
              kReaders, loads, incomplete);
  EXPECT_GT(loads, kReaders);
#endif
}

}  // namespace
}  // namespace jihe::storage
