// Appends call records as JSON lines to a file named by an environment variable (stand-ins' logs).
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace platform {

// Appends `record` with "call" set to `call` as one line to the file named by `envVar`;
// does nothing when the variable is unset or the file can't be opened.
inline void appendJsonLine(const char* envVar, const QString& call, QJsonObject record)
{
    const QString path = qEnvironmentVariable(envVar);
    if (path.isEmpty())
        return;
    record.insert(QStringLiteral("call"), call);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace platform
