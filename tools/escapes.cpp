#include "escapes.h"

#include "transcode.h"

namespace zelt_tool {

namespace {

char* hexEscape(char* to, unsigned char c) { return putHex(put(to, "\\x"), c); }

// Each format: which bytes stand for themselves (see PlainBytes), the escapes
// of the other ASCII bytes by name, what the rest of them become, then what
// well-formed multi-byte characters and bytes outside UTF-8 become (see
// writeTranscoded).

struct ListFormat {
    static constexpr size_t widest = 4;              // \xHH
    static constexpr std::string_view notPlain = "\\\x7f"; // DEL is no printable character
    static constexpr std::string_view alsoPlain = "";
    static constexpr Named named[] = {{'\t', "\\t"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\\', "\\\\"}};

    static char* otherAscii(char* to, unsigned char c) { return hexEscape(to, c); }
    static char* character(char* to, const unsigned char* at, int length, char32_t codePoint) {
        // C1 controls, two bytes each.
        return codePoint < 0xA0 ? hexEscape(hexEscape(to, at[0]), at[1]) : copy(to, at, length);
    }
    static char* invalid(char* to, unsigned char c) { return hexEscape(to, c); }
};

struct JsonFormat {
    static constexpr size_t widest = 6; // \u00XX, \udcXX
    static constexpr std::string_view notPlain = "\"\\";
    static constexpr std::string_view alsoPlain = "";
    static constexpr Named named[] = {{'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}};

    static char* otherAscii(char* to, unsigned char c) { return putHex(put(to, "\\u00"), c); }
    static char* character(char* to, const unsigned char* at, int length, char32_t codePoint) {
        if (codePoint == 0x85 || codePoint == 0x2028 || codePoint == 0x2029) {
            return putHex(putHex(put(to, "\\u"), codePoint >> 8), codePoint & 0xFFu);
        }
        return copy(to, at, length);
    }
    static char* invalid(char* to, unsigned char c) { return putHex(put(to, "\\udc"), c); }
};

// Character data, or an attribute value: there `"` is markup, and a parser
// would turn a literal tab or line feed into a space. xmlCanCarry has ruled
// out what XML cannot hold, so the other controls and bytes outside UTF-8
// never arrive here.
template <bool attribute>
struct XmlFormat {
    static constexpr size_t widest = 6; // &quot;
    static constexpr std::string_view notPlain = attribute ? "&<>\"" : "&<>";
    static constexpr std::string_view alsoPlain = attribute ? "" : "\t\n";
    static constexpr Named named[] = {{'&', "&amp;"}, {'<', "&lt;"},  {'>', "&gt;"}, {'"', "&quot;"},
                                      {'\t', "&#9;"}, {'\n', "&#10;"}, {'\r', "&#13;"}};

    static char* otherAscii(char* to, unsigned char /*c*/) { return to; }
    static char* character(char* to, const unsigned char* at, int length, char32_t /*codePoint*/) {
        return copy(to, at, length);
    }
    static char* invalid(char* to, unsigned char /*c*/) { return to; }
};

} // namespace

void writeListField(Output& out, std::string_view text) { writeTranscoded<ListFormat>(out, text); }

void writeJsonString(Output& out, std::string_view text) { writeTranscoded<JsonFormat, '"'>(out, text); }

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

void writeXmlText(Output& out, std::string_view text) { writeTranscoded<XmlFormat<false>>(out, text); }

void writeXmlAttribute(Output& out, std::string_view text) { writeTranscoded<XmlFormat<true>>(out, text); }

} // namespace zelt_tool
