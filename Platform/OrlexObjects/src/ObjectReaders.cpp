#include "ObjectReaders.h"

#include "SurveyUtils/QelGeoJSON.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>

#include <cctype>
#include <cmath>

namespace orlex_objects {

namespace {

bool validLonLat(double dLon, double dLat)
{
    return std::isfinite(dLon) && std::isfinite(dLat) && std::fabs(dLon) <= 180.0 && std::fabs(dLat) <= 90.0;
}

// [lon, lat(, z)] appended to points; false when it is not a position.
bool appendPosition(const QJsonValue& value, std::vector<float>& points)
{
    const QJsonArray position = value.toArray();
    if (position.size() < 2 || position.size() > 3 || !position.at(0).isDouble() || !position.at(1).isDouble())
        return false;
    const double dLon = position.at(0).toDouble();
    const double dLat = position.at(1).toDouble();
    if (!validLonLat(dLon, dLat))
        return false;
    points.push_back(static_cast<float>(dLon));
    points.push_back(static_cast<float>(dLat));
    return true;
}

bool appendPositions(const QJsonValue& value, std::vector<float>& points, int nMinimum)
{
    const QJsonArray positions = value.toArray();
    if (positions.size() < nMinimum || positions.size() > kMaxVertices)
        return false;
    for (const QJsonValue& position : positions) {
        if (!appendPosition(position, points))
            return false;
    }
    return true;
}

bool readGeometry(const QJsonObject& geometry, CQelGeoJSON& feature)
{
    const QString strType = geometry.value(QStringLiteral("type")).toString();
    const QJsonValue coordinates = geometry.value(QStringLiteral("coordinates"));
    if (strType == QLatin1String("Point")) {
        feature.m_nType = CQelGeoJSON::POINT;
        return appendPosition(coordinates, feature.m_vfPoints);
    }
    if (strType == QLatin1String("MultiPoint")) {
        feature.m_nType = CQelGeoJSON::POINT_SET;
        return appendPositions(coordinates, feature.m_vfPoints, 1);
    }
    if (strType == QLatin1String("LineString")) {
        feature.m_nType = CQelGeoJSON::LINE;
        return appendPositions(coordinates, feature.m_vfPoints, 2);
    }
    if (strType == QLatin1String("Polygon")) {
        feature.m_nType = CQelGeoJSON::POLYGON;
        const QJsonArray rings = coordinates.toArray();
        if (rings.isEmpty() || !appendPositions(rings.at(0), feature.m_vfPoints, 3))
            return false;
        // A closed ring is kept open: the view closes it.
        const std::size_t n = feature.m_vfPoints.size();
        if (n >= 8 && feature.m_vfPoints[0] == feature.m_vfPoints[n - 2] && feature.m_vfPoints[1] == feature.m_vfPoints[n - 1])
            feature.m_vfPoints.resize(n - 2);
        return feature.m_vfPoints.size() >= 6;
    }
    return false;
}

QString propertyText(const QJsonObject& properties, const char* szKey)
{
    const QJsonValue value = properties.value(QLatin1String(szKey));
    if (value.isString())
        return value.toString().left(1024);
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 17);
    return {};
}

bool readFeature(const QJsonObject& object, CQelGeoJSON& feature)
{
    if (object.value(QStringLiteral("type")).toString() != QLatin1String("Feature"))
        return false;
    if (!readGeometry(object.value(QStringLiteral("geometry")).toObject(), feature))
        return false;
    const QJsonObject properties = object.value(QStringLiteral("properties")).toObject();
    QString strColor = propertyText(properties, feature.m_nType == CQelGeoJSON::LINE || feature.m_nType == CQelGeoJSON::POLYGON
                                                    ? "stroke"
                                                    : "marker-color");
    if (isColorText(strColor))
        feature.m_strColorName = strColor;
    feature.m_strTimestamp = propertyText(properties, "timestamp");
    bool bOk = false;
    const quint64 nId = propertyText(properties, "DREMM_ID").toULongLong(&bOk);
    if (bOk)
        feature.m_nObjectId = nId;
    for (const char* szKey : {"name", "link"}) {
        const QString strValue = propertyText(properties, szKey);
        if (!strValue.isEmpty())
            feature.m_vExtraProperties.emplace_back(szKey, strValue.toStdString());
    }
    return true;
}

} // namespace

bool isColorText(const QString& strText)
{
    if (strText.size() != 7 || strText.at(0) != QLatin1Char('#'))
        return false;
    for (int i = 1; i < 7; ++i) {
        const char c = strText.at(i).toLatin1();
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

namespace {

// The decimal number of nCount digits at nFrom; -1 when one is no digit.
int digits(const QByteArray& line, int nFrom, int nCount)
{
    int nValue = 0;
    for (int i = nFrom; i < nFrom + nCount; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return -1;
        nValue = nValue * 10 + (c - '0');
    }
    return nValue;
}

bool readSavedLine(const QByteArray& line, SavedPosition& position)
{
    static const char s_szMiddle[] = "-UTC Lat/Lon: ";
    const int nMiddle = static_cast<int>(sizeof(s_szMiddle)) - 1;
    if (line.size() < 15 + nMiddle + 3 || line.at(8) != '-' || line.mid(15, nMiddle) != s_szMiddle)
        return false;
    const QDate date(digits(line, 0, 4), digits(line, 4, 2), digits(line, 6, 2));
    const QTime time(digits(line, 9, 2), digits(line, 11, 2), digits(line, 13, 2));
    if (!date.isValid() || !time.isValid())
        return false;
    const QList<QByteArray> values = line.mid(15 + nMiddle).split('/');
    if (values.size() != 2)
        return false;
    bool bLat = false;
    bool bLon = false;
    position.dLatitude = values.at(0).toDouble(&bLat);
    position.dLongitude = values.at(1).toDouble(&bLon);
    position.time = QDateTime(date, time, Qt::UTC);
    return bLat && bLon && validLonLat(position.dLongitude, position.dLatitude);
}

} // namespace

std::vector<SavedPosition> readSavedPositions(const QByteArray& text, int* pnSkipped)
{
    std::vector<SavedPosition> positions;
    int nSkipped = 0;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        SavedPosition position;
        if (readSavedLine(line, position))
            positions.push_back(position);
        else
            ++nSkipped;
    }
    if (pnSkipped)
        *pnSkipped = nSkipped;
    return positions;
}

std::vector<CQelGeoJSON> readGeoJson(const QByteArray& bytes, QString& strError, int* pnSkipped)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        strError = error.errorString();
        return {};
    }
    return readGeoJson(document, strError, pnSkipped);
}

std::vector<CQelGeoJSON> readGeoJson(const QJsonDocument& document, QString& strError, int* pnSkipped)
{
    std::vector<CQelGeoJSON> features;
    int nSkipped = 0;
    if (!document.isObject()) {
        strError = QStringLiteral("not a JSON object");
        return features;
    }
    const QJsonObject root = document.object();
    QJsonArray list;
    const QString strType = root.value(QStringLiteral("type")).toString();
    if (strType == QLatin1String("FeatureCollection")) {
        list = root.value(QStringLiteral("features")).toArray();
    } else if (strType == QLatin1String("Feature")) {
        list.append(root);
    } else {
        strError = QStringLiteral("neither a FeatureCollection nor a Feature");
        return features;
    }
    for (const QJsonValue& value : list) {
        CQelGeoJSON feature;
        if (readFeature(value.toObject(), feature))
            features.push_back(std::move(feature));
        else
            ++nSkipped;
    }
    if (pnSkipped)
        *pnSkipped = nSkipped;
    return features;
}

} // namespace orlex_objects
