#include "QtAppFramework/LoggingManager.h"

#include "QtAppFramework/OutputWindow.h"
#include "QtAppFramework/QtLogger.h"

#include <climits>

namespace {

constexpr char RawMark = '\b';
constexpr int NameWidth = 7;
constexpr unsigned MinLogFileSize = 10000;

} // namespace

CLoggingManager::CLoggingManager() : QObject(nullptr)
{
}

CLoggingManager::~CLoggingManager()
{
    if (m_poBackend)
        m_poBackend->clearFlags(0xFFFF);
}

CLoggingManager* CLoggingManager::instance()
{
    // Never destroyed; lives until the process ends.
    static CLoggingManager* s_poInstance = [] {
        auto* poManager = new CLoggingManager();
        poManager->init();
        return poManager;
    }();
    return s_poInstance;
}

void CLoggingManager::init()
{
    if (m_poBackend)
        m_poBackend->clearFlags(0xFFFF);
    m_poBackend.reset();
    m_mapSenderNames.clear();
    m_mapOutputs.clear();
    m_mapSenderOutputs.clear();
    m_nOutputDeviceMask = 0;
    m_nMsgTypeMask = 0xFFFF;
    m_strLogFileName.clear();
    m_nLogFileSizeMax = 0;
    m_strServerAddress.clear();
    m_nServerPort = 0;
}

bool CLoggingManager::registerSender(int nSenderId, const QString& strName)
{
    for (auto it = m_mapSenderNames.cbegin(); it != m_mapSenderNames.cend(); ++it)
        if (it.key() != 0 && it.value() == strName)
            return false;
    m_mapSenderNames.insert(nSenderId, strName);
    return true;
}

bool CLoggingManager::addOutput(int nOutputBit, COutputWindow* poWindow)
{
    for (auto it = m_mapOutputs.cbegin(); it != m_mapOutputs.cend(); ++it)
        if (it.key() != 0 && it.value() == poWindow)
            return false;
    m_mapOutputs.insert(nOutputBit, poWindow);
    return true;
}

void CLoggingManager::setSenderOutputs(int nSenderId, int nOutputMask)
{
    auto it = m_mapSenderOutputs.find(nSenderId);
    if (it == m_mapSenderOutputs.end())
        m_mapSenderOutputs.insert(nSenderId, nOutputMask);
    else if (nOutputMask != 0)
        *it |= nOutputMask;
    else
        *it = 0;
}

void CLoggingManager::setBackendLogger(CQtLogger* poLogger)
{
    if (m_poBackend)
        m_poBackend->clearFlags(0xFFFF);
    m_poBackend.reset(poLogger);
    if (!m_poBackend)
        return;
    if (!m_strLogFileName.isEmpty())
        m_poBackend->setFileName(m_strLogFileName.toLatin1().toStdString());
    if (m_nLogFileSizeMax > 0)
        m_poBackend->setFileSizeMax(m_nLogFileSizeMax);
    if (!m_strServerAddress.isEmpty() || m_nServerPort != 0)
        m_poBackend->addUdpDestination(m_strServerAddress, m_nServerPort);
    applyOutputDevices();
}

void CLoggingManager::setLogFileName(const QString& strName)
{
    if (strName.isEmpty())
        return;
    m_strLogFileName = strName;
    if (m_poBackend)
        m_poBackend->setFileName(strName.toLatin1().toStdString());
}

void CLoggingManager::setLogFileSizeMax(unsigned nMax)
{
    if (nMax < MinLogFileSize)
        return;
    m_nLogFileSizeMax = nMax > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(nMax);
    if (m_poBackend)
        m_poBackend->setFileSizeMax(m_nLogFileSizeMax);
}

void CLoggingManager::setServerAddress(const QString& strAddress)
{
    if (!m_poBackend)
        return;
    m_poBackend->removeUdpDestination(m_strServerAddress, m_nServerPort);
    m_strServerAddress = strAddress;
    m_poBackend->addUdpDestination(m_strServerAddress, m_nServerPort);
}

void CLoggingManager::setServerPort(unsigned short nPort)
{
    if (!m_poBackend)
        return;
    m_poBackend->removeUdpDestination(m_strServerAddress, m_nServerPort);
    m_nServerPort = nPort;
    m_poBackend->addUdpDestination(m_strServerAddress, m_nServerPort);
}

void CLoggingManager::setMsgTypeMask(int nMask)
{
    m_nMsgTypeMask = nMask;
}

void CLoggingManager::setOutputDeviceMask(int nMask)
{
    m_nOutputDeviceMask = nMask;
    applyOutputDevices();
}

void CLoggingManager::applyOutputDevices()
{
    if (!m_poBackend)
        return;
    m_poBackend->clearFlags(0xFFFF);
    // Console, file, debug string and UDP; never the signal back to this router.
    m_poBackend->setFlags(static_cast<unsigned short>(m_nOutputDeviceMask & 0x0F));
}

void CLoggingManager::enable()
{
    if (m_poBackend)
        m_poBackend->enable();
}

void CLoggingManager::disable()
{
    if (m_poBackend)
        m_poBackend->disable();
}

bool CLoggingManager::isEnabled()
{
    return m_poBackend ? m_poBackend->isEnabled() : false;
}

QByteArray CLoggingManager::formatLine(const QString& strMsg, uint nMsgSender, bool bRaw) const
{
    QByteArray baMsg = strMsg.toLatin1();
    const int nZero = baMsg.indexOf('\0');
    if (nZero >= 0)
        baMsg.truncate(nZero);

    QByteArray baLine;
    if (bRaw || nMsgSender == static_cast<uint>(RawSender)) {
        baLine = baMsg;
    } else {
        const auto it = m_mapSenderNames.constFind(static_cast<int>(nMsgSender));
        QByteArray baName = (it != m_mapSenderNames.cend() ? *it : tr("Unknown")).toLatin1().left(NameWidth);
        const int nZeroName = baName.indexOf('\0');
        if (nZeroName >= 0)
            baName.truncate(nZeroName);
        baLine = baName.leftJustified(NameWidth, ' ') + ": " + baMsg;
    }
    // Room for the terminating zero of the line buffer; a cut line keeps its line end.
    if (baLine.size() > LineBufferSize - 1) {
        baLine.truncate(LineBufferSize - 2);
        baLine.append('\n');
    }
    return baLine;
}

void CLoggingManager::log(QString strMsg, uint nMsgType, uint nMsgSender)
{
    bool bRaw = false;
    if (strMsg.startsWith(QLatin1Char(RawMark))) {
        strMsg.remove(0, 1);
        bRaw = true;
    }
    if (!strMsg.endsWith(QLatin1Char('\n')))
        strMsg.append(QLatin1Char('\n'));
    const QByteArray baLine = formatLine(strMsg, nMsgSender, bRaw);

    if (m_poBackend && m_poBackend->isEnabled() && (nMsgType & static_cast<uint>(m_nMsgTypeMask)))
        m_poBackend->log(baLine.constData());

    const auto itSender = m_mapSenderOutputs.constFind(static_cast<int>(nMsgSender));
    if (itSender == m_mapSenderOutputs.cend() || *itSender == 0)
        return;
    const int nMask = *itSender;
    const QString strLine = QString::fromLatin1(baLine).trimmed();
    // Copied: a pane's slot may change the registrations.
    const auto mapOutputs = m_mapOutputs;
    for (auto it = mapOutputs.cbegin(); it != mapOutputs.cend(); ++it) {
        COutputWindow* poWindow = it.value();
        if (!poWindow || !(nMask & it.key()))
            continue;
        if (bRaw)
            poWindow->insertPlainText(strLine);
        else
            poWindow->log(strLine, nMsgType);
    }
}

void CLoggingManager::log(QString strMsg, uint nMsgType)
{
    log(strMsg, nMsgType, 0);
}

void CLoggingManager::log(QString strMsg)
{
    log(strMsg, 1, 0);
}

void CLoggingManager::setHidden(bool bHidden)
{
    for (COutputWindow* poWindow : qAsConst(m_mapOutputs))
        if (poWindow)
            poWindow->setHidden(bHidden);
}
