// The data folder of the tests: ProgramData = "C:\ProgramData", mapped into the test's Windows root.
#pragma once

#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <QDir>
#include <QString>

namespace corvtest {

inline void useProgramData()
{
    qputenv("ProgramData", "C:\\ProgramData");
}

// The local path of the data folder, without a trailing separator.
inline QString dataFolder()
{
    return QDir::cleanPath(platform::toNativePath(programDataPath()));
}

inline QString surveyInfo()
{
    return dataFolder() + QStringLiteral("/SurveyInfo.ini");
}

// Empties the Windows root and recreates an empty data folder.
inline void clearWindowsRoot()
{
    QDir(platform::winRoot()).removeRecursively();
    QDir().mkpath(platform::winRoot() + QStringLiteral("/c/ProgramData/Tavrin Nautic/tqel"));
}

} // namespace corvtest
