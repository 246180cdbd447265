#include "ZELTFileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <type_traits>

namespace ZELT {

namespace {

// strerror is not thread-safe; strerror_r comes in a GNU (char*) and an XSI
// (int) form, and the C library decides which one this build sees.
template <typename Result>
const char* pickErrorText(Result result, const char* buffer) {
    if constexpr (std::is_same_v<Result, int>) {
        return result == 0 ? buffer : "Unknown error";
    } else {
        return result;
    }
}

std::string systemText(int code) {
    char buffer[256] = {};
    return pickErrorText(::strerror_r(code, buffer, sizeof buffer), buffer);
}

} // namespace

std::string fileFailure(const std::string& name, const char* step, int code) {
    std::string reason = name.empty() ? step : name + ": " + step;
    if (code != 0) {
        reason += ": " + systemText(code);
    }
    return reason;
}

bool reportFileFailure(std::string* error, const std::string& name, const char* step, int code) {
    if (error != nullptr) {
        *error = fileFailure(name, step, code);
    }
    return false;
}

int openResuming(const char* path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string descriptorName(int fd, const char* givenName) {
    return givenName != nullptr ? givenName : "descriptor " + std::to_string(fd);
}

} // namespace ZELT
