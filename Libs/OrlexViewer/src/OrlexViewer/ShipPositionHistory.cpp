#include "OrlexViewer/ShipPositionHistory.h"

#include "SurveyUtils/Navigation.h"
#include "TqelRuntime/RtdPositionBuffer.h"

#include <cmath>
#include <cstdint>
#include <mutex>

namespace {

constexpr unsigned kBufferCapacity = 40;
constexpr std::int64_t kWindowMs = 5000;
constexpr std::int64_t kDayMs = 86400000;
constexpr double kLatitudeScale = 20000000.0;
constexpr double kLongitudeScale = 10000000.0;
// Longitude units of a whole turn and of half a turn.
constexpr std::int64_t kLongitudeTurn = 3600000000LL;
constexpr std::int64_t kLongitudeHalfTurn = kLongitudeTurn / 2;
constexpr double kPi = 3.14159265358979323846;

// The time field of the last datagram stored, shared by every history of the process.
std::uint32_t s_nLastStoredTime = 0;

bool inFirstQuadrant(float f)
{
    return f >= 0 && f < 90;
}

bool inLastQuadrant(float f)
{
    return f > 270 && f <= 360;
}

} // namespace

CShipPositionHistory::CShipPositionHistory()
    : m_pBuffer(std::make_unique<CRtdPositionBuffer>(kBufferCapacity, "HED_POS_BUF", nullptr, 0))
{
}

CShipPositionHistory::~CShipPositionHistory() = default;

void CShipPositionHistory::store(const char* pDatagram, long nLength)
{
    if (!pDatagram || nLength < 12)
        return;
    const std::uint32_t nTime = rtd::readU32(pDatagram, 8);
    if (nTime == s_nLastStoredTime)
        return;
    s_nLastStoredTime = nTime;
    m_pBuffer->store(pDatagram, nLength);
}

void CShipPositionHistory::updateSpeedAndCourse()
{
    std::lock_guard<CRtdPositionBuffer> lock(*m_pBuffer);
    const unsigned nSize = m_pBuffer->size();
    const CRtdPositionRecord* pNewest = nSize ? m_pBuffer->at(nSize - 1) : nullptr;
    double dCmPerDegreeLatitude = 0;
    double dCmPerDegreeLongitude = 0;
    if (pNewest)
        cmPerDegree(pNewest->m_nLatitude / kLatitudeScale, 0.0, 6378137.0, 298.257223563, &dCmPerDegreeLatitude,
                    &dCmPerDegreeLongitude);

    float fCourse = 0;
    float fSpeed = 0;
    if (nSize < 2 || !pNewest) {
        m_fCourse = 0;
        m_fSpeed = 0;
        return;
    }
    const std::int64_t nCutOff = static_cast<std::int64_t>(pNewest->m_nTime) - kWindowMs;
    int nUsed = 0;
    float fPreviousCourse = 0;
    for (unsigned j = 0; nCutOff > 0 && j + 1 < nSize; ++j) {
        const CRtdPositionRecord* pFirst = m_pBuffer->at(j);
        const CRtdPositionRecord* pSecond = m_pBuffer->at(j + 1);
        if (!pFirst || !pSecond || static_cast<std::int64_t>(pFirst->m_nTime) <= nCutOff)
            continue;
        std::int64_t nDt = static_cast<std::int64_t>(pSecond->m_nTime) - static_cast<std::int64_t>(pFirst->m_nTime);
        if (pFirst->m_nDate != pSecond->m_nDate)
            nDt += kDayMs;
        // Two fixes of the same time give no speed.
        if (nDt <= 0)
            continue;
        ++nUsed;

        // Differences in 64 bits (they overflow 32), longitude taken the short way round.
        const std::int64_t nLatitudeDiff = static_cast<std::int64_t>(pSecond->m_nLatitude) - pFirst->m_nLatitude;
        std::int64_t nLongitudeDiff = static_cast<std::int64_t>(pSecond->m_nLongitude) - pFirst->m_nLongitude;
        if (nLongitudeDiff > kLongitudeHalfTurn)
            nLongitudeDiff -= kLongitudeTurn;
        else if (nLongitudeDiff < -kLongitudeHalfTurn)
            nLongitudeDiff += kLongitudeTurn;
        const double dN = static_cast<double>(nLatitudeDiff) / kLatitudeScale * dCmPerDegreeLatitude;
        const double dE = static_cast<double>(nLongitudeDiff) / kLongitudeScale * dCmPerDegreeLongitude;

        double dDistance = 0;
        if (dE == 0)
            dDistance = std::fabs(dN);
        else if (dN == 0)
            dDistance = std::fabs(dE);
        else {
            const double dRatio = std::fabs(dE / dN);
            if (dRatio < 0.0001)
                dDistance = std::fabs(dN);
            else if (dRatio > 10000)
                dDistance = std::fabs(dE);
            else
                dDistance = std::fabs(dE) * std::sqrt((dN / dE) * (dN / dE) + 1);
        }

        auto v = static_cast<float>(450.0 - std::atan2(dN, dE) * 180.0 / kPi);
        if (v < 0)
            v += 360;
        else if (v >= 360)
            v -= 360;
        const auto fPairSpeed = static_cast<float>(dDistance / static_cast<double>(nDt) * 10.0);

        float fChange = 0;
        if (inFirstQuadrant(fPreviousCourse) && inLastQuadrant(v))
            fChange = std::fabs(v - 360 - fPreviousCourse);
        else if (inFirstQuadrant(v) && inLastQuadrant(fPreviousCourse))
            fChange = std::fabs(v + 360 - fPreviousCourse);
        else
            fChange = std::fabs(v - fPreviousCourse);

        float w = v;
        if (inFirstQuadrant(v) && inLastQuadrant(fCourse))
            w = v + 360;
        else if (inFirstQuadrant(fCourse) && inLastQuadrant(v))
            w = v - 360;

        if (nUsed == 1) {
            fCourse = w;
            fSpeed = fPairSpeed;
        } else if (nUsed == 2) {
            fCourse = (fCourse + w) * 0.5f;
            fSpeed = (fSpeed + fPairSpeed) * 0.5f;
        } else if (fChange < 80) {
            const auto fWeight = static_cast<float>(nUsed - 2);
            fCourse = (fWeight * fCourse + w) / static_cast<float>(nUsed - 1);
            fSpeed = (fWeight * fSpeed + fPairSpeed) / static_cast<float>(nUsed - 1);
        }
        if (fCourse < 0)
            fCourse += 360;
        else if (fCourse >= 360)
            fCourse -= 360;
        fPreviousCourse = v;
    }
    m_fCourse = fCourse;
    m_fSpeed = fSpeed;
}

void CShipPositionHistory::getMotion(float& fCourse, float& fSpeed, float& fVectorLength) const
{
    fCourse = m_fCourse;
    fSpeed = m_fSpeed;
    fVectorLength = static_cast<float>(m_nVectorTimeSpan) * m_fSpeed;
}
