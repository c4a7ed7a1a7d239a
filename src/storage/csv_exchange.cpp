#include "storage/csv_exchange.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "library/editor_rules.h"
#include "library/group_ops.h"
#include "storage/csv.h"

namespace jihe::storage {

namespace {

constexpr const char* kHeader[] = {"分组", "备注", "内容"};
constexpr std::string_view kSeparator = library::kRemarkSeparator;

bool IsBlank(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string Trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

CsvImportError ErrorAt(size_t line, std::string_view what) {
  return {line, "第" + std::to_string(line) + "行：" + std::string(what)};
}

// A control character other than tab, CR and LF (C0, DEL, C1), which a row cannot keep.
bool HasControlCharacter(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(s[i + 1]) <= 0x9F)
      return true;
  }
  return false;
}

// A cell as the file holds it, back to its text: the text form of a retyped cell, else the
// formula guard, undone.
std::string CellText(std::string_view cell) {
  if (auto text = TextOfTextForm(cell)) return std::move(*text);
  return UnguardFormula(cell);
}

// The form a cell goes out in.
std::string ExportCell(std::string_view text) {
  // A cell that is itself in the text form is guarded instead: a spreadsheet that evaluates the
  // text form would show it, and save it, bare.
  if (NeedsTextForm(text) && !TextOfTextForm(text)) return TextForm(text);
  return GuardFormula(text);
}

}  // namespace

std::string ExportCsv(const library::GroupStrip& strip, CsvProgress* progress) {
  std::string out(kUtf8Bom);
  out += CsvLine({kHeader[0], kHeader[1], kHeader[2]}) + "\r\n";
  const std::vector<size_t> visible = strip.VisibleIndices();
  if (progress) {
    size_t total = 0;
    for (size_t index : visible) total += strip.ListOfGroup(index)->rows().size();
    progress->total = total;
  }
  size_t done = 0;
  for (size_t index : visible) {
    const library::Group& group = *strip.ListOfGroup(index);
    const std::string groupCell = ExportCell(group.name());
    for (const std::string& row : group.rows()) {
      if (progress && (++done & 0x3FF) == 0) {
        progress->done = done;
        if (progress->cancel) return {};
      }
      const std::string_view content = library::ContentOf(row);
      std::string remark;
      if (content.size() != row.size()) {
        remark = row.substr(0, row.size() - content.size() - kSeparator.size());
        // Written with its separator when the remark alone would not bring it back.
        if (remark.empty() || std::string_view(remark).ends_with(kSeparator)) remark += kSeparator;
      }
      std::string contentCell = ExportCell(content);
      // A row that would read as blank (and be skipped) keeps its content in the text form.
      if (IsBlank(remark) && IsBlank(contentCell)) contentCell = TextForm(content);
      out += CsvLine({groupCell, ExportCell(remark), contentCell});
      out += "\r\n";
    }
  }
  if (progress) progress->done = done;
  return out;
}

std::variant<CsvImportPlan, CsvImportError> ReadCsvImport(std::string fileBytes, library::GroupKind kind,
                                                          CsvProgress* progress) {
  auto decoded = DecodeCsvBytes(std::move(fileBytes));
  if (auto* error = std::get_if<CsvError>(&decoded)) return ErrorAt(error->line, error->message);
  const std::string& text = std::get<std::string>(decoded);
  if (progress) progress->total = text.size();

  CsvImportPlan plan;
  std::unordered_map<std::string, std::uint32_t> groupOf;
  std::optional<CsvImportError> refusal;
  bool header = true, cancelled = false;
  size_t records = 0;
  auto onRecord = [&](CsvRecord& record) {
    if (progress && (++records & 0x3FF) == 0) {
      progress->done = record.end;
      if (progress->cancel) return cancelled = true, false;
    }
    auto refuse = [&](std::string_view what) {
      refusal = ErrorAt(record.line, what);
      return false;
    };
    std::vector<std::string>& f = record.fields;
    if (header) {
      header = false;
      bool ok = f.size() >= 3;
      for (size_t k = 0; ok && k < f.size(); ++k) ok = k < 3 ? Trimmed(f[k]) == kHeader[k] : f[k].empty();
      return ok ? true : refuse("第一行应当是标题行“分组,备注,内容”");
    }
    bool extra = false;
    for (size_t k = 3; k < f.size(); ++k) extra = extra || !IsBlank(f[k]);
    // Excel writes the blank rows of a range as ",,"; a row of a group name alone adds nothing.
    if (!extra && IsBlank(f.size() > 1 ? f[1] : "") && IsBlank(f.size() > 2 ? f[2] : "")) {
      ++plan.blank;
      return true;
    }
    if (f.size() < 3 || extra)
      return refuse("应当有 3 列（分组,备注,内容），这里有 " + std::to_string(f.size()) + " 列");
    for (const std::string& cell : f)
      if (HasControlCharacter(cell)) return refuse("有控制字符（例如 NUL），短语里不能保存它");
    const std::string remark = CellText(f[1]);
    const std::string content = CellText(f[2]);
    if (content.find(kSeparator) != std::string::npos) return refuse("内容里有“┃”，发送时它前面的字会被当成备注");
    // A group may be named with blanks alone, as the group menu lets it be.
    if (CellText(f[0]).empty()) return refuse("分组名不能为空");
    if (f[0].find_first_of("\r\n") != std::string::npos) return refuse("分组名里不能换行");
    if (kind == library::GroupKind::Command) {
      // Exactly what the quick-command editor takes; its remark field ends at the first "┃".
      library::ConfirmRequest request;
      request.kind = kind;
      // A remark cell of "┃" alone stands for an empty remark.
      std::string_view ownRemark = remark;
      if (ownRemark.ends_with(kSeparator)) ownRemark.remove_suffix(kSeparator.size());
      request.remark = std::string(ownRemark);
      request.content = content;
      if (auto why = library::ConfirmRefusal(request)) return refuse(*why);
    }
    std::string row;
    if (remark.empty()) {
      row = content;
    } else {
      row.reserve(remark.size() + kSeparator.size() + content.size());
      row = remark;
      if (!std::string_view(remark).ends_with(kSeparator)) row += kSeparator;
      row += content;
    }
    auto [at, added] = groupOf.try_emplace(CellText(f[0]), static_cast<std::uint32_t>(plan.groups.size()));
    if (added) {
      plan.groups.push_back(at->first);
      plan.groupLines.push_back(record.line);
    }
    plan.rows.push_back({at->second, std::move(row)});
    return true;
  };
  if (auto error = ForEachCsvRecord(text, onRecord)) return ErrorAt(error->line, error->message);
  if (cancelled) return CsvImportError{0, "已取消"};
  if (refusal) return *refusal;
  if (header) return ErrorAt(1, "缺少标题行“分组,备注,内容”");
  if (progress) progress->done = text.size();
  return plan;
}

std::variant<CsvImportCounts, CsvImportError> ApplyCsvImport(CsvImportPlan plan, library::GroupStrip& strip,
                                                             const GroupNamesCheck& tooLong) {
  CsvImportCounts counts;
  counts.blank = plan.blank;
  counts.slotsBefore = strip.slots().size();
  // Each group cell to its slot; the new ones are numbered past the end until they are made.
  const std::vector<size_t> visible = strip.VisibleIndices();
  std::vector<size_t> slotOf;
  std::vector<std::string> newNames;
  std::vector<size_t> newLines;
  for (size_t g = 0; g < plan.groups.size(); ++g) {
    const std::string& cell = plan.groups[g];
    // A name of blanks alone is its own: trimmed, it would be no name.
    const std::string trimmed = IsBlank(cell) ? cell : Trimmed(cell);
    std::optional<size_t> exact, trimmedExact, only;
    size_t sameTrimmed = 0;
    for (size_t v : visible) {
      const std::string& name = strip.ListOfGroup(v)->name();
      if (name == cell && !exact) exact = v;
      if (name == trimmed && !trimmedExact) trimmedExact = v;
      if (Trimmed(name) == trimmed) ++sameTrimmed, only = v;
    }
    if (!exact && !trimmedExact && sameTrimmed == 1) exact = only;
    if (!exact) exact = trimmedExact;
    if (!exact) {
      // Two cells that trim to one name make one group.
      auto known = std::find(newNames.begin(), newNames.end(), trimmed);
      exact = counts.slotsBefore + static_cast<size_t>(known - newNames.begin());
      if (known == newNames.end()) {
        newNames.push_back(trimmed);
        newLines.push_back(plan.groupLines[g]);
      }
    }
    slotOf.push_back(*exact);
  }
  if (tooLong && !newNames.empty()) {
    std::vector<std::string> names;
    for (size_t v : visible) names.push_back(strip.ListOfGroup(v)->name());
    names.insert(names.end(), newNames.begin(), newNames.end());
    for (size_t at : tooLong(names)) {
      if (at < visible.size()) continue;  // a group that is there already is the save's business
      return ErrorAt(newLines[at - visible.size()], "分组名“" + newNames[at - visible.size()] +
                                                        "”太长，在这个数据文件夹里存不成文件（Windows 的路径最长 259 个字符）");
    }
  }
  for (std::string& name : newNames) library::AddGroup(strip, std::move(name));
  counts.groupsCreated = newNames.size();

  // Rows already there, by their position in their group's list (the list grows as rows go in).
  struct Target {
    std::vector<std::string>* rows = nullptr;
    std::unique_ptr<std::unordered_set<size_t, std::function<size_t(size_t)>, std::function<bool(size_t, size_t)>>> present;
  };
  std::unordered_map<size_t, Target> targets;
  for (CsvImportPlan::Row& row : plan.rows) {
    Target& t = targets[slotOf[row.group]];
    if (!t.rows) {
      if (slotOf[row.group] < counts.slotsBefore)
        counts.rowsBefore.emplace_back(slotOf[row.group], strip.ListOfGroup(slotOf[row.group])->rows().size());
      t.rows = &strip.ListOfGroup(slotOf[row.group])->MutableRows();
      std::vector<std::string>* rows = t.rows;
      t.present = std::make_unique<std::unordered_set<size_t, std::function<size_t(size_t)>, std::function<bool(size_t, size_t)>>>(
          rows->size() * 2 + 16, [rows](size_t i) { return std::hash<std::string>{}((*rows)[i]); },
          [rows](size_t a, size_t b) { return (*rows)[a] == (*rows)[b]; });
      for (size_t i = 0; i < rows->size(); ++i) t.present->insert(i);
    }
    t.rows->push_back(std::move(row.text));
    if (t.present->insert(t.rows->size() - 1).second) {
      ++counts.added;
    } else {
      t.rows->pop_back();
      ++counts.skipped;
    }
  }
  return counts;
}

void UndoCsvImport(const CsvImportCounts& counts, library::GroupStrip& strip) {
  for (const auto& [slot, rows] : counts.rowsBefore) strip.ListOfGroup(slot)->MutableRows().resize(rows);
  if (strip.slots().size() > counts.slotsBefore) strip.slots().resize(counts.slotsBefore);
}

std::variant<CsvImportCounts, CsvImportError> ImportCsv(std::string fileBytes, library::GroupKind kind,
                                                        library::GroupStrip& strip, const GroupNamesCheck& tooLong) {
  auto plan = ReadCsvImport(std::move(fileBytes), kind);
  if (auto* error = std::get_if<CsvImportError>(&plan)) return *error;
  return ApplyCsvImport(std::move(std::get<CsvImportPlan>(plan)), strip, tooLong);
}

std::string ImportSummary(const CsvImportCounts& counts) {
  std::string s = "导入完成：添加 " + std::to_string(counts.added) + " 条，跳过重复 " + std::to_string(counts.skipped) + " 条";
  if (counts.blank) s += "，跳过空行 " + std::to_string(counts.blank) + " 条";
  if (counts.groupsCreated) s += "，新建分组 " + std::to_string(counts.groupsCreated) + " 个";
  return s;
}

}  // namespace jihe::storage
