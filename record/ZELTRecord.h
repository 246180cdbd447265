#ifndef ZELT_RECORD_H
#define ZELT_RECORD_H

// Records: a type described once by its fields, written as elements whose
// tags are the fields' paths (`shape.points[1].x`), and read back by name, so
// that text written by an older or newer program still loads. The element
// forms are in docs/records.md.
//
// A record is any type with a member `template <class Fields> void
// fields(Fields& f)`, or a free `template <class Fields> void fields(Fields&
// f, T& value)` found by argument-dependent lookup, calling `f("name",
// member)` once per field. A field name is non-empty and holds none of
// `.`, `[`, `]`, `|`, space, `<`, `>` and `"`.

#include <string>

#include "ZELTFx.h"
#include "ZELTScan.h"

namespace ZELT {

/// Why readValue refused a text, and where.
struct ZELTRecordError {
    enum Reason { none, endOfText, notAnElement, otherTag, attributes, noClosingText, badValue };
    Reason reason = none;
    std::string path;                      // the field: "shape.points[1].x"; the tag itself for a plain value
    long offset = 0, line = 1, column = 1; // where the refused element begins: for badValue, the field's own element
    std::string message;                   // one line: "line 7, column 1: shape.points[1].x: expected an int, ..."
};

/// Appends @p value as the element(s) of @p tag, taken as it stands (no `|`
/// splitting), each element composed as @p fx's writers compose it: a plain
/// integer or bool gives what the typed writer of its width gives, an
/// ordinary string what serializeString gives.
/// Returns false, appending nothing, for an empty tag or one holding a space
/// or `>` (no reader could find it) or a field name that breaks the rule
/// above. std::bad_alloc from a buffer that cannot grow leaves it as it was.
template <class T>
bool writeValue(ZELTFx& fx, ZELTBuffer& out, const char* tag, const T& value);

/// Reads the value of @p tag at @p in's marker into @p value and moves the
/// marker past it. Record fields are matched by name, in any order; elements
/// the type does not know are skipped, fields the text lacks keep their value
/// (an optional one becomes empty), and a container's content is replaced.
/// Values must be exactly a value of their type (no blanks, no `+`, in
/// range). On refusal returns false, the marker stays where it was, @p value
/// may be partly filled, and @p error (when given) says why. Time is linear
/// in the text read.
template <class T>
bool readValue(ZELTFx& fx, ZELTBuffer& in, const char* tag, T& value, ZELTRecordError* error = nullptr);

} // namespace ZELT

// The per-type templates, then the two functions above.
#include "ZELTRecordContainers.h"

namespace ZELT {

template <class T>
bool writeValue(ZELTFx&, ZELTBuffer& out, const char* tag, const T& value) {
    records::Writer w(out);
    try {
        return w.finish(w.begin(tag) && records::write(w, value));
    } catch (...) {
        w.finish(false); // std::bad_alloc from a buffer that cannot grow: nothing stays appended
        throw;
    }
}

template <class T>
bool readValue(ZELTFx&, ZELTBuffer& in, const char* tag, T& value, ZELTRecordError* error) {
    records::Reader r(in, error);
    if constexpr (records::IsOptional<T>::value) {
        // Nothing is written for an empty optional, so its absence reads as empty.
        if (!r.rootPresent(tag)) {
            value.reset();
            return true;
        }
    }
    ZELTElement element;
    return r.finish(r.root(tag, element) && records::read(r, element, value));
}

} // namespace ZELT

#endif
