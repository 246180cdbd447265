// loadFile, loadDescriptor, saveFile and ZELTFileBuffer against real files in
// a scratch folder. Every failure case also checks the folder's listing, so a
// temporary left behind shows.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFile.h"
#include "file_support.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTFileBuffer;
using zelt_test::BufferState;
using zelt_test::RefusingBuffer;
using zelt_test::Scratch;
using zelt_test::TempFolder;
using zelt_test::bufferWith;
using zelt_test::patternBytes;
using zelt_test::readWhole;
using zelt_test::writeWhole;

namespace {

using Names = std::vector<std::string>;

// Runs @p body in a child process whose files may not grow past @p limit
// bytes, with SIGXFSZ ignored so that writes fail with EFBIG instead.
bool inSizeLimitedChild(rlim_t limit, const std::function<bool()>& body) {
    return zelt_test::inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fsize{limit, limit};
        return ::setrlimit(RLIMIT_FSIZE, &fsize) == 0 && body();
    });
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A path that an operation must fail on: how to make it in a scratch folder
// that holds the file "data" (with "old") and the empty folder "sub", and
// what the reason must say besides the path.
struct PathFailure {
    const char* name;
    std::function<std::string(TempFolder&)> prepare;
    const char* reason;
};

// Runs @p attempt, which also checks what it was given, on each case's path,
// with and without a reason wanted: it must fail, name the path, and leave the
// folder's listing and "data" as they were.
void expectEachFails(const std::vector<PathFailure>& cases,
                     const std::function<bool(const char* path, std::string* error)>& attempt) {
    for (const PathFailure& failure : cases) {
        SCOPED_TRACE(failure.name);
        if (std::strcmp(failure.name, "no permission") == 0 && ::geteuid() == 0) {
            continue; // root passes every permission check: the case cannot fail for it
        }
        TempFolder folder;
        writeWhole(folder.path("data"), "old");
        ASSERT_EQ(::mkdir(folder.path("sub").c_str(), 0700), 0);
        const std::string path = failure.prepare(folder);
        const Names before = folder.listing();
        std::string error;
        EXPECT_FALSE(attempt(path.c_str(), &error));
        EXPECT_TRUE(contains(error, path + ": ")) << error;
        EXPECT_TRUE(contains(error, failure.reason)) << error;
        EXPECT_FALSE(attempt(path.c_str(), nullptr));
        EXPECT_EQ(readWhole(folder.path("data")), "old");
        EXPECT_EQ(folder.listing(), before);
        EXPECT_EQ(TempFolder::namesIn(folder.path("sub")), Names{});
    }
}

class LoadFile : public Scratch {};
class LoadDescriptor : public Scratch {};
class SaveFile : public Scratch {};
class FileBuffer : public Scratch {};

// ---------------------------------------------------------------- loading

class WholeSize : public Scratch, public testing::WithParamInterface<size_t> {};

// Whether @p in holds exactly @p bytes, marker 0, and zeros up to its capacity.
void expectHolds(const ZELTBuffer& in, const std::string& bytes) {
    const BufferState state(in);
    EXPECT_EQ(state.size, static_cast<long>(bytes.size()));
    EXPECT_EQ(state.marker, 0);
    EXPECT_GT(state.capacity, state.size);
    EXPECT_TRUE(state.area == bytes + std::string(static_cast<size_t>(state.capacity) - bytes.size(), '\0'));
}

// Loads @p bytes into @p in from a pipe, which tells no size: it is read to its end.
bool loadPiped(const std::string& bytes, ZELTBuffer& in) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return false;
    }
    std::thread writer([&] {
        EXPECT_EQ(::write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(ends[1]);
    });
    const bool loaded = ZELT::loadDescriptor(ends[0], "-", in);
    writer.join();
    ::close(ends[0]);
    return loaded;
}

// A buffer with an area takes the text as setBufferString gives it. Into one
// without an area (new, or torn down) the text is read straight, and from a
// file it has a capacity of two bytes over the text.
TEST_P(WholeSize, SavedLoadedAndPipedExactlyMarkerAtZero) {
    const std::string bytes = patternBytes(GetParam());
    std::string error = "untouched";
    ASSERT_TRUE(ZELT::saveFile(path.c_str(), bufferWith(bytes), &error));
    EXPECT_TRUE(readWhole(path) == bytes);
    EXPECT_EQ(folder.listing(), Names{"data"});
    ZELTBuffer expected;
    zelt_test::fillBuffer(expected);
    expected.setBufferString(bytes.data(), static_cast<long>(bytes.size()));
    expected.setMarkerPos(0);
    for (const bool withArea : {true, false}) {
        SCOPED_TRACE(withArea ? "with an area" : "without an area");
        ZELTBuffer in;
        ZELTBuffer piped;
        if (withArea) {
            zelt_test::fillBuffer(in);
            zelt_test::fillBuffer(piped);
        }
        ASSERT_TRUE(ZELT::loadFile(path.c_str(), in, &error));
        EXPECT_EQ(error, "untouched");
        ASSERT_TRUE(loadPiped(bytes, piped));
        if (withArea) {
            EXPECT_EQ(BufferState(in), BufferState(expected));
            EXPECT_EQ(BufferState(piped), BufferState(expected));
        } else {
            expectHolds(in, bytes);
            EXPECT_EQ(in.getBufReserveSize(), static_cast<long>(bytes.size()) + 2);
            expectHolds(piped, bytes);
        }
    }
}

// Sizes around the reserve fillBuffer gives, the size of the reads that look
// past the expected end (4 KiB) and a pipe's capacity (64 KiB), so that every
// way is seen at its edges, and a large one.
INSTANTIATE_TEST_SUITE_P(Sizes, WholeSize,
                         testing::Values(0, 1, 99, 100, 101, 4095, 4096, 4097, 65535, 65536, 65537, 3 << 20));

TEST_F(LoadFile, ReadsFilesThatClaimNoSize) {
    ZELTBuffer in;
    ASSERT_TRUE(ZELT::loadFile("/proc/self/status", in));
    EXPECT_GT(in.getBufferSize(), 0);
    EXPECT_TRUE(contains(zelt_test::contentOf(in), "Name:"));
}

TEST_F(LoadFile, FailureNamesThePathAndLeavesTheBufferAsItWas) {
    expectEachFails(
        {
            {"missing file", [](TempFolder& f) { return f.path("absent"); }, "cannot open: No such file or directory"},
            {"missing folder", [](TempFolder& f) { return f.path("absent/data"); }, "No such file or directory"},
            {"directory", [](TempFolder& f) { return f.path("sub"); }, "cannot read: Is a directory"},
            {"empty path", [](TempFolder&) { return std::string(); }, "No such file or directory"},
            {"file as folder", [](TempFolder& f) { return f.path("data/x"); }, "Not a directory"},
            {"no permission",
             [](TempFolder& f) {
                 writeWhole(f.path("secret"), "x");
                 ::chmod(f.path("secret").c_str(), 0);
                 return f.path("secret");
             },
             "Permission denied"},
        },
        [](const char* path, std::string* error) {
            ZELTBuffer in;
            zelt_test::fillBuffer(in);
            const BufferState state(in);
            const bool loaded = ZELT::loadFile(path, in, error);
            EXPECT_EQ(BufferState(in), state);
            return loaded;
        });
}

TEST_F(LoadFile, ABufferThatRefusesTheContentIsAFailure) {
    for (const size_t size : {size_t{0}, size_t{10}, size_t{3} << 20}) {
        writeWhole(path, patternBytes(size));
        RefusingBuffer in;
        in.refusesAppendBufferString = true;
        in.refusesSetBufferString = true;
        std::string error;
        EXPECT_FALSE(ZELT::loadFile(path.c_str(), in, &error));
        EXPECT_EQ(error, path + ": the buffer refused the content");
    }
}

TEST_F(LoadDescriptor, ReadsFromTheOffsetOnAndLeavesTheDescriptorOpen) {
    const std::string bytes = patternBytes(3 << 20);
    writeWhole(path, bytes);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 1000, SEEK_SET), 1000);
    ZELTBuffer in;
    EXPECT_TRUE(ZELT::loadDescriptor(fd, nullptr, in));
    EXPECT_TRUE(zelt_test::contentOf(in) == bytes.substr(1000));
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(bytes.size()));
    EXPECT_EQ(::close(fd), 0);
}

TEST_F(LoadDescriptor, FailureNamesTheSourceAndLeavesTheBufferAsItWas) {
    const int writeOnly = ::open(path.c_str(), O_WRONLY);
    const int directory = ::open(folder.path("").c_str(), O_RDONLY | O_DIRECTORY);
    const struct {
        int fd;
        const char* name;
        const char* reason;
    } cases[] = {
        {writeOnly, "out", "out: cannot read: Bad file descriptor"},
        {directory, "dir", "dir: cannot read: Is a directory"},
        {-1, nullptr, "descriptor -1: cannot read: Bad file descriptor"},
    };
    for (const auto& failure : cases) {
        ZELTBuffer in;
        zelt_test::fillBuffer(in);
        const BufferState state(in);
        std::string error;
        EXPECT_FALSE(ZELT::loadDescriptor(failure.fd, failure.name, in, &error));
        EXPECT_EQ(error, failure.reason);
        EXPECT_EQ(BufferState(in), state);
    }
    ::close(writeOnly);
    ::close(directory);
}

TEST(Files, NullPathIsRefusedEverywhere) {
    ZELTBuffer in;
    zelt_test::fillBuffer(in);
    const BufferState state(in);
    std::string error;
    EXPECT_FALSE(ZELT::loadFile(nullptr, in, &error));
    EXPECT_EQ(error, "no path given");
    EXPECT_EQ(BufferState(in), state);
    error.clear();
    EXPECT_FALSE(ZELT::saveFile(nullptr, in, &error));
    EXPECT_EQ(error, "no path given");
    ZELTFileBuffer out(nullptr);
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(out.close(&error));
    EXPECT_EQ(error, "no path given");
}

// ---------------------------------------------------------------- saving

TEST_F(SaveFile, ABufferWithoutAnAreaSavesAnEmptyFile) {
    ZELTBuffer withoutArea;
    withoutArea.tearDown();
    ASSERT_TRUE(ZELT::saveFile(path.c_str(), withoutArea));
    EXPECT_EQ(readWhole(path), "");
}

TEST_F(SaveFile, PathWithoutAFolderIsInTheWorkingFolder) {
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder.path("").c_str()), 0);
    const bool saved = ZELT::saveFile("data", bufferWith("here"));
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_TRUE(saved);
    EXPECT_EQ(readWhole(path), "here");
    EXPECT_EQ(folder.listing(), Names{"data"});
}

TEST_F(SaveFile, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    const ZELTBuffer out = bufferWith("text");
    const mode_t previous = ::umask(027);
    const bool created = ZELT::saveFile(folder.path("new").c_str(), out);
    ::umask(previous);
    ASSERT_TRUE(created);
    struct stat status {};
    ASSERT_EQ(::stat(folder.path("new").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    // The read, write and execute bits carry over; setuid, setgid and sticky do not.
    const std::pair<mode_t, mode_t> modes[] = {{0604, 0604}, {04755, 0755}, {02750, 0750}, {01777, 0777}};
    for (const auto& [before, after] : modes) {
        SCOPED_TRACE(before);
        ASSERT_EQ(::chmod(path.c_str(), before), 0);
        ASSERT_TRUE(ZELT::saveFile(path.c_str(), out));
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, after);
        EXPECT_EQ(readWhole(path), "text");
    }
}

// Links are followed as opening the path for writing would: the link stays
// and the file it names, which may not exist yet, gets the text.
TEST_F(SaveFile, LinksStayAndTheFileTheyNameGetsTheText) {
    const struct {
        const char* name;
        const char* link; // at "link", relative to the folder
        const char* file; // what gets the text
        Names real;       // the folder "real" afterwards
    } cases[] = {
        {"to a file", "real/data", "real/data", {"data"}},
        {"to nothing", "real/new", "real/new", {"data", "new"}},
        {"to a link to a file", "chain", "real/data", {"data"}},
        {"to a link to nothing", "lost", "real/lost", {"data", "lost"}},
        {"absolute, through a folder link", "", "real/data", {"data"}},
    };
    for (const auto& link : cases) {
        SCOPED_TRACE(link.name);
        TempFolder scratch;
        ASSERT_EQ(::mkdir(scratch.path("real").c_str(), 0700), 0);
        writeWhole(scratch.path("real/data"), "old");
        ASSERT_EQ(::symlink("real/data", scratch.path("chain").c_str()), 0);
        ASSERT_EQ(::symlink("real/lost", scratch.path("lost").c_str()), 0);
        ASSERT_EQ(::symlink("real", scratch.path("folder").c_str()), 0);
        const std::string named = *link.link != '\0' ? link.link : scratch.path("folder/data");
        ASSERT_EQ(::symlink(named.c_str(), scratch.path("link").c_str()), 0);
        const Names before = scratch.listing();
        ASSERT_TRUE(ZELT::saveFile(scratch.path("link").c_str(), bufferWith("new")));
        EXPECT_EQ(readWhole(scratch.path(link.file)), "new");
        EXPECT_EQ(scratch.listing(), before); // every link is still there
        EXPECT_EQ(TempFolder::namesIn(scratch.path("real")), link.real);
    }
}

// Standard output (or error) redirected to a file holding earlier text, as
// `>` (which empties it first) and `>>` do. A path that names the descriptor
// is written through it, at its offset, so the text written before and after
// the save stays, in order.
TEST_F(SaveFile, PathsNamingAnOpenDescriptorWriteThroughIt) {
    const struct {
        const char* path; // "": /proc/PID/fd/1 with the child's own PID
        int fd;
    } descriptors[] = {{"/dev/stdout", 1}, {"/dev/stderr", 2},          {"/dev/fd/1", 1},
                       {"/proc/self/fd/1", 1}, {"/proc/thread-self/fd/1", 1}, {"", 1}};
    const std::string saved = patternBytes(10000);
    const std::function<bool(const char*)> saves[] = {
        [&](const char* to) { return ZELT::saveFile(to, bufferWith(saved)); },
        [&](const char* to) {
            ZELTFileBuffer out(to, 4096); // the text goes partly through the window, partly straight
            return out.appendBufferString(saved.data(), static_cast<long>(saved.size())) && out.close();
        },
    };
    for (const auto& descriptor : descriptors) {
        for (const bool append : {false, true}) {
            for (const auto& save : saves) {
                SCOPED_TRACE(std::string(descriptor.path) + (append ? " >>" : " >"));
                writeWhole(path, "earlier\n");
                EXPECT_TRUE(zelt_test::inChild([&] {
                    const int file = ::open(path.c_str(), O_WRONLY | (append ? O_APPEND : O_TRUNC));
                    const std::string to = *descriptor.path != '\0'
                                               ? descriptor.path
                                               : "/proc/" + std::to_string(::getpid()) + "/fd/1";
                    return file >= 0 && ::dup2(file, descriptor.fd) == descriptor.fd && ::close(file) == 0 &&
                           ::write(descriptor.fd, "before\n", 7) == 7 && save(to.c_str()) &&
                           ::write(descriptor.fd, "after\n", 6) == 6;
                }));
                const std::string earlier = append ? "earlier\n" : "";
                EXPECT_TRUE(readWhole(path) == earlier + "before\n" + saved + "after\n");
                EXPECT_EQ(folder.listing(), Names{"data"});
            }
        }
    }
}

// What a reader at the other end of a FIFO receives while @p write runs.
std::string throughFifo(const std::string& fifo, const std::function<bool()>& write) {
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readWhole(fifo); });
    EXPECT_TRUE(write());
    reader.join();
    struct stat status {};
    EXPECT_EQ(::lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the FIFO was replaced";
    return received;
}

TEST_F(SaveFile, DevicesAndPipesAreWrittenInPlace) {
    const std::string bytes = patternBytes(200000);
    const std::string fifo = folder.path("fifo");
    EXPECT_TRUE(throughFifo(fifo, [&] { return ZELT::saveFile(fifo.c_str(), bufferWith(bytes)); }) == bytes);
    EXPECT_TRUE(throughFifo(folder.path("stream"), [&] {
                    ZELTFileBuffer out(folder.path("stream").c_str(), 4096);
                    return out.appendBufferString(bytes.data(), static_cast<long>(bytes.size())) &&
                           out.appendString("end") && out.close();
                }) == bytes + "end");
    EXPECT_EQ(folder.listing(), (Names{"data", "fifo", "stream"}));
}

// Paths no file can be written to, with what the reason must say.
std::vector<PathFailure> unwritablePaths() {
    return {
        {"missing folder", [](TempFolder& f) { return f.path("absent/data"); },
         "cannot open its folder: No such file or directory"},
        {"directory", [](TempFolder& f) { return f.path("sub"); }, "cannot write: Is a directory"},
        {"trailing slash", [](TempFolder& f) { return f.path("sub/"); }, "cannot write: Is a directory"},
        {"empty path", [](TempFolder&) { return std::string(); }, "cannot write: No such file or directory"},
        {"file as folder", [](TempFolder& f) { return f.path("data/x"); }, "Not a directory"},
        // A folder where nothing can be created, whoever runs the test.
        {"pseudo file system", [](TempFolder&) { return std::string("/proc/zelt-data"); },
         "cannot create a temporary file: "},
        {"no permission",
         [](TempFolder& f) {
             ::chmod(f.path("sub").c_str(), 0500);
             return f.path("sub/data");
         },
         "cannot create a temporary file: Permission denied"},
        // Written in place as a device would be, but no file can be opened there.
        {"socket",
         [](TempFolder& f) {
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const std::string path = f.path("socket");
             path.copy(address.sun_path, sizeof address.sun_path - 1);
             const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
             EXPECT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
             ::close(server);
             return path;
         },
         "cannot open: No such device or address"},
        {"loop of links",
         [](TempFolder& f) {
             EXPECT_EQ(::symlink("b", f.path("a").c_str()), 0);
             EXPECT_EQ(::symlink("a", f.path("b").c_str()), 0);
             return f.path("a");
         },
         "cannot write: Too many levels of symbolic links"},
        {"link to a folder",
         [](TempFolder& f) {
             EXPECT_EQ(::symlink("sub", f.path("link").c_str()), 0);
             return f.path("link");
         },
         "cannot write: Is a directory"},
        {"descriptor not open", [](TempFolder&) { return std::string("/proc/self/fd/999"); },
         "cannot open: Bad file descriptor"},
    };
}

TEST_F(SaveFile, FailureLeavesThePathAndTheFolderAsTheyWere) {
    expectEachFails(unwritablePaths(), [](const char* path, std::string* error) {
        return ZELT::saveFile(path, bufferWith("new"), error);
    });
}

TEST_F(SaveFile, AFileSizeLimitFailsTheSaveAndKeepsTheOldFile) {
    const std::string bytes = patternBytes(100000);
    EXPECT_TRUE(inSizeLimitedChild(4096, [&] {
        std::string error;
        return !ZELT::saveFile(path.c_str(), bufferWith(bytes), &error) &&
               error == path + ": cannot write: File too large";
    }));
    expectOldDataAlone();
}

// ---------------------------------------------------------------- streaming

// The window fills to its exact size; one byte more writes it out first, and
// an append longer than the window goes straight to the file. The memory
// never grows, and bytes taken from the window itself survive its flush.
TEST_F(FileBuffer, WindowFillsToItsEdgeBeforeAnythingIsWritten) {
    const long window = 4096;
    ZELTFileBuffer out(path.c_str(), window);
    const std::string bytes = patternBytes(window + 1);
    std::string expected;
    const struct {
        long length;
        long writtenAfter;
        long windowAfter;
    } steps[] = {
        {window - 1, 0, window - 1},
        {1, 0, window},                      // exactly full
        {1, window, 1},                      // one over: the window goes out
        {window, window + 1, window},        // the window goes out, the new bytes fill it
        {window - 2, 2 * window + 1, window - 2},
        {window + 1, 4 * window, 0},         // longer than the window: both go out
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(out.appendBufferString(bytes.data(), step.length));
        expected.append(bytes, 0, static_cast<size_t>(step.length));
        EXPECT_EQ(out.getWrittenSize(), step.writtenAfter);
        EXPECT_EQ(out.getBufferSize(), step.windowAfter);
        EXPECT_EQ(out.getBufReserveSize(), window + 2);
    }
    ASSERT_TRUE(out.appendBufferString(bytes.data(), 3000));
    ASSERT_TRUE(out.appendBufferString(out.getBufferString() + 1, 2000)); // from the window, which must go out
    expected += bytes.substr(0, 3000) + bytes.substr(1, 2000);
    EXPECT_EQ(out.getBufferSize(), 2000);
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(readWhole(path) == expected);
}

TEST_F(FileBuffer, WindowHasAMinimum) {
    for (const long window : {-5L, 0L, 1L, 4095L}) {
        EXPECT_EQ(ZELTFileBuffer(path.c_str(), window).getWindow(), 4096);
    }
    EXPECT_EQ(ZELTFileBuffer(path.c_str()).getWindow(), 1L << 20);
    expectOldDataAlone(); // none was closed
}

TEST_F(FileBuffer, FormatterElementsReadBackFromTheLoadedFile) {
    const auto fx = zelt_test::makeFormatter();
    const int count = 20000;
    {
        ZELTFileBuffer out(path.c_str(), 4096);
        for (int i = 0; i < count; ++i) {
            const std::string text = "item " + std::to_string(i);
            const char* raw = text.c_str();
            ASSERT_TRUE(fx->serializeInt32_t(i, "n", out));
            ASSERT_TRUE(fx->serializeString(text.c_str(), "s", out));
            ASSERT_TRUE(fx->serializeBuffer(raw, 4, "raw", 0, out));
        }
        ASSERT_TRUE(out.close());
    }
    ZELTBuffer in;
    ASSERT_TRUE(ZELT::loadFile(path.c_str(), in));
    for (int i = 0; i < count; ++i) {
        int n = -1;
        std::string s;
        ASSERT_TRUE(fx->deserializeInt32_t("n", in, n));
        ASSERT_TRUE(fx->deserializeString("s", in, s));
        ASSERT_EQ(n, i);
        ASSERT_EQ(s, "item " + std::to_string(i));
        ASSERT_EQ(std::strncmp(in.getBufferStringFromMarker(), "<raw>item</raw>\n", 16), 0);
        in.setMarkerPos(in.getMarkerPos() + 16);
    }
    EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
}

TEST_F(FileBuffer, CloseReplacesThePathOnceAndThenRefusesEverything) {
    ZELTFileBuffer out(path.c_str());
    ASSERT_TRUE(out.appendString("new"));
    EXPECT_EQ(readWhole(path), "old");      // nothing replaced before close
    EXPECT_EQ(folder.listing(), Names{"data"}); // the temporary has no name yet
    std::string error;
    EXPECT_TRUE(out.close(&error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(readWhole(path), "new");
    EXPECT_EQ(folder.listing(), Names{"data"});
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.getBufferString(), nullptr); // the window's memory is released

    EXPECT_FALSE(out.appendString("more"));
    EXPECT_FALSE(out.setString("more"));
    EXPECT_FALSE(out.close(&error));
    EXPECT_EQ(error, path + ": already closed");
    EXPECT_EQ(readWhole(path), "new");
}

TEST_F(FileBuffer, DestructionWithoutCloseLeavesThePathAsItWas) {
    {
        ZELTFileBuffer out(path.c_str(), 4096);
        const std::string bytes = patternBytes(20000);
        ASSERT_TRUE(out.appendBufferString(bytes.data(), static_cast<long>(bytes.size())));
        EXPECT_GT(out.getWrittenSize(), 0);
    }
    expectOldDataAlone();
}

TEST_F(FileBuffer, OperationsOtherThanAppendActOnTheUnwrittenBytes) {
    const std::string longText(5000, 'L');
    ZELTFileBuffer out(path.c_str(), 4096);
    ASSERT_TRUE(out.appendString("dropped"));
    out.clearBufferString(); // drops what is not written yet
    ASSERT_TRUE(out.appendString("replaced"));
    ASSERT_TRUE(out.setString("A"));              // replaces it
    ASSERT_TRUE(out.setString(longText.c_str())); // longer than the window: straight out
    EXPECT_EQ(out.getWrittenSize(), 5000);
    EXPECT_EQ(out.getBufferSize(), 0);
    ASSERT_TRUE(out.appendString("B"));
    EXPECT_EQ(out.getMarkerPos(), 0);
    EXPECT_TRUE(out.setMarkerPos(1)); // the marker moves within the window
    EXPECT_FALSE(out.setMarkerPos(2));
    out.tearDown(); // writes the window out before releasing it
    EXPECT_EQ(out.getWrittenSize(), 5001);
    EXPECT_EQ(out.getBufferString(), nullptr);
    ASSERT_TRUE(out.setBufferString("C", 1));
    ASSERT_TRUE(out.close());
    EXPECT_EQ(readWhole(path), longText + "BC");
}

TEST_F(FileBuffer, RefusedArgumentsDoNotSpoilTheFile) {
    ZELTFileBuffer out(path.c_str(), 4096);
    EXPECT_FALSE(out.appendString(nullptr));
    EXPECT_FALSE(out.appendBufferString(nullptr, 1));
    EXPECT_FALSE(out.appendBufferString("x", -1));
    EXPECT_FALSE(out.setString(nullptr));
    EXPECT_FALSE(out.setBufferString(nullptr, 1));
    EXPECT_FALSE(out.setBufferString("x", -1));
    EXPECT_TRUE(out.appendBufferString(nullptr, 0));
    EXPECT_TRUE(out.isOpen());
    EXPECT_TRUE(out.appendString("ok"));
    EXPECT_TRUE(out.close());
    EXPECT_EQ(readWhole(path), "ok");
}

TEST_F(FileBuffer, AFileThatCannotBeMadeRefusesEverythingAndCloseSaysWhy) {
    expectEachFails(unwritablePaths(), [](const char* path, std::string* error) {
        ZELTFileBuffer out(path);
        EXPECT_FALSE(out.isOpen());
        EXPECT_FALSE(out.appendString("x"));
        EXPECT_FALSE(out.setString("x"));
        return out.close(error);
    });
}

TEST_F(FileBuffer, AFileSizeLimitFailsThatAppendAndEverythingAfter) {
    EXPECT_TRUE(inSizeLimitedChild(10000, [&] {
        const auto fx = zelt_test::makeFormatter();
        ZELTFileBuffer out(path.c_str(), 4096);
        int appended = 0;
        while (appended < 100000 && fx->serializeInt32_t(appended, "n", out)) {
            ++appended;
        }
        // The failure removes the temporary at once.
        const bool removed = folder.listing() == Names{"data"} && !out.isOpen();
        std::string error;
        const bool refused = !fx->serializeInt32_t(1, "n", out) && !out.appendString("x") && !out.close(&error);
        return appended > 0 && appended < 100000 && removed && refused &&
               error == path + ": cannot write: File too large";
    }));
    expectOldDataAlone();
}

// The heap held by glibc (arenas and blocks mapped apart); under a sanitizer
// or valgrind, whose allocators mallinfo2 does not see, nothing.
size_t heapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST_F(FileBuffer, StreamingTenMillionElementsHoldsOnlyTheWindow) {
    const size_t start = heapInUse();
    const auto fx = zelt_test::makeFormatter();
    const long window = 1L << 20;
    ZELTFileBuffer out(path.c_str(), window);
    const size_t opened = heapInUse();
    if (opened < start + window) {
        GTEST_SKIP() << "glibc's heap statistics do not see this program's allocations (sanitizer or valgrind)";
    }
    // The window and the 64 KiB conversion buffer, with room for the heap's bookkeeping.
    EXPECT_LE(opened - start, static_cast<size_t>(window + 65536 + 16384));
    size_t peak = opened;
    for (int i = 0; i < 10000000; ++i) {
        ASSERT_TRUE(fx->serializeInt32_t(i, "v", out));
        if (i % 100000 == 0) {
            peak = std::max(peak, heapInUse());
        }
    }
    EXPECT_LE(std::max(peak, heapInUse()) - opened, 4096u) << "streaming grew the heap";
    EXPECT_GT(out.getWrittenSize(), 100000000);
    // Not closed: the destructor removes the temporary, and nothing is flushed to disk.
}

} // namespace
