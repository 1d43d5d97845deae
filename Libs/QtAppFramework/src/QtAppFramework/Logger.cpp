#include "QtAppFramework/Logger.h"

#include "platform/paths.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Log file names are Windows paths; this is where they live on this machine.
std::string nativePath(const std::string& strName)
{
    return QFile::encodeName(platform::toNativePath(QString::fromLocal8Bit(strName.c_str()))).toStdString();
}

void toStdErr(const std::string& strText)
{
    std::fwrite(strText.data(), 1, strText.size(), stderr);
    std::fflush(stderr);
}

} // namespace

CLogger::CLogger(const char* szFileName, int nFileSizeMax, gcn::IRecursiveMutex* poMutex)
    : m_nFileSizeMax(nFileSizeMax),
      m_strFileName(szFileName && *szFileName ? szFileName : DefaultFileName),
      m_poMutex(poMutex)
{
}

CLogger::CLogger(gcn::IRecursiveMutex* poMutex) : CLogger(DefaultFileName, 1000000, poMutex)
{
}

CLogger::~CLogger()
{
    closeFile();
    m_nFlags &= static_cast<unsigned short>(~StdOut);
}

void CLogger::log(const char* szText, unsigned short nType)
{
    CLock oLock(m_poMutex);
    if (!szText || !m_bEnabled || !(nType & m_nMsgTypeMask))
        return;
    const std::size_t nLength = std::strlen(szText);

    if (!m_bAborted && m_oFile.is_open()) {
        const unsigned long long nSum = static_cast<unsigned>(m_nBytesWritten) + nLength;
        if (nSum > static_cast<unsigned>(m_nFileSizeMax)) {
            toStdErr("\nMax log file size reached, file will be renamed and a new one opened.\n");
            closeFile();
            renameToOld();
            openFile();
            // The line goes into the new file and counts towards its size.
            m_nBytesWritten = static_cast<int>(std::min<std::size_t>(nLength, INT_MAX));
        } else {
            m_nBytesWritten = static_cast<int>(std::min<unsigned long long>(nSum, INT_MAX));
        }
        bool bWritten = false;
        if (!m_bAborted && m_oFile.is_open()) {
            m_oFile.write(szText, static_cast<std::streamsize>(nLength));
            m_oFile.flush();
            bWritten = m_oFile.good();
        }
        if (!bWritten) {
            m_bAborted = true;
            toStdErr("\nWARNING: Not able to append text to log file " + m_strFileName + ". Logging aborted\n");
        }
    }

    if (m_nFlags & StdOut) {
        std::fwrite(szText, 1, nLength, stdout);
        std::fflush(stdout);
    }
}

void CLogger::log(const char* szText)
{
    log(szText, 1);
}

void CLogger::setFlags(unsigned short nFlags)
{
    CLock oLock(m_poMutex);
    if (nFlags & File)
        openFile();
    if (nFlags & StdOut)
        m_nFlags |= StdOut;
}

void CLogger::clearFlags(unsigned short nFlags)
{
    CLock oLock(m_poMutex);
    if (nFlags & File)
        closeFile();
    if (nFlags & StdOut)
        m_nFlags &= static_cast<unsigned short>(~StdOut);
}

bool CLogger::hasFlags(unsigned short nFlags)
{
    CLock oLock(m_poMutex);
    return (m_nFlags & nFlags) == nFlags;
}

void CLogger::enable()
{
    CLock oLock(m_poMutex);
    m_bEnabled = true;
}

void CLogger::disable()
{
    CLock oLock(m_poMutex);
    m_bEnabled = false;
}

bool CLogger::isEnabled()
{
    CLock oLock(m_poMutex);
    return m_bEnabled;
}

void CLogger::setFileName(const std::string& strName)
{
    CLock oLock(m_poMutex);
    const bool bWasOpen = (m_nFlags & File) != 0;
    if (bWasOpen)
        clearFlags(File);
    m_strFileName = strName;
    if (bWasOpen && !strName.empty())
        setFlags(File);
}

void CLogger::setFileSizeMax(int nMax)
{
    CLock oLock(m_poMutex);
    m_nFileSizeMax = nMax;
}

std::string CLogger::fileName()
{
    CLock oLock(m_poMutex);
    return m_strFileName;
}

int CLogger::fileSizeMax()
{
    CLock oLock(m_poMutex);
    return m_nFileSizeMax;
}

unsigned short CLogger::msgTypeMask()
{
    CLock oLock(m_poMutex);
    return m_nMsgTypeMask;
}

void CLogger::openFile()
{
    CLock oLock(m_poMutex);
    // Opening an open file again would lose it; the file simply stays open.
    if (m_bAborted || m_oFile.is_open())
        return;
    const std::string strPath = nativePath(m_strFileName);

    m_oFile.open(strPath, std::ios::in | std::ios::binary);
    if (m_oFile.is_open()) {
        const bool bWasEnabled = m_bEnabled;
        m_bEnabled = false;
        closeFile();
        m_bEnabled = bWasEnabled;
        renameToOld();
        // A file that could not be moved aside is not emptied.
        if (m_bAborted)
            return;
    } else {
        m_oFile.clear();
    }

    m_oFile.open(strPath, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_oFile.is_open()) {
        m_oFile.clear();
        toStdErr("\nWARNING: Not able to open log file " + m_strFileName + ". Logging to file aborted\n");
        m_bAborted = true;
        return;
    }
    m_nBytesWritten = 0;
    m_nFlags |= File;
}

void CLogger::closeFile()
{
    if (m_bAborted)
        return;
    CLock oLock(m_poMutex);
    if (m_oFile.is_open()) {
        m_oFile.clear();
        m_oFile.close();
        if (m_oFile.fail()) {
            m_bAborted = true;
            if (m_bEnabled)
                toStdErr("WARNING: Not able to close log file " + m_strFileName + "\n");
            return;
        }
    }
    m_nFlags &= static_cast<unsigned short>(~File);
}

void CLogger::renameToOld()
{
    if (m_bAborted)
        return;
    CLock oLock(m_poMutex);
    const std::string strOldName = m_strFileName + ".old";
    const std::string strPath = nativePath(m_strFileName);
    const std::string strOldPath = nativePath(strOldName);
    std::remove(strOldPath.c_str());
    if (std::rename(strPath.c_str(), strOldPath.c_str()) != 0) {
        m_bAborted = true;
        toStdErr("\nWARNING: Could not rename " + m_strFileName + ". Logging aborted\n");
        return;
    }
    toStdErr("\nRenamed existing log file: " + m_strFileName + "\n                       to: " + strOldName + "\n");
}

int ReadArg(int argc, char** argv, const char* szPattern, ...)
{
    if (!szPattern)
        return 0;
    const char* szDash = std::strchr(szPattern, '-');
    if (!szDash) {
        toStdErr("\n\nReadArg: Missing '-' in call argument.\n");
        return 0;
    }
    const std::size_t nNameLength = std::strcspn(szDash, " ");
    if (nNameLength > 255)
        return 0;
    const std::string strName(szDash, nNameLength);

    int nOption = 0;
    for (int i = 1; i < argc && argv; ++i) {
        if (argv[i] && strName == argv[i]) {
            nOption = i;
            break;
        }
    }
    if (nOption == 0)
        return 1;

    va_list args;
    va_start(args, szPattern);
    int nNext = nOption + 1;
    for (const char* p = szPattern; *p; ++p) {
        if (p[0] != '%' || p[1] == '\0')
            continue;
        const char cConversion = *++p;
        char* szArg = nNext < argc ? argv[nNext] : nullptr;
        ++nNext;
        bool bKnown = true;
        switch (cConversion) {
        case 'c':
            if (char* pTarget = va_arg(args, char*); pTarget && szArg)
                *pTarget = static_cast<char>(std::atoi(szArg));
            break;
        case 'i':
            if (int* pTarget = va_arg(args, int*); pTarget && szArg)
                *pTarget = std::atoi(szArg);
            break;
        case 'l':
            if (long* pTarget = va_arg(args, long*); pTarget && szArg)
                *pTarget = std::atol(szArg);
            break;
        case 'd':
            if (double* pTarget = va_arg(args, double*); pTarget && szArg)
                *pTarget = std::atof(szArg);
            break;
        case 's':
            if (char** pTarget = va_arg(args, char**); pTarget)
                *pTarget = szArg;
            break;
        case 'x':
            if (int* pTarget = va_arg(args, int*); pTarget && szArg)
                *pTarget = static_cast<int>(std::strtol(szArg, nullptr, 16));
            break;
        default:
            bKnown = false;
            break;
        }
        if (!bKnown) {
            // Which target belongs to what follows is unknown now: stop here.
            toStdErr("\n\nReadArg: Unknown argument type.\n");
            break;
        }
    }
    va_end(args);
    return 2;
}
