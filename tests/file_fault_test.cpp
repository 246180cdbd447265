// The binary that stands between the library and the C library's file calls:
// each call can be made to fail, be interrupted or move fewer bytes, so that
// the failures no real file system shows on demand (a failed fsync, close or
// read, a crowd of temporary names) are seen to give a reason, keep the old
// file and leave no temporary behind. A call can also kill the process, to see
// what a save killed at that step leaves.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFile.h"
#include "file_support.h"
#include "test_support.h"

namespace {

enum Call { Write, Read, Fsync, Close, Open, Openat, Fchmod, Linkat, Renameat, callCount };

// What the next calls of one function do: @c pass calls go through, then
// @c times calls fail with @c code (0: a write or read that moves nothing),
// or with @c kill the first of them kills the process.
struct Fault {
    int pass = 0;
    int times = 0;
    int code = 0;
    bool kill = false;
};
Fault faults[callCount];
// Writes and reads move at most this many bytes at a time; 0: no limit.
size_t shortWrites = 0;
size_t shortReads = 0;

void inject(Call call, int code, int times = 1, int pass = 0) { faults[call] = Fault{pass, times, code, false}; }

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
    if (fault.kill) {
        ::raise(SIGKILL);
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
        shortReads = 0;
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
    {"naming fails", Linkat, EPERM, 1, 0, "cannot name the temporary file: Operation not permitted", "old"},
    {"rename fails", Renameat, EIO, 1, 0, "cannot rename the temporary file over it: Input/output error", "old"},
    // Without unnamed files, the temporary is named from the start.
    {"no unnamed files", Openat, EOPNOTSUPP, 1, 0, "", "new"},
    // The folder is flushed after the rename: file systems that cannot flush one say EINVAL.
    {"folder cannot be flushed", Fsync, EINVAL, 1, 1, "", "new"},
    {"folder flush fails", Fsync, EIO, 1, 1, "replaced, but not flushed: cannot flush its folder: Input/output error",
     "new"},
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
    inject(Openat, EEXIST, 5); // no unnamed file, then names already taken are passed over
    std::string error;
    EXPECT_TRUE(ZELT::saveFile(path.c_str(), out, &error)) << error;
    EXPECT_TRUE(zelt_test::readWhole(path) == bytes);
    EXPECT_EQ(folder.listing(), Names{"data"});
}

TEST_F(FileFault, TemporaryNamesAlreadyTakenArePassedOver) {
    inject(Linkat, EEXIST, 5);
    std::string error;
    EXPECT_TRUE(ZELT::saveFile(path.c_str(), bufferWith("new"), &error)) << error;
    EXPECT_EQ(faults[Linkat].times, 0) << "the fault was not reached";
    EXPECT_EQ(zelt_test::readWhole(path), "new");
    EXPECT_EQ(folder.listing(), Names{"data"});
}

// A save killed at any step, in the middle of the text or while putting the
// file in place, leaves the whole old text or the whole new one, and no
// temporary: it has no name until it is linked, closed and renamed in three
// calls at the end, and a name that says what it is between them.
TEST_F(FileFault, ASaveKilledAtAnyStepLeavesTheOldOrNewTextAlone) {
    const std::string bytes = zelt_test::patternBytes(1 << 20);
    const int writes = 16; // of 64 KiB each
    struct Kill {
        Call call;
        int pass;
        const char* content;
        const char* left; // a temporary left behind, after "."
    };
    std::vector<Kill> kills = {{Openat, 0, "old", ""}, {Fsync, 0, "old", ""},   {Linkat, 0, "old", ""},
                               {Close, 0, "old", "data.zelt-tmp-"},  {Renameat, 0, "old", "data.zelt-tmp-"},
                               {Fsync, 1, "new", ""}};
    for (int pass = 0; pass < writes; ++pass) {
        kills.push_back({Write, pass, "old", ""});
    }
    for (const Kill& kill : kills) {
        SCOPED_TRACE(std::to_string(kill.call) + " after " + std::to_string(kill.pass));
        zelt_test::writeWhole(path, "old");
        EXPECT_FALSE(zelt_test::inChild([&] {
            shortWrites = bytes.size() / writes;
            faults[kill.call] = Fault{kill.pass, 1, 0, true};
            return ZELT::saveFile(path.c_str(), bufferWith(bytes)); // never returns
        }));
        EXPECT_TRUE(zelt_test::readWhole(path) == (*kill.content == 'o' ? "old" : bytes));
        Names left = folder.listing();
        if (*kill.left != '\0' && left.size() == 2 && left[0].rfind(std::string(".") + kill.left, 0) == 0) {
            ::unlink(folder.path(left[0]).c_str());
            left.erase(left.begin());
        }
        EXPECT_EQ(left, Names{"data"});
    }
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

TEST_F(FileFault, InterruptedOpensAndReadsStillLoad) {
    const std::string bytes = zelt_test::patternBytes(3 << 20);
    zelt_test::writeWhole(path, bytes);
    for (const Call call : {Open, Read}) {
        SCOPED_TRACE(call);
        inject(call, EINTR, 2);
        ZELT::ZELTBuffer in;
        std::string error;
        EXPECT_TRUE(ZELT::loadFile(path.c_str(), in, &error)) << error;
        EXPECT_TRUE(zelt_test::contentOf(in) == bytes);
        EXPECT_EQ(faults[call].times, 0) << "the fault was not reached";
        faults[call] = Fault{};
    }
}

// A read that fails after some bytes came leaves the buffer as it was, with
// or without an area, and whether the text was read into it or beside it.
TEST_F(FileFault, AFailedReadLeavesTheBufferAsItWas) {
    zelt_test::writeWhole(path, zelt_test::patternBytes(3 << 20));
    for (const bool withArea : {true, false}) {
        SCOPED_TRACE(withArea ? "with an area" : "without an area");
        ZELT::ZELTBuffer in;
        if (withArea) {
            zelt_test::fillBuffer(in);
        }
        const zelt_test::BufferState state(in);
        shortReads = 1 << 20;
        inject(Read, EIO, 1, 1);
        std::string error;
        EXPECT_FALSE(ZELT::loadFile(path.c_str(), in, &error));
        EXPECT_EQ(error, path + ": cannot read: Input/output error");
        EXPECT_EQ(zelt_test::BufferState(in), state);
        faults[Read] = Fault{};
        shortReads = 0;
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
    if (faulted(Read, fd, result)) {
        return result;
    }
    return real(fd, data, fd > 2 && shortReads > 0 ? std::min(length, shortReads) : length);
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

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    static const auto real = next<int (*)(int, const char*, int, const char*, int)>("linkat");
    int result = 0;
    return faulted(Linkat, 3, result) ? result : real(fromFolder, from, toFolder, to, flags);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    static const auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    int result = 0;
    return faulted(Renameat, 3, result) ? result : real(fromFolder, from, toFolder, to);
}

} // extern "C"
