// Corners that the main suites leave out: buffers without an area, empty
// content in place, capacity raised within memory set aside by appends, a
// derived buffer that fails or refuses, raw bytes taken from the output
// buffer itself, formatters without a conversion buffer, and the exact set of
// blanks the number readers skip.

#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "ZELTFxXMLImpl.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTBufferIn;
using zelt_test::contentOf;
using zelt_test::makeFormatter;

namespace {

// Every byte from the end of the content up to the capacity is zero.
template <typename Buffer>
void expectZeroTail(const Buffer& buffer) {
    const char* const area = buffer.getBufferString();
    ASSERT_NE(area, nullptr);
    for (long at = buffer.getBufferSize(); at < buffer.getBufReserveSize(); ++at) {
        ASSERT_EQ(area[at], '\0') << "at offset " << at;
    }
}

TEST(BufferCorners, ClearingABufferWithoutAnAreaKeepsItWithout) {
    ZELTBufferIn buffer;
    buffer.clearBufferString();
    EXPECT_EQ(buffer.getBufferString(), nullptr);
    EXPECT_EQ(buffer.getBufReserveSize(), 0);
    EXPECT_EQ(buffer.getBufferSize(), 0);
    EXPECT_EQ(buffer.getMarkerPos(), 0);
}

TEST(BufferCorners, EmptyContentInPlaceClearsTheWholeArea) {
    ZELTBufferIn buffer;
    buffer.setString("0123456789");
    buffer.setMarkerPos(6);
    ASSERT_TRUE(buffer.setString(""));
    EXPECT_EQ(buffer.getBufferSize(), 0);
    EXPECT_EQ(buffer.getBufReserveSize(), 13);
    EXPECT_EQ(buffer.getMarkerPos(), 0);
    expectZeroTail(buffer);
}

TEST(BufferCorners, CapacityRaisedWithinSetAsideMemoryReadsAsZero) {
    // A short append sets memory aside beyond the capacity; raising the
    // capacity over it must show zeros there.
    ZELTBufferIn buffer;
    ASSERT_TRUE(buffer.appendString("abc"));
    ASSERT_EQ(buffer.getBufReserveSize(), 4);
    ASSERT_TRUE(buffer.setBufReserveSize(40));
    EXPECT_EQ(buffer.getBufReserveSize(), 40);
    EXPECT_STREQ(buffer.getBufferString(), "abc");
    expectZeroTail(buffer);
}

// Copy assignment fills the target through the virtual setBufferString; an
// override that stores the content and then fails must still leave the
// target as it was, its new area released.
class FailingAfterStore : public ZELTBufferIn {
public:
    bool fail = false;
    bool setBufferString(const char* source, long length) override {
        const bool stored = ZELTBufferIn::setBufferString(source, length);
        if (fail) {
            throw std::bad_alloc();
        }
        return stored;
    }
};

TEST(BufferCorners, AssignmentUndoesAnOverrideThatFailsAfterStoring) {
    FailingAfterStore target;
    target.setString("0123456789");
    target.setMarkerPos(4);
    const std::string before(target.getBufferString(), static_cast<size_t>(target.getBufReserveSize()));
    ZELTBufferIn source;
    source.setString("a longer source text");
    target.fail = true;
    EXPECT_THROW(static_cast<ZELTBufferIn&>(target) = source, std::bad_alloc);
    EXPECT_EQ(std::string(target.getBufferString(), static_cast<size_t>(target.getBufReserveSize())), before);
    EXPECT_EQ(target.getBufferSize(), 10);
    EXPECT_EQ(target.getMarkerPos(), 4);
}

// A handle that refuses one kind of append, as a derived class may.
class RefusingBuffer : public ZELTBuffer {
public:
    bool refuseText = false;
    bool refuseBytes = false;
    bool appendString(const char* text) override { return !refuseText && ZELTBuffer::appendString(text); }
    bool appendBufferString(const char* source, long length) override {
        return !refuseBytes && ZELTBuffer::appendBufferString(source, length);
    }
};

TEST(FormatterCorners, WritersReportABufferThatRefuses) {
    auto fx = makeFormatter();
    const char* data = "raw";
    for (const bool refuseText : {false, true}) {
        SCOPED_TRACE(refuseText ? "appendString refuses" : "appendBufferString refuses");
        RefusingBuffer out;
        out.refuseText = refuseText;
        out.refuseBytes = !refuseText;
        EXPECT_FALSE(fx->serializeBuffer(data, 3, "blob", 0, out));
        EXPECT_EQ(fx->serializeString("v", "s", out), !refuseText);
        EXPECT_EQ(fx->serializeInt32_t(1, "n", out), !refuseText);
    }
    // The closing text still follows refused bytes, so the next element
    // starts on a line of its own.
    RefusingBuffer out;
    out.refuseBytes = true;
    fx->serializeBuffer(data, 3, "blob", 0, out);
    EXPECT_EQ(contentOf(out), "<blob></blob>\n");
}

// Appending the opening tag moves a full buffer's area; bytes taken from
// that area must still arrive as they were.
TEST(FormatterCorners, RawBlockMayTakeItsBytesFromTheOutputBuffer) {
    auto fx = makeFormatter();
    ZELTBuffer out;
    out.setString("0123456789abcdef");
    out.setBufReserveSize(0);
    const char* data = out.getBufferString() + 4;
    ASSERT_TRUE(fx->serializeBuffer(data, 10, "copy", 0, out));
    EXPECT_EQ(contentOf(out), "0123456789abcdef<copy>456789abcd</copy>\n");
}

TEST(FormatterCorners, AssignedFormatterWithoutConversionBufferStaysWithout) {
    ZELT::ZELTFxXMLImpl target;
    target.setFlags(5);
    target = ZELT::ZELTFxXMLImpl();
    EXPECT_EQ(target.getFlags(), 0);
    ZELTBuffer out;
    EXPECT_FALSE(target.serializeInt32_t(1, "n", out));
    EXPECT_EQ(out.getBufferSize(), 0);
    char* const unused = nullptr;
    target.setConvBuffer(unused, 0);
    EXPECT_TRUE(target.serializeInt32_t(1, "n", out));
    EXPECT_EQ(contentOf(out), "<n>1</n>\n");
}

TEST(FormatterCorners, SplittingANameSpecificationLeavesNoTraceInLaterElements) {
    ZELT::ZELTFxXMLImpl fx;
    char* const unused = nullptr;
    fx.setConvBuffer(unused, 0);
    const std::string tooLong(2000, 'x');
    ZELTBuffer out;
    for (const char* nameSpec : {"a|b|c", "|||", tooLong.c_str()}) {
        fx.checkAndGetAttrIdxDetails(nameSpec);
        fx.serializeInt32_t(1, "n", out);
        fx.serializeString("v", "s", out);
        fx.resetNames();
    }
    std::string once = "<n>1</n>\n<s>v</s>\n";
    EXPECT_EQ(contentOf(out), once + once + once);
}

// The readers skip exactly the blanks strtol skips: space and '\t' to '\r'.
TEST(FormatterCorners, NumberReadersSkipExactlyTheStandardBlanks) {
    auto fx = makeFormatter();
    for (int c = 1; c < 128; ++c) {
        const std::string value = std::string(1, static_cast<char>(c)) + "5";
        ZELTBuffer in;
        const std::string element = "<n>" + value + "</n>\n";
        in.setBufferString(element.data(), static_cast<long>(element.size()));
        long read = -1;
        ASSERT_TRUE(fx->deserializeInt64_t("n", in, read));
        EXPECT_EQ(read, std::strtol(value.c_str(), nullptr, 10)) << "character " << c;
    }
}

} // namespace
