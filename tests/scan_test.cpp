#include "ZELTScan.h" // first: the header compiles on its own

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using ZELT::ZELTBuffer;
using ZELT::ZELTElement;
using ZELT::ZELTReadError;
using zelt_test::DerivedBuffer;
using zelt_test::makeFormatter;

namespace {

using namespace std::string_literals;

void load(ZELTBuffer& in, const std::string& text, long marker = 0) {
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    in.setMarkerPos(marker);
}

// An element that must stay as it was after a refusal.
ZELTElement sentinel() { return {"t", "n", "i", "v", 99}; }

auto fields(const ZELTElement& e) { return std::tie(e.tag, e.name, e.idx, e.value, e.offset); }

void expectSame(const ZELTElement& got, const ZELTElement& want) { EXPECT_EQ(fields(got), fields(want)); }

const std::string sizes[] = {std::string(65535, 'v'), std::string(65536, 'v'), std::string(65537, 'v')};

struct Form {
    std::string nameSpec, value, tag, name, idx;
};

const Form forms[] = {
    {"count", "42", "count", "", ""},
    {"item|first", "abc", "item", "first", ""},
    {"item|first|2", "abc", "item", "first", "2"},
    {"", "x", "", "", ""},
    {"|||", "", "", "", ""},
    {"t|a b>c|<i j>", "v", "t", "a b>c", "<i j>"},
    {"t", "a < b & \"c\"\n</t></t >\n<</t>", "t", "", ""},
    {"t", "<<<</t", "t", "", ""}, // more candidates than tried before the linear search
    {"t", sizes[0], "t", "", ""},
    {"t", sizes[1], "t", "", ""},
    {"t", sizes[2], "t", "", ""},
};

TEST(ScanForms, ReadsEveryWrittenFormAsTheStringReaderDoes) {
    auto fx = makeFormatter();
    for (const Form& f : forms) {
        ZELTBuffer in;
        load(in, "<x>1</x>\n");
        in.setMarkerPos(9);
        ASSERT_TRUE(fx->serializeString(f.value.c_str(), f.nameSpec.c_str(), in)) << f.nameSpec;
        EXPECT_EQ(ZELT::explainScan(in).reason, ZELTReadError::none);
        ZELTElement element;
        ASSERT_TRUE(ZELT::scanElement(in, element)) << f.nameSpec;
        expectSame(element, {f.tag, f.name, f.idx, f.value, 9});
        EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
        EXPECT_EQ(ZELT::explainScan(in).reason, ZELTReadError::endOfText);
        if (f.name.empty()) { // the string reader reads the same text the same way
            std::string value;
            in.setMarkerPos(9);
            ASSERT_TRUE(fx->deserializeString(f.tag.c_str(), in, value));
            EXPECT_EQ(value, f.value);
            EXPECT_EQ(in.getMarkerPos(), in.getBufferSize());
        }
    }
}

TEST(ScanForms, TakesTagsOfEveryLengthAndValuesByTheContentSize) {
    auto fx = makeFormatter();
    ZELTBuffer in;
    for (const std::string& tag : sizes) {
        fx->serializeInt32_t(-7, tag.c_str(), in);
    }
    const std::string bytes = "a\0b</t>\n"s;
    const char* data = bytes.data();
    fx->serializeBuffer(data, 2, "t", 0, in); // a value holding a NUL byte
    in.appendString("<t>one</t>\ntwo</t>\n"); // the writer refuses such a value; other text may hold it
    ZELTElement element;
    for (const std::string& tag : sizes) {
        ASSERT_TRUE(ZELT::scanElement(in, element));
        EXPECT_EQ(element.tag, tag);
        EXPECT_EQ(element.value, "-7");
    }
    ASSERT_TRUE(ZELT::scanElement(in, element));
    EXPECT_EQ(element.value, "a\0"s);
    // A value ends at the first closing text, for the string reader too.
    const long marker = in.getMarkerPos();
    ASSERT_TRUE(ZELT::scanElement(in, element));
    EXPECT_EQ(element.value, "one");
    EXPECT_STREQ(in.getBufferStringFromMarker(), "two</t>\n");
    std::string value;
    in.setMarkerPos(marker);
    ASSERT_TRUE(fx->deserializeString("t", in, value));
    EXPECT_EQ(value, "one");
    EXPECT_STREQ(in.getBufferStringFromMarker(), "two</t>\n");
}

// The element an opening tag, a value and the closing text make.
std::string elementOf(const std::string& opening, const std::string& tag, const std::string& value) {
    return opening + value + "</" + tag + ">\n";
}

// Reads @p text from @p marker in a plain buffer, whose area ends right after
// the content, and in a derived one; both must give @p expected (or refuse
// when it is null) and leave the marker alike.
void expectBothWays(const std::string& text, long marker, const ZELTElement* expected) {
    // scanElement takes its general way for a derived buffer.
    ZELTBuffer plain;
    DerivedBuffer derived;
    for (ZELTBuffer* in : {&plain, static_cast<ZELTBuffer*>(&derived)}) {
        load(*in, text, marker);
        in->setBufReserveSize(0);
        ZELTElement element = sentinel();
        ASSERT_EQ(ZELT::scanElement(*in, element), expected != nullptr) << testing::PrintToString(text);
        expectSame(element, expected != nullptr ? *expected : sentinel());
    }
    EXPECT_EQ(plain.getMarkerPos(), derived.getMarkerPos());
}

// Every length of tag, Name and value around the sixteen and 32 bytes that
// scanElement looks at first, and the text's end just before, at and after
// where that look needs it.
TEST(ScanForms, ReadTheSameByEveryWay) {
    const std::string before = "<a>\n</a>\n";
    const auto marker = static_cast<long>(before.size());
    const std::string trailers[] = {"", "<n>", "<n>1</n>\n", std::string(40, '-')};
    for (size_t tagLength = 0; tagLength <= 17; ++tagLength) {
        const std::string tag(tagLength, 't');
        // No attribute, Name="...", and Name="..." Idx="1".
        for (int form = 0; form < 3; ++form) {
            for (size_t nameLength = 0; nameLength <= (form == 0 ? 0 : 26); ++nameLength) {
                const std::string name(nameLength, 'n');
                const std::string opening = "<" + tag + (form == 0 ? "" : " Name=\"" + name + "\"") +
                                            (form == 2 ? " Idx=\"1\"" : "") + ">";
                for (size_t valueLength = 0; valueLength <= 36; valueLength += form == 0 ? 1 : 9) {
                    const std::string value(valueLength, 'v');
                    const ZELTElement expected{tag, name, form == 2 ? "1" : "", value, marker};
                    for (const std::string& trailer : trailers) {
                        expectBothWays(before + elementOf(opening, tag, value) + trailer, marker, &expected);
                    }
                }
            }
        }
    }
}

TEST(ScanForms, ValuesAndAttributesHoldingMarkupReadTheSameByEveryWay) {
    const std::string padding(40, '.');
    const std::string values[] = {"<", "a<b", "</t>", "</t>\r\n", "</tt>\n", "<</t", "</t>" + padding, ">"};
    struct Opening {
        std::string text, name, idx;
    };
    const Opening openings[] = {{"<t>", "", ""}, {"<t Name=\"<x>\">", "<x>", ""}, {"<t Name=\"a b\" Idx=\"</t>\n\">", "a b", "</t>\n"}};
    for (const std::string& value : values) {
        for (const Opening& opening : openings) {
            const ZELTElement expected{"t", opening.name, opening.idx, value, 0};
            expectBothWays(elementOf(opening.text, "t", value) + padding, 0, &expected);
        }
    }
    const std::string refused[] = {"<t Name=\"x\"y>1</t>\n", "<t Nam=\"x\">1</t>\n", "<t Name=\"x\" Id=\"1\">1</t>\n",
                                   "<t>1</t>\r\n", "<t>1</u>\n", "<" + std::string(20, 't') + "x", "x<t>1</t>\n"};
    for (const std::string& text : refused) {
        expectBothWays(text + padding, 0, nullptr);
    }
}

// Elements the quick way reads and those it leaves to the general way (a
// long tag, an Idx, a '<' in a value, the text's last bytes), read in
// batches of every size, read as scanElement reads them one by one, and stop
// where it refuses.
TEST(ScanElements, ReadsInBatchesWhatScanElementReadsOneByOne) {
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += elementOf("<n>", "n", std::to_string(i)) + elementOf("<" + std::string(20, 't') + ">", std::string(20, 't'), "x") +
                elementOf("<a Name=\"b\" Idx=\"1\">", "a", "<v>") + elementOf("<c Name=\"d\">", "c", std::string(i, 'v'));
    }
    for (const std::string& tail : {""s, "junk"s, "<n>1</n>"s}) {
        for (const long count : {0L, 1L, 2L, 3L, 7L, 64L, 1000L}) {
            ZELTBuffer plain;
            DerivedBuffer derived;
            for (ZELTBuffer* in : {&plain, static_cast<ZELTBuffer*>(&derived)}) {
                load(*in, text + tail);
                ZELTBuffer single;
                load(single, text + tail);
                std::vector<ZELTElement> batch(static_cast<size_t>(count));
                long read = 0;
                long total = 0;
                while ((read = ZELT::scanElements(*in, batch.data(), count)) > 0) {
                    ASSERT_LE(read, count);
                    for (long i = 0; i < read; ++i) {
                        ZELTElement expected;
                        ASSERT_TRUE(ZELT::scanElement(single, expected));
                        expectSame(batch[static_cast<size_t>(i)], expected);
                    }
                    total += read;
                    EXPECT_EQ(in->getMarkerPos(), single.getMarkerPos());
                }
                ZELTElement next;
                EXPECT_FALSE(count > 0 && ZELT::scanElement(single, next)) << "batches stopped early";
                EXPECT_EQ(total, count == 0 ? 0 : 120);
                EXPECT_EQ(in->getMarkerPos(), single.getMarkerPos());
            }
        }
    }
}

// Whether more text could complete the element: true for every proper
// beginning of an element, false once it reads or can never read.
TEST(ScanNeedsMore, TellsAnElementCutShortFromOneThatCannotBeRead) {
    const std::string elements[] = {"<t>v</t>\n", "<t Name=\"n\">v</t>\n", "<t Name=\"n\" Idx=\"1\">v</t>\n",
                                    "<>x</>\n", "<count>" + std::string(40, '9') + "</count>\n"};
    for (const std::string& element : elements) {
        for (size_t length = 0; length <= element.size(); ++length) {
            ZELTBuffer plain;
            DerivedBuffer derived;
            for (ZELTBuffer* in : {&plain, static_cast<ZELTBuffer*>(&derived)}) {
                load(*in, "<a>1</a>\n" + element.substr(0, length), 9);
                EXPECT_EQ(ZELT::scanNeedsMore(*in), length < element.size()) << element.substr(0, length);
            }
        }
    }
    const std::pair<std::string, bool> texts[] = {
        {"x", false}, {"\n<t>", false}, {"<t Nx", false}, {"<t Name=\"n\"x", false}, {"<t Name=\"n\" I", true},
        {"<t Name=\"n\" Idx=\"1\" ", false}, {"<t Name=\"n\" Idx=\"1\"x", false}, {"<t>v</t>\r", true}, {"<t>v</u>\n", true},
    };
    for (const auto& [text, needsMore] : texts) {
        ZELTBuffer in;
        load(in, text);
        EXPECT_EQ(ZELT::scanNeedsMore(in), needsMore) << text;
    }
    ZELTBuffer empty;
    EXPECT_TRUE(ZELT::scanNeedsMore(empty));
}

TEST(ScanBytes, ReadsExactlyTheGivenBytes) {
    const std::string blocks[] = {"", "\0"s, "<", "</b>\n", "x</b>\n</b>\n", "\0</b>\0"s, sizes[1]};
    auto fx = makeFormatter();
    for (const std::string& bytes : blocks) {
        for (const char* nameSpec : {"b", "b|n|1"}) {
            ZELTBuffer in;
            const char* data = bytes.data();
            const auto length = static_cast<long>(bytes.size());
            ASSERT_TRUE(fx->serializeBuffer(data, length, nameSpec, 0, in));
            in.appendString("<next>");
            ZELTElement element = sentinel();
            for (const long wrong : {length - 1, length + 1, -1L, in.getBufferSize()}) {
                EXPECT_FALSE(ZELT::scanBytes(in, wrong, element)) << wrong;
            }
            expectSame(element, sentinel());
            EXPECT_EQ(in.getMarkerPos(), 0);
            ASSERT_TRUE(ZELT::scanBytes(in, length, element));
            EXPECT_EQ(element.tag, "b");
            EXPECT_EQ(element.value, bytes);
            EXPECT_STREQ(in.getBufferStringFromMarker(), "<next>");
        }
    }
}

struct Refusal {
    std::string text;
    long marker;
    ZELTReadError::Reason reason;
    const char* detail;
};

using Reason = ZELTReadError::Reason;

const Refusal refusals[] = {
    {"", 0, Reason::endOfText, "end of text where an element was expected"},
    {"<a>1</a>\n", 9, Reason::endOfText, "end of text where an element was expected"},
    {"\n<a>1</a>\n", 0, Reason::notAnElement, R"(text before an element: "\n<a>1</a>\n")"},
    {"\0<a>"s, 0, Reason::notAnElement, R"(text before an element: "\x00<a>")"},
    {"x\"\\\t\r\x7f\xff" + std::string(17, 'y'), 0, Reason::notAnElement,
     R"(text before an element: "x\"\\\t\r\x7f\xffyyyyyyyyyyyyyyyyy")"},
    {std::string(25, 'y'), 0, Reason::notAnElement, R"(text before an element: "yyyyyyyyyyyyyyyyyyyyyyyy"...)"},
    {"<my tag>1</my tag>\n", 0, Reason::attributes, "after <my: unknown attribute (a tag cannot hold a space or '>')"},
    {"<t Name=\"a\" Id=\"1\">v</t>\n", 0, Reason::attributes, "after <t Name=\"a\": unknown attribute"},
    {"<t Name=\"a\" Idx=\"1\" X>v</t>\n", 0, Reason::attributes, "after <t Name=\"a\" Idx=\"1\": unknown attribute"},
    {"<t Name=\"a\"x>v</t>\n", 0, Reason::attributes, "after <t Name=\"a\": no \">\" ends the opening tag"},
    {"<t Name=\"a\" Idx=\"1\"", 0, Reason::attributes, "after <t Name=\"a\" Idx=\"1\": no \">\" ends the opening tag"},
    {"<t", 0, Reason::attributes, "after <t: no \">\" ends the opening tag"},
    {"<" + std::string(30, 't'), 0, Reason::attributes,
     "after <ttttttttttttttttttttttt...: no \">\" ends the opening tag"},
    {"<t Name=\"a>v</t>\n", 0, Reason::attributes, "after <t Name=\": unterminated attribute value"},
    {"<t>v</t>", 0, Reason::noClosingText, "no </t> and line feed follows"},
    {"<t></t>\n", 1, Reason::notAnElement, R"(text before an element: "t></t>\n")"},
    // Blank text to the end, and only that, is named as such.
    {"<a>1</a>\n\n \t\r\n", 9, Reason::notAnElement, "blank text after the last element"},
    {"<a>1</a>\n\n x", 9, Reason::notAnElement, R"(text before an element: "\n x")"},
    // A carriage return before the closing text's line feed, and nothing like it.
    {"<t>v</t>\r\n", 0, Reason::noClosingText, "no </t> and line feed follows (a CRLF line end?)"},
    {"<t>v</t>\r\n</t>\r", 0, Reason::noClosingText, "no </t> and line feed follows (a CRLF line end?)"},
    {"<t>v</t>\r", 0, Reason::noClosingText, "no </t> and line feed follows"},
    {"<t>v</t>\r\r\n", 0, Reason::noClosingText, "no </t> and line feed follows"},
    {"<t>v</u>\r\n", 0, Reason::noClosingText, "no </t> and line feed follows"},
    {"<t></t>\r\n", 0, Reason::noClosingText, "no </t> and line feed follows (a CRLF line end?)"},
};

TEST(ScanRefusals, ChangeNothingAndSayWhy) {
    for (const Refusal& r : refusals) {
        ZELTBuffer in;
        load(in, r.text, r.marker);
        ZELTElement element = sentinel();
        EXPECT_FALSE(ZELT::scanElement(in, element)) << r.detail;
        EXPECT_FALSE(ZELT::scanBytes(in, 1, element)) << r.detail;
        expectSame(element, sentinel());
        EXPECT_EQ(in.getMarkerPos(), r.marker);
        const ZELTReadError error = ZELT::explainScan(in);
        EXPECT_EQ(error.reason, r.reason) << r.detail;
        EXPECT_EQ(error.detail(), r.detail);
        EXPECT_EQ(error.offset, r.marker);
    }
}

// A handle that reports an odd size or marker, or refuses to move the marker.
class OddBuffer : public ZELTBuffer {
public:
    long size = 9;
    long marker = 0;
    long getBufferSize() const override { return size; }
    long getMarkerPos() const override { return marker; }
    bool setMarkerPos(long /*position*/) override { return false; }
};

TEST(ScanRefusals, NoAreaOrAnOddBuffer) {
    ZELTBuffer empty;
    ZELTElement element = sentinel();
    EXPECT_FALSE(ZELT::scanElement(empty, element));
    EXPECT_EQ(ZELT::explainScan(empty).message, "line 1, column 1: end of text where an element was expected");
    EXPECT_EQ(ZELT::explainRead("v", empty).reason, ZELTReadError::endOfText);
    long number = 3;
    EXPECT_FALSE(makeFormatter()->deserializeInt64_t("v", empty, number)); // the typed readers refuse alike
    EXPECT_EQ(number, 3);
    OddBuffer odd;
    load(odd, "<v>1</v>\n");
    const std::pair<long, long> sizesAndMarkers[] = {{-1, 0}, {9, -1}, {9, 10}, {9, 0}};
    for (const auto& [size, marker] : sizesAndMarkers) {
        odd.size = size;
        odd.marker = marker;
        EXPECT_FALSE(ZELT::scanElement(odd, element)) << size << ' ' << marker;
        EXPECT_FALSE(ZELT::scanBytes(odd, 1, element)) << size << ' ' << marker;
    }
    expectSame(element, sentinel());
}

struct Explained {
    std::string text;
    long marker;
    const char* name;
    ZELTReadError error;
};

ZELTReadError refused(Reason reason, long offset, long line, long column, const std::string& detail) {
    return {reason, offset, line, column,
            "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + detail};
}

const std::string longTag(65, 'n');

const Explained explained[] = {
    {"<count>1</count>\n", 0, "count", {}},
    {"<a>1</a>\n<total>2</total>\n", 9, "count", refused(Reason::otherTag, 9, 2, 1, "expected <count>, found <total>")},
    {"<a>1</a>\n<a>\n<counter>2</counter>\n", 13, "count",
     refused(Reason::otherTag, 13, 3, 1, "expected <count>, found <counter>")},
    {"<a>\r\n<count", 5, "count", refused(Reason::otherTag, 5, 2, 1, "expected <count>, found <count")},
    {"<a>1</a>\n<cou", 9, "count", refused(Reason::otherTag, 9, 2, 1, "expected <count>, found <cou")},
    {"<" + std::string(22, 'x') + ">", 0, "t",
     refused(Reason::otherTag, 0, 1, 1, "expected <t>, found <" + std::string(22, 'x') + ">")},
    {"<" + std::string(23, 'x') + ">", 0, "t",
     refused(Reason::otherTag, 0, 1, 1, "expected <t>, found <" + std::string(23, 'x') + "...")},
    {"<count Name=\"n\">1</count>\n", 0, "count", refused(Reason::attributes, 0, 1, 1, "<count> carries attributes")},
    {"ab<count>1</count>\n", 2, "count", {}},
    {"ab\n<count>1</count>\n", 2, "count",
     refused(Reason::notAnElement, 2, 1, 3,
             R"(text before an element: "\n<count>1</count>\n" where <count> was expected)")},
    {"<v>1</v>\n", 9, "v", refused(Reason::endOfText, 9, 2, 1, "end of text where <v> was expected")},
    {"<v>1</v>", 0, "v", refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows")},
    {"<v>1</v>\n<w>2</w>\n", 0, "v", {}}, // the caller's short tag is compared byte by byte, never read past
    {"<v>1\0</v>\n"s, 0, "v",
     refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows before the NUL byte at offset 4")},
    {"<x></x></x>\n", 0, "x></x", refused(Reason::noClosingText, 0, 1, 1, "no </x></x> and line feed follows")},
    {"\n", 1, longTag.c_str(),
     refused(Reason::endOfText, 1, 2, 1, "end of text where <" + longTag.substr(0, 64) + "...> was expected")},
    {"<v>", 0, nullptr, refused(Reason::otherTag, 0, 1, 1, "no tag given (the name is null)")},
    {"", 0, "v", refused(Reason::endOfText, 0, 1, 1, "end of text where <v> was expected")},
    {"<v>5", 0, "v", refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows")},
    {"<v><</<v</v></v\n<\0</v>\n"s, 0, "v",
     refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows before the NUL byte at offset 17")},
    {"<v>1</v>\r\n", 0, "v", refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows (a CRLF line end?)")},
    {"<a>1</a>\r\n<v>1</v>\r\n", 10, "v",
     refused(Reason::noClosingText, 10, 2, 1, "no </v> and line feed follows (a CRLF line end?)")},
    {"<v>1</v>\r\n\0"s, 0, "v",
     refused(Reason::noClosingText, 0, 1, 1,
             "no </v> and line feed follows before the NUL byte at offset 10 (a CRLF line end?)")},
    {"<v>1\0</v>\r\n"s, 0, "v",
     refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows before the NUL byte at offset 4")},
    {"<v>1</w>\r\n", 0, "v", refused(Reason::noClosingText, 0, 1, 1, "no </v> and line feed follows")},
    {"<v>1</v>\n \n", 9, "v",
     refused(Reason::notAnElement, 9, 2, 1, "blank text after the last element where <v> was expected")},
};

// The reason and where the element should begin; the typed readers refuse
// exactly then, through a plain buffer and a derived one alike (read through
// its virtual operations only), and leave the marker and the destination.
TEST(ExplainRead, GivesTheReasonTheReadersRefuseFor) {
    auto fx = makeFormatter();
    for (const Explained& e : explained) {
        ZELTBuffer in;
        load(in, e.text, e.marker);
        const ZELTReadError error = ZELT::explainRead(e.name, in);
        EXPECT_EQ(error.reason, e.error.reason) << e.error.message;
        EXPECT_EQ(error.offset, e.error.offset) << e.error.message;
        EXPECT_EQ(error.line, e.error.line) << e.error.message;
        EXPECT_EQ(error.column, e.error.column) << e.error.message;
        EXPECT_EQ(error.message, e.error.message);
        EXPECT_EQ(in.getMarkerPos(), e.marker);

        const bool reads = e.error.reason == ZELTReadError::none;
        zelt_test::RecordingBuffer derived;
        for (ZELTBuffer* reader : {&in, static_cast<ZELTBuffer*>(&derived)}) {
            load(*reader, e.text, e.marker);
            int number = 77;
            std::string value = "untouched";
            EXPECT_EQ(fx->deserializeInt32_t(e.name, *reader, number), reads) << e.error.message;
            reader->setMarkerPos(e.marker);
            EXPECT_EQ(fx->deserializeString(e.name, *reader, value), reads) << e.error.message;
            if (!reads) {
                EXPECT_EQ(number, 77) << e.error.message;
                EXPECT_EQ(value, "untouched") << e.error.message;
                EXPECT_EQ(reader->getMarkerPos(), e.marker) << e.error.message;
            }
        }
    }
}

TEST(ExplainRead, CountsLinesFarIntoTheText) {
    const std::string text = std::string(70000, '\n') + std::string(65537, 'x') + "<v>";
    ZELTBuffer in;
    load(in, text, static_cast<long>(text.size()) - 1);
    const ZELTReadError error = ZELT::explainRead("v", in);
    EXPECT_EQ(error.line, 70001);
    EXPECT_EQ(error.column, 65540);
    EXPECT_EQ(error.detail(), R"(text before an element: ">" where <v> was expected)");
}

// For any text, explainRead says none exactly when the typed readers read.
TEST(ExplainRead, AgreesWithTheTypedReaders) {
    auto fx = makeFormatter();
    std::mt19937 random(12);
    const std::string pieces[] = {"<", ">", "/", "v", "w", " ", "\n", "\0"s, "</v>\n", "<v>", "1"};
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        // Mostly an opening tag at the marker, so that both outcomes are common.
        std::string text = random() % 4 == 0 ? "" : "<v>";
        for (size_t length = random() % 8; length > 0; --length) {
            text += pieces[random() % std::size(pieces)];
        }
        ZELTBuffer in;
        load(in, text, random() % 4 == 0 ? static_cast<long>(random() % (text.size() + 1)) : 0);
        const long marker = in.getMarkerPos();
        std::string value;
        int number = 0;
        const bool readsString = fx->deserializeString("v", in, value);
        accepted += readsString ? 1 : 0;
        in.setMarkerPos(marker);
        EXPECT_EQ(fx->deserializeInt32_t("v", in, number), readsString);
        in.setMarkerPos(marker);
        EXPECT_EQ(ZELT::explainRead("v", in).reason == ZELTReadError::none, readsString)
            << testing::PrintToString(text);
    }
    EXPECT_GT(accepted, 2000);
}

TEST(ExplainRead, DetailKeepsAMessageWithoutAPosition) {
    ZELTReadError error;
    error.message = "made by hand: no position";
    EXPECT_EQ(error.detail(), error.message);
    error.message = "line 3";
    EXPECT_EQ(error.detail(), "line 3");
}

} // namespace
