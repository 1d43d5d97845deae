#include "SurveyUtils/Navigation.h"

#include "SurveyUtils/Earth.h"

#include "Common/GetToken.h"
#include "Projection/Projection.h"

#include <platform/paths.h>
#include <platform/process.h>

#include <QFile>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr double kRadToDeg = 57.29577951308232;
constexpr double kDegToRad = 0.017453292519943295;
constexpr int kSentenceScanLength = 200;

double packed(double dDegrees)
{
    const double dWhole = std::trunc(dDegrees);
    return (dDegrees - dWhole) * 60.0 + dWhole * 100.0;
}

double unpacked(double dPacked)
{
    const double dWhole = std::trunc(dPacked / 100.0);
    return (dPacked - 100.0 * dWhole) / 60.0 + dWhole;
}

void appendDebugLines(double dNorth1, double dEast1, double dNorth2, double dEast2, double dLatitude1,
                      double dLongitude1, double dLatitude2, double dLongitude2, int nDistance, float fHeading)
{
    QFile oFile(platform::toNativePath(QStringLiteral("c:/tmp/distheading.txt")));
    if (!oFile.open(QIODevice::ReadWrite | QIODevice::Append))
        return;
    const QString strText = QString::asprintf("Pos1 projection cm: (%.8f, %.8f)\n", dNorth1, dEast1)
        + QString::asprintf("Pos2 projection cm: (%.8f, %.8f)\n", dNorth2, dEast2)
        + QString::asprintf("Pos1 geo: (%.8f, %.8f)\n", dLatitude1, dLongitude1)
        + QString::asprintf("Pos2 geo: (%.8f, %.8f)\n", dLatitude2, dLongitude2)
        + QString::asprintf("Dist(cm): %d, heading: %f\n\n", nDistance, static_cast<double>(fHeading));
    oFile.write(strText.toLatin1());
}

// The geodesic distance and heading between two projected points; false when the process-wide
// projection cannot turn them into positions.
bool geodesicFromProjected(double dNorth1, double dEast1, double dNorth2, double dEast2,
                           double* pdDistance, double* pdHeading)
{
    CProjection* poProjection = CProjection::instance();
    if (!poProjection)
        return false;
    double dLatitude1 = 0.0, dLongitude1 = 0.0, dLatitude2 = 0.0, dLongitude2 = 0.0;
    if (poProjection->toGeographic(dNorth1, dEast1, &dLatitude1, &dLongitude1) != 0
        || poProjection->toGeographic(dNorth2, dEast2, &dLatitude2, &dLongitude2) != 0)
        return false;
    int nDistance = 0;
    float fHeading = 0.0f;
    if (!geodesicDistanceHeading(dLatitude1, dLongitude1, dLatitude2, dLongitude2, &nDistance, &fHeading))
        return false;
    if (pdDistance)
        *pdDistance = nDistance;
    if (pdHeading)
        *pdHeading = fHeading;
    if (qEnvironmentVariableIsSet("DEBUG_DIST_HEADING"))
        appendDebugLines(dNorth1, dEast1, dNorth2, dEast2, dLatitude1, dLongitude1, dLatitude2, dLongitude2,
                         nDistance, fHeading);
    return true;
}

} // namespace

void computeDistanceHeading(double dNorth1, double dEast1, double dNorth2, double dEast2,
                            double* pdDistance, double* pdHeading)
{
    if (g_getToken.getTokValueInt("ROZOVED_COMPASS_USE_GEODESY_LIB") != 0) {
        if (!geodesicFromProjected(dNorth1, dEast1, dNorth2, dEast2, pdDistance, pdHeading)) {
            qWarning("computeDistanceHeading - ERROR the projection cannot convert (%f, %f) or (%f, %f); "
                     "no geodesic distance",
                     dNorth1, dEast1, dNorth2, dEast2);
            if (pdDistance)
                *pdDistance = std::numeric_limits<double>::quiet_NaN();
        }
        return;
    }

    const double dN = dNorth2 - dNorth1;
    const double dE = dEast2 - dEast1;
    const double dDistance = std::sqrt(dN * dN + dE * dE);
    if (pdDistance)
        *pdDistance = dDistance;
    if (!(dDistance > 0.0) || !pdHeading)
        return;
    const double dAngle = std::asin(std::clamp(dE / dDistance, -1.0, 1.0)) * kRadToDeg;
    if (dN < 0.0)
        *pdHeading = 180.0 - dAngle;
    else if (dE < 0.0)
        *pdHeading = dAngle + 360.0;
    else
        *pdHeading = dAngle;
}

void degreesToDdmm(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude)
{
    if (pdLatitude)
        *pdLatitude = packed(dLatitude);
    if (pdLongitude)
        *pdLongitude = packed(dLongitude);
}

void degreesToDdmmss(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude)
{
    if (pdLatitude)
        *pdLatitude = packed(packed(dLatitude));
    if (pdLongitude)
        *pdLongitude = packed(packed(dLongitude));
}

void ddmmToDegrees(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude)
{
    if (pdLatitude)
        *pdLatitude = unpacked(dLatitude);
    if (pdLongitude)
        *pdLongitude = unpacked(dLongitude);
}

int cmPerDegree(double dLatitude, double /*dLongitude*/, double dSemiMajorAxis, double dInverseFlattening,
                double* pdCmPerDegreeLatitude, double* pdCmPerDegreeLongitude)
{
    const double dPhi = dLatitude * kDegToRad;
    const double dE2 = (2.0 - 1.0 / dInverseFlattening) * (1.0 / dInverseFlattening);
    const double dSinPhi = std::sin(dPhi);
    const double w = 1.0 - dE2 * dSinPhi * dSinPhi;
    if (pdCmPerDegreeLatitude)
        *pdCmPerDegreeLatitude = (1.0 - dE2) * dSemiMajorAxis / (std::sqrt(w * w * w) * kRadToDeg * 0.01);
    if (pdCmPerDegreeLongitude)
        *pdCmPerDegreeLongitude = std::cos(dPhi) * dSemiMajorAxis / (std::sqrt(w) * kRadToDeg * 0.01);
    return 0;
}

int splitSentenceFields(char* szSentence, char aszFields[][kSentenceFieldSize], int* pnCount, int nMaxFields)
{
    if (!szSentence || !aszFields || !pnCount)
        return -1;
    int nEnd = -1;
    for (int i = 0; i < kSentenceScanLength; ++i) {
        const char c = szSentence[i];
        if (c == '\0' || c == '\r' || c == '\n') {
            nEnd = i;
            break;
        }
    }
    if (nEnd < 0 || nEnd == kSentenceScanLength - 1)
        return -1;
    szSentence[nEnd] = '\0';
    if (char* pStar = std::strchr(szSentence, '*'))
        *pStar = '\0';

    int nCount = 0;
    const char* pField = szSentence;
    while (nCount < nMaxFields) {
        const char* pComma = std::strchr(pField, ',');
        const size_t nLength = pComma ? static_cast<size_t>(pComma - pField) : std::strlen(pField);
        if (!pComma && nLength == 0)
            break; // nothing after the last comma
        const size_t nCopy = std::min(nLength, static_cast<size_t>(kSentenceFieldSize - 1));
        std::memcpy(aszFields[nCount], pField, nCopy);
        aszFields[nCount][nCopy] = '\0';
        ++nCount;
        if (!pComma)
            break;
        pField = pComma + 1;
    }
    *pnCount = nCount;
    return 0;
}

bool isProcessRunning(const wchar_t* wszImageName)
{
    if (!wszImageName || !*wszImageName)
        return false;
    return !platform::findProcessesByImageName(QString::fromWCharArray(wszImageName)).empty();
}

int killProcessById(int nProcessId)
{
    return platform::endProcess(nProcessId) ? 1 : 0;
}

QString datagramTypeName(const QByteArray& baDatagram)
{
    if (baDatagram.size() < 8)
        return QString();
    return QString::fromLatin1(baDatagram.constData() + 4, 4);
}
