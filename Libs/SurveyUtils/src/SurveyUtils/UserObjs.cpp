#include "SurveyUtils/UserObjs.h"

#include <platform/paths.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {

QJsonArray position(const std::vector<float>& vfPoints, size_t nPair)
{
    return QJsonArray{static_cast<double>(vfPoints[2 * nPair]), static_cast<double>(vfPoints[2 * nPair + 1])};
}

// One [x, y] array per whole pair.
QJsonArray positions(const std::vector<float>& vfPoints)
{
    QJsonArray aPositions;
    for (size_t nPair = 0; nPair < vfPoints.size() / 2; ++nPair)
        aPositions.append(position(vfPoints, nPair));
    return aPositions;
}

// Why a feature can't be written as valid GeoJSON, or null when it can.
const char* geometryFault(const CQelGeoJSON& oObject)
{
    const std::vector<float>& vfPoints = oObject.m_vfPoints;
    if (!std::all_of(vfPoints.begin(), vfPoints.end(), [](float f) { return std::isfinite(f); }))
        return "a coordinate that is not a finite number";
    const size_t nPositions = vfPoints.size() / 2;
    switch (oObject.m_nType) {
    case CQelGeoJSON::POINT:
    case CQelGeoJSON::POINT_SET:
        return nPositions < 1 ? "no position" : nullptr;
    case CQelGeoJSON::LINE:
        return nPositions < 2 ? "a line of fewer than two positions" : nullptr;
    case CQelGeoJSON::POLYGON:
        return nPositions < 3 ? "a polygon of fewer than three positions" : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

CUserObjs::CUserObjs(QObject* poParent)
    : QObject(poParent)
    , m_oPointColor(Qt::darkMagenta)
    , m_oLineColor(Qt::cyan)
    , m_oPolygonColor(Qt::darkCyan)
{
    m_oDatabase.open();
}

void CUserObjs::addObject(const CQelGeoJSON& oObject)
{
    m_voObjects.append(oObject);
    m_bModified = true;
}

bool CUserObjs::writeGeoJson(const QString& strFileName)
{
    // Checked before the file is touched, so an existing file survives an empty export.
    if (m_voObjects.isEmpty())
        return false;

    QJsonArray aFeatures;
    for (const CQelGeoJSON& oObject : qAsConst(m_voObjects)) {
        const std::vector<float>& vfPoints = oObject.m_vfPoints;
        if (const char* szFault = geometryFault(oObject)) {
            qWarning("CUserObjs::writeGeoJson - object %llu not written: %s",
                     static_cast<unsigned long long>(oObject.m_nObjectId), szFault);
            continue;
        }
        QJsonObject oGeometry;
        QJsonObject oProperties;
        oProperties.insert(QStringLiteral("DREMM_ID"), QString::number(oObject.m_nObjectId));
        switch (oObject.m_nType) {
        case CQelGeoJSON::POINT:
            oGeometry.insert(QStringLiteral("type"), QStringLiteral("Point"));
            oGeometry.insert(QStringLiteral("coordinates"), vfPoints.size() >= 2 ? position(vfPoints, 0) : QJsonArray());
            oProperties.insert(QStringLiteral("marker-color"), oObject.m_strColorName);
            if (!oObject.m_strTimestamp.isEmpty())
                oProperties.insert(QStringLiteral("timestamp"), oObject.m_strTimestamp);
            break;
        case CQelGeoJSON::POINT_SET:
            oGeometry.insert(QStringLiteral("type"), QStringLiteral("MultiPoint"));
            oGeometry.insert(QStringLiteral("coordinates"), positions(vfPoints));
            oProperties.insert(QStringLiteral("marker-color"), m_oPointColor.name());
            if (!oObject.m_strTimestamp.isEmpty())
                oProperties.insert(QStringLiteral("timestamp"), oObject.m_strTimestamp);
            break;
        case CQelGeoJSON::LINE:
            oGeometry.insert(QStringLiteral("type"), QStringLiteral("LineString"));
            oGeometry.insert(QStringLiteral("coordinates"), positions(vfPoints));
            oProperties.insert(QStringLiteral("stroke"), oObject.m_strColorName);
            break;
        case CQelGeoJSON::POLYGON: {
            QJsonArray aRings; // one ring, as stored: no closing position added
            aRings.append(positions(vfPoints));
            oGeometry.insert(QStringLiteral("type"), QStringLiteral("Polygon"));
            oGeometry.insert(QStringLiteral("coordinates"), aRings);
            oProperties.insert(QStringLiteral("stroke"), oObject.m_strColorName);
            break;
        }
        default:
            qDebug("Unsupported type");
            continue;
        }
        for (const auto& oExtra : oObject.m_vExtraProperties) {
            const QString strName = QString::fromStdString(oExtra.first);
            // The id is the system's: an extra property of that name never replaces it.
            if (strName == QLatin1String("DREMM_ID")) {
                qWarning("CUserObjs::writeGeoJson - object %llu: extra property \"%s\" ignored",
                         static_cast<unsigned long long>(oObject.m_nObjectId), qPrintable(strName.left(64)));
                continue;
            }
            oProperties.insert(strName, QString::fromStdString(oExtra.second));
        }

        aFeatures.append(QJsonObject{
            {QStringLiteral("type"), QStringLiteral("Feature")},
            {QStringLiteral("geometry"), oGeometry},
            {QStringLiteral("properties"), oProperties},
        });
    }

    if (aFeatures.isEmpty())
        return false;

    QSaveFile oFile(platform::toNativePath(strFileName));
    oFile.setDirectWriteFallback(true);
    if (!oFile.open(QIODevice::WriteOnly)) {
        qWarning("Couldn't open save file.");
        return false;
    }

    const QJsonObject oCollection{
        {QStringLiteral("type"), QStringLiteral("FeatureCollection")},
        {QStringLiteral("features"), aFeatures},
    };
    oFile.write(QJsonDocument(oCollection).toJson(QJsonDocument::Indented));
    if (!oFile.commit()) {
        qWarning().noquote() << QStringLiteral("CUserObjs::writeGeoJson - WARNING writing %1 failed: %2")
                                    .arg(strFileName, oFile.errorString());
        return false;
    }
    m_bModified = false;
    return true;
}
