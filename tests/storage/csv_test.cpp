#include "storage/csv.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "storage/csv_exchange.h"
#include "storage/data_folder.h"
#include "storage/gb18030.h"

namespace jihe::storage {
namespace {

using Fields = std::vector<std::string>;

std::vector<Fields> FieldsOf(std::string_view text) {
  auto parsed = ParseCsv(text);
  if (auto* e = std::get_if<CsvError>(&parsed)) return {{"error at " + std::to_string(e->line)}};
  std::vector<Fields> out;
  for (const CsvRecord& r : std::get<std::vector<CsvRecord>>(parsed)) out.push_back(r.fields);
  return out;
}

TEST(CsvTest, ReadsExcelFields) {
  const struct {
    const char* text;
    std::vector<Fields> expected;
  } cases[] = {
      {"a,b,c\r\n1,2,3\r\n", {{"a", "b", "c"}, {"1", "2", "3"}}},
      {"a,,\n", {{"a", "", ""}}},
      {"\"x,y\",\"say \"\"hi\"\"\",z", {{"x,y", "say \"hi\"", "z"}}},
      // Excel's line break inside a cell is a bare LF; the row keeps CR LF.
      {"g,\"one\ntwo\r\nthree\rfour\",c\r\nn,m,o", {{"g", "one\r\ntwo\r\nthree\r\nfour", "c"}, {"n", "m", "o"}}},
      // The first separator on the first line decides: a tab here, so commas are text.
      {"a\tb,c\t\"d\te\"\r\n", {{"a", "b,c", "d\te"}}},
      {"\"unclosed,x\r\nrow2\r\nrow3", {{"error at 1"}}},
      {"ok\r\n\"a\"b,c", {{"error at 2"}}},
      {"ok\r\n\"two\r\nlines\",x\r\nbad\"quote", {{"error at 4"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(FieldsOf(c.text), c.expected) << c.text;
}

std::string Decoded(std::string bytes) {
  auto decoded = DecodeCsvBytes(std::move(bytes));
  if (auto* e = std::get_if<CsvError>(&decoded)) return "error at " + std::to_string(e->line);
  return std::get<std::string>(decoded);
}

// UTF-16 of the text (BMP and beyond), little or big endian, after its mark.
std::string Utf16(std::u16string_view units, bool big) {
  std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : units) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

TEST(CsvTest, DecodesEveryWayExcelSaves) {
  const std::string text = "分组,备注,内容\r\n售后,您好，,稍等";  // "，" is EF BC 8C
  const struct {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {std::string(kUtf8Bom) + text, text},
      {text, text},
      {EncodeGb18030(text), text},
      // GBK bytes that happen to start like UTF-8 are still GBK when the whole is not UTF-8.
      {EncodeGb18030("涓枃测试"), "涓枃测试"},
      // A mark in front of GBK bytes: refused at the first line that is not UTF-8.
      {std::string(kUtf8Bom) + "分组,备注,内容\r\n" + EncodeGb18030("售后,您好,稍等"), "error at 2"},
      {Utf16(u"分组\t备注\t内容\r\n售后\t笑\U0001F600\t稍等", false), "分组\t备注\t内容\r\n售后\t笑\U0001F600\t稍等"},
      {Utf16(u"分组,备注,内容\r\n售后,\U0001F600,稍等", true), "分组,备注,内容\r\n售后,\U0001F600,稍等"},
      {Utf16(u"分组\r\n\xD800x", false), "error at 2"},
      {Utf16(u"分组", false) + "x", "error at 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decoded(c.bytes), c.expected) << c.expected;
}

TEST(CsvTest, FormulaGuardIsUndoneExactly) {
  const struct {
    const char* field;
    const char* written;
  } cases[] = {
      {"=1+2", "'=1+2"}, {"+86 123", "'+86 123"}, {"-", "'-"}, {"@sum", "'@sum"}, {"\tx", "'\tx"},
      {"'=x", "''=x"},   {"''-y", "'''-y"},       {"'Tis", "'Tis"}, {"'", "'"},     {"a=b", "a=b"}, {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GuardFormula(c.field), c.written) << c.field;
    EXPECT_EQ(UnguardFormula(GuardFormula(c.field)), c.field) << c.field;
  }
}

library::GroupStrip StripOf(std::vector<library::Group> groups) {
  library::GroupStrip strip;
  strip.slots() = std::move(groups);
  return strip;
}

TEST(CsvExchangeTest, ImportOfAnExportGivesBackEveryRow) {
  library::GroupStrip source = StripOf({
      {"售后", {"退货┃=7天无理由", "=SUM(A;B)", "两行\r\n第二行", "引号\"和,逗号", "-减号开头", "备┃注┃内容", "", "只有备注┃",
                "┃只有内容", "┃", "a┃┃b", "   ", "  ┃", "\t"}},
      {"@特殊, 名", {" 前后空格 ", "'=已有撇号", "=\"文字\"", "电话┃02112345678", "6222021234567890123", "00123",
                   "1,234", "2024-01-02", "1/2", "12:30", "1.50", "1E5", "true", "-5", "13812345678", "1 1/2",
                   "=\"1\"", " FALSE", "第1行\r\n第\"2\"行"}},
  });
  // A group named with blanks only, and a byte the Data folder keeps as it found it.
  source.slots().push_back({"   ", {"空白名的组", "坏" + DecodeGb18030("\xFF") + "字"}});
  source.slots().push_back({"已删除", {"不导出"}});
  source.slots().back().set_hidden(true);
  const std::string file = ExportCsv(source);
  EXPECT_TRUE(file.starts_with(kUtf8Bom));
  EXPECT_NE(file.find("\"=\"\"=7天无理由\"\"\""), std::string::npos);  // a digit: text, guard and all
  EXPECT_NE(file.find(",'=SUM(A;B)"), std::string::npos);
  EXPECT_NE(file.find(",\"'=\"\"1\"\"\"\r\n"), std::string::npos);  // not a text form inside a text form
  EXPECT_NE(file.find("\"=\"\"02112345678\"\"\""), std::string::npos);
  // Whatever holds a digit, or a logical value, goes out as text: spreadsheets retype all of these.
  for (const char* cell : {" 123", "123 ", "1月2日", "2024年1月2日", "(123)", "5-", "１２３", "０１２３", "TRUE ",
                           "2024-1-2T03:04", "Jan-24", "12:30 PM", "13812345678", "٣"})
    EXPECT_TRUE(NeedsTextForm(cell)) << cell;
  const std::string tooLong(256, '1');  // more than a formula's text can hold
  for (const std::string& cell : {std::string("您好"), std::string("TRUE 的"), std::string(), tooLong})
    EXPECT_FALSE(NeedsTextForm(cell)) << cell;
  EXPECT_EQ(file.find("不导出"), std::string::npos);

  library::GroupStrip target;
  auto result = ImportCsv(file, library::GroupKind::Phrase, target);
  ASSERT_TRUE(std::holds_alternative<CsvImportCounts>(result)) << std::get<CsvImportError>(result).message;
  EXPECT_EQ(std::get<CsvImportCounts>(result).added, 35u);
  EXPECT_NE(file.find("\"=\"\"1 1/2\"\"\""), std::string::npos);
  EXPECT_EQ(std::get<CsvImportCounts>(result).blank, 0u);
  ASSERT_EQ(target.slots().size(), 3u);
  for (size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(target.slots()[g].name(), source.slots()[g].name());
    EXPECT_EQ(target.slots()[g].rows(), source.slots()[g].rows());
  }
  // Into the library it came from: nothing is new.
  result = ImportCsv(file, library::GroupKind::Phrase, source);
  EXPECT_EQ(std::get<CsvImportCounts>(result).added, 0u);
}

TEST(CsvExchangeTest, ImportAddsSkipsDuplicatesAndCreatesGroups) {
  library::GroupStrip strip = StripOf({{"问候", {"您好┃您好，请问有什么可以帮您？"}}, {" 售后", {}}});
  const std::string file = EncodeGb18030(
      "分组\t备注\t内容\r\n"
      "问候\t您好\t您好，请问有什么可以帮您？\r\n"  // already there
      " 问候 \t\t稍等\r\n"                        // blanks around the one group of that name
      "\t\t\r\n"                                   // a blank row of Excel's range
      "\t\t\t\t\r\n"                               // ... of a wider one
      "物流\t \t  \r\n"                             // a group and blanks
      "物流\r\n"
      "  物流\t快递\t\"今天发货\n明天到\"\r\n"
      "物流\t快递\t\"今天发货\n明天到\"\r\n"  // twice in the file
      "售后 \t\t退货\r\n");
  auto result = ImportCsv(file, library::GroupKind::Phrase, strip);
  ASSERT_TRUE(std::holds_alternative<CsvImportCounts>(result));
  const auto counts = std::get<CsvImportCounts>(result);
  EXPECT_EQ(counts.added, 3u);
  EXPECT_EQ(counts.skipped, 2u);
  EXPECT_EQ(counts.blank, 4u);
  EXPECT_EQ(counts.groupsCreated, 1u);
  EXPECT_EQ(strip.slots()[0].rows().back(), "稍等");
  EXPECT_EQ(strip.slots()[1].rows(), std::vector<std::string>{"退货"});
  EXPECT_EQ(strip.slots()[2].name(), "物流");
  EXPECT_EQ(strip.slots()[2].rows(), std::vector<std::string>{"快递┃今天发货\r\n明天到"});
  EXPECT_EQ(ImportSummary(counts), "导入完成：添加 3 条，跳过重复 2 条，跳过空行 4 条，新建分组 1 个");
}

TEST(CsvExchangeTest, AFaultyFileChangesNothingAndNamesItsLine) {
  using library::GroupKind;
  const struct {
    GroupKind kind;
    std::string file;
    size_t line;
    const char* message;  // when it matters
  } cases[] = {
      {GroupKind::Phrase, "", 1, nullptr},
      {GroupKind::Phrase, "名称,内容\r\n", 1, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a,b\r\n新组,only two\r\n", 3, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a,b,extra\r\n", 2, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n,a,b\r\n", 2, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a,b\r\n新组,\"x\r\ny,z\r\n", 3, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a,b\r\n新组,,订单号┃请提供\r\n", 3,
       "第3行：内容里有“┃”，发送时它前面的字会被当成备注"},
      {GroupKind::Phrase, std::string("分组,备注,内容\r\n新组,a,b") + '\0' + "c\r\n", 2, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a\x01,b\r\n", 2, nullptr},
      {GroupKind::Phrase, "分组,备注,内容\r\n新组,a,\xC2\x85\r\n", 2, nullptr},
      // A byte that is no GBK character, in a file that is no UTF-8.
      {GroupKind::Phrase, EncodeGb18030("分组,备注,内容\r\n新组,a,b\r\n新组,c,\"d\r\ne\"\r\n") + "新组,f\xFF,g\r\n", 5,
       nullptr},
      // What the quick-command editor refuses.
      {GroupKind::Command, "分组,备注,内容\r\n链接,官网,https://a.cn\r\n链接,,https://b.cn\r\n", 3,
       "第3行：快捷内容和快捷备注不能为空！"},
      {GroupKind::Command, "分组,备注,内容\r\n链接,┃,https://b.cn\r\n", 2, nullptr},
      {GroupKind::Command, "分组,备注,内容\r\n链接,记事本,C:\\notepad.exe\r\n链接,说明,\r\n", 3, nullptr},
      {GroupKind::Command, "分组,备注,内容\r\n链接,说明,打开官网\r\n", 2,
       "第2行：快捷命令内容输入有误！必须是网址链接或者是电脑程序路径！"},
  };
  for (const auto& c : cases) {
    library::GroupStrip strip = StripOf({{"问候", {"您好"}}});
    auto result = ImportCsv(c.file, c.kind, strip);
    ASSERT_TRUE(std::holds_alternative<CsvImportError>(result)) << c.file;
    const auto& error = std::get<CsvImportError>(result);
    EXPECT_EQ(error.line, c.line) << c.file;
    EXPECT_TRUE(error.message.starts_with("第" + std::to_string(c.line) + "行：")) << error.message;
    if (c.message) {
      EXPECT_EQ(error.message, c.message);
    }
    EXPECT_EQ(strip.slots().size(), 1u) << c.file;
    EXPECT_EQ(strip.slots()[0].rows().size(), 1u) << c.file;
  }
}

TEST(CsvExchangeTest, AGroupNameTooLongForAFileIsRefusedBeforeAnythingChanges) {
  const DataFolder folder(std::string(platform::kPathSeparator == '/' ? "/tmp/" : "C:\\") + "霁禾客服助手配置请勿删除");
  auto tooLong = [&](const std::vector<std::string>& names) {
    return GroupFilesTooLong(folder, library::GroupKind::Phrase, names);
  };
  std::string longName;
  for (int i = 0; i < 250; ++i) longName += "长";
  const std::string file = "分组,备注,内容\r\n短名,a,b\r\n问候,新,行\r\n" + longName.substr(0, 3 * 150) + ",a,b\r\n" + longName + ",a,b\r\n";
  library::GroupStrip strip = StripOf({{"问候", {"您好"}}});
  auto result = ImportCsv(file, library::GroupKind::Phrase, strip, tooLong);
  ASSERT_TRUE(std::holds_alternative<CsvImportError>(result));
  EXPECT_EQ(std::get<CsvImportError>(result).line, 5u);
  EXPECT_EQ(strip.slots().size(), 1u);
  // Escaped names are longer than they look: 86 upper-case letters, escaped as the second of
  // their name, take 260 characters.
  EXPECT_EQ(tooLong({"短名", std::string(86, 'a'), std::string(86, 'A')}), std::vector<size_t>{2});
  // A deep folder leaves less room for the name.
  const DataFolder deep(folder.root() + std::string(200, 'd'));
  EXPECT_EQ(GroupFilesTooLong(deep, library::GroupKind::Phrase, {std::string(60, 'x'), "短名"}), std::vector<size_t>{0});

  // An applied import can be taken back out (its save failed).
  strip = StripOf({{"问候", {"您好"}}});
  result = ImportCsv(file.substr(0, file.find(longName.substr(0, 3)) ), library::GroupKind::Phrase, strip);
  ASSERT_TRUE(std::holds_alternative<CsvImportCounts>(result));
  ASSERT_EQ(strip.slots()[0].rows().size(), 2u);
  UndoCsvImport(std::get<CsvImportCounts>(result), strip);
  EXPECT_EQ(strip.slots().size(), 1u);
  EXPECT_EQ(strip.slots()[0].rows(), std::vector<std::string>{"您好"});
}

TEST(CsvExchangeTest, ACancelledReadOrWriteStopsWithNothingMade) {
  // Records of two lines each after a blank row, so that every record starts on an odd line.
  std::string file = "分组,备注,内容\r\n,,\r\n";
  for (int i = 0; i < 3000; ++i) file += "组,备注,\"第一行\n第二行" + std::to_string(i) + "\"\r\n";
  CsvProgress progress;
  progress.cancel = true;
  auto read = ReadCsvImport(file, library::GroupKind::Phrase, &progress);
  ASSERT_TRUE(std::holds_alternative<CsvImportError>(read));
  EXPECT_EQ(std::get<CsvImportError>(read).line, 0u);
  EXPECT_LT(progress.done.load(), file.size());

  library::GroupStrip strip = StripOf({{"组", std::vector<std::string>(3000, "行")}});
  EXPECT_EQ(ExportCsv(strip, &progress), "");
}

}  // namespace
}  // namespace jihe::storage
