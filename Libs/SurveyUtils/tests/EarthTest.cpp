#include "SurveyUtils/Earth.h"

#include <platform/process.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kArcSecond = 1.0 / 3600.0;
constexpr double kAzimuthTolerance = 1e-4 * kArcSecond;
constexpr double kDistanceTolerance = 1e-3;     // metres
constexpr double kMetresPerDegree = 111320.0;  // enough to express a position error in metres

CPolarCoordinate geo(double dLatitude, double dLongitude, double dHeight = 0.0)
{
    CPolarCoordinate oGeo;
    oGeo.set(dLatitude, dLongitude, dHeight);
    return oGeo;
}

CEarthCoordinate cart(double dX, double dY, double dZ)
{
    CEarthCoordinate oCart;
    oCart.set(dX, dY, dZ);
    return oCart;
}

// Smallest difference between two directions in degrees.
double angleBetween(double dFirst, double dSecond)
{
    const double dDiff = std::fmod(std::fabs(dFirst - dSecond), 360.0);
    return std::min(dDiff, 360.0 - dDiff);
}

double degrees(int nDegrees, int nMinutes, double dSeconds)
{
    return nDegrees + nMinutes / 60.0 + dSeconds / 3600.0;
}

// Runs GeographicLib's GeodSolve with the arguments, one problem a line; its answer lines, each
// split into numbers.
std::vector<std::vector<double>> geodSolve(const QStringList& lstArguments, const QStringList& lstProblems)
{
    const QString strProgram = platform::findOnPath(QStringLiteral("GeodSolve"));
    if (strProgram.isEmpty()) {
        ADD_FAILURE() << "GeodSolve (package geographiclib-tools) is not on PATH";
        return {};
    }
    QProcess oProcess;
    oProcess.start(strProgram, lstArguments);
    if (!oProcess.waitForStarted(10000)) {
        ADD_FAILURE() << "GeodSolve did not start";
        return {};
    }
    oProcess.write(lstProblems.join(QLatin1Char('\n')).toLatin1() + '\n');
    oProcess.closeWriteChannel();
    if (!oProcess.waitForFinished(30000) || oProcess.exitCode() != 0) {
        ADD_FAILURE() << "GeodSolve failed: " << oProcess.readAllStandardError().toStdString();
        return {};
    }
    std::vector<std::vector<double>> vAnswers;
    const QStringList lstLines = QString::fromLatin1(oProcess.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& strLine : lstLines) {
        std::vector<double> vNumbers;
        for (const QString& strNumber : strLine.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            vNumbers.push_back(strNumber.toDouble());
        vAnswers.push_back(vNumbers);
    }
    return vAnswers;
}

struct GeodesicPair {
    double dLat1, dLon1, dLat2, dLon2;
    bool bAzimuths; // false where the azimuth is not unique (exact antipodes, a pole)
    const char* szWhat;
};

const GeodesicPair kPairs[] = {
    {-37.95103341666667, 144.42486789, -37.65282114166667, 143.92649552, true, "Flinders Peak to Buninyong"},
    {0.0, 0.0, 0.0, 1.0, true, "along the equator"},
    {0.0, 0.0, 1.0, 0.0, true, "along a meridian"},
    {10.0, 20.0, 10.0001, 20.0001, true, "about 15 m"},
    {52.2297, 21.0122, 40.7128, -74.0060, true, "Warsaw to New York"},
    {-33.9249, 18.4241, 35.6762, 139.6503, true, "Cape Town to Tokyo"},
    {60.0, 179.5, 61.0, -179.5, true, "across the date line"},
    {89.9999, 0.0, 89.9999, 180.0, true, "across the pole"},
    {90.0, 0.0, -45.0, 30.0, false, "from the pole"},
    {45.0, -170.0, -20.0, 350.0, true, "longitudes beyond 180"},
    {0.0, 0.0, 0.5, 179.7, true, "nearly antipodal"},
    {10.0, 0.0, -10.01, 179.9, true, "nearly antipodal, off the equator"},
    {-30.0, 50.0, 30.0001, -130.0, true, "nearly antipodal, almost meridional"},
    {0.0, 0.0, 0.0, 179.5, true, "equator, antipodal region"},
    {0.0, 0.0, 0.0, 180.0, false, "exact antipodes on the equator"},
    {20.0, 30.0, -20.0, -150.0, false, "exact antipodes"},
};

struct EllipsoidCase {
    int nId;              // 0: the custom axes below
    double dSemiMajor;    // custom only
    double dFlattening;   // custom only
};

class GeodesicAgainstGeodSolve : public ::testing::TestWithParam<EllipsoidCase> {
protected:
    CEarth makeEarth() const
    {
        const EllipsoidCase& c = GetParam();
        CEarth oEarth(c.nId);
        if (c.nId == 0)
            oEarth.setSemiMajorAndFlattening(c.dSemiMajor, c.dFlattening);
        return oEarth;
    }
    static QStringList ellipsoidArguments(const CEarth& oEarth)
    {
        return {QStringLiteral("-e"), QString::number(oEarth.semiMajorAxis(), 'g', 17),
                QString::number(oEarth.flattening(), 'g', 17), QStringLiteral("-p"), QStringLiteral("9")};
    }
};

TEST_P(GeodesicAgainstGeodSolve, InverseAndDirectMatchTheReference)
{
    const CEarth oEarth = makeEarth();
    QStringList lstProblems;
    for (const GeodesicPair& p : kPairs)
        lstProblems << QStringLiteral("%1 %2 %3 %4").arg(p.dLat1, 0, 'g', 17).arg(p.dLon1, 0, 'g', 17)
                           .arg(p.dLat2, 0, 'g', 17).arg(p.dLon2, 0, 'g', 17);
    const auto vInverse = geodSolve(QStringList{QStringLiteral("-i")} + ellipsoidArguments(oEarth), lstProblems);
    ASSERT_EQ(vInverse.size(), std::size(kPairs));

    QStringList lstDirect;
    for (size_t i = 0; i < std::size(kPairs); ++i) {
        const GeodesicPair& p = kPairs[i];
        ASSERT_EQ(vInverse[i].size(), 3u);
        const double dRefForward = vInverse[i][0];
        const double dRefBack = vInverse[i][1] + 180.0;
        const double dRefDistance = vInverse[i][2];
        SCOPED_TRACE(p.szWhat);

        double dForward = -1.0, dBack = -1.0;
        const double dDistance = oEarth.inverse(geo(p.dLat1, p.dLon1), geo(p.dLat2, p.dLon2), &dForward, &dBack);
        EXPECT_NEAR(dDistance, dRefDistance, kDistanceTolerance);
        EXPECT_GE(dForward, 0.0);
        EXPECT_LE(dForward, 360.0);
        EXPECT_GE(dBack, 0.0);
        EXPECT_LE(dBack, 360.0);
        if (p.bAzimuths) {
            EXPECT_LE(angleBetween(dForward, dRefForward), kAzimuthTolerance) << dForward << " vs " << dRefForward;
            EXPECT_LE(angleBetween(dBack, dRefBack), kAzimuthTolerance) << dBack << " vs " << dRefBack;
        }
        lstDirect << QStringLiteral("%1 %2 %3 %4").arg(p.dLat1, 0, 'g', 17).arg(p.dLon1, 0, 'g', 17)
                         .arg(dRefForward, 0, 'g', 17).arg(dRefDistance, 0, 'g', 17);
    }

    const auto vDirect = geodSolve(QStringList{QStringLiteral("-u")} + ellipsoidArguments(oEarth), lstDirect);
    ASSERT_EQ(vDirect.size(), std::size(kPairs));
    for (size_t i = 0; i < std::size(kPairs); ++i) {
        const GeodesicPair& p = kPairs[i];
        SCOPED_TRACE(p.szWhat);
        ASSERT_EQ(vDirect[i].size(), 3u);
        CPolarCoordinate oTarget = geo(0.0, 0.0, 7.0);
        const double dLongitude = oEarth.direct(geo(p.dLat1, p.dLon1), vInverse[i][2], vInverse[i][0], oTarget);
        EXPECT_EQ(dLongitude, oTarget.longitude());
        EXPECT_EQ(oTarget.height(), 7.0);
        const double dNorthError = (oTarget.latitude() - vDirect[i][0]) * kMetresPerDegree;
        const double dEastError = angleBetween(oTarget.longitude(), vDirect[i][1]) * kMetresPerDegree
            * std::cos(vDirect[i][0] * M_PI / 180.0);
        EXPECT_LE(std::hypot(dNorthError, dEastError), kDistanceTolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(Ellipsoids, GeodesicAgainstGeodSolve, ::testing::Values(
    EllipsoidCase{1, 0, 0},    // sphere
    EllipsoidCase{4, 0, 0},    // Bessel 1841
    EllipsoidCase{6, 0, 0},    // Clarke 1866
    EllipsoidCase{15, 0, 0},   // International 1924
    EllipsoidCase{25, 0, 0},   // WGS 84
    EllipsoidCase{0, 6400000.0, 1.0 / 150.0}));

TEST(Geodesic, FlindersPeakToBuninyong)
{
    const CEarth oEarth(CEarth::WGS84);
    const CPolarCoordinate oFlinders = geo(-degrees(37, 57, 3.72030), degrees(144, 25, 29.52440));
    const CPolarCoordinate oBuninyong = geo(-degrees(37, 39, 10.15610), degrees(143, 55, 35.38390));
    double dForward = 0.0, dBack = 0.0;
    const double dDistance = oEarth.inverse(oFlinders, oBuninyong, &dForward, &dBack);
    EXPECT_NEAR(dDistance, 54972.271, 0.0006);
    EXPECT_NEAR(dForward, degrees(306, 52, 5.37), 0.005 * kArcSecond);
    EXPECT_NEAR(dBack, degrees(127, 10, 25.07), 0.005 * kArcSecond);

    CPolarCoordinate oTarget;
    oEarth.direct(oFlinders, dDistance, dForward, oTarget);
    EXPECT_NEAR(oTarget.latitude(), oBuninyong.latitude(), 0.01 * kArcSecond);
    EXPECT_NEAR(oTarget.longitude(), oBuninyong.longitude(), 0.01 * kArcSecond);
}

TEST(Geodesic, IdenticalPointsGiveZeroDistance)
{
    for (int nId : {1, 4, 25}) {
        const CEarth oEarth(nId);
        for (double dLatitude : {-89.5, -33.3, 0.0, 12.5, 89.9}) {
            SCOPED_TRACE(testing::Message() << "ellipsoid " << nId << " latitude " << dLatitude);
            // The same place, also with its longitude spelled a turn apart.
            for (auto [dLon1, dLon2] : {std::pair{12.0, 12.0}, {-180.0, 180.0}, {180.0, -180.0}, {10.0, 370.0}}) {
                double dForward = -1.0, dBack = -1.0;
                EXPECT_EQ(oEarth.inverse(geo(dLatitude, dLon1), geo(dLatitude, dLon2), &dForward, &dBack), 0.0)
                    << dLon1 << " " << dLon2;
                EXPECT_EQ(dForward, 0.0);
                EXPECT_EQ(dBack, 180.0);
            }
        }
    }
}

TEST(Geodesic, AzimuthOutputsMayBeNull)
{
    const CEarth oEarth(CEarth::WGS84);
    EXPECT_NEAR(oEarth.inverse(geo(0.0, 0.0), geo(0.0, 1.0), nullptr, nullptr), 111319.4908, 1e-4);
}

TEST(Geodesic, DistanceAndHeadingInCentimetres)
{
    int nDistance = -1;
    float fHeading = -1.0f;
    ASSERT_TRUE(geodesicDistanceHeading(0.0, 0.0, 0.0, 1.0, &nDistance, &fHeading));
    EXPECT_EQ(nDistance, 11131949);
    EXPECT_EQ(fHeading, 90.0f);

    ASSERT_TRUE(geodesicDistanceHeading(1.0, 5.0, 0.0, 5.0, &nDistance, &fHeading));
    EXPECT_EQ(fHeading, 180.0f);

    // Half the meridian, the longest distance there is, still fits.
    ASSERT_TRUE(geodesicDistanceHeading(0.0, 0.0, 0.0, 180.0, &nDistance, &fHeading));
    EXPECT_EQ(nDistance, 2000393145);

    nDistance = 5;
    fHeading = 6.0f;
    EXPECT_FALSE(geodesicDistanceHeading(std::nan(""), 0.0, 0.0, 1.0, &nDistance, &fHeading));
    EXPECT_EQ(nDistance, 5);
    EXPECT_EQ(fHeading, 6.0f);
}

TEST(Ellipsoid, TableAndCustomAxes)
{
    const CEarth oWgs84(25);
    EXPECT_EQ(oWgs84.semiMajorAxis(), 6378137.0);
    EXPECT_EQ(oWgs84.semiMinorAxis(), 6356752.314245179);
    EXPECT_NEAR(1.0 / oWgs84.flattening(), 298.257223563, 1e-6);
    EXPECT_NEAR(oWgs84.eccentricitySquared(), 0.00669437999014, 1e-14);

    const CEarth oThree(3), oTwenty(20);
    EXPECT_EQ(oThree.semiMajorAxis(), oTwenty.semiMajorAxis());
    EXPECT_EQ(oThree.semiMinorAxis(), oTwenty.semiMinorAxis());
    EXPECT_EQ(oTwenty.ellipsoidId(), 20);

    const CEarth oSphere(1);
    EXPECT_EQ(oSphere.flattening(), 0.0);
    EXPECT_EQ(oSphere.eccentricitySquared(), 0.0);

    // 26 and anything outside the table is the empty ellipsoid; 26 comes only from the setters.
    for (int nId : {0, 26, 27, -1}) {
        const CEarth oEarth(nId);
        EXPECT_EQ(oEarth.ellipsoidId(), 0) << nId;
        EXPECT_EQ(oEarth.semiMajorAxis(), 0.0) << nId;
        EXPECT_EQ(oEarth.semiMinorAxis(), 0.0) << nId;
        EXPECT_EQ(oEarth.flattening(), 0.0) << nId;
    }

    CEarth oCustom(25);
    oCustom.setAxes(6400000.0, 0.0);
    EXPECT_EQ(oCustom.ellipsoidId(), 26);
    EXPECT_EQ(oCustom.flattening(), oWgs84.flattening()); // b = 0 keeps the flattening
    oCustom.setAxes(6400000.0, 6300000.0);
    EXPECT_DOUBLE_EQ(oCustom.flattening(), 1.0 / 64.0);
    oCustom.setSemiMajorAndFlattening(6400000.0, 0.0);
    EXPECT_EQ(oCustom.semiMinorAxis(), 6400000.0);
    EXPECT_EQ(oCustom.eccentricitySquared(), 0.0);
}

TEST(Ellipsoid, NoNumbersWithoutAnEllipsoidOrBeyondThePoles)
{
    const CEarth oNone(0);
    const CEarth oWgs84(25);
    struct Case {
        const CEarth& oEarth;
        CPolarCoordinate oFrom, oTo;
        const char* szWhat;
    };
    const Case kCases[] = {
        {oNone, geo(0.0, 0.0), geo(1.0, 1.0), "empty ellipsoid"},
        {oWgs84, geo(91.0, 0.0), geo(1.0, 1.0), "start beyond the pole"},
        {oWgs84, geo(0.0, 0.0), geo(-100.0, 1.0), "end beyond the pole"},
    };
    for (const Case& c : kCases) {
        double dForward = 0.0, dBack = 0.0;
        EXPECT_TRUE(std::isnan(c.oEarth.inverse(c.oFrom, c.oTo, &dForward, &dBack))) << c.szWhat;
        EXPECT_TRUE(std::isnan(dForward)) << c.szWhat;
        EXPECT_TRUE(std::isnan(dBack)) << c.szWhat;
    }
    CPolarCoordinate oTarget;
    EXPECT_TRUE(std::isnan(oNone.direct(geo(0.0, 0.0), 1000.0, 45.0, oTarget)));
    EXPECT_TRUE(std::isnan(oTarget.latitude()));
    EXPECT_TRUE(std::isnan(oWgs84.direct(geo(91.0, 0.0), 1000.0, 45.0, oTarget)));
    EXPECT_FALSE(geodesicDistanceHeading(95.0, 0.0, 0.0, 1.0, nullptr, nullptr));
}

TEST(Cartesian, RoundTrips)
{
    const CEarth oEarth(CEarth::WGS84);
    const CPolarCoordinate kPoints[] = {
        geo(0.0, 0.0, 0.0),
        geo(59.5, 10.75, 120.0),
        geo(-45.0, -170.0, -30.0),
        geo(89.999999, 33.0, 5.0),
        // Here the tangent iteration never settles within the absolute limit.
        geo(79.712087484493, 33.0, 9687.547),
        geo(86.571410591021, -120.0, 11908.151),
    };
    for (const CPolarCoordinate& oPoint : kPoints) {
        SCOPED_TRACE(testing::Message() << oPoint.latitude() << " " << oPoint.longitude() << " " << oPoint.height());
        CEarthCoordinate oCart;
        oEarth.geodeticToCartesian(oPoint, oCart);
        CPolarCoordinate oBack;
        oEarth.cartesianToGeodetic(oCart, oBack);
        EXPECT_NEAR(oBack.latitude(), oPoint.latitude(), 1e-11);
        EXPECT_NEAR(oBack.longitude(), oPoint.longitude(), 1e-11);
        EXPECT_NEAR(oBack.height(), oPoint.height(), 1e-6);
    }

    CEarthCoordinate oOnEquator;
    oEarth.geodeticToCartesian(geo(0.0, 90.0, 10.0), oOnEquator);
    EXPECT_NEAR(oOnEquator.x(), 0.0, 1e-6);
    EXPECT_EQ(oOnEquator.y(), 6378147.0);
    EXPECT_EQ(oOnEquator.z(), 0.0);

    CPolarCoordinate oPole;
    oEarth.cartesianToGeodetic(cart(0.0, 0.0, 6356852.314245179), oPole);
    EXPECT_EQ(oPole.latitude(), 90.0);
    EXPECT_EQ(oPole.longitude(), 0.0);
    EXPECT_NEAR(oPole.height(), 100.0, 1e-6);

    CPolarCoordinate oCentre;
    oEarth.cartesianToGeodetic(cart(0.0, 0.0, 0.0), oCentre);
    EXPECT_TRUE(std::isnan(oCentre.latitude()));
}

TEST(Cartesian, CompositeOperations)
{
    const CEarth oEarth(CEarth::WGS84);
    const CPolarCoordinate oStart = geo(59.5, 10.75, 0.0);
    CPolarCoordinate oTarget;
    oEarth.direct(oStart, 25000.0, 30.0, oTarget);
    CEarthCoordinate oStartCart, oTargetCart;
    oEarth.geodeticToCartesian(oStart, oStartCart);
    oEarth.geodeticToCartesian(oTarget, oTargetCart);

    CEarthCoordinate oDirect;
    oEarth.directToCartesian(oStart, 25000.0, 30.0, oDirect);
    EXPECT_NEAR(oEarth.cartesianDistance(oDirect, oTargetCart), 0.0, 1e-6);
    oEarth.directCartesian(oStartCart, 25000.0, 30.0, oDirect);
    EXPECT_NEAR(oEarth.cartesianDistance(oDirect, oTargetCart), 0.0, 1e-6);
    CPolarCoordinate oFromCart;
    oEarth.directFromCartesian(oStartCart, 25000.0, 30.0, oFromCart);
    EXPECT_NEAR(oFromCart.latitude(), oTarget.latitude(), 1e-11);

    double dForward = 0.0;
    for (double dDistance : {oEarth.inverseGeodeticCartesian(oStart, oTargetCart, &dForward, nullptr),
                             oEarth.inverseCartesianGeodetic(oStartCart, oTarget, nullptr, nullptr),
                             oEarth.inverseCartesian(oStartCart, oTargetCart, nullptr, nullptr)})
        EXPECT_NEAR(dDistance, 25000.0, 1e-6);
    EXPECT_NEAR(dForward, 30.0, 1e-9);

    const double dChord = oEarth.chordDistance(oStart, oTarget);
    EXPECT_LT(dChord, 25000.0);
    EXPECT_GT(dChord, 24999.9);
    EXPECT_DOUBLE_EQ(oEarth.chordDistanceCartesianGeodetic(oStartCart, oTarget), dChord);
    EXPECT_DOUBLE_EQ(oEarth.chordDistanceGeodeticCartesian(oStart, oTargetCart), dChord);

    // A chord, from the ground or from a mast top 30 m up, reduces to the same arc.
    for (double dStartHeight : {0.0, 30.0}) {
        CPolarCoordinate oRaised = oStart;
        oRaised.setHeight(dStartHeight);
        CPolarCoordinate oByChord;
        oEarth.directFromChord(oRaised, oEarth.chordDistance(oRaised, oTarget), 30.0, oByChord, 0.0);
        EXPECT_NEAR(oByChord.latitude(), oTarget.latitude(), 1e-7) << dStartHeight;
        EXPECT_NEAR(oByChord.longitude(), oTarget.longitude(), 1e-7) << dStartHeight;
    }

    EXPECT_DOUBLE_EQ(oEarth.horizonDistance(geo(0.0, 0.0, 10.0)), std::sqrt(170.0));
    CEarthCoordinate oMast;
    oEarth.geodeticToCartesian(geo(59.5, 10.75, 10.0), oMast);
    EXPECT_NEAR(oEarth.horizonDistanceCartesian(oMast), std::sqrt(170.0), 1e-6);
}

TEST(Cartesian, DistanceToLine)
{
    const CEarth oEarth(CEarth::WGS84);
    struct LineCase {
        CEarthCoordinate oP, oA, oB;
        double dExpected;
        double dTolerance;
        const char* szWhat;
    };
    // A point on the line, which the plain triangle formula turns into NaN through rounding.
    const CEarthCoordinate oA = cart(1.1, 0.3, 0.7);
    const CEarthCoordinate oB = cart(14.3, 18.7, 2.9);
    const CEarthCoordinate oOnLine = cart(oA.x() + 0.37 * (oB.x() - oA.x()), oA.y() + 0.37 * (oB.y() - oA.y()),
                                          oA.z() + 0.37 * (oB.z() - oA.z()));
    // A 100 km chord on the earth and a point 25 m off it.
    CEarthCoordinate oStart, oEnd;
    oEarth.geodeticToCartesian(geo(59.0, 10.0, 0.0), oStart);
    oEarth.geodeticToCartesian(geo(59.9, 10.0, 0.0), oEnd);
    const double dLength = oEarth.cartesianDistance(oStart, oEnd);
    // Offset 25 m from the chord's middle, perpendicular to it in the plane of the chord and
    // the earth's centre.
    const double dU[3] = {(oEnd.x() - oStart.x()) / dLength, (oEnd.y() - oStart.y()) / dLength,
                          (oEnd.z() - oStart.z()) / dLength};
    const double dRadius = std::sqrt(oStart.x() * oStart.x() + oStart.y() * oStart.y() + oStart.z() * oStart.z());
    const double dW[3] = {oStart.x() / dRadius, oStart.y() / dRadius, oStart.z() / dRadius};
    const double dWu = dW[0] * dU[0] + dW[1] * dU[1] + dW[2] * dU[2];
    double dV[3] = {dW[0] - dWu * dU[0], dW[1] - dWu * dU[1], dW[2] - dWu * dU[2]};
    const double dVLength = std::sqrt(dV[0] * dV[0] + dV[1] * dV[1] + dV[2] * dV[2]);
    const auto offChord = [&](int i, double dStart) { return dStart + 0.5 * dLength * dU[i] + 25.0 * dV[i] / dVLength; };
    const CEarthCoordinate oOff = cart(offChord(0, oStart.x()), offChord(1, oStart.y()), offChord(2, oStart.z()));
    const LineCase kCases[] = {
        {cart(3, 4, 0), cart(0, 0, 0), cart(10, 0, 0), 4.0, 1e-12, "simple"},
        {cart(-5, 4, 0), cart(0, 0, 0), cart(10, 0, 0), 4.0, 1e-12, "beyond the segment"},
        {oOnLine, oA, oB, 0.0, 1e-6, "on the line"},
        {cart(3, 4, 0), cart(0, 0, 0), cart(0, 0, 0), 5.0, 0.0, "line of one point"},
        {oOff, oStart, oEnd, 25.0, 1e-4, "earth-sized chord"},
    };
    for (const LineCase& c : kCases) {
        const double dDistance = oEarth.distanceToLine(c.oP, c.oA, c.oB);
        EXPECT_NEAR(dDistance, c.dExpected, c.dTolerance) << c.szWhat;
    }

    // Cartesian inputs take a CPolarCoordinate holding X, Y, Z too.
    EXPECT_EQ(oEarth.cartesianDistance(geo(3.0, 4.0, 12.0), cart(0.0, 0.0, 0.0)), 13.0);
}

} // namespace
