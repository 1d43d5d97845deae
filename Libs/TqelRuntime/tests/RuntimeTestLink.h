// Test helpers around a runtime link: its relays as "code:text" lines, and a Mercator projection
// of its own.
#pragma once

#include "Common/CorvPaths.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringList>

namespace corvtest {

// The relays the spy caught, each as "code:text"; the spy is emptied.
inline QStringList takeRelays(QSignalSpy& oSpy)
{
    QStringList lstRelays;
    for (const QList<QVariant>& lstArgs : oSpy)
        lstRelays << lstArgs.at(0).toString() + QLatin1Char(':') + lstArgs.at(1).toString();
    oSpy.clear();
    return lstRelays;
}

// Projected centimetres from WGS84 degrees, through a file in the data folder.
inline bool useMercator(CUlmaRuntime& oLink)
{
    const QString strFile = programDataPath() + QStringLiteral("merc.txt");
    QDir().mkpath(platform::toNativePath(programDataPath()));
    QFile oFile(platform::toNativePath(strFile));
    if (!oFile.open(QIODevice::WriteOnly))
        return false;
    oFile.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n");
    oFile.close();
    oLink.setProjFile(strFile.toStdString());
    return true;
}

} // namespace corvtest
