#include "ZELTFxXMLImpl.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "ZELTBufferAccess.h"
#include "ZELTClosingText.h"
#include "ZELTDecimal.h"
#include "ZELTElementText.h"
#include "ZELTFxXMLCompose.h"
#include "ZELTPlainBuffer.h"
#include "ZELTWordSearch.h"

// The typed readers: the element at the marker, its closing text found, its
// value converted.

namespace ZELT {

using elementText::ClosingText;

namespace {

constexpr size_t notOpening = static_cast<size_t>(-1);

// The length of @p tag when @p text opens with "<", the tag and ">"
// (notOpening otherwise), measured while comparing: one pass, which stops at
// the first difference and so at the text's NUL at the latest. Tells too
// whether the tag holds a '<'.
size_t openingTagLength(const char* text, const char* tag, bool& holdsLessThan) {
    if (text[0] != '<') {
        return notOpening;
    }
    size_t length = 0;
    for (; tag[length] != '\0' && tag[length] == text[length + 1]; ++length) {
        holdsLessThan = holdsLessThan || tag[length] == '<';
    }
    return tag[length] == '\0' && text[length + 1] == '>' ? length : notOpening;
}

// What the typed readers do with an element's value. expectedClosing says
// where the closing text stands in the common case (a number's digits, a text
// without '<'), to be checked there before any search; store takes the
// value's bounds once the closing text is found.
template <typename Wide>
struct NumberValue {
    Wide number = 0;

    const char* expectedClosing(const char* value, const char* /*end*/) { return decimal::parse(value, number); }
    static void store(const char* /*begin*/, const char* /*end*/) {}
};

struct StringValue {
    std::string& destination;

    // The first '<' after the value's start, if one comes before the text's
    // NUL: where a plain value's closing text begins. Values are short, so
    // their first bytes are searched inline when the text's end is known.
    static const char* expectedClosing(const char* value, const char* end) {
        if (end != nullptr) {
            const char* const near = std::min(end, value + 4 * wordSearch::wordSize);
            const char* const found = wordSearch::findEither(value, near, '<', '\0');
            if (found != near) {
                return *found == '<' ? found : nullptr;
            }
            value = near;
        }
        return std::strchr(value, '<');
    }
    void store(const char* begin, const char* end) { destination.assign(begin, static_cast<size_t>(end - begin)); }
};

} // namespace

template <typename ValueRule>
bool ZELTFxXMLImpl::readElement(const char* name, ZELTBuffer& in, ValueRule& rule) {
    const bool plain = isPlainBuffer(in);
    const char* const start = plain ? in.ZELTBuffer::getBufferStringFromMarker() : in.getBufferStringFromMarker();
    if (name == nullptr || start == nullptr) {
        return false;
    }
    if (convBuffer == nullptr) {
        return false;
    }
    bool tagHoldsLessThan = false;
    const size_t tagLength = openingTagLength(start, name, tagHoldsLessThan);
    if (tagLength == notOpening) {
        return false;
    }
    const ClosingText closing{{name, tagLength}};
    const long closingLength = closing.size();
    // The closing text is composed there only when it must be searched for;
    // where it stands right after the value, it is compared in place.
    if (closingLength >= convBufferSize && !reserveConvBuffer(closingLength + 1)) {
        return false;
    }
    const long marker = plain ? in.ZELTBuffer::getMarkerPos() : 0;
    const char* const end = plain ? start + (in.ZELTBuffer::getBufferSize() - marker) : nullptr;
    const char* const value = start + tagLength + 2;
    // The closing text can begin inside the opening tag only if the tag holds
    // a '<' or begins with '/'; otherwise it is first found from the value on,
    // and where the value's own text ends is the first place to look.
    const bool plainTag = !tagHoldsLessThan && name[0] != '/';
    const char* found = rule.expectedClosing(value, end);
    const std::string_view tag{name, tagLength};
    if (!plainTag || found == nullptr || !closingText::standsAt(found, end, tag)) {
        composeText(closing); // fits: the room was made above
        // The readers' text ends at its first NUL, whatever the buffer holds after it.
        found = closingText::find(plainTag ? value : start, nullptr, tag, convBuffer);
    }
    if (found == nullptr || found < value) {
        return false;
    }
    rule.store(value, found);
    const long consumed = found + closingLength - start;
    if (plain) {
        ZELTBufferAccess::moveMarker(in, marker + consumed);
    } else {
        in.setMarkerPos(in.getMarkerPos() + consumed);
    }
    return true;
}

template <typename Wide, typename Value>
bool ZELTFxXMLImpl::readNumber(const char* name, ZELTBuffer& in, Value& value) {
    NumberValue<Wide> rule;
    if (!readElement(name, in, rule)) {
        return false;
    }
    if constexpr (std::is_same_v<Value, bool>) {
        value = rule.number > 0;
    } else {
        value = static_cast<Value>(rule.number);
    }
    return true;
}

bool ZELTFxXMLImpl::deserializeBool(const char* name, ZELTBuffer& in, bool& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeChar(const char* name, ZELTBuffer& in, char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeUChar(const char* name, ZELTBuffer& in, unsigned char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeInt8_t(const char* name, ZELTBuffer& in, signed char& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeUInt8_t(const char* name, ZELTBuffer& in, unsigned char& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeInt16_t(const char* name, ZELTBuffer& in, short& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeUInt16_t(const char* name, ZELTBuffer& in, unsigned short& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeInt32_t(const char* name, ZELTBuffer& in, int& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeUInt32_t(const char* name, ZELTBuffer& in, unsigned int& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeInt64_t(const char* name, ZELTBuffer& in, long& value) {
    return readNumber<long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeUInt64_t(const char* name, ZELTBuffer& in, unsigned long& value) {
    return readNumber<unsigned long>(name, in, value);
}

bool ZELTFxXMLImpl::deserializeString(const char* name, ZELTBuffer& in, std::string& value) {
    StringValue rule{value};
    return readElement(name, in, rule);
}

} // namespace ZELT
