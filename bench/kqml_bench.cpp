// Parsing time of messages with many distinct tags: the time per tag must not
// grow with the number of tags (duplicate-tag checks are constant-time).
#include <benchmark/benchmark.h>

#include <string>

#include "KQmessage/KQML.h"

namespace {

std::string ListOfTags(int n) {
  std::string text = "(h";
  for (int i = 1; i <= n; ++i) text += " :t" + std::to_string(i) + " " + std::to_string(i);
  return text + ")";
}

void BM_ParseDistinctTags(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string text = ListOfTags(n);
  for (auto _ : state) {
    const char* cursor = text.c_str();
    auto message = kohport::TKQstructure::ParseMessage(&cursor);
    benchmark::DoNotOptimize(message.get());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ParseDistinctTags)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PrintDistinctTags(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string text = ListOfTags(n);
  const char* cursor = text.c_str();
  const auto message = kohport::TKQstructure::ParseMessage(&cursor);
  for (auto _ : state) benchmark::DoNotOptimize(message->ToString());
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PrintDistinctTags)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
