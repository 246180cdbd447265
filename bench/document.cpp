#include "document.h"

#include <cstdint>
#include <map>

#include <sys/mman.h>

namespace zelt_bench {

std::unique_ptr<ZELT::ZELTFx> makeFormatter() {
    ZELT::ZELTFx* created = nullptr;
    ZELT::ZELTFx::instantiate(created, 0);
    std::unique_ptr<ZELT::ZELTFx> fx(created);
    char* const unused = nullptr;
    fx->setConvBuffer(unused, 0);
    return fx;
}

std::string randomLetters(std::mt19937_64& random, size_t shortest, size_t longest) {
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const size_t length = shortest + random() % (longest - shortest + 1);
    std::string text(length, ' ');
    for (char& c : text) {
        c = alphabet[random() % (sizeof alphabet - 1)];
    }
    return text;
}

namespace {

Records generate(long count) {
    // mt19937_64's output is fixed by the standard, so every machine gets the same records.
    std::mt19937_64 random(20240601);
    Records data(static_cast<size_t>(count));
    for (Record& record : data) {
        // One draw per statement: argument evaluation order is unspecified.
        record.id = static_cast<int32_t>(random());
        // Shifted draws spread the numbers over every digit count.
        const uint64_t serialBits = random();
        record.serial = serialBits >> (random() % 64);
        const uint64_t deltaBits = random();
        record.delta = -1 - static_cast<int64_t>(deltaBits >> (1 + random() % 63));
        record.flag = (random() & 1) != 0;
        record.level = static_cast<uint8_t>(random());
        record.text = randomLetters(random, 8, 40);
        record.label = randomLetters(random, 4, 12);
    }
    return data;
}

} // namespace

const Records& records(long count) {
    static std::map<long, Records> made;
    auto found = made.find(count);
    if (found == made.end()) {
        found = made.emplace(count, generate(count)).first;
    }
    return found->second;
}

void adviseHugePages(char* area, size_t size) {
    constexpr uintptr_t huge = 2U << 20;
    const auto begin = (reinterpret_cast<uintptr_t>(area) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<uintptr_t>(area) + size) & ~(huge - 1);
    if (size >= 2 * huge && end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

void reportDocument(benchmark::State& state, size_t recordCount, size_t bytes, const AllocWindow& window) {
    using benchmark::Counter;
    // Seconds per record (the console shows e.g. "180n" for 180 ns).
    state.counters["per_rec"] =
        Counter(static_cast<double>(recordCount), Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["peak_bytes"] = static_cast<double>(window.peakBytes());
    state.counters["peak_per_byte"] = static_cast<double>(window.peakBytes()) / static_cast<double>(bytes);
    state.counters["allocs"] = static_cast<double>(window.allocations()) / static_cast<double>(state.iterations());
}

} // namespace zelt_bench
