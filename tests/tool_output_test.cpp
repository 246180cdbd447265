// The tool's buffered output and base64: exact sizes around the buffer's
// capacity and the chunk edges, failures of the descriptor.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base64.h"
#include "output.h"
#include "tool_test_support.h"

using zelt_tool::Output;
using zelt_tool_test::captured;

namespace {

TEST(Output, WritesTextsAroundItsCapacityWhole) {
    const size_t sizes[] = {Output::capacity - 1, Output::capacity, Output::capacity + 1};
    for (const size_t buffered : {size_t{0}, size_t{1}}) {
        for (const size_t size : sizes) {
            const std::string before(buffered, 'b');
            std::string text(size, 'x');
            text.back() = 'z';
            EXPECT_EQ(captured([&](Output& out) {
                          out.write(before);
                          out.write(text);
                          out.put('!');
                      }),
                      before + text + "!")
                << buffered << " buffered, then " << size;
        }
    }
}

TEST(Output, ReserveGivesRoomUpToTheCapacity) {
    for (const size_t buffered : {size_t{1}, Output::capacity - 1}) {
        const std::string text = captured([&](Output& out) {
            out.write(std::string(buffered, 'b'));
            char* const at = out.reserve(Output::capacity);
            std::fill(at, at + Output::capacity, 'r');
            out.commit(at + Output::capacity);
        });
        EXPECT_EQ(text, std::string(buffered, 'b') + std::string(Output::capacity, 'r'));
    }
}

TEST(Output, AGoneReaderStopsItWithoutAnError) {
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    Output out(ends[1]);
    out.write("lost");
    EXPECT_FALSE(out.flush());
    EXPECT_TRUE(out.stopped());
    EXPECT_EQ(out.error(), 0);
    // Later output is dropped, however large.
    out.write(std::string(Output::capacity + 1, 'x'));
    EXPECT_FALSE(out.flush());
    close(ends[1]);
}

TEST(Output, AFailedWriteKeepsItsReason) {
    const int full = open("/dev/full", O_WRONLY);
    if (full < 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    Output out(full);
    out.write("x");
    EXPECT_FALSE(out.flush());
    EXPECT_TRUE(out.stopped());
    EXPECT_EQ(out.error(), ENOSPC);
    close(full);
}

std::string base64(const std::string& bytes) {
    return captured([&](Output& out) { zelt_tool::writeBase64(out, bytes); });
}

// Every count of digits, both sides of 2^32, and the widest numbers.
TEST(Output, WritesNumbersAsTheStandardLibraryDoes) {
    std::vector<long> numbers = {0, 4294967295L, 4294967296L, -1, -4294967296L, LONG_MAX, LONG_MIN};
    for (long power = 1;; power *= 10) {
        numbers.insert(numbers.end(), {power - 1, power, power + 1});
        if (power > LONG_MAX / 10) {
            break;
        }
    }
    std::string expected;
    const std::string text = captured([&](Output& out) {
        for (const long number : numbers) {
            out.putNumber(number);
            out.put(' ');
            expected += std::to_string(number) + ' ';
        }
    });
    EXPECT_EQ(text, expected);
}

TEST(Base64, KnownEncodings) {
    // RFC 4648, section 10, and every bit of a byte.
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xff\xfe\x00", 3), "//4A"},
    };
    for (const auto& [bytes, encoded] : cases) {
        EXPECT_EQ(base64(bytes), encoded) << bytes;
    }
}

TEST(Base64, ChunksJoinSeamlessly) {
    // A text that is whole 3-byte groups encodes as the concatenation of its parts.
    std::string bytes;
    for (size_t i = 0; i < 3 * zelt_tool::base64Chunk + 2; ++i) {
        bytes.push_back(static_cast<char>(i * 7 + i / 256));
    }
    const size_t chunk = zelt_tool::base64Chunk;
    for (const size_t size : {chunk - 1, chunk, chunk + 1, 3 * chunk + 2}) {
        const std::string text = bytes.substr(0, size);
        // Pieces of whole groups that straddle the chunk edges, then the rest.
        constexpr size_t piece = 3 * 1000;
        std::string expected;
        size_t at = 0;
        for (; size - at > piece; at += piece) {
            expected += base64(text.substr(at, piece));
        }
        expected += base64(text.substr(at));
        EXPECT_EQ(base64(text), expected) << size;
    }
}

} // namespace
