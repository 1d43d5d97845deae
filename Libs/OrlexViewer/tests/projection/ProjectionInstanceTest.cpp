// The process-wide projection on a first start: a fresh data folder.
#include "ProjectionTestSupport.h"

#include <platform/paths.h>

using namespace projtest;

namespace {

TEST(ProjectionInstance, FirstStartWritesTheMercatorDefault)
{
    qunsetenv("ProgramData");
    const QString dataFile = platform::toNativePath(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\qel_projv6.txt"));
    ASSERT_FALSE(QFile::exists(dataFile));

    CProjection* poProjection = CProjection::instance();
    ASSERT_NE(poProjection, nullptr);
    EXPECT_EQ(CProjection::instance(), poProjection);
    EXPECT_TRUE(poProjection->isValid());
    EXPECT_EQ(poProjection->epsgCode(), "3395");
    EXPECT_EQ(readFile(dataFile), "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n");

    double dNorth = 0, dEast = 0;
    EXPECT_EQ(poProjection->toProjected(0, 1, dNorth, dEast), 0);
    EXPECT_NEAR(dEast, 11131949.08, 0.01);

    // The runtime link's twin then reads the same file unchanged.
    QelProj::CProjection runtime;
    EXPECT_TRUE(runtime.isValid());
    EXPECT_EQ(runtime.targetCrs(), "+proj=merc +units=cm +ellps=WGS84");
    EXPECT_EQ(readFile(dataFile), "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n");
}

} // namespace
