// Each rule that was rewritten for speed (the compound-name split, the typed
// readers' closing-text search, the scanner's quick path) checked against a
// deliberately plain model of the same rule, over generated texts that put
// every limit and every separator at its edges.
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTScan.h"
#include "test_support.h"

using ZELT::ZELTBuffer;
using zelt_test::contentOf;
using zelt_test::DerivedBuffer;
using zelt_test::makeFormatter;

namespace {

// The element a compound name selects, written the obvious way: measure the
// whole text, then split a copy at runs of '|' as strtok does.
std::optional<std::string> modelElement(const std::string& nameSpec, const std::string& value) {
    if (nameSpec.size() > 1023) {
        return std::nullopt;
    }
    std::vector<char> copy(nameSpec.begin(), nameSpec.end());
    copy.push_back('\0');
    const size_t limits[] = {255, 127, 31};
    std::string parts[3];
    char* rest = nullptr;
    char* token = strtok_r(copy.data(), "|", &rest);
    for (size_t part = 0; part < 3 && token != nullptr; ++part, token = strtok_r(nullptr, "|", &rest)) {
        if (std::strlen(token) > limits[part]) {
            return std::nullopt;
        }
        parts[part] = token;
    }
    std::string opening = "<" + parts[0];
    if (!parts[1].empty()) {
        opening += " Name=\"" + parts[1] + "\"";
        if (!parts[2].empty()) {
            opening += " Idx=\"" + parts[2] + "\"";
        }
    }
    return opening + ">" + value + "</" + parts[0] + ">\n";
}

// Compound names with separator runs before, between and after the parts,
// empty parts, a fourth and fifth part, each part one below, at and one above
// its limit, and whole lengths from 0 to 1,100.
std::vector<std::string> generatedNames() {
    std::vector<std::string> names;
    const std::string runs[] = {"", "|", "|||"};
    const size_t limits[] = {255, 127, 31};
    for (const std::string& lead : runs) {
        for (const std::string& between : runs) {
            for (const std::string& trail : runs) {
                for (size_t part = 0; part < 3; ++part) {
                    for (const size_t length : {size_t{0}, limits[part] - 1, limits[part], limits[part] + 1}) {
                        std::string parts[3] = {"t", "n", "i"};
                        parts[part] = std::string(length, static_cast<char>('a' + part));
                        for (const char* extra : {"", "|x", "|x|yy"}) {
                            names.push_back(lead + parts[0] + between + parts[1] + between + parts[2] + extra + trail);
                        }
                    }
                }
            }
        }
    }
    for (size_t length = 0; length <= 1100; ++length) {
        names.push_back(std::string(length, 'x').substr(0, std::min<size_t>(length, 255)) +
                        std::string(length > 255 ? length - 255 : 0, '|'));
        names.push_back(length == 0 ? "" : "a" + std::string(length - 1, '|'));
        names.push_back(std::string(length, '|'));
        std::string spread = "t|n|i|";
        spread.resize(length, length % 2 == 0 ? 'z' : '|');
        names.push_back(spread);
    }
    return names;
}

TEST(PlainModels, CompoundNamesSplitAsTheModelSplits) {
    auto fx = makeFormatter();
    for (const std::string& nameSpec : generatedNames()) {
        const std::optional<std::string> expected = modelElement(nameSpec, "v");
        ZELTBuffer strings;
        ZELTBuffer blocks;
        const char* data = "v";
        EXPECT_EQ(fx->serializeString("v", nameSpec.c_str(), strings), expected.has_value()) << nameSpec.size();
        EXPECT_EQ(fx->serializeBuffer(data, 1, nameSpec.c_str(), 0, blocks), expected.has_value()) << nameSpec.size();
        EXPECT_EQ(contentOf(strings), expected.value_or("")) << nameSpec.size();
        EXPECT_EQ(contentOf(blocks), expected.value_or("")) << nameSpec.size();
    }
}

// What the string reader of @p tag takes from @p unread, written the obvious
// way: the text ends at its first NUL, opens with "<tag>", and the value runs
// to the first "</tag>" and line feed, which must not begin before the value.
std::optional<std::string> modelRead(const std::string& tag, const std::string& unread, size_t& consumed) {
    const std::string text = unread.c_str();
    const std::string opening = "<" + tag + ">";
    const std::string closing = "</" + tag + ">\n";
    const size_t found = text.find(closing);
    if (text.compare(0, opening.size(), opening) != 0 || found == std::string::npos || found < opening.size()) {
        return std::nullopt;
    }
    consumed = found + closing.size();
    return text.substr(opening.size(), found - opening.size());
}

const std::string readerTags[] = {"t", "tt", "/t", "a<b", "<", "", std::string(255, 'q')};

// Values built to put the closing text, or near misses of it, everywhere a
// search could go wrong: right after the value, after several candidates, cut
// short by a NUL, and spread over the opening tag when the tag allows it.
std::vector<std::string> readerValues(const std::string& tag) {
    const std::string closing = "</" + tag + ">\n";
    return {"",
            "42",
            "abc",
            "<",
            "</" + tag,
            "</" + tag + ">",
            "</" + tag + ">\r\n",
            "<</" + tag + ">\n",
            std::string(6, '<') + closing,
            "</" + tag + "x>\n" + closing,
            "a" + std::string(1, '\0') + closing,
            // The string reader looks at a value's first 32 bytes inline: one below, at and one above.
            std::string(31, 'v'),
            std::string(32, 'v'),
            std::string(33, 'v'),
            std::string(70000, 'v'),
            std::string(70000, '<') + closing};
}

template <typename Buffer>
void expectReadAsModelled(const std::string& tag, const std::string& text) {
    auto fx = makeFormatter();
    Buffer in;
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    size_t consumed = 0;
    const std::optional<std::string> expected = modelRead(tag, text, consumed);
    std::string value = "untouched";
    ASSERT_EQ(fx->deserializeString(tag.c_str(), in, value), expected.has_value()) << text.substr(0, 80);
    EXPECT_EQ(value, expected.value_or("untouched"));
    EXPECT_EQ(in.getMarkerPos(), static_cast<long>(consumed));
}

TEST(PlainModels, TheStringReaderFindsTheClosingTextTheModelFinds) {
    for (const std::string& tag : readerTags) {
        for (const std::string& value : readerValues(tag)) {
            const std::string element = "<" + tag + ">" + value + "</" + tag + ">\n";
            // Whole, and cut at every length near its end, where the text ends early.
            for (size_t cut = element.size() > 12 ? element.size() - 12 : 0; cut <= element.size(); ++cut) {
                expectReadAsModelled<ZELTBuffer>(tag, element.substr(0, cut));
                expectReadAsModelled<DerivedBuffer>(tag, element.substr(0, cut));
            }
        }
    }
}

// The element scanElement takes from @p unread, written the obvious way: the
// tag runs to the first space or '>', then Name="..." and Idx="..." may
// follow, and the value runs to the first closing text after the opening tag,
// all within the content's size.
std::optional<ZELT::ZELTElement> modelScan(const std::string& unread, size_t& consumed) {
    if (unread.empty() || unread[0] != '<') {
        return std::nullopt;
    }
    const size_t tagEnd = unread.find_first_of(" >", 1);
    if (tagEnd == std::string::npos) {
        return std::nullopt;
    }
    ZELT::ZELTElement element;
    element.tag = std::string_view(unread).substr(1, tagEnd - 1);
    size_t at = tagEnd;
    // Each attribute: its text up to the opening quote, then a value up to the next quote.
    const std::pair<const char*, std::string_view*> attributes[] = {{" Name=\"", &element.name},
                                                                    {" Idx=\"", &element.idx}};
    for (const auto& [attribute, destination] : attributes) {
        if (unread[at] == '>') {
            break;
        }
        if (unread.compare(at, std::strlen(attribute), attribute) != 0) {
            return std::nullopt;
        }
        const size_t valueStart = at + std::strlen(attribute);
        const size_t quote = unread.find('"', valueStart);
        if (quote == std::string::npos) {
            return std::nullopt;
        }
        *destination = std::string_view(unread).substr(valueStart, quote - valueStart);
        at = quote + 1;
    }
    if (at >= unread.size() || unread[at] != '>') {
        return std::nullopt;
    }
    const std::string closing = "</" + std::string(element.tag) + ">\n";
    const size_t found = unread.find(closing, at + 1);
    if (found == std::string::npos) {
        return std::nullopt;
    }
    element.value = std::string_view(unread).substr(at + 1, found - at - 1);
    consumed = found + closing.size();
    return element;
}

TEST(PlainModels, TheScannerTakesTheElementTheModelTakes) {
    const std::string openings[] = {"<t>", "<t Name=\"n\">", "<t Name=\"n\" Idx=\"1\">", "<t Name=\"\">",
                                    "<tt Name=\"a>b\" Idx=\"<i>\">", "<t Name=\"n\" Idx=\"1\" x=\"2\">",
                                    "<t Name=n>", "<t  Name=\"n\">", "<t Name=\"n", "<>", "<t", "t>"};
    const std::string values[] = {"", "v", "<", "</t>", "</t>\r\n", std::string(40, '<') + "</t>\n",
                                  std::string(1, '\0') + "</t>\n", std::string(70000, 'v')};
    for (const std::string& opening : openings) {
        for (const std::string& value : values) {
            const std::string element = opening + value + "</t>\n";
            for (size_t cut = element.size() > 10 ? element.size() - 10 : 0; cut <= element.size(); ++cut) {
                const std::string text = element.substr(0, cut);
                size_t consumed = 0;
                const std::optional<ZELT::ZELTElement> expected = modelScan(text, consumed);
                ZELTBuffer in;
                in.setBufferString(text.data(), static_cast<long>(text.size()));
                in.setBufReserveSize(0); // the area ends right after the content
                ZELT::ZELTElement got;
                ASSERT_EQ(ZELT::scanElement(in, got), expected.has_value()) << text.substr(0, 80);
                if (expected) {
                    EXPECT_EQ(got.tag, expected->tag);
                    EXPECT_EQ(got.name, expected->name);
                    EXPECT_EQ(got.idx, expected->idx);
                    EXPECT_EQ(got.value, expected->value);
                    EXPECT_EQ(in.getMarkerPos(), static_cast<long>(consumed));
                }
            }
        }
    }
}

} // namespace
