#include "ZELTFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "ZELTAtomicFile.h"

namespace ZELT {

namespace {

// Windows smaller than a page would only add write calls.
constexpr long minimumWindow = 4096;

} // namespace

ZELTFileBuffer::ZELTFileBuffer(const char* path, long windowSize)
    : file(std::make_unique<ZELTAtomicFile>(path)), window(std::clamp(windowSize, minimumWindow, LONG_MAX / 2)) {
    if (file->isOpen()) {
        // Two bytes over: the storage grows once content and terminator reach its capacity.
        ZELTBuffer::setBufReserveSize(window + 2);
    }
}

bool ZELTFileBuffer::isOpen() const { return file->isOpen(); }

bool ZELTFileBuffer::close(std::string* error) {
    // commit() runs even after a failure: it reports "already closed" or the first reason.
    const bool written = writeWindow();
    const bool closed = file->commit() && written;
    ZELTBuffer::tearDown();
    if (!closed && error != nullptr) {
        *error = file->reason();
    }
    return closed;
}

long ZELTFileBuffer::getWindow() const { return window; }

long ZELTFileBuffer::getWrittenSize() const { return file->written(); }

void ZELTFileBuffer::tearDown() {
    writeWindow();
    ZELTBuffer::tearDown();
}

bool ZELTFileBuffer::setBufferString(const char* source, long length) {
    if (length < 0 || (source == nullptr && length > 0) || !isOpen()) {
        return false;
    }
    if (length <= window) {
        return ZELTBuffer::setBufferString(source, length);
    }
    // Too long for the window: straight to the file, and the window is left empty.
    const bool written = file->write(source, length);
    ZELTBuffer::clearBufferString();
    return written;
}

bool ZELTFileBuffer::setString(const char* text) {
    return text != nullptr && setBufferString(text, static_cast<long>(std::strlen(text)));
}

bool ZELTFileBuffer::appendBufferString(const char* source, long length) {
    if (length < 0 || (source == nullptr && length > 0) || !isOpen()) {
        return false;
    }
    if (length <= window - getBufferSize()) {
        return ZELTBuffer::appendBufferString(source, length);
    }
    // The window is written before it is refilled: @p source may lie in it.
    if (!file->write(getBufferString(), getBufferSize())) {
        ZELTBuffer::clearBufferString();
        return false;
    }
    return ZELTFileBuffer::setBufferString(source, length);
}

bool ZELTFileBuffer::appendString(const char* text) {
    return text != nullptr && appendBufferString(text, static_cast<long>(std::strlen(text)));
}

ZELTFileBuffer::~ZELTFileBuffer() = default;

bool ZELTFileBuffer::writeWindow() {
    const bool written = file->write(getBufferString(), getBufferSize());
    ZELTBuffer::clearBufferString();
    return written;
}

} // namespace ZELT
