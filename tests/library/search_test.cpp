#include "library/search.h"

#include <algorithm>

#include "library/pinyin.h"

#include <gtest/gtest.h>

namespace jihe::library {

void PrintTo(const SearchHit& hit, std::ostream* os) {
  *os << '{' << hit.group << ',' << hit.row << (hit.team ? ",team" : "") << '}';
}

namespace {

GroupStrip Strip() {
  GroupStrip strip;
  strip.slots().emplace_back("售后", std::vector<std::string>{
                                         "退货地址┃浙江省杭州市",
                                         "换货┃寄回退货地址即可",
                                         "ＶＩＰ客户┃Order 12３",
                                     });
  strip.slots().emplace_back("旧", std::vector<std::string>{"退货地址┃删除的分组"});
  strip.slots().back().set_hidden(true);
  strip.slots().emplace_back("常用", std::vector<std::string>{
                                         "说明┃银行卡退货",
                                         "快退货┃ok",
                                         "绿色",
                                         "长┃" + std::string(70, 'x'),
                                     });
  strip.slots().emplace_back("话术", std::vector<std::string>{
                                         "亲，您好！",
                                         "卡号┃银行 账号：6222 0000",
                                         "看图[img=red.pngimg]<font color=red>再见</font>&amp;",
                                         "文件《C:\\资料\\价目.xls》",
                                         "女士",
                                         [] {
                                           std::string t;
                                           for (int i = 0; i < 63; ++i) t += "退";
                                           return t;
                                         }(),
                                         "\xF8\x80\x80",  // damaged: no character, shown as three U+FFFD
                                         "亲～\uFEFF在的",  // a Chinese input method's tilde, an unseen blank
                                         "合同《C:\\资料\\合同书.docx》",
                                         "推荐《红楼梦》《\\\\fs\\共享\\目录.pdf》",
                                         "\xED\xA0\x80",  // an encoded surrogate half: damaged as well
                                         "特价¥99",
                                     });
  return strip;
}

TEST(SearchIndexTest, FindsByTextPinyinAndFoldedFormsInRankOrder) {
  SearchIndex index(Strip());
  const std::vector<SearchHit> th = {{0, 0}, {2, 1}, {0, 1}, {2, 0}};  // remark start, remark, content
  const struct {
    std::string query;
    std::vector<SearchHit> hits;
  } kCases[] = {
      {"", {}},
      {"th", th},
      {"TH", th},
      {"tuihuo", th},
      {"tuih", th},                     // the last syllable still being typed
      {"退h", th},                      // characters and pinyin mixed
      {"t货", th},
      {"退货", th},
      {"thdz", {{0, 0}, {0, 1}}},       // the hidden group's row is not searched
      {"tuihuodizhi", {{0, 0}, {0, 1}}},
      {"tuihuodz", {{0, 0}, {0, 1}}},
      {"yinhangka", {{2, 0}}},          // 行 reads xing first; hang is its other reading
      {"yinxingka", {{2, 0}}},
      {"lvse", {{2, 2}}},               // ü typed as v or as u
      {"luse", {{2, 2}}},
      {"vip", {{0, 2}}},                // full-width letters in the row
      {"ｖｉｐ客", {{0, 2}}},           // and in the query
      {"123", {{0, 2}}},
      {"order", {{0, 2}}},
      {"tuihuox", {}},
      {"dizhith", {}},
      {std::string(64, 'x'), {{2, 3}}},  // too long for pinyin: matched literally
      {std::string(71, 'x'), {}},
      {"qinnh", {{3, 0}}},              // blanks and punctuation are skipped on both sides
      {"qin nh", {{3, 0}}},
      {"qin，nh!", {{3, 0}}},
      {"yin hang", {{2, 0}, {3, 1}}},
      {"yin'hang", {{2, 0}, {3, 1}}},
      {"62220000", {{3, 1}}},
      {"，", {}},
      {"nushi", {{3, 4}}},              // 女 reads only nv: u stands for ü
      {"kantuzaijian&", {{3, 2}}},      // the phrase as the preview shows it
      {"png", {}},                      // not its picture token, its tags or its file token
      {"red", {}},
      {"font", {}},
      {"xls", {}},
      {"wenjian", {{3, 3}}},
      {"docx", {}},                      // a file token is left out whatever its extension,
      {"ziliao", {}},
      {"hetong", {{3, 8}}},
      {"mulu", {}},                      // and on a share;
      {"tuijianhongloumeng", {{3, 9}}},  // a title in book-title marks is text
      {std::string(63, 't'), {{3, 5}}},  // the longest query still matched by pinyin
      {"yao", {}},                       // not U+8000 (耀) read from the damaged row
      {"\uFFFD\uFFFD", {{3, 6}, {3, 10}}},
      {"￥99", {{3, 11}}},             // the yuan sign as a Chinese input method types it
      {"qinzai", {{3, 7}}},
  };
  for (const auto& c : kCases) EXPECT_EQ(index.Search(c.query), c.hits) << c.query;
  // Typed one character after the other, each keystroke searching the last one's matches, and
  // each query following the one before without the box being emptied.
  SearchIndex typed(Strip());
  for (const auto& c : kCases) {
    for (size_t i = 1; i < c.query.size(); ++i)
      if ((static_cast<unsigned char>(c.query[i]) & 0xC0) != 0x80) typed.Search(c.query.substr(0, i));
    EXPECT_EQ(typed.Search(c.query), c.hits) << "typed " << c.query;
  }
}

TEST(SearchIndexTest, TheTeamsGroupsFollowTheAgentsOwnInEachRank) {
  GroupStrip team;
  team.slots().emplace_back("公告", std::vector<std::string>{"退货须知┃七天", "运费┃退货运费"});
  const std::vector<SearchHit> hits = SearchIndex(Strip(), &team).Search("th");
  const std::vector<SearchHit> expected = {{0, 0}, {0, 0, true}, {2, 1}, {0, 1}, {2, 0}, {0, 1, true}};
  EXPECT_EQ(hits, expected);
}

TEST(SearchIndexTest, RowsSentMoreOftenComeFirstWithinTheirRank) {
  const struct {
    std::vector<std::pair<SearchHit, std::uint32_t>> counts;
    std::vector<SearchHit> hits;  // for "th": remark start, remark, content
  } kCases[] = {
      {{}, {{0, 0}, {2, 1}, {0, 1}, {2, 0}}},
      {{{{2, 0}, 3}, {{0, 1}, 1}, {{2, 1}, 9}}, {{0, 0}, {2, 1}, {2, 0}, {0, 1}}},  // never above a better rank
      {{{{2, 0}, 2}, {{0, 1}, 2}}, {{0, 0}, {2, 1}, {0, 1}, {2, 0}}},               // ties in library order
      {{{{2, 0}, 1}}, {{0, 0}, {2, 1}, {2, 0}, {0, 1}}},                             // before one never sent
  };
  for (const auto& c : kCases) {
    const auto countOf = [&](const SearchHit& hit) -> std::uint32_t {
      for (const auto& [h, n] : c.counts)
        if (h == hit) return n;
      return 0;
    };
    SearchIndex index(Strip());
    index.SetSendCounts(countOf);
    EXPECT_EQ(index.Search("th"), c.hits);
    SearchIndex typed(Strip());  // the keystroke that narrows the last matches ranks them too
    typed.SetSendCounts(countOf);
    typed.Search("t");
    EXPECT_EQ(typed.Search("th"), c.hits);
  }
}

TEST(SearchIndexTest, EveryReadingOfAPolyphoneIsKnown) {
  const std::vector<std::string_view> hang = PinyinOf(U'行');
  EXPECT_NE(std::find(hang.begin(), hang.end(), "xing"), hang.end());
  EXPECT_NE(std::find(hang.begin(), hang.end(), "hang"), hang.end());
  EXPECT_EQ(PinyinOf(U'绿').front(), "lv");
  // Readings agents type for the interjections of chat text.
  for (const auto& [ch, reading] : {std::pair{U'嗯', "en"}, {U'诶', "e"}, {U'唔', "en"}, {U'嘿', "hai"}}) {
    const std::vector<std::string_view> r = PinyinOf(ch);
    EXPECT_NE(std::find(r.begin(), r.end(), reading), r.end()) << reading;
  }
  EXPECT_EQ(PinyinOf(U'𠀀').size(), 1u);  // beyond the BMP (he)
  EXPECT_TRUE(PinyinOf(U'a').empty());
}

}  // namespace
}  // namespace jihe::library
