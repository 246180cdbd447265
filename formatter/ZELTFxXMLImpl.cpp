#include "ZELTFxXMLImpl.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

namespace ZELT {

namespace {

constexpr long minimumConvBufferSize = 65536;
constexpr size_t maximumNameSpecLength = 1023;
// Longest decimal text of a 64-bit number: "-9223372036854775808".
constexpr long maximumDigits = 20;

char* put(char* at, const char* text, size_t length) {
    std::memcpy(at, text, length);
    return at + length;
}

template <size_t N>
char* putLiteral(char* at, const char (&text)[N]) {
    return put(at, text, N - 1);
}

// "<tag>", "<tag Name=\"name\">" or "<tag Name=\"name\" Idx=\"idx\">": an Idx
// is written only together with a Name.
long openingTagLength(size_t tagLength, const char* name, const char* idx) {
    size_t length = tagLength + 2;
    if (*name != '\0') {
        length += std::strlen(name) + 8;
        if (*idx != '\0') {
            length += std::strlen(idx) + 7;
        }
    }
    return static_cast<long>(length);
}

char* putOpeningTag(char* at, const char* tag, size_t tagLength, const char* name, const char* idx) {
    *at++ = '<';
    at = put(at, tag, tagLength);
    if (*name != '\0') {
        at = putLiteral(at, " Name=\"");
        at = put(at, name, std::strlen(name));
        *at++ = '"';
        if (*idx != '\0') {
            at = putLiteral(at, " Idx=\"");
            at = put(at, idx, std::strlen(idx));
            *at++ = '"';
        }
    }
    *at++ = '>';
    return at;
}

long closingTextLength(size_t tagLength) { return static_cast<long>(tagLength) + 4; }

char* putClosingText(char* at, const char* tag, size_t tagLength) {
    at = putLiteral(at, "</");
    at = put(at, tag, tagLength);
    return putLiteral(at, ">\n");
}

// First occurrence of @p closing in the NUL-terminated @p text. Candidates
// start with '<', so the scan jumps between them and stops at the first match.
const char* findClosingText(const char* text, const char* closing, size_t closingLength) {
    for (const char* at = std::strchr(text, '<'); at != nullptr; at = std::strchr(at + 1, '<')) {
        if (std::strncmp(at, closing, closingLength) == 0) {
            return at;
        }
    }
    return nullptr;
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
    const size_t tagLength = std::strlen(tagName);
    const long opening = openingTagLength(tagLength, attrName, attrIdx);
    if (!valid || !reserveConvBuffer(std::max(opening, closingTextLength(tagLength)) + 1)) {
        resetNames();
        return false;
    }
    *putOpeningTag(convBuffer, tagName, tagLength, attrName, attrIdx) = '\0';
    bool appended = out.appendString(convBuffer);
    appended = out.appendBufferString(bytes, length) && appended;
    *putClosingText(convBuffer, tagName, tagLength) = '\0';
    appended = out.appendString(convBuffer) && appended;
    resetNames();
    return appended;
}

template <typename Wide>
bool ZELTFxXMLImpl::writeNumber(Wide value, const char* name, ZELTBuffer& out) {
    if (name == nullptr) {
        return false;
    }
    const size_t tagLength = std::strlen(name);
    const long elementLength = 2 * static_cast<long>(tagLength) + 5 + maximumDigits;
    if (!reserveConvBuffer(elementLength + 1)) {
        return false;
    }
    char* at = putOpeningTag(convBuffer, name, tagLength, "", "");
    at = std::to_chars(at, at + maximumDigits, value).ptr;
    *putClosingText(at, name, tagLength) = '\0';
    return out.appendString(convBuffer);
}

template <typename Store>
bool ZELTFxXMLImpl::readElement(const char* name, ZELTBuffer& in, Store store) {
    const char* const start = in.getBufferStringFromMarker();
    if (name == nullptr || start == nullptr) {
        return false;
    }
    const size_t tagLength = std::strlen(name);
    const long closingLength = closingTextLength(tagLength);
    if (!reserveConvBuffer(closingLength + 1)) {
        return false;
    }
    *putClosingText(convBuffer, name, tagLength) = '\0';

    // strncmp stops at the text's NUL, so a short text is never overread.
    if (start[0] != '<' || std::strncmp(start + 1, name, tagLength) != 0 || start[tagLength + 1] != '>') {
        return false;
    }
    const char* const value = start + tagLength + 2;
    const char* const closing = findClosingText(start, convBuffer, static_cast<size_t>(closingLength));
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
    const size_t tagLength = std::strlen(tagName);
    // Grows to the value's length plus a quarter, the size callers rely on.
    // With the name limits and the 64 KiB minimum that always holds the whole
    // element; the element's own length is the floor all the same.
    const auto grownSize = static_cast<long>(valueLength + valueLength / 4);
    const long elementLength = openingTagLength(tagLength, attrName, attrIdx) +
                               static_cast<long>(valueLength) + closingTextLength(tagLength);
    if (!valid || !reserveConvBuffer(std::max(grownSize, elementLength + 1))) {
        resetNames();
        return false;
    }
    char* at = putOpeningTag(convBuffer, tagName, tagLength, attrName, attrIdx);
    at = put(at, value, valueLength);
    *putClosingText(at, tagName, tagLength) = '\0';
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
