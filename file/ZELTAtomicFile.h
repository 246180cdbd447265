#ifndef ZELT_ATOMIC_FILE_H
#define ZELT_ATOMIC_FILE_H

#include <string>

#include "ZELTFileSystem.h"

namespace ZELT {

/// The writing side of saveFile and ZELTFileBuffer: a new file made beside its
/// target and renamed over it only once complete, or a device, a pipe or an
/// open descriptor written in place. Internal to the library.
///
/// The new file has no name while it is written (O_TMPFILE), so that a killed
/// process leaves nothing behind; it is linked under a temporary name only to
/// be renamed over the target. Where the file system cannot make unnamed
/// files, it is made as ".NAME.zelt-tmp-XXXXXXXX" from the start.
///
/// Every failure is kept as the first reason and removes the temporary at
/// once; from then on each operation returns false.
class ZELTAtomicFile {
public:
    /// Opens the folder and creates the temporary; isOpen() tells whether it worked.
    explicit ZELTAtomicFile(const char* path);
    ZELTAtomicFile(const ZELTAtomicFile&) = delete;
    ZELTAtomicFile& operator=(const ZELTAtomicFile&) = delete;
    /// Removes the temporary unless commit() put it in place.
    ~ZELTAtomicFile();

    /// Whether the temporary is there and nothing has failed.
    bool isOpen() const;
    /// Writes all @p length bytes, resuming after signals and short writes.
    bool write(const char* data, long length);
    /// Flushes the temporary, renames it over the target and flushes the
    /// folder. A second call fails with "already closed".
    bool commit();
    /// The first failure's reason; empty while nothing failed.
    const std::string& reason() const;
    /// Bytes written so far.
    long written() const;

private:
    enum class State { open, failed, committed };

    // Finds the folder and the name to replace, following links at the path's
    // end one at a time as opening it would, or the descriptor it names.
    bool locate(const char* path);
    // Writes through the caller's open descriptor @p number, as it stands.
    bool adopt(const std::string& number);
    bool createTemporary();
    // Gives the unnamed temporary a name: the target's when that is free,
    // otherwise a temporary name to be renamed over it.
    bool nameTemporary();
    // Keeps the first reason, closes and removes the temporary; returns false.
    bool fail(const char* step, int code);
    // Closes and unlinks the temporary if it is there.
    void removeTemporary();

    State state;
    std::string path; // as the caller gave it, for reasons
    std::string target;
    std::string temporary;
    std::string error;
    int folder;
    int descriptor;
    long writtenBytes;
    // Written in place, without a temporary: the path is a device, a pipe or
    // an open descriptor.
    bool direct;
    // The temporary has no name yet (O_TMPFILE); temporary is then empty.
    bool unnamed;
};

} // namespace ZELT

#endif
