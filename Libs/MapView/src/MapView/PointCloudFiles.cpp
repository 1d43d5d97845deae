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
#include <thread>

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
// A large file is read in parts of at least this many lines, at most this many at a time.
constexpr std::size_t MinLinesPerPart = 65536;
constexpr std::size_t MaxReadThreads = 4;

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

// The points of one batch, projected and written as east and north in metres and the height.
class PointBatch {
public:
    // Room for a batch, or for nLines when they are fewer (a small file costs little).
    PointBatch(double* pdOut, const Projector& fnProject, std::size_t nLines)
        : m_pdOut(pdOut), m_fnProject(fnProject), m_nSize(std::max<std::size_t>(1, std::min(ProjectionBatch, nLines))),
          m_adLatitudes(m_nSize), m_adLongitudes(m_nSize), m_adHeights(m_nSize)
    {
    }

    void add(double dLatitude, double dLongitude, double dHeight)
    {
        m_adLatitudes[m_nCount] = dLatitude;
        m_adLongitudes[m_nCount] = dLongitude;
        m_adHeights[m_nCount] = dHeight;
        if (++m_nCount == m_nSize)
            flush();
    }

    void flush()
    {
        if (m_nCount == 0)
            return;
        // In place: latitudes become norths, longitudes easts.
        const int nFailed = m_fnProject(m_nCount, m_adLatitudes.data(), m_adLongitudes.data(), m_adLatitudes.data(),
                                        m_adLongitudes.data());
        if (nFailed >= 0) {
            for (std::size_t i = 0; i < m_nCount; ++i) {
                if (!finite(m_adLatitudes[i], m_adLongitudes[i]))
                    continue;
                *m_pdOut++ = m_adLongitudes[i] / 100.0;
                *m_pdOut++ = m_adLatitudes[i] / 100.0;
                *m_pdOut++ = m_adHeights[i];
                ++m_nWritten;
            }
        }
        m_nCount = 0;
    }

    std::size_t written() const { return m_nWritten; }

private:
    double* m_pdOut;
    const Projector& m_fnProject;
    std::size_t m_nCount = 0;
    std::size_t m_nWritten = 0;
    std::size_t m_nSize;
    std::vector<double> m_adLatitudes;
    std::vector<double> m_adLongitudes;
    std::vector<double> m_adHeights;
};

// The whole lines from pBegin to pEnd, parsed, projected and written to pdOut (room for three
// values a line); the number of points written.
std::size_t readPart(const char* pBegin, const char* pEnd, std::size_t nLines, double* pdOut, const Projector& fnProject)
{
    PointBatch oBatch(pdOut, fnProject, nLines);
    for (const char* pLine = pBegin; pLine < pEnd;) {
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
        pLine = pLineEnd + 1;
    }
    oBatch.flush();
    return oBatch.written();
}

// Lines from pBegin to pEnd; a last line without its line feed counts.
std::size_t countLines(const char* pBegin, const char* pEnd)
{
    if (pBegin >= pEnd)
        return 0;
    return static_cast<std::size_t>(std::count(pBegin, pEnd, '\n')) + (pEnd[-1] != '\n' ? 1 : 0);
}

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
    // Mapped rather than copied; a file that cannot be mapped is read.
    if (const uchar* pMapped = oFile.map(0, oFile.size()))
        return readPointText(reinterpret_cast<const char*>(pMapped), static_cast<std::size_t>(oFile.size()), nLinesRead,
                             nLimit, fnProject);
    const QByteArray baText = oFile.readAll();
    return readPointText(baText.constData(), static_cast<std::size_t>(baText.size()), nLinesRead, nLimit, fnProject);
}

std::vector<double> readPointText(const char* pText, std::size_t nSize, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject)
{
    // The lines this file may still give, and where they end.
    const char* const pBegin = pText;
    const char* pEnd = pText + nSize;
    const long long nAllowed = std::max<long long>(0, nLimit + 1 - nLinesRead);
    std::size_t nLines = countLines(pBegin, pEnd);
    if (static_cast<long long>(nLines) > nAllowed) {
        const char* pCut = pBegin;
        for (long long i = 0; i < nAllowed; ++i) {
            const char* pLineEnd = static_cast<const char*>(std::memchr(pCut, '\n', static_cast<std::size_t>(pEnd - pCut)));
            pCut = pLineEnd ? pLineEnd + 1 : pEnd;
        }
        pEnd = pCut;
        nLines = static_cast<std::size_t>(nAllowed);
    }
    nLinesRead += static_cast<long long>(nLines);

    // Parts of whole lines, parsed and projected side by side into their own stretch of the
    // result, then closed up where lines gave no point.
    const std::size_t nThreads = std::max<std::size_t>(1, std::min<std::size_t>(MaxReadThreads, std::thread::hardware_concurrency()));
    const std::size_t nParts = std::max<std::size_t>(1, std::min<std::size_t>(nThreads, nLines / MinLinesPerPart));
    std::vector<const char*> vStarts{pBegin};
    for (std::size_t i = 1; i < nParts; ++i) {
        const char* pGuess = std::max(vStarts.back(), pBegin + (static_cast<std::size_t>(pEnd - pBegin) * i) / nParts);
        const char* pLineEnd = static_cast<const char*>(std::memchr(pGuess, '\n', static_cast<std::size_t>(pEnd - pGuess)));
        vStarts.push_back(pLineEnd ? pLineEnd + 1 : pEnd);
    }
    vStarts.push_back(pEnd);
    std::vector<std::size_t> vOffsets{0}; // first line of each part
    for (std::size_t i = 0; i < nParts; ++i)
        vOffsets.push_back(vOffsets.back() + countLines(vStarts[i], vStarts[i + 1]));

    std::vector<double> vPoints(3 * nLines);
    std::vector<std::size_t> vWritten(nParts, 0);
    auto readOne = [&](std::size_t i) {
        vWritten[i] = readPart(vStarts[i], vStarts[i + 1], vOffsets[i + 1] - vOffsets[i], vPoints.data() + 3 * vOffsets[i], fnProject);
    };
    std::vector<std::thread> vThreads;
    for (std::size_t i = 1; i < nParts; ++i)
        vThreads.emplace_back(readOne, i);
    readOne(0);
    for (std::thread& oThread : vThreads)
        oThread.join();
    std::size_t nKept = vWritten[0];
    for (std::size_t i = 1; i < nParts; ++i) {
        if (nKept != vOffsets[i])
            std::memmove(vPoints.data() + 3 * nKept, vPoints.data() + 3 * vOffsets[i], 3 * vWritten[i] * sizeof(double));
        nKept += vWritten[i];
    }
    vPoints.resize(3 * nKept);
    return vPoints;
}

std::vector<double> readPointText(const QByteArray& baText, long long& nLinesRead, long long nLimit,
                                  const Projector& fnProject)
{
    return readPointText(baText.constData(), static_cast<std::size_t>(baText.size()), nLinesRead, nLimit, fnProject);
}

} // namespace pointcloud
