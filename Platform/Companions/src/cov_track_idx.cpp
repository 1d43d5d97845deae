// Stand-in of the coverage index tool "CovTrackIdx.exe": records how it was started, then writes
// one coverage index file "<raw folder>/index/<name>.json" for each raw file "<name>.qxall" of
// the raw folder.
//
//   CovTrackIdx.exe <raw folder> <survey folder> <mode>
//
// A raw file of the stand-ins is text, one sounding a line: "latitude,longitude,height". Its
// coverage is one feature whose "coordinates" are the soundings as [longitude, latitude].
// Exit code 0 when every index file was written, 2 for missing arguments or raw folder, 3 when
// a file could not be read or written.
#include "companion_record.h"
#include "qxall_text.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    companion::record(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: CovTrackIdx.exe <raw folder> <survey folder> <mode>\n");
        return 2;
    }
    const QDir oRaw(QString::fromLocal8Bit(argv[1]));
    if (!oRaw.exists()) {
        std::fprintf(stderr, "CovTrackIdx.exe: no raw folder %s\n", argv[1]);
        return 2;
    }
    if (!oRaw.mkpath(QStringLiteral("index")))
        return 3;
    int nResult = 0;
    for (const QFileInfo& oInfo : oRaw.entryInfoList({QStringLiteral("*.qxall")}, QDir::Files, QDir::Name)) {
        std::vector<qxall::Sounding> vSoundings;
        if (!qxall::readSoundings(oInfo.filePath(), vSoundings)) {
            nResult = 3;
            continue;
        }
        QJsonArray aCoordinates;
        for (const qxall::Sounding& oSounding : vSoundings)
            aCoordinates.append(QJsonArray{oSounding.longitude, oSounding.latitude});
        const QJsonObject oFeature{
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("geometry"),
             QJsonObject{{QStringLiteral("type"), QStringLiteral("LineString")}, {QStringLiteral("coordinates"), aCoordinates}}},
        };
        const QJsonObject oIndex{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                                 {QStringLiteral("features"), QJsonArray{oFeature}}};
        QSaveFile oFile(oRaw.filePath(QStringLiteral("index/") + oInfo.completeBaseName() + QStringLiteral(".json")));
        if (!oFile.open(QIODevice::WriteOnly) || oFile.write(QJsonDocument(oIndex).toJson(QJsonDocument::Compact)) < 0
            || !oFile.commit())
            nResult = 3;
    }
    return nResult;
}
