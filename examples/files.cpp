// Streams records into a file through a ZELTFileBuffer, loads the file and
// reads every record back, checking each one. Prints the file's size and the
// time each step took; exits with 1 on any mismatch or failure.
//
//   zelt_files [RECORDS [PATH]]   (1,000,000 records into $TMPDIR or /tmp by default)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ZELTFile.h"
#include "ZELTFx.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The record numbered @p i: every field can be worked out again when reading.
struct Record {
    unsigned long id;
    int delta;
    bool active;
    std::string name;
};

Record recordNumber(long i) {
    return {static_cast<unsigned long>(i) * 2654435761UL, static_cast<int>(i % 20001) - 10000, i % 3 == 0,
            "name-" + std::to_string(i)};
}

bool writeRecord(ZELT::ZELTFx& fx, const Record& record, ZELT::ZELTBuffer& out) {
    return fx.serializeUInt64_t(record.id, "id", out) && fx.serializeInt32_t(record.delta, "delta", out) &&
           fx.serializeBool(record.active, "active", out) && fx.serializeString(record.name.c_str(), "name", out);
}

bool readRecord(ZELT::ZELTFx& fx, ZELT::ZELTBuffer& in, Record& record) {
    return fx.deserializeUInt64_t("id", in, record.id) && fx.deserializeInt32_t("delta", in, record.delta) &&
           fx.deserializeBool("active", in, record.active) && fx.deserializeString("name", in, record.name);
}

int fail(const std::string& what) {
    std::fprintf(stderr, "files: %s\n", what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const char* const folder = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
    const std::string path = argc > 2 ? argv[2] : std::string(folder) + "/zelt-files-example.txt";

    ZELT::ZELTFx* created = nullptr;
    ZELT::ZELTFx::instantiate(created, 0);
    const std::unique_ptr<ZELT::ZELTFx> fx(created);
    char* const unused = nullptr;
    fx->setConvBuffer(unused, 0);

    // Write: the records never stand in memory all at once, only the window does.
    auto start = Clock::now();
    {
        ZELT::ZELTFileBuffer out(path.c_str());
        for (long i = 0; i < records; ++i) {
            if (!writeRecord(*fx, recordNumber(i), out)) {
                std::string error;
                out.close(&error);
                return fail("record " + std::to_string(i) + " not written: " + error);
            }
        }
        std::string error;
        if (!out.close(&error)) {
            return fail(error);
        }
    }
    std::printf("streamed %ld records to %s in %.1f ms\n", records, path.c_str(), millisecondsSince(start));

    start = Clock::now();
    ZELT::ZELTBuffer in;
    std::string error;
    if (!ZELT::loadFile(path.c_str(), in, &error)) {
        return fail(error);
    }
    std::printf("loaded %ld bytes in %.1f ms\n", in.getBufferSize(), millisecondsSince(start));

    start = Clock::now();
    Record record;
    for (long i = 0; i < records; ++i) {
        const Record expected = recordNumber(i);
        if (!readRecord(*fx, in, record) || record.id != expected.id || record.delta != expected.delta ||
            record.active != expected.active || record.name != expected.name) {
            return fail("record " + std::to_string(i) + " differs");
        }
    }
    if (in.getMarkerPos() != in.getBufferSize()) {
        return fail("text left after the last record");
    }
    std::printf("read and checked %ld records in %.1f ms\n", records, millisecondsSince(start));
    std::remove(path.c_str());
    return 0;
}
