// The binary with a replaced allocator. Its sweep: every operation that allocates runs again and
// again with its first, second, third ... allocation failing, until it runs to
// the end. After each failure the object must be exactly as it was before the
// call, and it must still work; the sanitizer and valgrind runs check that
// nothing leaks on the way.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFile.h"
#include "ZELTFxXMLImpl.h"
#include "ZELTScan.h"
#include "file_support.h"
#include "test_support.h"

namespace {

// Fault injection for the global allocator replaced at the end of this file.
struct Injector {
    long failAt = 0;          // number of the allocation to fail; 0: none
    long allocations = 0;     // since arming
    long nothrowAllocations = 0;
    std::size_t nothrowSizes[8] = {}; // the first ones: conversion buffers

    bool failed = false;
    bool failedNothrow = false;
};
Injector injector;

bool failThisAllocation(std::size_t size, bool nothrow) {
    ++injector.allocations;
    if (nothrow) {
        if (injector.nothrowAllocations < 8) {
            injector.nothrowSizes[injector.nothrowAllocations] = size;
        }
        ++injector.nothrowAllocations;
    }
    if (injector.failAt == 0 || injector.allocations != injector.failAt) {
        return false;
    }
    injector.failAt = 0;
    injector.failed = true;
    injector.failedNothrow = nothrow;
    return true;
}

void* allocate(std::size_t size, bool nothrow) noexcept {
    return failThisAllocation(size, nothrow) ? nullptr : std::malloc(size == 0 ? 1 : size);
}

// Out of line: g++ would otherwise see operator new's result reach free() in
// the inlined operator delete and report a mismatch that is none here.
[[gnu::noinline]] void release(void* memory) noexcept { std::free(memory); }

// What one run with a failing allocation did.
struct Outcome {
    bool failed = false;  // the armed allocation was reached and failed
    bool nothrow = false; // ... and it was a nothrow one
    bool threw = false;   // std::bad_alloc reached the caller
};

// Runs @p operation with allocation number @p failAt failing.
template <typename Operation>
Outcome runFailing(long failAt, Operation operation) {
    injector = Injector();
    injector.failAt = failAt;
    Outcome outcome;
    try {
        operation();
    } catch (const std::bad_alloc&) {
        outcome.threw = true;
    }
    injector.failAt = 0;
    outcome.failed = injector.failed;
    outcome.nothrow = injector.failedNothrow;
    return outcome;
}

struct Totals {
    int operations = 0;
    long failurePoints = 0;
};
Totals totals;

// Calls @p attempt(failAt) for failAt = 1, 2, ... until an attempt runs without
// reaching the failing allocation; attempt returns Outcome::failed and checks
// the rest itself.
template <typename Attempt>
void sweep(const std::string& name, Attempt attempt) {
    SCOPED_TRACE(name);
    long points = 0;
    for (long failAt = 1; attempt(failAt); ++failAt) {
        ++points;
        if (testing::Test::HasFailure()) {
            break;
        }
    }
    ++totals.operations;
    totals.failurePoints += points;
    std::printf("[ sweep    ] %s: %ld failure points\n", name.c_str(), points);
}

class SweepReport : public testing::Environment {
public:
    void TearDown() override {
        std::printf("allocation-failure sweep: %d operations x %ld failure points in all\n", totals.operations,
                    totals.failurePoints);
    }
};
const testing::Environment* const report = testing::AddGlobalTestEnvironment(new SweepReport);

using ZELT::ZELTBuffer;
using ZELT::ZELTBufferIn;
using ZELT::ZELTFx;

using zelt_test::BufferState;

const std::string longText(100, 'x');

template <typename Buffer>
struct BufferCase {
    const char* name;
    std::function<void(Buffer& target, Buffer& source)> prepare;
    std::function<void(Buffer& target, Buffer& source)> operate;
};

// A buffer holding ten bytes in a tight area (capacity 11), marker at 4, so
// that every growing operation must allocate and a kept marker is visible.
template <typename Buffer>
void tightWithMarker(Buffer& buffer) {
    buffer.setString("0123456789");
    buffer.setBufReserveSize(0);
    buffer.setMarkerPos(4);
}

template <typename Buffer>
void prepareBoth(Buffer& target, Buffer& source) {
    tightWithMarker(target);
    source.setString("source text");
    source.setMarkerPos(2);
}

// Sweeps each case: after a failure the target is as before, after the run
// that completes it is as an undisturbed run leaves it; the source is never
// changed.
template <typename Buffer>
void sweepBufferCases(const std::string& prefix, const std::vector<BufferCase<Buffer>>& cases) {
    for (const BufferCase<Buffer>& bufferCase : cases) {
        Buffer referenceTarget;
        Buffer referenceSource;
        bufferCase.prepare(referenceTarget, referenceSource);
        bufferCase.operate(referenceTarget, referenceSource);
        const BufferState completed(referenceTarget);

        sweep(prefix + bufferCase.name, [&](long failAt) {
            Buffer target;
            Buffer source;
            bufferCase.prepare(target, source);
            const BufferState before(target);
            const BufferState sourceBefore(source);
            const Outcome outcome = runFailing(failAt, [&] { bufferCase.operate(target, source); });
            EXPECT_EQ(outcome.threw, outcome.failed);
            EXPECT_EQ(BufferState(target), outcome.failed ? before : completed) << "target";
            if (&target != &source) {
                EXPECT_EQ(BufferState(source), sourceBefore) << "source";
            }
            return outcome.failed;
        });
    }
}

// Operations common to handles and storage objects.
template <typename Buffer>
std::vector<BufferCase<Buffer>> growingOperations() {
    using Case = BufferCase<Buffer>;
    const auto tight = [](Buffer& target, Buffer& /*source*/) { tightWithMarker(target); };
    return {
        Case{"setBufferString growing", tight,
             [](Buffer& target, Buffer&) { target.setBufferString(longText.data(), 40); }},
        Case{"setBufferString into a new buffer", [](Buffer&, Buffer&) {},
             [](Buffer& target, Buffer&) { target.setBufferString("abc", 3); }},
        Case{"setString growing", tight, [](Buffer& target, Buffer&) { target.setString(longText.c_str()); }},
        Case{"appendBufferString growing", tight,
             [](Buffer& target, Buffer&) { target.appendBufferString(longText.data(), 7); }},
        Case{"appendString growing", tight, [](Buffer& target, Buffer&) { target.appendString("abc"); }},
        Case{"appendString of its own content", tight,
             [](Buffer& target, Buffer&) { target.appendString(target.getBufferString()); }},
        Case{"appendBufferString of its own unread text", tight,
             [](Buffer& target, Buffer&) { target.appendBufferString(target.getBufferStringFromMarker(), 6); }},
        Case{"setBufReserveSize growing", tight, [](Buffer& target, Buffer&) { target.setBufReserveSize(1000); }},
        Case{"setBufReserveSize(0) refitting",
             [](Buffer& target, Buffer&) {
                 tightWithMarker(target);
                 target.setBufReserveSize(500);
             },
             [](Buffer& target, Buffer&) { target.setBufReserveSize(0); }},
        Case{"setBufReserveSize(0) on a new buffer", [](Buffer&, Buffer&) {},
             [](Buffer& target, Buffer&) { target.setBufReserveSize(0); }},
        Case{"copy assignment", prepareBoth<Buffer>, [](Buffer& target, Buffer& source) { target = source; }},
        Case{"copy assignment from an empty buffer", tight,
             [](Buffer& target, Buffer& source) { target = source; }},
        Case{"self-assignment", prepareBoth<Buffer>, [](Buffer& target, Buffer&) {
                 Buffer& alias = target;
                 target = alias;
             }},
    };
}

// A formatter without a conversion buffer, or with one of @p convBufferSize bytes.
std::unique_ptr<ZELTFx> formatterWith(long convBufferSize) {
    if (convBufferSize != 0) {
        return zelt_test::makeFormatter(convBufferSize);
    }
    return std::make_unique<ZELT::ZELTFxXMLImpl>();
}

// The sizes of the conversion buffers @p operation allocates.
template <typename Operation>
std::vector<std::size_t> convBufferSizes(Operation operation) {
    injector = Injector();
    operation();
    const auto count = static_cast<std::size_t>(std::min(injector.nothrowAllocations, 8L));
    return {injector.nothrowSizes, injector.nothrowSizes + count};
}

using Sizes = std::vector<std::size_t>;

char* const noBuffer = nullptr;

TEST(ConvBufferSize, HasAMinimumOf64KiB) {
    const std::pair<long, std::size_t> cases[] = {{0, 65536}, {100, 65536}, {65535, 65536}, {-5, 65536},
                                                  {65536, 65536}, {65537, 65537}, {100000, 100000}};
    for (const auto& c : cases) { // requested size, size allocated
        const std::unique_ptr<ZELTFx> fx = formatterWith(0);
        EXPECT_EQ(convBufferSizes([&] { fx->setConvBuffer(noBuffer, c.first); }), Sizes{c.second}) << c.first;
    }
}

TEST(ConvBufferSize, StringsEnlargeItToTheirLengthAndAQuarter) {
    const std::pair<std::size_t, Sizes> cases[] = {{52429, {}}, {52430, {65537}}, {60000, {75000}}};
    for (const auto& c : cases) { // value length, sizes allocated
        const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
        const std::string value(c.first, 'v');
        ZELTBuffer out;
        EXPECT_EQ(convBufferSizes([&] { fx->serializeString(value.c_str(), "tag|name|idx", out); }), c.second);
        EXPECT_EQ(zelt_test::contentOf(out), "<tag Name=\"name\" Idx=\"idx\">" + value + "</tag>\n");
    }
}

// A scalar element, or the closing text a reader looks for, that does not fit
// with its NUL grows the conversion buffer to exactly that size.
TEST(ConvBufferSize, LongTagsGrowItToTheTextAndItsNul) {
    for (const long extra : {0L, 1L}) { // text and NUL: 65,536, then one byte more
        const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
        const Sizes grown = extra == 0 ? Sizes{} : Sizes{65537};
        // "<" tag ">" 20 digits "</" tag ">\n" and NUL: 2 × tag + 27 bytes, an odd number, so
        // 65,535 stands for the size itself.
        const std::string writeTag(static_cast<std::size_t>((65536 - 28) / 2 + extra), 'w');
        ZELTBuffer out;
        EXPECT_EQ(convBufferSizes([&] { fx->serializeInt64_t(LONG_MIN, writeTag.c_str(), out); }), grown);
        const std::unique_ptr<ZELTFx> reader = zelt_test::makeFormatter();
        const std::string readTag(static_cast<std::size_t>(65536 - 5 + extra), 'r');
        ZELTBuffer in;
        in.setString(("<" + readTag + ">1</" + readTag + ">\n").c_str());
        long value = 0;
        EXPECT_EQ(convBufferSizes([&] { reader->deserializeInt64_t(readTag.c_str(), in, value); }), grown);
        EXPECT_EQ(value, 1);
    }
}

TEST(ConvBufferSize, ALaterSetReplacesItEvenWithASmallerOne) {
    const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
    const std::string value(60000, 'v');
    ZELTBuffer out;
    const Sizes sizes = convBufferSizes([&] {
        fx->serializeString(value.c_str(), "big", out);
        fx->setConvBuffer(noBuffer, 0);
    });
    EXPECT_EQ(sizes, (Sizes{75000, 65536}));
    EXPECT_TRUE(fx->serializeInt32_t(1, "after", out));
}

// Guards the sweep itself: a tool that replaces the allocator again (valgrind
// without --soname-synonyms=somalloc=nouserintercepts) would make every sweep
// pass without a single failure.
TEST(AllocationFailure, InjectionReachesTheLibrary) {
    ZELTBuffer buffer;
    const Outcome throwing = runFailing(1, [&] { buffer.setString("abc"); });
    EXPECT_TRUE(throwing.failed && throwing.threw && !throwing.nothrow);
    const std::unique_ptr<ZELTFx> fx = formatterWith(0);
    const Outcome nothrow = runFailing(1, [&] { fx->setConvBuffer(noBuffer, 0); });
    EXPECT_TRUE(nothrow.failed && !nothrow.threw && nothrow.nothrow);
}

TEST(AllocationFailure, StorageOperationsLeaveTheBufferAsItWas) {
    sweepBufferCases("ZELTBufferIn ", growingOperations<ZELTBufferIn>());
}

TEST(AllocationFailure, HandleOperationsLeaveTheBufferAsItWas) {
    using Case = BufferCase<ZELTBuffer>;
    std::vector<Case> cases = growingOperations<ZELTBuffer>();
    const auto tornDown = [](ZELTBuffer& target, ZELTBuffer&) { target.tearDown(); };
    cases.push_back(Case{"setString after tearDown", tornDown,
                         [](ZELTBuffer& target, ZELTBuffer&) { target.setString("abc"); }});
    cases.push_back(Case{"assignment of text", [](ZELTBuffer& target, ZELTBuffer&) { tightWithMarker(target); },
                         [](ZELTBuffer& target, ZELTBuffer&) { target = longText.c_str(); }});
    cases.push_back(Case{"copy assignment from a torn-down handle",
                         [](ZELTBuffer& target, ZELTBuffer& source) {
                             tightWithMarker(target);
                             source.tearDown();
                         },
                         [](ZELTBuffer& target, ZELTBuffer& source) { target = source; }});
    sweepBufferCases("ZELTBuffer ", cases);
}

// A file longer than a read past its end (4 KiB), made once.
const std::string& fileToLoad() {
    static const zelt_test::TempFolder folder;
    static const std::string path = folder.path("data");
    static const bool written = (zelt_test::writeWhole(path, std::string(10000, 'f')), true);
    static_cast<void>(written);
    return path;
}

// Loading reads straight into a buffer without an area, and beside one with
// an area; from a pipe, which tells no size, the memory grows as it reads.
TEST(AllocationFailure, LoadingLeavesTheBufferAsItWas) {
    using Case = BufferCase<ZELTBuffer>;
    const auto none = [](ZELTBuffer&, ZELTBuffer&) {};
    const auto tight = [](ZELTBuffer& target, ZELTBuffer&) { tightWithMarker(target); };
    const auto loadFile = [](ZELTBuffer& target, ZELTBuffer&) { ZELT::loadFile(fileToLoad().c_str(), target); };
    const auto loadPipe = [](ZELTBuffer& target, ZELTBuffer&) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const std::string text(10000, 'p'); // within the pipe's capacity: written before reading
        ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(ends[1]);
        ZELT::loadDescriptor(ends[0], "-", target);
        ::close(ends[0]);
    };
    fileToLoad();
    sweepBufferCases("loading ", std::vector<Case>{{"a file into a new buffer", none, loadFile},
                                                   {"a file into a buffer with an area", tight, loadFile},
                                                   {"a pipe into a new buffer", none, loadPipe},
                                                   {"a pipe into a buffer with an area", tight, loadPipe}});
}

// Here, unlike under valgrind's or ASan's own operator new, an allocation
// that fails throws, so a request no allocator can serve is tried for real.
TEST(AllocationFailure, UnservableReserveThrowsAndChangesNothing) {
    ZELTBufferIn buffer;
    tightWithMarker(buffer);
    const BufferState before(buffer);
    EXPECT_THROW(buffer.setBufReserveSize(LONG_MAX), std::bad_alloc);
    EXPECT_EQ(BufferState(buffer), before) << "buffer";
}

TEST(AllocationFailure, ConstructionReleasesWhatItTook) {
    sweep("ZELTBuffer construction", [](long failAt) {
        const Outcome outcome = runFailing(failAt, [] {
            const ZELTBuffer buffer;
            static_cast<void>(buffer);
        });
        EXPECT_EQ(outcome.threw, outcome.failed);
        return outcome.failed;
    });
    sweep("ZELTBuffer copy construction", [](long failAt) {
        ZELTBuffer source;
        source.setString("abc");
        std::unique_ptr<ZELTBuffer> copy;
        const Outcome outcome = runFailing(failAt, [&] { copy = std::make_unique<ZELTBuffer>(source); });
        EXPECT_EQ(outcome.threw, outcome.failed);
        EXPECT_EQ(copy == nullptr, outcome.failed);
        if (copy != nullptr) {
            EXPECT_EQ(copy->getBufferSize(), 0);
        }
        return outcome.failed;
    });
    sweep("ZELTFx::instantiate", [](long failAt) {
        ZELTFx* out = nullptr;
        const Outcome outcome = runFailing(failAt, [&] { ZELTFx::instantiate(out, 0); });
        std::unique_ptr<ZELTFx> created(out);
        EXPECT_EQ(outcome.threw, outcome.failed);
        EXPECT_EQ(out == nullptr, outcome.failed);
        return outcome.failed;
    });
}

// Checks that the conversion buffer's size is @p expected (0: none), as seen by
// serializeString of n bytes, which allocates exactly when n + n / 4 exceeds it
// (and so leaves it larger).
void expectConvBufferSize(ZELTFx& fx, long expected) {
    ZELTBuffer out;
    if (expected == 0) {
        EXPECT_FALSE(fx.serializeString("v", "v", out));
        EXPECT_EQ(out.getBufferSize(), 0);
        return;
    }
    long fits = expected * 4 / 5;
    while (fits + 1 + (fits + 1) / 4 <= expected) {
        ++fits;
    }
    for (const long length : {fits, fits + 1}) {
        const std::string value(static_cast<size_t>(length), 'v');
        const long before = injector.nothrowAllocations;
        EXPECT_TRUE(fx.serializeString(value.c_str(), "v", out));
        EXPECT_EQ(injector.nothrowAllocations - before, length == fits ? 0 : 1)
            << "conversion buffer size differs from " << expected << " for a " << length << "-byte value";
    }
}

// Checks that @p fx still writes elements as it should.
void expectWritesCorrectly(ZELTFx& fx, bool hasConvBuffer) {
    ZELTBuffer out;
    EXPECT_EQ(fx.serializeInt32_t(42, "count", out), hasConvBuffer);
    EXPECT_EQ(zelt_test::contentOf(out), hasConvBuffer ? "<count>42</count>\n" : "");
}

struct FormatterCase {
    const char* name;
    long convBefore; // conversion buffer size before the call; 0: none
    long convAfter;  // ... after a call that did not fail
    bool reportsFailure; // false for setConvBuffer, which returns nothing
    std::function<bool(ZELTFx&, ZELTBuffer&)> operate;
};

const std::string sixtyThousand(60000, 'v');

TEST(AllocationFailure, FormatterKeepsItsConversionBufferAndTheOutput) {
    const std::vector<FormatterCase> cases = {
        {"setConvBuffer on a new formatter", 0, 65536, false,
         [&](ZELTFx& fx, ZELTBuffer&) {
             fx.setConvBuffer(noBuffer, 0);
             return true;
         }},
        {"setConvBuffer replacing the conversion buffer", 65536, 100000, false,
         [&](ZELTFx& fx, ZELTBuffer&) {
             fx.setConvBuffer(noBuffer, 100000);
             return true;
         }},
        {"serializeString growing the conversion buffer", 65536, 75000, true,
         [](ZELTFx& fx, ZELTBuffer& out) { return fx.serializeString(sixtyThousand.c_str(), "v", out); }},
        {"serializeString with attributes", 65536, 65536, true,
         [](ZELTFx& fx, ZELTBuffer& out) { return fx.serializeString("Ada", "name|first|2", out); }},
        {"serializeInt64_t", 65536, 65536, true,
         [](ZELTFx& fx, ZELTBuffer& out) { return fx.serializeInt64_t(-9000000000L, "big", out); }},
        {"serializeBool", 65536, 65536, true, [](ZELTFx& fx, ZELTBuffer& out) { return fx.serializeBool(true, "ok", out); }},
    };
    for (const FormatterCase& formatterCase : cases) {
        ZELTBuffer referenceOut;
        tightWithMarker(referenceOut);
        formatterCase.operate(*formatterWith(formatterCase.convBefore), referenceOut);
        const BufferState completed(referenceOut);

        sweep(formatterCase.name, [&](long failAt) {
            const std::unique_ptr<ZELTFx> fx = formatterWith(formatterCase.convBefore);
            ZELTBuffer out;
            tightWithMarker(out);
            const BufferState before(out);

            bool result = false;
            const Outcome outcome = runFailing(failAt, [&] { result = formatterCase.operate(*fx, out); });
            // A conversion buffer that cannot be had is a false result; a
            // buffer that cannot grow is std::bad_alloc. Either way nothing
            // reaches the output.
            EXPECT_EQ(outcome.threw, outcome.failed && !outcome.nothrow);
            EXPECT_EQ(result, !(outcome.failed && formatterCase.reportsFailure));
            EXPECT_EQ(BufferState(out), outcome.failed ? before : completed) << "output";
            const long conv = outcome.nothrow ? formatterCase.convBefore : formatterCase.convAfter;
            expectWritesCorrectly(*fx, conv != 0);
            expectConvBufferSize(*fx, conv);
            return outcome.failed;
        });
    }
}

TEST(AllocationFailure, RawBlockIsAppendedPieceByPiece) {
    // Its opening tag, bytes and closing text are three appends, each long
    // enough to need a larger area: a failure leaves the pieces appended so far.
    const std::string bytes = std::string(300, 'b') + '\0' + std::string(300, 'c');
    const std::string before = "0123456789";
    const std::vector<std::string> pieces = {before, before + "<blob>", before + "<blob>" + bytes,
                                             before + "<blob>" + bytes + "</blob>\n"};
    sweep("serializeBuffer", [&](long failAt) {
        const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
        ZELTBuffer out;
        tightWithMarker(out);
        const char* data = bytes.data();
        bool result = false;
        const auto length = static_cast<long>(bytes.size());
        const Outcome outcome =
            runFailing(failAt, [&] { result = fx->serializeBuffer(data, length, "blob", 0, out); });
        const std::string content = zelt_test::contentOf(out);
        EXPECT_EQ(outcome.threw, outcome.failed);
        EXPECT_EQ(result, !outcome.failed);
        if (outcome.failed) {
            EXPECT_NE(std::find(pieces.begin(), pieces.end() - 1, content), pieces.end() - 1) << content;
        } else {
            EXPECT_EQ(content, pieces.back());
        }
        expectWritesCorrectly(*fx, true);
        return outcome.failed;
    });
}

TEST(AllocationFailure, ReaderLeavesMarkerAndDestination) {
    const std::string element = "<v>" + sixtyThousand + "</v>\n";
    sweep("deserializeString", [&](long failAt) {
        const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
        ZELTBuffer in;
        in.setString(element.c_str());
        std::string value = "untouched";
        bool result = false;
        const Outcome outcome = runFailing(failAt, [&] { result = fx->deserializeString("v", in, value); });
        EXPECT_EQ(outcome.threw, outcome.failed);
        EXPECT_EQ(result, !outcome.failed);
        EXPECT_EQ(value, outcome.failed ? "untouched" : sixtyThousand);
        EXPECT_EQ(in.getMarkerPos(), outcome.failed ? 0 : static_cast<long>(element.size()));
        return outcome.failed;
    });
    // A tag too long for the conversion buffer makes the reader enlarge it.
    const std::string longTag(70000, 't');
    const std::string longElement = "<" + longTag + ">7</" + longTag + ">\n";
    sweep("deserializeInt32_t with a tag longer than the conversion buffer", [&](long failAt) {
        const std::unique_ptr<ZELTFx> fx = zelt_test::makeFormatter();
        ZELTBuffer in;
        in.setString(longElement.c_str());
        int value = -1;
        bool result = false;
        const Outcome outcome = runFailing(failAt, [&] { result = fx->deserializeInt32_t(longTag.c_str(), in, value); });
        EXPECT_FALSE(outcome.threw);
        EXPECT_EQ(result, !outcome.failed);
        EXPECT_EQ(value, outcome.failed ? -1 : 7);
        EXPECT_EQ(in.getMarkerPos(), outcome.failed ? 0 : static_cast<long>(longElement.size()));
        expectWritesCorrectly(*fx, true);
        return outcome.failed;
    });
}

// The scanner allocates only to search a value full of "<" for a long
// closing text and to compose explanations; a failure changes nothing.
TEST(AllocationFailure, ScannerLeavesTheBufferAsItWas) {
    using Case = BufferCase<ZELTBuffer>;
    const auto holding = [](const char* text) {
        return [text](ZELTBuffer& target, ZELTBuffer&) { target.setString(text); };
    };
    const std::vector<Case> cases = {
        Case{"scanElement past many '<'", holding("<sixteen_letters_><<<<<</sixteen_letters_>\n"),
             [](ZELTBuffer& target, ZELTBuffer&) {
                 ZELT::ZELTElement element;
                 EXPECT_TRUE(ZELT::scanElement(target, element));
             }},
        Case{"explainRead", holding("<u>1</u>\n"),
             [](ZELTBuffer& target, ZELTBuffer&) { ZELT::explainRead("t", target); }},
        Case{"explainScan", holding("<t>"), [](ZELTBuffer& target, ZELTBuffer&) { ZELT::explainScan(target); }},
    };
    sweepBufferCases("", cases);
}

} // namespace

// The replaced global allocator: malloc and free, with one allocation failing
// when the injector is armed.
void* operator new(std::size_t size) {
    if (void* memory = allocate(size, false)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void operator delete(void* memory) noexcept { release(memory); }
void operator delete[](void* memory) noexcept { release(memory); }
void operator delete(void* memory, std::size_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { release(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { release(memory); }
