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

    /// \copydoc ZELTBufferIn::initialize
    virtual bool initialize();
    /// Releases the storage object; further tearDown calls do nothing.
    virtual void tearDown();
    /// \copydoc ZELTBufferIn::getBufferSize
    virtual long getBufferSize() const;
    /// \copydoc ZELTBufferIn::getBufReserveSize
    virtual long getBufReserveSize() const;
    /// \copydoc ZELTBufferIn::setBufReserveSize
    virtual bool setBufReserveSize(long size);
    /// \copydoc ZELTBufferIn::getBufferString
    virtual char* getBufferString() const;
    /// \copydoc ZELTBufferIn::clearBufferString
    virtual void clearBufferString();
    /// \copydoc ZELTBufferIn::setBufferString
    virtual bool setBufferString(const char* source, long length);
    /// Replaces the content with @p text, as ZELTBufferIn::setString does. Goes
    /// to the storage directly, never through this handle's setBufferString.
    virtual bool setString(const char* text);
    /// \copydoc ZELTBufferIn::appendBufferString
    virtual bool appendBufferString(const char* source, long length);
    /// Appends @p text, as ZELTBufferIn::appendString does. Goes to the
    /// storage directly, never through this handle's appendBufferString.
    virtual bool appendString(const char* text);
    /// \copydoc ZELTBufferIn::getMarkerPos
    virtual long getMarkerPos() const;
    /// \copydoc ZELTBufferIn::setMarkerPos
    virtual bool setMarkerPos(long position);
    /// \copydoc ZELTBufferIn::getBufferStringFromMarker
    virtual char* getBufferStringFromMarker() const;

    /// Releases the storage object.
    virtual ~ZELTBuffer();

private:
    friend class ZELTBufferAccess;

    // The storage object, made anew when a handle is used after tearDown.
    ZELTBufferIn& storage();

    std::unique_ptr<ZELTBufferIn> bufferIn;
};

} // namespace ZELT

#endif
