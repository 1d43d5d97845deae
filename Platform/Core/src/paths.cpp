#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace platform {

namespace {

bool isDriveLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// Finds each missing component of 'path' case-insensitively below the deepest part that
// exists; components that match nothing are kept as written.
QString resolveCaseInsensitive(const QString& path)
{
    if (QFileInfo::exists(path))
        return path;
    const bool absolute = path.startsWith(QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QString();
    bool matching = true;
    for (const QString& part : parts) {
        const QString base = current.isEmpty() ? QStringLiteral(".") : current;
        QString next = part;
        if (matching && part != QLatin1String(".") && part != QLatin1String("..")) {
            const QString exact = QDir(base).filePath(part);
            if (!QFileInfo::exists(exact)) {
                const QStringList entries = QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                auto found = std::find_if(entries.begin(), entries.end(), [&](const QString& e) {
                    return e.compare(part, Qt::CaseInsensitive) == 0;
                });
                if (found != entries.end())
                    next = *found;
                else
                    matching = false;
            }
        }
        if (current.isEmpty())
            current = next;
        else if (current.endsWith(QLatin1Char('/')))
            current += next;
        else
            current += QLatin1Char('/') + next;
    }
    if (path.endsWith(QLatin1Char('/')) && !current.endsWith(QLatin1Char('/')))
        current += QLatin1Char('/');
    return current;
}

} // namespace

QString winRoot()
{
    const QString root = qEnvironmentVariable("CORV_WINROOT");
    if (!root.isEmpty())
        return QDir::cleanPath(root);
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(dataHome + QStringLiteral("/corvane/root"));
}

QString toNativePath(const QString& windowsPath)
{
    if (windowsPath.isEmpty())
        return QString();
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));

    QString mapped;
    if (path.size() >= 2 && isDriveLetter(path.at(0)) && path.at(1) == QLatin1Char(':')) {
        mapped = winRoot() + QLatin1Char('/') + path.at(0).toLower() + QLatin1Char('/') + path.mid(2);
    } else if (windowsPath.startsWith(QLatin1Char('\\')) && !windowsPath.startsWith(QLatin1String("\\\\"))) {
        mapped = winRoot() + QStringLiteral("/c") + path;
    } else {
        mapped = path;
    }
    const bool trailingSlash = mapped.endsWith(QLatin1Char('/'));
    mapped = QDir::cleanPath(mapped);
    if (trailingSlash && !mapped.endsWith(QLatin1Char('/')))
        mapped += QLatin1Char('/');
    return resolveCaseInsensitive(mapped);
}

void ensureWindowsEnvironment()
{
    if (qEnvironmentVariableIsEmpty("ProgramData"))
        qputenv("ProgramData", QByteArrayLiteral("C:\\ProgramData"));
}

} // namespace platform
