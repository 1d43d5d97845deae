// Both readers over arbitrary bytes: the first byte picks the reader.
#include "ObjectReaders.h"

#include "SurveyUtils/QelGeoJSON.h"

#include <QJsonDocument>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(pData + 1), static_cast<int>(nSize - 1));
    if (pData[0] & 1) {
        int nSkipped = 0;
        for (const orlex_objects::SavedPosition& position : orlex_objects::readSavedPositions(bytes, &nSkipped)) {
            if (!(position.dLatitude >= -90 && position.dLatitude <= 90 && position.time.isValid()))
                __builtin_trap();
        }
    } else {
        // Qt 5.15's JSON parser itself leaks on some malformed documents: only the reader's own
        // work is checked for leaks.
        __lsan_disable();
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        __lsan_enable();
        QString strError;
        for (const CQelGeoJSON& feature : orlex_objects::readGeoJson(document, strError)) {
            if (feature.m_vfPoints.empty() || feature.m_vfPoints.size() % 2 != 0)
                __builtin_trap();
        }
    }
    return 0;
}
