#pragma once
// A share whose server went away: every call waits (a few seconds, so a test that fails still
// ends), then fails.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/file_access.h"

namespace jihe::testing {

class HangingShare final : public platform::FileAccess {
 public:
  explicit HangingShare(std::chrono::milliseconds hang) : hang_(hang) {}
  std::optional<platform::FileStamp> Stamp(const std::string&) override { return Hang(), std::nullopt; }
  platform::FileContent Read(const std::string&) override {
    return Hang(), platform::FileContent{platform::ReadStatus::Unreadable, {}, {}};
  }
  std::optional<std::vector<platform::FolderEntry>> List(const std::string&) override { return Hang(), std::nullopt; }
  bool FolderExists(const std::string&) override { return Hang(), false; }
  std::atomic<int> calls{0};

 private:
  void Hang() {
    ++calls;
    std::this_thread::sleep_for(hang_);
  }
  const std::chrono::milliseconds hang_;
};

}  // namespace jihe::testing
