// libFuzzer entry: arbitrary bytes through the sentence parser in both modes and every getter.
#include "TqelRuntime/TvqelDatagram.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strLine(reinterpret_cast<const char*>(pData), nSize);
    for (const bool bLineFeedMode : {false, true}) {
        CTvqelDatagram oSentence(strLine.c_str(), bLineFeedMode);
        for (int i = -1; i < 10; ++i) {
            int nValue = 0;
            float fValue = 0;
            std::string strText;
            oSentence.getInt(i, &nValue);
            oSentence.getFloat(i, &fValue);
            oSentence.getString(i, strText);
        }
    }
    return 0;
}
