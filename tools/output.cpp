#include "output.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

#include <unistd.h>

namespace zelt_tool {

Output::Output(int fd) : fd(fd), buffer(new char[capacity]) {}

char* Output::reserve(size_t size) {
    if (capacity - used < size) {
        flush();
    }
    return buffer.get() + used;
}

void Output::write(std::string_view text) {
    if (text.size() <= capacity - used) {
        std::memcpy(buffer.get() + used, text.data(), text.size());
        used += text.size();
        return;
    }
    // Too large to gather: what is buffered goes first, then the text itself.
    flush();
    writeOut(text.data(), text.size());
}

void Output::putNumber(long number) {
    constexpr size_t longestNumber = 20; // "-9223372036854775808"
    char* const at = reserve(longestNumber);
    commit(std::to_chars(at, at + longestNumber, number).ptr);
}

bool Output::flush() {
    writeOut(buffer.get(), used);
    used = 0;
    return !failed;
}

void Output::writeOut(const char* data, size_t size) {
    while (size > 0 && !failed) {
        const ssize_t written = ::write(fd, data, size);
        if (written >= 0) {
            data += written;
            size -= static_cast<size_t>(written);
        } else if (errno != EINTR) {
            failed = true;
            errorNumber = errno == EPIPE ? 0 : errno;
        }
    }
}

} // namespace zelt_tool
