#include <charconv>
#include <limits>
#include <string>

#include "ZELTRecord.h"
#include "ZELTRecordText.h"
#include "ZELTScanText.h"

namespace ZELT {
namespace records {

namespace {

// Deeper text is refused rather than read on the stack; a program's own
// types nest far less.
constexpr int deepest = 200;

// How much of a refused value a message shows.
constexpr size_t excerptLength = 24;

// Parses all of @p text as one Number, or fails: no blanks, no `+`.
template <typename Number>
bool parseWhole(std::string_view text, Number& value) {
    const char* const end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string found(std::string_view text) { return ", found " + scanning::shortened(text, excerptLength, true); }

// What a header's or a raw block's Name says it holds.
const char* heldBy(std::string_view name) {
    Kind kind = Kind::record;
    if (!kindNamed(name, kind)) {
        return name == rawName ? "a raw block" : nullptr;
    }
    return kind == Kind::record ? "a record" : kind == Kind::list ? "a list" : "a map";
}

// What stands between `[` (already passed) and a final `]`.
bool inBrackets(std::string_view rest, std::string_view& inner) {
    if (rest.empty() || rest.back() != ']') {
        return false;
    }
    inner = rest.substr(0, rest.size() - 1);
    return true;
}

} // namespace

Reader::Reader(ZELTBuffer& in, ZELTRecordError* error) : in(in), error(error), start(in.getMarkerPos()) {
    if (error != nullptr) {
        *error = ZELTRecordError{};
    }
}

bool Reader::root(const char* tag, ZELTElement& element) {
    if (tag == nullptr) {
        return refuse(ZELTRecordError::otherTag, start, {}, "no tag given");
    }
    if (!next(element, tag)) {
        return false;
    }
    if (element.tag == tag) {
        return true;
    }
    in.setMarkerPos(element.offset);
    const ZELTReadError why = explainRead(tag, in);
    return refuse(why.reason, element.offset, tag, std::string(why.detail()));
}

bool Reader::rootPresent(const char* tag) {
    ZELTElement element;
    const bool present = tag != nullptr && scanElement(in, element) && element.tag == tag;
    in.setMarkerPos(start);
    return present;
}

bool Reader::finish(bool ok) {
    if (!ok) {
        in.setMarkerPos(start);
    }
    return ok;
}

bool Reader::next(ZELTElement& element, std::string_view path) {
    const long marker = in.getMarkerPos();
    if (!scanElement(in, element)) {
        return atMarker(path);
    }
    if (element.name != rawName) {
        return true;
    }
    // A raw block's bytes may hold its closing text: take exactly its count.
    long length = 0;
    if (!parseWhole(element.idx, length)) {
        return badValue(element, "expected a byte count in Idx" + found(element.idx));
    }
    if (static_cast<long>(element.value.size()) == length) {
        return true;
    }
    in.setMarkerPos(marker);
    if (scanBytes(in, length, element)) {
        return true;
    }
    return refuse(ZELTRecordError::noClosingText, element.offset, element.tag,
                  "no closing text after the raw block's " + std::to_string(length) + " bytes");
}

bool Reader::atMarker(std::string_view path) {
    const ZELTReadError why = explainScan(in);
    return refuse(why.reason, why.offset, path, std::string(why.detail()));
}

bool Reader::count(const ZELTElement& element, Kind kind, size_t& children, const char* expected) {
    Kind written = Kind::record;
    if (!kindNamed(element.name, written) || written != kind || !element.idx.empty()) {
        const char* const held = heldBy(element.name);
        return badValue(element, std::string("expected ") + expected + ", found " + (held ? held : "a plain value"));
    }
    // Every child takes more than a byte, so a larger count cannot be true.
    if (!parseWhole(element.value, children) || children > unread()) {
        return badValue(element, "expected a count of the elements that follow" + found(element.value));
    }
    return true;
}

bool Reader::child(const ZELTElement& parent, char opener, ZELTElement& element, std::string_view& rest) {
    if (!next(element, parent.tag)) {
        return false;
    }
    const std::string_view tag = element.tag;
    const size_t length = parent.tag.size();
    if (tag.size() > length && tag.compare(0, length, parent.tag) == 0 && tag[length] == opener) {
        rest = tag.substr(length + 1);
        return true;
    }
    return refuse(ZELTRecordError::otherTag, element.offset, parent.tag,
                  "expected an element of " + std::string(parent.tag) + opener + "..., found " +
                      scanning::shortened(tag, excerptLength));
}

bool Reader::skipChildren(const ZELTElement& element) {
    Kind kind = Kind::record;
    size_t pending = 0;
    if (!kindNamed(element.name, kind)) {
        return true;
    }
    if (!count(element, kind, pending, heldBy(element.name))) {
        return false;
    }
    // One element at a time, without recursion: the text may nest deeply.
    while (pending > 0) {
        ZELTElement inner;
        size_t more = 0;
        if (!next(inner, element.tag)) {
            return false;
        }
        --pending;
        if (kindNamed(inner.name, kind)) {
            if (!count(inner, kind, more, heldBy(inner.name))) {
                return false;
            }
            pending += more;
        }
    }
    return true;
}

bool Reader::readFields(const ZELTElement& parent, size_t children, FieldTable& table) {
    for (size_t index = 0; index < children; ++index) {
        ZELTElement element;
        std::string_view name;
        if (!child(parent, '.', element, name)) {
            return false;
        }
        Slot* const slot = table.find(name);
        if (slot == nullptr ? !skipChildren(element) : !slot->read(*this, element, slot->target)) {
            return false;
        }
    }
    table.resetUnseen();
    return true;
}

bool Reader::enter(const ZELTElement& element) {
    if (++depth <= deepest) {
        return true;
    }
    --depth;
    return badValue(element, "nested deeper than " + std::to_string(deepest) + " levels");
}

bool Reader::text(const ZELTElement& element, std::string_view& value, const char* expected) {
    if (!element.name.empty() && element.name != rawName) {
        const char* const held = heldBy(element.name);
        if (held == nullptr) {
            return refuse(ZELTRecordError::attributes, element.offset, element.tag,
                          "unknown attribute Name=" + scanning::shortened(element.name, excerptLength, true));
        }
        return badValue(element, std::string("expected ") + expected + ", found " + held);
    }
    value = element.value;
    return true;
}

template <typename Number, typename Limit>
bool Reader::number(const ZELTElement& element, Limit low, Limit high, Number& value, const char* expected) {
    std::string_view text;
    if (!this->text(element, text, expected)) {
        return false;
    }
    if (!element.name.empty()) {
        return badValue(element, std::string("expected ") + expected + ", found a raw block");
    }
    if (!parseWhole(text, value) || value < low || value > high) {
        return badValue(element, std::string("expected ") + expected + found(text));
    }
    return true;
}

bool Reader::signedNumber(const ZELTElement& element, long long low, long long high, long long& value,
                          const char* expected) {
    return number(element, low, high, value, expected);
}

bool Reader::unsignedNumber(const ZELTElement& element, unsigned long long high, unsigned long long& value,
                            const char* expected) {
    return number(element, 0ull, high, value, expected);
}

bool Reader::floating(const ZELTElement& element, double& value) {
    return number(element, -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(), value,
                  "a double");
}

bool Reader::floating(const ZELTElement& element, float& value) {
    return number(element, -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(), value,
                  "a float");
}

bool Reader::key(const ZELTElement& element, std::string_view rest, std::string& value) {
    std::string_view inner;
    return (inBrackets(rest, inner) && decodeKey(inner, value)) ||
           badValue(element, "expected a map key in [ ]" + found(rest));
}

template <typename Number>
bool Reader::numberKey(const ZELTElement& element, std::string_view rest, Number& value) {
    std::string_view inner;
    return (inBrackets(rest, inner) && parseWhole(inner, value)) ||
           badValue(element, "expected an integer map key in [ ]" + found(rest));
}

bool Reader::key(const ZELTElement& element, std::string_view rest, long long& value) {
    return numberKey(element, rest, value);
}

bool Reader::key(const ZELTElement& element, std::string_view rest, unsigned long long& value) {
    return numberKey(element, rest, value);
}

bool Reader::badValue(const ZELTElement& element, const std::string& detail) {
    return refuse(ZELTRecordError::badValue, element.offset, element.tag, detail);
}

bool Reader::refuse(int reason, long offset, std::string_view path, const std::string& detail) {
    if (error != nullptr) {
        error->reason = static_cast<ZELTRecordError::Reason>(reason);
        error->path.assign(path.data(), path.size());
        error->offset = offset;
        error->line = 1;
        error->column = 1;
        if (const char* const text = in.getBufferString()) {
            scanning::linePosition(text, offset, error->line, error->column);
        }
        error->message = scanning::positionPrefix(error->line, error->column) + error->path + ": " + detail;
    }
    return false;
}

} // namespace records
} // namespace ZELT
