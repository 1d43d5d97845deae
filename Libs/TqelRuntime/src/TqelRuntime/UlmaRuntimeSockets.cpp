// The runtime link's datagram sockets: the remote-station sockets and their multicast group,
// the read slots and the rebuild after a sounder model change.
#include "TqelRuntime/UlmaRuntime.h"

#include "Common/GuiIni.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QDebug>
#include <QHostAddress>
#include <QMutexLocker>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "TqelRuntime/RuntimeGuiSink.h"
#include "TqelRuntime/RuntimeText.h"
#include "TqelRuntime/UlmaRuntimeLive.h"

namespace {

const log4cplus::Logger& runtimeLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CUlmaRuntime"));
    return oLogger;
}

// Room for a burst of depth datagrams while the runtime thread is busy.
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

struct CorvSettings {
    int nPosPort = 0;
    int nTailPort = 0;
    int nCtrlPort = 0;
    QString strGroup;
    bool bNoMulticast = false;
};

CorvSettings readCorvSettings()
{
    const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
    CorvSettings oSettings;
    const int nPortAdd = GuiIni::value(strRuntime, QStringLiteral("CorvPortAdd"), 0).toInt();
    const int nModel = GuiIni::value(strRuntime, QStringLiteral("CorvModel"), 2200).toInt();
    oSettings.strGroup = CUlmaRuntime::multicastGroupForModel(nModel);
    oSettings.nPosPort = GuiIni::value(strRuntime, QStringLiteral("CorvPosPort"), 25125 + nPortAdd).toInt();
    oSettings.nTailPort = GuiIni::value(strRuntime, QStringLiteral("CorvTailPort"), 25130 + nPortAdd).toInt();
    oSettings.nCtrlPort = 25135 + nPortAdd;
    const QString strOverride = GuiIni::value(strRuntime, QStringLiteral("CorvMcastGrp"), QString()).toString();
    if (!strOverride.isEmpty())
        oSettings.strGroup = strOverride;
    oSettings.bNoMulticast = GuiIni::value(strRuntime, QStringLiteral("CorvNoMCAST"), false).toBool();
    const QString strTrace = QStringLiteral("Corv settings: MCast %1, group %4, PosPort %2, TailPort %3")
                                 .arg(oSettings.bNoMulticast ? 0 : 1)
                                 .arg(oSettings.nPosPort)
                                 .arg(oSettings.nTailPort)
                                 .arg(oSettings.strGroup);
    LOG4CPLUS_INFO(runtimeLogger(), strTrace.toLocal8Bit().constData());
    return oSettings;
}

bool joinable(const QNetworkInterface& oInterface)
{
    const auto eFlags = oInterface.flags();
    return (eFlags & QNetworkInterface::CanMulticast) && (eFlags & QNetworkInterface::IsRunning);
}

} // namespace

namespace live_detail {

DatagramBatch::DatagramBatch()
    : m_buffer(static_cast<std::size_t>(Size) * MaxBytes), m_senders(Size), m_vectors(Size), m_headers(Size)
{
}

int DatagramBatch::receive(int nDescriptor)
{
    if (nDescriptor < 0)
        return 0;
    for (int n = 0; n < Size; ++n) {
        m_vectors[n].iov_base = m_buffer.data() + static_cast<std::size_t>(n) * MaxBytes;
        m_vectors[n].iov_len = MaxBytes;
        m_headers[n] = mmsghdr{};
        m_headers[n].msg_hdr.msg_name = &m_senders[n];
        m_headers[n].msg_hdr.msg_namelen = sizeof(sockaddr_storage);
        m_headers[n].msg_hdr.msg_iov = &m_vectors[n];
        m_headers[n].msg_hdr.msg_iovlen = 1;
    }
    int nCount = -1;
    do
        nCount = ::recvmmsg(nDescriptor, m_headers.data(), Size, MSG_DONTWAIT, nullptr);
    while (nCount < 0 && errno == EINTR);
    return nCount < 0 ? 0 : nCount;
}

void DatagramBatch::take(int n, QByteArray& baDatagram) const
{
    const int nBytes = static_cast<int>(std::min<unsigned>(m_headers[n].msg_len, MaxBytes));
    baDatagram.resize(nBytes);
    std::memcpy(baDatagram.data(), m_buffer.data() + static_cast<std::size_t>(n) * MaxBytes, static_cast<std::size_t>(nBytes));
}

QHostAddress DatagramBatch::sender(int n) const
{
    return QHostAddress(reinterpret_cast<const sockaddr*>(&m_senders[n]));
}

} // namespace live_detail

QUdpSocket* CUlmaRuntime::openSocket(int nPort, bool bShared, const QString& strWhat)
{
    auto* poSocket = new QUdpSocket(this);
    const auto eMode = bShared ? QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint
                               : QAbstractSocket::BindMode(QAbstractSocket::DefaultForPlatform);
    // A port from the settings may lie outside the port range.
    const bool bInRange = nPort > 0 && nPort <= 65535;
    if (!bInRange || !poSocket->bind(QHostAddress(QHostAddress::AnyIPv4), static_cast<quint16>(nPort), eMode)) {
        const QString strText = strWhat + (bInRange ? poSocket->errorString() : QStringLiteral("(no such port)"));
        qWarning().noquote() << strText;
        LOG4CPLUS_ERROR(runtimeLogger(), strText.toLocal8Bit().constData());
        m_poGuiSink->showWarning(QStringLiteral("Error opening socket"), strText);
        delete poSocket;
        return nullptr;
    }
    poSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    return poSocket;
}

void CUlmaRuntime::joinGroup(QUdpSocket* poSocket, const QString& strGroup)
{
    const QHostAddress oGroup(strGroup);
    for (const QNetworkInterface& oInterface : QNetworkInterface::allInterfaces())
        if (joinable(oInterface))
            qDebug() << "Join" << strGroup << "on" << oInterface.name() << ":"
                     << poSocket->joinMulticastGroup(oGroup, oInterface);
}

void CUlmaRuntime::leaveGroup(QUdpSocket* poSocket, const QString& strGroup)
{
    const QHostAddress oGroup(strGroup);
    for (const QNetworkInterface& oInterface : QNetworkInterface::allInterfaces())
        if (joinable(oInterface))
            poSocket->leaveMulticastGroup(oGroup, oInterface);
}

void CUlmaRuntime::closeSocket(QUdpSocket*& poSocket)
{
    if (!poSocket)
        return;
    disconnect(poSocket, nullptr, this, nullptr);
    poSocket->close();
    poSocket->deleteLater();
    poSocket = nullptr;
}

void CUlmaRuntime::reconnectCorvSocks()
{
    if (m_bShutDown)
        return;
    const CorvSettings oSettings = readCorvSettings();
    {
        QMutexLocker oLock(&m_oMutex);
        m_strMulticastGroup = oSettings.strGroup;
    }
    m_bNoMulticast = oSettings.bNoMulticast;

    m_poPosSocket = openSocket(oSettings.nPosPort, true, QStringLiteral("Failed to open position socket %1 ").arg(oSettings.nPosPort));
    if (m_poPosSocket) {
        if (!m_bNoMulticast)
            joinGroup(m_poPosSocket, oSettings.strGroup);
        connect(m_poPosSocket, &QUdpSocket::readyRead, this, &CUlmaRuntime::readShipDatagram);
    }
    m_poDepthSocket = openSocket(oSettings.nTailPort, true, QStringLiteral("Failed to open RT Depth socket %1 ").arg(oSettings.nTailPort));
    if (m_poDepthSocket) {
        if (!m_bNoMulticast)
            joinGroup(m_poDepthSocket, oSettings.strGroup);
        connect(m_poDepthSocket, &QUdpSocket::readyRead, this, &CUlmaRuntime::readRTDepthDatagram);
        connect(m_poDepthSocket, &QAbstractSocket::errorOccurred, this,
                &CUlmaRuntime::onSocketError);
    }
    m_poCtrlSocket = openSocket(oSettings.nCtrlPort, false, QStringLiteral("Failed to open UlmaExec socket %1 ").arg(oSettings.nCtrlPort));
    if (m_poCtrlSocket) {
        if (!m_bNoMulticast)
            joinGroup(m_poCtrlSocket, oSettings.strGroup);
        connect(m_poCtrlSocket, &QUdpSocket::readyRead, this, &CUlmaRuntime::readCtrlDatagram);
    }
}

void CUlmaRuntime::setCorvGrp(int nTyp)
{
    const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
    QString strGroup = multicastGroupForModel(nTyp);
    if (!GuiIni::setValue(strRuntime, QStringLiteral("CorvModel"), nTyp))
        log(QStringLiteral("CUlmaRuntime::setCorvGrp - WARNING : could not write CorvModel to gui.ini"), 2);
    const QString strOverride = GuiIni::value(strRuntime, QStringLiteral("CorvMcastGrp"), QString()).toString();
    if (!strOverride.isEmpty())
        strGroup = strOverride;
    LOG4CPLUS_INFO(runtimeLogger(), QStringLiteral("Setting multicast data to grp %1").arg(strGroup).toLocal8Bit().constData());
    QString strOldGroup;
    {
        QMutexLocker oLock(&m_oMutex);
        strOldGroup = m_strMulticastGroup;
        m_strMulticastGroup = strGroup;
    }
    const bool bNoMulticast = GuiIni::value(strRuntime, QStringLiteral("CorvNoMCAST"), false).toBool();
    // Only the remote-station sockets follow the group; the station modes keep their ports.
    if (bNoMulticast || m_nMode != 4 || m_bShutDown)
        return;
    for (QUdpSocket** ppoSocket : {&m_poPosSocket, &m_poDepthSocket, &m_poCtrlSocket}) {
        if (!*ppoSocket)
            continue;
        if (!m_bNoMulticast)
            leaveGroup(*ppoSocket, strOldGroup);
        (*ppoSocket)->abort();
        closeSocket(*ppoSocket);
    }
    QTimer::singleShot(1000, this, &CUlmaRuntime::reconnectCorvSocks);
}

CUlmaRuntime::SocketPorts CUlmaRuntime::boundPorts() const
{
    SocketPorts oPorts;
    if (m_poPosSocket)
        oPorts.position = m_poPosSocket->localPort();
    if (m_poDepthSocket)
        oPorts.depth = m_poDepthSocket->localPort();
    if (m_poCtrlSocket)
        oPorts.control = m_poCtrlSocket->localPort();
    return oPorts;
}

void CUlmaRuntime::readCtrlDatagram()
{
    while (m_poCtrlSocket && m_poCtrlSocket->hasPendingDatagrams()) {
        const qint64 nSize = m_poCtrlSocket->pendingDatagramSize();
        QByteArray baDatagram(static_cast<int>(qMax<qint64>(nSize, 0)), '\0');
        QHostAddress oSender;
        quint16 nPort = 0;
        const qint64 nRead = m_poCtrlSocket->readDatagram(baDatagram.data(), baDatagram.size(), &oSender, &nPort);
        if (nRead < 0)
            continue;
        baDatagram.resize(static_cast<int>(nRead));
        baDatagram.append("\n\r");
        processCtrlDatagrams(baDatagram, oSender.toString());
    }
}

void CUlmaRuntime::readUlmaExecDatagram()
{
    while (m_poUlmaExecSocket && m_poUlmaExecSocket->hasPendingDatagrams()) {
        const qint64 nSize = m_poUlmaExecSocket->pendingDatagramSize();
        QByteArray baDatagram(static_cast<int>(qMax<qint64>(nSize, 0)), '\0');
        QHostAddress oSender;
        quint16 nPort = 0;
        const qint64 nRead = m_poUlmaExecSocket->readDatagram(baDatagram.data(), baDatagram.size(), &oSender, &nPort);
        if (nRead < 0)
            continue;
        baDatagram.resize(static_cast<int>(nRead));
        baDatagram.append("\n\r");
        processUlmaExecDatagrams(baDatagram, oSender.toString());
    }
}

void CUlmaRuntime::readShipDatagram()
{
    if (!m_poPosSocket || !m_poPosSocket->hasPendingDatagrams())
        return;
    live_detail::SenderState& oState = m_poLive->sender;
    // The first datagram through the socket object, which then watches the socket again; the rest
    // many per call of the system, a bounded number per call of the slot: under a flood the
    // thread's timers and queued calls still run, and the socket's notifier calls again.
    QByteArray& baDatagram = oState.baDatagram;
    baDatagram.resize(static_cast<int>(qBound<qint64>(0, m_poPosSocket->pendingDatagramSize(), live_detail::DatagramBatch::MaxBytes)));
    QHostAddress oSender;
    const qint64 nRead = m_poPosSocket->readDatagram(baDatagram.data(), baDatagram.size(), &oSender);
    if (nRead >= 0) {
        baDatagram.resize(static_cast<int>(nRead));
        takePositionDatagram(oSender);
    }
    live_detail::DatagramBatch& oBatch = oState.oBatch;
    for (int nRound = 0; nRound < live_detail::PositionReadRounds && m_poPosSocket; ++nRound) {
        const int nCount = oBatch.receive(static_cast<int>(m_poPosSocket->socketDescriptor()));
        for (int n = 0; n < nCount; ++n) {
            oBatch.take(n, baDatagram);
            takePositionDatagram(oBatch.sender(n));
        }
        if (nCount < live_detail::DatagramBatch::Size)
            break;
    }
}

void CUlmaRuntime::takePositionDatagram(const QHostAddress& oSender)
{
    live_detail::SenderState& oState = m_poLive->sender;
    // The text of the sender is made once per change of sender.
    if (oSender != oState.oLastAddress || oState.strLastAddress.isNull()) {
        oState.oLastAddress = oSender;
        oState.strLastAddress = oSender.toString();
        oState.bLastAddressTaken = takesPositionsFrom(oState.strLastAddress);
    } else if (!oState.bLastAddressTaken) {
        ++oState.nIgnored;
    }
    if (!oState.bLastAddressTaken)
        return;
    const QString strSender = oState.strLastAddress;
    notePositionSender(strSender);
    // A GGA sentence names itself in its talker; the binary position datagram may hold those
    // letters anywhere.
    QByteArray& baDatagram = oState.baDatagram;
    if (runtime_text::talkerHas(baDatagram, "GGA", 1))
        processGgaSentence(baDatagram);
    else
        processShipPosition(baDatagram, strSender);
}

void CUlmaRuntime::readWaitingPositions()
{
    if (m_poPosSocket && m_poPosSocket->hasPendingDatagrams())
        readShipDatagram();
}

void CUlmaRuntime::readRTDepthDatagram()
{
    while (m_poDepthSocket && m_poDepthSocket->hasPendingDatagrams()) {
        const qint64 nSize = m_poDepthSocket->pendingDatagramSize();
        m_baDepthDatagram.resize(static_cast<int>(qMax<qint64>(nSize, 0)));
        const qint64 nRead = m_poDepthSocket->readDatagram(m_baDepthDatagram.data(), m_baDepthDatagram.size());
        if (nRead < 0)
            continue;
        m_baDepthDatagram.resize(static_cast<int>(nRead));
        processRTDepths(m_baDepthDatagram);
    }
}

void CUlmaRuntime::onSocketError(QAbstractSocket::SocketError eSocketError)
{
    qDebug().noquote() << QStringLiteral("SOCKET ERROR: %1\n").arg(static_cast<int>(eSocketError), 2);
}
