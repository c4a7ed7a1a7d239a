// How fast the chat side works on the in-memory desktop:
//
//   build/native/jihe_bench --benchmark_filter='Follow|Send'
//
// BM_FollowPass: one follow pass over 200 top-level windows, the followed chat window lowest, so
// the walk reads every window (the loop itself then rests 300 ms, so a pass should cost well
// under a millisecond).
// BM_Send*: one send's own work beside its fixed waits. The waits run on the virtual clock, so the
// measured time is what a send adds to them; "fixed_waits_ms" is their sum (target: under 20 ms
// above it).
#include <benchmark/benchmark.h>

#include "chat/follow_loop.h"
#include "chat/send_engine.h"

// The in-memory platform of the tests, compiled in here as the benchmark has no other copy.
#include "../tests/fakes/fake_desktop.cpp"

namespace {

using namespace jihe;
using testing::EventLog;

void BM_FollowPass(benchmark::State& state) {
  EventLog log;
  testing::FakeDesktop desktop{log};
  testing::FakeWaiter waiter{log, false};
  settings::Options options;
  for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
  options.Set(settings::Option::跟随QQ, true);
  options.Set(settings::Option::跟随到右边, true);
  const platform::WindowId panel = desktop.Add({"霁禾客服助手", "JihePanel", {900, 100, 1100, 700}});
  for (int i = 0; i < 198; ++i) {
    switch (i % 4) {
      case 0: desktop.Add({"", "Shell_TrayWnd", {0, 0, 1280, 40}}); break;
      case 1: desktop.Add({"提示 " + std::to_string(i), "tooltips_class32", {10, 10, 300, 60}}); break;
      case 2: desktop.Add({"文档 " + std::to_string(i) + " - 记事本", "Notepad", {20, 20, 900, 800}}); break;
      default: desktop.Add({"系统设置", "TXGuiFoundation", {20, 20, 700, 800}}); break;
    }
  }
  desktop.Add({"客户甲", "TXGuiFoundation", {200, 100, 800, 800}});
  chat::FollowState follow;
  for (auto _ : state) {
    const auto result = chat::FollowPass(desktop, waiter, options, follow, panel);
    benchmark::DoNotOptimize(result);
    if (result.outcome != chat::FollowPassResult::Outcome::Docked) state.SkipWithError("no docking");
    log.Clear();
  }
  state.counters["windows"] = 200;
}
BENCHMARK(BM_FollowPass)->Unit(benchmark::kMicrosecond);

class BenchHost : public chat::SendHost {
 public:
  bool Paused() const override { return false; }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource) const override { return row; }
  platform::WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view) override {}
  std::optional<std::string> AskValue(std::string_view) override { return std::nullopt; }
  std::string row;
  platform::WindowId chat = 0;
};

void RunSend(benchmark::State& state, const char* className, const std::string& row) {
  EventLog log;
  testing::FakeDesktop desktop{log};
  testing::FakeClipboard clipboard{log};
  testing::FakeKeyboard keyboard{log};
  testing::FakeWaiter waiter{log};
  settings::Options options;
  options.Set(settings::Option::自动点发送, true);
  BenchHost host;
  host.row = row;
  host.chat = desktop.Add({"客户甲", className, {100, 100, 700, 800}});
  chat::SendContext ctx{desktop, clipboard, keyboard, waiter, options, host, "/data/img"};
  std::int64_t waits = 0;
  for (auto _ : state) {
    const std::int64_t before = log.now();
    benchmark::DoNotOptimize(chat::SendPhrase(ctx, chat::SendMode::ListClick));
    waits = log.now() - before;
    log.Clear();
  }
  state.counters["fixed_waits_ms"] = static_cast<double>(waits);
}

const std::string kLongText = [] {
  std::string s;
  for (int i = 0; i < 200; ++i) s += "您好，这是一段较长的客服回复文字。\r\n";
  return s;
}();

void BM_SendPlainText(benchmark::State& state) { RunSend(state, "TXGuiFoundation", "问候┃" + kLongText); }
void BM_SendRichToQQ(benchmark::State& state) {
  RunSend(state, "TXGuiFoundation", kLongText + "[img=a.pngimg]" + kLongText + "[img=b.pngimg]");
}
void BM_SendWeChatPicturesAndFile(benchmark::State& state) {
  RunSend(state, "ChatWnd", "《C:\\报价.xlsx》" + kLongText + "[img=a.pngimg][img=b.pngimg][img=c.pngimg]");
}
BENCHMARK(BM_SendPlainText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SendRichToQQ)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SendWeChatPicturesAndFile)->Unit(benchmark::kMicrosecond);

}  // namespace
