// Starts the viewer server "Tavrin.Dremm.Orlex.exe" with the pipe name and ends it when destroyed.
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <string>

namespace Dremm::Orlex::QtClient {

class ViewerProcess
{
public:
    // Splits strExecutablePath into folder and executable name, ends running servers of that
    // name first when bKill is set, and starts the server. Never throws for a failed start:
    // processId() is 0 then.
    ViewerProcess(const std::string& strExecutablePath, bool bKill, int nShowWindow,
                  const std::string& strPipeName, std::int32_t nConnectTimeoutMs, bool bPreferNvidia);
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    std::string executableName() const { return m_strExecutableName; }
    // The started server's process id; 0 when no candidate could be started.
    qint64 processId() const { return m_nProcessId; }

private:
    void startViewerProcess();
    qint64 launchViewerProcess(const std::string& strExecutable, const std::string& strWorkingFolder) const;

    std::string m_strPipeName;
    std::string m_strExecutableName;
    std::string m_strFolder;
    int m_nShowWindow;
    std::int32_t m_nConnectTimeoutMs;
    bool m_bPreferNvidia;
    qint64 m_nProcessId = 0;
};

// Ends every process of this user with that image name (SIGKILL); false when one of them could
// not be ended. A name with a folder part matches nothing.
bool killProcessesByImageName(const std::string& strName);

// The element of PATH whose folder holds strExecutableName, or "" when none does.
std::string findExecutableOnPath(const std::string& strExecutableName);

} // namespace Dremm::Orlex::QtClient
