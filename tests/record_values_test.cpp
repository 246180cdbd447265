// Every supported type written by writeValue and read back by readValue,
// at the edges of each, and plain values written as the typed writers write them.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "record_support.h"

using zelt_test::contentOf;
using zelt_test::Holder;
using zelt_test::makeFormatter;
using zelt_test::readText;
using zelt_test::roundTrip;
using zelt_test::written;

namespace {

template <typename T>
class RecordIntegers : public ::testing::Test {};
using IntegerTypes = ::testing::Types<bool, char, signed char, unsigned char, short, unsigned short, int, unsigned,
                                      long, unsigned long, long long, unsigned long long, char16_t, char32_t>;
TYPED_TEST_SUITE(RecordIntegers, IntegerTypes, );

TYPED_TEST(RecordIntegers, RoundTripAtTheEdges) {
    using Limits = std::numeric_limits<TypeParam>;
    const TypeParam values[] = {Limits::min(), Limits::max(), TypeParam(0), TypeParam(1), TypeParam(Limits::max() / 3)};
    for (const TypeParam value : values) {
        EXPECT_EQ(roundTrip(value), value);
        EXPECT_EQ(roundTrip(Holder<TypeParam>{value}).v, value);
    }
}

// Decimal digits one greater.
std::string plusOne(std::string digits) {
    size_t at = digits.size();
    while (at > 0 && digits[at - 1] == '9') {
        digits[--at] = '0';
    }
    return at == 0 ? "1" + digits : (++digits[at - 1], digits);
}

// Each end of the type's range reads; one step past it is refused, never wrapped.
TYPED_TEST(RecordIntegers, RangeEdgesExactly) {
    using Limits = std::numeric_limits<TypeParam>;
    const std::string max = std::to_string(static_cast<unsigned long long>(Limits::max()));
    const std::string minMagnitude = std::to_string(0ull - static_cast<unsigned long long>(Limits::min()));
    const std::string min = std::is_signed_v<TypeParam> ? "-" + minMagnitude : "0";
    const std::string rows[][2] = {{max, "read"}, {plusOne(max), "refused"}, {min, "read"},
                                   {std::is_signed_v<TypeParam> ? "-" + plusOne(minMagnitude) : "-1", "refused"}};
    for (const auto& row : rows) {
        TypeParam value{};
        ZELT::ZELTRecordError error;
        const bool read = readText("<t>" + row[0] + "</t>\n", value, &error);
        EXPECT_EQ(read, row[1] == std::string("read")) << row[0];
        EXPECT_EQ(error.reason, read ? ZELT::ZELTRecordError::none : ZELT::ZELTRecordError::badValue) << row[0];
    }
}

enum class Colour : unsigned char { red = 1, blue = 200 };

TEST(RecordValues, EnumsAreTheirUnderlyingInteger) {
    EXPECT_EQ(written(Colour::blue), "<t>200</t>\n");
    EXPECT_EQ(roundTrip(Colour::blue), Colour::blue);
}

// A plain value written either way reads back either way.
TEST(RecordValues, PlainValuesAreWhatTheTypedWritersWrite) {
    const auto fx = makeFormatter();
    using Buffer = ZELT::ZELTBuffer;
    const struct {
        std::string record;
        bool (*typed)(ZELT::ZELTFx&, Buffer&);
    } rows[] = {
        {written(42, "count"), [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeInt32_t(42, "count", o); }},
        {written(char(-1), "c"), [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeChar(char(-1), "c", o); }},
        {written(static_cast<unsigned char>(255), "u"),
         [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeUChar(255, "u", o); }},
        {written(true, "b"), [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeBool(true, "b", o); }},
        {written(std::numeric_limits<long>::min(), "a|b"),
         [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeInt64_t(std::numeric_limits<long>::min(), "a|b", o); }},
        {written(std::numeric_limits<unsigned long>::max(), "n"),
         [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeUInt64_t(~0ul, "n", o); }},
        {written(std::string("Ada <b>"), "name"),
         [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeString("Ada <b>", "name", o); }},
        {written("Ada", "name"), [](ZELT::ZELTFx& f, Buffer& o) { return f.serializeString("Ada", "name", o); }},
    };
    for (const auto& row : rows) {
        ZELT::ZELTBuffer out;
        ASSERT_TRUE(row.typed(*fx, out));
        EXPECT_EQ(row.record, contentOf(out));
    }
    int count = 0;
    ZELT::ZELTBuffer in;
    in = written(42, "count").c_str();
    EXPECT_TRUE(fx->deserializeInt32_t("count", in, count));
    EXPECT_EQ(count, 42);
}

TEST(RecordValues, FloatsReadBackBitForBit) {
    using D = std::numeric_limits<double>;
    using F = std::numeric_limits<float>;
    for (const double value : {0.0, -0.0, 0.1, D::denorm_min(), -D::denorm_min(), D::min(), D::max(), D::lowest(),
                               D::epsilon(), D::infinity(), -D::infinity(), D::quiet_NaN(), -D::quiet_NaN()}) {
        const double got = roundTrip(value);
        EXPECT_EQ(std::signbit(got), std::signbit(value)) << value;
        EXPECT_TRUE(got == value || (std::isnan(got) && std::isnan(value))) << value;
    }
    for (const float value : {-0.0f, 0.1f, F::denorm_min(), F::max(), F::lowest(), F::infinity()}) {
        const float got = roundTrip(value);
        EXPECT_EQ(std::signbit(got), std::signbit(value)) << value;
        EXPECT_EQ(got, value);
    }
    EXPECT_EQ(written(0.1), "<t>0.1</t>\n");
    EXPECT_EQ(written(-0.0), "<t>-0</t>\n");
}

// Any bytes: those that hold their closing text, whole or begun within the
// value, go as a raw block; all come back exactly.
TEST(RecordValues, StringsOfAnyBytes) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte += static_cast<char>(b);
    }
    const std::string rows[] = {"", std::string("a\0b", 3), "<", "</t>", "</t>\n", "x</t>\nrest", "</t", "</t>\n</t>\n",
                                "<t>", everyByte, everyByte + "</t>\n" + everyByte, std::string(70000, '<')};
    for (const std::string& value : rows) {
        EXPECT_EQ(roundTrip(value), value) << written(value);
        EXPECT_EQ(roundTrip(Holder<std::string>{value}).v, value);
    }
    EXPECT_EQ(written(std::string("a</t>\nb")), "<t Name=\"bytes\" Idx=\"7\">a</t>\nb</t>\n");
}

// Writing sends values of 64 KiB and more straight to the buffer, the rest
// composed with their tags: values one below, at and one above that size, as
// a plain element and as a raw block, between smaller ones.
TEST(RecordValues, ValuesAtTheDirectSize) {
    for (const size_t length : {65535u, 65536u, 65537u}) {
        for (const std::string& tail : {std::string(), std::string("</t[1]>\n")}) {
            const std::string big = std::string(length - tail.size(), 'v') + tail;
            const std::vector<std::string> values = {"a", big, "b", big};
            EXPECT_EQ(roundTrip(values), values) << length;
            const std::string attributes = tail.empty() ? "" : " Name=\"bytes\" Idx=\"" + std::to_string(length) + "\"";
            EXPECT_NE(written(values).find("<t[1]" + attributes + ">" + big + "</t[1]>\n<t[2]>b</t[2]>\n"),
                      std::string::npos);
        }
    }
}

TEST(RecordValues, RawBytesAreOneRawBlock) {
    const std::vector<std::byte> bytes = {std::byte{0}, std::byte{'<'}, std::byte{0xff}};
    const char expected[] = "<t Name=\"bytes\" Idx=\"3\">\0<\xff</t>\n";
    EXPECT_EQ(written(bytes), std::string(expected, sizeof expected - 1));
    EXPECT_EQ(roundTrip(bytes), bytes);
    const std::vector<unsigned char> closing = {'<', '/', 't', '>', '\n'};
    EXPECT_EQ(roundTrip(closing), closing);
    EXPECT_EQ(roundTrip(std::vector<unsigned char>{}), std::vector<unsigned char>{});
}

TEST(RecordValues, ContainersEmptyAndHuge) {
    std::vector<long> huge(100000);
    for (size_t i = 0; i < huge.size(); ++i) {
        huge[i] = static_cast<long>(i * 7919) - 50000;
    }
    EXPECT_EQ(roundTrip(huge), huge);
    EXPECT_EQ(written(std::vector<int>{}), "<t Name=\"list\">0</t>\n");
    // An empty container read replaces what the destination held.
    std::vector<int> full = {1, 2};
    EXPECT_TRUE(readText(written(std::vector<int>{}), full));
    EXPECT_TRUE(full.empty());
    const std::array<std::deque<std::list<int>>, 2> nested = {{{{1, 2}, {}}, {}}};
    EXPECT_EQ(roundTrip(nested), nested);
    const std::set<std::string> names = {"", "a", "b</t[0]>\n"};
    EXPECT_EQ(roundTrip(names), names);
    const std::pair<int, std::vector<std::string>> pair = {3, {"x", "y"}};
    EXPECT_EQ(roundTrip(pair), pair);
}

// Map keys of every byte, and integer keys at their edges, come back exact.
TEST(RecordValues, MapKeysOfAnyBytes) {
    std::map<std::string, int> keys = {{"", -1}, {"HOME", 0}};
    std::string all;
    for (int b = 0; b < 256; ++b) {
        keys[std::string(1, static_cast<char>(b))] = b;
        all += static_cast<char>(b);
    }
    keys[all] = 256;
    EXPECT_EQ(roundTrip(keys), keys);
    EXPECT_NE(written(keys).find("<t[HOME]>0</t[HOME]>\n"), std::string::npos);
    const std::unordered_map<long long, std::string> numbers = {{std::numeric_limits<long long>::min(), "min"},
                                                                {std::numeric_limits<long long>::max(), "max"}};
    EXPECT_EQ(roundTrip(numbers), numbers);
    const std::map<unsigned char, std::optional<int>> small = {{0, 1}, {255, std::nullopt}};
    EXPECT_EQ(roundTrip(small), (std::map<unsigned char, std::optional<int>>{{0, 1}}));
}

TEST(RecordValues, OptionalWritesNothingWhenEmpty) {
    EXPECT_EQ(written(std::optional<int>{}), "");
    EXPECT_EQ(written(Holder<std::optional<int>>{}), "<t Name=\"record\">0</t>\n");
    EXPECT_EQ(roundTrip(std::optional<int>{5}), std::optional<int>{5});
    std::optional<int> held = 5;
    EXPECT_TRUE(readText("", held));
    EXPECT_FALSE(held);
}

struct Everything {
    bool b = true;
    char c = 'x';
    std::uint64_t u = ~0ull;
    double d = -0.5;
    std::string s = "</t.s>\n";
    std::vector<Holder<int>> items = {{1}, {2}};
    std::map<std::string, std::vector<std::string>> env = {{"PATH", {"/bin", "</x>"}}};
    std::optional<std::pair<int, int>> pair = std::pair<int, int>{1, 2};
    std::vector<std::byte> raw = {std::byte{0}};
    template <class Fields>
    void fields(Fields& f) {
        f("b", b), f("c", c), f("u", u), f("d", d), f("s", s), f("items", items), f("env", env), f("pair", pair),
            f("raw", raw);
    }
    bool operator==(const Everything& o) const {
        return b == o.b && c == o.c && u == o.u && d == o.d && s == o.s && items.size() == o.items.size() &&
               items[1].v == o.items[1].v && env == o.env && pair == o.pair && raw == o.raw;
    }
};

// Tags of the compound name's 255-byte limit and past it, at its edge, for
// every type, with a record nested inside a long path.
TEST(RecordValues, PathsAcrossTheCompoundNameLimit) {
    for (const size_t length : {254u, 255u, 256u, 300u, 70000u}) {
        const std::string tag(length, 'p');
        Everything value;
        value.b = false;
        value.env["k"] = {"v"};
        Everything got;
        got.b = true;
        got.u = 0;
        EXPECT_TRUE(readText(written(value, tag.c_str()), got, nullptr, tag.c_str())) << length;
        EXPECT_EQ(got, value) << length;
    }
}

struct Named {
    const char* name;
    std::optional<int> value; // a bad name is refused even where nothing is written
    int ok = 1;
    template <class Fields>
    void fields(Fields& f) {
        f("ok", ok), f(name, value);
    }
};

// A bad name is refused when written, and nothing is appended.
TEST(RecordValues, BadNamesAreRefusedWholly) {
    const auto fx = makeFormatter();
    for (const char* name : {"", "a.b", "a[", "a]", "a|b", "a b", "a<", "a>", "a\""}) {
        ZELT::ZELTBuffer out;
        out = "kept";
        for (const std::optional<int> value : {std::optional<int>(2), std::optional<int>()}) {
            EXPECT_FALSE(ZELT::writeValue(*fx, out, "t", Named{name, value})) << name;
            EXPECT_EQ(contentOf(out), "kept");
        }
    }
    for (const char* tag : {"", "a b", "a>b"}) {
        ZELT::ZELTBuffer out;
        EXPECT_FALSE(ZELT::writeValue(*fx, out, tag, 1)) << tag;
        EXPECT_EQ(out.getBufferSize(), 0);
    }
    ZELT::ZELTBuffer out;
    EXPECT_TRUE(ZELT::writeValue(*fx, out, "a.b[1]|x", Holder<int>{}));
}

} // namespace
