// Distinct formatters and buffers may be used from distinct threads at once.
// Built with -fsanitize=thread, this finds any state the library shares
// behind its objects' backs (a static scratch area, a shared counter).

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTScan.h"
#include "test_support.h"

namespace {

constexpr int threadCount = 8;
constexpr int elementsPerThread = 100000;

// Writes elementsPerThread elements of four kinds with its own formatter and
// buffers, reads them back in order and returns how many came back wrong.
int writeAndReadBack(int seed) {
    auto fx = zelt_test::makeFormatter();
    ZELT::ZELTBuffer out;
    const std::string text = "thread " + std::to_string(seed);
    for (int i = 0; i < elementsPerThread; i += 4) {
        fx->serializeInt32_t(seed * i, "n", out);
        fx->serializeUInt64_t(static_cast<unsigned long>(i) << 32, "u", out);
        fx->serializeString(text.c_str(), "s|name|7", out);
        fx->serializeBool(i % 8 == 0, "b", out);
    }
    ZELT::ZELTBuffer in;
    in.setBufferString(out.getBufferString(), out.getBufferSize());
    int wrong = 0;
    for (int i = 0; i < elementsPerThread; i += 4) {
        int n = 0;
        unsigned long u = 0;
        bool b = false;
        wrong += fx->deserializeInt32_t("n", in, n) && n == seed * i ? 0 : 1;
        wrong += fx->deserializeUInt64_t("u", in, u) && u == static_cast<unsigned long>(i) << 32 ? 0 : 1;
        ZELT::ZELTElement s;
        wrong += ZELT::scanElement(in, s) && s.name == "name" && s.idx == "7" && s.value == text ? 0 : 1;
        wrong += fx->deserializeBool("b", in, b) && b == (i % 8 == 0) ? 0 : 1;
    }
    return wrong + (in.getMarkerPos() == in.getBufferSize() ? 0 : 1);
}

TEST(Threads, DistinctFormattersAndBuffersWorkSideBySide) {
    std::vector<int> wrong(threadCount, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&wrong, t] { wrong[static_cast<size_t>(t)] = writeAndReadBack(t + 1); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(threadCount, 0));
}

} // namespace
