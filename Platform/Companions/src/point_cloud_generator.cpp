// Stand-in of the point-cloud generator "QxallPointCloudGenerator.exe": records how it was
// started, waits a little like the real generator, then writes the soundings of the listed raw
// files that lie inside the crop polygon.
//
//   QxallPointCloudGenerator.exe -f <raw folder>/ -o <output folder> -d <work folder>
//
// The work folder holds "Processfiles.txt" (raw file names, each followed by ",") and
// "cropPolygon.json" (a feature collection with one Polygon of [longitude, latitude] corners).
// Each listed raw file "<name>.qxall" (see qxall_text.h) gives "<output folder>/<name>.csv" with
// the lines "latitude,longitude,height" of its soundings inside the polygon. The wait before
// writing is $CORV_GENERATOR_DELAY_MS milliseconds (default 1000).
// Exit code 0, 2 for missing arguments, 3 when a file could not be read or written.
#include "companion_record.h"
#include "qxall_text.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPolygonF>
#include <QSaveFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QString option(int argc, char* argv[], const char* szName)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], szName) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return QString();
}

// The first polygon ring of the crop file, as (longitude, latitude) points.
QPolygonF cropPolygon(const QString& strPath)
{
    QFile oFile(strPath);
    QPolygonF oPolygon;
    if (!oFile.open(QIODevice::ReadOnly))
        return oPolygon;
    const QJsonArray aFeatures = QJsonDocument::fromJson(oFile.readAll()).object().value(QLatin1String("features")).toArray();
    for (const QJsonValue& vFeature : aFeatures) {
        const QJsonObject oGeometry = vFeature.toObject().value(QLatin1String("geometry")).toObject();
        if (oGeometry.value(QLatin1String("type")).toString() != QLatin1String("Polygon"))
            continue;
        for (const QJsonValue& vPosition : oGeometry.value(QLatin1String("coordinates")).toArray().at(0).toArray()) {
            const QJsonArray aPosition = vPosition.toArray();
            oPolygon << QPointF(aPosition.at(0).toDouble(), aPosition.at(1).toDouble());
        }
        break;
    }
    return oPolygon;
}

} // namespace

int main(int argc, char* argv[])
{
    companion::record(argc, argv);
    const QString strRaw = option(argc, argv, "-f");
    const QString strOutput = option(argc, argv, "-o");
    const QString strWork = option(argc, argv, "-d");
    if (strRaw.isEmpty() || strOutput.isEmpty() || strWork.isEmpty()) {
        std::fprintf(stderr, "usage: QxallPointCloudGenerator.exe -f <raw folder>/ -o <output folder> -d <work folder>\n");
        return 2;
    }
    const char* szDelay = std::getenv("CORV_GENERATOR_DELAY_MS");
    QThread::msleep(szDelay ? static_cast<unsigned long>(std::strtoul(szDelay, nullptr, 10)) : 1000UL);

    QFile oList(QDir(strWork).filePath(QStringLiteral("Processfiles.txt")));
    if (!oList.open(QIODevice::ReadOnly))
        return 3;
    const QStringList lstFiles = QString::fromLocal8Bit(oList.readAll()).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QPolygonF oCrop = cropPolygon(QDir(strWork).filePath(QStringLiteral("cropPolygon.json")));
    QDir().mkpath(strOutput);
    int nResult = 0;
    for (const QString& strFile : lstFiles) {
        std::vector<qxall::Sounding> vSoundings;
        if (!qxall::readSoundings(QDir(strRaw).filePath(strFile.trimmed()), vSoundings)) {
            nResult = 3;
            continue;
        }
        QByteArray baText;
        for (const qxall::Sounding& oSounding : vSoundings) {
            if (!oCrop.containsPoint(QPointF(oSounding.longitude, oSounding.latitude), Qt::OddEvenFill))
                continue;
            baText += QByteArray::number(oSounding.latitude, 'f', 9) + ',' + QByteArray::number(oSounding.longitude, 'f', 9)
                + ',' + QByteArray::number(oSounding.height, 'f', 3) + '\n';
        }
        QSaveFile oOut(QDir(strOutput).filePath(strFile.trimmed().section(QLatin1Char('.'), 0, 0) + QStringLiteral(".csv")));
        if (!oOut.open(QIODevice::WriteOnly) || oOut.write(baText) < 0 || !oOut.commit())
            nResult = 3;
    }
    return nResult;
}
