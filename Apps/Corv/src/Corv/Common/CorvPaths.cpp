#include "Common/CorvPaths.h"

std::string g_strGuiIniPath;

QString programDataPath()
{
    return QStringLiteral("%1\\Tavrin Nautic\\").arg(qEnvironmentVariable("ProgramData")) + QStringLiteral("tqel\\");
}

QString guiIniPath()
{
    return QStringLiteral("%1\\%2").arg(programDataPath(), QStringLiteral("gui.ini"));
}
