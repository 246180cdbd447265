#ifndef ZELT_BENCH_ALLOC_STATS_H
#define ZELT_BENCH_ALLOC_STATS_H

#include <cstddef>

namespace zelt_bench {

/// Heap use seen by the bench binary's replacement of the global operator
/// new and delete (alloc_stats.cpp). Sizes are the usable sizes of the blocks,
/// so they are what the heap really hands out. The benchmarks run on one
/// thread; the counters are not meant for concurrent use.
struct AllocStats {
    size_t current = 0;     // bytes held now
    size_t peak = 0;        // most bytes held at once since the last window opened
    size_t allocations = 0; // blocks handed out since the program started
};

/// A snapshot of the counters.
AllocStats allocStats();

/// Measures what happens between its construction and a call of its
/// members: extra bytes held at the peak and blocks handed out.
class AllocWindow {
public:
    AllocWindow();
    /// Most bytes held at once beyond what was held when the window opened.
    size_t peakBytes() const;
    size_t allocations() const;

private:
    AllocStats start;
};

/// malloc/free-style functions that go through the counted operator new and
/// delete, for libraries that take allocation hooks.
void* countedMalloc(size_t size);
void countedFree(void* block);

} // namespace zelt_bench

#endif
