#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

QString root()
{
    return platform::winRoot();
}

struct MapCase {
    const char* windows;
    const char* expectedBelowRoot; // nullptr: expected is given literally in 'literal'
    const char* literal;
};

class PathMapping : public ::testing::TestWithParam<MapCase> {};

TEST_P(PathMapping, MapsAsWindowsWouldOpenIt)
{
    const MapCase& c = GetParam();
    const QString expected = c.expectedBelowRoot ? root() + QString::fromUtf8(c.expectedBelowRoot)
                                                 : QString::fromUtf8(c.literal);
    EXPECT_EQ(platform::toNativePath(QString::fromUtf8(c.windows)), expected) << c.windows;
}

INSTANTIATE_TEST_SUITE_P(Cases, PathMapping, ::testing::Values(
    MapCase{"C:\\ProgramData\\Tavrin Nautic\\tqel\\gui.ini", "/c/ProgramData/Tavrin Nautic/tqel/gui.ini", nullptr},
    MapCase{"C:\\ProgramData\\Tavrin Nautic\\tqel\\\\gui.ini", "/c/ProgramData/Tavrin Nautic/tqel/gui.ini", nullptr},
    MapCase{"C:/qeldata/Grids/v1/s2", "/c/qeldata/Grids/v1/s2", nullptr},
    MapCase{"d:\\Data", "/d/Data", nullptr},
    MapCase{"E:", "/e/", nullptr},
    MapCase{"C:\\ProgramData\\Tavrin Nautic\\tqel\\", "/c/ProgramData/Tavrin Nautic/tqel/", nullptr},
    MapCase{"\\Tavrin Nautic\\tqel\\gui.ini", "/c/Tavrin Nautic/tqel/gui.ini", nullptr},
    MapCase{"..\\Orlex\\Tavrin.Dremm.Orlex.exe", nullptr, "../Orlex/Tavrin.Dremm.Orlex.exe"},
    MapCase{"relative\\file.txt", nullptr, "relative/file.txt"},
    MapCase{"/usr/bin/env", nullptr, "/usr/bin/env"},
    MapCase{"", nullptr, ""}));

TEST(PathMapping, ResolvesExistingComponentsWithoutCase)
{
    const QString dir = root() + QStringLiteral("/c/Temp/Grids");
    ASSERT_TRUE(QDir().mkpath(dir));
    QFile file(dir + QStringLiteral("/SurveyInfo.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_EQ(platform::toNativePath(QStringLiteral("c:\\temp\\grids\\surveyinfo.INI")), file.fileName());
    // A new file in an existing folder keeps the folder's spelling and its own.
    EXPECT_EQ(platform::toNativePath(QStringLiteral("C:/TEMP/new.txt")), root() + QStringLiteral("/c/Temp/new.txt"));
    // Below a component that matches nothing, the rest stays as written.
    EXPECT_EQ(platform::toNativePath(QStringLiteral("C:/temp/Missing/Grids")), root() + QStringLiteral("/c/Temp/Missing/Grids"));
}

TEST(PathMapping, RootComesFromTheEnvironment)
{
    const QByteArray saved = qgetenv("CORV_WINROOT");
    qputenv("CORV_WINROOT", "/tmp/some-root/");
    EXPECT_EQ(platform::winRoot(), QStringLiteral("/tmp/some-root"));
    qunsetenv("CORV_WINROOT");
    const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/xdg");
    EXPECT_EQ(platform::winRoot(), QStringLiteral("/tmp/xdg/corvane/root"));
    qputenv("XDG_DATA_HOME", savedXdg);
    if (savedXdg.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    qputenv("CORV_WINROOT", saved);
}

TEST(WindowsEnvironment, ProgramDataDefaultsButIsNotOverwritten)
{
    qunsetenv("ProgramData");
    platform::ensureWindowsEnvironment();
    EXPECT_EQ(qEnvironmentVariable("ProgramData"), QStringLiteral("C:\\ProgramData"));
    qputenv("ProgramData", "D:\\Shared");
    platform::ensureWindowsEnvironment();
    EXPECT_EQ(qEnvironmentVariable("ProgramData"), QStringLiteral("D:\\Shared"));
    qunsetenv("ProgramData");
}

} // namespace
