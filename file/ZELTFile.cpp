#include "ZELTFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZELTFileIn.h"

namespace ZELT {

namespace {

// From this size on, a regular file is mapped and copied once rather than
// read into scratch memory and copied again; below it the mapping costs more
// than the second copy.
constexpr off_t mappingThreshold = 2L << 20;
// First scratch size for sources that do not tell their size.
constexpr size_t firstReadSize = 1 << 16;
constexpr long minimumWindow = 4096;

// Installs @p length bytes as @p in's whole content, marker 0. Throws only
// std::bad_alloc, before any change.
bool install(ZELTBuffer& in, const char* data, long length, const std::string& name, std::string* error) {
    if (!in.setBufferString(data, length)) {
        return reportFileFailure(error, name, "the buffer refused the content", 0);
    }
    in.setMarkerPos(0);
    return true;
}

// Reads everything from @p fd into scratch memory that doubles as needed,
// then installs it.
bool readAll(int fd, size_t expected, ZELTBuffer& in, const std::string& name, std::string* error) {
    // One byte over the expected size, so that the end shows without growing.
    size_t capacity = std::max(expected + 1, firstReadSize);
    std::unique_ptr<char[]> data(new char[capacity]);
    size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::unique_ptr<char[]> grown(new char[capacity * 2]);
            std::memcpy(grown.get(), data.get(), used);
            data = std::move(grown);
            capacity *= 2;
        }
        const ssize_t done = ::read(fd, data.get() + used, std::min(capacity - used, static_cast<size_t>(largestRead)));
        if (done == 0) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return reportFileFailure(error, name, "cannot read", errno);
        }
        used += done > 0 ? static_cast<size_t>(done) : 0;
    }
    return install(in, data.get(), static_cast<long>(used), name, error);
}

// Installs a regular file of @p size bytes straight from a mapping of it;
// nothing, with nothing done, when the file cannot be mapped.
std::optional<bool> installMapped(int fd, off_t size, ZELTBuffer& in, const std::string& name, std::string* error) {
    void* const mapping = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapping == MAP_FAILED) {
        return std::nullopt;
    }
    struct Unmap {
        void* at;
        size_t length;
        ~Unmap() { ::munmap(at, length); }
    } const unmap{mapping, static_cast<size_t>(size)};
    return install(in, static_cast<const char*>(mapping), static_cast<long>(size), name, error);
}

bool load(int fd, bool mayMap, ZELTBuffer& in, const std::string& name, std::string* error) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return reportFileFailure(error, name, "cannot read", errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return reportFileFailure(error, name, "cannot read", EISDIR);
    }
    const bool regular = S_ISREG(status.st_mode);
    if (mayMap && regular && status.st_size >= mappingThreshold) {
        if (const std::optional<bool> loaded = installMapped(fd, status.st_size, in, name, error)) {
            return *loaded;
        }
    }
    // Files such as those in /proc say 0 and have more.
    return readAll(fd, regular ? static_cast<size_t>(status.st_size) : 0, in, name, error);
}

} // namespace

bool loadFile(const char* path, ZELTBuffer& in, std::string* error) {
    if (path == nullptr) {
        return reportFileFailure(error, "", "no path given", 0);
    }
    int fd = -1;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return reportFileFailure(error, path, "cannot open", errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } const closer{fd};
    return load(fd, true, in, path, error);
}

bool loadDescriptor(int fd, const char* name, ZELTBuffer& in, std::string* error) {
    return load(fd, false, in, name != nullptr ? std::string(name) : "descriptor " + std::to_string(fd), error);
}

bool saveFile(const char* path, const ZELTBuffer& out, std::string* error) {
    ZELTFileIn file(path);
    if (file.write(out.getBufferString(), out.getBufferSize()) && file.commit()) {
        return true;
    }
    if (error != nullptr) {
        *error = file.reason();
    }
    return false;
}

ZELTFileBuffer::ZELTFileBuffer(const char* path, long windowSize)
    : file(std::make_unique<ZELTFileIn>(path)), window(std::clamp(windowSize, minimumWindow, LONG_MAX / 2)) {
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
