// The zelt program's output forms keep every byte: a list field and a JSON
// string decode back to the input, and so does XML text, an XML attribute or
// base64, whichever xmlCanCarry chooses; none of them holds what its format
// forbids. UTF-8 is checked here by a reference decoder of its own.
//
// Input: a mode byte, then the text. A mode from 0x80 to 0xfe repeats the
// text up to (mode - 0x7f) * 109 bytes (up to 13,843: past the writers' 4 KiB
// and 12 KiB chunks), 0xff up to 70,000 bytes (past 64 KiB, and, escaped four
// or six times its size, past the program's 256 KiB output buffer).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base64.h"
#include "escapes.h"
#include "fuzz_support.h"
#include "output.h"

namespace {

// The checks below walk every byte of outputs up to 420 KB; coverage feedback
// from them would only slow the search, so it comes from the writers alone.
#define ZELT_FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))

using Writer = void (*)(zelt_tool::Output&, std::string_view);

// What @p write makes of @p text, through a file in memory.
std::string written(Writer write, std::string_view text) {
    static const int fd = memfd_create("zelt_fuzz_escapes", 0);
    ZELT_FUZZ_CHECK(fd >= 0 && ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0);
    {
        zelt_tool::Output out(fd);
        write(out, text);
        ZELT_FUZZ_CHECK(out.flush());
    }
    std::string result(static_cast<size_t>(lseek(fd, 0, SEEK_CUR)), '\0');
    ZELT_FUZZ_CHECK(pread(fd, result.data(), result.size(), 0) == static_cast<ssize_t>(result.size()));
    return result;
}

// Reference UTF-8: the code point at @p at and its length, or -1 for a byte
// that starts no well-formed sequence (decoded by bit pattern, then the
// shortest form, the surrogates and the range ruled out).
ZELT_FUZZ_NO_COVERAGE long decode(std::string_view text, size_t at, size_t& length) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) {
        return -1;
    }
    long value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) >> 6) != 2) {
            return -1;
        }
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    const long shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < shortest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return -1;
    }
    return value;
}

// Whether every byte of @p text belongs to a well-formed character for which @p allowed holds.
template <typename Allowed>
ZELT_FUZZ_NO_COVERAGE bool utf8Where(std::string_view text, Allowed allowed) {
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        const long c = decode(text, at, length);
        if (c < 0 || !allowed(c)) {
            return false;
        }
    }
    return true;
}

ZELT_FUZZ_NO_COVERAGE void putUtf8(std::string& out, long c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    out += static_cast<char>(((0xFF00 >> length) & 0xFF) | (c >> (6 * (length - 1))));
    for (int i = length - 2; i >= 0; --i) {
        out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
    }
}

// The value of @p count lower-case hex digits at @p at.
ZELT_FUZZ_NO_COVERAGE unsigned long hex(std::string_view text, size_t at, size_t count) {
    const std::string_view digits = text.substr(at, count);
    ZELT_FUZZ_CHECK(digits.size() == count);
    unsigned long value = 0;
    for (const char digit : digits) {
        const size_t place = std::string_view("0123456789abcdef").find(digit);
        ZELT_FUZZ_CHECK(place != std::string_view::npos);
        value = value << 4 | place;
    }
    return value;
}

// Undoes backslash escapes: a backslash, then a key of @p simple (which
// holds pairs of key and byte), or @p hexKey and @p digits hex digits whose
// value @p putValue appends. @p raw must never stand unescaped.
template <typename PutValue>
ZELT_FUZZ_NO_COVERAGE std::string unescape(std::string_view text, std::string_view simple, char hexKey, size_t digits,
                                           char raw, PutValue putValue) {
    std::string decoded;
    for (size_t at = 0; at < text.size(); ++at) {
        ZELT_FUZZ_CHECK(text[at] != raw);
        if (text[at] != '\\') {
            decoded += text[at];
        } else if (text.at(++at) == hexKey) {
            putValue(decoded, hex(text, at + 1, digits));
            at += digits;
        } else {
            ZELT_FUZZ_CHECK(simple.find(text[at]) % 2 == 0);
            decoded += simple[simple.find(text[at]) + 1];
        }
    }
    return decoded;
}

ZELT_FUZZ_NO_COVERAGE void checkList(std::string_view text) {
    const std::string field = written(zelt_tool::writeListField, text);
    ZELT_FUZZ_CHECK(utf8Where(field, [](long c) { return c >= 0x20 && (c < 0x7F || c >= 0xA0); }));
    const auto putByte = [](std::string& out, unsigned long byte) { out += static_cast<char>(byte); };
    ZELT_FUZZ_CHECK(unescape(field, "t\tn\nr\r\\\\", 'x', 2, '\t', putByte) == text);
}

ZELT_FUZZ_NO_COVERAGE void checkJson(std::string_view text) {
    const std::string json = written(zelt_tool::writeJsonString, text);
    ZELT_FUZZ_CHECK(json.size() >= 2 && json.front() == '"' && json.back() == '"');
    const std::string_view inside = std::string_view(json).substr(1, json.size() - 2);
    // No control character, and no line break a line splitter would cut at.
    ZELT_FUZZ_CHECK(utf8Where(inside, [](long c) { return c >= 0x20 && c != 0x85 && c != 0x2028 && c != 0x2029; }));
    const auto putCharacter = [](std::string& out, unsigned long c) {
        if (c >= 0xDC80 && c <= 0xDCFF) { // a lone surrogate stands for a byte outside UTF-8
            out += static_cast<char>(c & 0xFF);
        } else {
            ZELT_FUZZ_CHECK(c < 0xD800 || c > 0xDFFF);
            putUtf8(out, static_cast<long>(c));
        }
    };
    ZELT_FUZZ_CHECK(unescape(inside, "\"\"\\\\n\nr\rt\t", 'u', 4, '"', putCharacter) == text);
}

// XML character data or an attribute value, its references resolved.
ZELT_FUZZ_NO_COVERAGE std::string unescapeXml(std::string_view xml) {
    const std::string_view references[][2] = {{"&amp;", "&"}, {"&lt;", "<"},   {"&gt;", ">"},   {"&quot;", "\""},
                                              {"&#9;", "\t"},  {"&#10;", "\n"}, {"&#13;", "\r"}};
    std::string decoded;
    for (size_t at = 0; at < xml.size();) {
        size_t length = 1;
        std::string_view replacement = xml.substr(at, 1);
        for (const auto& reference : references) {
            if (xml.substr(at, reference[0].size()) == reference[0]) {
                length = reference[0].size();
                replacement = reference[1];
            }
        }
        ZELT_FUZZ_CHECK(length > 1 || (xml[at] != '&' && xml[at] != '<'));
        decoded += replacement;
        at += length;
    }
    return decoded;
}

ZELT_FUZZ_NO_COVERAGE void checkXml(std::string_view text) {
    const auto xmlChar = [](long c) { return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF); };
    const bool carried = zelt_tool::xmlCanCarry(text);
    ZELT_FUZZ_CHECK(carried == utf8Where(text, xmlChar));
    if (!carried) {
        const std::string encoded = written(zelt_tool::writeBase64, text);
        ZELT_FUZZ_CHECK(encoded.size() == (text.size() + 2) / 3 * 4);
        std::string decoded;
        constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        unsigned long bits = 0;
        int count = 0;
        for (const char c : encoded.substr(0, encoded.find('='))) {
            ZELT_FUZZ_CHECK(alphabet.find(c) != std::string_view::npos);
            bits = (bits << 6 | alphabet.find(c)) & 0xFFFFFF;
            if ((count += 6) >= 8) {
                decoded += static_cast<char>((bits >> (count -= 8)) & 0xFF);
            }
        }
        ZELT_FUZZ_CHECK(decoded == text);
        return;
    }
    const std::string content = written(zelt_tool::writeXmlText, text);
    const std::string attribute = written(zelt_tool::writeXmlAttribute, text);
    // Nothing a parser would change: no markup, no carriage return (a line
    // end), and in an attribute no quote, tab or line feed (spaces to it).
    ZELT_FUZZ_CHECK(utf8Where(content, xmlChar) && content.find_first_of("<>\r") == std::string::npos);
    ZELT_FUZZ_CHECK(utf8Where(attribute, xmlChar) && attribute.find_first_of("<>\"\t\n\r") == std::string::npos);
    ZELT_FUZZ_CHECK(unescapeXml(content) == text && unescapeXml(attribute) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] >= 0x80 && !text.empty()) {
        const size_t wanted = data[0] == 0xFF ? 70000 : static_cast<size_t>(data[0] - 0x7F) * 109;
        while (text.size() < wanted) {
            text += text.substr(0, wanted - text.size());
        }
    }
    checkList(text);
    checkJson(text);
    checkXml(text);
    return 0;
}
