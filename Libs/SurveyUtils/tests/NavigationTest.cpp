#include "SurveyUtils/Navigation.h"

#include "SurveyUtils/Earth.h"
#include "TokenFixture.h"

#include "Projection/Projection.h"

#include <platform/process.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class NavigationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::useProgramData();
        corvtest::clearWindowsRoot();
        // The projection the system writes by default; read once, by the first conversion.
        QFile oFile(corvtest::dataFolder() + QStringLiteral("/qel_projv6.txt"));
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
        oFile.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n");
    }
    void SetUp() override { corvtest::writeTokens({}); }
    void TearDown() override { qunsetenv("DEBUG_DIST_HEADING"); }

    static void useGeodesy(bool bOn)
    {
        corvtest::writeTokens({corvtest::token("ROZOVED_COMPASS_USE_GEODESY_LIB", 2, bOn ? "1" : "0")});
    }

    // North and east in centimetres of a position, through the process-wide projection.
    static std::pair<double, double> projected(double dLatitude, double dLongitude)
    {
        double dNorth = 0.0, dEast = 0.0;
        EXPECT_EQ(CProjection::instance()->toProjected(dLatitude, dLongitude, dNorth, dEast), 0);
        return {dNorth, dEast};
    }
};

TEST_F(NavigationTest, PlaneDistanceAndHeading)
{
    struct Case {
        double dNorth, dEast;
        double dDistance, dHeading;
    };
    const Case kCases[] = {
        {-100, -100, 141.42135623730951, 225},
        {0, 100, 100, 90},
        {100, 0, 100, 0},
        {-100, 0, 100, 180},
        {0, -100, 100, 270},
        {100, -100, 141.42135623730951, 315},
        {30, 40, 50, 53.13010235415598},
    };
    useGeodesy(false);
    for (const Case& c : kCases) {
        double dDistance = -1.0, dHeading = -1.0;
        computeDistanceHeading(0.0, 0.0, c.dNorth, c.dEast, &dDistance, &dHeading);
        EXPECT_NEAR(dDistance, c.dDistance, 1e-9) << c.dNorth << " " << c.dEast;
        EXPECT_NEAR(dHeading, c.dHeading, 1e-9) << c.dNorth << " " << c.dEast;
    }

    // A zero distance leaves the heading as it was; so does a missing token (plane is default).
    corvtest::writeTokens({});
    double dDistance = -1.0, dHeading = 123.0;
    computeDistanceHeading(5.0, 6.0, 5.0, 6.0, &dDistance, &dHeading);
    EXPECT_EQ(dDistance, 0.0);
    EXPECT_EQ(dHeading, 123.0);
}

TEST_F(NavigationTest, GeodesicDistanceAndHeading)
{
    useGeodesy(true);
    const auto oFlinders = projected(-37.95103341666667, 144.42486789);
    const auto oBuninyong = projected(-37.65282114166667, 143.92649552);
    double dDistance = -1.0, dHeading = -1.0;
    computeDistanceHeading(oFlinders.first, oFlinders.second, oBuninyong.first, oBuninyong.second, &dDistance, &dHeading);
    EXPECT_EQ(dDistance, 5497227.0); // 54972.2716 m on the ellipsoid, whole centimetres
    EXPECT_NEAR(dHeading, 306.8681583, 1e-5);

    // On the plane of a Mercator projection the same points lie about 1 / cos(38°) further apart.
    useGeodesy(false);
    computeDistanceHeading(oFlinders.first, oFlinders.second, oBuninyong.first, oBuninyong.second, &dDistance, &dHeading);
    EXPECT_GT(dDistance, 6900000.0);

    useGeodesy(true);
    const auto oOrigin = projected(0.0, 0.0);
    const auto oEast = projected(0.0, 1.0);
    computeDistanceHeading(oOrigin.first, oOrigin.second, oEast.first, oEast.second, &dDistance, &dHeading);
    EXPECT_EQ(dDistance, 11131949.0);
    EXPECT_NEAR(dHeading, 90.0, 1e-6);
}

TEST_F(NavigationTest, GeodesicWithoutPositionsIsNoNumber)
{
    useGeodesy(true);
    double dDistance = 5.0, dHeading = 77.0;
    computeDistanceHeading(kNaN, 0.0, 100.0, 100.0, &dDistance, &dHeading);
    EXPECT_TRUE(std::isnan(dDistance));
    EXPECT_EQ(dHeading, 77.0);
}

TEST_F(NavigationTest, GeodesicDebugLines)
{
    useGeodesy(true);
    qputenv("DEBUG_DIST_HEADING", "");
    double dDistance = 0.0, dHeading = 0.0;
    // No folder for the file: nothing written, no harm.
    computeDistanceHeading(0.0, 0.0, 0.0, 11131949.079, &dDistance, &dHeading);
    EXPECT_EQ(dHeading, 90.0);

    QDir().mkpath(platform::winRoot() + QStringLiteral("/c/tmp"));
    computeDistanceHeading(0.0, 0.0, 0.0, 11131949.079, &dDistance, &dHeading);
    computeDistanceHeading(0.0, 0.0, 0.0, 11131949.079, &dDistance, &dHeading);
    QFile oFile(platform::winRoot() + QStringLiteral("/c/tmp/distheading.txt"));
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    const QByteArray baOne = "Pos1 projection cm: (0.00000000, 0.00000000)\n"
                             "Pos2 projection cm: (0.00000000, 11131949.07900000)\n"
                             "Pos1 geo: (0.00000000, 0.00000000)\n"
                             "Pos2 geo: (0.00000000, 1.00000000)\n"
                             "Dist(cm): 11131949, heading: 90.000000\n\n";
    EXPECT_EQ(oFile.readAll(), baOne + baOne);
}

TEST(Conversions, PackedDegrees)
{
    struct Case {
        double dDegrees, dDdmm, dDdmmss;
    };
    const Case kCases[] = {
        {59.5, 5930.0, 593000.0},
        {-10.5, -1030.0, -103000.0},
        {10.5125, 1030.75, 103045.0},
        {0.0, 0.0, 0.0},
        {-0.25, -15.0, -1500.0},
        {179.999, 17959.94, 1795956.4},
    };
    for (const Case& c : kCases) {
        double dFirst = 0.0, dSecond = 0.0;
        degreesToDdmm(c.dDegrees, -c.dDegrees, &dFirst, &dSecond);
        EXPECT_NEAR(dFirst, c.dDdmm, 1e-9) << c.dDegrees;
        EXPECT_NEAR(dSecond, -c.dDdmm, 1e-9) << c.dDegrees;
        degreesToDdmmss(c.dDegrees, 0.0, &dFirst, &dSecond);
        EXPECT_NEAR(dFirst, c.dDdmmss, 1e-6) << c.dDegrees;
        ddmmToDegrees(c.dDdmm, -c.dDdmm, &dFirst, &dSecond);
        EXPECT_NEAR(dFirst, c.dDegrees, 1e-12) << c.dDegrees;
        EXPECT_NEAR(dSecond, -c.dDegrees, 1e-12) << c.dDegrees;
    }
    double dLatitude = 0.0, dLongitude = 0.0;
    ddmmToDegrees(5930.5, 1015.0, &dLatitude, &dLongitude);
    EXPECT_NEAR(dLatitude, 59.508333333333, 1e-9);
    EXPECT_NEAR(dLongitude, 10.25, 1e-12);
}

TEST(Conversions, CentimetresPerDegree)
{
    // Lengths of a degree of the meridian and of the parallel on WGS 84.
    struct Case {
        double dLatitude, dLatitudeCm, dLongitudeCm;
    };
    const Case kCases[] = {
        {0.0, 11057427.58, 11131949.08},
        {45.0, 11113177.74, 7884683.51},
        {-60.0, 11141228.75, 5580000.16},
    };
    for (const Case& c : kCases) {
        double dLatitudeCm = 0.0, dLongitudeCm = 0.0;
        EXPECT_EQ(cmPerDegree(c.dLatitude, 123.0, 6378137.0, 298.257223563, &dLatitudeCm, &dLongitudeCm), 0);
        EXPECT_NEAR(dLatitudeCm, c.dLatitudeCm, 0.01) << c.dLatitude;
        EXPECT_NEAR(dLongitudeCm, c.dLongitudeCm, 0.01) << c.dLatitude;
    }
}

TEST(SentenceFields, Splitting)
{
    struct Case {
        const char* szSentence;
        int nResult;
        std::vector<std::string> vFields;
    };
    const std::string strLongField(60, 'x');
    const std::string strLongSentence = "$A," + strLongField + ",B\r\n";
    const Case kCases[] = {
        {"$ABC,1,,2*7F\r\n", 0, {"$ABC", "1", "", "2"}},
        {"A,B,\n", 0, {"A", "B"}},
        {",A", 0, {"", "A"}},
        {"", 0, {}},
        {"*12", 0, {}},
        {"NO,END,HERE\r", 0, {"NO", "END", "HERE"}},
        {strLongSentence.c_str(), 0, {"$A", std::string(49, 'x'), "B"}},
    };
    for (const Case& c : kCases) {
        char szSentence[256] = {};
        std::strncpy(szSentence, c.szSentence, sizeof(szSentence) - 1);
        char aszFields[kMaxSentenceFields][kSentenceFieldSize];
        int nCount = -1;
        ASSERT_EQ(splitSentenceFields(szSentence, aszFields, &nCount), c.nResult) << c.szSentence;
        ASSERT_EQ(nCount, static_cast<int>(c.vFields.size())) << c.szSentence;
        for (int i = 0; i < nCount; ++i)
            EXPECT_EQ(aszFields[i], c.vFields[i]) << c.szSentence << " field " << i;
    }
}

TEST(SentenceFields, Limits)
{
    char aszFields[kMaxSentenceFields][kSentenceFieldSize];
    int nCount = -7;

    // 198 characters before the end are accepted, 199 or an unterminated text are not.
    std::string strText(198, ',');
    strText += '\n';
    EXPECT_EQ(splitSentenceFields(strText.data(), aszFields, &nCount), 0);
    EXPECT_EQ(nCount, 198);
    std::string strTooLong(199, 'a');
    strTooLong += '\n';
    nCount = -7;
    EXPECT_EQ(splitSentenceFields(strTooLong.data(), aszFields, &nCount), -1);
    EXPECT_EQ(nCount, -7);
    EXPECT_EQ(strTooLong[199], '\n') << "a refused sentence is left as it was";
    char szUnterminated[300];
    std::memset(szUnterminated, 'a', sizeof(szUnterminated));
    EXPECT_EQ(splitSentenceFields(szUnterminated, aszFields, &nCount), -1);

    EXPECT_EQ(splitSentenceFields(nullptr, aszFields, &nCount), -1);
    char szShort[] = "A,B";
    EXPECT_EQ(splitSentenceFields(szShort, aszFields, nullptr), -1);

    // A smaller field array is never written past its rows.
    char aszFew[3][kSentenceFieldSize];
    std::memset(aszFew, 0, sizeof(aszFew));
    char szMany[] = "A,B,C,D,E\r\n";
    EXPECT_EQ(splitSentenceFields(szMany, aszFew, &nCount, 3), 0);
    EXPECT_EQ(nCount, 3);
    EXPECT_STREQ(aszFew[2], "C");
}

TEST(Processes, FindAndEnd)
{
    // A program under an image name of the system's kind, found whatever the case.
    const QString strImage = QDir(corvtest::dataFolder()).filePath("QxallPointCloudGenerator.exe");
    QDir().mkpath(corvtest::dataFolder());
    QFile::remove(strImage);
    ASSERT_TRUE(QFile::copy(platform::findOnPath("sleep"), strImage));
    QProcess oChild;
    oChild.start(strImage, {"30"});
    ASSERT_TRUE(oChild.waitForStarted(5000));

    EXPECT_TRUE(isProcessRunning(L"qxallpointcloudgenerator.EXE"));
    EXPECT_FALSE(isProcessRunning(L"NoSuchImage-7f3e.exe"));
    EXPECT_FALSE(isProcessRunning(nullptr));

    EXPECT_NE(killProcessById(static_cast<int>(oChild.processId())), 0);
    ASSERT_TRUE(oChild.waitForFinished(5000));
    EXPECT_EQ(oChild.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(isProcessRunning(L"QxallPointCloudGenerator.exe"));

    // Never the process group, every process, init or a process that is gone.
    for (int nPid : {0, -1, 1, static_cast<int>(oChild.processId())})
        EXPECT_EQ(killProcessById(nPid), 0) << nPid;
}

TEST(Datagrams, TypeName)
{
    EXPECT_EQ(datagramTypeName(QByteArray("\x00\x00\x00\x28POSNrest", 12)), QStringLiteral("POSN"));
    EXPECT_EQ(datagramTypeName(QByteArray("\x00\x00\x00\x08RTDP", 8)), QStringLiteral("RTDP"));
    EXPECT_EQ(datagramTypeName(QByteArray("\x00\x00\x00\x08RTD", 7)), QString());
    EXPECT_EQ(datagramTypeName(QByteArray()), QString());
}

} // namespace
