// scanElement against the typed string reader, element by element over the
// document's text: the same records, the label written with its Name
// attribute (which only scanElement reads) or as a plain element.
#include <map>
#include <utility>

#include "ZELTScan.h"
#include "document.h"

namespace zelt_bench {

namespace {

constexpr const char* recordTags[] = {tag::id, tag::serial, tag::delta, tag::flag, tag::level, tag::text, tag::label};
constexpr size_t elementsPerRecord = std::size(recordTags);

// Each reader takes the element at the marker that should carry @p tag.
struct StringReader {
    static constexpr const char* labelSpec = tag::label; // the string reader refuses attributes
    std::unique_ptr<ZELT::ZELTFx> fx = makeFormatter();
    std::string value;
    bool read(ZELT::ZELTBuffer& in, const char* tag) { return fx->deserializeString(tag, in, value); }
};

struct Scanner {
    static constexpr const char* labelSpec = tag::label;
    ZELT::ZELTElement element;
    bool read(ZELT::ZELTBuffer& in, const char* /*tag*/) { return ZELT::scanElement(in, element); }
};

struct AttributeScanner : Scanner {
    static constexpr const char* labelSpec = tag::labelSpec;
};

ZELT::ZELTBuffer& documentText(long count, const char* labelSpec) {
    static std::map<std::pair<long, std::string>, ZELT::ZELTBuffer> made;
    ZELT::ZELTBuffer& out = made[{count, labelSpec}];
    if (out.getBufferSize() == 0) {
        const auto fx = makeFormatter();
        for (const Record& r : records(count)) {
            fx->serializeInt32_t(r.id, tag::id, out);
            fx->serializeUInt64_t(r.serial, tag::serial, out);
            fx->serializeInt64_t(r.delta, tag::delta, out);
            fx->serializeBool(r.flag, tag::flag, out);
            fx->serializeUInt8_t(r.level, tag::level, out);
            fx->serializeString(r.text.c_str(), tag::text, out);
            fx->serializeString(r.label.c_str(), labelSpec, out);
        }
    }
    return out;
}

// Reads every element of the document in order, once per iteration.
template <typename Reader>
void ReadElements(benchmark::State& state) {
    const long count = state.range(0);
    ZELT::ZELTBuffer& in = documentText(count, Reader::labelSpec);
    Reader reader;
    bool ok = true;
    for (auto _ : state) {
        in.setMarkerPos(0);
        for (long record = 0; record < count; ++record) {
            for (const char* tag : recordTags) {
                ok = reader.read(in, tag) && ok;
            }
        }
    }
    if (!ok || in.getMarkerPos() != in.getBufferSize()) {
        state.SkipWithError("an element was not read");
        return;
    }
    const auto elements = static_cast<double>(count) * elementsPerRecord;
    state.counters["per_elem"] =
        benchmark::Counter(elements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK_TEMPLATE(ReadElements, StringReader)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ReadElements, Scanner)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ReadElements, AttributeScanner)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace zelt_bench
