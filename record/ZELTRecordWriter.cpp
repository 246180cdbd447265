#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "ZELTClosingText.h"
#include "ZELTRecordCore.h"
#include "ZELTRecordText.h"

namespace ZELT {
namespace records {

namespace {

// From this size on a value goes to the buffer directly rather than through
// the composed element, which then stays about this small.
constexpr size_t largeValue = size_t{64} * 1024;

// Where each element is composed before its one append. Kept per thread, so
// that writing many values does not allocate for each. (Appending many
// elements at once was measured too: no faster for texts of 40 MB, and half
// again slower for texts of 4 MB.)
thread_local ElementText threadElement;

// The shortest decimal of @p value, in @p digits.
template <typename Number>
std::string_view numberText(char (&digits)[longestNumber], Number value) {
    return {digits, static_cast<size_t>(std::to_chars(digits, digits + longestNumber, value).ptr - digits)};
}

template <typename Number>
void appendNumber(std::string& text, Number value) {
    char digits[longestNumber];
    text += numberText(digits, value);
}

char* copied(char* at, std::string_view text) {
    if (!text.empty()) {
        std::memcpy(at, text.data(), text.size());
    }
    return at + text.size();
}

template <typename Number>
void appendBracketed(std::string& text, Number value) {
    text += '[';
    appendNumber(text, value);
    text += ']';
}

} // namespace

char* ElementText::room(size_t length) {
    if (size + length > capacity) {
        const size_t grown = std::max(size + length, 2 * capacity);
        std::unique_ptr<char[]> larger(new char[grown]); // left unset: every byte is written before use
        if (size > 0) {
            std::memcpy(larger.get(), text.get(), size);
        }
        text = std::move(larger);
        capacity = grown;
    }
    char* const at = text.get() + size;
    size += length;
    return at;
}

Writer::Writer(ZELTBuffer& out) : out(out), composed(threadElement) {}

bool Writer::begin(const char* tag) {
    startSize = out.getBufferSize();
    composed.size = 0;
    if (tag == nullptr || !findableTag(tag)) {
        return false;
    }
    path = tag;
    return true;
}

bool Writer::finish(bool ok) {
    ok = ok && flush();
    composed.size = 0;
    if (!ok && out.getBufferSize() > startSize) {
        out.setBufferString(out.getBufferString(), startSize);
    }
    return ok;
}

bool Writer::pushField(const char* name, size_t& mark) {
    mark = path.size();
    if (name == nullptr || !fieldName(name)) {
        return false;
    }
    path += '.';
    path += name;
    return true;
}

void Writer::pushIndex(size_t index, size_t& mark) { pushKey(static_cast<unsigned long long>(index), mark); }

void Writer::pushKey(std::string_view key, size_t& mark) {
    mark = path.size();
    path += '[';
    encodeKey(key, path);
    path += ']';
}

void Writer::pushKey(long long key, size_t& mark) {
    mark = path.size();
    appendBracketed(path, key);
}

void Writer::pushKey(unsigned long long key, size_t& mark) {
    mark = path.size();
    appendBracketed(path, key);
}

// The decimal the typed writers write, composed here like every other element.
template <typename Number>
bool Writer::number(Number value) {
    char digits[longestNumber];
    return element({}, numberText(digits, value));
}

bool Writer::signedNumber(long long value) { return number(value); }

bool Writer::unsignedNumber(unsigned long long value) { return number(value); }

bool Writer::floating(double value) { return number(value); }

bool Writer::floating(float value) { return number(value); }

bool Writer::text(std::string_view value) {
    if (!closingText::endsEarly(value, path)) {
        return element({}, value);
    }
    return bytes(value.data(), value.size());
}

bool Writer::bytes(const void* data, size_t size) {
    std::string attributes = " Name=\"";
    attributes += rawName;
    attributes += "\" Idx=\"";
    appendNumber(attributes, size);
    attributes += '"';
    return element(attributes, {static_cast<const char*>(data), size});
}

bool Writer::header(Kind kind, size_t count) {
    char digits[longestNumber];
    return element(headerAttributes(kind), numberText(digits, count));
}

bool Writer::element(std::string_view attributes, std::string_view value) {
    const bool large = value.size() >= largeValue;
    const size_t opening = 1 + path.size() + attributes.size() + 1;
    const size_t closing = 2 + path.size() + 2;
    char* at = composed.room(opening + (large ? 0 : value.size()) + closing);
    *at++ = '<';
    at = copied(at, path);
    at = copied(at, attributes);
    *at++ = '>';
    if (large) {
        // The value as it is, between the opening tag and the closing text.
        composed.size -= closing;
        if (!flush() || !out.appendBufferString(value.data(), static_cast<long>(value.size()))) {
            return false;
        }
        at = composed.room(closing);
    } else {
        at = copied(at, value);
    }
    *at++ = '<';
    *at++ = '/';
    at = copied(at, path);
    *at++ = '>';
    *at = '\n';
    return flush();
}

bool Writer::flush() {
    const bool ok =
        composed.size == 0 || out.appendBufferString(composed.text.get(), static_cast<long>(composed.size));
    composed.size = 0;
    return ok;
}

} // namespace records
} // namespace ZELT
