#include "platform/folder_watcher_win32.h"

#include <gtest/gtest.h>

#include <thread>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"

namespace jihe::platform {
namespace {

struct Event {
  HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Event() { CloseHandle(h); }
};

TEST(FolderChangeWatcherTest, WakesOnAChangeBelow数据OnThePeriodAndOnStop) {
  testing::TempDir dir;
  ASSERT_TRUE(CreateDirectories(dir.Sub("数据/短语")));
  ASSERT_TRUE(CreateDirectories(dir.Sub("数据/快捷")));
  Event stop;
  FolderChangeWatcher watcher(dir.str());

  EXPECT_EQ(watcher.Wait(stop.h, 300), FolderChangeWatcher::Wake::Period);
  EXPECT_TRUE(watcher.watching());

  std::thread writer([&] {
    Sleep(200);
    WriteFileAtomically(dir.Sub("数据/短语/问候.txt"), "您好\r\n");
  });
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(watcher.Wait(stop.h, 10000), FolderChangeWatcher::Wake::Changed);
  EXPECT_LT(GetTickCount64() - start, 5000u);
  writer.join();

  SetEvent(stop.h);
  EXPECT_EQ(watcher.Wait(stop.h, 10000), FolderChangeWatcher::Wake::Stopped);
}

TEST(FolderChangeWatcherTest, AFolderThatIsNotThereFallsBackToThePeriod) {
  testing::TempDir dir;
  Event stop;
  FolderChangeWatcher watcher(dir.Sub("不在这里"));
  EXPECT_EQ(watcher.Wait(stop.h, 100), FolderChangeWatcher::Wake::Period);
  EXPECT_FALSE(watcher.watching());
  // The folder arrives later: the next wait watches it.
  for (const char* sub : {"不在这里/数据/短语", "不在这里/数据/快捷"}) ASSERT_TRUE(CreateDirectories(dir.Sub(sub)));
  EXPECT_EQ(watcher.Wait(stop.h, 100), FolderChangeWatcher::Wake::Period);
  EXPECT_TRUE(watcher.watching());
}

}  // namespace
}  // namespace jihe::platform
