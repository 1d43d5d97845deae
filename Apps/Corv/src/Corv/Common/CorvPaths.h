// The data folder of the installation and the path of its shared settings file "gui.ini".
#pragma once

#include <QString>

#include <string>

// The data folder: $ProgramData followed by "\Tavrin Nautic\tqel\"; always ends with a
// backslash. Computed anew on every call.
QString programDataPath();

// programDataPath() and "gui.ini" joined by a backslash. Computed anew on every call.
QString guiIniPath();

// The gui.ini path as the main window's constructor stores it; empty until then.
extern std::string g_strGuiIniPath;
