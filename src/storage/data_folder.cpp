#include "storage/data_folder.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
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

// `count` characters from `first`, `stride` apart, whose upper case is the character `delta` on.
struct UpcaseRun {
  std::uint16_t first;
  std::uint16_t count;
  std::int32_t delta;
  std::uint8_t stride;
};

#include "storage/upcase_table.inc"

char32_t UpcaseBmp(char32_t cp) {
  const auto* run = std::upper_bound(std::begin(kUpcaseRuns), std::end(kUpcaseRuns), cp,
                                     [](char32_t c, const UpcaseRun& r) { return c < r.first; });
  if (run == std::begin(kUpcaseRuns)) return cp;
  --run;
  const char32_t offset = cp - run->first;
  if (offset % run->stride != 0 || offset / run->stride >= run->count) return cp;
  return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run->delta);
}

bool IsReservedDeviceName(std::string_view name) {
  // "CON", "con.txt", "COM1 .log": Windows looks at the part before the first dot, blanks trimmed.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  const std::string b = FoldCase(base);
  if (b == "con" || b == "prn" || b == "aux" || b == "nul") return true;
  // The console's own devices cannot be created as files either.
  if (b == "conin$" || b == "conout$") return true;
  if (!b.starts_with("com") && !b.starts_with("lpt")) return false;
  // COM1..COM9, and the superscript digits one to three, which Windows also takes for ports.
  const std::string_view number = std::string_view(b).substr(3);
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "¹" || number == "²" ||
         number == "³";
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

std::string FileNameCaseFold(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    const auto lead = static_cast<unsigned char>(name[i]);
    // Only one- to three-byte forms are BMP characters; anything else is copied byte by byte.
    const size_t length = lead < 0x80 ? 1 : (lead >= 0xC2 && lead <= 0xDF) ? 2 : (lead >= 0xE0 && lead <= 0xEF) ? 3 : 0;
    bool whole = length > 0 && i + length <= name.size();
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; whole && k < length; ++k) {
      const auto c = static_cast<unsigned char>(name[i + k]);
      whole = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!whole || (length == 3 && cp < 0x800)) {
      out.push_back(name[i++]);
      continue;
    }
    const char32_t upper = UpcaseBmp(cp);
    if (upper == cp) {
      out.append(name.substr(i, length));
    } else if (upper < 0x80) {
      out.push_back(static_cast<char>(upper));
    } else if (upper < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (upper >> 6)));
      out.push_back(static_cast<char>(0x80 | (upper & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (upper >> 12)));
      out.push_back(static_cast<char>(0x80 | ((upper >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (upper & 0x3F)));
    }
    i += length;
  }
  return out;
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

std::optional<std::string> EarlierGroupFileStem(std::string_view name, std::string_view stem) {
  if (stem.starts_with("..")) {
    if (const size_t number = stem.find("%%"); number != std::string_view::npos) return std::string(stem.substr(0, number));
  }
  auto legacy = LegacyGroupFileStem(name);
  if (legacy && *legacy == stem) return std::nullopt;
  return legacy;
}

std::vector<std::string> GroupFileStems(const std::vector<std::string>& names) {
  std::vector<std::string> stems;
  stems.reserve(names.size());
  std::unordered_set<std::string> taken;  // file names already given out, as Windows compares them
  for (const std::string& name : names) {
    std::string stem = IsSafeFileStem(name) ? name : EscapedFileStem(name);
    if (!taken.insert(FileNameCaseFold(stem)).second) {
      // The second group of a name, or one equal to an earlier name but for case.
      stem = EscapedFileStem(name);
      if (!taken.insert(FileNameCaseFold(stem)).second) {
        // The third and later: "%%" appears in no escaped name (each "%" there starts a code) and
        // no ordinary name begins with "..", so the number is the only thing left to try.
        const std::string escaped = std::move(stem);
        for (int n = 3;; ++n) {
          stem = escaped + "%%" + std::to_string(n);
          if (taken.insert(FileNameCaseFold(stem)).second) break;
        }
      }
    }
    stems.push_back(std::move(stem));
  }
  return stems;
}

namespace {

// Length in UTF-16 units, as Windows counts a path.
size_t Utf16Length(std::string_view utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
  }
  return n;
}

constexpr std::string_view kSaveSuffix = ".txt.jihe-tmp";  // the longest name a save writes

}  // namespace

std::vector<size_t> GroupFilesTooLong(const DataFolder& folder, library::GroupKind kind,
                                      const std::vector<std::string>& names) {
  const size_t folderLength = Utf16Length(platform::FullPath(folder.GroupFolder(kind)));
  const std::vector<std::string> stems = GroupFileStems(names);
  std::vector<size_t> tooLong;
  for (size_t i = 0; i < stems.size(); ++i) {
    const size_t file = Utf16Length(stems[i]) + kSaveSuffix.size();
    if (file > 255 || folderLength + file > 259) tooLong.push_back(i);
  }
  return tooLong;
}

std::string FolderPathKey(std::string_view path) {
  std::string key(path);
  for (char& c : key)
    if (c == '/') c = '\\';
  if (key.starts_with("\\\\?\\UNC\\")) {
    key.erase(2, 6);
  } else if (key.starts_with("\\\\?\\")) {
    key.erase(0, 4);
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return FileNameCaseFold(key);
}

std::string DataFolderHoldName(std::string_view fullPath) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : FolderPathKey(fullPath)) h = (h ^ c) * 1099511628211ull;
  static const char kHex[] = "0123456789abcdef";
  std::string name = "霁禾客服助手.数据文件夹.";
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(kHex[(h >> shift) & 0xF]);
  return name;
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

std::unique_ptr<platform::NamedHold> DataFolder::Hold(int waitMs) const {
  // Named after the folder itself, so that another spelling of it meets the same hold; the folder
  // is made first, so that the program and the data tool both find it there. The folded path
  // stands in where the file system names no folder by an index.
  platform::CreateDirectories(root_);
  const std::optional<std::string> identity = platform::FolderIdentity(root_);
  return platform::TakeNamedHold(DataFolderHoldName(identity ? *identity : platform::FullPath(root_)), waitMs);
}

}  // namespace jihe::storage
