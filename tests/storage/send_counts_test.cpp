// The send counts: keyed so they follow a row and its group, saved whole, and a damaged file read
// as no counts.
#include "storage/send_counts.h"

#include <gtest/gtest.h>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"
#include "storage/gb18030.h"

namespace jihe::storage {
namespace {

TEST(SendCountsTest, FollowTheRowAndItsGroupAndSurviveTheFile) {
  testing::TempDir data;
  const DataFolder folder(data.str() + platform::kPathSeparator);
  const std::string odd = "带\t制表\\符\r\n两行\x1F";  // what a row may hold
  SendCounts counts;
  counts.Add({"短语", "售后", "退货┃地址"});
  counts.Add({"短语", "售后", "退货┃地址"});
  counts.Add({"短语", "售后", odd});
  counts.Add({"团队短语", "售后", "退货┃地址"});
  counts.Add({"短语", "售后2", "退货┃地址"});
  counts.RenameGroup("短语", "售后", "售后服务");  // "售后2" and the team's "售后" stay
  ASSERT_TRUE(counts.Save(folder));
  EXPECT_FALSE(counts.dirty());

  const SendCounts read = SendCounts::Load(folder);
  EXPECT_EQ(read.Count({"短语", "售后服务", "退货┃地址"}), 2u);
  EXPECT_EQ(read.Count({"短语", "售后服务", odd}), 1u);
  EXPECT_EQ(read.Count({"短语", "售后", "退货┃地址"}), 0u);
  EXPECT_EQ(read.Count({"团队短语", "售后", "退货┃地址"}), 1u);
  EXPECT_EQ(read.Count({"短语", "售后2", "退货┃地址"}), 1u);
  EXPECT_EQ(read.Count({"短语", "售后服务", "退货┃新地址"}), 0u);  // a changed row starts again
  EXPECT_EQ(read.Text(), counts.Text());
}

TEST(SendCountsTest, ADamagedFileReadsAsNoCounts) {
  const std::string header = "霁禾客服助手 发送次数 1\r\n";
  const std::string good = "3\t短语\t售后\t退货\r\n";
  const struct {
    std::string text;
    std::uint32_t count;  // of 短语 / 售后 / 退货
  } cases[] = {
      {header + good, 3},
      {header + good + "\r\n", 3},
      {good, 0},                                    // no header
      {header + good + "x\t短语\t售后\t换货\r\n", 0},  // a count that is no number
      {header + good + "1\t短语\t售后\r\n", 0},        // a part missing
      {header + good + "1\t短语\t售后\t换\\q货\r\n", 0},  // an escape that means nothing
      {header + good + "12345678901\t短语\t售后\t换货\r\n", 0},
      {header.substr(0, 10), 0},                    // cut short
  };
  for (const auto& c : cases) EXPECT_EQ(SendCounts::FromText(c.text).Count({"短语", "售后", "退货"}), c.count) << c.text;
}

}  // namespace
}  // namespace jihe::storage
