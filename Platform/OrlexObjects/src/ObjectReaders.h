// Readers of the files the object library loads: "savedpos.txt" and GeoJSON feature collections.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

class CQelGeoJSON;
class QJsonDocument;

namespace orlex_objects {

struct SavedPosition
{
    QDateTime time; // UTC
    double dLatitude = 0;
    double dLongitude = 0;
};

// One position per well-formed line "yyyyMMdd-HHmmss-UTC Lat/Lon: <lat>/<lon>"; other lines are
// skipped (nSkipped counts them).
std::vector<SavedPosition> readSavedPositions(const QByteArray& text, int* pnSkipped = nullptr);

// The largest file either reader takes.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
// The most vertices of one feature.
constexpr int kMaxVertices = 100000;

// Features of a GeoJSON "FeatureCollection" or a single "Feature": Point, MultiPoint, LineString,
// Polygon (outer ring). Coordinates are longitude, latitude within their ranges. The properties
// "name", "link", "stroke" / "marker-color" and "DREMM_ID" are kept. A feature that breaks these
// rules is skipped (nSkipped counts it); a document that is no JSON object gives strError.
std::vector<CQelGeoJSON> readGeoJson(const QByteArray& bytes, QString& strError, int* pnSkipped = nullptr);
// The same for a parsed document.
std::vector<CQelGeoJSON> readGeoJson(const QJsonDocument& document, QString& strError, int* pnSkipped = nullptr);

// A display colour text: "#" and six hexadecimal digits.
bool isColorText(const QString& strText);

} // namespace orlex_objects
