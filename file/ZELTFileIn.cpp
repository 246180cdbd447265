#include "ZELTFileIn.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace ZELT {

namespace {

// strerror is not thread-safe; strerror_r comes in a GNU (char*) and an XSI
// (int) form, and the C library decides which one this build sees.
template <typename Result>
const char* pickErrorText(Result result, const char* buffer) {
    if constexpr (std::is_same_v<Result, int>) {
        return result == 0 ? buffer : "Unknown error";
    } else {
        return result;
    }
}

std::string systemText(int code) {
    char buffer[256] = {};
    return pickErrorText(::strerror_r(code, buffer, sizeof buffer), buffer);
}

// Longest part of the target's name kept in the temporary's, so that the dot,
// the suffix and the name stay within NAME_MAX (255).
constexpr size_t keptNameLength = 200;
// Names tried before giving up when others keep taking them.
constexpr int temporaryAttempts = 100;
// Largest single write: Linux moves at most about 2 GiB per call anyway.
constexpr long largestWrite = 1L << 30;

// A suffix that another process, thread or call is unlikely to pick at the
// same moment; O_EXCL settles the rare collision.
std::string randomSuffix(const void* salt) {
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t mixed = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                          (static_cast<std::uint64_t>(::getpid()) << 40) ^ reinterpret_cast<std::uintptr_t>(salt) ^
                          (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    // splitmix64's finaliser spreads every input bit over the output.
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    mixed ^= mixed >> 31;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(8, ' ');
    for (char& letter : suffix) {
        letter = letters[mixed % (sizeof letters - 1)];
        mixed /= sizeof letters - 1;
    }
    return suffix;
}

} // namespace

std::string fileFailure(const std::string& name, const char* step, int code) {
    std::string reason = name.empty() ? step : name + ": " + step;
    if (code != 0) {
        reason += ": " + systemText(code);
    }
    return reason;
}

bool reportFileFailure(std::string* error, const std::string& name, const char* step, int code) {
    if (error != nullptr) {
        *error = fileFailure(name, step, code);
    }
    return false;
}

ZELTFileIn::ZELTFileIn(const char* givenPath)
    : state(State::open), folder(-1), descriptor(-1), writtenBytes(0), direct(false) {
    if (givenPath == nullptr) {
        state = State::failed;
        error = fileFailure("", "no path given", 0);
        return;
    }
    path = givenPath;
    if (locate(givenPath)) {
        createTemporary();
    }
}

ZELTFileIn::~ZELTFileIn() {
    removeTemporary();
    if (folder >= 0) {
        ::close(folder);
    }
}

bool ZELTFileIn::isOpen() const { return state == State::open; }

bool ZELTFileIn::write(const char* data, long length) {
    while (state == State::open && length > 0) {
        const ssize_t done = ::write(descriptor, data, static_cast<size_t>(std::min(length, largestWrite)));
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            // A regular file that takes nothing without an error is full all the same.
            return fail("cannot write", done < 0 ? errno : ENOSPC);
        }
        data += done;
        length -= done;
        writtenBytes += done;
    }
    return state == State::open;
}

bool ZELTFileIn::commit() {
    if (state == State::committed) {
        error = fileFailure(path, "already closed", 0);
        return false;
    }
    if (state != State::open) {
        return false;
    }
    // Pipes and character devices cannot be flushed and say EINVAL.
    const bool flushed = ::fsync(descriptor) == 0 || errno == EINVAL || fail("cannot flush", errno);
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    const bool closed = flushed && (::close(std::exchange(descriptor, -1)) == 0 || fail("cannot close", errno));
    if (!closed || (!direct && ::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0 &&
                    !fail("cannot rename the temporary file over it", errno))) {
        return false;
    }
    temporary.clear();
    state = State::committed;
    if (direct) {
        return true;
    }
    // The rename is durable only once the folder is; file systems that cannot
    // flush a folder say EINVAL and need not.
    if (::fsync(folder) != 0 && errno != EINVAL) {
        error = fileFailure(path, "replaced, but cannot flush its folder", errno);
        return false;
    }
    return true;
}

const std::string& ZELTFileIn::reason() const { return error; }

long ZELTFileIn::written() const { return writtenBytes; }

bool ZELTFileIn::locate(const char* givenPath) {
    target = givenPath;
    struct stat status {};
    // A device or a pipe (/dev/null, /dev/stdout) is no file to replace:
    // renaming over it would put a plain file in its place.
    if (::stat(givenPath, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
        direct = true;
        return true;
    }
    // Saving through a link replaces the file it names, so the link stays; a
    // link that names nothing is replaced itself.
    if (::lstat(givenPath, &status) == 0 && S_ISLNK(status.st_mode)) {
        if (char* const resolved = ::realpath(givenPath, nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    if (target.empty()) {
        return fail("cannot write", ENOENT);
    }
    const size_t slash = target.rfind('/');
    const std::string folderName = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    target.erase(0, slash == std::string::npos ? 0 : slash + 1);
    folder = ::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return fail("cannot open its folder", errno);
    }
    // Checked now rather than by the rename, so that nothing is written in vain.
    if (target.empty() || (::fstatat(folder, target.c_str(), &status, 0) == 0 && S_ISDIR(status.st_mode))) {
        return fail("cannot write", EISDIR);
    }
    return true;
}

bool ZELTFileIn::createTemporary() {
    if (direct) {
        descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        return descriptor >= 0 || fail("cannot open", errno);
    }
    const std::string stem = "." + target.substr(0, keptNameLength) + ".";
    for (int attempt = 0; attempt < temporaryAttempts; ++attempt) {
        temporary = stem + randomSuffix(this);
        // 0666: the umask and the folder's default ACL then apply as for any new file.
        descriptor = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (descriptor < 0) {
        const int code = errno;
        temporary.clear();
        return fail("cannot create a temporary file", code);
    }
    // A file that is replaced keeps its permissions and, where allowed, its owner.
    struct stat existing {};
    if (::fstatat(folder, target.c_str(), &existing, 0) != 0) {
        return true;
    }
    static_cast<void>(::fchown(descriptor, existing.st_uid, existing.st_gid));
    return ::fchmod(descriptor, existing.st_mode & 0777) == 0 ||
           fail("cannot set the permissions of a temporary file", errno);
}

bool ZELTFileIn::fail(const char* step, int code) {
    if (state == State::open) {
        error = fileFailure(path, step, code);
        state = State::failed;
    }
    removeTemporary();
    return false;
}

void ZELTFileIn::removeTemporary() {
    if (descriptor >= 0) {
        ::close(std::exchange(descriptor, -1));
    }
    if (!temporary.empty()) {
        ::unlinkat(folder, temporary.c_str(), 0);
        temporary.clear();
    }
}

} // namespace ZELT
