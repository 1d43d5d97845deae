// Shared pieces of the main window's source files.
#pragma once

#include "Common/GuiIni.h"

#include "OrlexViewer/OrlexViewer.h"

#include <QString>

namespace corvwindow {

// The 3-D view controller as the window reaches it after start-up; null once destroyed.
inline COrlexViewer* viewer()
{
    return COrlexViewer::instance(QStringLiteral("dremm"));
}

inline QString runtimeGroup()
{
    return QLatin1String(GuiIni::GroupRuntime);
}

// The local folder a file dialog starts in: the gui.ini [RUNTIME] key, else the configuration
// token "STORAGE_DIR".
QString dialogFolder(const QString& strKey);

} // namespace corvwindow
