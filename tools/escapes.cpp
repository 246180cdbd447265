#include "escapes.h"

#include <cstring>

#include "transcode.h"

namespace zelt_tool {

namespace {

constexpr bool printableAscii(int c) { return c >= 0x20 && c < 0x7F; }
// The ASCII characters XML allows but for tab, line feed and carriage return: DEL is one.
constexpr bool xmlAscii(int c) { return c >= 0x20 && c < 0x80; }

char* hexEscape(char* to, unsigned char c) { return putHex(put(to, "\\x"), c); }

struct ListFormat {
    static constexpr size_t widest = 4; // \xHH
    static constexpr auto plain = byteTable([](int c) { return printableAscii(c) && c != '\\'; });

    static char* ascii(char* to, unsigned char c) {
        switch (c) {
        case '\t':
            return put(to, "\\t");
        case '\n':
            return put(to, "\\n");
        case '\r':
            return put(to, "\\r");
        case '\\':
            return put(to, "\\\\");
        default:
            return hexEscape(to, c);
        }
    }
    static char* character(char* to, const unsigned char* at, int length, char32_t codePoint) {
        if (codePoint < 0xA0) { // C1 controls: two bytes each
            return hexEscape(hexEscape(to, at[0]), at[1]);
        }
        std::memcpy(to, at, static_cast<size_t>(length));
        return to + length;
    }
    static char* invalid(char* to, unsigned char c) { return hexEscape(to, c); }
};

struct JsonFormat {
    static constexpr size_t widest = 6; // \u00XX, \udcXX
    static constexpr auto plain = byteTable([](int c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; });

    static char* ascii(char* to, unsigned char c) {
        switch (c) {
        case '"':
            return put(to, "\\\"");
        case '\\':
            return put(to, "\\\\");
        case '\n':
            return put(to, "\\n");
        case '\r':
            return put(to, "\\r");
        case '\t':
            return put(to, "\\t");
        default:
            return putHex(put(to, "\\u00"), c);
        }
    }
    static char* character(char* to, const unsigned char* at, int length, char32_t codePoint) {
        if (codePoint == 0x85 || codePoint == 0x2028 || codePoint == 0x2029) {
            return putHex(putHex(put(to, "\\u"), codePoint >> 8), codePoint & 0xFFu);
        }
        std::memcpy(to, at, static_cast<size_t>(length));
        return to + length;
    }
    static char* invalid(char* to, unsigned char c) { return putHex(put(to, "\\udc"), c); }
};

// Character data; xmlCanCarry has ruled out what XML cannot hold, so the
// other controls and bytes outside UTF-8 never arrive here.
struct XmlTextFormat {
    static constexpr size_t widest = 6; // &quot;
    static constexpr auto plain = byteTable(
        [](int c) { return (xmlAscii(c) && c != '&' && c != '<' && c != '>') || c == '\t' || c == '\n'; });

    static char* ascii(char* to, unsigned char c) {
        switch (c) {
        case '&':
            return put(to, "&amp;");
        case '<':
            return put(to, "&lt;");
        case '>':
            return put(to, "&gt;");
        case '"':
            return put(to, "&quot;");
        case '\t':
            return put(to, "&#9;");
        case '\n':
            return put(to, "&#10;");
        case '\r':
            return put(to, "&#13;");
        default:
            return to;
        }
    }
    static char* character(char* to, const unsigned char* at, int length, char32_t /*codePoint*/) {
        std::memcpy(to, at, static_cast<size_t>(length));
        return to + length;
    }
    static char* invalid(char* to, unsigned char /*c*/) { return to; }
};

struct XmlAttributeFormat : XmlTextFormat {
    static constexpr auto plain =
        byteTable([](int c) { return xmlAscii(c) && c != '&' && c != '<' && c != '>' && c != '"'; });
};

} // namespace

void writeListField(Output& out, std::string_view text) { writeTranscoded<ListFormat>(out, text); }

void writeJsonString(Output& out, std::string_view text) {
    out.put('"');
    writeTranscoded<JsonFormat>(out, text);
    out.put('"');
}

bool xmlCanCarry(std::string_view text) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    while (at < end) {
        const unsigned char c = *at;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                return false;
            }
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const int length = decodeUtf8(at, end, codePoint);
        // Well-formed UTF-8 holds no surrogates; of the rest XML refuses only these two.
        if (length == 0 || codePoint == 0xFFFE || codePoint == 0xFFFF) {
            return false;
        }
        at += length;
    }
    return true;
}

void writeXmlText(Output& out, std::string_view text) { writeTranscoded<XmlTextFormat>(out, text); }

void writeXmlAttribute(Output& out, std::string_view text) { writeTranscoded<XmlAttributeFormat>(out, text); }

} // namespace zelt_tool
