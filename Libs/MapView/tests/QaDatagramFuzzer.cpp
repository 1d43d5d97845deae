// libFuzzer entry: arbitrary bytes through the "$PQQEL" parser and every getter.
#include "MapView/QaDatagram.h"

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
    static const char* const s_aszSeeds[] = {"$PQQEL,CVN_CLOSE_GRID\n\r", "$PQQEL,CVN_ACT_LINE,7,\n\r", "$PQQEL,CVN_OPEN_GRID,C:/qeldata/grids/V/S*3A\n\r", "$PQQEL,,5\n\r"};
    writeSeeds(s_aszSeeds, sizeof s_aszSeeds / sizeof s_aszSeeds[0]);
    return 0;
}

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
