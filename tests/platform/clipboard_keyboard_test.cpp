// The byte layouts handed to the clipboard and the order of synthesized keys.
#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/keyboard.h"

namespace jihe::platform {
namespace {

TEST(FileList, SplitRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitFileList("C:\\a.txt\r\nC:\\b.txt"), (V{"C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(SplitFileList("C:\\a.txt\r\n"), (V{"C:\\a.txt"}));  // no extra empty path
  // A blank line would end the list for every reader; it is dropped instead.
  EXPECT_EQ(SplitFileList("C:\\a.txt\r\n\r\nC:\\b.txt"), (V{"C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(SplitFileList(""), V{});
}

TEST(FileList, DropBlockLayout) {
  const std::vector<std::uint8_t> block = FileDropBlock({"C:\\a.txt", "D:\\报价"});
  // 20-byte header, "C:\a.txt" + zero (9 units), "D:\报价" + zero (6 units), final zero: 16 units.
  ASSERT_EQ(block.size(), 20u + 2 * 16);
  auto u32 = [&](size_t at) { return block[at] | block[at + 1] << 8 | block[at + 2] << 16 | block[at + 3] << 24; };
  auto u16 = [&](size_t unit) { return block[20 + 2 * unit] | block[21 + 2 * unit] << 8; };
  EXPECT_EQ(u32(0), 20);
  EXPECT_EQ(u32(4), 0);
  EXPECT_EQ(u32(8), 0);
  EXPECT_EQ(u32(12), 0);
  EXPECT_EQ(u32(16), 1);  // wide paths
  EXPECT_EQ(u16(0), 'C');
  EXPECT_EQ(u16(8), 0);
  EXPECT_EQ(u16(9), 'D');
  EXPECT_EQ(u16(12), 0x62A5);  // 报
  EXPECT_EQ(u16(14), 0);
  EXPECT_EQ(u16(15), 0);
}

TEST(Keys, CombinationOrder) {
  using E = std::vector<KeyEvent>;
  EXPECT_EQ(KeyCombinationEvents(Key::V, Key::Ctrl),
            (E{{Key::Ctrl, false}, {Key::V, false}, {Key::Ctrl, true}, {Key::V, true}}));
  // Modifiers go down from the last given to the first, and come up in the same order.
  EXPECT_EQ(KeyCombinationEvents(Key::V, Key::Ctrl, Key::Enter),
            (E{{Key::Enter, false}, {Key::Ctrl, false}, {Key::V, false}, {Key::Enter, true}, {Key::Ctrl, true},
               {Key::V, true}}));
}

}  // namespace
}  // namespace jihe::platform
