#ifndef ZELT_RECORD_CORE_H
#define ZELT_RECORD_CORE_H

// The untyped half of records, compiled into the library: composing the
// elements and paths, finding and checking them when reading. The templates
// of ZELTRecordValues.h call these; programs call writeValue and readValue.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "ZELTFx.h"
#include "ZELTScan.h"

namespace ZELT {

struct ZELTRecordError;

namespace records {

/// The compound forms, each a header element `<path Name="KIND">N</path>`
/// followed by its N children.
enum class Kind { record, list, map };

/// An element composed and not yet appended to the buffer.
struct ElementText {
    std::unique_ptr<char[]> text;
    size_t size = 0;
    size_t capacity = 0;
    /// Grows the text by @p length bytes and returns where they start.
    char* room(size_t length);
};

/// Appends one value's elements, keeping the path of the element being
/// written. Each element is composed as the typed writers compose it and
/// appended in one call.
class ZELT_API Writer {
public:
    explicit Writer(ZELTBuffer& out);
    /// Starts with @p tag as the path; false for a tag no reader could find.
    bool begin(const char* tag);
    /// Returns @p ok; when false, first removes everything appended since begin.
    bool finish(bool ok);

    /// Extends the path by `.name`, `[index]` or `[key]` (key bytes encoded);
    /// pop returns to the length given. pushField is false for a bad name.
    bool pushField(const char* name, size_t& mark);
    void pushIndex(size_t index, size_t& mark);
    void pushKey(std::string_view key, size_t& mark);
    void pushKey(long long key, size_t& mark);
    void pushKey(unsigned long long key, size_t& mark);
    void pop(size_t mark) { path.resize(mark); }

    bool signedNumber(long long value);
    bool unsignedNumber(unsigned long long value);
    bool floating(double value);
    bool floating(float value);
    /// A plain element, or a raw block when @p value holds its own closing text.
    bool text(std::string_view value);
    /// Always a raw block.
    bool bytes(const void* data, size_t size);
    bool header(Kind kind, size_t count);

private:
    template <typename Number>
    bool number(Number value);
    // Appends `<path` + @p attributes + `>` + @p value + closing text.
    bool element(std::string_view attributes, std::string_view value);
    // Appends what is composed to the buffer.
    bool flush();

    ZELTBuffer& out;
    ElementText& composed; // the thread's own
    std::string path;
    long startSize = 0;
};

class Reader;
/// Reads one field's value from its element (already taken) into @p target.
using ReadField = bool (*)(Reader& reader, const ZELTElement& element, void* target);
/// Empties a field the text does not hold (optional fields), or null.
using ResetField = void (*)(void* target);

/// A record's fields as readFields matches them to the text. Plain data, so
/// that a table's slots cost nothing until filled.
struct Slot {
    const char* name;
    void* target;
    ReadField read;
    ResetField reset; // null but for optional fields
    bool seen;
};

/// The slots of one record read; small records need no allocation.
class ZELT_API FieldTable {
public:
    explicit FieldTable(size_t count);
    void add(const char* name, void* target, ReadField read, ResetField reset);
    /// The slot of @p name, trying the one after the last found first, so
    /// that fields in written order cost one comparison each.
    Slot* find(std::string_view name);
    /// Resets the optional fields the text did not hold.
    void resetUnseen();

private:
    // Finds @p name through a hash index of the names, made on the first miss.
    Slot* lookUp(std::string_view name);

    static constexpr size_t inlineCount = 16;
    Slot inlineSlots[inlineCount];
    std::unique_ptr<Slot[]> heapSlots;
    Slot* slots;
    size_t count = 0;
    size_t next = 0;
    std::unique_ptr<unsigned[]> byHash; // slot number + 1 per bucket, 0 for none
    size_t buckets = 0;
};

/// Takes elements at a buffer's marker and reports the first refusal.
class ZELT_API Reader {
public:
    Reader(ZELTBuffer& in, ZELTRecordError* error);
    /// Takes the element of @p tag at the marker.
    bool root(const char* tag, ZELTElement& element);
    /// Whether an element of @p tag stands at the marker, changing nothing.
    bool rootPresent(const char* tag);
    /// Returns @p ok; when false, first puts the marker back where it was.
    bool finish(bool ok);

    /// The header @p element must be of @p kind; gives its child count.
    bool count(const ZELTElement& element, Kind kind, size_t& children, const char* expected);
    /// Takes the next child of @p parent, whose tag extends the parent's with
    /// @p opener ('.' or '['); @p rest is what follows the opener.
    bool child(const ZELTElement& parent, char opener, ZELTElement& element, std::string_view& rest);
    /// Skips the children of @p element, if it is a header.
    bool skipChildren(const ZELTElement& element);
    /// Reads @p children fields of the record @p parent into @p table.
    bool readFields(const ZELTElement& parent, size_t children, FieldTable& table);

    /// Nested values: false, refusing, when the text nests too deep.
    bool enter(const ZELTElement& element);
    void leave() { --depth; }

    bool signedNumber(const ZELTElement& element, long long low, long long high, long long& value,
                      const char* expected);
    bool unsignedNumber(const ZELTElement& element, unsigned long long high, unsigned long long& value,
                        const char* expected);
    bool floating(const ZELTElement& element, double& value);
    bool floating(const ZELTElement& element, float& value);
    /// The value of a plain or raw element.
    bool text(const ZELTElement& element, std::string_view& value, const char* expected);
    /// The decoded key of a map entry, from what follows its parent's tag and `[`.
    bool key(const ZELTElement& element, std::string_view rest, std::string& value);
    bool key(const ZELTElement& element, std::string_view rest, long long& value);
    bool key(const ZELTElement& element, std::string_view rest, unsigned long long& value);

    /// Bytes after the marker.
    size_t unread() const { return static_cast<size_t>(in.getBufferSize() - in.getMarkerPos()); }

    /// Refuses @p element's value with badValue, saying @p detail.
    bool badValue(const ZELTElement& element, const std::string& detail);

private:
    // The next element at the marker, a raw block taken whole.
    bool next(ZELTElement& element, std::string_view path);
    bool atMarker(std::string_view path);
    bool refuse(int reason, long offset, std::string_view path, const std::string& detail);
    // A plain element's whole value as a Number from @p low to @p high.
    template <typename Number, typename Limit>
    bool number(const ZELTElement& element, Limit low, Limit high, Number& value, const char* expected);
    template <typename Number>
    bool numberKey(const ZELTElement& element, std::string_view rest, Number& value);

    ZELTBuffer& in;
    ZELTRecordError* error;
    long start;
    int depth = 0;
};

} // namespace records
} // namespace ZELT

#endif
