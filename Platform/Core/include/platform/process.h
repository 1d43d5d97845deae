// Starting, finding and ending processes by image name, without a shell.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace platform {

struct StartOptions {
    QString program;             // Windows or local path; mapped with toNativePath
    QStringList arguments;       // handed over as they are, never split
    QString workingDirectory;    // empty: the caller's
    std::optional<QProcessEnvironment> environment; // empty: the caller's
    bool showWindow = true;      // the window flag of the system; without effect here
};

// Starts a program that outlives this one; the process id, or nothing when it did not start.
std::optional<qint64> startDetached(const StartOptions& options);

struct ProcessInfo {
    qint64 pid = 0;
    QStringList arguments;       // from /proc/<pid>/cmdline; arguments[0] is the image path
    QString imageName() const;   // base name of arguments[0]
};

// Processes of this user, read from /proc.
std::vector<ProcessInfo> listProcesses();

// Processes of this user whose image name equals 'imageName', compared without case.
std::vector<ProcessInfo> findProcessesByImageName(const QString& imageName);

// Ends one process of this user: SIGTERM when soft, else SIGKILL. False when it was not ours
// or is already gone.
bool endProcess(qint64 pid, bool soft = false);

// Ends every process of this user with that image name; returns how many were signalled.
int endProcessesByImageName(const QString& imageName, bool soft = false);

// The full path of an executable found on PATH (split at ':'), or empty.
QString findOnPath(const QString& name);

} // namespace platform
