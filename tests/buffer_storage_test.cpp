// ZELTBufferIn, and the ZELTBuffer handle whose operations must behave as
// their ZELTBufferIn namesakes: every test here runs on both.
#include <algorithm>
#include <climits>
#include <functional>
#include <sstream>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "ZELTBuffer.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTBufferIn;

namespace {

template <typename Buffer>
std::string contentOf(const Buffer& buffer) {
    return std::string(buffer.getBufferString(), static_cast<size_t>(buffer.getBufferSize()));
}

// Every byte from the end of the content to the end of the area must be zero.
template <typename Buffer>
bool tailIsZero(const Buffer& buffer) {
    for (long i = buffer.getBufferSize(); i < buffer.getBufReserveSize(); ++i) {
        if (buffer.getBufferString()[i] != '\0') {
            return false;
        }
    }
    return true;
}

const std::string ten = "0123456789";

// Runs steps such as "set 10; append 2; reserve 0": set and append take a
// byte count, reserve a capacity, marker a position; clear, initialize,
// teardown, assign-empty and assign-torn (from a torn-down buffer) take none;
// assign N copies N bytes from a buffer reserved to 100.
template <typename Buffer>
void run(Buffer& buffer, const std::string& steps) {
    std::istringstream words(steps);
    std::string step;
    while (std::getline(words, step, ';')) {
        std::istringstream parts(step);
        std::string verb;
        long count = 0;
        parts >> verb >> count;
        const std::string bytes(static_cast<size_t>(std::max(count, 0L)), 'x');
        if (verb == "set") {
            buffer.setString(bytes.c_str());
        } else if (verb == "append") {
            buffer.appendString(bytes.c_str());
        } else if (verb == "reserve") {
            buffer.setBufReserveSize(count);
        } else if (verb == "marker") {
            EXPECT_TRUE(buffer.setMarkerPos(count)) << step;
        } else if (verb == "clear") {
            buffer.clearBufferString();
        } else if (verb == "initialize") {
            EXPECT_TRUE(buffer.initialize());
        } else if (verb == "teardown") {
            buffer.tearDown();
        } else if (verb == "assign-empty") {
            buffer = Buffer();
        } else if (verb == "assign-torn") {
            Buffer source;
            source.tearDown();
            buffer = source;
        } else if (verb == "assign") {
            Buffer source;
            source.setBufReserveSize(100);
            source.setString(bytes.c_str());
            buffer = source;
        } else {
            FAIL() << "unknown step " << verb;
        }
    }
}

struct CapacityCase {
    const char* steps;
    long capacity;
    long size;
    long marker;
};

const CapacityCase capacityCases[] = {
    {"set 10", 13, 10, 0},
    {"set 5", 6, 5, 0},
    {"set 2", 3, 2, 0},                       // never less than the length plus its terminator
    {"set 0", 1, 0, 0},
    {"set 10; set 12", 13, 12, 0},            // fits: in place
    {"set 10; set 13", 16, 13, 0},
    {"set 17; set 5", 22, 5, 0},              // in place, the old content's bytes zeroed
    {"append 10", 13, 10, 0},
    {"append 10; append 2", 15, 12, 0},       // 13 is not greater than 10 + 2 + 1: grows by 2 + 0
    {"append 1000", 1300, 1000, 0},
    {"set 10; reserve 0", 11, 10, 0},         // fits the area to the content
    {"set 10; reserve 0; reserve 0", 11, 10, 0},
    {"set 10; reserve 5", 13, 10, 0},         // a non-zero request never shrinks
    {"set 10; reserve -4", 13, 10, 0},
    {"set 10; reserve 100", 100, 10, 0},
    {"reserve 0", 1, 0, 0},
    {"set 2; append 1; reserve 0", 4, 3, 0},
    {"set 10; assign-empty", 1, 0, 0},
    {"set 3; assign 10", 13, 10, 0},          // sized from the content, not the source's capacity
    {"set 10; clear", 13, 0, 0},
    {"clear", 0, 0, 0},                       // a buffer without an area stays without
    {"set 10; set 0", 13, 0, 0},              // empty content in place clears the whole area
    {"append 3; reserve 40", 40, 3, 0},       // capacity raised over memory set aside reads as zero
    {"append 3; reserve 64", 64, 3, 0},       // 64 bytes are set aside at first: all of them, then one more
    {"append 3; reserve 65", 65, 3, 0},
    {"append 3; append 46", 63, 49, 0},       // 4 + 46 + 13: grows within what was set aside
    {"append 3; append 47", 65, 50, 0},       // 4 + 47 + 14: beyond it
    {"append 10; append 1", 13, 11, 0},       // 13 is greater than 10 + 1 + 1: in place
    {"set 10; reserve 13", 13, 10, 0},        // the capacity itself changes nothing
    {"set 10; reserve 14", 14, 10, 0},
    {"set 10; teardown; teardown", 0, 0, 0},
    {"set 10; teardown; append 5", 6, 5, 0},  // usable again after tearDown
    {"teardown; assign 6", 7, 6, 0},           // copied to after tearDown ...
    {"set 10; assign-torn", 1, 0, 0},          // ... and from
    // The marker: anywhere within the content, kept by whatever leaves it there.
    {"set 10; marker 10", 13, 10, 10},
    {"set 10; marker 4; reserve 100", 100, 10, 4},
    {"set 10; marker 6; append 3; set 6", 16, 6, 6},
    {"set 10; marker 4; set 3", 13, 3, 0},    // back to the start when the new content is shorter
    {"set 10; marker 4; set 3; reserve 0", 4, 3, 0},
    {"set 10; marker 5; initialize", 13, 10, 0},
    {"set 10; marker 3; clear", 13, 0, 0},
    {"set 10; marker 7; assign 10", 13, 10, 0},
};

template <typename Buffer>
void expectCase(const CapacityCase& c) {
    Buffer buffer;
    run(buffer, c.steps);
    EXPECT_EQ(buffer.getBufReserveSize(), c.capacity);
    EXPECT_EQ(buffer.getBufferSize(), c.size);
    EXPECT_EQ(buffer.getMarkerPos(), c.marker);
    EXPECT_EQ(buffer.getBufferString() == nullptr, c.capacity == 0);
    if (buffer.getBufferString() != nullptr) {
        EXPECT_EQ(contentOf(buffer), std::string(static_cast<size_t>(c.size), 'x'));
        EXPECT_EQ(buffer.getBufferStringFromMarker(), buffer.getBufferString() + c.marker);
        EXPECT_TRUE(tailIsZero(buffer));
    } else {
        EXPECT_EQ(buffer.getBufferStringFromMarker(), nullptr);
    }
}

TEST(Capacity, FollowsTheGrowthRules) {
    for (const CapacityCase& c : capacityCases) {
        SCOPED_TRACE(c.steps);
        expectCase<ZELTBufferIn>(c);
        SCOPED_TRACE("ZELTBuffer");
        expectCase<ZELTBuffer>(c);
    }
}

template <typename Buffer>
class Buffers : public testing::Test {};
using BothKinds = testing::Types<ZELTBufferIn, ZELTBuffer>;
TYPED_TEST_SUITE(Buffers, BothKinds, );

TYPED_TEST(Buffers, GrowthIsAdditiveSoEqualAppendsOftenGrow) {
    TypeParam buffer;
    int growths = 0;
    for (int i = 0; i < 1000; ++i) {
        const long before = buffer.getBufReserveSize();
        buffer.appendString(ten.c_str());
        growths += buffer.getBufReserveSize() != before ? 1 : 0;
    }
    EXPECT_EQ(growths, 770);
    EXPECT_EQ(buffer.getBufferSize(), 10000);
    EXPECT_TRUE(tailIsZero(buffer));
}

// Areas of 4 MiB and more are handled apart (they ask for huge pages): one
// byte below, at and above, set and appended, the content and the zero tail
// must come out as for any other size.
TYPED_TEST(Buffers, AreasAroundFourMebibytes) {
    constexpr long edge = 4L << 20;
    for (const long length : {edge - 1, edge, edge + 1}) {
        std::string bytes(static_cast<size_t>(length), 'x');
        bytes.back() = 'y';
        TypeParam set;
        set.setBufferString(bytes.data(), length);
        TypeParam appended;
        appended.setBufReserveSize(length); // the request itself is the area's size
        appended.appendBufferString(bytes.data(), length);
        for (const TypeParam* buffer : {&set, &appended}) {
            EXPECT_EQ(contentOf(*buffer), bytes) << length;
            EXPECT_TRUE(tailIsZero(*buffer)) << length;
        }
    }
}

// Content replaced in place may raise the capacity into memory set aside by
// an earlier growth, which was never part of the area: it must come out zero,
// and a shorter content must leave no old byte behind.
TYPED_TEST(Buffers, ReplacingInPlaceClearsWhatTheCapacityTakesIn) {
    TypeParam buffer;
    buffer.setString(std::string(1000, 'a').c_str()); // capacity 1,300, the memory just as large
    buffer.appendString(std::string(299, 'b').c_str()); // a new area: capacity 1,688, twice the memory
    ASSERT_EQ(buffer.getBufReserveSize(), 1688);
    const std::string longer(1700, 'd');
    buffer.setBufferString(longer.data(), static_cast<long>(longer.size()));
    EXPECT_EQ(buffer.getBufReserveSize(), 2210); // 1,700 + 30 %, within the memory set aside
    EXPECT_EQ(contentOf(buffer), longer);
    EXPECT_TRUE(tailIsZero(buffer));
    buffer.setString("e");
    EXPECT_EQ(contentOf(buffer), "e");
    EXPECT_TRUE(tailIsZero(buffer));
    // The memory set aside is 2,600 bytes: 2,000 bytes and their 30 % fill it
    // exactly; one byte more needs a new area.
    for (const long length : {1999L, 2000L, 2001L}) {
        const std::string edge(static_cast<size_t>(length), 'f');
        TypeParam fresh;
        fresh.setString(std::string(1000, 'a').c_str());
        fresh.appendString(std::string(299, 'b').c_str());
        fresh.setBufferString(edge.data(), length);
        EXPECT_EQ(fresh.getBufReserveSize(), length + length * 3 / 10) << length;
        EXPECT_EQ(contentOf(fresh), edge) << length;
        EXPECT_TRUE(tailIsZero(fresh)) << length;
    }
}

TYPED_TEST(Buffers, ComputationsThatWouldOverflowThrowAndChangeNothing) {
    TypeParam buffer;
    buffer.setString(ten.c_str());
    EXPECT_THROW(buffer.appendBufferString("x", LONG_MAX), std::bad_alloc);
    EXPECT_THROW(buffer.setBufferString("x", LONG_MAX), std::bad_alloc);
    EXPECT_THROW(buffer.setBufferString("x", LONG_MAX - 1), std::bad_alloc); // length + 30 % overflows
    EXPECT_EQ(contentOf(buffer), ten);
    EXPECT_EQ(buffer.getBufReserveSize(), 13);
}

TYPED_TEST(Buffers, HoldNulBytesWhileTextViewsEndAtTheFirst) {
    TypeParam buffer;
    const char bytes[] = {'a', '\0', 'b'};
    buffer.setBufferString(bytes, 3);
    buffer.appendBufferString(bytes, 3);
    EXPECT_EQ(contentOf(buffer), std::string("a\0ba\0b", 6));
    EXPECT_STREQ(buffer.getBufferString(), "a");
}

template <typename Buffer>
struct Refusal {
    const char* name;
    std::function<bool(Buffer&)> call;
};

template <typename Buffer>
const Refusal<Buffer> refusals[] = {
    {"set from null with a length", [](Buffer& b) { return b.setBufferString(nullptr, 5); }},
    {"set with a negative length", [](Buffer& b) { return b.setBufferString("abc", -1); }},
    {"set a null text", [](Buffer& b) { return b.setString(nullptr); }},
    {"append from null with a length", [](Buffer& b) { return b.appendBufferString(nullptr, 3); }},
    {"append with a negative length", [](Buffer& b) { return b.appendBufferString("abc", -2); }},
    {"append a null text", [](Buffer& b) { return b.appendString(nullptr); }},
    {"marker past the content", [](Buffer& b) { return b.setMarkerPos(b.getBufferSize() + 1); }},
    {"negative marker", [](Buffer& b) { return b.setMarkerPos(-1); }},
};

TYPED_TEST(Buffers, RefusalsReturnFalseAndChangeNothing) {
    for (const Refusal<TypeParam>& refusal : refusals<TypeParam>) {
        TypeParam buffer;
        buffer.setString(ten.c_str());
        buffer.setMarkerPos(2);
        EXPECT_FALSE(refusal.call(buffer)) << refusal.name;
        EXPECT_EQ(contentOf(buffer), ten) << refusal.name;
        EXPECT_EQ(buffer.getBufReserveSize(), 13) << refusal.name;
        EXPECT_EQ(buffer.getMarkerPos(), 2) << refusal.name;
    }
}

TYPED_TEST(Buffers, NullSourceWithZeroLengthIsEmptyContent) {
    TypeParam buffer;
    EXPECT_TRUE(buffer.setBufferString(nullptr, 0));
    EXPECT_EQ(buffer.getBufReserveSize(), 1);
    EXPECT_TRUE(buffer.appendBufferString(nullptr, 0));
    EXPECT_EQ(buffer.getBufferSize(), 0);
}

TYPED_TEST(Buffers, CopyConstructionTakesNothing) {
    TypeParam source;
    source.setString(ten.c_str());
    const TypeParam copy(source);
    EXPECT_EQ(copy.getBufferString(), nullptr);
    EXPECT_EQ(copy.getBufferSize(), 0);
}

TYPED_TEST(Buffers, AssignmentCopiesContentButNotTheMarker) {
    TypeParam source;
    source.setString(ten.c_str());
    source.setMarkerPos(7);
    TypeParam target;
    target.setString("old content that is longer");
    target.setMarkerPos(3);
    target = source;
    EXPECT_EQ(contentOf(target), ten);
    EXPECT_EQ(target.getMarkerPos(), 0);
    EXPECT_NE(target.getBufferString(), source.getBufferString());
    EXPECT_EQ(source.getMarkerPos(), 7);
}

TYPED_TEST(Buffers, SelfAssignmentKeepsTheBytes) {
    TypeParam buffer;
    buffer.setString(ten.c_str());
    TypeParam& alias = buffer;
    buffer = alias;
    EXPECT_EQ(contentOf(buffer), ten);
    EXPECT_TRUE(tailIsZero(buffer));
}

TYPED_TEST(Buffers, SetFromOwnContentOrUnreadText) {
    TypeParam buffer;
    buffer.setString(ten.c_str());
    EXPECT_TRUE(buffer.setBufferString(buffer.getBufferString(), buffer.getBufferSize()));
    EXPECT_EQ(contentOf(buffer), ten);

    buffer.setMarkerPos(4);
    EXPECT_TRUE(buffer.setString(buffer.getBufferStringFromMarker()));
    EXPECT_EQ(contentOf(buffer), "456789");
    EXPECT_TRUE(tailIsZero(buffer));
}

TYPED_TEST(Buffers, SetFromOwnContentThatMustGrow) {
    TypeParam buffer;
    buffer.setString(ten.c_str());
    buffer.setBufReserveSize(0);
    // Content plus its zero terminator is as long as the area: the set grows it.
    EXPECT_TRUE(buffer.setBufferString(buffer.getBufferString(), buffer.getBufferSize() + 1));
    EXPECT_EQ(contentOf(buffer), ten + '\0');
}

TYPED_TEST(Buffers, AppendOwnContentDoublesIt) {
    for (const long reserve : {0L, 1000L}) { // once growing, once in place
        TypeParam buffer;
        buffer.setString(ten.c_str());
        buffer.setBufReserveSize(reserve);
        EXPECT_TRUE(buffer.appendString(buffer.getBufferString()));
        EXPECT_EQ(contentOf(buffer), ten + ten) << "reserve " << reserve;
        EXPECT_TRUE(tailIsZero(buffer));
    }
}

template <typename Base>
class Traced : public Base {
public:
    explicit Traced(bool& destroyed) : destroyed(destroyed) {}
    ~Traced() override { destroyed = true; }

private:
    bool& destroyed;
};

TYPED_TEST(Buffers, DeletingThroughTheBaseRunsTheDerivedDestructor) {
    bool destroyed = false;
    TypeParam* buffer = new Traced<TypeParam>(destroyed);
    buffer->setString(ten.c_str());
    delete buffer;
    EXPECT_TRUE(destroyed);
}

// Overrides the two length-taking operations, as a derived storage may.
class CountingStorage : public ZELTBufferIn {
public:
    bool setBufferString(const char* source, long length) override {
        ++sets;
        return ZELTBufferIn::setBufferString(source, length);
    }
    bool appendBufferString(const char* source, long length) override {
        ++appends;
        return ZELTBufferIn::appendBufferString(source, length);
    }
    int sets = 0;
    int appends = 0;
};

TEST(Derived, TextFormsAndAssignmentReachTheLengthTakingOverrides) {
    CountingStorage storage;
    storage.setString("abc");
    storage.appendString("def");
    ZELTBufferIn source;
    source.setString("xyz");
    static_cast<ZELTBufferIn&>(storage) = source;
    EXPECT_EQ(storage.sets, 2);
    EXPECT_EQ(storage.appends, 1);
    EXPECT_EQ(contentOf(storage), "xyz");
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

TEST(Derived, AssignmentUndoesAnOverrideThatFailsAfterStoring) {
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

} // namespace
