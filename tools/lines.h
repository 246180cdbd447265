#ifndef ZELT_TOOL_LINES_H
#define ZELT_TOOL_LINES_H

#include <cstring>

namespace zelt_tool {

/// The number of line feeds in [begin, end).
long countLineFeeds(const char* begin, const char* end);

/// Line numbers (from 1) in a text read a window at a time. Offsets asked for
/// never decrease within a window; each call counts line feeds only since the
/// one before, so the whole text is counted once.
class LineCounter {
public:
    /// The line of the byte at @p offset of the window that starts at @p text.
    long lineAt(const char* text, long offset) {
        const char* from = text + counted;
        const char* const to = text + offset;
        if (to - from >= shortRange) {
            line += countLineFeeds(from, to);
        } else {
            // An element or two since the last call: their few line feeds
            // one memchr each, without a call to count them.
            while (const void* const found = from < to ? std::memchr(from, '\n', static_cast<size_t>(to - from)) : nullptr) {
                ++line;
                from = static_cast<const char*>(found) + 1;
            }
        }
        counted = offset;
        return line;
    }
    /// The bytes up to @p offset, known to hold @p lineFeeds line feeds, are
    /// counted without looking at them.
    void skip(long offset, long lineFeeds) {
        counted = offset;
        line += lineFeeds;
    }
    /// The window's first @p length bytes are dropped: what of them was not
    /// counted yet is counted now, and offsets start again at the window's start.
    void drop(const char* text, long length) {
        lineAt(text, length);
        counted = 0;
        first = line;
    }
    /// The line of the window's first byte.
    long firstLine() const { return first; }

private:
    static constexpr long shortRange = 128;

    long counted = 0;
    long line = 1;
    long first = 1;
};

} // namespace zelt_tool

#endif
