#ifndef ZELT_RECORD_SUPPORT_H
#define ZELT_RECORD_SUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "ZELTRecord.h"
#include "test_support.h"

namespace zelt_test {

// A record of one field, named "v", of any type.
template <typename T>
struct Holder {
    T v{};
    template <class Fields>
    void fields(Fields& f) {
        f("v", v);
    }
};

// Writes @p value as @p tag into a new text.
template <typename T>
std::string written(const T& value, const char* tag = "t") {
    const auto fx = makeFormatter();
    ZELT::ZELTBuffer out;
    EXPECT_TRUE(ZELT::writeValue(*fx, out, tag, value)) << tag;
    return contentOf(out);
}

// Reads @p text as @p tag into @p value; on success the whole text was read.
template <typename T>
bool readText(const std::string& text, T& value, ZELT::ZELTRecordError* error = nullptr, const char* tag = "t") {
    const auto fx = makeFormatter();
    ZELT::ZELTBuffer in;
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    const bool ok = ZELT::readValue(*fx, in, tag, value, error);
    EXPECT_EQ(in.getMarkerPos(), ok ? in.getBufferSize() : 0) << "the marker after reading";
    return ok;
}

// Writes @p value and reads it back into a default-made T.
template <typename T>
T roundTrip(const T& value, const char* tag = "t") {
    T got{};
    ZELT::ZELTRecordError error;
    EXPECT_TRUE(readText(written(value, tag), got, &error, tag)) << error.message;
    return got;
}

} // namespace zelt_test

#endif
