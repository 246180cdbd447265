#include "ZELTFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "ZELTAtomicFile.h"
#include "ZELTFileSystem.h"
#include "ZELTPlainBuffer.h"

namespace ZELT {

namespace {

// Read after the expected end, to find the end or what a growing file added.
constexpr long probeSize = 4096;

// Reads everything from @p fd into @p into, a plain buffer without an area,
// straight into its own memory: one allocation of the expected size, and the
// kernel's copy the only one. The area is reserved two bytes over the text,
// so that taking the bytes read in place never grows it; a source longer
// than expected (a pipe says 0) grows it as appends do. On failure @p into is
// torn down again.
bool readInto(int fd, long expected, ZELTBuffer& into, const std::string& name, std::string* error) {
    try {
        into.setBufReserveSize(std::min(expected, LONG_MAX - 2) + 2);
        char probe[probeSize] = {};
        for (;;) {
            const long room = into.getBufReserveSize() - into.getBufferSize() - 2;
            char* const at = room > 0 ? into.getBufferString() + into.getBufferSize() : probe;
            const long wanted = room > 0 ? std::min(room, largestTransfer) : probeSize;
            const ssize_t done = ::read(fd, at, static_cast<size_t>(wanted));
            if (done == 0) {
                return true;
            }
            if (done < 0 && errno != EINTR) {
                const int code = errno;
                into.tearDown();
                return reportFileFailure(error, name, "cannot read", code);
            }
            // Bytes read in place are taken where they lie: nothing moves.
            into.appendBufferString(at, std::max(done, ssize_t{0}));
        }
    } catch (...) {
        into.tearDown();
        throw;
    }
}

bool load(int fd, ZELTBuffer& in, const std::string& name, std::string* error) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return reportFileFailure(error, name, "cannot read", errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return reportFileFailure(error, name, "cannot read", EISDIR);
    }
    // Files such as those in /proc say 0 and have more.
    const long expected = S_ISREG(status.st_mode) ? static_cast<long>(status.st_size) : 0;
    // A plain buffer without an area has nothing to keep on failure: the text
    // goes straight into it. Any other is given the text once it is whole.
    if (isPlainBuffer(in) && in.getBufferString() == nullptr) {
        return readInto(fd, expected, in, name, error);
    }
    ZELTBuffer whole;
    if (!readInto(fd, expected, whole, name, error)) {
        return false;
    }
    if (!in.setBufferString(whole.getBufferString(), whole.getBufferSize())) {
        return reportFileFailure(error, name, "the buffer refused the content", 0);
    }
    in.setMarkerPos(0);
    return true;
}

} // namespace

bool loadFile(const char* path, ZELTBuffer& in, std::string* error) {
    if (path == nullptr) {
        return reportFileFailure(error, "", "no path given", 0);
    }
    const int fd = openResuming(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return reportFileFailure(error, path, "cannot open", errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } const closer{fd};
    return load(fd, in, path, error);
}

bool loadDescriptor(int fd, const char* name, ZELTBuffer& in, std::string* error) {
    return load(fd, in, descriptorName(fd, name), error);
}

bool saveFile(const char* path, const ZELTBuffer& out, std::string* error) {
    ZELTAtomicFile file(path);
    if (file.write(out.getBufferString(), out.getBufferSize()) && file.commit()) {
        return true;
    }
    if (error != nullptr) {
        *error = file.reason();
    }
    return false;
}

} // namespace ZELT
