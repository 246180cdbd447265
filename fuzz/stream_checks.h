#ifndef ZELT_FUZZ_STREAM_CHECKS_H
#define ZELT_FUZZ_STREAM_CHECKS_H

// The property the reader fuzzer checks of ZELTFileReader and scanElements:
// a text read a window at a time, the way the zelt program reads it, gives
// exactly the elements, and the same refusal, as the whole text in one
// buffer read one element at a time.

#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "ZELTFile.h"
#include "ZELTScan.h"
#include "fuzz_support.h"

namespace zelt_fuzz {

// An element as read, and where it stands in the whole text.
struct Placed {
    std::string tag, name, idx, value;
    long offset;
    bool operator==(const Placed& other) const {
        return tag == other.tag && name == other.name && idx == other.idx && value == other.value &&
               offset == other.offset;
    }
};

inline Placed placed(const ZELT::ZELTElement& element, long windowStart) {
    return {std::string(element.tag), std::string(element.name), std::string(element.idx),
            std::string(element.value), windowStart + element.offset};
}

// Streams @p text, written to an anonymous file, through windows of
// @p window bytes into a buffer of type Buffer, reading the elements in
// batches of @p batchSize with scanElements.
template <typename Buffer>
void checkStreaming(const std::string& text, long window, long batchSize) {
    // The whole text at once.
    ZELT::ZELTBuffer whole;
    ZELT_FUZZ_CHECK(whole.setBufferString(text.data(), static_cast<long>(text.size())));
    std::vector<Placed> expected;
    ZELT::ZELTElement element;
    while (ZELT::scanElement(whole, element)) {
        expected.push_back(placed(element, 0));
    }
    const ZELT::ZELTReadError refusal = ZELT::explainScan(whole);

    const int fd = ::memfd_create("zelt-stream", MFD_CLOEXEC);
    ZELT_FUZZ_CHECK(fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                    ::lseek(fd, 0, SEEK_SET) == 0);
    std::vector<Placed> streamed;
    Buffer in;
    {
        ZELT::ZELTFileReader reader(fd, "memfd");
        std::vector<ZELT::ZELTElement> batch(static_cast<size_t>(batchSize));
        for (;;) {
            for (long read = 0; (read = ZELT::scanElements(in, batch.data(), batchSize)) > 0;) {
                ZELT_FUZZ_CHECK(read <= batchSize);
                for (long i = 0; i < read; ++i) {
                    streamed.push_back(placed(batch[static_cast<size_t>(i)], reader.consumed()));
                    ZELT_FUZZ_CHECK(streamed.size() <= expected.size() &&
                                    streamed.back() == expected[streamed.size() - 1]);
                }
            }
            if (reader.atEnd() || !ZELT::scanNeedsMore(in)) {
                break;
            }
            std::string error;
            ZELT_FUZZ_CHECK(reader.fill(in, window, &error) || reader.atEnd());
        }
        ZELT_FUZZ_CHECK(streamed.size() == expected.size());
        // The message's excerpt of what follows may end with the window.
        const ZELT::ZELTReadError streamedRefusal = ZELT::explainScan(in);
        ZELT_FUZZ_CHECK(streamedRefusal.reason == refusal.reason &&
                        reader.consumed() + streamedRefusal.offset == refusal.offset &&
                        (!reader.atEnd() || streamedRefusal.detail() == refusal.detail()));
    }
    ::close(fd);
}

} // namespace zelt_fuzz

#endif
