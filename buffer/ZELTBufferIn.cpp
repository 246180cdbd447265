#include "ZELTBufferIn.h"

#include "ZELTBufferAccess.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace ZELT {

namespace {

// Capacity arithmetic that would overflow is an allocation that cannot succeed.
long checkedAdd(long a, long b) {
    long sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        throw std::bad_alloc();
    }
    return sum;
}

bool isValidSource(const char* source, long length) {
    return length >= 0 && (source != nullptr || length == 0);
}

// Smallest real allocation for a reported capacity during appends: doubling
// keeps a run of appends linear, whatever the reported capacity does.
constexpr long minimumAllocation = 64;

long geometricAllocation(long capacity, long allocated) {
    const long doubled = allocated > LONG_MAX / 2 ? LONG_MAX : allocated * 2;
    return std::max({capacity, doubled, minimumAllocation});
}

// Large areas are filled page by page from fresh memory; where the system
// offers transparent huge pages on request, asking for them turns 512 page
// faults into one (most of the time of a large write on such a system,
// measured). A hint: nothing changes where it is not honoured.
constexpr long hugePageSize = 2L << 20;

void adviseHugePages(char* area, long size) {
    if (size < 2 * hugePageSize) {
        return;
    }
    const auto huge = static_cast<std::uintptr_t>(hugePageSize);
    const auto address = reinterpret_cast<std::uintptr_t>(area);
    char* const begin = area + (huge - address % huge) % huge;
    char* const end = area + size - (address + static_cast<std::uintptr_t>(size)) % huge;
    madvise(begin, static_cast<size_t>(end - begin), MADV_HUGEPAGE);
}

} // namespace

ZELTBufferIn::ZELTBufferIn()
    : bufferString(nullptr), bufReserveSize(0), bufferSize(0), markerPos(0), allocatedSize(0) {
    ZELTBufferIn::initialize();
}

ZELTBufferIn::ZELTBufferIn(const ZELTBufferIn& /*other*/) : ZELTBufferIn() {}

ZELTBufferIn& ZELTBufferIn::operator=(const ZELTBufferIn& other) {
    // The old area lives until the copy is made: the source may be this very
    // buffer, and a failed allocation must leave the target as it was.
    char* const oldArea = bufferString;
    const long oldReserve = bufReserveSize;
    const long oldSize = bufferSize;
    const long oldMarker = markerPos;
    const long oldAllocated = allocatedSize;

    const char* const source = other.bufferString;
    const long length = other.bufferSize;
    bufferString = nullptr;
    bufReserveSize = bufferSize = markerPos = allocatedSize = 0;
    try {
        setBufferString(source, length);
    } catch (...) {
        delete[] bufferString;
        bufferString = oldArea;
        bufReserveSize = oldReserve;
        bufferSize = oldSize;
        markerPos = oldMarker;
        allocatedSize = oldAllocated;
        throw;
    }
    delete[] oldArea;
    return *this;
}

bool ZELTBufferIn::initialize() {
    markerPos = 0;
    return true;
}

void ZELTBufferIn::tearDown() {
    if (bufferString == nullptr) {
        return;
    }
    delete[] bufferString;
    bufferString = nullptr;
    bufReserveSize = bufferSize = markerPos = allocatedSize = 0;
}

long ZELTBufferIn::getBufferSize() const { return bufferSize; }

long ZELTBufferIn::getBufReserveSize() const { return bufReserveSize; }

bool ZELTBufferIn::setBufReserveSize(long size) {
    if (size == 0) {
        // Fits the memory too, releasing what geometric growth set aside.
        const long fit = checkedAdd(bufferSize, 1);
        if (bufferString == nullptr || allocatedSize != fit) {
            replaceArea(fit, fit, bufferString, bufferSize);
        }
        return true;
    }
    if (size <= bufReserveSize) {
        return true;
    }
    if (allocatedSize < size) {
        replaceArea(size, size, bufferString, bufferSize);
    } else {
        exposeCapacity(size);
    }
    return true;
}

char* ZELTBufferIn::getBufferString() const { return bufferString; }

void ZELTBufferIn::clearBufferString() {
    if (bufferString != nullptr) {
        std::memset(bufferString, 0, static_cast<size_t>(bufReserveSize));
    }
    bufferSize = 0;
    markerPos = 0;
}

bool ZELTBufferIn::setBufferString(const char* source, long length) {
    if (!isValidSource(source, length)) {
        return false;
    }
    long capacity = bufReserveSize;
    if (length >= bufReserveSize) {
        capacity = std::max(checkedAdd(length, ZELTBufferAccess::growthAllowance(length)), checkedAdd(length, 1));
    }
    if (allocatedSize < capacity) {
        replaceArea(capacity, capacity, source, length);
    } else {
        // In place: copy first (the source may lie in this area), then clear
        // what held content and what the capacity newly takes in; the rest
        // is zero already, so the cost follows the content, not the area.
        if (length > 0) {
            std::memmove(bufferString, source, static_cast<size_t>(length));
        }
        if (bufferSize > length) {
            std::memset(bufferString + length, 0, static_cast<size_t>(bufferSize - length));
        }
        if (capacity > bufReserveSize) {
            const long zeroFrom = std::max(bufReserveSize, length);
            std::memset(bufferString + zeroFrom, 0, static_cast<size_t>(capacity - zeroFrom));
        }
        bufReserveSize = capacity;
    }
    bufferSize = length;
    if (markerPos > bufferSize) {
        markerPos = 0;
    }
    return true;
}

bool ZELTBufferIn::setString(const char* text) {
    if (text == nullptr) {
        return false;
    }
    return setBufferString(text, static_cast<long>(std::strlen(text)));
}

bool ZELTBufferIn::appendBufferString(const char* source, long length) {
    if (!isValidSource(source, length)) {
        return false;
    }
    // Most appends fit the memory already allocated. The source may lie in
    // this area, even overlap the bytes written, but never the bytes zeroed
    // for a larger capacity: those lie past the old capacity and the new content.
    if (char* const at = ZELTBufferAccess::appendInPlace(*this, length)) {
        shortBytes::move(at, source, static_cast<size_t>(length));
        return true;
    }
    // A new area, out of line, so that the common case above stays small.
    const auto appendToNewArea = [this, source, length]() __attribute__((noinline)) {
        // Here the capacity is always too small: it never exceeds the memory allocated.
        const long newSize = checkedAdd(bufferSize, length);
        const long needed = checkedAdd(newSize, 1);
        const long capacity =
            std::max(checkedAdd(checkedAdd(bufReserveSize, length), ZELTBufferAccess::growthAllowance(length)), needed);
        replaceArea(geometricAllocation(capacity, allocatedSize), capacity, bufferString, bufferSize, source,
                    length);
        bufferSize = newSize;
        return true;
    };
    return appendToNewArea();
}

bool ZELTBufferIn::appendString(const char* text) {
    if (text == nullptr) {
        return false;
    }
    return appendBufferString(text, static_cast<long>(std::strlen(text)));
}

long ZELTBufferIn::getMarkerPos() const { return markerPos; }

bool ZELTBufferIn::setMarkerPos(long position) {
    if (position < 0 || position > bufferSize) {
        return false;
    }
    markerPos = position;
    return true;
}

char* ZELTBufferIn::getBufferStringFromMarker() const {
    return bufferString == nullptr ? nullptr : bufferString + markerPos;
}

ZELTBufferIn::~ZELTBufferIn() { ZELTBufferIn::tearDown(); }

void ZELTBufferIn::replaceArea(long allocation, long capacity, const char* source, long length, const char* more,
                               long extra) {
    char* const area = new char[static_cast<size_t>(allocation)];
    adviseHugePages(area, allocation);
    // Both sources may lie in the old area, so it is released only after copying.
    if (length > 0) {
        std::memcpy(area, source, static_cast<size_t>(length));
    }
    if (extra > 0) {
        std::memcpy(area + length, more, static_cast<size_t>(extra));
    }
    std::memset(area + length + extra, 0, static_cast<size_t>(capacity - length - extra));
    delete[] bufferString;
    bufferString = area;
    allocatedSize = allocation;
    bufReserveSize = capacity;
}

void ZELTBufferIn::exposeCapacity(long capacity) {
    std::memset(bufferString + bufReserveSize, 0, static_cast<size_t>(capacity - bufReserveSize));
    bufReserveSize = capacity;
}

} // namespace ZELT
