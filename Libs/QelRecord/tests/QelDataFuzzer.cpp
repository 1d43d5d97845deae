// The file record reader on arbitrary bytes.
#include "QelRecord/QelData.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const auto poRecord = CQelData::deserialize(reinterpret_cast<const char*>(pData), nSize);
    if (poRecord) {
        // What was read packs again and reads back the same.
        const auto poAgain = CQelData::deserialize(poRecord->serialize());
        if (!poAgain || poAgain->Data != poRecord->Data || poAgain->MessageType != poRecord->MessageType)
            __builtin_trap();
    }
    return 0;
}
