#include "OrlexQtClient/ViewerProcess.h"

#include "platform/paths.h"
#include "platform/process.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace Dremm::Orlex::QtClient {

namespace {

QString toQString(const std::string& strText)
{
    return QString::fromLocal8Bit(strText.data(), static_cast<int>(strText.size()));
}

} // namespace

ViewerProcess::ViewerProcess(const std::string& strExecutablePath, bool bKill, int nShowWindow,
                             const std::string& strPipeName, std::int32_t nConnectTimeoutMs, bool bPreferNvidia)
    : m_strPipeName(strPipeName)
    , m_nShowWindow(nShowWindow)
    , m_nConnectTimeoutMs(nConnectTimeoutMs)
    , m_bPreferNvidia(bPreferNvidia)
{
    const std::size_t nSeparator = strExecutablePath.find_last_of("/\\");
    if (nSeparator == std::string::npos) {
        m_strExecutableName = strExecutablePath;
    } else {
        m_strFolder = strExecutablePath.substr(0, nSeparator);
        m_strExecutableName = strExecutablePath.substr(nSeparator + 1);
    }
    if (bKill)
        killProcessesByImageName(strExecutablePath);
    startViewerProcess();
}

ViewerProcess::~ViewerProcess()
{
    if (m_nProcessId != 0)
        platform::endProcess(m_nProcessId, /*soft=*/true);
}

void ViewerProcess::startViewerProcess()
{
    if (!m_strFolder.empty()) {
        m_nProcessId = launchViewerProcess(m_strFolder + "/" + m_strExecutableName, m_strFolder);
    } else {
        m_nProcessId = launchViewerProcess(m_strExecutableName, findExecutableOnPath(m_strExecutableName));
    }
    for (const char* pszVariable : {"ORLEXDIR", "ZUDOVOVO"}) {
        if (m_nProcessId != 0 || !qEnvironmentVariableIsSet(pszVariable))
            continue;
        const std::string strDir = qEnvironmentVariable(pszVariable).toLocal8Bit().toStdString();
        m_nProcessId = launchViewerProcess(strDir + "/" + m_strExecutableName, strDir);
        if (m_nProcessId == 0)
            m_nProcessId = launchViewerProcess(strDir + "/bin/" + m_strExecutableName, strDir + "/bin");
    }
}

qint64 ViewerProcess::launchViewerProcess(const std::string& strExecutable, const std::string& strWorkingFolder) const
{
    platform::StartOptions options;
    options.program = toQString(strExecutable);
    options.arguments << QStringLiteral("--PipeName=") + toQString(m_strPipeName);
    if (m_bPreferNvidia)
        options.arguments << QStringLiteral("--PreferNvidia");
    if (m_nConnectTimeoutMs > 0)
        options.arguments << QStringLiteral("--ClientConnectTimeoutMs=%1").arg(m_nConnectTimeoutMs);
    options.workingDirectory = toQString(strWorkingFolder);
    options.showWindow = m_nShowWindow != 0;
    return platform::startDetached(options).value_or(0);
}

bool killProcessesByImageName(const std::string& strName)
{
    bool bResult = true;
    const qint64 nSelf = QCoreApplication::applicationPid();
    for (const platform::ProcessInfo& info : platform::findProcessesByImageName(toQString(strName))) {
        if (info.pid == nSelf || platform::endProcess(info.pid))
            continue;
        // One that ended meanwhile is passed over; one that is still there was not ended.
        if (QFileInfo::exists(QStringLiteral("/proc/%1").arg(info.pid)))
            bResult = false;
    }
    return bResult;
}

std::string findExecutableOnPath(const std::string& strExecutableName)
{
    if (!qEnvironmentVariableIsSet("PATH"))
        return std::string();
    // Empty elements are kept: each one tests "/" followed by the name.
    const QStringList elements = qEnvironmentVariable("PATH").split(QLatin1Char(':'));
    const QString name = toQString(strExecutableName);
    for (const QString& element : elements) {
        if (QFileInfo::exists(platform::toNativePath(element + QLatin1Char('/') + name)))
            return element.toLocal8Bit().toStdString();
    }
    return std::string();
}

} // namespace Dremm::Orlex::QtClient
