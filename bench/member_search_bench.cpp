// Typing into the members dialog's search box on a dimension of 300,000
// members (Chinese names and Latin codes): each keystroke filters the dialog's
// member tree through its search index, as the dialog does. The index is built
// on the first keystroke after the dialog opened, which is timed apart. The
// aim is under 50 ms a keystroke.
//
// A cube holds at most 262,144 members in a dimension, so the dialog's editor
// works here on a dimension state filled with the members directly, as the
// model fills it from a cube: everything from the state on is the dialog's
// own path.
//
//   bench_member_search [--members=N] [google-benchmark flags]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "model/dimension_state.h"
#include "model/grid_info.h"
#include "view/dim_values_editor.h"

namespace qd {
namespace {

int gMembers = 300000;

// A name of two or three Han characters from a few hundred common ones,
// then a code so that every member is distinct.
std::string MemberName(int i) {
  static const char* const kHan[] = {"北", "京", "南", "方", "上", "海", "广", "州", "深", "圳",
                                     "天", "津", "重", "庆", "成", "都", "武", "汉", "西", "安",
                                     "杭", "苏", "长", "沙", "郑", "济", "青", "岛", "大", "连"};
  constexpr int n = sizeof(kHan) / sizeof(kHan[0]);
  std::string s = kHan[i % n];
  s += kHan[(i / n) % n];
  if (i % 3 == 0) s += kHan[(i / (n * n)) % n];
  s += " C" + std::to_string(i);
  return s;
}

struct TSearchFixture {
  TGridInfo Model;
  TDimensionState State{&Model, 0, nullptr};
  std::unique_ptr<TDimValuesEditor> Editor;

  TSearchFixture() {
    for (int i = 0; i < gMembers; ++i) {
      auto m = std::make_unique<TDimMember>();
      m->Id = i;
      m->Caption = MemberName(i);
      m->DatabasePosition = i;
      m->DatabaseSortKey = i;
      State.Members.push_back(std::move(m));
    }
    State.InitGroups();
    State.DisplayName = "member";
    Open();
  }
  void Open() {
    Editor = std::make_unique<TDimValuesEditor>(Model, State);
    Editor->Open();
  }
};

TSearchFixture& Fixture() {
  static TSearchFixture fixture;
  return fixture;
}

// Opening the dialog's editor: both trees filled and ordered, the captions
// handed to the index's thread.
void BM_Open(benchmark::State& state) {
  TSearchFixture& f = Fixture();
  for (auto _ : state) f.Open();
  state.counters["members"] = gMembers;
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(3);

// The first keystroke, typed once the index was built in the background (the
// dialog is read before anyone types), and typed at once, waiting for the
// rest of the index.
void FirstKeystroke(benchmark::State& state, bool waitForIndex) {
  TSearchFixture& f = Fixture();
  for (auto _ : state) {
    state.PauseTiming();
    f.Open();
    while (waitForIndex && !f.Editor->SearchIndexReady())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.ResumeTiming();
    f.Editor->SetSearch("b");
  }
  state.counters["members"] = gMembers;
}
void BM_FirstKeystroke(benchmark::State& state) { FirstKeystroke(state, true); }
void BM_FirstKeystrokeAtOnce(benchmark::State& state) { FirstKeystroke(state, false); }
BENCHMARK(BM_FirstKeystroke)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FirstKeystrokeAtOnce)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Typing "bjc12" one key at a time, then clearing: six filters a round.
void BM_Keystrokes(benchmark::State& state) {
  TSearchFixture& f = Fixture();
  f.Editor->SetSearch("x");  // the index exists
  static const char* const kTyped[] = {"b", "bj", "bjc", "bjc1", "bjc12", ""};
  for (auto _ : state)
    for (const char* text : kTyped) f.Editor->SetSearch(text);
  state.SetItemsProcessed(state.iterations() * 6);
  state.counters["ms_per_key"] = benchmark::Counter(
      static_cast<double>(state.iterations() * 6), benchmark::Counter::kIsRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_Keystrokes)->Unit(benchmark::kMillisecond);

// Pinyin and a caption piece that match many members.
void BM_BroadKeystroke(benchmark::State& state) {
  TSearchFixture& f = Fixture();
  f.Editor->SetSearch("x");
  bool flip = false;
  for (auto _ : state) f.Editor->SetSearch((flip = !flip) ? "bei" : "京");
}
BENCHMARK(BM_BroadKeystroke)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qd

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--members=", 10) == 0) qd::gMembers = std::atoi(argv[i] + 10);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
