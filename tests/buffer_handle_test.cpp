#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::contentOf;

namespace {

TEST(Handle, NewHandleIsEmpty) {
    const ZELTBuffer handle;
    EXPECT_EQ(handle.getBufferSize(), 0);
    EXPECT_EQ(handle.getBufReserveSize(), 0);
    EXPECT_EQ(handle.getMarkerPos(), 0);
    EXPECT_EQ(handle.getBufferString(), nullptr);
    EXPECT_EQ(handle.getBufferStringFromMarker(), nullptr);
}

TEST(Handle, ForwardsEveryOperationToItsStorage) {
    ZELTBuffer handle;
    EXPECT_TRUE(handle.setString("0123456789"));
    EXPECT_EQ(handle.getBufReserveSize(), 13);
    EXPECT_TRUE(handle.appendBufferString("ab", 2));
    EXPECT_TRUE(handle.appendString("c"));
    EXPECT_EQ(contentOf(handle), "0123456789abc");
    EXPECT_TRUE(handle.setMarkerPos(10));
    EXPECT_STREQ(handle.getBufferStringFromMarker(), "abc");
    EXPECT_FALSE(handle.setMarkerPos(14));
    EXPECT_TRUE(handle.setBufReserveSize(0));
    EXPECT_EQ(handle.getBufReserveSize(), 14);
    EXPECT_TRUE(handle.setBufferString("xyz", 2));
    EXPECT_EQ(contentOf(handle), "xy");
    EXPECT_EQ(handle.getMarkerPos(), 0);
    handle.clearBufferString();
    EXPECT_EQ(handle.getBufferSize(), 0);
    EXPECT_EQ(handle.getBufReserveSize(), 14);
    EXPECT_TRUE(handle.initialize());
}

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

TEST(Handle, CopyConstructionTakesNothing) {
    ZELTBuffer source;
    source = "content";
    const ZELTBuffer copy(source);
    EXPECT_EQ(copy.getBufferSize(), 0);
    EXPECT_EQ(copy.getBufferString(), nullptr);
}

TEST(Handle, AssignmentCopiesIntoItsOwnStorage) {
    ZELTBuffer source;
    source = "content";
    source.setMarkerPos(3);
    ZELTBuffer target;
    target = source;
    EXPECT_EQ(contentOf(target), "content");
    EXPECT_EQ(target.getMarkerPos(), 0);

    // Separate storage: a change to one is not seen through the other.
    target.appendString("+");
    EXPECT_EQ(contentOf(source), "content");
    EXPECT_NE(target.getBufferString(), source.getBufferString());
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

TEST(Handle, TearDownReleasesOnceAndLeavesAUsableHandle) {
    ZELTBuffer handle;
    handle = "content";
    handle.tearDown();
    handle.tearDown();
    EXPECT_EQ(handle.getBufferSize(), 0);
    EXPECT_EQ(handle.getBufferString(), nullptr);
    EXPECT_EQ(handle.getBufferStringFromMarker(), nullptr);

    ZELTBuffer source;
    source = "copied";
    ZELTBuffer torn;
    torn.tearDown();
    torn = source;
    EXPECT_EQ(contentOf(torn), "copied");
    source.tearDown();
    torn = source;
    EXPECT_EQ(torn.getBufferSize(), 0);

    handle.appendString("again");
    EXPECT_EQ(contentOf(handle), "again");
}

TEST(Handle, RefusalsPassThrough) {
    ZELTBuffer handle;
    handle = "abc";
    EXPECT_FALSE(handle.setBufferString(nullptr, 2));
    EXPECT_FALSE(handle.appendBufferString("x", -1));
    EXPECT_FALSE(handle.setString(nullptr));
    EXPECT_FALSE(handle.appendString(nullptr));
    EXPECT_EQ(contentOf(handle), "abc");
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

class TracedHandle : public ZELTBuffer {
public:
    explicit TracedHandle(bool& destroyed) : destroyed(destroyed) {}
    ~TracedHandle() override { destroyed = true; }

private:
    bool& destroyed;
};

TEST(Handle, DeletingThroughTheBaseRunsTheDerivedDestructor) {
    bool destroyed = false;
    ZELTBuffer* handle = new TracedHandle(destroyed);
    *handle = "content";
    delete handle;
    EXPECT_TRUE(destroyed);
}

} // namespace
