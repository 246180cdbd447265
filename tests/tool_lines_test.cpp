// The tool's line counting: ranges around the sizes counted a block at a
// time, full of line feeds (the most a byte-wide sum must hold), and line
// numbers across dropped windows.
#include <string>

#include <gtest/gtest.h>

#include "lines.h"

namespace {

long count(const std::string& text) { return zelt_tool::countLineFeeds(text.data(), text.data() + text.size()); }

TEST(Lines, CountsEveryLineFeedAroundTheBlockSizes) {
    // 128 bytes start the blocks of 64, and 255 rounds of them fill a sum.
    for (const size_t edge : {size_t{16}, size_t{64}, size_t{128}, size_t{255 * 64}, size_t{2 * 255 * 64}}) {
        for (const size_t length : {edge - 1, edge, edge + 1}) {
            EXPECT_EQ(count(std::string(length, '\n')), static_cast<long>(length)) << length;
            std::string sparse(length, 'x');
            for (size_t at = 0; at < length; at += 7) {
                sparse[at] = '\n';
            }
            EXPECT_EQ(count(sparse), static_cast<long>((length + 6) / 7)) << length;
            // Unaligned starts and ends.
            EXPECT_EQ(zelt_tool::countLineFeeds(sparse.data() + 1, sparse.data() + length), static_cast<long>((length + 6) / 7) - 1)
                << length;
        }
    }
    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(zelt_tool::countLineFeeds(nullptr, nullptr), 0);
}

TEST(Lines, NumbersLinesAcrossDroppedWindows) {
    zelt_tool::LineCounter lines;
    const std::string first = "a\nb\n\nc";
    EXPECT_EQ(lines.lineAt(first.data(), 0), 1);
    EXPECT_EQ(lines.lineAt(first.data(), 2), 2);
    EXPECT_EQ(lines.lineAt(first.data(), 3), 2);
    // Dropping the first four bytes counts the ones not asked for yet.
    lines.drop(first.data(), 4);
    EXPECT_EQ(lines.firstLine(), 3);
    const std::string second = "\nc\n";
    EXPECT_EQ(lines.lineAt(second.data(), 0), 3);
    EXPECT_EQ(lines.lineAt(second.data(), 3), 5);
    // Bytes whose line feeds are known already are passed over.
    lines.skip(2, 7);
    EXPECT_EQ(lines.lineAt(second.data(), 3), 13);
}

} // namespace
