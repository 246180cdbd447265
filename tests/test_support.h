#ifndef ZELT_TEST_SUPPORT_H
#define ZELT_TEST_SUPPORT_H

#include <memory>
#include <string>
#include <vector>

#include "ZELTFx.h"

namespace zelt_test {

// The whole content, NUL bytes included.
inline std::string contentOf(const ZELT::ZELTBuffer& buffer) {
    const char* const text = buffer.getBufferString();
    return text == nullptr ? std::string() : std::string(text, static_cast<size_t>(buffer.getBufferSize()));
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

} // namespace zelt_test

#endif
