#include "ZELTRecordText.h"

#include <algorithm>
#include <cstring>

namespace ZELT {
namespace records {

namespace {

constexpr std::string_view kindNames[] = {"record", "list", "map"};
constexpr std::string_view kindAttributes[] = {" Name=\"record\"", " Name=\"list\"", " Name=\"map\""};

constexpr char hexDigits[] = "0123456789ABCDEF";

// A table of the bytes in @p chars, and of the controls, space and DEL when @p controls.
struct ByteSet {
    bool has[256] = {};
    constexpr ByteSet(const char* chars, bool controls) {
        for (; *chars != '\0'; ++chars) {
            has[static_cast<unsigned char>(*chars)] = true;
        }
        for (int byte = 0; controls && byte <= ' '; ++byte) {
            has[byte] = true;
        }
        has[0x7f] = has[0x7f] || controls;
    }
    bool any(std::string_view text) const {
        for (const char c : text) {
            if (has[static_cast<unsigned char>(c)]) {
                return true;
            }
        }
        return false;
    }
};

constexpr ByteSet keyEncoded("%[]<>\"|.", true);
constexpr ByteSet notInFieldName(".[]| <>\"", false);

int hexValue(char c) {
    const char* const at = std::strchr(hexDigits, c);
    return c != '\0' && at != nullptr ? static_cast<int>(at - hexDigits) : -1;
}

} // namespace

std::string_view headerAttributes(Kind kind) { return kindAttributes[static_cast<int>(kind)]; }

bool kindNamed(std::string_view name, Kind& kind) {
    for (int k = 0; k < 3; ++k) {
        if (name == kindNames[k]) {
            kind = static_cast<Kind>(k);
            return true;
        }
    }
    return false;
}

bool findableTag(std::string_view tag) {
    return !tag.empty() && tag.find_first_of(" >") == std::string_view::npos;
}

bool fieldName(std::string_view name) {
    return !name.empty() && !notInFieldName.any(name);
}

void encodeKey(std::string_view key, std::string& out) {
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (keyEncoded.has[byte]) {
            out += '%';
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 0xf];
        } else {
            out += c;
        }
    }
}

bool decodeKey(std::string_view encoded, std::string& key) {
    key.clear();
    for (size_t at = 0; at < encoded.size(); ++at) {
        const char c = encoded[at];
        if (c == ']') {
            return false;
        }
        if (c != '%') {
            key += c;
            continue;
        }
        const int high = at + 2 < encoded.size() ? hexValue(encoded[at + 1]) : -1;
        const int low = high >= 0 ? hexValue(encoded[at + 2]) : -1;
        if (low < 0) {
            return false;
        }
        key += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return true;
}

} // namespace records
} // namespace ZELT
