#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFxXMLImpl.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::contentOf;
using zelt_test::makeFormatter;

namespace {

template <typename S>
class ScalarWriter : public testing::Test {};
TYPED_TEST_SUITE(ScalarWriter, zelt_test::AllScalars, );

// The decimal text of the value as its type extends it (unary plus promotes
// the character types to int, so char is sign-extended and unsigned char
// not), and the value read back from it.
TYPED_TEST(ScalarWriter, WritesOneElementInDecimalThatReadsBack) {
    using Value = typename TypeParam::Value;
    auto fx = makeFormatter();
    for (const Value value : zelt_test::interestingValues<Value>()) {
        ZELTBuffer out;
        ASSERT_TRUE(TypeParam::write(*fx, value, "field", out));
        EXPECT_EQ(contentOf(out), "<field>" + std::to_string(+value) + "</field>\n");
        Value read{};
        ASSERT_TRUE(TypeParam::read(*fx, "field", out, read));
        EXPECT_EQ(read, value);
        EXPECT_EQ(out.getMarkerPos(), out.getBufferSize());
    }
}

TYPED_TEST(ScalarWriter, HandsTheElementOverInOneAppend) {
    auto fx = makeFormatter();
    zelt_test::RecordingBuffer out;
    ASSERT_TRUE(TypeParam::write(*fx, typename TypeParam::Value(1), "a|b", out));
    EXPECT_EQ(out.calls, std::vector<std::string>{"appendString:<a|b>1</a|b>\n"});
}

// Literal texts where the rule is not plain decimal: the sign of char, an empty tag.
TEST(ScalarWriter, ExactTexts) {
    auto fx = makeFormatter();
    ZELTBuffer out;
    EXPECT_TRUE(fx->serializeInt32_t(42, "count", out));
    EXPECT_TRUE(fx->serializeChar(static_cast<char>(0xFF), "c", out));
    EXPECT_TRUE(fx->serializeUChar(0xFF, "c", out));
    EXPECT_TRUE(fx->serializeInt16_t(-5, "", out));
    EXPECT_EQ(contentOf(out), "<count>42</count>\n<c>-1</c>\n<c>255</c>\n<>-5</>\n");
}

struct StringCase {
    const char* nameSpec;
    const char* value;
    const char* expected;
};

const StringCase stringCases[] = {
    {"item|first|2", "abc", "<item Name=\"first\" Idx=\"2\">abc</item>\n"},
    {"item|first", "abc", "<item Name=\"first\">abc</item>\n"},
    {"item", "abc", "<item>abc</item>\n"},
    {"item||2", "abc", "<item Name=\"2\">abc</item>\n"},
    {"a|b|x|d", "v", "<a Name=\"b\" Idx=\"x\">v</a>\n"},
    {"|a", "v", "<a>v</a>\n"},
    {"a||x", "v", "<a Name=\"x\">v</a>\n"},
    {"||a||b||", "v", "<a Name=\"b\">v</a>\n"},
    {"", "v", "<>v</>\n"},
    {"|||", "v", "<>v</>\n"},
    {"item", "", "<item></item>\n"},
    {"raw", "<&\"\n</raw>", "<raw><&\"\n</raw></raw>\n"},
};

TEST(StringWriter, WritesTheFormTheCompoundNameSelects) {
    auto fx = makeFormatter();
    for (const StringCase& c : stringCases) {
        ZELTBuffer out;
        EXPECT_TRUE(fx->serializeString(c.value, c.nameSpec, out)) << c.nameSpec;
        EXPECT_EQ(contentOf(out), c.expected) << c.nameSpec;
    }
}

TEST(StringWriter, NamesDoNotCarryOverToTheNextElement) {
    auto fx = makeFormatter();
    ZELTBuffer out;
    fx->serializeString("1", "a|b|c", out);
    fx->serializeString("2", "d", out);
    const char* data = "3";
    fx->serializeBuffer(data, 1, "e", 0, out);
    // Nor does a split made directly, whatever its outcome.
    auto& xml = dynamic_cast<ZELT::ZELTFxXMLImpl&>(*fx);
    xml.checkAndGetAttrIdxDetails("f|g|h");
    xml.checkAndGetAttrIdxDetails(std::string(2000, 'x').c_str());
    fx->serializeString("4", "i", out);
    EXPECT_EQ(contentOf(out), "<a Name=\"b\" Idx=\"c\">1</a>\n<d>2</d>\n<e>3</e>\n<i>4</i>\n");
}

TEST(BufferWriter, WritesRawBytesBetweenTheTags) {
    auto fx = makeFormatter();
    zelt_test::RecordingBuffer out;
    const char* data = "a\0<\n";
    ASSERT_TRUE(fx->serializeBuffer(data, 4, "blob|n|1", 99, out));
    const char expected[] = "<blob Name=\"n\" Idx=\"1\">a\0<\n</blob>\n";
    EXPECT_EQ(contentOf(out), std::string(expected, sizeof expected - 1));
    const std::vector<std::string> calls = {"appendString:<blob Name=\"n\" Idx=\"1\">",
                                            std::string("appendBufferString:a\0<\n", 23), "appendString:</blob>\n"};
    EXPECT_EQ(out.calls, calls);
    EXPECT_EQ(data, std::string("a"));
}

// Writes that must be refused whole: not even an opening tag may reach the buffer.
TEST(Refusals, AppendNothing) {
    auto fx = makeFormatter();
    struct Case {
        std::string nameSpec;
        bool accepted;
    };
    const Case cases[] = {
        {std::string(255, 't') + "|" + std::string(127, 'n') + "|" + std::string(31, 'i'), true}, // each at its limit
        {std::string(256, 't'), false},                      // tag over its limit
        {"t|" + std::string(128, 'n'), false},               // Name over its limit
        {"t|n|" + std::string(32, 'i'), false},              // Idx over its limit
        {"t" + std::string(1021, '|') + "n", true},          // 1,023 bytes in all
        {"t" + std::string(1022, '|') + "n", false},         // 1,024 bytes in all
        {"t|n|i|" + std::string(200, 'x'), true},            // parts after the third are not looked at
        {"t|n|i|" + std::string(1017, 'x'), true},           // ... but count: 1,023 bytes in all
        {"t|n|i|" + std::string(1018, 'x'), false},          // 1,024 bytes in all
    };
    for (const Case& c : cases) {
        zelt_test::RecordingBuffer out;
        const char* data = "xy";
        EXPECT_EQ(fx->serializeString("v", c.nameSpec.c_str(), out), c.accepted) << c.nameSpec.size();
        EXPECT_EQ(fx->serializeBuffer(data, 2, c.nameSpec.c_str(), 0, out), c.accepted) << c.nameSpec.size();
        EXPECT_EQ(out.calls.empty(), !c.accepted) << c.nameSpec.size();
    }

    zelt_test::RecordingBuffer out;
    const char* data = nullptr;
    const char* valid = "xy";
    EXPECT_FALSE(fx->serializeBuffer(valid, -1, "blob", 0, out));
    EXPECT_FALSE(fx->serializeBuffer(data, 2, "blob", 0, out));
    EXPECT_FALSE(fx->serializeString(nullptr, "blob", out));
    EXPECT_FALSE(fx->serializeString("v", nullptr, out));
    EXPECT_FALSE(fx->serializeInt32_t(1, nullptr, out));
    EXPECT_TRUE(out.calls.empty());

    // A refusal leaves no stale names behind; an empty block may come from a null pointer.
    EXPECT_TRUE(fx->serializeString("v", "plain", out));
    EXPECT_TRUE(fx->serializeBuffer(data, 0, "empty", 0, out));
    EXPECT_EQ(contentOf(out), "<plain>v</plain>\n<empty></empty>\n");
}

// A value holding its own closing text would end its element early when
// read back, and the rest would be read as elements of its own.
TEST(Refusals, AValueHoldingItsOwnClosingText) {
    auto fx = makeFormatter();
    struct Case {
        std::string value;
        bool accepted;
    };
    const Case cases[] = {
        {"</t>\nrest", false},               // at the start
        {"x</t>\n<admin>1</admin>\n", false}, // in the middle
        {"x</t>\n", false},                   // at the end
        {"</t>", true},                       // no line feed
        {"x</t>y\n", true},                   // nor right after
        {"x</t>\r\n", true},
        {"x</u>\n</tt>\n<t>\n", true},         // other tags' closing texts
        {"<<</t", true},
    };
    for (const char* nameSpec : {"t", "t|n", "t|n|1", "|t||n|"}) {
        for (const Case& c : cases) {
            zelt_test::RecordingBuffer recorded;
            ZELTBuffer plain;
            EXPECT_EQ(fx->serializeString(c.value.c_str(), nameSpec, recorded), c.accepted) << nameSpec << c.value;
            EXPECT_EQ(fx->serializeString(c.value.c_str(), nameSpec, plain), c.accepted) << nameSpec << c.value;
            EXPECT_EQ(recorded.calls.empty(), !c.accepted);
            EXPECT_EQ(plain.getBufferString() == nullptr, !c.accepted);
        }
    }
    // With a tag that holds '<', a closing text may begin in the value and end
    // in the one written after it.
    ZELTBuffer out;
    EXPECT_FALSE(fx->serializeString("v</x>\n", "x>\n</x", out));
    EXPECT_TRUE(fx->serializeString("v</x>", "x>\n</x", out));
}

// A plain buffer takes an element where appending would have copied it; a
// derived one is handed the text. Both end alike, whether the memory behind
// the buffer is one byte short of the element and its terminator, exactly
// enough, or more.
TEST(Writers, ComposeInPlaceAsAppendingWould) {
    auto fx = makeFormatter();
    struct Write {
        const char* what;
        long length; // of the element written
        bool (*write)(ZELT::ZELTFx&, ZELTBuffer&);
    };
    const Write writes[] = {
        {"widest int64", 36,
         [](ZELT::ZELTFx& f, ZELTBuffer& b) { return f.serializeInt64_t(-9223372036854775807L - 1, "count", b); }},
        {"named string", 31, [](ZELT::ZELTFx& f, ZELTBuffer& b) { return f.serializeString("abc", "t|name|1", b); }},
        {"long string", 70008, [](ZELT::ZELTFx& f, ZELTBuffer& b) {
             static const std::string value(70000, 'v');
             return f.serializeString(value.c_str(), "t", b);
         }}};
    const std::string before = "<a>1</a>\n";
    for (const Write& w : writes) {
        for (long slack = -2; slack <= 2; ++slack) {
            auto prepare = [&](ZELTBuffer& b) {
                b.setString(before.c_str());
                b.setBufReserveSize(0); // the memory now just fits: the next request sizes it exactly
                b.setBufReserveSize(static_cast<long>(before.size()) + w.length + 1 + slack);
            };
            ZELTBuffer plain;
            zelt_test::DerivedBuffer derived;
            prepare(plain);
            prepare(derived);
            ASSERT_TRUE(w.write(*fx, plain));
            ASSERT_TRUE(w.write(*fx, derived));
            EXPECT_EQ(plain.getBufferSize(), static_cast<long>(before.size()) + w.length) << w.what;
            EXPECT_EQ(zelt_test::BufferState(plain), zelt_test::BufferState(derived)) << w.what << slack;
            // And once more, onto the area the first write left.
            ASSERT_TRUE(w.write(*fx, plain));
            ASSERT_TRUE(w.write(*fx, derived));
            EXPECT_EQ(zelt_test::BufferState(plain), zelt_test::BufferState(derived)) << w.what << slack;
        }
    }
}

TEST(Refusals, WritersReportABufferThatRefuses) {
    auto fx = makeFormatter();
    const char* data = "raw";
    for (const bool refuseText : {false, true}) {
        SCOPED_TRACE(refuseText ? "appendString refuses" : "appendBufferString refuses");
        zelt_test::RefusingBuffer out;
        out.refusesAppendString = refuseText;
        out.refusesAppendBufferString = !refuseText;
        EXPECT_FALSE(fx->serializeBuffer(data, 3, "blob", 0, out));
        EXPECT_EQ(fx->serializeString("v", "s", out), !refuseText);
        EXPECT_EQ(fx->serializeInt32_t(1, "n", out), !refuseText);
    }
    // The closing text still follows refused bytes, so the next element
    // starts on a line of its own.
    zelt_test::RefusingBuffer out;
    out.refusesAppendBufferString = true;
    fx->serializeBuffer(data, 3, "blob", 0, out);
    EXPECT_EQ(contentOf(out), "<blob></blob>\n");
}

// Appending the opening tag moves a full buffer's area; bytes taken from
// that area must still arrive as they were.
TEST(BufferWriter, MayTakeItsBytesFromTheOutputBuffer) {
    auto fx = makeFormatter();
    ZELTBuffer out;
    out.setString("0123456789abcdef");
    out.setBufReserveSize(0);
    const char* data = out.getBufferString() + 4;
    ASSERT_TRUE(fx->serializeBuffer(data, 10, "copy", 0, out));
    EXPECT_EQ(contentOf(out), "0123456789abcdef<copy>456789abcd</copy>\n");
}

} // namespace
