// Every text the formatter composes, at the edge of its conversion buffer:
// element (or closing text) plus NUL from two bytes below the buffer's size to
// two above, with the widest values, for the default size and a larger one.
// Run under AddressSanitizer, a byte written past the buffer fails here.

#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::contentOf;
using zelt_test::makeFormatter;

namespace {

constexpr long convSizes[] = {65536, 100000};
constexpr long deltas[] = {-2, -1, 0, 1, 2};

// What the writers put between the tags: the type's value in decimal.
template <typename T>
std::string decimal(T value) {
    return std::to_string(+value);
}

// The widest text of the type, and texts one character shorter, so that
// both parities of an element's length occur (a scalar element is 2 × tag
// + 6 + digits bytes long).
template <typename T>
std::vector<T> widestValues() {
    using Limits = std::numeric_limits<T>;
    return {Limits::min(), Limits::max(), static_cast<T>(Limits::max() / 10)};
}

// A buffer holding @p text with its marker at the start.
void load(ZELTBuffer& in, const std::string& text) {
    in.setBufferString(text.data(), static_cast<long>(text.size()));
}

std::string element(const std::string& opening, const std::string& tag, const std::string& value) {
    return opening + value + "</" + tag + ">\n";
}

template <typename S>
class ScalarEdges : public testing::Test {};
TYPED_TEST_SUITE(ScalarEdges, zelt_test::AllScalars, );

TYPED_TEST(ScalarEdges, WriterFillsTheConversionBufferExactly) {
    using Value = typename TypeParam::Value;
    int cases = 0;
    for (const long size : convSizes) {
        for (const Value value : widestValues<Value>()) {
            const std::string digits = decimal(value);
            for (const long delta : deltas) {
                const long twiceTag = size + delta - 7 - static_cast<long>(digits.size());
                if (twiceTag % 2 != 0) {
                    continue; // this length parity needs a value of the other width
                }
                const std::string tag(static_cast<size_t>(twiceTag / 2), 't');
                const std::string expected = element("<" + tag + ">", tag, digits);
                ASSERT_EQ(static_cast<long>(expected.size()) + 1, size + delta);
                SCOPED_TRACE("size " + std::to_string(size) + ", delta " + std::to_string(delta) + ", " + digits);

                auto fx = makeFormatter(size);
                ZELTBuffer out;
                ASSERT_TRUE(TypeParam::write(*fx, value, tag.c_str(), out));
                EXPECT_EQ(contentOf(out), expected);

                auto reader = makeFormatter(size);
                Value read{};
                ASSERT_TRUE(TypeParam::read(*reader, tag.c_str(), out, read));
                EXPECT_EQ(read, value);
                ++cases;
            }
        }
    }
    // Bool has one width, so only every other offset; the others reach all five.
    EXPECT_GE(cases, 6);
}

TYPED_TEST(ScalarEdges, ReaderComposesAClosingTextThatFillsTheConversionBuffer) {
    using Value = typename TypeParam::Value;
    const Value value = std::numeric_limits<Value>::min();
    for (const long size : convSizes) {
        for (const long delta : deltas) {
            // "</" tag ">\n" and its NUL
            const std::string tag(static_cast<size_t>(size + delta - 5), 'r');
            ZELTBuffer in;
            load(in, element("<" + tag + ">", tag, decimal(value)));
            auto fx = makeFormatter(size);
            Value read{};
            ASSERT_TRUE(TypeParam::read(*fx, tag.c_str(), in, read)) << size << " " << delta;
            EXPECT_EQ(read, value);
            EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
        }
    }
}

// The longest compound name "tag|Name|Idx": every part at its limit.
const std::string longTag(255, 't');
const std::string longName(127, 'n');
const std::string longIdx(31, 'i');
const std::string longCompoundName = longTag + "|" + longName + "|" + longIdx;
const std::string longOpening = "<" + longTag + " Name=\"" + longName + "\" Idx=\"" + longIdx + "\">";

TEST(StringEdges, ElementsAroundTheConversionBufferSize) {
    const long markup = static_cast<long>(element(longOpening, longTag, "").size());
    for (const long size : convSizes) {
        for (const long delta : deltas) {
            const std::string value(static_cast<size_t>(size + delta - 1 - markup), 'v');
            auto fx = makeFormatter(size);
            ZELTBuffer out;
            ASSERT_TRUE(fx->serializeString(value.c_str(), longCompoundName.c_str(), out)) << size << " " << delta;
            EXPECT_EQ(contentOf(out), element(longOpening, longTag, value));

            // The same value under the longest tag a reader may be given plainly.
            const std::string plain = element("<" + longTag + ">", longTag, value);
            ZELTBuffer in;
            load(in, plain);
            auto reader = makeFormatter(size);
            std::string read;
            ASSERT_TRUE(reader->deserializeString(longTag.c_str(), in, read));
            EXPECT_EQ(read, value);
        }
    }
}

TEST(StringEdges, ReaderComposesAClosingTextThatFillsTheConversionBuffer) {
    for (const long size : convSizes) {
        for (const long delta : deltas) {
            const std::string tag(static_cast<size_t>(size + delta - 5), 's');
            ZELTBuffer in;
            load(in, element("<" + tag + ">", tag, "value"));
            auto fx = makeFormatter(size);
            std::string read;
            ASSERT_TRUE(fx->deserializeString(tag.c_str(), in, read)) << size << " " << delta;
            EXPECT_EQ(read, "value");
        }
    }
}

TEST(RawBlockEdges, BlocksAroundTheConversionBufferSize) {
    for (const long size : convSizes) {
        for (const long delta : deltas) {
            std::string bytes(static_cast<size_t>(size + delta), '\0');
            bytes.back() = '<';
            const char* data = bytes.data();
            auto fx = makeFormatter(size);
            zelt_test::RecordingBuffer out;
            ASSERT_TRUE(fx->serializeBuffer(data, static_cast<long>(bytes.size()), longCompoundName.c_str(), 0, out));
            EXPECT_EQ(contentOf(out), element(longOpening, longTag, bytes));
            EXPECT_EQ(out.calls.size(), 3U);
        }
    }
}

} // namespace
