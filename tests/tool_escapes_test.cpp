// The tool's escaped forms: UTF-8 decoding, each format's rules, and texts
// whose characters straddle the edges of the chunks they are written in.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "escapes.h"
#include "tool_test_support.h"
#include "transcode.h"

using zelt_tool::Output;

namespace {

using Writer = void (*)(Output&, std::string_view);

std::string written(Writer write, const std::string& text) {
    return zelt_tool_test::captured([&](Output& out) { write(out, text); });
}

struct Format {
    const char* name;
    Writer write;
    std::string quote; // around every result
    bool xml;          // only for texts xmlCanCarry accepts
};

const Format formats[] = {
    {"list", zelt_tool::writeListField, "", false},
    {"json", zelt_tool::writeJsonString, "\"", false},
    {"xml text", zelt_tool::writeXmlText, "", true},
    {"xml attribute", zelt_tool::writeXmlAttribute, "", true},
};

// What @p format writes for @p text, without the quotes.
std::string inner(const Format& format, const std::string& text) {
    const std::string all = written(format.write, text);
    return all.substr(format.quote.size(), all.size() - 2 * format.quote.size());
}

struct Case {
    std::string text;
    std::string list, json, xmlText, xmlAttribute; // "" where XML cannot carry the text
};

// A text every format writes as it is.
Case unchanged(const std::string& text) { return {text, text, text, text, text}; }

const std::vector<Case> cases = {
    unchanged("plain text 123"),
    unchanged(""),
    {"\t\n\r", "\\t\\n\\r", "\\t\\n\\r", "\t\n&#13;", "&#9;&#10;&#13;"},
    {"\\\"&<>'", "\\\\\"&<>'", "\\\\\\\"&<>'", "\\\"&amp;&lt;&gt;'", "\\&quot;&amp;&lt;&gt;'"},
    {"\x7f~", "\\x7f~", "\x7f~", "\x7f~", "\x7f~"},
    {std::string("\0\x01\x1f\x7f", 4), "\\x00\\x01\\x1f\\x7f", "\\u0000\\u0001\\u001f\x7f", "", ""},
    // U+0080 and U+009F (C1 controls), U+00A0, U+0085, U+2028, U+2029.
    {"\xc2\x80\xc2\x9f\xc2\xa0", "\\xc2\\x80\\xc2\\x9f\xc2\xa0", "\xc2\x80\xc2\x9f\xc2\xa0", "\xc2\x80\xc2\x9f\xc2\xa0",
     "\xc2\x80\xc2\x9f\xc2\xa0"},
    {"\xc2\x85\xe2\x80\xa8\xe2\x80\xa9", "\\xc2\\x85\xe2\x80\xa8\xe2\x80\xa9", "\\u0085\\u2028\\u2029",
     "\xc2\x85\xe2\x80\xa8\xe2\x80\xa9", "\xc2\x85\xe2\x80\xa8\xe2\x80\xa9"},
    // Each length of character, up to the last ones XML takes before and past U+FFFE.
    unchanged("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xef\xbf\xbd\xf4\x8f\xbf\xbf"),
    {"\xef\xbf\xbe", "\xef\xbf\xbe", "\xef\xbf\xbe", "", ""},
    // Not UTF-8: a stray continuation, overlong forms, a surrogate, past
    // U+10FFFF, a lead byte no character has, sequences cut short.
    {"\x80\xc0\xaf\xe0\x9f\xbf", "\\x80\\xc0\\xaf\\xe0\\x9f\\xbf", "\\udc80\\udcc0\\udcaf\\udce0\\udc9f\\udcbf", "", ""},
    {"\xed\xa0\x80\xf4\x90\x80\x80\xff", "\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80\\xff",
     "\\udced\\udca0\\udc80\\udcf4\\udc90\\udc80\\udc80\\udcff", "", ""},
    {"\xe2\x82x\xf0\x9f\x98", "\\xe2\\x82x\\xf0\\x9f\\x98", "\\udce2\\udc82x\\udcf0\\udc9f\\udc98", "", ""},
};

TEST(Escapes, EachFormatsRules) {
    for (const Case& c : cases) {
        const std::string* const expected[] = {&c.list, &c.json, &c.xmlText, &c.xmlAttribute};
        const bool xml = zelt_tool::xmlCanCarry(c.text);
        EXPECT_EQ(xml, !c.xmlText.empty() || c.text.empty()) << c.text;
        for (size_t f = 0; f < std::size(formats); ++f) {
            if (!formats[f].xml || xml) {
                EXPECT_EQ(inner(formats[f], c.text), *expected[f]) << formats[f].name << ": " << c.text;
            }
        }
    }
}

TEST(Escapes, DecodesExactlyTheWellFormedSequences) {
    const struct {
        std::string bytes;
        int length;
        char32_t codePoint;
    } rows[] = {
        {"\xc1\xbf", 0, 0},         {"\xc2\x80", 2, 0x80},          {"\xdf\xbf", 2, 0x7FF},
        {"\xc2\x7f", 0, 0},         {"\xc2\xc0", 0, 0},             {"\xe0\x9f\xbf", 0, 0},
        {"\xe0\xa0\x80", 3, 0x800}, {"\xed\x9f\xbf", 3, 0xD7FF},    {"\xed\xa0\x80", 0, 0},
        {"\xee\x80\x80", 3, 0xE000}, {"\xef\xbf\xbf", 3, 0xFFFF},   {"\xe1\x80\xc0", 0, 0},
        {"\xf0\x8f\xbf\xbf", 0, 0}, {"\xf0\x90\x80\x80", 4, 0x10000}, {"\xf4\x8f\xbf\xbf", 4, 0x10FFFF},
        {"\xf4\x90\x80\x80", 0, 0}, {"\xf5\x80\x80\x80", 0, 0},     {"\xf1\x80\x80", 0, 0},
        {"\xf1\x80\x80\x7f", 0, 0}, {"\xe1\x80", 0, 0},             {"\xc3", 0, 0},
    };
    for (const auto& row : rows) {
        const auto* const at = reinterpret_cast<const unsigned char*>(row.bytes.data());
        char32_t codePoint = 0;
        EXPECT_EQ(zelt_tool::decodeUtf8(at, at + row.bytes.size(), codePoint), row.length) << row.bytes;
        EXPECT_EQ(codePoint, row.codePoint) << row.bytes;
    }
}

// Each format writes @p before + @p unit + @p after as it writes the three alone.
void expectWrittenPiecewise(const std::string& before, const std::string& unit, const std::string& after) {
    const std::string text = before + unit + after;
    for (const Format& format : formats) {
        if (!format.xml || zelt_tool::xmlCanCarry(text)) {
            EXPECT_EQ(inner(format, text), inner(format, before) + inner(format, unit) + inner(format, after))
                << format.name << ": " << testing::PrintToString(unit) << " after " << before.size() << " bytes";
        }
    }
}

TEST(Escapes, CharactersAcrossChunkEdgesAreWrittenWhole) {
    const size_t chunk = zelt_tool::transcodeChunk;
    // A 2-, 3- and 4-byte character, a cut-short sequence and escaped ASCII,
    // at every place in the first runs of eight plain bytes and just before,
    // at and after the chunk's edge.
    std::vector<size_t> starts = {chunk - 4, chunk - 3, chunk - 2, chunk - 1, chunk, chunk + 1};
    for (size_t start = 0; start <= 17; ++start) {
        starts.push_back(start);
    }
    for (const std::string unit : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xe2\x82", "\t&\"<"}) {
        for (const size_t start : starts) {
            expectWrittenPiecewise(std::string(start, 'a'), unit, "bcdefghijklmnopq");
        }
    }
}

// Texts up to past the sixteen bytes that are copied at once, with one byte
// to escape at each place, or none.
TEST(Escapes, ShortTextsWithAnEscapeAnywhere) {
    for (size_t length = 0; length <= 33; ++length) {
        const std::string plain(length, 'a');
        for (const Format& format : formats) {
            EXPECT_EQ(inner(format, plain), plain) << format.name << " x " << length;
        }
        for (size_t at = 0; at < length; ++at) {
            for (const char special : {'\x01', '\t', '"', '\\', '&', '<', '\x7f'}) {
                expectWrittenPiecewise(plain.substr(0, at), {special}, plain.substr(at + 1));
            }
        }
    }
}

TEST(Escapes, TheWidestTextsAroundChunkAndBufferSizes) {
    // Per format (in the order of formats), the byte that grows most when escaped.
    const std::pair<char, std::string> widest[] = {{'\x01', "\\x01"}, {'\x01', "\\u0001"}, {'&', "&amp;"}, {'"', "&quot;"}};
    const size_t chunk = zelt_tool::transcodeChunk;
    for (size_t f = 0; f < std::size(formats); ++f) {
        const auto& [byte, escaped] = widest[f];
        for (const size_t size : {chunk - 1, chunk, chunk + 1, Output::capacity / escaped.size() + 1}) {
            std::string expected;
            for (size_t i = 0; i < size; ++i) {
                expected += escaped;
            }
            EXPECT_EQ(inner(formats[f], std::string(size, byte)), expected) << formats[f].name << " x " << size;
        }
    }
}

} // namespace
