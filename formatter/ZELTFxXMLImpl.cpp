#include "ZELTFxXMLImpl.h"

#include "ZELTBufferAccess.h"
#include "ZELTClosingText.h"
#include "ZELTElementText.h"
#include "ZELTFxXMLCompose.h"
#include "ZELTPlainBuffer.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace ZELT {

using elementText::ClosingText;
using elementText::ElementText;
using elementText::OpeningText;
using elementText::PlainElementText;

namespace {

constexpr long minimumConvBufferSize = 65536;
constexpr size_t maximumNameSpecLength = 1023;
// Longest decimal text of a 64-bit number: "-9223372036854775808".
constexpr size_t maximumDigits = 20;

ZELT_INLINE bool appendText(ZELTBuffer& out, const char* text, long length) {
    return isPlainBuffer(out) ? out.ZELTBuffer::appendBufferString(text, length) : out.appendString(text);
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
    std::string_view names[3]; // tag, Name, Idx
    const bool valid = length >= 0 && (data != nullptr || length == 0) && splitNames(nameSpec, names);
    const ClosingText closing{names[0]};
    // Room for the closing text too, so that nothing is appended unless the whole element can be.
    const long opening = valid ? composeText(OpeningText{names[0], names[1], names[2]}, closing.size() + 1) : -1;
    if (opening < 0) {
        resetNames();
        return false;
    }
    bool appended = appendText(out, convBuffer, opening);
    appended = out.appendBufferString(bytes, length) && appended;
    const long closingLength = composeText(closing); // fits: the room was made above
    appended = appendText(out, convBuffer, closingLength) && appended;
    resetNames();
    return appended;
}

template <typename Number>
bool ZELTFxXMLImpl::writeNumber(Number value, const char* name, ZELTBuffer& out) {
    if (name == nullptr) {
        return false;
    }
    char digits[maximumDigits];
    const char* const end = std::to_chars(digits, digits + maximumDigits, value).ptr;
    return appendElement(PlainElementText{name, {}, {}, {digits, static_cast<size_t>(end - digits)}}, 0, out);
}

bool ZELTFxXMLImpl::serializeBool(const bool& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeChar(const char& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeUChar(const unsigned char& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeInt8_t(const signed char& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeUInt8_t(const unsigned char& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeInt16_t(const short& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeUInt16_t(const unsigned short& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeInt32_t(const int& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeUInt32_t(const unsigned int& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeInt64_t(const long& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeUInt64_t(const unsigned long& value, const char* name, ZELTBuffer& out) {
    return writeNumber(+value, name, out);
}

bool ZELTFxXMLImpl::serializeString(const char* value, const char* nameSpec, ZELTBuffer& out) {
    std::string_view names[3]; // tag, Name, Idx
    const bool valid = value != nullptr && splitNames(nameSpec, names);
    const size_t valueLength = valid ? std::strlen(value) : 0;
    const std::string_view text{value, valueLength};
    // Grows to the value's length plus a quarter, the size callers rely on.
    // With the name limits and the 64 KiB minimum that always holds the whole
    // element; the element's own length is the floor all the same.
    const auto grownSize = static_cast<long>(valueLength + valueLength / 4);
    const bool appended = valid && !closingText::endsEarly(text, names[0]) &&
                          appendElement(ElementText{names[0], names[1], names[2], text}, grownSize, out);
    resetNames();
    return appended;
}

ZELTFxXMLImpl::~ZELTFxXMLImpl() {
    delete[] convBuffer;
    convBuffer = nullptr;
    convBufferSize = 0;
    flags = 0;
}

void ZELTFxXMLImpl::checkAndGetAttrIdxDetails(const char* nameSpec) {
    std::string_view parts[3];
    splitNames(nameSpec, parts);
}

void ZELTFxXMLImpl::resetNames() {
    tagName[0] = '\0';
    attrName[0] = '\0';
    attrIdx[0] = '\0';
}

bool ZELTFxXMLImpl::splitNames(const char* nameSpec, std::string_view (&parts)[3]) {
    resetNames();
    char* const fields[] = {tagName, attrName, attrIdx};
    const size_t capacities[] = {sizeof tagName, sizeof attrName, sizeof attrIdx};
    for (std::string_view& part : parts) {
        part = {};
    }
    if (nameSpec == nullptr) {
        return false;
    }
    // Most compound names are a bare tag: one look for a separator settles it.
    const size_t whole = std::strlen(nameSpec);
    if (whole < sizeof tagName && std::strchr(nameSpec, '|') == nullptr) {
        shortBytes::move(tagName, nameSpec, whole);
        tagName[whole] = '\0';
        parts[0] = {tagName, whole};
        return true;
    }
    // The whole text counts, separators and parts after the third included.
    if (whole > maximumNameSpecLength) {
        return false;
    }
    // As strtok with "|" would split, with a local position: runs of
    // separators count as one, parts after the third are ignored.
    const char* at = nameSpec;
    for (size_t part = 0; part < 3; ++part) {
        while (*at == '|') {
            ++at;
        }
        if (*at == '\0') {
            break;
        }
        const char* const end = strchrnul(at, '|');
        const auto length = static_cast<size_t>(end - at);
        if (length >= capacities[part]) {
            resetNames();
            return false;
        }
        std::memcpy(fields[part], at, length);
        fields[part][length] = '\0';
        parts[part] = {fields[part], length};
        at = end;
    }
    return true;
}

template <typename Text>
bool ZELTFxXMLImpl::appendElement(const Text& text, long room, ZELTBuffer& out) {
    const long size = text.size();
    // The conversion buffer grows as if every element passed through it, so
    // its size never depends on where an element is composed.
    if (!convBufferHolds(std::max(size + 1, room))) {
        return false;
    }
    // A plain buffer takes the element where appending would have copied it.
    char* const at = isPlainBuffer(out) ? ZELTBufferAccess::appendInPlace(out, size) : nullptr;
    if (at != nullptr) {
        [[maybe_unused]] const char* const end = text.compose(at);
        assert(end == at + size);
        return true;
    }
    return appendText(out, convBuffer, composeText(text));
}

bool ZELTFxXMLImpl::convBufferHolds(long size) {
    // Checked inline first: growing is rare, and a call for every element is not.
    return convBuffer != nullptr && (size <= convBufferSize || reserveConvBuffer(size));
}

bool ZELTFxXMLImpl::reserveConvBuffer(long size) {
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
