#include "ZELTFxXMLImpl.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace ZELT {

namespace {

constexpr long minimumConvBufferSize = 65536;
constexpr size_t maximumNameSpecLength = 1023;
// Longest decimal text of a 64-bit number: "-9223372036854775808".
constexpr size_t maximumDigits = 20;

// One text the formatter composes in its conversion buffer: an opening tag
// with its attributes, a value and a closing text, each part optional. Its
// size and its bytes both come from forEachPart, so the room reserved for a
// text and what is written into it cannot disagree.
struct ElementText {
    std::string_view tag;
    std::string_view name; // the Name attribute, written when not empty
    std::string_view idx;  // the Idx attribute, written only together with a Name
    std::string_view value;
    bool opening = true;
    bool closing = true;

    template <typename Put>
    void forEachPart(Put&& put) const {
        if (opening) {
            put("<");
            put(tag);
            if (!name.empty()) {
                put(" Name=\"");
                put(name);
                put("\"");
                if (!idx.empty()) {
                    put(" Idx=\"");
                    put(idx);
                    put("\"");
                }
            }
            put(">");
        }
        put(value);
        if (closing) {
            put("</");
            put(tag);
            put(">\n");
        }
    }

    long size() const {
        size_t total = 0;
        forEachPart([&total](std::string_view part) { total += part.size(); });
        return static_cast<long>(total);
    }

    // Writes size() bytes at @p at and returns their end.
    char* compose(char* at) const {
        forEachPart([&at](std::string_view part) {
            if (!part.empty()) { // an absent part may have no data pointer at all
                std::memcpy(at, part.data(), part.size());
                at += part.size();
            }
        });
        return at;
    }
};

ElementText openingTag(std::string_view tag, std::string_view name, std::string_view idx) {
    return {tag, name, idx, {}, true, false};
}

ElementText closingText(std::string_view tag) { return {tag, {}, {}, {}, false, true}; }

// First occurrence of @p closing (NUL-terminated) in the NUL-terminated text
// from @p from on. Candidates start with '<', so the scan jumps between them;
// the stretch known to hold no NUL only grows, so each candidate can be
// compared with memcmp. Should several candidates fail (crafted text, say a
// value full of "</"), strstr takes over, whose time stays linear.
const char* findClosingText(const char* from, std::string_view closing) {
    constexpr int candidatesBeforeStrstr = 4;
    size_t clean = 0; // bytes from @p from on that hold no NUL
    const char* at = std::strchr(from, '<');
    for (int tried = 0; at != nullptr && tried < candidatesBeforeStrstr; ++tried) {
        // Candidates only move on, so each one's end lies past the last one's.
        const size_t end = static_cast<size_t>(at - from) + closing.size();
        // memchr stops at the first NUL, which ends the text before this
        // candidate, or any later one, could end.
        if (std::memchr(from + clean, '\0', end - clean) != nullptr) {
            return nullptr;
        }
        clean = end;
        if (std::memcmp(at, closing.data(), closing.size()) == 0) {
            return at;
        }
        at = std::strchr(at + 1, '<');
    }
    return at == nullptr ? nullptr : std::strstr(at, closing.data());
}

// Whether @p data lies in @p out's area, which appending to @p out may move.
bool liesIn(const char* data, const ZELTBuffer& out) {
    const char* const area = out.getBufferString();
    if (area == nullptr) {
        return false;
    }
    // Compared as addresses: the pointers may belong to unrelated objects.
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const auto begin = reinterpret_cast<std::uintptr_t>(area);
    return at >= begin && at - begin < static_cast<std::uintptr_t>(out.getBufReserveSize());
}

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Base-10 conversion with exactly the results of strtol (Wide = long) or
// strtoul (Wide = unsigned long) in the C locale, over [begin, end): leading
// blanks and a sign accepted, no digits give 0, out-of-range values saturate,
// and strtoul takes a negative number modulo 2^64.
template <typename Wide>
Wide parseDecimal(const char* begin, const char* end) {
    const char* at = begin;
    while (at < end && isSpace(*at)) {
        ++at;
    }
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) {
        negative = *at == '-';
        ++at;
    }
    unsigned long magnitude = 0;
    bool overflow = false;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) {
        const auto digit = static_cast<unsigned long>(*at - '0');
        if (magnitude > (ULONG_MAX - digit) / 10) {
            overflow = true;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    if constexpr (std::is_signed_v<Wide>) {
        const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
        if (overflow || magnitude > limit) {
            return negative ? LONG_MIN : LONG_MAX;
        }
        return static_cast<long>(negative ? 0 - magnitude : magnitude);
    } else {
        if (overflow) {
            return ULONG_MAX;
        }
        return negative ? 0 - magnitude : magnitude;
    }
}

} // namespace

ZELTFxXMLImpl::ZELTFxXMLImpl() : tagName(), attrName(), attrIdx(), convBuffer(nullptr), convBufferSize(0), flags(0) {}

ZELTFxXMLImpl::ZELTFxXMLImpl(const ZELTFxXMLImpl& /*other*/) : ZELTFxXMLImpl() {}

ZELTFxXMLImpl& ZELTFxXMLImpl::operator=(const ZELTFxXMLImpl& /*other*/) {
    std::memset(tagName, 0, sizeof tagName);
    std::memset(attrName, 0, sizeof attrName);
    std::memset(attrIdx, 0, sizeof attrIdx);
    delete[] convBuffer;
    convBuffer = nullptr;
    convBufferSize = 0;
    flags = 0;
    return *this;
}

void ZELTFxXMLImpl::setConvBuffer(char* const& /*buffer*/, const long& size) {
    const long effectiveSize = size < minimumConvBufferSize ? minimumConvBufferSize : size;
    char* const fresh = new (std::nothrow) char[static_cast<size_t>(effectiveSize)]();
    if (fresh == nullptr) {
        return;
    }
    delete[] convBuffer;
    convBuffer = fresh;
    convBufferSize = effectiveSize;
}

void ZELTFxXMLImpl::setFlags(const long& newFlags) { flags = newFlags; }

const long& ZELTFxXMLImpl::getFlags() const { return flags; }

bool ZELTFxXMLImpl::serializeBuffer(const char*& data, const long& length, const char* nameSpec,
                                    const long& /*unused*/, ZELTBuffer& out) {
    // Bytes taken from the output buffer itself are copied first: appending
    // the opening tag may move its area and leave @p data dangling.
    std::string ownBytes;
    const char* bytes = data;
    if (length > 0 && data != nullptr && liesIn(data, out)) {
        ownBytes.assign(data, static_cast<size_t>(length));
        bytes = ownBytes.data();
    }
    const bool valid = length >= 0 && (data != nullptr || length == 0) && splitNames(nameSpec);
    const ElementText closing = closingText(tagName);
    // Room for the closing text too, so that nothing is appended unless the whole element can be.
    if (!valid || !composeText(openingTag(tagName, attrName, attrIdx), closing.size() + 1)) {
        resetNames();
        return false;
    }
    bool appended = out.appendString(convBuffer);
    appended = out.appendBufferString(bytes, length) && appended;
    composeText(closing); // fits: the room was made above
    appended = out.appendString(convBuffer) && appended;
    resetNames();
    return appended;
}

template <typename Wide>
bool ZELTFxXMLImpl::writeNumber(Wide value, const char* name, ZELTBuffer& out) {
    if (name == nullptr) {
        return false;
    }
    char digits[maximumDigits];
    const char* const end = std::to_chars(digits, digits + maximumDigits, value).ptr;
    if (!composeText(ElementText{name, {}, {}, {digits, static_cast<size_t>(end - digits)}})) {
        return false;
    }
    return out.appendString(convBuffer);
}

template <typename Store>
bool ZELTFxXMLImpl::readElement(const char* name, ZELTBuffer& in, Store store) {
    const char* const start = in.getBufferStringFromMarker();
    if (name == nullptr || start == nullptr) {
        return false;
    }
    const size_t tagLength = std::strlen(name);
    const ElementText closingTag = closingText({name, tagLength});
    const long closingLength = closingTag.size();
    if (!composeText(closingTag)) {
        return false;
    }

    // strncmp stops at the text's NUL, so a short text is never overread.
    if (start[0] != '<' || std::strncmp(start + 1, name, tagLength) != 0 || start[tagLength + 1] != '>') {
        return false;
    }
    const char* const value = start + tagLength + 2;
    // The closing text can begin inside the opening tag only if the tag holds
    // a '<' or begins with '/'; otherwise the search may start at the value.
    const bool plainTag = std::strchr(name, '<') == nullptr && name[0] != '/';
    const char* const closing =
        findClosingText(plainTag ? value : start, {convBuffer, static_cast<size_t>(closingLength)});
    if (closing == nullptr || closing < value) {
        return false;
    }
    store(value, closing);
    in.setMarkerPos(in.getMarkerPos() + (closing + closingLength - start));
    return true;
}

template <typename Wide, typename Value>
bool ZELTFxXMLImpl::readNumber(const char* name, ZELTBuffer& in, Value& value) {
    return readElement(name, in, [&value](const char* begin, const char* end) {
        const Wide number = parseDecimal<Wide>(begin, end);
        if constexpr (std::is_same_v<Value, bool>) {
            value = number > 0;
        } else {
            value = static_cast<Value>(number);
        }
    });
}

bool ZELTFxXMLImpl::serializeBool(const bool& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value ? 1 : 0, name, out);
}

bool ZELTFxXMLImpl::deserializeBool(const char* name, ZELTBuffer& in, bool& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeChar(const char& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeChar(const char* name, ZELTBuffer& in, char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeUChar(const unsigned char& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeUChar(const char* name, ZELTBuffer& in, unsigned char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeInt8_t(const signed char& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeInt8_t(const char* name, ZELTBuffer& in, signed char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeUInt8_t(const unsigned char& value, const char* name, ZELTBuffer& out) {
    return writeNumber<unsigned long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeUInt8_t(const char* name, ZELTBuffer& in, unsigned char& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeInt16_t(const short& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeInt16_t(const char* name, ZELTBuffer& in, short& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeUInt16_t(const unsigned short& value, const char* name, ZELTBuffer& out) {
    return writeNumber<unsigned long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeUInt16_t(const char* name, ZELTBuffer& in, unsigned short& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeInt32_t(const int& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeInt32_t(const char* name, ZELTBuffer& in, int& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeUInt32_t(const unsigned int& value, const char* name, ZELTBuffer& out) {
    return writeNumber<unsigned long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeUInt32_t(const char* name, ZELTBuffer& in, unsigned int& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeInt64_t(const long& value, const char* name, ZELTBuffer& out) {
    return writeNumber<long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeInt64_t(const char* name, ZELTBuffer& in, long& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeUInt64_t(const unsigned long& value, const char* name, ZELTBuffer& out) {
    return writeNumber<unsigned long>(value, name, out);
}

bool ZELTFxXMLImpl::deserializeUInt64_t(const char* name, ZELTBuffer& in, unsigned long& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::serializeString(const char* value, const char* nameSpec, ZELTBuffer& out) {
    const bool valid = value != nullptr && splitNames(nameSpec);
    const size_t valueLength = valid ? std::strlen(value) : 0;
    // Grows to the value's length plus a quarter, the size callers rely on.
    // With the name limits and the 64 KiB minimum that always holds the whole
    // element; the element's own length is the floor all the same.
    const auto grownSize = static_cast<long>(valueLength + valueLength / 4);
    if (!valid || !composeText(ElementText{tagName, attrName, attrIdx, {value, valueLength}}, grownSize)) {
        resetNames();
        return false;
    }
    resetNames();
    return out.appendString(convBuffer);
}

bool ZELTFxXMLImpl::deserializeString(const char* name, ZELTBuffer& in, std::string& value) {
    return readElement(name, in, [&value](const char* begin, const char* end) {
        value.assign(begin, static_cast<size_t>(end - begin));
    });
}

ZELTFxXMLImpl::~ZELTFxXMLImpl() {
    delete[] convBuffer;
    convBuffer = nullptr;
    convBufferSize = 0;
    flags = 0;
}

void ZELTFxXMLImpl::checkAndGetAttrIdxDetails(const char* nameSpec) { splitNames(nameSpec); }

void ZELTFxXMLImpl::resetNames() {
    tagName[0] = '\0';
    attrName[0] = '\0';
    attrIdx[0] = '\0';
}

bool ZELTFxXMLImpl::splitNames(const char* nameSpec) {
    resetNames();
    if (nameSpec == nullptr) {
        return false;
    }
    char* const fields[] = {tagName, attrName, attrIdx};
    const size_t capacities[] = {sizeof tagName, sizeof attrName, sizeof attrIdx};
    // As strtok with "|" would split, in one pass with a local position: runs
    // of separators count as one, parts after the third are only measured.
    size_t part = 0;
    size_t used = 0;
    for (size_t at = 0; nameSpec[at] != '\0'; ++at) {
        if (at == maximumNameSpecLength || (part < 3 && used + 1 == capacities[part] && nameSpec[at] != '|')) {
            resetNames();
            return false;
        }
        if (part == 3) {
            continue;
        }
        if (nameSpec[at] != '|') {
            fields[part][used++] = nameSpec[at];
        } else if (used > 0) {
            fields[part++][used] = '\0';
            used = 0;
        }
    }
    if (part < 3) {
        fields[part][used] = '\0';
    }
    return true;
}

template <typename Text>
bool ZELTFxXMLImpl::composeText(const Text& text, long room) {
    const long size = text.size();
    if (!reserveConvBuffer(std::max(size + 1, room))) {
        return false;
    }
    char* const end = text.compose(convBuffer);
    assert(end == convBuffer + size);
    *end = '\0';
    return true;
}

bool ZELTFxXMLImpl::reserveConvBuffer(long size) {
    if (convBuffer == nullptr) {
        return false;
    }
    if (size <= convBufferSize) {
        return true;
    }
    char* const larger = new (std::nothrow) char[static_cast<size_t>(size)]();
    if (larger == nullptr) {
        return false;
    }
    delete[] convBuffer;
    convBuffer = larger;
    convBufferSize = size;
    return true;
}

} // namespace ZELT
