#include "base64.h"

#include <algorithm>
#include <cstddef>

namespace zelt_tool {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char* putQuantum(char* to, const unsigned char* at, size_t count) {
    const unsigned long bits = static_cast<unsigned long>(at[0]) << 16 |
                               (count > 1 ? static_cast<unsigned long>(at[1]) << 8 : 0) | (count > 2 ? at[2] : 0);
    for (size_t i = 0; i < 4; ++i) {
        *to++ = i <= count ? alphabet[(bits >> (18 - 6 * i)) & 0x3Fu] : '=';
    }
    return to;
}

} // namespace

void writeBase64(Output& out, std::string_view bytes) {
    constexpr size_t chunk = base64Chunk; // padding comes only at the end
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
    while (at < end) {
        const auto* const stop = at + std::min(static_cast<size_t>(end - at), chunk);
        char* to = out.reserve((chunk / 3) * 4);
        while (at < stop) {
            const size_t count = std::min(static_cast<size_t>(stop - at), size_t{3});
            to = putQuantum(to, at, count);
            at += count;
        }
        out.commit(to);
    }
}

} // namespace zelt_tool
