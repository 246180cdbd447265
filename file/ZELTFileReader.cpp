#include "ZELTFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "ZELTFileSystem.h"
#include "ZELTPlainBuffer.h"

namespace ZELT {

namespace {

// An element longer than the window is read in steps of this part of what the
// buffer holds: geometric, so that its length costs a logarithmic number of
// fills and a linear time, and small, so that the area it grows into, with the
// old one beside it while it is copied, stays about twice the element.
constexpr long growthDivisor = 4;

// A buffer whose capacity exceeds this many times what a fill needs is fitted
// first: the memory a long element took goes once the element is read.
constexpr long excessFactor = 4;

// Reads into @p room until @p wanted bytes came, the input ended or a read
// failed; adds the bytes to @p got. Returns 0 or the failed read's errno;
// @p ended tells whether the end was found.
int readFully(int descriptor, char* room, long wanted, long& got, bool& ended) {
    while (got < wanted) {
        const ssize_t done = ::read(descriptor, room + got, static_cast<size_t>(wanted - got));
        if (done > 0) {
            got += done;
        } else if (done == 0) {
            ended = true;
            return 0;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

} // namespace

ZELTFileReader::ZELTFileReader(const char* path)
    : name(path != nullptr ? path : ""), descriptor(-1), owned(true), ended(false), dropped(0), scratchSize(0) {
    if (path == nullptr) {
        failure = fileFailure("", "no path given", 0);
        return;
    }
    descriptor = openResuming(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        failure = fileFailure(name, "cannot open", errno);
        return;
    }
    // Only a hint for read-ahead; a pipe or device refuses it harmlessly.
    static_cast<void>(::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL));
}

ZELTFileReader::ZELTFileReader(int fd, const char* givenName)
    : name(descriptorName(fd, givenName)), descriptor(fd), owned(false),
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
    const long wanted = std::min(std::max({window, unread / growthDivisor, 1L}), largestTransfer);
    // Two bytes over: the area grows once content and terminator reach its capacity.
    const long needed = unread + wanted + 2;
    if (in.getBufReserveSize() / excessFactor > needed) {
        in.setBufReserveSize(0);
    }
    char* room = nullptr;
    if (isPlainBuffer(in)) {
        // The bytes are read straight into its area, past the content, and
        // then appended from there, which copies nothing.
        in.setBufReserveSize(needed);
        room = in.getBufferString() + unread;
    } else {
        if (scratchSize < wanted || scratchSize / excessFactor > wanted) {
            scratch.reset();
            scratch.reset(new char[static_cast<size_t>(wanted)]);
            scratchSize = wanted;
        }
        room = scratch.get();
    }
    long got = 0;
    const int failed = readFully(descriptor, room, wanted, got, ended);
    if (got == 0) {
        // Bytes read before a failure go first; the next fill meets it again.
        return failed != 0 ? reportFileFailure(error, name, "cannot read", failed) : false;
    }
    // A plain buffer's bytes are already in place: appending them there moves nothing.
    return in.appendBufferString(room, got) || reportFileFailure(error, name, "the buffer refused the text", 0);
}

bool ZELTFileReader::atEnd() const { return ended; }

long ZELTFileReader::consumed() const { return dropped; }

} // namespace ZELT
