#include "QtAppFramework/QtLogger.h"

#include "platform/debug_output.h"

#include <QByteArray>
#include <QPointer>
#include <QThread>
#include <QUdpSocket>

CQtLogger::CQtLogger(int nSenderId, QObject* parent)
    : QObject(parent), CLogger(&m_oMutex), m_nSenderId(nSenderId)
{
    connect(this, &CQtLogger::logUDP, this, &CQtLogger::handleLogUDP, Qt::DirectConnection);
}

CQtLogger::CQtLogger(const char* szFileName, int nFileSizeMax, int nSenderId, QObject* parent)
    : QObject(parent), CLogger(szFileName, nFileSizeMax, &m_oMutex), m_nSenderId(nSenderId)
{
    connect(this, &CQtLogger::logUDP, this, &CQtLogger::handleLogUDP, Qt::DirectConnection);
}

CQtLogger::~CQtLogger()
{
    clearFlags(0xFFFF);
    // The mutex member is destroyed before the CLogger base.
    m_poMutex = nullptr;
}

void CQtLogger::log(const QString& strText, unsigned nType)
{
    emit msgToFile(strText);
    CLock oLock(m_poMutex);
    if (!m_bEnabled)
        return;
    writeOutputs(strText.toLatin1(), nType);
    if ((m_nFlags & Gui) && (nType & m_nMsgTypeMask))
        emit msg(strText, nType, static_cast<uint>(m_nSenderId));
}

void CQtLogger::log(const QString& strText)
{
    log(strText, 1u);
}

void CQtLogger::log(const char* szText, unsigned short nType)
{
    if (!szText)
        return;
    const QString strText = QString::fromUtf8(szText);
    emit msgToFile(strText);
    CLock oLock(m_poMutex);
    if (!m_bEnabled)
        return;
    writeOutputs(QByteArray(szText), nType);
    if ((m_nFlags & Gui) && (nType & m_nMsgTypeMask))
        emit msg(strText, nType, static_cast<uint>(m_nSenderId));
}

void CQtLogger::writeOutputs(const QByteArray& baText, unsigned nType)
{
    CLogger::log(baText.constData(), static_cast<unsigned short>(nType));
    if (!(nType & m_nMsgTypeMask))
        return;
    if (m_nFlags & DebugString)
        platform::outputDebugString(QString::fromLatin1(baText));
    if (m_poSocket)
        for (auto it = m_mapUdpDestinations.cbegin(); it != m_mapUdpDestinations.cend(); ++it)
            emit logUDP(baText.constData(), QHostAddress(it.key()), it.value());
}

void CQtLogger::handleLogUDP(const char* szMsg, QHostAddress oDestAddr, ushort nDestPort)
{
    if (!szMsg || !m_poSocket)
        return;
    const QByteArray baDatagram(szMsg);
    if (QThread::currentThread() == m_poSocket->thread()) {
        m_poSocket->writeDatagram(baDatagram, oDestAddr, nDestPort);
        return;
    }
    // A socket is used only by its own thread: hand the datagram over. It is dropped when the
    // socket goes away first.
    QUdpSocket* poSocket = m_poSocket.get();
    QMetaObject::invokeMethod(
        poSocket, [poSocket, baDatagram, oDestAddr, nDestPort]() { poSocket->writeDatagram(baDatagram, oDestAddr, nDestPort); },
        Qt::QueuedConnection);
}

void CQtLogger::setFlags(unsigned short nFlags)
{
    CLogger::setFlags(nFlags);
    CLock oLock(m_poMutex);
    if (nFlags & DebugString)
        m_nFlags |= DebugString;
    if (nFlags & Gui)
        m_nFlags |= Gui;
    if (nFlags & Udp) {
        m_nFlags |= Udp;
        if (!m_poSocket) {
            m_poSocket = std::make_unique<QUdpSocket>();
            m_poSocket->bind(0);
        }
    }
}

void CQtLogger::clearFlags(unsigned short nFlags)
{
    {
        CLock oLock(m_poMutex);
        if (nFlags & DebugString)
            m_nFlags &= static_cast<unsigned short>(~DebugString);
        if (nFlags & Gui)
            m_nFlags &= static_cast<unsigned short>(~Gui);
        if (nFlags & Udp) {
            m_nFlags &= static_cast<unsigned short>(~Udp);
            if (m_poSocket && m_poSocket->thread() != QThread::currentThread())
                m_poSocket.release()->deleteLater();
            m_poSocket.reset();
        }
    }
    CLogger::clearFlags(nFlags);
}

void CQtLogger::addUdpDestination(const QString& strHost, unsigned short nPort)
{
    CLock oLock(m_poMutex);
    m_mapUdpDestinations.insert(strHost, nPort);
}

void CQtLogger::removeUdpDestination(const QString& strHost, unsigned short nPort)
{
    CLock oLock(m_poMutex);
    m_mapUdpDestinations.remove(strHost, nPort);
}
