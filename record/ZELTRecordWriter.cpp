#include <charconv>
#include <cstring>
#include <string_view>

#include "ZELTRecordCore.h"
#include "ZELTRecordText.h"

namespace ZELT {
namespace records {

namespace {

// Where elements are composed before one append: kept per thread, so that
// writing many values does not allocate for each.
thread_local std::string composing;

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

template <typename Number>
void appendBracketed(std::string& text, Number value) {
    text += '[';
    appendNumber(text, value);
    text += ']';
}

} // namespace

Writer::Writer(ZELTFx& fx, ZELTBuffer& out) : fx(fx), out(out) {}

bool Writer::begin(const char* tag) {
    startSize = out.getBufferSize();
    if (tag == nullptr || !findableTag(tag)) {
        return false;
    }
    path = tag;
    return true;
}

bool Writer::finish(bool ok) {
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

// Through the formatter's own writers, so that a plain number is exactly
// what they write.
bool Writer::signedNumber(long long value) { return fx.serializeInt64_t(static_cast<long>(value), path.c_str(), out); }

bool Writer::unsignedNumber(unsigned long long value) {
    return fx.serializeUInt64_t(static_cast<unsigned long>(value), path.c_str(), out);
}

template <typename Number>
bool Writer::floatingText(Number value) {
    char digits[longestNumber];
    return element({}, numberText(digits, value));
}

bool Writer::floating(double value) { return floatingText(value); }

bool Writer::floating(float value) { return floatingText(value); }

bool Writer::text(std::string_view value) {
    if (!holdsClosingText(value, path)) {
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
    std::string& text = composing;
    text.clear();
    text += '<';
    text += path;
    text += attributes;
    text += '>';
    text += value;
    text += "</";
    text += path;
    text += ">\n";
    return out.appendBufferString(text.data(), static_cast<long>(text.size()));
}

} // namespace records
} // namespace ZELT
