#include "storage/data_folder.h"

#include <unordered_set>

#include "platform/file_system.h"

namespace jihe::storage {

namespace {

constexpr char kSep = platform::kPathSeparator;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

bool IsReservedDeviceName(std::string_view name) {
  // "CON", "con.txt", "COM1 .log": Windows looks at the part before the first dot, blanks trimmed.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string b = FoldCase(base);
  if (b == "con" || b == "prn" || b == "aux" || b == "nul") return true;
  if (b.size() == 4 && (b.starts_with("com") || b.starts_with("lpt")) && b[3] >= '1' && b[3] <= '9') return true;
  return false;
}

// A byte kept from an undecodable file (a lone surrogate in UTF-8 form) cannot be a file name.
bool IsEscapedByte(std::string_view s, size_t i) {
  return i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
         (static_cast<unsigned char>(s[i + 1]) & 0xF0) == 0xB0;
}

void AppendHex(std::string& out, unsigned value) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kHex[(value >> 4) & 0xF]);
  out.push_back(kHex[value & 0xF]);
}

std::string EscapedFileStem(std::string_view name) {
  std::string out = "..";
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (IsEscapedByte(name, i)) {
      // ED B2 80..ED B3 BF stands for the byte 0x80..0xFF.
      const unsigned byte = 0x80 + (((static_cast<unsigned char>(name[i + 1]) & 0x01) << 6) |
                                    (static_cast<unsigned char>(name[i + 2]) & 0x3F));
      AppendHex(out, byte);
      i += 2;
    } else if (c < 0x20 || c == 0x7F || std::string_view("\\/:*?\"<>|%.").find(static_cast<char>(c)) !=
                                             std::string_view::npos ||
               (c >= 'A' && c <= 'Z') || (c == ' ' && i + 1 == name.size())) {
      // Upper-case letters are escaped too, so that two escaped names never differ in case only.
      AppendHex(out, c);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace

std::string DataFolderPath(std::string_view systemDirectory) {
  const std::string_view drive = systemDirectory.substr(0, systemDirectory.find(':'));
  return std::string(drive) + ":\\" + std::string(kDataFolderName) + "\\";
}

std::string DefaultDataFolder() {
#ifdef _WIN32
  return DataFolderPath(platform::SystemDirectory());
#else
  return platform::HomeDirectory() + "/" + std::string(kDataFolderName) + "/";
#endif
}

bool IsSafeFileStem(std::string_view name) {
  if (name.find("..") != std::string_view::npos) return false;
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return false;
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
    if (IsEscapedByte(name, i)) return false;
  }
  return !IsReservedDeviceName(name);
}

std::optional<std::string> LegacyGroupFileStem(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || IsEscapedByte(name, i)) return std::nullopt;
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return std::nullopt;
  }
  if (IsReservedDeviceName(name)) return std::nullopt;
  return std::string(name);
}

std::vector<std::string> GroupFileStems(const std::vector<std::string>& names) {
  std::vector<std::string> stems;
  stems.reserve(names.size());
  std::unordered_set<std::string> taken;  // case-folded file names already given out
  for (const std::string& name : names) {
    std::string stem = IsSafeFileStem(name) ? name : EscapedFileStem(name);
    if (!taken.insert(FoldCase(stem)).second) {
      stem = EscapedFileStem(name);
      taken.insert(FoldCase(stem));
    }
    stems.push_back(std::move(stem));
  }
  return stems;
}

DataFolder::DataFolder(std::string root) : root_(std::move(root)) {
  if (root_.empty() || (root_.back() != kSep && root_.back() != '/')) root_.push_back(kSep);
}

std::string DataFolder::ConfigIni() const { return root_ + "config.ini"; }

std::string DataFolder::ConfIni() const { return root_ + "数据" + kSep + "conf.ini"; }

std::string DataFolder::ImgFolder() const { return root_ + "img" + kSep; }

std::string DataFolder::GroupFolder(library::GroupKind kind) const {
  return root_ + "数据" + kSep + (kind == library::GroupKind::Phrase ? "短语" : "快捷") + kSep;
}

std::string DataFolder::GroupFile(library::GroupKind kind, std::string_view fileStem) const {
  return GroupFolder(kind) + std::string(fileStem) + ".txt";
}

bool DataFolder::EnsureFolders() const {
  bool ok = true;
  for (const std::string& folder : {ImgFolder(), root_ + "数据" + kSep, GroupFolder(library::GroupKind::Phrase),
                                    GroupFolder(library::GroupKind::Command)}) {
    ok = platform::CreateDirectories(folder) && ok;
  }
  return ok;
}

}  // namespace jihe::storage
