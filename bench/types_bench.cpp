// One element at a time, per value type: what a writer or reader call costs,
// and how many allocations a long run of small appends makes.
#include <limits>

#include "document.h"

namespace zelt_bench {

namespace {

using ZELT::ZELTFx;

// A value type with its writer and reader: the only per-type code.
template <typename T, auto Write, auto Read>
struct Kind {
    using Value = T;
    static constexpr auto write = Write;
    static constexpr auto read = Read;
};

using Bool = Kind<bool, &ZELTFx::serializeBool, &ZELTFx::deserializeBool>;
using Char = Kind<char, &ZELTFx::serializeChar, &ZELTFx::deserializeChar>;
using UChar = Kind<unsigned char, &ZELTFx::serializeUChar, &ZELTFx::deserializeUChar>;
using Int8 = Kind<signed char, &ZELTFx::serializeInt8_t, &ZELTFx::deserializeInt8_t>;
using UInt8 = Kind<unsigned char, &ZELTFx::serializeUInt8_t, &ZELTFx::deserializeUInt8_t>;
using Int16 = Kind<short, &ZELTFx::serializeInt16_t, &ZELTFx::deserializeInt16_t>;
using UInt16 = Kind<unsigned short, &ZELTFx::serializeUInt16_t, &ZELTFx::deserializeUInt16_t>;
using Int32 = Kind<int, &ZELTFx::serializeInt32_t, &ZELTFx::deserializeInt32_t>;
using UInt32 = Kind<unsigned int, &ZELTFx::serializeUInt32_t, &ZELTFx::deserializeUInt32_t>;
using Int64 = Kind<long, &ZELTFx::serializeInt64_t, &ZELTFx::deserializeInt64_t>;
using UInt64 = Kind<unsigned long, &ZELTFx::serializeUInt64_t, &ZELTFx::deserializeUInt64_t>;
using String = Kind<std::string, &ZELTFx::serializeString, &ZELTFx::deserializeString>;

// Elements per iteration: enough to hide the loop, few enough to stay in cache.
constexpr size_t batch = 1024;

// A batch of values spread over every digit count (strings: 8 to 40 letters).
template <typename T>
std::vector<T> sampleValues() {
    std::mt19937_64 random(batch);
    std::vector<T> values(batch);
    for (auto&& value : values) { // auto&&: std::vector<bool> hands out proxies
        if constexpr (std::is_same_v<T, std::string>) {
            value = randomLetters(random, 8, 40);
        } else if constexpr (std::is_same_v<T, bool>) {
            value = (random() & 1) != 0;
        } else {
            const uint64_t bits = random();
            value = static_cast<T>(bits >> (random() % std::numeric_limits<uint64_t>::digits));
        }
    }
    return values;
}

const char* argument(const std::string& value) { return value.c_str(); }

template <typename T>
const T& argument(const T& value) {
    return value;
}

void reportElements(benchmark::State& state) {
    using benchmark::Counter;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch));
    state.counters["per_elem"] =
        Counter(static_cast<double>(batch), Counter::kIsIterationInvariantRate | Counter::kInvert);
}

// Appends a batch of elements to a buffer that is emptied (capacity kept) each time.
template <typename K>
void Write(benchmark::State& state) {
    const auto fx = makeFormatter();
    const auto values = sampleValues<typename K::Value>();
    ZELT::ZELTBuffer out;
    bool ok = true;
    for (auto _ : state) {
        out.clearBufferString();
        for (const auto& value : values) {
            ok = (fx.get()->*K::write)(argument(value), "value", out) && ok;
        }
    }
    if (!ok) {
        state.SkipWithError("a writer failed");
    }
    reportElements(state);
}

// Reads the batch back from the start of the buffer each time, checking every value.
template <typename K>
void Read(benchmark::State& state) {
    const auto fx = makeFormatter();
    const auto values = sampleValues<typename K::Value>();
    ZELT::ZELTBuffer in;
    for (const auto& value : values) {
        (fx.get()->*K::write)(argument(value), "value", in);
    }
    typename K::Value got{};
    bool ok = true;
    for (auto _ : state) {
        in.setMarkerPos(0);
        for (const auto& value : values) {
            ok = (fx.get()->*K::read)("value", in, got) && got == value && ok;
        }
    }
    if (!ok) {
        state.SkipWithError("a reader did not give the value written");
    }
    reportElements(state);
}

#define ZELT_TYPE_BENCHMARKS(K)                                                                                        \
    BENCHMARK_TEMPLATE(Write, K);                                                                                      \
    BENCHMARK_TEMPLATE(Read, K)

ZELT_TYPE_BENCHMARKS(Bool);
ZELT_TYPE_BENCHMARKS(Char);
ZELT_TYPE_BENCHMARKS(UChar);
ZELT_TYPE_BENCHMARKS(Int8);
ZELT_TYPE_BENCHMARKS(UInt8);
ZELT_TYPE_BENCHMARKS(Int16);
ZELT_TYPE_BENCHMARKS(UInt16);
ZELT_TYPE_BENCHMARKS(Int32);
ZELT_TYPE_BENCHMARKS(UInt32);
ZELT_TYPE_BENCHMARKS(Int64);
ZELT_TYPE_BENCHMARKS(UInt64);
ZELT_TYPE_BENCHMARKS(String);

// 100,000 appends of ten bytes to one buffer: the growth policy decides how
// often the area is reallocated, so the count should stay far below 100.
void AppendAllocations(benchmark::State& state) {
    constexpr int appends = 100'000;
    size_t allocations = 0;
    size_t peak = 0;
    long size = 0;
    for (auto _ : state) {
        ZELT::ZELTBuffer buffer;
        const AllocWindow window;
        for (int i = 0; i < appends; ++i) {
            buffer.appendString("0123456789");
        }
        allocations = window.allocations();
        peak = window.peakBytes();
        size = buffer.getBufferSize();
    }
    state.counters["allocs"] = static_cast<double>(allocations);
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * appends);
}
BENCHMARK(AppendAllocations)->Unit(benchmark::kMicrosecond);

} // namespace

} // namespace zelt_bench
