#include "array_allocations.h"

#include <cstdlib>
#include <new>

namespace {

// Fixed storage: recording must not allocate from inside operator new[].
constexpr size_t capacity = 256;
size_t recorded[capacity];
size_t count = 0;
bool recording = false;

void* allocate(size_t size) {
    if (recording && count < capacity) {
        recorded[count++] = size;
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

namespace zelt_test {

ArrayAllocations::ArrayAllocations() {
    count = 0;
    recording = true;
}

ArrayAllocations::~ArrayAllocations() { recording = false; }

std::vector<size_t> ArrayAllocations::sizes() const {
    recording = false;
    std::vector<size_t> result(recorded, recorded + count);
    recording = true;
    return result;
}

} // namespace zelt_test

void* operator new[](size_t size) {
    if (void* memory = allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }

void operator delete[](void* memory) noexcept { std::free(memory); }

void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
