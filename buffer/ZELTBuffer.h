#ifndef ZELT_BUFFER_H
#define ZELT_BUFFER_H

#include <memory>

#include "ZELTBufferIn.h"

namespace ZELT {

/// The buffer that callers and formatters exchange: a handle that owns one
/// ZELTBufferIn and forwards every operation to it. Formatters call only these
/// virtual operations, so a derived class sees every step they take.
///
/// The operations behave as their ZELTBufferIn namesakes. After tearDown the
/// handle reads as empty, and the next operation that changes it starts a new
/// storage object.
class ZELT_API ZELTBuffer {
public:
    /// Creates an empty handle with its own storage.
    ZELTBuffer();
    /// Creates an empty handle: nothing is taken from @p other.
    ZELTBuffer(const ZELTBuffer& other);
    /// Replaces the content with @p text, as setString does.
    ZELTBuffer& operator=(const char* text);
    /// Copies @p other's content into this handle's own storage, marker 0.
    /// Assigning a handle to itself changes nothing.
    ZELTBuffer& operator=(const ZELTBuffer& other);

    virtual bool initialize();
    /// Releases the storage object; further tearDown calls do nothing.
    virtual void tearDown();
    virtual long getBufferSize() const;
    virtual long getBufReserveSize() const;
    virtual bool setBufReserveSize(long size);
    virtual char* getBufferString() const;
    virtual void clearBufferString();
    virtual bool setBufferString(const char* source, long length);
    /// Goes to the storage's setString, never through this handle's setBufferString.
    virtual bool setString(const char* text);
    virtual bool appendBufferString(const char* source, long length);
    /// Goes to the storage's appendString, never through this handle's appendBufferString.
    virtual bool appendString(const char* text);
    virtual long getMarkerPos() const;
    virtual bool setMarkerPos(long position);
    virtual char* getBufferStringFromMarker() const;

    virtual ~ZELTBuffer();

private:
    // The storage object, made anew when a handle is used after tearDown.
    ZELTBufferIn& storage();

    std::unique_ptr<ZELTBufferIn> bufferIn;
};

} // namespace ZELT

#endif
