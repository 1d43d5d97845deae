#include "platform/process.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool ownedByUs(qint64 pid)
{
    struct stat st = {};
    const QByteArray dir = "/proc/" + QByteArray::number(pid);
    return ::stat(dir.constData(), &st) == 0 && st.st_uid == ::getuid();
}

QStringList readCmdline(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray raw = file.readAll();
    QStringList args;
    for (const QByteArray& part : raw.split('\0'))
        args << QString::fromLocal8Bit(part);
    if (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

} // namespace

QString ProcessInfo::imageName() const
{
    return arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).fileName();
}

std::optional<qint64> startDetached(const StartOptions& options)
{
    QProcess process;
    process.setProgram(toNativePath(options.program));
    process.setArguments(options.arguments);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(toNativePath(options.workingDirectory));
    if (options.environment)
        process.setProcessEnvironment(*options.environment);
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return std::nullopt;
    return pid;
}

std::vector<ProcessInfo> listProcesses()
{
    std::vector<ProcessInfo> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || !ownedByUs(pid))
            continue;
        ProcessInfo info;
        info.pid = pid;
        info.arguments = readCmdline(pid);
        if (info.arguments.isEmpty())
            continue; // kernel threads and processes that just ended
        result.push_back(std::move(info));
    }
    return result;
}

std::vector<ProcessInfo> findProcessesByImageName(const QString& imageName)
{
    std::vector<ProcessInfo> result;
    for (ProcessInfo& info : listProcesses()) {
        if (info.imageName().compare(imageName, Qt::CaseInsensitive) == 0)
            result.push_back(std::move(info));
    }
    return result;
}

bool endProcess(qint64 pid, bool soft)
{
    // Never init, never this process.
    if (pid <= 1 || pid == QCoreApplication::applicationPid() || !ownedByUs(pid))
        return false;
    return ::kill(static_cast<pid_t>(pid), soft ? SIGTERM : SIGKILL) == 0;
}

int endProcessesByImageName(const QString& imageName, bool soft)
{
    int count = 0;
    const qint64 self = QCoreApplication::applicationPid();
    for (const ProcessInfo& info : findProcessesByImageName(imageName)) {
        if (info.pid != self && endProcess(info.pid, soft))
            ++count;
    }
    return count;
}

QString findOnPath(const QString& name)
{
    if (name.isEmpty())
        return QString();
    const QStringList dirs = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        const QFileInfo candidate(QDir(dir).filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    return QString();
}

} // namespace platform
