#ifndef ZELT_BUFFER_IN_H
#define ZELT_BUFFER_IN_H

#include "ZELTExport.h"

namespace ZELT {

class ZELTBufferAccess;

/// Storage behind a ZELTBuffer: one owned, growable byte area holding the
/// content, always followed by a NUL, and a read marker into the content.
///
/// Capacity (getBufReserveSize) follows fixed growth rules; the memory behind
/// it may be larger, so that runs of appends stay linear in time. Every byte
/// past the content is zero. When an allocation fails, std::bad_alloc reaches
/// the caller and the buffer is exactly as it was before the call.
class ZELT_API ZELTBufferIn {
public:
    /// Creates a buffer without an area: size, capacity and marker 0.
    ZELTBufferIn();
    /// Creates an empty buffer: nothing is taken from @p other.
    ZELTBufferIn(const ZELTBufferIn& other);
    /// Replaces the content with a copy of @p other's, capacity size + 30 %,
    /// marker 0. On allocation failure the target is left as it was.
    ZELTBufferIn& operator=(const ZELTBufferIn& other);

    /// Sets the marker to 0; returns true.
    virtual bool initialize();
    /// Releases the area: size, capacity and marker 0. The buffer stays usable.
    virtual void tearDown();
    /// Number of content bytes.
    virtual long getBufferSize() const;
    /// Capacity of the area in bytes; 0 without an area.
    virtual long getBufReserveSize() const;
    /// Grows the capacity to @p size; a non-zero request never shrinks it.
    /// 0 fits the area to the content plus its terminator. Returns true.
    virtual bool setBufReserveSize(long size);
    /// Start of the content, NUL-terminated; null without an area.
    virtual char* getBufferString() const;
    /// Empties the content and zero-fills the area; capacity stays, marker 0.
    virtual void clearBufferString();
    /// Replaces the content with @p length bytes of @p source (which may lie in
    /// this buffer). Grows to length + 30 % when the area is too small. A marker
    /// beyond the new content returns to 0. Returns false, changing nothing,
    /// for a negative length or a null source with a positive length.
    virtual bool setBufferString(const char* source, long length);
    /// setBufferString with @p text up to its NUL; false for a null text.
    virtual bool setString(const char* text);
    /// Appends @p length bytes of @p source (which may lie in this buffer).
    /// Refusals as setBufferString; the marker stays.
    virtual bool appendBufferString(const char* source, long length);
    /// appendBufferString with @p text up to its NUL; false for a null text.
    virtual bool appendString(const char* text);
    /// Offset of the first unread byte.
    virtual long getMarkerPos() const;
    /// Moves the marker to @p position; false, marker unchanged, when the
    /// position lies outside 0 to the size.
    virtual bool setMarkerPos(long position);
    /// The unread text, from the marker on; null without an area.
    virtual char* getBufferStringFromMarker() const;

    /// Releases the area.
    virtual ~ZELTBufferIn();

private:
    // The library's formatters compose elements straight into the area.
    friend class ZELTBufferAccess;

    // Installs a new area of @p allocation bytes and the given capacity,
    // holding @p length bytes of @p source, then @p extra bytes of @p more.
    // Throws before any change.
    void replaceArea(long allocation, long capacity, const char* source, long length, const char* more = nullptr,
                     long extra = 0);
    // Raises the capacity within the memory already allocated, zeroing the
    // bytes it brings into the area.
    void exposeCapacity(long capacity);

    char* bufferString;
    long bufReserveSize;
    long bufferSize;
    long markerPos;
    // Bytes actually allocated, at least bufReserveSize. Only the area up to
    // bufReserveSize is initialised: the rest is zeroed as the capacity grows
    // over it, so memory set aside for growth is never touched early.
    long allocatedSize;
};

} // namespace ZELT

#endif
