// ZELTFileReader: texts streamed through windows of every size around their
// elements read exactly as the whole text does, in bounded memory.

#include "ZELTFile.h" // first: the header compiles on its own

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTScan.h"
#include "file_support.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTElement;
using ZELT::ZELTFileReader;
using zelt_test::DerivedBuffer;
using zelt_test::RefusingBuffer;
using zelt_test::writeWhole;

namespace {

struct Read {
    std::string tag, value;
    long offset; // in the whole text
    bool operator==(const Read& other) const {
        return tag == other.tag && value == other.value && offset == other.offset;
    }
};

std::ostream& operator<<(std::ostream& out, const Read& read) {
    return out << read.tag << '@' << read.offset << ':' << read.value.size();
}

// What scanning gives: the elements, whether they were the whole text, and
// the largest capacity the buffer had.
struct Scanned {
    std::vector<Read> elements;
    bool whole = false;
    long largestCapacity = 0;
};

// Adds the buffer's elements from its marker on, @p base being where the
// buffer's first byte stands in the whole text.
void collect(ZELTBuffer& in, long base, std::vector<Read>& elements) {
    ZELTElement element;
    while (ZELT::scanElement(in, element)) {
        elements.push_back({std::string(element.tag), std::string(element.value), base + element.offset});
    }
}

// Reads every element from the buffer, then fills it again as long as more
// text could complete the element at the marker, as the zelt program does.
Scanned stream(ZELTFileReader& reader, ZELTBuffer& in, long window) {
    Scanned scanned;
    for (;;) {
        collect(in, reader.consumed(), scanned.elements);
        scanned.largestCapacity = std::max(scanned.largestCapacity, in.getBufReserveSize());
        if (reader.atEnd() || !ZELT::scanNeedsMore(in)) {
            break;
        }
        std::string error;
        if (!reader.fill(in, window, &error) && !reader.atEnd()) {
            ADD_FAILURE() << error;
            break;
        }
    }
    scanned.whole = in.getMarkerPos() == in.getBufferSize();
    return scanned;
}

// The same, over the whole text at once.
Scanned scanWhole(const std::string& text) {
    ZELTBuffer in;
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    Scanned scanned;
    collect(in, 0, scanned.elements);
    scanned.whole = in.getMarkerPos() == in.getBufferSize();
    return scanned;
}

std::string element(const std::string& tag, const std::string& value) { return "<" + tag + ">" + value + "</" + tag + ">\n"; }

constexpr long window = 4096;

class FileReader : public zelt_test::Scratch {};

// Texts whose elements end one byte before, at and after a window's end, and
// are one byte shorter than, as long as and one byte longer than a window, or
// many windows long; each of them whole and cut short at its end.
std::vector<std::string> edgeTexts() {
    std::vector<std::string> texts;
    const long overhead = static_cast<long>(element("v", "").size());
    for (const long length : {window - 1, window, window + 1, 5 * window + 3}) {
        for (const long shift : {-1L, 0L, 1L}) {
            const std::string first = element("v", std::string(static_cast<size_t>(length - overhead + shift), 'x'));
            const std::string text = first + element("w", "1") + first + element("e", "");
            texts.push_back(text);
            texts.push_back(text.substr(0, text.size() - 1));
        }
    }
    return texts;
}

TEST_F(FileReader, ReadsWhatTheWholeTextHoldsWindowByWindow) {
    for (const std::string& text : edgeTexts()) {
        SCOPED_TRACE(text.size());
        writeWhole(path, text);
        const Scanned whole = scanWhole(text);
        // Memory holds at most twice the longest element or window, however long the text.
        const long longest = static_cast<long>(text.find('\n') + 1);
        for (const long size : {window, 1L, 0L}) { // a window of nothing starts with one byte
            ZELTBuffer plain;
            DerivedBuffer derived; // the reader reads into memory of its own for it
            for (ZELTBuffer* in : {&plain, static_cast<ZELTBuffer*>(&derived)}) {
                ZELTFileReader reader(path.c_str());
                ASSERT_TRUE(reader.isOpen());
                const Scanned streamed = stream(reader, *in, size);
                EXPECT_EQ(streamed.elements, whole.elements);
                EXPECT_EQ(streamed.whole, whole.whole);
                EXPECT_TRUE(reader.atEnd());
                EXPECT_EQ(reader.consumed() + in->getBufferSize(), static_cast<long>(text.size()));
                if (in == &plain) { // a derived buffer's memory grows by its own rule
                    EXPECT_LE(streamed.largestCapacity, 2 * std::max(longest, size) + 2);
                }
            }
        }
    }
}

TEST_F(FileReader, AnElementCutShortAtTheEndIsLeftUnread) {
    writeWhole(path, element("a", "1") + "<b>2</b");
    ZELTFileReader reader(path.c_str());
    ZELTBuffer in;
    const Scanned streamed = stream(reader, in, window);
    ASSERT_EQ(streamed.elements.size(), 1U);
    EXPECT_FALSE(streamed.whole);
    EXPECT_TRUE(ZELT::scanNeedsMore(in));
    EXPECT_EQ(ZELT::explainScan(in).reason, ZELT::ZELTReadError::noClosingText);
    // Another fill at the end drops what was read and keeps the rest.
    std::string error = "untouched";
    EXPECT_FALSE(reader.fill(in, window, &error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(zelt_test::contentOf(in), "<b>2</b");
    EXPECT_EQ(in.getMarkerPos(), 0);
    EXPECT_EQ(reader.consumed(), 9);
}

TEST_F(FileReader, AnEmptyFileEndsAtOnce) {
    writeWhole(path, "");
    ZELTFileReader reader(path.c_str());
    ZELTBuffer in;
    EXPECT_FALSE(reader.atEnd());
    EXPECT_FALSE(reader.fill(in, window));
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(in.getBufferSize(), 0);
    EXPECT_EQ(reader.consumed(), 0);
}

// A pipe whose writer, a thread, writes a text a thousand bytes at a time,
// far less than a reader asks for: a read gives what was written so far.
class PipeOf {
public:
    explicit PipeOf(const std::string& text) {
        EXPECT_EQ(::pipe(ends), 0);
        writer = std::thread([this, text] {
            for (size_t at = 0; at < text.size(); at += 1000) {
                const size_t length = std::min<size_t>(1000, text.size() - at);
                EXPECT_EQ(::write(ends[1], text.data() + at, length), static_cast<ssize_t>(length));
            }
            ::close(ends[1]);
        });
    }
    PipeOf(const PipeOf&) = delete;
    PipeOf& operator=(const PipeOf&) = delete;
    ~PipeOf() {
        writer.join();
        ::close(ends[0]);
    }
    int readEnd() const { return ends[0]; }

private:
    int ends[2] = {-1, -1};
    std::thread writer;
};

TEST_F(FileReader, ReadsADescriptorAndLeavesItOpen) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += element("n", std::to_string(i));
    }
    const PipeOf pipe(text);
    {
        ZELTFileReader reader(pipe.readEnd(), "<pipe>");
        ZELTBuffer in;
        const Scanned streamed = stream(reader, in, 1L << 16);
        EXPECT_EQ(streamed.elements, scanWhole(text).elements);
        EXPECT_TRUE(streamed.whole);
    }
    EXPECT_NE(::fcntl(pipe.readEnd(), F_GETFD), -1) << "the reader closed a descriptor it did not open";
}

// The sizes a buffer has after each fill while an element far longer than
// the window comes in, the last of them at the end of the text.
std::vector<long> fillsOfLongElement(ZELTFileReader& reader) {
    ZELTBuffer in;
    std::vector<long> sizes;
    while (reader.fill(in, window)) {
        sizes.push_back(in.getBufferSize());
    }
    EXPECT_TRUE(reader.atEnd());
    return sizes;
}

// Each fill waits for the bytes it asked for: a pipe fills as a file does,
// so an element takes a number of fills logarithmic in its length.
TEST_F(FileReader, APipeFillsAsAFileDoes) {
    const std::string text = element("v", std::string(300 * window, 'x'));
    writeWhole(path, text);
    ZELTFileReader file(path.c_str());
    const std::vector<long> byPath = fillsOfLongElement(file);
    const PipeOf pipe(text);
    ZELTFileReader piped(pipe.readEnd(), "<pipe>");
    EXPECT_EQ(fillsOfLongElement(piped), byPath);
    ASSERT_FALSE(byPath.empty());
    EXPECT_EQ(byPath.back(), static_cast<long>(text.size()));
    // Each step asks for a quarter of what is held, or a window when that is more.
    long held = 0;
    for (const long size : byPath) {
        EXPECT_EQ(size, std::min(held + std::max(window, held / 4), static_cast<long>(text.size())));
        held = size;
    }
}

// Memory follows the element being read, not the longest read so far.
TEST_F(FileReader, TheMemoryOfALongElementGoesOnceItIsRead) {
    std::string text = element("v", std::string(100 * window, 'x'));
    while (text.size() < 300 * window) {
        text += element("n", "1");
    }
    writeWhole(path, text);
    ZELTFileReader reader(path.c_str());
    ZELTBuffer in;
    const Scanned streamed = stream(reader, in, window);
    EXPECT_TRUE(streamed.whole);
    EXPECT_GT(streamed.largestCapacity, 100 * window);
    EXPECT_LE(in.getBufReserveSize(), 3 * window);
}

TEST_F(FileReader, FailuresGiveAReason) {
    writeWhole(path, element("a", "1"));
    const std::string missing = folder.path("missing");
    ZELTFileReader absent(missing.c_str());
    ZELTFileReader noPath(nullptr);
    ZELTFileReader badDescriptor(-1, nullptr);
    ZELTFileReader folderItself(folder.path("").c_str());
    const struct {
        ZELTFileReader* reader;
        bool open;
        std::string reason;
    } cases[] = {
        {&absent, false, missing + ": cannot open: No such file or directory"},
        {&noPath, false, "no path given"},
        {&badDescriptor, false, "descriptor -1: cannot read: Bad file descriptor"},
        {&folderItself, true, folder.path("") + ": cannot read: Is a directory"},
    };
    for (const auto& failing : cases) {
        SCOPED_TRACE(failing.reason);
        EXPECT_EQ(failing.reader->isOpen(), failing.open);
        ZELTBuffer in;
        zelt_test::fillBuffer(in);
        std::string error;
        EXPECT_FALSE(failing.reader->fill(in, window, &error));
        EXPECT_FALSE(failing.reader->fill(in, window));
        EXPECT_EQ(error, failing.reason);
        EXPECT_FALSE(failing.reader->atEnd());
        EXPECT_EQ(zelt_test::contentOf(in).substr(static_cast<size_t>(in.getMarkerPos())), "42</count>\n");
    }
    ZELTFileReader reader(path.c_str());
    RefusingBuffer refusing;
    refusing.refusesAppendBufferString = true;
    refusing.refusesSetBufferString = true;
    refusing.refusesMarkerAtStart = true;
    std::string error;
    EXPECT_FALSE(reader.fill(refusing, window, &error));
    EXPECT_EQ(error, path + ": the buffer refused the text");
    // Refused, the bytes read are lost: the reader starts again, and the
    // buffer refuses to drop them, or then to move its marker.
    refusing.refusesAppendBufferString = false;
    for (const bool drops : {true, false}) {
        ZELTFileReader again(path.c_str());
        refusing.clearBufferString();
        refusing.refusesSetBufferString = drops;
        ASSERT_TRUE(again.fill(refusing, 2));
        ASSERT_TRUE(refusing.setMarkerPos(1));
        error.clear();
        EXPECT_FALSE(again.fill(refusing, window, &error));
        EXPECT_EQ(error, path + ": the buffer refused the text");
        EXPECT_EQ(again.consumed(), 0);
    }
}

} // namespace
