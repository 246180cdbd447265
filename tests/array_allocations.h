#ifndef ZELT_TEST_ARRAY_ALLOCATIONS_H
#define ZELT_TEST_ARRAY_ALLOCATIONS_H

#include <cstddef>
#include <vector>

namespace zelt_test {

// Records the sizes of the array allocations made while an instance lives:
// the test binary replaces the global operator new[] to observe them.
class ArrayAllocations {
public:
    ArrayAllocations();
    ~ArrayAllocations();
    ArrayAllocations(const ArrayAllocations&) = delete;
    ArrayAllocations& operator=(const ArrayAllocations&) = delete;

    std::vector<size_t> sizes() const;
};

} // namespace zelt_test

#endif
