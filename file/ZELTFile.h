#ifndef ZELT_FILE_H
#define ZELT_FILE_H

#include <memory>
#include <string>

#include "ZELTBuffer.h"

namespace ZELT {

class ZELTAtomicFile;

/// Replaces @p in's content with the whole file at @p path (NUL bytes
/// included), marker 0. On failure (a null path, a missing file, no
/// permission, a directory, a read error) returns false, stores a reason such
/// as "data.txt: cannot open: No such file or directory" in @p error when it
/// is given, and leaves @p in exactly as it was.
///
/// Into a buffer without an area (a new one, or one after tearDown) the file
/// is read straight into the buffer's memory, reserved at the file's size plus
/// two bytes (the terminator and one spare), so that loading costs what one
/// allocation and a read loop cost; that is the capacity it then reports. A
/// buffer with an area, or a derived one, is given the text once it is
/// whole, as setBufferString would (capacity by its rules), and for that
/// while holds it twice. A file that another process truncates meanwhile
/// just ends early; one that grows is read to its new end.
ZELT_API bool loadFile(const char* path, ZELTBuffer& in, std::string* error = nullptr);

/// loadFile for an open descriptor, such as 0 for standard input: reads with
/// read(2) from its offset to its end and does not close it. A source that
/// tells no size (a pipe) grows the buffer as appends would. @p name stands
/// for the source in reasons ("descriptor N" when null). On failure the
/// offset is unspecified.
ZELT_API bool loadDescriptor(int fd, const char* name, ZELTBuffer& in, std::string* error = nullptr);

/// Writes @p out's content to @p path atomically: to a new file in the same
/// folder that has no name while it is written (O_TMPFILE), flushed to disk,
/// linked and renamed over @p path, then the folder flushed. A process killed
/// meanwhile leaves nothing behind, but for the instant between the link and
/// the rename. Where the file system has no unnamed files, the new file is
/// named ".NAME.zelt-tmp-XXXXXXXX" from the start: such files are left only by
/// a killed save and may be removed.
///
/// Links at @p path are followed as opening it would: the link stays and the
/// file it names is replaced, or created when it does not exist; a loop of
/// links fails with "Too many levels of symbolic links". A replaced file
/// keeps its read, write and execute bits and, where allowed, its owner and
/// group; its setuid, setgid and sticky bits, ACL and extended attributes are
/// not carried over, and its other hard links keep the old text. A new file
/// gets 0666 less the umask.
///
/// A device or a pipe (/dev/null, a FIFO) is no file to replace, and a path
/// that names one of the process's open descriptors (/dev/stdout, /dev/fd/N,
/// /proc/self/fd/N, /proc/PID/fd/N) stands for that descriptor: both are
/// written in place, not atomically, a descriptor at its offset and in its
/// append mode, as a write to it would.
///
/// On failure returns false with a reason in @p error, and @p path is as it
/// was, with no temporary file left; but when flushing the folder fails after
/// the rename, @p path already holds the new text, and the reason says
/// "replaced, but not flushed". A file-size limit (RLIMIT_FSIZE) is reported
/// as "File too large" only while SIGXFSZ is ignored; by default the signal
/// kills the process.
ZELT_API bool saveFile(const char* path, const ZELTBuffer& out, std::string* error = nullptr);

/// A buffer that streams what is appended to it into a file, holding at most
/// one window of bytes in memory. Give it to a formatter's writers as any
/// ZELTBuffer; close() puts the file in place as saveFile would, and paths
/// are taken as saveFile takes them (links, devices, open descriptors).
///
/// Appends fill the window; one that would overflow it writes the window out
/// first, and one longer than the window goes straight to the file. Once a
/// write has failed (disk full, file size limit), that append and every later
/// append and close() return false, and the temporary is removed at once.
///
/// The other operations act on the window, the bytes not yet written:
/// setString and setBufferString replace them, clearBufferString drops them,
/// the marker and the reading views see only them, and setBufReserveSize sizes
/// their memory. tearDown writes them out, then releases the memory. Bytes
/// already written are never touched. Not copyable: it owns an open file.
class ZELT_API ZELTFileBuffer : public ZELTBuffer {
public:
    /// Opens a temporary file beside @p path (or the device or descriptor
    /// it names) and reserves a window of @p window
    /// bytes (at least 4,096). When the file cannot be made, isOpen() is false,
    /// every append returns false, and close() gives the reason.
    explicit ZELTFileBuffer(const char* path, long window = 1L << 20);
    ZELTFileBuffer(const ZELTFileBuffer&) = delete;
    ZELTFileBuffer& operator=(const ZELTFileBuffer&) = delete;

    /// Whether appends can go to the file: from a successful construction
    /// until close() or a failed write.
    bool isOpen() const;
    /// Writes the window out, flushes the file to disk and renames it over the
    /// path. Returns true only for the call that did so; otherwise false with
    /// the first failure's reason (or "already closed") in @p error, and no
    /// temporary left; after "replaced, but not flushed" the path holds the
    /// new text, as with saveFile. Releases the window's memory either way.
    bool close(std::string* error = nullptr);
    /// The window's size in bytes, after the minimum was applied.
    long getWindow() const;
    /// Bytes written to the file so far; the window's bytes come on top.
    long getWrittenSize() const;

    void tearDown() override;
    bool setBufferString(const char* source, long length) override;
    bool setString(const char* text) override;
    bool appendBufferString(const char* source, long length) override;
    bool appendString(const char* text) override;

    /// Without a successful close(), removes the temporary: @p path stays as it was.
    ~ZELTFileBuffer() override;

private:
    // Writes the window's bytes to the file and empties it; false when the write failed.
    bool writeWindow();

    std::unique_ptr<ZELTAtomicFile> file;
    long window;
};

/// Reads a file into a buffer a window at a time, for texts too large to hold
/// whole: each fill() drops the text before the buffer's marker, which has
/// been read, and appends the next bytes. A loop of scanElement and fill()
/// (see scanNeedsMore) holds no more than the window and about twice the
/// largest element, from a file or a pipe alike.
/// Not copyable: it owns an open file.
class ZELT_API ZELTFileReader {
public:
    /// Opens @p path for reading. When that fails, isOpen() is false and
    /// fill() gives the reason ("data.txt: cannot open: No such file or directory").
    explicit ZELTFileReader(const char* path);
    /// Reads the open descriptor @p fd (0: standard input) from its offset on
    /// and leaves it open; @p name stands for it in reasons ("descriptor N"
    /// when null).
    ZELTFileReader(int fd, const char* name);
    ZELTFileReader(const ZELTFileReader&) = delete;
    ZELTFileReader& operator=(const ZELTFileReader&) = delete;
    /// Closes the file if it opened it.
    ~ZELTFileReader();

    /// Whether the file is open for reading.
    bool isOpen() const;
    /// Drops @p in's text before its marker (the marker goes to 0), then
    /// appends the next bytes of the file: @p window bytes (at least one), or a
    /// quarter of what the buffer then holds when that is more, so that an
    /// element longer than the window takes a number of fills logarithmic in
    /// its length, and memory at most 2.25 times its length. It reads until it has
    /// them all or the file ends, so a pipe, which hands over a little at a
    /// time, fills as a file does. A buffer whose capacity is far above what
    /// the fill needs, after a long element, is first fitted to its content
    /// (setBufReserveSize(0)). Returns true when bytes were appended; false
    /// at the end of the file (atEnd() is then true) or on failure (not open,
    /// a read error such as a directory's), with a reason such as
    /// "data.txt: cannot read: Is a directory" in @p error when given. The
    /// unread text stays as it was either way; bytes a derived buffer refuses
    /// to take are lost.
    bool fill(ZELTBuffer& in, long window, std::string* error = nullptr);
    /// Whether a read has found the end of the file, which may be the fill
    /// that appended its last bytes.
    bool atEnd() const;
    /// Bytes dropped from the front of buffers so far: where the buffer's first
    /// byte stands in the file (counted from where reading began).
    long consumed() const;

private:
    std::string name;
    std::string failure; // why the file is not open; empty when it is
    int descriptor;
    bool owned;
    bool ended;
    long dropped;
    // Where the bytes of a derived buffer are read before they are appended;
    // a plain ZELTBuffer takes them into its own area.
    std::unique_ptr<char[]> scratch;
    long scratchSize;
};

} // namespace ZELT

#endif
