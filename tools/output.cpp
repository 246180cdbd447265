#include "output.h"

#include <cerrno>

#include <unistd.h>

namespace zelt_tool {

Output::Output(int fd) : fd(fd), buffer(new char[capacity]) {}

// Too large to gather: what is buffered goes first, then the text itself.
void Output::writeLarge(std::string_view text) {
    flush();
    writeOut(text.data(), text.size());
}

namespace {

// Writes @p value in decimal so that it ends just before @p end; returns where it begins.
char* putDigitsBefore(char* end, unsigned long value) {
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    return end;
}

} // namespace

void Output::putWideNumber(long number) {
    constexpr size_t longestNumber = 20; // "-9223372036854775808"
    // Rare: the digits are written one by one backwards into scratch space
    // and then copied as a block of fixed size.
    char digits[2 * longestNumber];
    char* const end = digits + longestNumber;
    const auto magnitude = number < 0 ? 0 - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
    char* begin = putDigitsBefore(end, magnitude);
    if (number < 0) {
        *--begin = '-';
    }
    char* const at = reserve(longestNumber);
    std::memcpy(at, begin, longestNumber);
    commit(at + (end - begin));
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
