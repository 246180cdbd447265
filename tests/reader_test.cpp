// The typed readers. What they refuse is in the explainRead table of
// scan_test.cpp, which reads each of its texts with them too.
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::makeFormatter;

namespace {

// A buffer holding @p text with its marker at the start, as a reader gets it.
void load(ZELTBuffer& in, const std::string& text) {
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    in.setMarkerPos(0);
}

// Elements of several types under one tag and under others, read back in
// order; one value is longer than the conversion buffer, the others are full
// of almost-closing texts. Each type alone: ScalarWriter in writer_test.cpp.
TEST(Document, ElementsReadBackInOrder) {
    auto fx = makeFormatter();
    const std::string longText(70000, 'L');
    const std::string almostClosing = "<</s</s><s>\n</s>x</s\n</ss>\n<</";
    ZELTBuffer out;
    for (int record = 0; record < 50; ++record) {
        fx->serializeString(record == 7 ? longText.c_str() : almostClosing.c_str(), "s", out);
        fx->serializeInt64_t(LONG_MIN + record, "s", out);
        fx->serializeBool(record % 3 == 0, "z", out);
        fx->serializeChar(static_cast<char>(record * 7), "c", out);
        fx->serializeString(record % 2 == 0 ? "abc" : "", "y", out);
    }
    ZELTBuffer in;
    load(in, zelt_test::contentOf(out));
    for (int record = 0; record < 50; ++record) {
        std::string s;
        long number = 0;
        bool z = false;
        char c = 0;
        std::string y;
        ASSERT_TRUE(fx->deserializeString("s", in, s));
        ASSERT_TRUE(fx->deserializeInt64_t("s", in, number));
        ASSERT_TRUE(fx->deserializeBool("z", in, z));
        ASSERT_TRUE(fx->deserializeChar("c", in, c));
        ASSERT_TRUE(fx->deserializeString("y", in, y));
        EXPECT_EQ(s, record == 7 ? longText : almostClosing);
        EXPECT_EQ(number, LONG_MIN + record);
        EXPECT_EQ(z, record % 3 == 0);
        EXPECT_EQ(c, static_cast<char>(record * 7));
        EXPECT_EQ(y, record % 2 == 0 ? "abc" : "");
    }
    EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
}

// Reads "<v>text</v>\n" with one scalar reader; the value as decimal text.
template <typename S>
std::string readAs(const std::string& text) {
    auto fx = makeFormatter();
    ZELTBuffer in;
    load(in, "<v>" + text + "</v>\n");
    typename S::Value value{};
    if (!S::read(*fx, "v", in, value)) {
        return "refused";
    }
    return std::to_string(+value);
}

// Per reader, texts between the tags and the values they read as; the 64-bit
// readers follow strtol and strtoul, as the next test checks.
struct Conversion {
    std::string (*read)(const std::string&);
    std::vector<std::pair<const char*, const char*>> textsAndValues;
};

const Conversion conversions[] = {
    {readAs<zelt_test::Int32Scalar>,
     {{"  7", "7"}, {"\t\n\v\f\r 7", "7"}, {"", "0"}, {"+12", "12"}, {"- 5", "0"}, {"12abc", "12"},
      {"4294967297", "1"}}},
    {readAs<zelt_test::BoolScalar>, {{"2", "1"}, {"-1", "0"}, {"0", "0"}, {"", "0"}}},
    {readAs<zelt_test::UInt8Scalar>, {{"300", "44"}, {"9223372036854775808", "0"}}},
    {readAs<zelt_test::UInt32Scalar>, {{"-1", "4294967295"}}},
    {readAs<zelt_test::UCharScalar>, {{"9223372036854775808", "255"}}},
    {readAs<zelt_test::CharScalar>, {{"255", "-1"}}},
    {readAs<zelt_test::Int8Scalar>, {{"-129", "127"}}},
    {readAs<zelt_test::UInt16Scalar>, {{"65537", "1"}}},
    {readAs<zelt_test::Int16Scalar>, {{"-32769", "32767"}}},
};

TEST(Conversion, FollowsTheBaseTenRulesThenKeepsTheLowBits) {
    for (const Conversion& c : conversions) {
        for (const auto& [text, value] : c.textsAndValues) {
            EXPECT_EQ(c.read(text), value) << '"' << text << '"';
        }
    }
}

// The readers' conversion must agree with strtol and strtoul on any text
// that can stand between the tags.
TEST(Conversion, AgreesWithStrtolAndStrtoul) {
    std::vector<std::string> texts = {
        "9223372036854775807",  "9223372036854775808",  "-9223372036854775808", "-9223372036854775809",
        "18446744073709551615", "18446744073709551616", "-18446744073709551615", "-18446744073709551616",
        "99999999999999999999", "-99999999999999999999",
        "00000000000000000000000000000042", "+", "-", " ", "+-1", "1 2", "0x1F", "\n-0",
    };
    for (int c = 1; c < 128; ++c) { // the blanks skipped must be exactly strtol's
        texts.push_back(std::string(1, static_cast<char>(c)) + "5");
    }
    std::mt19937 random(20261206);
    const std::string alphabet = " \t\n+-0123456789x>";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const size_t length = random() % 25;
        for (size_t j = 0; j < length; ++j) {
            text += alphabet[random() % alphabet.size()];
        }
        texts.push_back(text);
    }
    auto fx = makeFormatter();
    for (const std::string& text : texts) {
        ZELTBuffer in;
        load(in, "<v>" + text + "</v>\n<v>" + text + "</v>\n");
        long signedValue = 0;
        unsigned long unsignedValue = 0;
        ASSERT_TRUE(fx->deserializeInt64_t("v", in, signedValue));
        ASSERT_TRUE(fx->deserializeUInt64_t("v", in, unsignedValue));
        EXPECT_EQ(signedValue, std::strtol(text.c_str(), nullptr, 10)) << '"' << text << '"';
        EXPECT_EQ(unsignedValue, std::strtoul(text.c_str(), nullptr, 10)) << '"' << text << '"';
    }
}

// Tags of every length up to past 32 bytes, so that every way a few bytes are
// copied and compared (1, 2, 4, 8, 16, 32 bytes and their overlapping pairs) is
// taken, writing and reading; then tags the scalar writers take verbatim.
TEST(Reading, TagsOfEveryLengthReadBack) {
    auto fx = makeFormatter();
    std::vector<std::string> tags;
    for (size_t length = 0; length <= 40; ++length) {
        tags.emplace_back(length, static_cast<char>('a' + length % 26));
    }
    const size_t shortTags = tags.size();
    tags.insert(tags.end(), {"a|b", "/a", std::string(100000, 't')}); // "/a": "</a>1<//a>\n"
    ZELTBuffer out;
    for (size_t i = 0; i < tags.size(); ++i) {
        fx->serializeInt64_t(LONG_MIN + static_cast<long>(i), tags[i].c_str(), out);
        if (i < shortTags) {
            fx->serializeString(std::string(i, 'v').c_str(), tags[i].c_str(), out);
        }
    }
    ZELTBuffer in;
    load(in, zelt_test::contentOf(out));
    for (size_t i = 0; i < tags.size(); ++i) {
        long number = 0;
        std::string text;
        ASSERT_TRUE(fx->deserializeInt64_t(tags[i].c_str(), in, number)) << tags[i].size();
        EXPECT_EQ(number, LONG_MIN + static_cast<long>(i));
        if (i < shortTags) {
            ASSERT_TRUE(fx->deserializeString(tags[i].c_str(), in, text)) << i;
            EXPECT_EQ(text, std::string(i, 'v'));
        }
    }
    EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
}

TEST(Reading, StepsGoThroughTheHandleInOrder) {
    auto fx = makeFormatter();
    zelt_test::RecordingBuffer in;
    load(in, "<a>1</a>\n<b>xy</b>\n");
    in.calls.clear();
    int a = 0;
    std::string b;
    ASSERT_TRUE(fx->deserializeInt32_t("a", in, a));
    ASSERT_TRUE(fx->deserializeString("b", in, b));
    const std::vector<std::string> expected = {"getBufferStringFromMarker", "getMarkerPos", "setMarkerPos:9",
                                               "getBufferStringFromMarker", "getMarkerPos", "setMarkerPos:19"};
    EXPECT_EQ(in.calls, expected);
}

} // namespace
