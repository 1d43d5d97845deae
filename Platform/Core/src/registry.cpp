#include "platform/registry.h"

#include "platform/paths.h"

#include <QFile>
#include <QTextStream>

namespace platform {

namespace {

// Group names are registry key paths full of backslashes, which QSettings treats as
// separators; so the file is read as plain INI text here.
QString unquote(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

} // namespace

QString machineRegistryFile()
{
    return QStringLiteral("C:\\ProgramData\\registry.ini");
}

QVariant machineRegistryValue(const QString& keyPath, const QString& valueName)
{
    QFile file(toNativePath(machineRegistryFile()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QVariant();
    QTextStream in(&file);
    in.setCodec("UTF-8");
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inGroup = line.mid(1, line.size() - 2).trimmed().compare(keyPath, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inGroup)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        if (unquote(line.left(eq)).compare(valueName, Qt::CaseInsensitive) == 0)
            return unquote(line.mid(eq + 1));
    }
    return QVariant();
}

} // namespace platform
