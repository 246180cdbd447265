#ifndef ZELT_TOOL_OUTPUT_H
#define ZELT_TOOL_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace zelt_tool {

/// Buffered writing to a file descriptor with write(2). After the first
/// failed write everything further is dropped: stopped() then says so, and
/// error() gives the errno, or 0 when the reader of a pipe went away (EPIPE),
/// which is no failure for a command whose output is cut short by `head`.
class Output {
public:
    /// The most bytes one reserve() may ask for.
    static constexpr size_t capacity = size_t{1} << 18;

    explicit Output(int fd);
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    /// Room for @p size bytes (at most capacity) at the returned pointer;
    /// commit() the end of what was written there.
    char* reserve(size_t size) {
        if (capacity - used < size) {
            flush();
        }
        return buffer.get() + used;
    }
    void commit(char* end) { used = static_cast<size_t>(end - buffer.get()); }

    void write(std::string_view text) {
        if (text.size() <= capacity - used) {
            std::memcpy(buffer.get() + used, text.data(), text.size());
            used += text.size();
        } else {
            writeLarge(text);
        }
    }
    void put(char c) { *reserve(1) = c, ++used; }
    /// Writes @p number in decimal. Line numbers and offsets, below 2^32,
    /// are written here, from the end; others by putWideNumber.
    void putNumber(long number) {
        if (number < 0 || number > static_cast<long>(UINT32_MAX)) {
            putWideNumber(number);
            return;
        }
        auto value = static_cast<std::uint32_t>(number);
        const size_t length = decimalLength(value);
        char* const begin = reserve(length);
        char* end = begin + length;
        // Four digits a round, as two pairs that do not wait on each other.
        for (; value >= 10000; value /= 10000) {
            const std::uint32_t four = value % 10000;
            end -= 4;
            std::memcpy(end, digitPairs + size_t{2} * (four / 100), 2);
            std::memcpy(end + 2, digitPairs + size_t{2} * (four % 100), 2);
        }
        if (value >= 100) {
            end -= 2;
            std::memcpy(end, digitPairs + size_t{2} * (value % 100), 2);
            value /= 100;
        }
        if (value >= 10) {
            std::memcpy(begin, digitPairs + size_t{2} * value, 2);
        } else {
            *begin = static_cast<char>('0' + value);
        }
        commit(begin + length);
    }
    /// Writes out what is buffered; false when a write has failed.
    bool flush();

    bool stopped() const { return failed; }
    int error() const { return errorNumber; }

private:
    static constexpr char digitPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
        "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

    // How many decimal digits @p value has.
    static size_t decimalLength(std::uint32_t value) {
        if (value < 100000) {
            return value < 100 ? (value < 10 ? 1 : 2) : value < 1000 ? 3 : value < 10000 ? 4 : 5;
        }
        return value < 10000000 ? (value < 1000000 ? 6 : 7) : value < 100000000 ? 8 : value < 1000000000 ? 9 : 10;
    }
    void putWideNumber(long number);
    void writeLarge(std::string_view text);
    void writeOut(const char* data, size_t size);

    int fd;
    std::unique_ptr<char[]> buffer;
    size_t used = 0;
    bool failed = false;
    int errorNumber = 0;
};

} // namespace zelt_tool

#endif
