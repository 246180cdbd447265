#include "output.h"

#include <cerrno>
#include <cstdint>

#include <unistd.h>

namespace zelt_tool {

Output::Output(int fd) : fd(fd), buffer(new char[capacity]) {}

// Too large to gather: what is buffered goes first, then the text itself.
void Output::writeLarge(std::string_view text) {
    flush();
    writeOut(text.data(), text.size());
}

namespace {

constexpr char digitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                              "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                              "8081828384858687888990919293949596979899";

// Writes @p value in decimal so that it ends just before @p end, four digits
// at a time while more remain, then the last one to four; returns where it
// begins. The digits come in pairs from the table.
template <typename Unsigned>
char* putDigitsBefore(char* end, Unsigned value) {
    const auto putPair = [&end](std::uint32_t pair) {
        end -= 2;
        std::memcpy(end, digitPairs + size_t{2} * pair, 2);
    };
    for (; value >= 10000; value /= 10000) {
        const auto four = static_cast<std::uint32_t>(value % 10000);
        putPair(four % 100);
        putPair(four / 100);
    }
    auto last = static_cast<std::uint32_t>(value);
    if (last >= 100) {
        putPair(last % 100);
        last /= 100;
    }
    if (last >= 10) {
        putPair(last);
    } else {
        *--end = static_cast<char>('0' + last);
    }
    return end;
}

} // namespace

void Output::putNumber(long number) {
    constexpr size_t longestNumber = 20; // "-9223372036854775808"
    // The digits are written backwards into scratch space and then copied
    // as a block of fixed size, which needs no count of them beforehand.
    char digits[2 * longestNumber];
    char* const end = digits + longestNumber;
    const auto magnitude = number < 0 ? 0 - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
    char* begin = magnitude <= UINT32_MAX ? putDigitsBefore(end, static_cast<std::uint32_t>(magnitude))
                                          : putDigitsBefore(end, magnitude);
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
