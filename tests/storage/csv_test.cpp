#include "storage/csv.h"

#include <gtest/gtest.h>

#include "storage/csv_exchange.h"
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

TEST(CsvTest, DecodesBomUtf8AndGbk) {
  const std::string text = "分组,备注,内容";
  EXPECT_EQ(DecodeCsvBytes(std::string(kUtf8Bom) + text), text);
  EXPECT_EQ(DecodeCsvBytes(text), text);
  EXPECT_EQ(DecodeCsvBytes(EncodeGb18030(text)), text);
  // GBK bytes that happen to start like UTF-8 are still GBK when the whole is not UTF-8.
  EXPECT_EQ(DecodeCsvBytes(EncodeGb18030("涓枃测试")), "涓枃测试");
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
      {"售后", {"退货┃=7天无理由", "两行\r\n第二行", "引号\"和,逗号", "-减号开头", "备┃注┃内容"}},
      {"@特殊, 名", {" 前后空格 ", "'=已有撇号"}},
  });
  source.slots().push_back({"已删除", {"不导出"}});
  source.slots().back().set_hidden(true);
  const std::string file = ExportCsv(source);
  EXPECT_TRUE(file.starts_with(kUtf8Bom));
  EXPECT_NE(file.find("'=7天无理由"), std::string::npos);
  EXPECT_EQ(file.find("不导出"), std::string::npos);

  library::GroupStrip target;
  auto result = ImportCsv(file, target);
  ASSERT_TRUE(std::holds_alternative<CsvImportCounts>(result));
  EXPECT_EQ(std::get<CsvImportCounts>(result).added, 7u);
  ASSERT_EQ(target.slots().size(), 2u);
  for (size_t g = 0; g < 2; ++g) {
    EXPECT_EQ(target.slots()[g].name(), source.slots()[g].name());
    EXPECT_EQ(target.slots()[g].rows(), source.slots()[g].rows());
  }
}

TEST(CsvExchangeTest, ImportAddsSkipsDuplicatesAndCreatesGroups) {
  library::GroupStrip strip = StripOf({{"问候", {"您好┃您好，请问有什么可以帮您？"}}});
  const std::string file = EncodeGb18030(
      "分组\t备注\t内容\r\n"
      "问候\t您好\t您好，请问有什么可以帮您？\r\n"  // already there
      "问候\t\t稍等\r\n"
      "\t\t\r\n"  // a blank row of Excel's range
      "物流\t快递\t\"今天发货\n明天到\"\r\n"
      "物流\t快递\t\"今天发货\n明天到\"\r\n");  // twice in the file
  auto result = ImportCsv(file, strip);
  ASSERT_TRUE(std::holds_alternative<CsvImportCounts>(result));
  const auto counts = std::get<CsvImportCounts>(result);
  EXPECT_EQ(counts.added, 2u);
  EXPECT_EQ(counts.skipped, 2u);
  EXPECT_EQ(counts.groupsCreated, 1u);
  EXPECT_EQ(strip.slots()[0].rows().back(), "稍等");
  EXPECT_EQ(strip.slots()[1].name(), "物流");
  EXPECT_EQ(strip.slots()[1].rows(), std::vector<std::string>{"快递┃今天发货\r\n明天到"});
  EXPECT_EQ(ImportSummary(counts), "导入完成：添加 2 条，跳过重复 2 条，新建分组 1 个");
}

TEST(CsvExchangeTest, AFaultyFileChangesNothingAndNamesItsLine) {
  const struct {
    const char* file;
    size_t line;
  } cases[] = {
      {"", 1},
      {"名称,内容\r\n", 1},
      {"分组,备注,内容\r\n新组,a,b\r\n新组,only two\r\n", 3},
      {"分组,备注,内容\r\n新组,a,b,extra\r\n", 2},
      {"分组,备注,内容\r\n,a,b\r\n", 2},
      {"分组,备注,内容\r\n新组,a,\r\n", 2},
      {"分组,备注,内容\r\n新组,a,b\r\n新组,\"x\r\ny,z\r\n", 3},
  };
  for (const auto& c : cases) {
    library::GroupStrip strip = StripOf({{"问候", {"您好"}}});
    auto result = ImportCsv(c.file, strip);
    ASSERT_TRUE(std::holds_alternative<CsvImportError>(result)) << c.file;
    EXPECT_EQ(std::get<CsvImportError>(result).line, c.line) << c.file;
    EXPECT_TRUE(std::get<CsvImportError>(result).message.starts_with("第" + std::to_string(c.line) + "行："));
    EXPECT_EQ(strip.slots().size(), 1u) << c.file;
    EXPECT_EQ(strip.slots()[0].rows().size(), 1u) << c.file;
  }
}

}  // namespace
}  // namespace jihe::storage
