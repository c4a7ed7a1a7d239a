#pragma once
// A shell that starts nothing and records what it was asked to start or open.
#include <mutex>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace jihe::testing {

class FakeShell final : public platform::Shell {
 public:
  bool OpenWithShell(std::string_view target) override {
    std::lock_guard lock(mutex_);
    opened_.emplace_back(target);
    return true;
  }
  bool StartCommandLine(std::string_view commandLine) override {
    std::lock_guard lock(mutex_);
    started_.emplace_back(commandLine);
    return startSucceeds;
  }
  std::vector<std::string> started() const {
    std::lock_guard lock(mutex_);
    return started_;
  }
  std::vector<std::string> opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  bool startSucceeds = true;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> started_, opened_;
};

}  // namespace jihe::testing
