#include "output.h"

#include <cerrno>
#include <charconv>
#include <climits>

#include <unistd.h>

namespace zelt_tool {

Output::Output(int fd) : fd(fd), buffer(new char[capacity]) {}

// Too large to gather: what is buffered goes first, then the text itself.
void Output::writeLarge(std::string_view text) {
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
