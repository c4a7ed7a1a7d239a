// How fast the search box filters:
//
//   build/native/jihe_bench --benchmark_filter=Search
//
// 100,000 rows of customer-service text in 20 groups: remarks of a few Chinese words, contents
// mixing Chinese sentences with order numbers, prices and addresses.
// BM_SearchKeystroke: typical queries from a single pinyin initial to a mixed one, typed one
// character after the other as the box sees them; Time is the query's slowest keystroke, on
// average, in wall-clock time, and worst_ms the slowest of all runs (target: under 2 ms).
// With ranked=1 the same with 2,000 rows sent before, which each rank puts first.
// BM_SearchBackspace: the query typed, then taken back with Backspace; Time is the slowest of
// those keystrokes.
// BM_SearchIndexBuild: building the index again after a library change; index_MB is the heap the
// built index holds, after_key_MB the same once a first keystroke has filled its buffers, and
// after_day_MB once forty long queries were typed.
// BM_SendCountsApply: the counts looked up for every row, at an index build and after each send.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <random>

#include "library/search.h"
#include "storage/send_counts.h"

namespace {

using namespace jihe;

constexpr const char* kWords[] = {
    "退货", "地址", "快递", "发货", "物流", "亲", "您好", "请问", "还有", "什么", "可以", "帮您", "的", "吗",
    "订单", "号码", "售后", "客服", "换货", "尺码", "颜色", "优惠", "活动", "包邮", "价格", "付款", "已经",
    "我们", "会", "尽快", "处理", "感谢", "支持", "质量", "问题", "图片", "拍下", "备注", "仓库", "明天",
    "今天", "下午", "安排", "银行", "行程", "长期", "重量", "会员", "积分", "兑换", "七天", "无理由", "绿色",
    "浙江省", "杭州市", "西湖区", "文三路", "号", "收件人", "电话", "签收", "破损", "补发", "退款", "到账",
    "，", "。", "！", "？", " ", "VIP", "SKU", "Order", "ok", "ｍｍ", "ＸＬ", "http://shop.example.com/",
};

std::string RandomText(std::mt19937& rng, int words) {
  std::uniform_int_distribution<size_t> pick(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> number(0, 9999999);
  std::string text;
  for (int i = 0; i < words; ++i) {
    if (rng() % 12 == 0) text += std::to_string(number(rng));
    else text += kWords[pick(rng)];
  }
  return text;
}

const library::GroupStrip& BenchStrip() {
  static const library::GroupStrip strip = [] {
    std::mt19937 rng(20240601);
    library::GroupStrip s;
    for (int g = 0; g < 20; ++g) {
      std::vector<std::string> rows;
      for (int r = 0; r < 5000; ++r) {
        std::string row;
        if (rng() % 4 != 0) row = RandomText(rng, 2 + static_cast<int>(rng() % 3)) + "┃";
        row += RandomText(rng, 8 + static_cast<int>(rng() % 20));
        rows.push_back(std::move(row));
      }
      s.slots().emplace_back("分组" + std::to_string(g + 1), std::move(rows));
    }
    return s;
  }();
  return strip;
}

constexpr const char* kQueries[] = {"t", "th", "tuih", "thdz", "tuihuodizhi", "退h", "kuaidi", "vip", "12", "银行"};

// The query's keystrokes: its prefixes that end on a whole character.
std::vector<std::string> Keystrokes(std::string_view query) {
  std::vector<std::string> out;
  for (size_t i = 1; i <= query.size(); ++i) {
    if (i == query.size() || (static_cast<unsigned char>(query[i]) & 0xC0) != 0x80)
      out.emplace_back(query.substr(0, i));
  }
  return out;
}

// The time the agent waits: a larger search shares its work with a second thread, whose time a
// thread's own CPU time would leave out.
double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// 2,000 rows spread over the library, sent 1 to 50 times.
const storage::SendCounts& BenchCounts() {
  static const storage::SendCounts counts = [] {
    storage::SendCounts c;
    std::mt19937 rng(7);
    const library::GroupStrip& strip = BenchStrip();
    for (int i = 0; i < 2000; ++i) {
      const library::Group& group = strip.slots()[rng() % strip.slots().size()];
      const std::string& row = group.rows()[rng() % group.rows().size()];
      for (unsigned n = rng() % 50 + 1; n > 0; --n) c.Add({"短语", group.name(), row});
    }
    return c;
  }();
  return counts;
}

void ApplyCounts(library::SearchIndex& index) {
  const library::GroupStrip& strip = BenchStrip();
  const storage::SendCounts& counts = BenchCounts();
  index.SetSendCounts([&](const library::SearchHit& hit) {
    const library::Group& group = strip.slots()[hit.group];
    return counts.Count({"短语", group.name(), group.rows()[hit.row]});
  });
}

void BM_SearchKeystroke(benchmark::State& state) {
  static library::SearchIndex plain(BenchStrip());
  static library::SearchIndex ranked = [] {
    library::SearchIndex index(BenchStrip());
    ApplyCounts(index);
    return index;
  }();
  library::SearchIndex& index = state.range(1) ? ranked : plain;
  const char* query = kQueries[state.range(0)];
  const std::vector<std::string> keys = Keystrokes(query);
  size_t hits = 0;
  double slowest = 0;
  std::vector<double> perKey(keys.size());
  for (auto _ : state) {
    index.Search("");  // a new query from an empty box
    double iterationSlowest = 0;
    for (size_t k = 0; k < keys.size(); ++k) {
      const double start = Seconds();
      hits = index.Search(keys[k]).size();
      benchmark::DoNotOptimize(hits);
      const double took = Seconds() - start;
      perKey[k] += took;
      iterationSlowest = std::max(iterationSlowest, took);
    }
    state.SetIterationTime(iterationSlowest);
    slowest = std::max(slowest, iterationSlowest);
  }
  state.counters["worst_ms"] = slowest * 1000;
  std::string each;
  for (size_t k = 0; k < keys.size(); ++k) {
    char ms[32];
    std::snprintf(ms, sizeof ms, " %.2f(%zu)", perKey[k] * 1000 / static_cast<double>(state.iterations()), index.Search(keys[k]).size());
    each += ms;
  }
  state.SetLabel(std::string(query) + " -> " + std::to_string(hits) + " of " + std::to_string(index.rowCount()) +
                 "; ms per keystroke:" + each);
}
BENCHMARK(BM_SearchKeystroke)
    ->ArgsProduct({benchmark::CreateDenseRange(0, std::size(kQueries) - 1, 1), {0, 1}})
    ->ArgNames({"query", "ranked"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The query typed in full, then taken back one character at a time with Backspace down to its
// first: Time is the slowest of those keystrokes.
void BM_SearchBackspace(benchmark::State& state) {
  static library::SearchIndex index(BenchStrip());
  const char* query = kQueries[state.range(0)];
  const std::vector<std::string> keys = Keystrokes(query);
  double slowest = 0;
  for (auto _ : state) {
    index.Search("");
    for (const std::string& key : keys) index.Search(key);
    double iterationSlowest = 0;
    for (size_t k = keys.size() - 1; k-- > 0;) {
      const double start = Seconds();
      benchmark::DoNotOptimize(index.Search(keys[k]).size());
      iterationSlowest = std::max(iterationSlowest, Seconds() - start);
    }
    state.SetIterationTime(iterationSlowest);
    slowest = std::max(slowest, iterationSlowest);
  }
  state.counters["worst_ms"] = slowest * 1000;
  state.SetLabel(query);
}
BENCHMARK(BM_SearchBackspace)
    ->DenseRange(1, std::size(kQueries) - 1, 1)
    ->ArgName("query")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SendCountsApply(benchmark::State& state) {
  library::SearchIndex index(BenchStrip());
  BenchCounts();
  for (auto _ : state) ApplyCounts(index);
}
BENCHMARK(BM_SendCountsApply)->Unit(benchmark::kMillisecond);

void BM_SearchIndexBuild(benchmark::State& state) {
  const library::GroupStrip& strip = BenchStrip();
  for (auto _ : state) {
    library::SearchIndex index(strip);
    benchmark::DoNotOptimize(index.rowCount());
  }
  // The heap in use before, with the index and after a first keystroke (its buffers are kept).
  const auto inUse = [] {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<double>(m.uordblks + m.hblkhd) / (1024 * 1024);
  };
  const double before = inUse();
  {
    library::SearchIndex index(strip);
    state.counters["index_MB"] = inUse() - before;
    index.Search("t");
    state.counters["after_key_MB"] = inUse() - before;
    // A day of searching: forty addresses typed in full pinyin, a character at a time, each
    // past the matches the index keeps per query.
    const std::string address = "zhejiangshenghangzhoushixihuquwensanlu";
    for (int query = 0; query < 40; ++query) {
      index.Search("");
      for (const std::string& key : Keystrokes(address)) index.Search(key);
    }
    state.counters["after_day_MB"] = inUse() - before;
  }
}
BENCHMARK(BM_SearchIndexBuild)->Unit(benchmark::kMillisecond);

}  // namespace
