#include <climits>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFxXMLImpl.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTFx;
using ZELT::ZELTFxXMLImpl;
using zelt_test::contentOf;
using zelt_test::makeFormatter;

namespace {

char* const noBuffer = nullptr;

TEST(Factory, YieldsIndependentTaggedTextFormatters) {
    ZELTFx* first = nullptr;
    ZELTFx* second = nullptr;
    EXPECT_EQ(ZELTFx::instantiate(first, 0), 0);
    EXPECT_EQ(ZELTFx::instantiate(second, 42), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(dynamic_cast<ZELTFxXMLImpl*>(first), nullptr);
    EXPECT_NE(dynamic_cast<ZELTFxXMLImpl*>(second), nullptr);
    // Deleting through the interface releases the conversion buffer (the
    // sanitizer and valgrind runs see a leak otherwise).
    first->setConvBuffer(noBuffer, 0);
    delete first;
    delete second;
}

TEST(ConvBuffer, AFailedAllocationKeepsThePreviousOne) {
    auto fx = makeFormatter();
    fx->setConvBuffer(noBuffer, LONG_MAX);
    ZELTBuffer out;
    EXPECT_TRUE(fx->serializeInt32_t(1, "v", out));
    EXPECT_EQ(contentOf(out), "<v>1</v>\n");
}

TEST(ConvBuffer, WithoutOneEveryOperationRefuses) {
    ZELTFxXMLImpl fx;
    ZELTBuffer buffer;
    buffer = "<v>1</v>\n";
    const char* data = "raw";
    std::string text;
    long number = 7;
    bool flag = false;
    const std::vector<std::function<bool()>> operations = {
        [&] { return fx.serializeInt64_t(number, "v", buffer); },
        [&] { return fx.serializeBool(flag, "v", buffer); },
        [&] { return fx.serializeString("abc", "v", buffer); },
        [&] { return fx.serializeBuffer(data, 3, "v", 0, buffer); },
        [&] { return fx.deserializeInt64_t("v", buffer, number); },
        [&] { return fx.deserializeBool("v", buffer, flag); },
        [&] { return fx.deserializeString("v", buffer, text); },
    };
    for (const auto& operation : operations) {
        EXPECT_FALSE(operation());
    }
    EXPECT_EQ(contentOf(buffer), "<v>1</v>\n");
    EXPECT_EQ(buffer.getMarkerPos(), 0);
    EXPECT_EQ(number, 7);
    EXPECT_FALSE(flag);
}

TEST(Copies, TakeNothingFromTheSource) {
    ZELTFxXMLImpl source;
    source.setConvBuffer(noBuffer, 0);
    source.setFlags(7);
    ZELTBuffer out;

    ZELTFxXMLImpl constructed(source);
    EXPECT_EQ(constructed.getFlags(), 0);
    EXPECT_FALSE(constructed.serializeInt32_t(1, "v", out));

    ZELTFxXMLImpl assigned;
    assigned.setConvBuffer(noBuffer, 0);
    assigned.setFlags(3);
    assigned = source;
    EXPECT_EQ(assigned.getFlags(), 0);
    EXPECT_FALSE(assigned.serializeInt32_t(1, "v", out));
    assigned.setConvBuffer(noBuffer, 0);
    EXPECT_TRUE(assigned.serializeInt32_t(1, "v", out));

    ZELTFxXMLImpl bare; // assigned to without ever having a conversion buffer
    bare = source;
    EXPECT_FALSE(bare.serializeInt32_t(1, "v", out));

    EXPECT_EQ(source.getFlags(), 7);
    EXPECT_TRUE(source.serializeInt32_t(2, "v", out));
    EXPECT_EQ(contentOf(out), "<v>1</v>\n<v>2</v>\n");
}

} // namespace
