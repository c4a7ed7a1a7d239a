#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <random>
#include <string>

namespace jihe::testing {

inline std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class TempDir {
 public:
  // `leaf` may hold Chinese characters: the folder names of the Data folder do.
  explicit TempDir(const std::string& leaf = "霁禾测试") {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("jihe-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    path_ /= PathOf(leaf);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_.parent_path(), ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return Utf8Of(path_); }
  // A path below this folder, given with '/' between its parts.
  std::string Sub(const std::string& relative) const { return Utf8Of(path_ / PathOf(relative).make_preferred()); }

 private:
  std::filesystem::path path_;
};

}  // namespace jihe::testing
