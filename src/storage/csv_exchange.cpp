#include "storage/csv_exchange.h"

#include <map>
#include <set>
#include <vector>

#include "library/group_ops.h"
#include "storage/csv.h"

namespace jihe::storage {

namespace {

constexpr const char* kHeader[] = {"分组", "备注", "内容"};

std::string Trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

bool AllEmpty(const std::vector<std::string>& fields) {
  for (const std::string& f : fields)
    if (!f.empty()) return false;
  return true;
}

CsvImportError ErrorAt(size_t line, std::string_view what) {
  return {line, "第" + std::to_string(line) + "行：" + std::string(what)};
}

struct ImportRow {
  std::string group;
  std::string text;
};

}  // namespace

std::string ExportCsv(const library::GroupStrip& strip) {
  std::string out(kUtf8Bom);
  out += CsvLine({kHeader[0], kHeader[1], kHeader[2]}) + "\r\n";
  for (size_t index : strip.VisibleIndices()) {
    const library::Group& group = *strip.ListOfGroup(index);
    for (const std::string& row : group.rows()) {
      const std::string_view content = library::ContentOf(row);
      const std::string_view remark =
          content.size() == row.size() ? std::string_view{}
                                       : std::string_view(row).substr(0, row.size() - content.size() -
                                                                             library::kRemarkSeparator.size());
      out += CsvLine({GuardFormula(group.name()), GuardFormula(remark), GuardFormula(content)}) + "\r\n";
    }
  }
  return out;
}

std::variant<CsvImportCounts, CsvImportError> ImportCsv(std::string_view fileBytes, library::GroupStrip& strip) {
  const std::string text = DecodeCsvBytes(fileBytes);
  auto parsed = ParseCsv(text);
  if (auto* error = std::get_if<CsvError>(&parsed)) return ErrorAt(error->line, error->message);
  const auto& records = std::get<std::vector<CsvRecord>>(parsed);

  if (records.empty()) return ErrorAt(1, "缺少标题行“分组,备注,内容”");
  const CsvRecord& header = records.front();
  bool headerOk = header.fields.size() >= 3;
  for (size_t k = 0; headerOk && k < header.fields.size(); ++k)
    headerOk = k < 3 ? Trimmed(header.fields[k]) == kHeader[k] : header.fields[k].empty();
  if (!headerOk) return ErrorAt(header.line, "第一行应当是标题行“分组,备注,内容”");

  std::vector<ImportRow> rows;
  for (size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    if (AllEmpty(record.fields)) continue;  // Excel writes blank rows of a range as ",,"
    bool extra = false;
    for (size_t k = 3; k < record.fields.size(); ++k) extra = extra || !record.fields[k].empty();
    if (record.fields.size() < 3 || extra)
      return ErrorAt(record.line, "应当有 3 列（分组,备注,内容），这里有 " + std::to_string(record.fields.size()) + " 列");
    std::string group = UnguardFormula(record.fields[0]);
    const std::string remark = UnguardFormula(record.fields[1]);
    const std::string content = UnguardFormula(record.fields[2]);
    if (group.empty()) return ErrorAt(record.line, "分组名不能为空");
    if (group.find_first_of("\r\n") != std::string::npos) return ErrorAt(record.line, "分组名里不能换行");
    if (content.empty()) return ErrorAt(record.line, "内容不能为空");
    rows.push_back({std::move(group), remark.empty() ? content : remark + std::string(library::kRemarkSeparator) + content});
  }

  // Nothing was wrong: now the strip changes.
  CsvImportCounts counts;
  std::map<std::string, size_t> groupOf;
  std::map<size_t, std::set<std::string>> present;
  for (ImportRow& row : rows) {
    auto found = groupOf.find(row.group);
    if (found == groupOf.end()) {
      size_t index = strip.slots().size();
      for (size_t v : strip.VisibleIndices())
        if (strip.ListOfGroup(v)->name() == row.group) {
          index = v;
          break;
        }
      if (index == strip.slots().size()) {
        index = library::AddGroup(strip, row.group);
        ++counts.groupsCreated;
      }
      found = groupOf.emplace(row.group, index).first;
      const auto& existing = strip.ListOfGroup(index)->rows();
      present[index] = std::set<std::string>(existing.begin(), existing.end());
    }
    if (!present[found->second].insert(row.text).second) {
      ++counts.skipped;
      continue;
    }
    strip.ListOfGroup(found->second)->MutableRows().push_back(std::move(row.text));
    ++counts.added;
  }
  return counts;
}

std::string ImportSummary(const CsvImportCounts& counts) {
  std::string s = "导入完成：添加 " + std::to_string(counts.added) + " 条，跳过重复 " + std::to_string(counts.skipped) + " 条";
  if (counts.groupsCreated) s += "，新建分组 " + std::to_string(counts.groupsCreated) + " 个";
  return s;
}

}  // namespace jihe::storage
