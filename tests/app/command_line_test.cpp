#include "app/command_line.h"

#include <gtest/gtest.h>

namespace jihe::app {
namespace {

TEST(CommandLineTest, ReadsTheDataFolderAndTheShotPage) {
  auto parsed = ParseCommandLine({"--data-dir", "Z:\\tmp\\霁禾 数据", "--shot-page", "4", "--record-commands",
                                  "C:\\命令.txt"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.dataDir, "Z:\\tmp\\霁禾 数据");
  EXPECT_EQ(parsed.options.shotPage, 4);
  EXPECT_EQ(parsed.options.recordCommands, "C:\\命令.txt");

  parsed = ParseCommandLine({});
  EXPECT_EQ(parsed.error, "");
  EXPECT_FALSE(parsed.options.dataDir);
  EXPECT_FALSE(parsed.options.shotPage);
  EXPECT_FALSE(parsed.options.recordCommands);
}

TEST(CommandLineTest, RefusesWhatItCannotUse) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--data-dir"},
           {"--data-dir", ""},
           {"--shot-page"},
           {"--record-commands"},
           {"--record-commands", ""},
           {"--shot-page", "14"},
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
