// A record of 1,000 int fields read from text holding them in written order
// and in reverse order: matching fields by name must not grow with the square
// of their number.
#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "ZELTRecord.h"
#include "document.h"

namespace zelt_bench {

namespace {

constexpr size_t wideFields = 1000;

const std::array<std::string, wideFields>& fieldNames() {
    static const auto names = [] {
        std::array<std::string, wideFields> made;
        for (size_t i = 0; i < wideFields; ++i) {
            made[i] = "field" + std::to_string(i);
        }
        return made;
    }();
    return names;
}

struct Wide {
    std::array<int, wideFields> values{};
    bool reversed = false; // describes the fields last to first, to write them so
    template <class Fields>
    void fields(Fields& f) {
        const auto& names = fieldNames();
        for (size_t k = 0; k < wideFields; ++k) {
            const size_t i = reversed ? wideFields - 1 - k : k;
            f(names[i].c_str(), values[i]);
        }
    }
};

void readWide(benchmark::State& state) {
    const auto fx = makeFormatter();
    Wide written;
    for (size_t i = 0; i < wideFields; ++i) {
        written.values[i] = static_cast<int>(i * 7919);
    }
    written.reversed = state.range(0) != 0;
    ZELT::ZELTBuffer in;
    ZELT::writeValue(*fx, in, "wide", written);
    Wide got;
    for (auto _ : state) {
        in.setMarkerPos(0);
        if (!ZELT::readValue(*fx, in, "wide", got)) {
            state.SkipWithError("the record was refused");
            return;
        }
        benchmark::DoNotOptimize(got.values.data());
    }
    if (got.values != written.values) {
        state.SkipWithError("the record read differs");
    }
    state.counters["per_field_ns"] = benchmark::Counter(static_cast<double>(wideFields),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}

BENCHMARK(readWide)->Name("Records/wide_read/reversed")->Arg(1);
BENCHMARK(readWide)->Name("Records/wide_read/in_order")->Arg(0);

} // namespace

} // namespace zelt_bench
