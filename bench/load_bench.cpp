// Loading a text into a ZELTBuffer (setBufferString into a new buffer)
// against the least that can be done: a memcpy of the same bytes into fresh
// memory. Both pay for fresh pages; both ask for huge pages when large.
#include <cstring>
#include <map>
#include <memory>

#include "document.h"

namespace zelt_bench {

namespace {

const std::string& documentText(long count) {
    static std::map<long, std::string> made;
    std::string& text = made[count];
    if (text.empty()) {
        text = limitText(records(count));
    }
    return text;
}

void setCounters(benchmark::State& state, size_t bytes) {
    state.counters["per_byte"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
    state.counters["bytes"] = static_cast<double>(bytes);
}

void LoadZelt(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    for (auto _ : state) {
        ZELT::ZELTBuffer in;
        in.setBufferString(text.data(), static_cast<long>(text.size()));
        benchmark::DoNotOptimize(in.getBufferString());
    }
    setCounters(state, text.size());
}

void LoadMemcpy(benchmark::State& state) {
    const std::string& text = documentText(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<char[]> copy(new char[text.size()]);
        adviseHugePages(copy.get(), text.size());
        std::memcpy(copy.get(), text.data(), text.size());
        benchmark::DoNotOptimize(copy.get());
    }
    setCounters(state, text.size());
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    for (const long size : documentSizes) {
        benchmark->Arg(size);
    }
    benchmark->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(LoadZelt)->Apply(sizes);
BENCHMARK(LoadMemcpy)->Apply(sizes);

} // namespace zelt_bench
