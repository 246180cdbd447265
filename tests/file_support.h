#ifndef ZELT_FILE_SUPPORT_H
#define ZELT_FILE_SUPPORT_H

// Shared by the file tests: a scratch folder, whole-file reads and writes
// and buffers to load into.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFile.h"

namespace zelt_test {

// A fresh folder under $TMPDIR (or /tmp), removed with what it holds.
class TempFolder {
public:
    TempFolder() {
        const char* const base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zelt-file-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        root = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string path(const std::string& name) const { return root + "/" + name; }

    // The names in the folder, sorted: a temporary left behind shows here.
    std::vector<std::string> listing() const { return namesIn(root); }

    static std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string root;
};

inline void writeWhole(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    ASSERT_TRUE(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && file.flush()) << path;
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<missing>";
}

// A scratch folder holding the file "data" with "old" in it, which a failure
// must leave as it was.
class Scratch : public testing::Test {
protected:
    Scratch() { writeWhole(path, "old"); }

    void expectOldDataAlone() const {
        EXPECT_EQ(readWhole(path), "old");
        EXPECT_EQ(folder.listing(), std::vector<std::string>{"data"});
    }

    TempFolder folder;
    const std::string path = folder.path("data");
};

// Runs @p body in a child process: true when it ran to its end and returned
// true, false when it returned false or was killed. The verdict comes back
// through a pipe, not the exit status, which valgrind replaces when it counts
// the blocks a child leaves.
inline bool inChild(const std::function<bool()>& body) {
    int verdict[2];
    if (::pipe(verdict) != 0) {
        return false;
    }
    // Nothing buffered may be written twice; the child leaves through exit so
    // that coverage data and the sanitizers' checks are not skipped.
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(verdict[0]);
        const char passed = body() ? 'y' : 'n';
        std::exit(::write(verdict[1], &passed, 1) == 1 ? 0 : 1);
    }
    ::close(verdict[1]);
    char passed = 'n';
    const bool heard = ::read(verdict[0], &passed, 1) == 1;
    ::close(verdict[0]);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && heard && passed == 'y';
}

// @p length bytes of every value 0 to 255 in turn, NUL bytes included.
inline std::string patternBytes(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    }
    return bytes;
}

// A buffer holding @p bytes.
inline ZELT::ZELTBuffer bufferWith(const std::string& bytes) {
    ZELT::ZELTBuffer buffer;
    buffer.setBufferString(bytes.data(), static_cast<long>(bytes.size()));
    return buffer;
}

// A buffer with content, a reserve and a marker in the middle, to see that a
// failed load changes none of them.
inline void fillBuffer(ZELT::ZELTBuffer& buffer) {
    buffer.setBufReserveSize(100);
    buffer.setString("<count>42</count>\n");
    buffer.setMarkerPos(7);
}

} // namespace zelt_test

#endif
