// Replaces the global operator new and delete of the bench binary (libzelt.so
// and the peer libraries bind to these too) to count blocks and bytes.
#include "alloc_stats.h"

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace zelt_bench {

namespace {

AllocStats stats;

void* allocate(size_t size) noexcept {
    void* const block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        stats.current += malloc_usable_size(block);
        stats.peak = std::max(stats.peak, stats.current);
        ++stats.allocations;
    }
    return block;
}

void* allocateOrThrow(size_t size) {
    void* const block = allocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void release(void* block) noexcept {
    if (block != nullptr) {
        stats.current -= malloc_usable_size(block);
        std::free(block);
    }
}

} // namespace

AllocStats allocStats() { return stats; }

AllocWindow::AllocWindow() {
    stats.peak = stats.current;
    start = stats;
}

size_t AllocWindow::peakBytes() const { return stats.peak - start.current; }

size_t AllocWindow::allocations() const { return stats.allocations - start.allocations; }

void* countedMalloc(size_t size) { return allocate(size); }

void countedFree(void* block) { release(block); }

} // namespace zelt_bench

void* operator new(size_t size) { return zelt_bench::allocateOrThrow(size); }
void* operator new[](size_t size) { return zelt_bench::allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return zelt_bench::allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return zelt_bench::allocate(size); }
void operator delete(void* block) noexcept { zelt_bench::release(block); }
void operator delete[](void* block) noexcept { zelt_bench::release(block); }
void operator delete(void* block, size_t) noexcept { zelt_bench::release(block); }
void operator delete[](void* block, size_t) noexcept { zelt_bench::release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { zelt_bench::release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { zelt_bench::release(block); }
