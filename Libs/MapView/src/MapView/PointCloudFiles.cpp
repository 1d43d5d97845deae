#include "MapView/PointCloudFiles.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/segment.hpp>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pointcloud {

namespace {

namespace bg = boost::geometry;
using Point = bg::model::d2::point_xy<double>;
using Box = bg::model::box<Point>;
using Segment = bg::model::segment<Point>;

constexpr int DefaultPointLimit = 10000000;
constexpr long long MinPointLimit = 1000000;
constexpr long long MaxPointLimit = 20000000;
// Points projected in one call.
constexpr std::size_t ProjectionBatch = 65536;

bool finite(double dA, double dB)
{
    return std::isfinite(dA) && std::isfinite(dB);
}

// A number field; 0 when it does not read as one. Blanks around it are ignored.
double number(const char* pBegin, const char* pEnd)
{
    while (pBegin < pEnd && (*pBegin == ' ' || *pBegin == '\t'))
        ++pBegin;
    while (pEnd > pBegin && (pEnd[-1] == ' ' || pEnd[-1] == '\t' || pEnd[-1] == '\r'))
        --pEnd;
    if (pBegin < pEnd && *pBegin == '+')
        ++pBegin;
    double dValue = 0;
    const auto result = std::from_chars(pBegin, pEnd, dValue);
    if (result.ec != std::errc() || result.ptr != pEnd || !std::isfinite(dValue))
        return 0;
    return dValue;
}

// The points of one batch, projected and appended as east and north in metres and the height.
class PointBatch {
public:
    PointBatch(std::vector<double>& vOut, const Projector& fnProject) : m_vOut(vOut), m_fnProject(fnProject)
    {
        m_vLatitudes.reserve(ProjectionBatch);
        m_vLongitudes.reserve(ProjectionBatch);
        m_vHeights.reserve(ProjectionBatch);
    }

    void add(double dLatitude, double dLongitude, double dHeight)
    {
        m_vLatitudes.push_back(dLatitude);
        m_vLongitudes.push_back(dLongitude);
        m_vHeights.push_back(dHeight);
        if (m_vLatitudes.size() == ProjectionBatch)
            flush();
    }

    void flush()
    {
        const std::size_t nCount = m_vLatitudes.size();
        if (nCount == 0)
            return;
        // In place: latitudes become norths, longitudes easts.
        const int nFailed = m_fnProject(nCount, m_vLatitudes.data(), m_vLongitudes.data(), m_vLatitudes.data(),
                                        m_vLongitudes.data());
        if (nFailed >= 0) {
            for (std::size_t i = 0; i < nCount; ++i) {
                if (!finite(m_vLatitudes[i], m_vLongitudes[i]))
                    continue;
                m_vOut.push_back(m_vLongitudes[i] / 100.0);
                m_vOut.push_back(m_vLatitudes[i] / 100.0);
                m_vOut.push_back(m_vHeights[i]);
            }
        }
        m_vLatitudes.clear();
        m_vLongitudes.clear();
        m_vHeights.clear();
    }

private:
    std::vector<double>& m_vOut;
    const Projector& m_fnProject;
    std::vector<double> m_vLatitudes;
    std::vector<double> m_vLongitudes;
    std::vector<double> m_vHeights;
};

} // namespace

bool segmentMeetsRectangle(double dX1, double dY1, double dX2, double dY2, const QRectF& oRect)
{
    const QRectF oBox = oRect.normalized();
    const Box box(Point(oBox.left(), oBox.top()), Point(oBox.right(), oBox.bottom()));
    const Segment segment(Point(dX1, dY1), Point(dX2, dY2));
    // Inside, crossing or touching: the two have a point in common.
    return bg::intersects(segment, box);
}

IndexVerdict testCoverageIndex(const QByteArray& baJson, const QRectF& oTestRect, const Projector& fnProject)
{
    const QJsonDocument oDocument = QJsonDocument::fromJson(baJson);
    if (!oDocument.isObject())
        return IndexVerdict::NotAnObject;
    const QJsonObject oRoot = oDocument.object();
    if (oRoot.isEmpty())
        return IndexVerdict::EmptyObject;
    for (const QJsonValue& vFeature : oRoot.value(QLatin1String("features")).toArray()) {
        const QJsonArray aPositions =
            vFeature.toObject().value(QLatin1String("geometry")).toObject().value(QLatin1String("coordinates")).toArray();
        // Whole pairs only: a position left without a partner is not tested.
        const int nPairs = aPositions.size() / 2;
        for (int nPair = 0; nPair < nPairs; ++nPair) {
            double adLatitudes[2];
            double adLongitudes[2];
            bool bUsable = true;
            for (int i = 0; i < 2; ++i) {
                const QJsonArray aPosition = aPositions.at(2 * nPair + i).toArray();
                if (aPosition.size() < 2 || !aPosition.at(0).isDouble() || !aPosition.at(1).isDouble()) {
                    bUsable = false;
                    break;
                }
                adLongitudes[i] = aPosition.at(0).toDouble();
                adLatitudes[i] = aPosition.at(1).toDouble();
            }
            if (!bUsable || fnProject(2, adLatitudes, adLongitudes, adLatitudes, adLongitudes) != 0)
                continue;
            // After projection the arrays hold north and east.
            if (segmentMeetsRectangle(adLongitudes[0], adLatitudes[0], adLongitudes[1], adLatitudes[1], oTestRect))
                return IndexVerdict::Matched;
        }
    }
    return IndexVerdict::Unmatched;
}

int pointLimit(const char* szValue, QString* pstrWarning)
{
    if (!szValue)
        return DefaultPointLimit;
    bool bNumber = false;
    const long long nValue = QByteArray(szValue).trimmed().toLongLong(&bNumber);
    if (bNumber && nValue >= MinPointLimit && nValue <= MaxPointLimit)
        return static_cast<int>(nValue);
    if (pstrWarning)
        *pstrWarning = QStringLiteral("Illegal maxpoint value set. Default value set: %1").arg(DefaultPointLimit);
    return DefaultPointLimit;
}

std::vector<double> readPointFile(const QString& strPath, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject)
{
    QFile oFile(strPath);
    if (!oFile.open(QIODevice::ReadOnly) || oFile.size() == 0)
        return std::vector<double>();
    return readPointText(oFile.readAll(), nLinesRead, nLimit, fnProject);
}

std::vector<double> readPointText(const QByteArray& baText, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject)
{
    std::vector<double> vPoints;
    const long long nLeft = std::max<long long>(0, std::min<long long>(nLimit + 1 - nLinesRead, baText.size() / 8 + 1));
    vPoints.reserve(static_cast<std::size_t>(nLeft) * 3);
    PointBatch oBatch(vPoints, fnProject);
    const char* pLine = baText.constData();
    const char* const pEnd = pLine + baText.size();
    while (pLine < pEnd && nLinesRead <= nLimit) {
        const char* pLineEnd = static_cast<const char*>(std::memchr(pLine, '\n', static_cast<std::size_t>(pEnd - pLine)));
        if (!pLineEnd)
            pLineEnd = pEnd;
        const char* apFields[4] = {pLine, nullptr, nullptr, nullptr};
        int nFields = 1;
        for (const char* p = pLine; p < pLineEnd && nFields < 4; ++p)
            if (*p == ',')
                apFields[nFields++] = p + 1;
        if (nFields >= 3) {
            const char* pThirdEnd = nFields > 3 ? apFields[3] - 1 : pLineEnd;
            oBatch.add(number(apFields[0], apFields[1] - 1), number(apFields[1], apFields[2] - 1),
                       number(apFields[2], pThirdEnd));
        }
        ++nLinesRead;
        pLine = pLineEnd + 1;
    }
    oBatch.flush();
    return vPoints;
}

} // namespace pointcloud
