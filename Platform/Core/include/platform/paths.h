// Maps the Windows paths the system writes ("C:\ProgramData\...") to files on this machine.
#pragma once

#include <QString>

namespace platform {

// The folder that stands for the Windows drives: $CORV_WINROOT, else
// $XDG_DATA_HOME/corvane/root (~/.local/share/corvane/root).
QString winRoot();

// The local path of a Windows path. "X:\rest" and "X:/rest" map to <winRoot>/x/rest, a path
// that starts with a single backslash maps under drive c, any other path only has its
// backslashes turned into slashes. When the exact path does not exist, each component is
// matched case-insensitively against what exists. An empty path gives an empty path.
QString toNativePath(const QString& windowsPath);

// Sets the environment Windows always has (ProgramData = "C:\ProgramData") where unset.
// Call before the system reads its environment.
void ensureWindowsEnvironment();

} // namespace platform
