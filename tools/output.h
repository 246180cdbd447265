#ifndef ZELT_TOOL_OUTPUT_H
#define ZELT_TOOL_OUTPUT_H

#include <cstddef>
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
    /// Writes @p number in decimal.
    void putNumber(long number);
    /// Writes out what is buffered; false when a write has failed.
    bool flush();

    bool stopped() const { return failed; }
    int error() const { return errorNumber; }

private:
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
