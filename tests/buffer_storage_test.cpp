#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <sstream>
#include <new>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "ZELTBufferIn.h"

using ZELT::ZELTBufferIn;

namespace {

std::string contentOf(const ZELTBufferIn& buffer) {
    return std::string(buffer.getBufferString(), static_cast<size_t>(buffer.getBufferSize()));
}

// Every byte from the end of the content to the end of the area must be zero.
bool tailIsZero(const ZELTBufferIn& buffer) {
    for (long i = buffer.getBufferSize(); i < buffer.getBufReserveSize(); ++i) {
        if (buffer.getBufferString()[i] != '\0') {
            return false;
        }
    }
    return true;
}

const std::string ten = "0123456789";

// Runs steps such as "set 10; append 2; reserve 0": set and append take a
// byte count, reserve a capacity; clear, teardown and assign-empty take none;
// assign N copies N bytes from a buffer reserved to 100.
void run(ZELTBufferIn& buffer, const std::string& steps) {
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
        } else if (verb == "clear") {
            buffer.clearBufferString();
        } else if (verb == "teardown") {
            buffer.tearDown();
        } else if (verb == "assign-empty") {
            buffer = ZELTBufferIn();
        } else if (verb == "assign") {
            ZELTBufferIn source;
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
};

const CapacityCase capacityCases[] = {
    {"set 10", 13, 10},
    {"set 5", 6, 5},
    {"set 2", 3, 2},                    // never less than the length plus its terminator
    {"set 0", 1, 0},
    {"set 10; set 12", 13, 12},         // fits: in place
    {"set 10; set 13", 16, 13},
    {"append 10", 13, 10},
    {"append 10; append 2", 15, 12},    // 13 is not greater than 10 + 2 + 1: grows by 2 + 0
    {"append 1000", 1300, 1000},
    {"set 10; reserve 0", 11, 10},      // fits the area to the content
    {"set 10; reserve 0; reserve 0", 11, 10},
    {"set 10; reserve 5", 13, 10},      // a non-zero request never shrinks
    {"set 10; reserve -4", 13, 10},
    {"set 10; reserve 100", 100, 10},
    {"reserve 0", 1, 0},
    {"set 2; append 1; reserve 0", 4, 3},
    {"set 10; assign-empty", 1, 0},
    {"set 3; assign 10", 13, 10},       // sized from the content, not the source's capacity
    {"set 10; clear", 13, 0},
    {"clear", 0, 0},                    // a buffer without an area stays without
    {"set 10; set 0", 13, 0},           // empty content in place clears the whole area
    {"append 3; reserve 40", 40, 3},    // capacity raised over memory set aside reads as zero
    {"append 3; reserve 64", 64, 3},    // 64 bytes are set aside at first: all of them, then one more
    {"append 3; reserve 65", 65, 3},
    {"append 3; append 46", 63, 49},    // 4 + 46 + 13: grows within what was set aside
    {"append 3; append 47", 65, 50},    // 4 + 47 + 14: beyond it
    {"append 10; append 1", 13, 11},    // 13 is greater than 10 + 1 + 1: in place
    {"set 10; reserve 13", 13, 10},     // the capacity itself changes nothing
    {"set 10; reserve 14", 14, 10},
    {"set 10; teardown; teardown", 0, 0},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CapacityCase& c, std::ostream* os) { *os << c.steps; }

class Capacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, FollowsTheGrowthRules) {
    ZELTBufferIn buffer;
    run(buffer, GetParam().steps);
    EXPECT_EQ(buffer.getBufReserveSize(), GetParam().capacity);
    EXPECT_EQ(buffer.getBufferSize(), GetParam().size);
    EXPECT_EQ(buffer.getBufferString() == nullptr, GetParam().capacity == 0);
    if (buffer.getBufferString() != nullptr) {
        EXPECT_TRUE(tailIsZero(buffer));
    }
}

INSTANTIATE_TEST_SUITE_P(Buffer, Capacity, testing::ValuesIn(capacityCases),
                         [](const testing::TestParamInfo<CapacityCase>& info) {
                             std::string name = info.param.steps;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(Capacity, GrowthIsAdditiveSoEqualAppendsOftenGrow) {
    ZELTBufferIn buffer;
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
TEST(Capacity, AreasAroundFourMebibytes) {
    constexpr long edge = 4L << 20;
    for (const long length : {edge - 1, edge, edge + 1}) {
        std::string bytes(static_cast<size_t>(length), 'x');
        bytes.back() = 'y';
        ZELTBufferIn set;
        set.setBufferString(bytes.data(), length);
        ZELTBufferIn appended;
        appended.setBufReserveSize(length); // the request itself is the area's size
        appended.appendBufferString(bytes.data(), length);
        for (const ZELTBufferIn* buffer : {&set, &appended}) {
            EXPECT_EQ(contentOf(*buffer), bytes) << length;
            EXPECT_TRUE(tailIsZero(*buffer)) << length;
        }
    }
}

TEST(Capacity, ReserveKeepsContentAndMarker) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setMarkerPos(4);
    EXPECT_TRUE(buffer.setBufReserveSize(100));
    EXPECT_EQ(contentOf(buffer), ten);
    EXPECT_EQ(buffer.getMarkerPos(), 4);
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), "456789");
}

TEST(Capacity, ComputationsThatWouldOverflowThrowAndChangeNothing) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    EXPECT_THROW(buffer.appendBufferString("x", LONG_MAX), std::bad_alloc);
    EXPECT_THROW(buffer.setBufferString("x", LONG_MAX), std::bad_alloc);
    EXPECT_EQ(contentOf(buffer), ten);
    EXPECT_EQ(buffer.getBufReserveSize(), 13);
}

TEST(Content, ReplacingInPlaceZeroesWhatTheOldContentLeft) {
    ZELTBufferIn buffer;
    buffer.setString("a long first text");
    buffer.setString("short");
    EXPECT_EQ(contentOf(buffer), "short");
    EXPECT_STREQ(buffer.getBufferString(), "short");
    EXPECT_TRUE(tailIsZero(buffer));
}

TEST(Content, ClearZeroesTheWholeArea) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setMarkerPos(3);
    buffer.clearBufferString();
    EXPECT_EQ(buffer.getBufferSize(), 0);
    EXPECT_EQ(buffer.getMarkerPos(), 0);
    EXPECT_TRUE(tailIsZero(buffer));
}

TEST(Content, HoldsNulBytesWhileTextViewsEndAtTheFirst) {
    ZELTBufferIn buffer;
    const char bytes[] = {'a', '\0', 'b'};
    buffer.setBufferString(bytes, 3);
    buffer.appendBufferString(bytes, 3);
    EXPECT_EQ(contentOf(buffer), std::string("a\0ba\0b", 6));
    EXPECT_STREQ(buffer.getBufferString(), "a");
}

struct Refusal {
    const char* name;
    std::function<bool(ZELTBufferIn&)> call;
};

const Refusal refusals[] = {
    {"set from null with a length", [](ZELTBufferIn& b) { return b.setBufferString(nullptr, 5); }},
    {"set with a negative length", [](ZELTBufferIn& b) { return b.setBufferString("abc", -1); }},
    {"set a null text", [](ZELTBufferIn& b) { return b.setString(nullptr); }},
    {"append from null with a length", [](ZELTBufferIn& b) { return b.appendBufferString(nullptr, 3); }},
    {"append with a negative length", [](ZELTBufferIn& b) { return b.appendBufferString("abc", -2); }},
    {"append a null text", [](ZELTBufferIn& b) { return b.appendString(nullptr); }},
    {"marker past the content", [](ZELTBufferIn& b) { return b.setMarkerPos(b.getBufferSize() + 1); }},
    {"negative marker", [](ZELTBufferIn& b) { return b.setMarkerPos(-1); }},
};

TEST(Refusals, ReturnFalseAndChangeNothing) {
    for (const Refusal& refusal : refusals) {
        ZELTBufferIn buffer;
        buffer.setString(ten.c_str());
        buffer.setMarkerPos(2);
        EXPECT_FALSE(refusal.call(buffer)) << refusal.name;
        EXPECT_EQ(contentOf(buffer), ten) << refusal.name;
        EXPECT_EQ(buffer.getBufReserveSize(), 13) << refusal.name;
        EXPECT_EQ(buffer.getMarkerPos(), 2) << refusal.name;
    }
}

TEST(Refusals, NullSourceWithZeroLengthIsEmptyContent) {
    ZELTBufferIn buffer;
    EXPECT_TRUE(buffer.setBufferString(nullptr, 0));
    EXPECT_EQ(buffer.getBufReserveSize(), 1);
    EXPECT_TRUE(buffer.appendBufferString(nullptr, 0));
    EXPECT_EQ(buffer.getBufferSize(), 0);
}

TEST(Marker, NewBufferHasNoArea) {
    const ZELTBufferIn buffer;
    EXPECT_EQ(buffer.getBufferString(), nullptr);
    EXPECT_EQ(buffer.getBufferStringFromMarker(), nullptr);
    EXPECT_EQ(buffer.getBufferSize(), 0);
    EXPECT_EQ(buffer.getBufReserveSize(), 0);
    EXPECT_EQ(buffer.getMarkerPos(), 0);
}

TEST(Marker, MovesWithinTheContentOnly) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    EXPECT_TRUE(buffer.setMarkerPos(buffer.getBufferSize()));
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), "");
    EXPECT_TRUE(buffer.setMarkerPos(0));
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), ten.c_str());
}

TEST(Marker, SurvivesAppendsAndLongEnoughReplacements) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setMarkerPos(6);
    buffer.appendString("abc");
    EXPECT_EQ(buffer.getMarkerPos(), 6);
    buffer.setString("ABCDEF");
    EXPECT_EQ(buffer.getMarkerPos(), 6);
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), "");
}

TEST(Marker, ReturnsToTheStartWhenTheNewContentIsShorter) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setMarkerPos(4); // one beyond the new content
    buffer.setString("abc");
    EXPECT_EQ(buffer.getMarkerPos(), 0);
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), "abc");
    // Refitting afterwards keeps the marker inside the area.
    buffer.setBufReserveSize(0);
    EXPECT_STREQ(buffer.getBufferStringFromMarker(), "abc");
}

TEST(Marker, InitializeResetsOnlyTheMarker) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setMarkerPos(5);
    EXPECT_TRUE(buffer.initialize());
    EXPECT_EQ(buffer.getMarkerPos(), 0);
    EXPECT_EQ(contentOf(buffer), ten);
}

TEST(Copy, ConstructionTakesNothing) {
    ZELTBufferIn source;
    source.setString(ten.c_str());
    const ZELTBufferIn copy(source);
    EXPECT_EQ(copy.getBufferString(), nullptr);
    EXPECT_EQ(copy.getBufferSize(), 0);
}

TEST(Copy, AssignmentCopiesContentButNotTheMarker) {
    ZELTBufferIn source;
    source.setString(ten.c_str());
    source.setMarkerPos(7);
    ZELTBufferIn target;
    target.setString("old content that is longer");
    target.setMarkerPos(3);
    target = source;
    EXPECT_EQ(contentOf(target), ten);
    EXPECT_EQ(target.getMarkerPos(), 0);
    EXPECT_NE(target.getBufferString(), source.getBufferString());
    EXPECT_EQ(source.getMarkerPos(), 7);
}

TEST(Aliasing, SelfAssignmentKeepsTheBytes) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    ZELTBufferIn& alias = buffer;
    buffer = alias;
    EXPECT_EQ(contentOf(buffer), ten);
    EXPECT_TRUE(tailIsZero(buffer));
}

TEST(Aliasing, SetFromOwnContentOrUnreadText) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    EXPECT_TRUE(buffer.setBufferString(buffer.getBufferString(), buffer.getBufferSize()));
    EXPECT_EQ(contentOf(buffer), ten);

    buffer.setMarkerPos(4);
    EXPECT_TRUE(buffer.setString(buffer.getBufferStringFromMarker()));
    EXPECT_EQ(contentOf(buffer), "456789");
    EXPECT_TRUE(tailIsZero(buffer));
}

TEST(Aliasing, SetFromOwnContentThatMustGrow) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.setBufReserveSize(0);
    // Content plus its zero terminator is as long as the area: the set grows it.
    EXPECT_TRUE(buffer.setBufferString(buffer.getBufferString(), buffer.getBufferSize() + 1));
    EXPECT_EQ(contentOf(buffer), ten + '\0');
}

TEST(Aliasing, AppendOwnContentDoublesIt) {
    for (const long reserve : {0L, 1000L}) { // once growing, once in place
        ZELTBufferIn buffer;
        buffer.setString(ten.c_str());
        buffer.setBufReserveSize(reserve);
        EXPECT_TRUE(buffer.appendString(buffer.getBufferString()));
        EXPECT_EQ(contentOf(buffer), ten + ten) << "reserve " << reserve;
        EXPECT_TRUE(tailIsZero(buffer));
    }
}

TEST(Lifecycle, UsableAfterTearDown) {
    ZELTBufferIn buffer;
    buffer.setString(ten.c_str());
    buffer.tearDown();
    EXPECT_EQ(buffer.getBufferString(), nullptr);
    EXPECT_TRUE(buffer.appendString("again"));
    EXPECT_EQ(contentOf(buffer), "again");
    EXPECT_EQ(buffer.getBufReserveSize(), 6);
}

// Overrides the two length-taking operations, as a derived storage may.
class CountingStorage : public ZELTBufferIn {
public:
    explicit CountingStorage(bool* destroyed = nullptr) : destroyed(destroyed) {}
    ~CountingStorage() override {
        if (destroyed != nullptr) {
            *destroyed = true;
        }
    }
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

private:
    bool* destroyed;
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

TEST(Derived, DeletingThroughTheBaseRunsTheDerivedDestructor) {
    bool destroyed = false;
    ZELTBufferIn* storage = new CountingStorage(&destroyed);
    storage->setString(ten.c_str());
    delete storage;
    EXPECT_TRUE(destroyed);
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
