#include "app/command_line.h"

#include <gtest/gtest.h>

namespace jihe::app {
namespace {

TEST(CommandLineTest, ReadsTheDataFolderAndTheShotPage) {
  auto parsed = ParseCommandLine({"--data-dir", "Z:\\tmp\\霁禾 数据", "--shot-page", "4"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.dataDir, "Z:\\tmp\\霁禾 数据");
  EXPECT_EQ(parsed.options.shotPage, 4);

  parsed = ParseCommandLine({});
  EXPECT_EQ(parsed.error, "");
  EXPECT_FALSE(parsed.options.dataDir);
  EXPECT_FALSE(parsed.options.shotPage);
}

TEST(CommandLineTest, RefusesWhatItCannotUse) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--data-dir"},
           {"--data-dir", ""},
           {"--shot-page"},
           {"--shot-page", "5"},
           {"--shot-page", "-1"},
           {"--shot-page", "2x"},
           {"--unknown"},
       }) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    EXPECT_NE(ParseCommandLine(args).error, "");
  }
}

}  // namespace
}  // namespace jihe::app
