// Reading records that another version of a program wrote, and every
// refusal with its reason, path and position.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "record_support.h"

using ZELT::ZELTRecordError;
using zelt_test::Holder;
using zelt_test::readText;
using zelt_test::written;

namespace {

struct Window {
    int width = 0;
    std::vector<std::string> recent;
    template <class Fields>
    void fields(Fields& f) {
        f("width", width), f("recent", recent);
    }
};

// Version 1 of a program's settings, and version 2: `zoom` added, `legacy`
// dropped, `theme` moved to the front.
struct SettingsV1 {
    std::string user = "ada";
    int legacy = 7;
    Window window{640, {"a.txt"}};
    std::string theme = "dark";
    template <class Fields>
    void fields(Fields& f) {
        f("user", user), f("legacy", legacy), f("window", window), f("theme", theme);
    }
};
struct SettingsV2 {
    std::string theme = "light";
    std::string user;
    Window window;
    double zoom = 1.5;
    std::optional<int> limit = 3;
    template <class Fields>
    void fields(Fields& f) {
        f("theme", theme), f("user", user), f("window", window), f("zoom", zoom), f("limit", limit);
    }
};

TEST(RecordReading, OlderAndNewerTextsLoad) {
    SettingsV2 newer;
    ASSERT_TRUE(readText(written(SettingsV1{}), newer));
    EXPECT_EQ(newer.theme, "dark");
    EXPECT_EQ(newer.user, "ada");
    EXPECT_EQ(newer.window.width, 640);
    EXPECT_EQ(newer.window.recent, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(newer.zoom, 1.5);  // not in the text: kept
    EXPECT_FALSE(newer.limit);   // not in the text: an optional becomes empty

    SettingsV2 written2;
    written2.window.recent = {"x", "y"};
    SettingsV1 older;
    older.legacy = 9;
    ASSERT_TRUE(readText(written(written2), older));
    EXPECT_EQ(older.theme, "light");
    EXPECT_EQ(older.legacy, 9);
    EXPECT_EQ(older.window.recent.size(), 2u);
}

// A record of `count` int fields named f0, f1, ...
struct Many {
    int count = 0;
    std::vector<int> values = std::vector<int>(17, -1);
    std::vector<std::string> names;
    template <class Fields>
    void fields(Fields& f) {
        names.resize(static_cast<size_t>(count));
        for (size_t i = 0; i < names.size(); ++i) {
            names[i] = "f" + std::to_string(i);
            f(names[i].c_str(), values[i]);
        }
    }
};

// Records of 7 to 17 fields, across the few-fields and inline-slot limits,
// read from text holding them in reverse order and with unknown ones between.
TEST(RecordReading, FieldsInAnyOrderAcrossTheTableLimits) {
    for (const int count : {7, 8, 9, 15, 16, 17}) {
        std::string text = "<t Name=\"record\">" + std::to_string(2 * count) + "</t>\n";
        for (int i = count - 1; i >= 0; --i) {
            const std::string name = "t.f" + std::to_string(i);
            text += "<" + name + ">" + std::to_string(i) + "</" + name + ">\n";
            text += "<t.x" + std::to_string(i) + " Name=\"list\">1</t.x" + std::to_string(i) + ">\n<t.x" +
                    std::to_string(i) + "[0]>1</t.x" + std::to_string(i) + "[0]>\n";
        }
        Many many;
        many.count = count;
        ZELTRecordError error;
        ASSERT_TRUE(readText(text, many, &error)) << count << ": " << error.message;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(many.values[static_cast<size_t>(i)], i) << count;
        }
    }
}

// An unknown field with everything below it is skipped, a raw block whose
// bytes hold closing texts and headers included.
TEST(RecordReading, UnknownSubtreesAreSkippedWhole) {
    const std::string raw = "<t.v>9</t.v>\n<t.new[b]>y</t.new[b]>\n</t.new[a][0]>\n";
    // A name that begins as a field's and goes on past a NUL is another name.
    const char nul[] = "<t.v\0w>6</t.v\0w>\n";
    const std::string text = "<t Name=\"record\">3</t>\n"
                             "<t.new Name=\"map\">2</t.new>\n"
                             "<t.new[a] Name=\"list\">1</t.new[a]>\n"
                             "<t.new[a][0] Name=\"bytes\" Idx=\"" +
                             std::to_string(raw.size()) + "\">" + raw + "</t.new[a][0]>\n" +
                             "<t.new[b]>x</t.new[b]>\n"
                             "<t.v>5</t.v>\n" +
                             std::string(nul, sizeof nul - 1);
    Holder<int> got;
    ZELTRecordError error;
    ASSERT_TRUE(readText(text, got, &error)) << error.message;
    EXPECT_EQ(got.v, 5);
}

struct Node {
    std::vector<Node> kids;
    template <class Fields>
    void fields(Fields& f) {
        f("kids", kids);
    }
};

// A chain of @p nodes nodes: two levels each, the record and its list.
Node chain(int nodes) {
    Node root;
    Node* last = &root;
    for (int i = 1; i < nodes; ++i) {
        last = &last->kids.emplace_back();
    }
    return root;
}

// Nesting up to the reader's depth limit reads; one level more is refused,
// but skipped as an unknown field it reads.
TEST(RecordReading, NestingAtTheDepthLimit) {
    const struct {
        std::string text;
        bool read;
    } rows[] = {{written(std::vector<Node>{chain(99)}), true},  // 199 levels
                {written(chain(100)), true},                   // 200
                {written(std::vector<Node>{chain(100)}), false}};
    for (const auto& row : rows) {
        std::vector<Node> list;
        Node node;
        ZELTRecordError error;
        const bool record = row.text.rfind("<t Name=\"record\">", 0) == 0;
        EXPECT_EQ(record ? readText(row.text, node, &error) : readText(row.text, list, &error), row.read);
        EXPECT_EQ(error.reason, row.read ? ZELTRecordError::none : ZELTRecordError::badValue);
    }
    Node node;
    EXPECT_TRUE(readText(written(Holder<std::vector<Node>>{{chain(150)}}), node));
}

struct Refusal {
    const char* text;
    ZELTRecordError::Reason reason;
    const char* path;
    long line, column;
};

// Each refusal: its reason, the path of the field, the position of the
// refused element; and the marker back where reading began.
TEST(RecordReading, RefusalsSayWhatAndWhere) {
    const Refusal rows[] = {
        {"", ZELTRecordError::endOfText, "t", 1, 1},
        {"x<t>1</t>\n", ZELTRecordError::notAnElement, "t", 1, 1},
        {"<u>1</u>\n", ZELTRecordError::otherTag, "t", 1, 1},
        {"<t Bad=\"1\">1</t>\n", ZELTRecordError::attributes, "t", 1, 1},
        {"<t>1</t>", ZELTRecordError::noClosingText, "t", 1, 1},
        {"<t>1</t>\n", ZELTRecordError::badValue, "t", 1, 1},
        {"<t Name=\"record\">1</t>\n<t.v>1.5</t.v>\n", ZELTRecordError::badValue, "t.v", 2, 1},
        {"<t Name=\"record\">2</t>\n<t.v>1</t.v>\n", ZELTRecordError::endOfText, "t", 3, 1},
        {"<t Name=\"record\">1</t>\n<u.v>1</u.v>\n", ZELTRecordError::otherTag, "t", 2, 1},
        {"<t Name=\"record\">1</t>\n<t.v Name=\"x\">1</t.v>\n", ZELTRecordError::attributes, "t.v", 2, 1},
        {"<t Name=\"record\">1</t>\n<t.v Name=\"list\">0</t.v>\n", ZELTRecordError::badValue, "t.v", 2, 1},
        {"<t Name=\"record\">1</t>\n<t.v Name=\"bytes\" Idx=\"1\">1</t.v>\n", ZELTRecordError::badValue, "t.v", 2, 1},
        {"<t Name=\"record\">1</t>\n<t.v Name=\"bytes\" Idx=\"5\">1</t.v>\n", ZELTRecordError::noClosingText, "t.v",
         2, 1},
        {"<t Name=\"list\">1</t>\n", ZELTRecordError::badValue, "t", 1, 1},
        {"<t Name=\"record\">-1</t>\n", ZELTRecordError::badValue, "t", 1, 1},
        // A count no text of this size could hold, at its edge: one per byte left is too many.
        {"<t Name=\"record\">12</t>\n<t.v>1</t.v>\n", ZELTRecordError::endOfText, "t", 3, 1},
        {"<t Name=\"record\">13</t>\n<t.v>1</t.v>\n", ZELTRecordError::endOfText, "t", 3, 1},
        {"<t Name=\"record\">14</t>\n<t.v>1</t.v>\n", ZELTRecordError::badValue, "t", 1, 1},
    };
    for (const Refusal& row : rows) {
        Holder<int> got;
        got.v = 4;
        ZELTRecordError error;
        EXPECT_FALSE(readText(row.text, got, &error)) << row.text;
        EXPECT_EQ(error.reason, row.reason) << row.text << error.message;
        EXPECT_EQ(error.path, row.path) << row.text;
        EXPECT_EQ(error.line, row.line) << row.text;
        EXPECT_EQ(error.column, row.column) << row.text;
        EXPECT_EQ(error.message.rfind("line " + std::to_string(row.line) + ", column 1: " + row.path + ": ", 0), 0u)
            << error.message;
    }
    ZELTRecordError error;
    std::vector<int> list;
    EXPECT_FALSE(readText("<t Name=\"list\">2</t>\n<t[0]>1</t[0]>\n<t[1]>1.5</t[1]>\n", list, &error));
    EXPECT_EQ(error.message, "line 3, column 1: t[1]: expected an int, found \"1.5\"");
    EXPECT_EQ(error.offset, 36);
}

// Strict values: exactly a value of the field's type, or badValue.
TEST(RecordReading, ValuesAreStrict) {
    for (const char* text : {"", " 1", "1 ", "+1", "abc", "1.5", "0x10", "1e3", "2147483648", "-2147483649"}) {
        int value = 0;
        EXPECT_FALSE(readText("<t>" + std::string(text) + "</t>\n", value)) << text;
    }
    for (const char* text : {"2", "-1", "true", ""}) {
        bool value = false;
        EXPECT_FALSE(readText("<t>" + std::string(text) + "</t>\n", value)) << text;
    }
    for (const char* text : {"", "1e999", "0x1p3", " 1", "+1", "1,5"}) {
        double value = 0;
        EXPECT_FALSE(readText("<t>" + std::string(text) + "</t>\n", value)) << text;
    }
    for (const char* key : {"[%4]", "[%zz]", "[a]b]", "a]"}) {
        std::map<std::string, int> value;
        const std::string tag = std::string("t[") + key;
        EXPECT_FALSE(readText("<t Name=\"map\">1</t>\n<t" + std::string(key) + ">1</t" + key + ">\n", value)) << key;
    }
    std::map<short, int> small;
    EXPECT_FALSE(readText("<t Name=\"map\">1</t>\n<t[32768]>1</t[32768]>\n", small));
}

// Reading never runs away: headers claiming more children than the text
// holds end in a refusal, skipped or read.
TEST(RecordReading, ClaimedCountsAreBounded) {
    const auto claims = [](const std::string& field) {
        std::string text = "<t Name=\"record\">1</t>\n";
        for (int i = 0; i < 2000; ++i) {
            text += "<t." + field + " Name=\"list\">100</t." + field + ">\n";
        }
        return text;
    };
    Holder<int> skipping;
    Holder<std::vector<std::vector<int>>> reading;
    ZELTRecordError error;
    EXPECT_FALSE(readText(claims("u"), skipping, &error));
    EXPECT_EQ(error.reason, ZELTRecordError::badValue) << error.message;
    EXPECT_FALSE(readText(claims("v"), reading, &error));
    EXPECT_EQ(error.reason, ZELTRecordError::otherTag) << error.message;
}

} // namespace
