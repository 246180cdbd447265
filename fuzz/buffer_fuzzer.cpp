// Buffer operations against a model.
//
// The input drives a sequence of operations on two handles and two storage
// objects: set and append (from fresh bytes, from the buffer's own content or
// unread text, from the other buffer, or refused sources), reserve, clear,
// marker moves, initialize, tearDown, copy construction and assignment
// (self-assignment included). A model of content, capacity and marker,
// following the documented capacity rules, must match the buffer after every
// step, and every byte from the content's end to the capacity must be zero.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "ZELTBuffer.h"
#include "fuzz_support.h"

namespace {

using ZELT::ZELTBuffer;
using ZELT::ZELTBufferIn;

long growthAllowance(long length) { return 30 * length / 100; }

struct Model {
    std::string content;
    long capacity = 0;
    long marker = 0;

    long size() const { return static_cast<long>(content.size()); }

    void set(const std::string& bytes) {
        const auto length = static_cast<long>(bytes.size());
        if (length >= capacity) {
            capacity = std::max(length + growthAllowance(length), length + 1);
        }
        content = bytes;
        if (marker > length) {
            marker = 0;
        }
    }

    void append(const std::string& bytes) {
        const auto length = static_cast<long>(bytes.size());
        if (capacity <= size() + length + 1) {
            capacity = std::max(capacity + length + growthAllowance(length), size() + length + 1);
        }
        content += bytes;
    }

    void reserve(long request) {
        if (request == 0) {
            capacity = size() + 1;
        } else if (request > capacity) {
            capacity = request;
        }
    }

    bool moveMarker(long position) {
        if (position < 0 || position > size()) {
            return false;
        }
        marker = position;
        return true;
    }

    void clear() {
        content.clear();
        marker = 0;
    }

    // Copy assignment: the content set into an empty buffer, marker 0.
    static Model copyOf(const Model& source) {
        Model copy;
        copy.set(source.content);
        return copy;
    }
};

template <typename Buffer>
void checkMatches(const Buffer& buffer, const Model& model) {
    ZELT_FUZZ_CHECK(buffer.getBufferSize() == model.size());
    ZELT_FUZZ_CHECK(buffer.getBufReserveSize() == model.capacity);
    ZELT_FUZZ_CHECK(buffer.getMarkerPos() == model.marker);
    const char* const area = buffer.getBufferString();
    if (model.capacity == 0) {
        ZELT_FUZZ_CHECK(area == nullptr);
        ZELT_FUZZ_CHECK(buffer.getBufferStringFromMarker() == nullptr);
        return;
    }
    ZELT_FUZZ_CHECK(area != nullptr);
    ZELT_FUZZ_CHECK(buffer.getBufferStringFromMarker() == area + model.marker);
    ZELT_FUZZ_CHECK(model.content.compare(0, model.content.size(), area, model.content.size()) == 0);
    for (long i = model.size(); i < model.capacity; ++i) {
        ZELT_FUZZ_CHECK(area[i] == '\0');
    }
}

// Where a set or append takes its bytes from; @p available are the bytes
// that the pointer may be read for, before the operation changes anything.
struct Source {
    const char* data = nullptr;
    std::string available;
};

template <typename Buffer>
struct Pair {
    Buffer buffers[2];
    Model models[2];
};

template <typename Buffer>
class Steps {
public:
    Steps(FuzzedDataProvider& provider, Pair<Buffer>& pair) : input(provider), pair(pair) {}

    void run() {
        const size_t self = input.ConsumeIntegralInRange<size_t>(0, 1);
        Buffer& buffer = pair.buffers[self];
        Model& model = pair.models[self];
        switch (input.ConsumeIntegralInRange(0, 11)) {
        case 0:
            withLength(self, [&](const char* data, long length) { return buffer.setBufferString(data, length); },
                       [&](const std::string& bytes) { model.set(bytes); });
            break;
        case 1:
            withText(self, [&](const char* text) { return buffer.setString(text); },
                     [&](const std::string& bytes) { model.set(bytes); });
            break;
        case 2:
            withLength(self, [&](const char* data, long length) { return buffer.appendBufferString(data, length); },
                       [&](const std::string& bytes) { model.append(bytes); });
            break;
        case 3:
            withText(self, [&](const char* text) { return buffer.appendString(text); },
                     [&](const std::string& bytes) { model.append(bytes); });
            break;
        case 4: {
            const long request = consumeReserve();
            ZELT_FUZZ_CHECK(buffer.setBufReserveSize(request));
            model.reserve(request);
            break;
        }
        case 5:
            buffer.clearBufferString();
            model.clear();
            break;
        case 6: {
            const long position = input.ConsumeBool() ? input.ConsumeIntegralInRange<long>(-2, model.size() + 2)
                                                      : input.ConsumeIntegral<long>();
            ZELT_FUZZ_CHECK(buffer.setMarkerPos(position) == model.moveMarker(position));
            break;
        }
        case 7:
            ZELT_FUZZ_CHECK(buffer.initialize());
            model.marker = 0;
            break;
        case 8:
            buffer.tearDown();
            model = Model();
            break;
        case 9:
            assign(self, input.ConsumeIntegralInRange<size_t>(0, 1));
            break;
        case 10: {
            // A copy takes nothing; assigning to it then copies the content.
            Buffer copy(buffer);
            checkMatches(copy, Model());
            copy = buffer;
            checkMatches(copy, Model::copyOf(model));
            break;
        }
        default:
            if constexpr (std::is_same_v<Buffer, ZELTBuffer>) {
                withText(self,
                         [&](const char* text) {
                             ZELT_FUZZ_CHECK(&(buffer = text) == &buffer);
                             return text != nullptr;
                         },
                         [&](const std::string& bytes) { model.set(bytes); });
            }
            break;
        }
        checkMatches(pair.buffers[0], pair.models[0]);
        checkMatches(pair.buffers[1], pair.models[1]);
    }

private:
    void assign(size_t target, size_t source) {
        Buffer& buffer = pair.buffers[target];
        buffer = pair.buffers[source];
        // A handle assigned to itself stays as it is; storage copies itself.
        if (target != source || !std::is_same_v<Buffer, ZELTBuffer>) {
            pair.models[target] = Model::copyOf(pair.models[source]);
        }
    }

    Source consumeSource(size_t self) {
        Source source;
        const size_t owner = input.ConsumeIntegralInRange<size_t>(0, 1) == 0 ? self : 1 - self;
        const Buffer& buffer = pair.buffers[owner];
        const Model& model = pair.models[owner];
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            fresh = input.ConsumeRandomLengthString(300);
            source.data = fresh.data();
            source.available = fresh;
            break;
        case 1:
            // The content from any offset: own content aliases the area.
            if (buffer.getBufferString() != nullptr) {
                const auto offset = input.ConsumeIntegralInRange<long>(0, model.size());
                source.data = buffer.getBufferString() + offset;
                source.available = model.content.substr(static_cast<size_t>(offset));
            }
            break;
        case 2:
            source.data = buffer.getBufferStringFromMarker();
            if (source.data != nullptr) {
                source.available = model.content.substr(static_cast<size_t>(model.marker));
            }
            break;
        default:
            break; // null
        }
        return source;
    }

    // Runs a length-taking operation @p call(data, length), also with the
    // lengths it must refuse, and applies @p change(bytes) to the model when
    // it must succeed.
    template <typename Call, typename Change>
    void withLength(size_t self, Call call, Change change) {
        const Source source = consumeSource(self);
        const auto available = static_cast<long>(source.available.size());
        long length = 0;
        bool valid = true;
        switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            length = input.ConsumeIntegralInRange<long>(LONG_MIN, -1);
            valid = false;
            break;
        case 1:
            if (source.data == nullptr) {
                length = input.ConsumeIntegralInRange<long>(1, LONG_MAX);
                valid = false;
            }
            break;
        default:
            length = input.ConsumeIntegralInRange<long>(0, available);
            break;
        }
        ZELT_FUZZ_CHECK(call(source.data, length) == valid);
        if (valid) {
            change(source.available.substr(0, static_cast<size_t>(length)));
        }
    }

    // As withLength for an operation that takes NUL-terminated text.
    template <typename Call, typename Change>
    void withText(size_t self, Call call, Change change) {
        const Source source = consumeSource(self);
        const bool valid = source.data != nullptr;
        ZELT_FUZZ_CHECK(call(source.data) == valid);
        if (valid) {
            change(source.available.c_str());
        }
    }

    long consumeReserve() {
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return 0;
        case 1:
            return input.ConsumeIntegralInRange<long>(LONG_MIN, 0);
        case 2:
            return input.ConsumeIntegralInRange<long>(1, 1 << 16);
        default:
            return input.ConsumeIntegralInRange<long>(1, 600);
        }
    }

    FuzzedDataProvider& input;
    Pair<Buffer>& pair;
    std::string fresh;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Pair<ZELTBuffer> handles;
    Pair<ZELTBufferIn> storage;
    Steps<ZELTBuffer> handleSteps(input, handles);
    Steps<ZELTBufferIn> storageSteps(input, storage);
    while (input.remaining_bytes() > 0) {
        if (input.ConsumeBool()) {
            handleSteps.run();
        } else {
            storageSteps.run();
        }
    }
    return 0;
}
