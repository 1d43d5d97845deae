// The link's framing on an arbitrary byte stream cut into arbitrary segments, each payload read
// as a file record.
#include "QelRecord/QelData.h"
#include "cvnsocktcp/framing.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A small body limit keeps runs fast; the logic is the same at any limit.
    static ua::cvnsocktcp::frame_assembler frames(1 << 16);
    frames.reset();
    // The first byte seeds the segment sizes.
    if (size == 0)
        return 0;
    unsigned seed = data[0];
    std::size_t at = 1;
    while (at < size) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t segment = std::min<std::size_t>(size - at, 1 + (seed >> 16) % 97);
        std::size_t used = 0;
        while (used < segment) {
            const auto place = frames.prepare();
            if (place.second == 0)
                __builtin_trap();
            const std::size_t n = std::min(place.second, segment - used);
            std::memcpy(place.first, data + at + used, n);
            used += n;
            const auto result = frames.commit(n);
            if (result == ua::cvnsocktcp::frame_assembler::result::oversized)
                return 0;
            if (result == ua::cvnsocktcp::frame_assembler::result::frame) {
                const auto body = frames.body();
                CQelData::deserialize(body.data(), body.size());
            }
        }
        at += segment;
    }
    return 0;
}
