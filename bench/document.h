#ifndef ZELT_BENCH_DOCUMENT_H
#define ZELT_BENCH_DOCUMENT_H

// The document benchmark: N records of seven fields written as one text and
// read back, by zelt and by each peer library, with the same harness.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ZELTFx.h"
#include "alloc_stats.h"

namespace zelt_bench {

struct Record {
    int32_t id;
    uint64_t serial;
    int64_t delta; // always negative
    bool flag;
    uint8_t level;
    std::string text;  // 8 to 40 letters
    std::string label; // written with the Name attribute "nm"
};

using Records = std::vector<Record>;

/// The element tags, shared by every library's form of the document.
namespace tag {
constexpr char id[] = "id";
constexpr char serial[] = "serial";
constexpr char delta[] = "delta";
constexpr char flag[] = "flag";
constexpr char level[] = "level";
constexpr char text[] = "text";
constexpr char label[] = "label";
constexpr char labelSpec[] = "label|nm"; // zelt's compound name (tag|Name) for the label
constexpr char labelName[] = "nm";
} // namespace tag

/// A zelt formatter ready for use (conversion buffer set).
std::unique_ptr<ZELT::ZELTFx> makeFormatter();

/// @p shortest to @p longest random letters.
std::string randomLetters(std::mt19937_64& random, size_t shortest, size_t longest);

/// @p count records made by a fixed-seed generator: the same on every run.
/// Each count is generated once and kept, so it is never part of a measurement.
const Records& records(long count);

/// True when the first six fields of @p got match @p want.
inline bool sameReadFields(const Record& got, const Record& want) {
    return got.id == want.id && got.serial == want.serial && got.delta == want.delta && got.flag == want.flag &&
           got.level == want.level && got.text == want.text;
}

/// Calls @p field(tag, value) for the six fields every reader checks, in
/// order, the uint8 as unsigned and the text as a C string; the label is left
/// to the caller, since every library writes its attribute its own way.
template <typename Field>
void forEachCheckedField(const Record& r, Field field) {
    field(tag::id, r.id);
    field(tag::serial, r.serial);
    field(tag::delta, r.delta);
    field(tag::flag, r.flag);
    field(tag::level, unsigned{r.level});
    field(tag::text, r.text.c_str());
}

/// Asks for transparent huge pages over a large fresh area, as zelt's buffer
/// does for its large areas, so that hand-written code competes on equal terms.
void adviseHugePages(char* area, size_t size);

/// The document as the hand-written limit writes it; zelt must produce exactly these bytes.
std::string limitText(const Records& data);

/// The record counts every library is measured at.
constexpr long documentSizes[] = {10'000, 100'000, 1'000'000};

/// Sets the counters of a document benchmark: per_rec (CPU seconds per record),
/// bytes (the text), peak_bytes (heap held at once beyond what the benchmark
/// held before its loop), peak_per_byte and allocs (per iteration).
void reportDocument(benchmark::State& state, size_t recordCount, size_t bytes, const AllocWindow& window);

/// A library under test provides:
///   using Output = ...;                             what write returns; owns the text
///   static std::string_view text(const Output&);
///   Output write(const Records&);                   the whole document
///   bool read(Output&, const Records&);             reads back the first six fields of
///                                                   every record and checks them
///   static constexpr bool readable;                 false: write only
///   static constexpr bool limitForm;                true: must match limitText byte for byte
/// Each iteration makes and releases everything it needs, the text included.
template <typename Library>
void writeDocument(benchmark::State& state) {
    const Records& data = records(state.range(0));
    Library library;
    size_t bytes = 0;
    {
        const auto first = library.write(data);
        bytes = Library::text(first).size();
        if constexpr (Library::limitForm) {
            if (Library::text(first) != limitText(data)) {
                state.SkipWithError("the text differs from the hand-written limit's");
                return;
            }
        }
    }
    const AllocWindow window;
    for (auto _ : state) {
        const auto output = library.write(data);
        benchmark::DoNotOptimize(Library::text(output).data());
    }
    reportDocument(state, data.size(), bytes, window);
    if constexpr (Library::limitForm) {
        state.counters["same_as_limit"] = 1; // checked above, before the loop
    }
}

/// Reads the text that the library wrote before the loop, once per iteration.
template <typename Library>
void readDocument(benchmark::State& state) {
    const Records& data = records(state.range(0));
    Library library;
    auto input = library.write(data);
    bool ok = library.read(input, data);
    const AllocWindow window;
    for (auto _ : state) {
        ok = library.read(input, data) && ok;
    }
    if (!ok) {
        state.SkipWithError("reading back did not give the records written");
        return;
    }
    reportDocument(state, data.size(), Library::text(input).size(), window);
}

/// Registers Document/write/NAME/N (and Document/read/NAME/N when the library
/// reads) for every size. Call from a namespace-scope initializer.
template <typename Library>
bool registerDocument(const char* name) {
    const std::string suffix = std::string("/") + name;
    auto configure = [](benchmark::internal::Benchmark* benchmark) {
        for (const long size : documentSizes) {
            benchmark->Arg(size);
        }
        benchmark->Unit(benchmark::kMillisecond);
    };
    configure(benchmark::RegisterBenchmark(("Document/write" + suffix).c_str(), writeDocument<Library>));
    if constexpr (Library::readable) {
        configure(benchmark::RegisterBenchmark(("Document/read" + suffix).c_str(), readDocument<Library>));
    }
    return true;
}

} // namespace zelt_bench

#endif
