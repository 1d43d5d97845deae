#include "SurveyUtils/Earth.h"

#include <geodesic.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr int kGeodesicPasses = 1000;
// Vincenty's inverse settles in a handful of passes wherever it settles well; a pair that needs
// more is nearly antipodal and goes to Karney's method at once.
constexpr int kInversePasses = 32;
constexpr int kCartesianPasses = 1024;

struct EllipsoidAxes {
    double dSemiMajor;
    double dSemiMinor;
};

// Index = ellipsoid id; 0 is the empty ellipsoid.
constexpr EllipsoidAxes kEllipsoids[] = {
    {0.0, 0.0},
    {6378137.0, 6378137.0},          // sphere
    {6377563.396, 6356256.909237},   // Airy 1830
    {6378160.0, 6356774.719195},     // Australian National, South American 1969
    {6377397.155, 6356078.962818},   // Bessel 1841
    {6377483.865, 6356165.382966},   // Bessel 1841 (Namibia)
    {6378206.4, 6356583.799999},     // Clarke 1866
    {6378249.145, 6356514.86955},    // Clarke 1880
    {6377276.345, 6356075.41314},    // Everest 1830
    {6378166.0, 6356784.283607},     // Fischer 1960
    {6378150.0, 6356768.337244},     // Fischer 1968
    {6378160.0, 6356774.516091},     // GRS 67
    {6378137.0, 6356752.31414},      // GRS 80
    {6378200.0, 6356818.169628},     // a = 6378200, 1/f = 298.3
    {6378270.0, 6356794.343434},     // Hough 1960
    {6378388.0, 6356911.946128},     // International 1924
    {6378245.0, 6356863.018773},     // Krassovsky 1940
    {6377340.189, 6356034.447939},   // modified Airy
    {6377304.063, 6356103.038993},   // modified Everest
    {6378155.0, 6356773.320483},     // modified Fischer 1960
    {6378160.0, 6356774.719195},     // Australian National, South American 1969
    {6378136.3, 6356751.600562938},  // a = 6378136.3, 1/f = 298.257
    {6378165.0, 6356783.286959},     // WGS 60
    {6378145.0, 6356759.769489},     // WGS 66
    {6378135.0, 6356750.520016},     // WGS 72
    {6378137.0, 6356752.314245179},  // WGS 84
};
constexpr unsigned kLastEllipsoid = sizeof(kEllipsoids) / sizeof(kEllipsoids[0]) - 1;

double eccentricitySquaredOf(double dFlattening)
{
    return dFlattening == 0.0 ? 0.0 : 2.0 * dFlattening - dFlattening * dFlattening;
}

double positiveDegrees(double dRadians)
{
    double dDegrees = dRadians * kRadToDeg;
    if (dDegrees < 0.0)
        dDegrees += 360.0;
    return dDegrees;
}

double positiveAzimuth(double dDegrees)
{
    dDegrees = std::fmod(dDegrees, 360.0);
    return dDegrees < 0.0 ? dDegrees + 360.0 : dDegrees + 0.0; // + 0.0 turns -0 into 0
}

} // namespace

CPolarCoordinate::~CPolarCoordinate()
{
    set(0.0, 0.0, 0.0);
}

CEarthCoordinate::~CEarthCoordinate()
{
    set(0.0, 0.0, 0.0);
}

CEarth::CEarth(int nEllipsoidId)
{
    setEllipsoid(nEllipsoidId);
    double dTolerance = 1e-5;
    for (int i = 0; i < 10; ++i)
        dTolerance /= 10.0;
    m_dTolerance = dTolerance;
}

CEarth::~CEarth()
{
    m_dSemiMinor = m_dSemiMajor = m_dFlattening = m_dEccentricitySquared = m_dTolerance = 0.0;
    m_nEllipsoidId = 0;
}

bool CEarth::hasGeodesics() const
{
    return std::isfinite(m_dSemiMajor) && m_dSemiMajor > 0.0 && std::isfinite(m_dFlattening)
        && m_dFlattening >= 0.0 && m_dFlattening < 1.0;
}

void CEarth::setFlatteningFromAxes()
{
    if (m_dSemiMajor != 0.0 && m_dSemiMinor != 0.0)
        m_dFlattening = std::fabs(m_dSemiMajor - m_dSemiMinor) / m_dSemiMajor;
    m_dEccentricitySquared = eccentricitySquaredOf(m_dFlattening);
}

void CEarth::setEllipsoid(int nEllipsoidId)
{
    const unsigned nId = static_cast<unsigned>(nEllipsoidId);
    if (nId == 0 || nId > kLastEllipsoid) {
        m_nEllipsoidId = 0;
        m_dSemiMajor = m_dSemiMinor = m_dFlattening = m_dEccentricitySquared = 0.0;
        return;
    }
    m_nEllipsoidId = nEllipsoidId;
    m_dSemiMajor = kEllipsoids[nId].dSemiMajor;
    m_dSemiMinor = kEllipsoids[nId].dSemiMinor;
    setFlatteningFromAxes();
}

void CEarth::setAxes(double dSemiMajor, double dSemiMinor)
{
    m_dSemiMajor = dSemiMajor;
    m_dSemiMinor = dSemiMinor;
    m_nEllipsoidId = CUSTOM;
    setFlatteningFromAxes();
}

void CEarth::setSemiMajorAndFlattening(double dSemiMajor, double dFlattening)
{
    m_dSemiMajor = dSemiMajor;
    m_dFlattening = dFlattening;
    m_nEllipsoidId = CUSTOM;
    m_dSemiMinor = dSemiMajor - dSemiMajor * dFlattening;
    m_dEccentricitySquared = eccentricitySquaredOf(dFlattening);
}

double CEarth::semiMajorAxis() const
{
    return m_dSemiMajor;
}

double CEarth::semiMinorAxis() const
{
    return m_dSemiMinor;
}

double CEarth::direct(const CPolarCoordinate& oStart, double dDistance, double dAzimuth,
                      CPolarCoordinate& oTarget) const
{
    if (!hasGeodesics() || !(std::fabs(oStart.latitude()) <= 90.0)) {
        oTarget.setLatitude(kNaN);
        oTarget.setLongitude(kNaN);
        return kNaN;
    }
    const double a = m_dSemiMajor;
    const double f = m_dFlattening;
    const double R = 1.0 - f;
    const double dPhi1 = oStart.latitude() * kDegToRad;
    const double dLambda1 = oStart.longitude() * kDegToRad;
    const double dAlpha = dAzimuth * kDegToRad;

    double TU = R * std::sin(dPhi1) / std::cos(dPhi1);
    const double SF = std::sin(dAlpha);
    const double CF = std::cos(dAlpha);
    double BAZ = 0.0;
    if (CF != 0.0)
        BAZ = 2.0 * std::atan2(TU, CF);
    const double CU = 1.0 / std::sqrt(TU * TU + 1.0);
    const double SU = TU * CU;
    const double SA = CU * SF;
    const double C2A = 1.0 - SA * SA;
    double X = std::sqrt((1.0 / R / R - 1.0) * C2A + 1.0) + 1.0;
    X = (X - 2.0) / X;
    double C = (X * X / 4.0 + 1.0) / (1.0 - X);
    const double D = (0.375 * X * X - 1.0) * X;
    TU = dDistance / R / a / C;
    double Y = TU;

    double SY = 0.0, CY = 0.0, CZ = 0.0, E = 0.0;
    bool bSettled = false;
    for (int nPass = 0; nPass < kGeodesicPasses; ++nPass) {
        SY = std::sin(Y);
        CY = std::cos(Y);
        CZ = std::cos(BAZ + Y);
        E = 2.0 * CZ * CZ - 1.0;
        const double dNext = (((4.0 * SY * SY - 3.0) * (2.0 * E - 1.0) * CZ * D / 6.0 + E * CY) * D / 4.0 - CZ) * SY * D + TU;
        const bool bGoOn = std::fabs(dNext - Y) > m_dTolerance;
        Y = dNext;
        if (!bGoOn) {
            bSettled = true;
            break;
        }
    }

    if (!bSettled && std::isfinite(dDistance) && std::isfinite(dPhi1) && std::isfinite(dAlpha)) {
        geod_geodesic oGeodesic;
        geod_init(&oGeodesic, a, f);
        double dLat2 = 0.0, dLon2 = 0.0;
        geod_gendirect(&oGeodesic, oStart.latitude(), oStart.longitude(), dAzimuth, GEOD_LONG_UNROLL,
                       dDistance, &dLat2, &dLon2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        oTarget.setLatitude(dLat2);
        oTarget.setLongitude(dLon2);
        return dLon2;
    }

    BAZ = CU * CY * CF - SU * SY;
    const double dPhi2 = std::atan2(SU * CY + CU * SY * CF, R * std::sqrt(SA * SA + BAZ * BAZ));
    C = ((4.0 - 3.0 * C2A) * f + 4.0) * C2A * f / 16.0;
    const double dLambda2 = dLambda1 + std::atan2(SY * SF, CU * CY - SU * SY * CF)
        - (1.0 - C) * f * SA * ((E * CY * C + CZ) * SY * C + Y);

    oTarget.setLatitude(dPhi2 * kRadToDeg);
    oTarget.setLongitude(dLambda2 * kRadToDeg);
    return oTarget.longitude();
}

double CEarth::inverse(const CPolarCoordinate& oGeo1, const CPolarCoordinate& oGeo2,
                       double* pdForwardAzimuth, double* pdBackAzimuth) const
{
    if (!hasGeodesics() || !(std::fabs(oGeo1.latitude()) <= 90.0) || !(std::fabs(oGeo2.latitude()) <= 90.0)) {
        if (pdForwardAzimuth)
            *pdForwardAzimuth = kNaN;
        if (pdBackAzimuth)
            *pdBackAzimuth = kNaN;
        return kNaN;
    }
    // Longitudes a whole turn apart (-180 and 180) name the same place.
    if (oGeo1.latitude() == oGeo2.latitude() && std::remainder(oGeo2.longitude() - oGeo1.longitude(), 360.0) == 0.0) {
        // One point: no rounding noise in the distance, and the azimuths of the equator case.
        if (pdForwardAzimuth)
            *pdForwardAzimuth = 0.0;
        if (pdBackAzimuth)
            *pdBackAzimuth = 180.0;
        return 0.0;
    }
    const double a = m_dSemiMajor;
    const double f = m_dFlattening;
    const double R = 1.0 - f;
    const double dPhi1 = oGeo1.latitude() * kDegToRad;
    const double dPhi2 = oGeo2.latitude() * kDegToRad;
    const double L = (oGeo2.longitude() - oGeo1.longitude()) * kDegToRad;

    const double TU1 = R * std::sin(dPhi1) / std::cos(dPhi1);
    const double TU2 = R * std::sin(dPhi2) / std::cos(dPhi2);
    const double CU1 = 1.0 / std::sqrt(TU1 * TU1 + 1.0);
    const double SU1 = CU1 * TU1;
    const double CU2 = 1.0 / std::sqrt(TU2 * TU2 + 1.0);
    const double S = CU1 * CU2;
    const double BAZ = S * TU2;
    const double FAZ = BAZ * TU1;
    double X = L;

    double SX = 0.0, CX = 0.0, T1 = 0.0, T2 = 0.0, SY = 0.0, CY = 0.0, Y = 0.0;
    double SA = 0.0, C2A = 0.0, CZ = 0.0, E = 0.0, C = 0.0;
    bool bSettled = false;
    // On a geodesic the auxiliary longitude differs from L by at most about f times pi.
    const double dGeodesicBound = 1.01 * f * kPi + 1e-12;
    for (int nPass = 0; nPass < kInversePasses; ++nPass) {
        SX = std::sin(X);
        CX = std::cos(X);
        T1 = CU2 * SX;
        T2 = BAZ - SU1 * CU2 * CX;
        SY = std::sqrt(T1 * T1 + T2 * T2);
        CY = S * CX + FAZ;
        Y = std::atan2(SY, CY);
        const double dSxs = S * SX;
        SA = (dSxs == 0.0 && SY == 0.0) ? 1.0 : dSxs / SY;
        C2A = 1.0 - SA * SA;
        CZ = 2.0 * FAZ;
        if (C2A > 0.0)
            CZ = CY - CZ / C2A;
        E = 2.0 * CZ * CZ - 1.0;
        C = ((4.0 - 3.0 * C2A) * f + 4.0) * C2A * f / 16.0;
        const double dNext = (1.0 - C) * f * SA * ((E * CY * C + CZ) * SY * C + Y) + L;
        if (!(std::fabs(X - dNext) > m_dTolerance)) {
            // A change that is not a number ends the iteration too; only a real settle counts.
            bSettled = std::isfinite(dNext);
            break;
        }
        if (!(std::fabs(dNext - L) <= dGeodesicBound))
            break; // wandered off every geodesic: no need to go on
        X = dNext;
    }

    const bool bOnGeodesic = std::fabs(X - L) <= dGeodesicBound;
    double dForward = positiveDegrees(std::atan2(T1, T2));
    double dBack = positiveDegrees(std::atan2(CU1 * SX, BAZ * CX - SU1 * CU2) + kPi);

    X = std::sqrt((1.0 / R / R - 1.0) * C2A + 1.0) + 1.0;
    X = (X - 2.0) / X;
    C = (X * X / 4.0 + 1.0) / (1.0 - X);
    const double D = (0.375 * X * X - 1.0) * X;
    double dDistance = ((((4.0 * SY * SY - 3.0) * (1.0 - 2.0 * E) * CZ * D / 6.0 - E * CY) * D / 4.0 + CZ) * SY * D + Y) * C * a * R;

    // Vincenty's iteration fails for nearly antipodal points (it wanders or settles on a
    // longitude difference no geodesic has); Karney's method covers every pair.
    const bool bPlausible = bSettled && bOnGeodesic && std::isfinite(dDistance)
        && std::isfinite(dForward) && std::isfinite(dBack);
    if (!bPlausible && std::isfinite(dPhi1) && std::isfinite(dPhi2) && std::isfinite(L)) {
        geod_geodesic oGeodesic;
        geod_init(&oGeodesic, a, f);
        double dAzi1 = 0.0, dAzi2 = 0.0;
        geod_inverse(&oGeodesic, oGeo1.latitude(), oGeo1.longitude(), oGeo2.latitude(), oGeo2.longitude(),
                     &dDistance, &dAzi1, &dAzi2);
        dForward = positiveAzimuth(dAzi1);
        dBack = positiveAzimuth(dAzi2 + 180.0);
    }

    if (pdForwardAzimuth)
        *pdForwardAzimuth = dForward;
    if (pdBackAzimuth)
        *pdBackAzimuth = dBack;
    return dDistance;
}

void CEarth::directFromChord(const CPolarCoordinate& oStart, double dChord, double dAzimuth,
                             CPolarCoordinate& oTarget, double dTargetHeight) const
{
    const double a = m_dSemiMajor;
    const double b = m_dSemiMinor;
    const double dPhi1 = oStart.latitude() * kDegToRad;
    const double dAlpha = dAzimuth * kDegToRad;
    const double dH1 = oStart.height();

    const double dE2 = (a * a - b * b) / (b * b);
    const double dCos2Phi = std::cos(dPhi1) * std::cos(dPhi1);
    const double V = std::sqrt(1.0 + dE2 * dCos2Phi);
    const double dCosAlpha = std::cos(dAlpha);
    const double dRadius = a * a / b / V / (1.0 + dE2 * dCos2Phi * dCosAlpha * dCosAlpha);

    const double dDh = dTargetHeight - dH1;
    const double dC0Squared = (dChord * dChord - dDh * dDh)
        / ((1.0 + dH1 / dRadius) * (1.0 + dTargetHeight / dRadius));
    const double dArc = 2.0 * dRadius * std::asin(std::sqrt(dC0Squared) / (2.0 * dRadius));
    direct(oStart, dArc, dAzimuth, oTarget);
}

void CEarth::directToCartesian(const CPolarCoordinate& oStart, double dDistance, double dAzimuth,
                               CEarthCoordinate& oTarget) const
{
    CPolarCoordinate oGeo;
    direct(oStart, dDistance, dAzimuth, oGeo);
    geodeticToCartesian(oGeo, oTarget);
}

void CEarth::directFromCartesian(const CEarthCoordinate& oStart, double dDistance, double dAzimuth,
                                 CPolarCoordinate& oTarget) const
{
    CPolarCoordinate oGeo;
    cartesianToGeodetic(oStart, oGeo);
    direct(oGeo, dDistance, dAzimuth, oTarget);
}

void CEarth::directCartesian(const CEarthCoordinate& oStart, double dDistance, double dAzimuth,
                             CEarthCoordinate& oTarget) const
{
    CPolarCoordinate oGeo;
    cartesianToGeodetic(oStart, oGeo);
    CPolarCoordinate oFar;
    direct(oGeo, dDistance, dAzimuth, oFar);
    geodeticToCartesian(oFar, oTarget);
}

void CEarth::geodeticToCartesian(const CPolarCoordinate& oGeo, CEarthCoordinate& oCart) const
{
    const double dPhi = oGeo.latitude() * kDegToRad;
    const double dLambda = oGeo.longitude() * kDegToRad;
    const double h = oGeo.height();
    const double dSinPhi = std::sin(dPhi);
    const double N = m_dSemiMajor / std::sqrt(1.0 - m_dEccentricitySquared * dSinPhi * dSinPhi);
    oCart.set((h + N) * std::cos(dPhi) * std::cos(dLambda),
              (h + N) * std::cos(dPhi) * std::sin(dLambda),
              (h + (1.0 - m_dEccentricitySquared) * N) * dSinPhi);
}

void CEarth::cartesianToGeodetic(const CEarthCoordinate& oCart, CPolarCoordinate& oGeo) const
{
    const double a = m_dSemiMajor;
    const double e2 = m_dEccentricitySquared;
    const double X = oCart.x();
    const double Y = oCart.y();
    const double Z = oCart.z();
    const double p = std::sqrt(X * X + Y * Y);
    double t = Z / p / (1.0 - e2);
    double dNext = t;
    bool bSettled = false;
    for (int nPass = 0; nPass < kCartesianPasses; ++nPass) {
        dNext = Z / (p - a * e2 / std::sqrt((1.0 - e2) * t * t + 1.0));
        if (!(std::fabs(dNext - t) > m_dTolerance)) {
            bSettled = true;
            break;
        }
        t = dNext;
    }
    // Near the poles the tangent is large and the absolute limit lies below its rounding step;
    // the iteration has still settled when it stopped moving relative to its size.
    if (!bSettled && std::fabs(dNext - t) <= 1e-12 * std::max(1.0, std::fabs(t)))
        bSettled = true;
    if (!bSettled) {
        oGeo.set(kNaN, kNaN, kNaN);
        return;
    }
    const double dPhi = std::atan(dNext);
    const double dSinPhi = std::sin(dPhi);
    const double N = a / std::sqrt(1.0 - e2 * dSinPhi * dSinPhi);
    const double h = std::fabs(dPhi) < 0.7854 ? p / std::cos(dPhi) - N : Z / dSinPhi - N + e2 * N;
    oGeo.set(dPhi * kRadToDeg, std::atan2(Y, X) * kRadToDeg, h);
}

double CEarth::horizonDistance(const CPolarCoordinate& oGeo) const
{
    return std::sqrt(17.0 * oGeo.height());
}

double CEarth::horizonDistanceCartesian(const CEarthCoordinate& oCart) const
{
    CPolarCoordinate oGeo;
    cartesianToGeodetic(oCart, oGeo);
    return horizonDistance(oGeo);
}

double CEarth::distanceToLine(const CEarthCoordinate& oP, const CEarthCoordinate& oA,
                              const CEarthCoordinate& oB) const
{
    const double s1 = cartesianDistance(oP, oA);
    const double s2 = cartesianDistance(oP, oB);
    const double s3 = cartesianDistance(oA, oB);
    if (s3 == 0.0)
        return s1; // no line through one point: the distance to that point
    // Heron's formula in its stable order (sides sorted, rounding kept from going negative),
    // so a point on or near the line gives 0 or a small number, not NaN.
    double dSides[3] = {s1, s2, s3};
    std::sort(dSides, dSides + 3, [](double x, double y) { return x > y; });
    const double da = dSides[0], db = dSides[1], dc = dSides[2];
    const double dProduct = (da + (db + dc)) * std::max(0.0, dc - (da - db)) * (dc + (da - db))
        * std::max(0.0, da + (db - dc));
    const double dArea = 0.25 * std::sqrt(dProduct);
    return 2.0 * dArea / s3;
}

double CEarth::chordDistance(const CPolarCoordinate& oGeo1, const CPolarCoordinate& oGeo2) const
{
    CEarthCoordinate oCart1, oCart2;
    geodeticToCartesian(oGeo1, oCart1);
    geodeticToCartesian(oGeo2, oCart2);
    return cartesianDistance(oCart1, oCart2);
}

double CEarth::chordDistanceCartesianGeodetic(const CEarthCoordinate& oCart, const CPolarCoordinate& oGeo) const
{
    CEarthCoordinate oCart2;
    geodeticToCartesian(oGeo, oCart2);
    return cartesianDistance(oCart, oCart2);
}

double CEarth::chordDistanceGeodeticCartesian(const CPolarCoordinate& oGeo, const CEarthCoordinate& oCart) const
{
    CEarthCoordinate oCart1;
    geodeticToCartesian(oGeo, oCart1);
    return cartesianDistance(oCart1, oCart);
}

double CEarth::cartesianDistance(const CEarthCoordinate& oCart1, const CEarthCoordinate& oCart2) const
{
    const double dX = oCart2.x() - oCart1.x();
    const double dY = oCart2.y() - oCart1.y();
    const double dZ = oCart2.z() - oCart1.z();
    return std::sqrt(dX * dX + dY * dY + dZ * dZ);
}

double CEarth::inverseGeodeticCartesian(const CPolarCoordinate& oGeo, const CEarthCoordinate& oCart,
                                        double* pdForwardAzimuth, double* pdBackAzimuth) const
{
    CPolarCoordinate oGeo2;
    cartesianToGeodetic(oCart, oGeo2);
    return inverse(oGeo, oGeo2, pdForwardAzimuth, pdBackAzimuth);
}

double CEarth::inverseCartesianGeodetic(const CEarthCoordinate& oCart, const CPolarCoordinate& oGeo,
                                        double* pdForwardAzimuth, double* pdBackAzimuth) const
{
    CPolarCoordinate oGeo1;
    cartesianToGeodetic(oCart, oGeo1);
    return inverse(oGeo1, oGeo, pdForwardAzimuth, pdBackAzimuth);
}

double CEarth::inverseCartesian(const CEarthCoordinate& oCart1, const CEarthCoordinate& oCart2,
                                double* pdForwardAzimuth, double* pdBackAzimuth) const
{
    CPolarCoordinate oGeo1, oGeo2;
    cartesianToGeodetic(oCart1, oGeo1);
    cartesianToGeodetic(oCart2, oGeo2);
    return inverse(oGeo1, oGeo2, pdForwardAzimuth, pdBackAzimuth);
}

bool geodesicDistanceHeading(double dLatitude1, double dLongitude1, double dLatitude2, double dLongitude2,
                             int* pnDistance, float* pfHeading)
{
    const CEarth oEarth(CEarth::WGS84);
    CPolarCoordinate oGeo1, oGeo2;
    oGeo1.set(dLatitude1, dLongitude1, 0.0);
    oGeo2.set(dLatitude2, dLongitude2, 0.0);
    double dForward = 0.0;
    double dBack = 0.0;
    const double dMetres = oEarth.inverse(oGeo1, oGeo2, &dForward, &dBack);
    if (!std::isfinite(dMetres) || !std::isfinite(dForward))
        return false;
    if (pnDistance)
        *pnDistance = static_cast<int>(std::floor(dMetres * 100.0));
    if (pfHeading)
        *pfHeading = static_cast<float>(dForward);
    return true;
}
