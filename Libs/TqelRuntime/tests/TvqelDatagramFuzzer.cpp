// libFuzzer entry: arbitrary bytes through the sentence parser in both modes and every getter.
#include "TqelRuntime/TvqelDatagram.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Seeds from the test vectors, written where the run's corpus is.
void writeSeeds(const char* const* aszSeeds, std::size_t nCount)
{
    const char* szDir = std::getenv("CORV_FUZZ_SEED_DIR");
    if (!szDir)
        return;
    for (std::size_t i = 0; i < nCount; ++i) {
        const std::string strPath = std::string(szDir) + "/seed-" + std::to_string(i);
        if (std::FILE* pFile = std::fopen(strPath.c_str(), "wb")) {
            std::fputs(aszSeeds[i], pFile);
            std::fclose(pFile);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static const char* const s_aszSeeds[] = {"$TVQEL,450,1,2\n\r", "$TVQEL,450,1,2*47\n\r", "$TVQEL,,5,12abc,abc,1.5e2\n\r", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"};
    writeSeeds(s_aszSeeds, sizeof s_aszSeeds / sizeof s_aszSeeds[0]);
    return 0;
}

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
