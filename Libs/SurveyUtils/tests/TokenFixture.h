// Configuration tokens for tests: the shared cache "QelTokens.json" in the test's data folder,
// read by the real token store.
#pragma once

#include "SurveyFolders.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvtest {

inline QJsonObject token(const char* szName, int nType, const QString& strValue)
{
    return QJsonObject{{"Name", szName}, {"Descr", ""}, {"Type", nType}, {"Value", strValue}};
}

// Replaces the token cache; the lock file's folder "c:\temp" is made too.
inline void writeTokens(const QJsonArray& aTokens)
{
    QDir().mkpath(platform::winRoot() + QStringLiteral("/c/temp"));
    QDir().mkpath(dataFolder());
    QFile oFile(dataFolder() + QStringLiteral("/QelTokens.json"));
    if (!oFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QJsonObject oCache{{"version", "1"}, {"lastsave", "20240101_120000"}, {"tokens", aTokens}};
    oFile.write(QJsonDocument(oCache).toJson());
}

} // namespace corvtest
