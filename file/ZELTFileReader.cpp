#include "ZELTFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "ZELTFileIn.h"
#include "ZELTPlainBuffer.h"

namespace ZELT {

ZELTFileReader::ZELTFileReader(const char* path)
    : name(path != nullptr ? path : ""), descriptor(-1), owned(true), ended(false), dropped(0), scratchSize(0) {
    if (path == nullptr) {
        failure = fileFailure("", "no path given", 0);
        return;
    }
    do {
        descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        failure = fileFailure(name, "cannot open", errno);
        return;
    }
    // Only a hint for read-ahead; a pipe or device refuses it harmlessly.
    static_cast<void>(::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL));
}

ZELTFileReader::ZELTFileReader(int fd, const char* givenName)
    : name(givenName != nullptr ? givenName : "descriptor " + std::to_string(fd)), descriptor(fd), owned(false),
      ended(false), dropped(0), scratchSize(0) {
    if (fd < 0) {
        failure = fileFailure(name, "cannot read", EBADF);
    }
}

ZELTFileReader::~ZELTFileReader() {
    if (owned && descriptor >= 0) {
        ::close(descriptor);
    }
}

bool ZELTFileReader::isOpen() const { return failure.empty(); }

bool ZELTFileReader::fill(ZELTBuffer& in, long window, std::string* error) {
    if (!isOpen()) {
        if (error != nullptr) {
            *error = failure;
        }
        return false;
    }
    const char* const text = in.getBufferString();
    const long size = text != nullptr ? std::max(in.getBufferSize(), 0L) : 0;
    const long marker = std::clamp(in.getMarkerPos(), 0L, size);
    if (marker > 0) {
        if (!in.setBufferString(text + marker, size - marker) || !in.setMarkerPos(0)) {
            return reportFileFailure(error, name, "the buffer refused the text", 0);
        }
        dropped += marker;
    }
    const long unread = in.getBufferSize();
    const long wanted = std::min(std::max({window, unread, 1L}), largestRead);
    char* room = nullptr;
    if (isPlainBuffer(in)) {
        // The bytes are read straight into its area, past the content, and
        // then appended from there, which copies nothing.
        // Two bytes over: the area grows once content and terminator reach its capacity.
        in.setBufReserveSize(unread + wanted + 2);
        room = in.getBufferString() + unread;
    } else {
        if (scratchSize < wanted) {
            scratch.reset(new char[static_cast<size_t>(wanted)]);
            scratchSize = wanted;
        }
        room = scratch.get();
    }
    ssize_t got = 0;
    do {
        got = ::read(descriptor, room, static_cast<size_t>(wanted));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return reportFileFailure(error, name, "cannot read", errno);
    }
    if (got == 0) {
        ended = true;
        return false;
    }
    // A plain buffer's bytes are already in place: appending them there moves nothing.
    return in.appendBufferString(room, got) || reportFileFailure(error, name, "the buffer refused the text", 0);
}

bool ZELTFileReader::atEnd() const { return ended; }

long ZELTFileReader::consumed() const { return dropped; }

} // namespace ZELT
