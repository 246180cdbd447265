#include "ZELTBuffer.h"

namespace ZELT {

ZELTBuffer::ZELTBuffer() : bufferIn(std::make_unique<ZELTBufferIn>()) { ZELTBuffer::initialize(); }

ZELTBuffer::ZELTBuffer(const ZELTBuffer& /*other*/) : ZELTBuffer() {}

ZELTBuffer& ZELTBuffer::operator=(const char* text) {
    storage().setString(text);
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

bool ZELTBuffer::initialize() { return storage().initialize(); }

void ZELTBuffer::tearDown() {
    if (bufferIn) {
        bufferIn->tearDown();
        bufferIn.reset();
    }
}

long ZELTBuffer::getBufferSize() const { return bufferIn ? bufferIn->getBufferSize() : 0; }

long ZELTBuffer::getBufReserveSize() const { return bufferIn ? bufferIn->getBufReserveSize() : 0; }

bool ZELTBuffer::setBufReserveSize(long size) { return storage().setBufReserveSize(size); }

char* ZELTBuffer::getBufferString() const { return bufferIn ? bufferIn->getBufferString() : nullptr; }

void ZELTBuffer::clearBufferString() { storage().clearBufferString(); }

bool ZELTBuffer::setBufferString(const char* source, long length) {
    return storage().setBufferString(source, length);
}

bool ZELTBuffer::setString(const char* text) { return storage().setString(text); }

bool ZELTBuffer::appendBufferString(const char* source, long length) {
    return storage().appendBufferString(source, length);
}

bool ZELTBuffer::appendString(const char* text) { return storage().appendString(text); }

long ZELTBuffer::getMarkerPos() const { return bufferIn ? bufferIn->getMarkerPos() : 0; }

bool ZELTBuffer::setMarkerPos(long position) { return storage().setMarkerPos(position); }

char* ZELTBuffer::getBufferStringFromMarker() const {
    return bufferIn ? bufferIn->getBufferStringFromMarker() : nullptr;
}

ZELTBuffer::~ZELTBuffer() { ZELTBuffer::tearDown(); }

ZELTBufferIn& ZELTBuffer::storage() {
    if (!bufferIn) {
        bufferIn = std::make_unique<ZELTBufferIn>();
    }
    return *bufferIn;
}

} // namespace ZELT
