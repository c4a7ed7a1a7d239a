#include "platform/clipboard.h"

#include "platform/utf16.h"

namespace jihe::platform {

std::vector<std::string> SplitFileList(std::string_view paths) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find("\r\n", start);
    if (end == std::string_view::npos) end = paths.size();
    if (end > start) out.emplace_back(paths.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

std::vector<std::uint8_t> FileDropBlock(const std::vector<std::string>& paths) {
  std::vector<std::uint8_t> block(20, 0);
  auto put32 = [&](size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, 20);  // pFiles
  put32(16, 1);  // fWide
  auto putUnit = [&](std::uint16_t u) {
    block.push_back(static_cast<std::uint8_t>(u & 0xFF));
    block.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  for (const std::string& path : paths) {
    for (wchar_t unit : Widen(path)) putUnit(static_cast<std::uint16_t>(unit));
    putUnit(0);
  }
  putUnit(0);
  return block;
}

}  // namespace jihe::platform
