#ifndef ZELT_BUFFER_ACCESS_H
#define ZELT_BUFFER_ACCESS_H

// Internal to the library, never installed.

#include <algorithm>
#include <climits>

#include "ZELTBuffer.h"
#include "ZELTShortBytes.h"

namespace ZELT {

// The one way into a buffer's memory from outside buffer/: a formatter
// composes an element where the buffer would have copied it, and skips the
// copy. Every observable effect stays that of appendBufferString.
class ZELTBufferAccess {
public:
    // 30 % of an incoming length, truncated, without overflowing for any
    // length (most appends take this, so the common case is one multiplication).
    static long growthAllowance(long length) {
        if (length <= LONG_MAX / 30) {
            return static_cast<long>(static_cast<unsigned long>(length) * 30 / 100);
        }
        return length / 100 * 30 + length % 100 * 30 / 100;
    }

    // Appends @p length bytes, which the caller writes at the place returned
    // (right away, before any other use of the buffer), when they fit the
    // memory already allocated: the capacity grows as appendBufferString's
    // would and the bytes it brings in are zeroed. Returns null, changing
    // nothing, when appending would need a new area. Nothing here can fail.
    ZELT_INLINE static char* appendInPlace(ZELTBufferIn& in, long length) {
        if (length >= in.allocatedSize - in.bufferSize) {
            return nullptr;
        }
        // Within the allocated memory, so no sum below overflows.
        const long newSize = in.bufferSize + length;
        long capacity = in.bufReserveSize;
        if (capacity <= newSize + 1) {
            capacity = std::max(capacity + length + growthAllowance(length), newSize + 1);
            if (capacity > in.allocatedSize) {
                return nullptr;
            }
            // Only what the new bytes do not cover needs zeroing: the old
            // capacity's bytes already are zero. The bytes to come stay clear
            // of it, so they may be written after.
            const long zeroFrom = std::max(in.bufReserveSize, newSize);
            shortBytes::zero(in.bufferString + zeroFrom, static_cast<size_t>(capacity - zeroFrom),
                             in.bufferString + in.allocatedSize);
            in.bufReserveSize = capacity;
        }
        char* const at = in.bufferString + in.bufferSize;
        in.bufferSize = newSize;
        return at;
    }

    // appendInPlace on a handle's storage, made anew after tearDown as the
    // handle's own operations would.
    ZELT_INLINE static char* appendInPlace(ZELTBuffer& out, long length) {
        return appendInPlace(out.bufferIn ? *out.bufferIn : out.storage(), length);
    }

    // Moves the marker of a plain handle whose content was just read to
    // @p position, which lies within it: what setMarkerPos does there,
    // without a call for each element read.
    static void moveMarker(ZELTBuffer& in, long position) { in.bufferIn->markerPos = position; }
};

} // namespace ZELT

#endif
