// The binary that stands between the library and the C library's file calls:
// each call can be made to fail, be interrupted or move fewer bytes, so that
// the failures no real file system shows on demand (a failed fsync, close or
// mmap, a crowd of temporary names) are seen to give a reason, keep the old
// file and leave no temporary behind.

#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFile.h"
#include "file_support.h"
#include "test_support.h"

namespace {

enum Call { Write, Read, Fsync, Close, Open, Openat, Fchmod, Mmap, callCount };

// What the next calls of one function do: @c pass calls go through, then
// @c times calls fail with @c code (0: a write or read that moves nothing).
struct Fault {
    int pass = 0;
    int times = 0;
    int code = 0;
};
Fault faults[callCount];
// Writes move at most this many bytes at a time; 0: no limit.
size_t shortWrites = 0;

void inject(Call call, int code, int times = 1, int pass = 0) { faults[call] = Fault{pass, times, code}; }

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Whether this call fails, setting @p result and errno when it does. Only
// descriptors past the standard ones: the test framework's output goes through.
template <typename Result>
bool faulted(Call call, int fd, Result& result) {
    Fault& fault = faults[call];
    if (fd <= 2 || fault.times == 0) {
        return false;
    }
    if (fault.pass > 0) {
        --fault.pass;
        return false;
    }
    --fault.times;
    result = fault.code == 0 ? 0 : -1;
    errno = fault.code;
    return true;
}

class FileFault : public zelt_test::Scratch {
protected:
    void TearDown() override {
        for (Fault& fault : faults) {
            fault = Fault{};
        }
        shortWrites = 0;
    }
};

using Names = std::vector<std::string>;
using zelt_test::bufferWith;

// ---------------------------------------------------------------- saving

struct SaveFault {
    const char* name;
    Call call;
    int code;
    int times;
    int pass;
    const char* reason;  // after "PATH: "; empty when the save succeeds
    const char* content; // of "data" afterwards, which held "old"
};

const SaveFault saveFaults[] = {
    {"write moves nothing", Write, 0, 1, 0, "cannot write: No space left on device", "old"},
    {"write fails", Write, EIO, 1, 0, "cannot write: Input/output error", "old"},
    {"fsync fails", Fsync, EIO, 1, 0, "cannot flush: Input/output error", "old"},
    {"close fails", Close, EIO, 1, 0, "cannot close: Input/output error", "old"},
    {"every name taken", Openat, EEXIST, 1000, 0, "cannot create a temporary file: File exists", "old"},
    {"permissions refused", Fchmod, EPERM, 1, 0,
     "cannot set the permissions of a temporary file: Operation not permitted", "old"},
    // The folder is flushed after the rename: file systems that cannot flush one say EINVAL.
    {"folder cannot be flushed", Fsync, EINVAL, 1, 1, "", "new"},
    {"folder flush fails", Fsync, EIO, 1, 1, "replaced, but cannot flush its folder: Input/output error", "new"},
};

TEST_F(FileFault, SaveFailuresGiveAReasonAndLeaveNoTemporary) {
    for (const SaveFault& fault : saveFaults) {
        SCOPED_TRACE(fault.name);
        zelt_test::writeWhole(path, "old");
        inject(fault.call, fault.code, fault.times, fault.pass);
        const bool saves = *fault.reason == '\0';
        std::string error;
        EXPECT_EQ(ZELT::saveFile(path.c_str(), bufferWith("new"), &error), saves);
        faults[fault.call] = Fault{};
        EXPECT_EQ(error, saves ? "" : path + ": " + fault.reason);
        EXPECT_EQ(zelt_test::readWhole(path), fault.content);
        EXPECT_EQ(folder.listing(), Names{"data"});
    }
}

TEST_F(FileFault, InterruptedShortAndCrowdedCallsStillSaveEverything) {
    const std::string bytes = zelt_test::patternBytes(100000);
    const ZELT::ZELTBuffer out = bufferWith(bytes);
    shortWrites = 999;
    inject(Write, EINTR, 3, 2);
    inject(Openat, EEXIST, 5); // names already taken are passed over
    std::string error;
    EXPECT_TRUE(ZELT::saveFile(path.c_str(), out, &error)) << error;
    EXPECT_TRUE(zelt_test::readWhole(path) == bytes);
    EXPECT_EQ(folder.listing(), Names{"data"});
}

TEST_F(FileFault, AFailedWriteOfTheWindowFailsThatAppend) {
    ZELT::ZELTFileBuffer out(path.c_str(), 4096);
    const std::string bytes = zelt_test::patternBytes(3000);
    ASSERT_TRUE(out.appendBufferString(bytes.data(), 3000));
    inject(Write, ENOSPC);
    EXPECT_FALSE(out.appendBufferString(bytes.data(), 3000));
    EXPECT_EQ(out.getBufferSize(), 0);
    expectOldDataAlone(); // the temporary is gone at once
    std::string error;
    EXPECT_FALSE(out.close(&error));
    EXPECT_EQ(error, path + ": cannot write: No space left on device");
}

// ---------------------------------------------------------------- loading

TEST_F(FileFault, InterruptedOpensAndReadsAndUnmappableFilesStillLoad) {
    zelt_test::writeWhole(path, zelt_test::patternBytes(3 << 20)); // large enough to be mapped
    zelt_test::writeWhole(folder.path("small"), "small");          // read
    const struct {
        const char* name;
        Call call;
        int code;
        int times;
        const char* file;
    } cases[] = {{"open interrupted", Open, EINTR, 2, "data"},
                 {"read interrupted", Read, EINTR, 2, "small"},
                 {"no mapping", Mmap, ENOMEM, 1, "data"}};
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.name);
        inject(fault.call, fault.code, fault.times);
        ZELT::ZELTBuffer in;
        std::string error;
        EXPECT_TRUE(ZELT::loadFile(folder.path(fault.file).c_str(), in, &error)) << error;
        EXPECT_TRUE(zelt_test::contentOf(in) == zelt_test::readWhole(folder.path(fault.file)));
        EXPECT_EQ(faults[fault.call].times, 0) << "the fault was not reached";
        faults[fault.call] = Fault{};
    }
}

// ---------------------------------------------------------------- reading a window at a time

TEST_F(FileFault, AReaderResumesAfterSignalsAndKeepsTheTextAfterAFailedRead) {
    zelt_test::writeWhole(path, "<a>1</a>\n<b>2</b>\n");
    inject(Open, EINTR, 2);
    ZELT::ZELTFileReader reader(path.c_str());
    ASSERT_TRUE(reader.isOpen());
    ZELT::ZELTBuffer in;
    inject(Read, EINTR, 2);
    ASSERT_TRUE(reader.fill(in, 10));
    EXPECT_EQ(faults[Read].times, 0) << "the fault was not reached";
    ASSERT_TRUE(in.setMarkerPos(9));
    inject(Read, EIO);
    std::string error;
    EXPECT_FALSE(reader.fill(in, 10, &error));
    EXPECT_EQ(error, path + ": cannot read: Input/output error");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(zelt_test::contentOf(in), "<");
    // The next read goes on where the failed one would have.
    EXPECT_TRUE(reader.fill(in, 10));
    EXPECT_EQ(zelt_test::contentOf(in), "<b>2</b>\n");
    EXPECT_EQ(reader.consumed(), 9);
}

// A fill reads on until it has what it asked for; bytes that came before a
// failed read are appended, and the next fill reports the failure.
TEST_F(FileFault, AReaderKeepsTheBytesReadBeforeAFailure) {
    zelt_test::writeWhole(path, "<a>1</a>\n");
    ZELT::ZELTFileReader reader(path.c_str());
    ZELT::ZELTBuffer in;
    inject(Read, EIO, 2, 1);
    ASSERT_TRUE(reader.fill(in, 100));
    EXPECT_EQ(zelt_test::contentOf(in), "<a>1</a>\n");
    EXPECT_FALSE(reader.atEnd());
    std::string error;
    EXPECT_FALSE(reader.fill(in, 100, &error));
    EXPECT_EQ(error, path + ": cannot read: Input/output error");
    EXPECT_FALSE(reader.fill(in, 100));
    EXPECT_TRUE(reader.atEnd());
}

} // namespace

// The C library's functions, as the library calls them.
extern "C" {

ssize_t write(int fd, const void* data, size_t length) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    ssize_t result = 0;
    if (faulted(Write, fd, result)) {
        return result;
    }
    return real(fd, data, fd > 2 && shortWrites > 0 && length > shortWrites ? shortWrites : length);
}

ssize_t read(int fd, void* data, size_t length) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    ssize_t result = 0;
    return faulted(Read, fd, result) ? result : real(fd, data, length);
}

int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    int result = 0;
    return faulted(Fsync, fd, result) ? result : real(fd);
}

// A failed close still releases the descriptor, as Linux's does.
int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    int result = 0;
    const bool fails = faulted(Close, fd, result);
    const int code = errno;
    const int closed = real(fd);
    errno = code;
    return fails ? result : closed;
}

int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    int result = 0;
    return faulted(Open, 3, result) ? result : real(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
    static const auto real = next<int (*)(int, const char*, int, ...)>("openat");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    int result = 0;
    return faulted(Openat, 3, result) ? result : real(folder, path, flags, mode);
}

int fchmod(int fd, mode_t mode) {
    static const auto real = next<int (*)(int, mode_t)>("fchmod");
    int result = 0;
    return faulted(Fchmod, fd, result) ? result : real(fd, mode);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
    static const auto real = next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
    int result = 0;
    return faulted(Mmap, fd, result) ? MAP_FAILED : real(address, length, protection, flags, fd, offset);
}

} // extern "C"
