// libFuzzer entry: arbitrary bytes through the "$PQQEL" parser and every getter.
#include "MapView/QaDatagram.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strText(reinterpret_cast<const char*>(pData), nSize);
    const CQaDatagram oDatagram(strText.c_str());
    oDatagram.getCommandId();
    std::string strField;
    for (int i = -1; i < 8; ++i)
        oDatagram.getField(i, strField);
    return 0;
}
