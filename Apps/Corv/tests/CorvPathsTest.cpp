#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* programData; // nullptr: unset
    const char* dataFolder;
    const char* guiIni;
};

class DataFolder : public ::testing::TestWithParam<PathCase> {};

TEST_P(DataFolder, FollowsProgramData)
{
    const PathCase& c = GetParam();
    if (c.programData)
        qputenv("ProgramData", c.programData);
    else
        qunsetenv("ProgramData");
    EXPECT_EQ(programDataPath(), QString::fromUtf8(c.dataFolder));
    EXPECT_EQ(guiIniPath(), QString::fromUtf8(c.guiIni));
    qunsetenv("ProgramData");
}

INSTANTIATE_TEST_SUITE_P(Cases, DataFolder, ::testing::Values(
    PathCase{"C:\\ProgramData", "C:\\ProgramData\\Tavrin Nautic\\tqel\\", "C:\\ProgramData\\Tavrin Nautic\\tqel\\\\gui.ini"},
    PathCase{"D:\\Shared", "D:\\Shared\\Tavrin Nautic\\tqel\\", "D:\\Shared\\Tavrin Nautic\\tqel\\\\gui.ini"},
    PathCase{nullptr, "\\Tavrin Nautic\\tqel\\", "\\Tavrin Nautic\\tqel\\\\gui.ini"},
    PathCase{"", "\\Tavrin Nautic\\tqel\\", "\\Tavrin Nautic\\tqel\\\\gui.ini"}));

TEST(DataFolder, MapsIntoTheWindowsRoot)
{
    qputenv("ProgramData", "C:\\ProgramData");
    EXPECT_EQ(platform::toNativePath(guiIniPath()),
              platform::winRoot() + QStringLiteral("/c/ProgramData/Tavrin Nautic/tqel/gui.ini"));
    // Without ProgramData the folder still lands on drive c, not in the file system's root.
    qunsetenv("ProgramData");
    EXPECT_EQ(platform::toNativePath(guiIniPath()),
              platform::winRoot() + QStringLiteral("/c/Tavrin Nautic/tqel/gui.ini"));
}

} // namespace
