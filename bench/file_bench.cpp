// Files: what loading costs against the plainest read(2) loop into fresh
// memory, and what streaming elements to a file costs in time and heap.
// Files live in $TMPDIR (or /tmp); loads are timed with the file in the page
// cache, so they measure copies and page faults, not the disk.
//
//   zelt_file_bench [--benchmark_filter=Load/...]
//   zelt_file_bench --load-once zelt|read PATH
//
// The second form loads PATH once, by loadFile or by the plain read loop, and
// exits: for /usr/bin/time to measure time and peak memory of one large load
// (bench/load_large.sh).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "ZELTFile.h"
#include "alloc_stats.h"
#include "document.h"

namespace {

std::string benchPath(const std::string& name) {
    const char* const folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/zelt-bench-" + name;
}

// A file of @p size bytes of element text, made once per size and read once
// so that it is in the page cache.
std::string fileOfSize(long size) {
    const std::string path = benchPath(std::to_string(size));
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || status.st_size != size) {
        ZELT::ZELTBuffer text;
        const std::string element = "<value>1234567</value>\n";
        text.setBufReserveSize(size + 2);
        while (text.getBufferSize() + static_cast<long>(element.size()) <= size) {
            text.appendString(element.c_str());
        }
        text.appendBufferString(element.data(), size - text.getBufferSize());
        ZELT::saveFile(path.c_str(), text);
    }
    ZELT::ZELTBuffer warm;
    ZELT::loadFile(path.c_str(), warm);
    return path;
}

// An open file and its size, closed when it goes.
struct OpenFile {
    explicit OpenFile(const char* path) : fd(::open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat status {};
        ok = fd >= 0 && ::fstat(fd, &status) == 0;
        size = ok ? static_cast<size_t>(status.st_size) : 0;
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() { ::close(fd); }

    int fd;
    bool ok = false;
    size_t size = 0;
};

// Reads the whole file into @p data; whether all of it came.
bool readFully(const OpenFile& file, char* data) {
    size_t used = 0;
    ssize_t done = 0;
    while (used < file.size && (done = ::read(file.fd, data + used, file.size - used)) > 0) {
        used += static_cast<size_t>(done);
    }
    return used == file.size;
}

// The bar: open, fstat, malloc and a read loop into the fresh memory.
bool readIntoFreshMemory(const char* path, benchmark::State& state) {
    const OpenFile file(path);
    char* const data = static_cast<char*>(std::malloc(file.size + 1));
    const bool read = file.ok && readFully(file, data);
    benchmark::DoNotOptimize(data);
    state.PauseTiming(); // the release is not part of reading
    std::free(data);
    state.ResumeTiming();
    return read;
}

// The way without a mapping: read into scratch memory, then one more copy into the buffer.
bool readThenSet(const char* path, ZELT::ZELTBuffer& in) {
    const OpenFile file(path);
    const std::unique_ptr<char[]> data(new char[file.size + 1]);
    return file.ok && readFully(file, data.get()) && in.setBufferString(data.get(), static_cast<long>(file.size));
}

// The way with a mapping, whatever the size: one copy from the page cache.
bool mapThenSet(const char* path, ZELT::ZELTBuffer& in) {
    const OpenFile file(path);
    void* const mapping = ::mmap(nullptr, file.size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    const bool set = file.ok && mapping != MAP_FAILED &&
                     in.setBufferString(static_cast<const char*>(mapping), static_cast<long>(file.size));
    ::munmap(mapping, file.size);
    return set;
}

enum class LoadWay { readBar, zelt, readThenSet, mapThenSet };

template <LoadWay Way>
void Load(benchmark::State& state) {
    const std::string path = fileOfSize(state.range(0));
    bool ok = true;
    for (auto _ : state) {
        if constexpr (Way == LoadWay::readBar) {
            ok = readIntoFreshMemory(path.c_str(), state) && ok;
        } else {
            // A fresh buffer each time, as the bar has fresh memory; its release is not timed.
            auto in = std::make_unique<ZELT::ZELTBuffer>();
            if constexpr (Way == LoadWay::zelt) {
                ok = ZELT::loadFile(path.c_str(), *in) && ok;
            } else if constexpr (Way == LoadWay::readThenSet) {
                ok = readThenSet(path.c_str(), *in) && ok;
            } else {
                ok = mapThenSet(path.c_str(), *in) && ok;
            }
            state.PauseTiming();
            in.reset();
            state.ResumeTiming();
        }
    }
    if (!ok) {
        state.SkipWithError("a load failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void loadSizes(benchmark::internal::Benchmark* benchmark) {
    for (const long size : {16L << 10, 256L << 10, 1L << 20, 2L << 20, 4L << 20, 200L << 20}) {
        benchmark->Arg(size);
    }
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK_TEMPLATE(Load, LoadWay::readBar)->Name("Load/read_bar")->Apply(loadSizes);
BENCHMARK_TEMPLATE(Load, LoadWay::zelt)->Name("Load/zelt")->Apply(loadSizes);
BENCHMARK_TEMPLATE(Load, LoadWay::readThenSet)->Name("Load/read_then_set")->Apply(loadSizes);
BENCHMARK_TEMPLATE(Load, LoadWay::mapThenSet)->Name("Load/map_then_set")->Apply(loadSizes);

// N elements written into a file: through a ZELTFileBuffer (streamed) or into
// one ZELTBuffer that saveFile then writes (whole). The most heap held at once
// beyond what was held before, counted by alloc_stats.cpp, is reported in MB.
template <bool Streamed>
void Stream(benchmark::State& state) {
    const std::string path = benchPath("stream");
    const long count = state.range(0);
    size_t peak = 0;
    bool ok = true;
    for (auto _ : state) {
        const zelt_bench::AllocWindow window;
        const auto fx = zelt_bench::makeFormatter();
        std::unique_ptr<ZELT::ZELTBuffer> out;
        if constexpr (Streamed) {
            out = std::make_unique<ZELT::ZELTFileBuffer>(path.c_str());
        } else {
            out = std::make_unique<ZELT::ZELTBuffer>();
        }
        for (long i = 0; i < count; ++i) {
            ok = fx->serializeInt32_t(static_cast<int>(i), "value", *out) && ok;
        }
        if constexpr (Streamed) {
            ok = static_cast<ZELT::ZELTFileBuffer&>(*out).close() && ok;
        } else {
            ok = ZELT::saveFile(path.c_str(), *out) && ok;
        }
        peak = std::max(peak, window.peakBytes());
    }
    if (!ok) {
        state.SkipWithError("a write failed");
    }
    std::remove(path.c_str());
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / 1e6;
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK_TEMPLATE(Stream, true)->Name("Stream/file_buffer")->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(Stream, false)->Name("Stream/buffer_then_save")->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// One load of @p path by @p way, for an outside measure; 0 when it worked.
int loadOnce(const std::string& way, const char* path) {
    if (way == "read") {
        const OpenFile file(path);
        const std::unique_ptr<char, decltype(&std::free)> data(static_cast<char*>(std::malloc(file.size + 1)),
                                                               &std::free);
        return file.ok && data && readFully(file, data.get()) ? 0 : 1;
    }
    ZELT::ZELTBuffer in;
    std::string error;
    if (way != "zelt" || !ZELT::loadFile(path, in, &error)) {
        std::fprintf(stderr, "%s\n", error.empty() ? "the way is zelt or read" : error.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--load-once") {
        return loadOnce(argv[2], argv[3]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
