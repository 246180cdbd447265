// ZELTFileBuffer against a model: the input picks a window (4 KiB to 160 KiB)
// and a run of appends (fresh bytes up to 256 KiB, or bytes of the window
// itself), replacements, clears and tearDowns. After every step the window
// must hold no more than its size and, with what was written, exactly the
// model's bytes; after close() the file, loaded back, must hold them all.
//
// The files go to $TMPDIR, or /dev/shm where there is one, so that the flush
// on close costs little.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "ZELTFile.h"
#include "fuzz_support.h"

namespace {

const std::string& path() {
    static const std::string made = [] {
        const char* folder = std::getenv("TMPDIR");
        if (folder == nullptr || *folder == '\0') {
            folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        }
        return std::string(folder) + "/zelt-fuzz-file-" + std::to_string(::getpid());
    }();
    return made;
}

// Bytes of every value, NUL included, to copy appends from.
const std::string& source() {
    static const std::string bytes = [] {
        std::string made(1 << 18, '\0');
        for (size_t i = 0; i < made.size(); ++i) {
            made[i] = static_cast<char>((i * 131 + i / 256) & 0xff);
        }
        return made;
    }();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const long window = 4096 + input.ConsumeIntegralInRange<long>(0, 156) * 1024 + input.ConsumeIntegral<uint8_t>();
    std::string written; // the model: every byte the file must end with
    std::string pending;
    {
        ZELT::ZELTFileBuffer out(path().c_str(), window);
        ZELT_FUZZ_CHECK(out.isOpen() && out.getWindow() == window);
        while (input.remaining_bytes() > 0) {
            const auto operation = input.ConsumeIntegralInRange<int>(0, 5);
            // Lengths cluster at the window's edges, and reach past 64 KiB and past the window.
            const long edge =
                std::max(0L, window - static_cast<long>(pending.size()) + input.ConsumeIntegralInRange<long>(-2, 2));
            const long length = input.ConsumeBool() ? std::min(edge, static_cast<long>(source().size()))
                                                    : input.ConsumeIntegralInRange<long>(0, 1 << 18);
            if (operation <= 1) {
                ZELT_FUZZ_CHECK(out.appendBufferString(source().data(), length));
                pending.append(source(), 0, static_cast<size_t>(length));
            } else if (operation == 2 && out.getBufferSize() > 0) {
                // From the window itself: it must survive being written out first.
                const long own = length % (out.getBufferSize() + 1);
                const std::string copy(out.getBufferString(), static_cast<size_t>(own));
                ZELT_FUZZ_CHECK(out.appendBufferString(out.getBufferString(), own));
                pending += copy;
            } else if (operation == 3) {
                ZELT_FUZZ_CHECK(out.setBufferString(source().data(), length));
                pending.assign(source(), 0, static_cast<size_t>(length));
            } else if (operation == 4) {
                out.clearBufferString();
                pending.clear();
            } else {
                out.tearDown();
                written += pending;
                pending.clear();
            }
            // What went to the file is the model's bytes up to the window's.
            ZELT_FUZZ_CHECK(out.getBufferSize() <= window);
            const std::string now(out.getBufferString() == nullptr ? "" : out.getBufferString(),
                                  static_cast<size_t>(out.getBufferSize()));
            const auto flushed = static_cast<long>(written.size() + pending.size()) - out.getBufferSize();
            ZELT_FUZZ_CHECK(out.getWrittenSize() == flushed);
            ZELT_FUZZ_CHECK(pending.size() >= now.size() &&
                            pending.compare(pending.size() - now.size(), now.size(), now) == 0);
            written += pending.substr(0, pending.size() - now.size());
            pending = now;
        }
        ZELT_FUZZ_CHECK(out.close());
    }
    written += pending;
    ZELT::ZELTBuffer in;
    ZELT_FUZZ_CHECK(ZELT::loadFile(path().c_str(), in) &&
                    std::string(in.getBufferString(), static_cast<size_t>(in.getBufferSize())) == written);
    std::remove(path().c_str());
    return 0;
}
