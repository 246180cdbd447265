// What only the handle does; the operations it shares with ZELTBufferIn are
// tested on both in buffer_storage_test.cpp.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::contentOf;

namespace {

TEST(Handle, TextAssignmentActsAsSetString) {
    ZELTBuffer assigned;
    ZELTBuffer set;
    assigned = "some text";
    set.setString("some text");
    EXPECT_EQ(contentOf(assigned), contentOf(set));
    EXPECT_EQ(assigned.getBufReserveSize(), set.getBufReserveSize());

    assigned.setMarkerPos(5);
    assigned = "other text";
    EXPECT_EQ(assigned.getMarkerPos(), 5);
}

TEST(Handle, SelfAssignmentChangesNothing) {
    ZELTBuffer handle;
    handle = "content";
    handle.setMarkerPos(4);
    const char* const area = handle.getBufferString();
    ZELTBuffer& alias = handle;
    handle = alias;
    EXPECT_EQ(handle.getBufferString(), area);
    EXPECT_EQ(contentOf(handle), "content");
    EXPECT_EQ(handle.getMarkerPos(), 4);
}

TEST(Handle, TextFormsBypassTheHandlesLengthTakingOperations) {
    zelt_test::RecordingBuffer handle;
    handle.setString("one");
    handle.appendString("two");
    static_cast<ZELTBuffer&>(handle) = "three";
    const std::vector<std::string> expected = {"appendString:two"};
    EXPECT_EQ(handle.calls, expected);
    EXPECT_EQ(contentOf(handle), "three");
}

} // namespace
