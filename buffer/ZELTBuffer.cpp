#include "ZELTBuffer.h"

namespace ZELT {

// The handle makes its storage object itself, so it is exactly a
// ZELTBufferIn: the forwarding calls below need no virtual dispatch.

ZELTBuffer::ZELTBuffer() : bufferIn(std::make_unique<ZELTBufferIn>()) { ZELTBuffer::initialize(); }

ZELTBuffer::ZELTBuffer(const ZELTBuffer& /*other*/) : ZELTBuffer() {}

ZELTBuffer& ZELTBuffer::operator=(const char* text) {
    storage().ZELTBufferIn::setString(text);
    return *this;
}

ZELTBuffer& ZELTBuffer::operator=(const ZELTBuffer& other) {
    if (this != &other) {
        // Written out: a conditional expression would copy-construct, which takes nothing.
        if (other.bufferIn) {
            storage() = *other.bufferIn;
        } else {
            storage() = ZELTBufferIn();
        }
    }
    return *this;
}

bool ZELTBuffer::initialize() { return storage().ZELTBufferIn::initialize(); }

void ZELTBuffer::tearDown() {
    if (bufferIn) {
        bufferIn->tearDown();
        bufferIn.reset();
    }
}

long ZELTBuffer::getBufferSize() const { return bufferIn ? bufferIn->ZELTBufferIn::getBufferSize() : 0; }

long ZELTBuffer::getBufReserveSize() const { return bufferIn ? bufferIn->ZELTBufferIn::getBufReserveSize() : 0; }

bool ZELTBuffer::setBufReserveSize(long size) { return storage().ZELTBufferIn::setBufReserveSize(size); }

char* ZELTBuffer::getBufferString() const { return bufferIn ? bufferIn->ZELTBufferIn::getBufferString() : nullptr; }

void ZELTBuffer::clearBufferString() { storage().ZELTBufferIn::clearBufferString(); }

bool ZELTBuffer::setBufferString(const char* source, long length) {
    return storage().ZELTBufferIn::setBufferString(source, length);
}

bool ZELTBuffer::setString(const char* text) { return storage().ZELTBufferIn::setString(text); }

bool ZELTBuffer::appendBufferString(const char* source, long length) {
    return storage().ZELTBufferIn::appendBufferString(source, length);
}

bool ZELTBuffer::appendString(const char* text) { return storage().ZELTBufferIn::appendString(text); }

long ZELTBuffer::getMarkerPos() const { return bufferIn ? bufferIn->ZELTBufferIn::getMarkerPos() : 0; }

bool ZELTBuffer::setMarkerPos(long position) { return storage().ZELTBufferIn::setMarkerPos(position); }

char* ZELTBuffer::getBufferStringFromMarker() const {
    return bufferIn ? bufferIn->ZELTBufferIn::getBufferStringFromMarker() : nullptr;
}

ZELTBuffer::~ZELTBuffer() { ZELTBuffer::tearDown(); }

ZELTBufferIn& ZELTBuffer::storage() {
    if (!bufferIn) {
        bufferIn = std::make_unique<ZELTBufferIn>();
    }
    return *bufferIn;
}

} // namespace ZELT
