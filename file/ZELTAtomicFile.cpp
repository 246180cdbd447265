#include "ZELTAtomicFile.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
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

// Longest part of the target's name kept in the temporary's, so that the dot,
// the suffix and the name stay within NAME_MAX (255).
constexpr size_t keptNameLength = 200;
// Links followed at the end of a path before giving up, as Linux does.
constexpr int maximumLinks = 40;
// Names tried before giving up when others keep taking them.
constexpr int temporaryAttempts = 100;

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

// ".NAME.zelt-tmp-XXXXXXXX": says what it is and which file it was to replace.
std::string temporaryName(const std::string& target, const void* salt) {
    return "." + target.substr(0, keptNameLength) + ".zelt-tmp-" + randomSuffix(salt);
}

bool isDescriptorNumber(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether @p folderName is this process's table of open descriptors
// (/proc/self/fd, /dev/fd, /proc/PID/fd, /proc/PID/task/TID/fd), whose
// entries stand for the descriptors rather than for files.
bool isOwnDescriptorTable(const std::string& folderName) {
    char* const resolved = ::realpath(folderName.c_str(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    const std::string folder = resolved;
    std::free(resolved);
    const std::string own = "/proc/" + std::to_string(::getpid());
    const std::string tasks = own + "/task/";
    if (folder == own + "/fd") {
        return true;
    }
    const size_t taskEnd = folder.size() - 3;
    return folder.size() > tasks.size() + 3 && folder.compare(0, tasks.size(), tasks) == 0 &&
           folder.compare(taskEnd, 3, "/fd") == 0 &&
           isDescriptorNumber(folder.substr(tasks.size(), taskEnd - tasks.size()));
}

} // namespace

ZELTAtomicFile::ZELTAtomicFile(const char* givenPath)
    : state(State::open), folder(-1), descriptor(-1), writtenBytes(0), direct(false), unnamed(false) {
    if (givenPath == nullptr) {
        state = State::failed;
        error = fileFailure("", "no path given", 0);
        return;
    }
    path = givenPath;
    if (locate(givenPath) && !direct) {
        createTemporary();
    }
}

ZELTAtomicFile::~ZELTAtomicFile() {
    removeTemporary();
    if (folder >= 0) {
        ::close(folder);
    }
}

bool ZELTAtomicFile::isOpen() const { return state == State::open; }

bool ZELTAtomicFile::write(const char* data, long length) {
    while (state == State::open && length > 0) {
        const ssize_t done = ::write(descriptor, data, static_cast<size_t>(std::min(length, largestTransfer)));
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

bool ZELTAtomicFile::commit() {
    if (state == State::committed) {
        error = fileFailure(path, "already closed", 0);
        return false;
    }
    if (state != State::open) {
        return false;
    }
    // Pipes and character devices cannot be flushed and say EINVAL.
    const bool flushed = ::fsync(descriptor) == 0 || errno == EINVAL || fail("cannot flush", errno);
    // An unnamed file is linked through its descriptor, so before the close.
    const bool named = flushed && (!unnamed || nameTemporary());
    // Linux releases the descriptor even when close reports an error, so it is never retried.
    const bool closed = named && (::close(std::exchange(descriptor, -1)) == 0 || fail("cannot close", errno));
    // A temporary linked straight under the target's name is renamed onto itself, which does nothing.
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
        error = fileFailure(path, "replaced, but not flushed: cannot flush its folder", errno);
        return false;
    }
    return true;
}

const std::string& ZELTAtomicFile::reason() const { return error; }

long ZELTAtomicFile::written() const { return writtenBytes; }

bool ZELTAtomicFile::locate(const char* givenPath) {
    std::string current = givenPath;
    if (current.empty()) {
        return fail("cannot write", ENOENT);
    }
    for (int links = 0;; ++links) {
        const size_t slash = current.rfind('/');
        const std::string folderName = slash == std::string::npos ? "." : slash == 0 ? "/" : current.substr(0, slash);
        target = current.substr(slash == std::string::npos ? 0 : slash + 1);
        if (folder >= 0) {
            ::close(std::exchange(folder, -1));
        }
        if (isDescriptorNumber(target) && isOwnDescriptorTable(folderName)) {
            return adopt(target);
        }
        folder = openResuming(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            return fail("cannot open its folder", errno);
        }
        struct stat status {};
        if (target.empty()) {
            return fail("cannot write", EISDIR);
        }
        if (::fstatat(folder, target.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            // Nothing there yet: a new file.
            return errno == ENOENT || fail("cannot write", errno);
        }
        struct stat named = status;
        if (S_ISLNK(status.st_mode) && ::fstatat(folder, target.c_str(), &named, 0) != 0) {
            named = status; // a link to nothing or a loop: followed by hand below
        }
        if (S_ISDIR(named.st_mode)) {
            return fail("cannot write", EISDIR);
        }
        // A device or a pipe (/dev/null, a FIFO) is no file to replace:
        // renaming over it would put a plain file in its place.
        if (!S_ISREG(named.st_mode) && !S_ISLNK(named.st_mode)) {
            direct = true;
            descriptor = openResuming(current.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            return descriptor >= 0 || fail("cannot open", errno);
        }
        if (!S_ISLNK(status.st_mode)) {
            return true;
        }
        // A link is followed one step at a time, as opening the path would:
        // the file it names is replaced and the link stays; a link to nothing
        // gets the file it names; a loop fails as open(2) does, after 40 links.
        if (links == maximumLinks) {
            return fail("cannot write", ELOOP);
        }
        std::string text(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(folder, target.c_str(), text.data(), text.size());
        if (length < 0) {
            return fail("cannot write", errno);
        }
        text.resize(static_cast<size_t>(length));
        // A relative link is relative to the folder it stands in.
        if (text.empty() || text.front() != '/') {
            text.insert(0, 1, '/').insert(0, folderName);
        }
        current = std::move(text);
    }
}

bool ZELTAtomicFile::adopt(const std::string& number) {
    direct = true;
    int caller = -1;
    const char* const end = number.data() + number.size();
    if (std::from_chars(number.data(), end, caller).ptr != end) {
        return fail("cannot open", EBADF);
    }
    // A duplicate shares the caller's offset and append mode, and is ours to close.
    descriptor = ::fcntl(caller, F_DUPFD_CLOEXEC, 3);
    return descriptor >= 0 || fail("cannot open", errno);
}

bool ZELTAtomicFile::createTemporary() {
    // 0666: the umask and the folder's default ACL then apply as for any new file.
    descriptor = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed = descriptor >= 0;
    // Where unnamed files are not supported (or anything else went wrong),
    // a named one says what went wrong, if anything.
    for (int attempt = 0; descriptor < 0 && attempt < temporaryAttempts; ++attempt) {
        temporary = temporaryName(target, this);
        descriptor = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST) {
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

bool ZELTAtomicFile::nameTemporary() {
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    // Through /proc, which anyone may; without /proc, AT_EMPTY_PATH, which
    // needs a privilege on older kernels.
    const auto link = [&](const std::string& name) {
        return ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
               (errno == ENOENT && ::linkat(descriptor, "", folder, name.c_str(), AT_EMPTY_PATH) == 0);
    };
    // A new file takes the target's name at once, leaving no moment in which
    // a killed process would leave a temporary behind.
    std::string name = target;
    for (int attempt = 0; attempt < temporaryAttempts; ++attempt) {
        if (link(name)) {
            temporary = name;
            unnamed = false;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
        name = temporaryName(target, this);
    }
    return fail("cannot name the temporary file", errno);
}
bool ZELTAtomicFile::fail(const char* step, int code) {
    if (state == State::open) {
        error = fileFailure(path, step, code);
        state = State::failed;
    }
    removeTemporary();
    return false;
}

void ZELTAtomicFile::removeTemporary() {
    if (descriptor >= 0) {
        ::close(std::exchange(descriptor, -1));
    }
    // An unnamed temporary went with its descriptor; a direct one has no name.
    if (!temporary.empty()) {
        ::unlinkat(folder, temporary.c_str(), 0);
        temporary.clear();
    }
}

} // namespace ZELT
