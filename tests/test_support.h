#ifndef ZELT_TEST_SUPPORT_H
#define ZELT_TEST_SUPPORT_H

#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZELTFx.h"

namespace zelt_test {

// The whole content, NUL bytes included.
inline std::string contentOf(const ZELT::ZELTBuffer& buffer) {
    const char* const text = buffer.getBufferString();
    return text == nullptr ? std::string() : std::string(text, static_cast<size_t>(buffer.getBufferSize()));
}

// Everything a caller can observe of a buffer: its area up to the capacity
// (the content and the zero tail), its size and its marker.
struct BufferState {
    bool hasArea = false;
    long size = 0;
    long capacity = 0;
    long marker = 0;
    std::string area;

    template <typename Buffer>
    explicit BufferState(const Buffer& buffer)
        : hasArea(buffer.getBufferString() != nullptr), size(buffer.getBufferSize()),
          capacity(buffer.getBufReserveSize()), marker(buffer.getMarkerPos()) {
        if (hasArea) {
            area.assign(buffer.getBufferString(), static_cast<size_t>(capacity));
        }
    }
    bool operator==(const BufferState& other) const {
        return hasArea == other.hasArea && size == other.size && capacity == other.capacity &&
               marker == other.marker && area == other.area;
    }
};

inline std::ostream& operator<<(std::ostream& out, const BufferState& state) {
    return out << (state.hasArea ? "{" : "{no area, ") << "size " << state.size << ", capacity " << state.capacity
               << ", marker " << state.marker << "}";
}

// A formatter ready to write and read.
inline std::unique_ptr<ZELT::ZELTFx> makeFormatter(long convBufferSize = 0) {
    ZELT::ZELTFx* created = nullptr;
    ZELT::ZELTFx::instantiate(created, 0);
    std::unique_ptr<ZELT::ZELTFx> fx(created);
    char* const unused = nullptr;
    fx->setConvBuffer(unused, convBufferSize);
    return fx;
}

// Not exactly a ZELTBuffer, but the same in every way: code that treats a
// plain ZELTBuffer specially takes its general way for it.
class DerivedBuffer : public ZELT::ZELTBuffer {};

// A handle that refuses the operations its switches name, as a derived
// buffer may; everything else it does as a ZELTBuffer.
class RefusingBuffer : public ZELT::ZELTBuffer {
public:
    bool refusesAppendString = false;
    bool refusesAppendBufferString = false;
    bool refusesSetBufferString = false;
    bool refusesMarkerAtStart = false;

    bool appendString(const char* text) override {
        return !refusesAppendString && ZELTBuffer::appendString(text);
    }
    bool appendBufferString(const char* source, long length) override {
        return !refusesAppendBufferString && ZELTBuffer::appendBufferString(source, length);
    }
    bool setBufferString(const char* source, long length) override {
        return !refusesSetBufferString && ZELTBuffer::setBufferString(source, length);
    }
    bool setMarkerPos(long position) override {
        return !(refusesMarkerAtStart && position == 0) && ZELTBuffer::setMarkerPos(position);
    }
};

// A handle that records every call a formatter makes on it, in order.
class RecordingBuffer : public ZELT::ZELTBuffer {
public:
    mutable std::vector<std::string> calls;

    bool setBufferString(const char* source, long length) override {
        calls.push_back("setBufferString:" + std::string(source, static_cast<size_t>(length)));
        return ZELTBuffer::setBufferString(source, length);
    }
    bool appendBufferString(const char* source, long length) override {
        calls.push_back("appendBufferString:" + std::string(source, static_cast<size_t>(length)));
        return ZELTBuffer::appendBufferString(source, length);
    }
    bool appendString(const char* text) override {
        calls.push_back(std::string("appendString:") + text);
        return ZELTBuffer::appendString(text);
    }
    long getMarkerPos() const override {
        calls.push_back("getMarkerPos");
        return ZELTBuffer::getMarkerPos();
    }
    bool setMarkerPos(long position) override {
        calls.push_back("setMarkerPos:" + std::to_string(position));
        return ZELTBuffer::setMarkerPos(position);
    }
    char* getBufferStringFromMarker() const override {
        calls.push_back("getBufferStringFromMarker");
        return ZELTBuffer::getBufferStringFromMarker();
    }
};

// One scalar type's writer and reader, so typed tests cover all eleven.
template <typename T, bool (ZELT::ZELTFx::*Write)(const T&, const char*, ZELT::ZELTBuffer&),
          bool (ZELT::ZELTFx::*Read)(const char*, ZELT::ZELTBuffer&, T&)>
struct Scalar {
    using Value = T;
    static bool write(ZELT::ZELTFx& fx, const T& value, const char* name, ZELT::ZELTBuffer& out) {
        return (fx.*Write)(value, name, out);
    }
    static bool read(ZELT::ZELTFx& fx, const char* name, ZELT::ZELTBuffer& in, T& value) {
        return (fx.*Read)(name, in, value);
    }
};

using ZELT::ZELTFx;
using BoolScalar = Scalar<bool, &ZELTFx::serializeBool, &ZELTFx::deserializeBool>;
using CharScalar = Scalar<char, &ZELTFx::serializeChar, &ZELTFx::deserializeChar>;
using UCharScalar = Scalar<unsigned char, &ZELTFx::serializeUChar, &ZELTFx::deserializeUChar>;
using Int8Scalar = Scalar<signed char, &ZELTFx::serializeInt8_t, &ZELTFx::deserializeInt8_t>;
using UInt8Scalar = Scalar<unsigned char, &ZELTFx::serializeUInt8_t, &ZELTFx::deserializeUInt8_t>;
using Int16Scalar = Scalar<short, &ZELTFx::serializeInt16_t, &ZELTFx::deserializeInt16_t>;
using UInt16Scalar = Scalar<unsigned short, &ZELTFx::serializeUInt16_t, &ZELTFx::deserializeUInt16_t>;
using Int32Scalar = Scalar<int, &ZELTFx::serializeInt32_t, &ZELTFx::deserializeInt32_t>;
using UInt32Scalar = Scalar<unsigned int, &ZELTFx::serializeUInt32_t, &ZELTFx::deserializeUInt32_t>;
using Int64Scalar = Scalar<long, &ZELTFx::serializeInt64_t, &ZELTFx::deserializeInt64_t>;
using UInt64Scalar = Scalar<unsigned long, &ZELTFx::serializeUInt64_t, &ZELTFx::deserializeUInt64_t>;

using AllScalars = testing::Types<BoolScalar, CharScalar, UCharScalar, Int8Scalar, UInt8Scalar, Int16Scalar,
                                  UInt16Scalar, Int32Scalar, UInt32Scalar, Int64Scalar, UInt64Scalar>;

// The values every scalar type is tried with: 0, 1, -1 (as the type has it), its minimum and maximum.
template <typename T>
std::vector<T> interestingValues() {
    return {T(0), T(1), static_cast<T>(-1), std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
}

} // namespace zelt_test

#endif
