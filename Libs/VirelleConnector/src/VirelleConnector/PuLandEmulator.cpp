#include "VirelleConnector/PuLandEmulator.h"

#include "VirelleConnector/DatagramAssembler.h"
#include "VirelleConnector/EdgeConnector.h"
#include "VirelleConnector/EdgeFileNames.h"
#include "VirelleConnector/VirelleConnector.h"

#include <QDateTime>
#include <QDebug>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtEndian>

namespace {

constexpr int s_nHeaderSize = 20;
constexpr quint16 s_nDefaultCommandPort = 2012;
constexpr int s_nTelnetPortOffset = 1300;

void putU32(QByteArray& bytes, int offset, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes.data() + offset);
}

void putU16(QByteArray& bytes, int offset, quint16 value)
{
    qToLittleEndian<quint16>(value, bytes.data() + offset);
}

} // namespace

CPuLandEmulator::CPuLandEmulator(QObject* parent)
    : QObject(parent)
    , m_poCommandServer(new QTcpServer(this))
    , m_poTelnetServer(new QTcpServer(this))
{
    connect(m_poCommandServer, &QTcpServer::newConnection, this, &CPuLandEmulator::newTcpConnection);
    connect(m_poTelnetServer, &QTcpServer::newConnection, this, &CPuLandEmulator::newTelnetConnection);
}

CPuLandEmulator::~CPuLandEmulator() = default;

quint16 CPuLandEmulator::telnetPort() const
{
    return m_poTelnetServer->isListening() ? m_poTelnetServer->serverPort() : 0;
}

QByteArray CPuLandEmulator::header(const char type[4], quint32 length) const
{
    QByteArray baOut(int(length), '\0');
    putU32(baOut, 0, length);
    memcpy(baOut.data() + 4, type, 4);
    baOut[8] = 0;
    baOut[9] = char(m_nSystemId & 0xFF);
    putU16(baOut, 10, m_nEchoSounderId);
    const qint64 nNowMs = QDateTime::currentMSecsSinceEpoch();
    putU32(baOut, 12, quint32(nNowMs / 1000));
    putU32(baOut, 16, quint32(nNowMs % 1000) * 1000000u);
    return baOut;
}

QByteArray CPuLandEmulator::makeDatagram(const QString& type, const QString& text) const
{
    char aType[4] = {'#', 'P', 'X', 'X'};
    const QByteArray baType = type.toLatin1();
    if (baType.size() >= 4)
        memcpy(aType, baType.constData(), 4);
    // The whole UTF-8 text: a length counted in characters would cut multi-byte characters.
    const QByteArray baText = text.toUtf8();
    const quint32 nLength = quint32(baText.size()) + 31;
    QByteArray baOut = header(aType, nLength);
    memcpy(baOut.data() + 26, baText.constData(), size_t(baText.size()));
    putU32(baOut, int(nLength) - 4, nLength);
    return baOut;
}

QString CPuLandEmulator::ageText(int milliseconds, bool alwaysGreen)
{
    QString strText;
    if (milliseconds < 2000)
        strText = tr("Now");
    else if (milliseconds < 120000)
        strText = tr("%1 seconds").arg(milliseconds / 1000);
    else if (milliseconds < 3600000)
        strText = tr("%1 minutes").arg(milliseconds / 60000);
    else
        strText = tr("%1 hours").arg(milliseconds / 3600000);
    if (alwaysGreen || milliseconds <= 32000)
        strText += QStringLiteral(";G");
    else if (milliseconds <= 120000)
        strText += QStringLiteral(";Y");
    else
        strText += QStringLiteral(";R;Y");
    return strText;
}

void CPuLandEmulator::upload(int fileId, const QByteArray& bytes)
{
    if (!m_poUploader || !m_poUploader->edgeConnector())
        return;
    const QString strName = edgeFileNameFromId(fileId, objectName());
    if (strName.isEmpty())
        return;
    m_poUploader->edgeConnector()->sendDataToVirelle(strName, 0, m_poUploader->vesselId(), bytes);
}

void CPuLandEmulator::sendStatus(const QByteArray& datagram)
{
    if (datagram.isEmpty())
        return;
    QUdpSocket oSocket;
    oSocket.writeDatagram(datagram, QHostAddress::LocalHost, m_nStatusPort);
}

void CPuLandEmulator::setBroadcastBinary(QByteArray binary)
{
    m_baBroadcastBinary = binary;
    if (m_baBroadcastBinary.isEmpty())
        return;
    if (m_baBroadcastBinary.size() < 26) {
        qDebug().noquote() << "CPuLandEmulator::setBroadcastBinary - WARNING -" << objectName() << "too short:"
                           << m_baBroadcastBinary.size() << "bytes";
        return;
    }
    m_nEchoSounderId = qFromLittleEndian<quint16>(m_baBroadcastBinary.constData() + 10);
    m_nSystemId = quint8(m_baBroadcastBinary.at(9));
    setTcpServerPort(qFromLittleEndian<quint16>(m_baBroadcastBinary.constData() + 24));
    putU16(m_baBroadcastBinary, 24, m_nCommandPort);
}

void CPuLandEmulator::setTcpServerPort(int port)
{
    if (m_poCommandServer->isListening())
        return;
    quint16 nPort = quint16(port);
    if (nPort == 0) {
        nPort = s_nDefaultCommandPort;
        qDebug().noquote() << "::setTcpServerPort - INFO -" << objectName() << " setting default cmdPort" << nPort;
    }
    // Every port is tried at most once.
    for (int nTries = 0; nTries < 65535; ++nTries, nPort = quint16(nPort + 1)) {
        if (nPort == 0)
            continue;
        if (m_poCommandServer->listen(QHostAddress::Any, nPort)) {
            qDebug().noquote() << "::setTcpServerPort - INFO -" << objectName() << "TCP listening on port" << nPort
                               << "Ulma" << m_nEchoSounderId << "_" << m_nSystemId;
            m_nCommandPort = nPort;
            setTelnetServerPort(nPort);
            return;
        }
        qDebug().noquote() << "::setTcpServerPort - WARNING" << objectName() << "port:" << nPort << "in use retrying"
                           << m_poCommandServer->errorString();
    }
    qDebug().noquote() << "::setTcpServerPort - WARNING" << objectName() << "no free port";
}

void CPuLandEmulator::setTelnetServerPort(int port)
{
    if (m_poTelnetServer->isListening())
        return;
    const quint16 nPort = quint16(port + s_nTelnetPortOffset);
    if (m_poTelnetServer->listen(QHostAddress::Any, nPort))
        qDebug().noquote() << "::setTelnetServerPort - INFO -" << objectName() << " TCP listening on port" << nPort
                           << "Ulma" << m_nEchoSounderId << "_" << m_nSystemId;
    else
        qDebug().noquote() << "::setTelnetServerPort - WARNING " << objectName() << "port:" << nPort << "in use!"
                           << m_poTelnetServer->errorString();
}

void CPuLandEmulator::newTcpConnection()
{
    auto* poServer = qobject_cast<QTcpServer*>(sender());
    if (!poServer)
        poServer = m_poCommandServer;
    while (QTcpSocket* poSocket = poServer->nextPendingConnection()) {
        poSocket->setObjectName(QString::number(poSocket->socketDescriptor()));
        connect(poSocket, &QTcpSocket::readyRead, this, &CPuLandEmulator::socketReadyRead);
        connect(poSocket, &QTcpSocket::disconnected, this, &CPuLandEmulator::socketdisconnected);
        m_lstCommandSockets.append(poSocket);
        m_hashAssemblers.insert(poSocket, std::make_shared<CDatagramAssembler>());
        qDebug().noquote() << "::newTcpConnection - " << objectName() << "socket:" << poSocket->objectName();
    }
}

void CPuLandEmulator::socketReadyRead()
{
    auto* poSocket = qobject_cast<QTcpSocket*>(sender());
    if (!poSocket || !m_hashAssemblers.contains(poSocket))
        return;
    const std::shared_ptr<CDatagramAssembler> poAssembler = m_hashAssemblers.value(poSocket);
    QList<QByteArray> lstComplete;
    const bool bOk = poAssembler->feed(poSocket->readAll(), lstComplete);
    for (const QByteArray& baDatagram : lstComplete)
        processTheDatagram(poSocket, baDatagram);
    if (!bOk) {
        qDebug().noquote() << "CPuLandEmulator::readyRead - WARNING -" << objectName() << "bad datagram length from"
                           << poSocket->peerAddress().toString() << "- closing";
        poSocket->abort();
        return;
    }
    if (poAssembler->buffered() > 0)
        qDebug().noquote() << "CPuLandEmulator::readyRead - " << objectName() << "waiting for aditional bytes";
}

void CPuLandEmulator::processTheDatagram(QTcpSocket* socket, const QByteArray& datagram)
{
    if (datagram.size() < 8)
        return;
    const QByteArray baType = datagram.mid(4, 4);
    QByteArray baAck = header("#IAR", 40);
    putU32(baAck, 20, 1);
    baAck.replace(24, 4, baType);
    putU32(baAck, 36, 40);
    if (socket && socket->state() == QAbstractSocket::ConnectedState)
        socket->write(baAck);
    qDebug().noquote() << "CPuLandEmulator::processTheDatagram - INPUT" << objectName() << baType << datagram.size()
                       << "bytes";

    if (baType.compare("#P99", Qt::CaseInsensitive) == 0 && m_poUploader) {
        const QByteArray baRest = datagram.mid(26);
        const int nEnd = baRest.indexOf('\0');
        const QString strText = QString::fromUtf8(nEnd < 0 ? baRest : baRest.left(nEnd));
        qDebug().noquote() << "::#P99 -" << objectName() << strText;
        upload(21, strText.toUtf8());
    } else if (baType == "#P22") {
        setBist(makeDatagram(QStringLiteral("#P40"), m_oParameterXml.toString(1)));
    }
}

qint64 CPuLandEmulator::setBist(QByteArray bist)
{
    if (bist.isEmpty())
        return -1;
    qint64 nResult = 0;
    for (QTcpSocket* poSocket : qAsConst(m_lstCommandSockets)) {
        if (poSocket->state() != QAbstractSocket::ConnectedState)
            continue;
        nResult = poSocket->write(bist);
        if (nResult == -1)
            qDebug().noquote() << "CPuLandEmulator::writeDatagram - WARNING - failed -1 to write to"
                               << poSocket->peerAddress().toString() << poSocket->errorString();
        else if (nResult == 0)
            qDebug().noquote() << "CPuLandEmulator::writeDatagram - WARNING - failed to write to"
                               << poSocket->peerAddress().toString() << poSocket->errorString();
    }
    return nResult;
}

void CPuLandEmulator::setIpuBinary(QByteArray binary)
{
    if (binary.isEmpty())
        return;
    m_baIpuBinary = binary;
    if (m_oParameterXml.isNull())
        qDebug().noquote() << "CPuLandEmulator::setIpuBinary - WARNING - XML missing!" << objectName();
    const bool bNoClient = std::none_of(m_lstCommandSockets.cbegin(), m_lstCommandSockets.cend(), [](QTcpSocket* s) {
        return s->state() == QAbstractSocket::ConnectedState;
    });
    if (bNoClient && !m_oParameterXml.isNull()) {
        if (m_baBroadcastBinary.isEmpty())
            return;
        QByteArray baForce = m_baBroadcastBinary;
        memcpy(baForce.data() + 4, "#FRC", 4);
        sendStatus(baForce);
    }
    if (!m_poStatusAge)
        m_poStatusAge = std::make_unique<QElapsedTimer>();
    m_poStatusAge->start();
}

void CPuLandEmulator::setXml(QString xml)
{
    QString strError;
    int nLine = 0;
    int nColumn = 0;
    CDomDocument oDoc;
    if (!oDoc.setContent(xml, &strError, &nLine, &nColumn)) {
        qDebug().noquote() << "::setXml - WARNING " << strError << "line:" << nLine << "Col:" << nColumn;
        return;
    }
    m_oParameterXml = oDoc;
    setBist(makeDatagram(QStringLiteral("#P40"), xml));
    if (!m_poFullXmlAge)
        m_poFullXmlAge = std::make_unique<QElapsedTimer>();
    m_poFullXmlAge->start();
}

void CPuLandEmulator::updateXml(QString xml)
{
    QString strError;
    int nLine = 0;
    int nColumn = 0;
    if (!m_oParameterXml.updateFromXml(xml, &strError, &nLine, &nColumn, true)) {
        qDebug().noquote() << "::updateXml - WARNING " << strError << "line:" << nLine << "Col:" << nColumn;
        return;
    }
    setBist(makeDatagram(QStringLiteral("#P40"), xml));
    if (!m_poXmlUpdateAge)
        m_poXmlUpdateAge = std::make_unique<QElapsedTimer>();
    m_poXmlUpdateAge->start();
}

void CPuLandEmulator::onBroadcastTimeout()
{
    sendStatus(m_baBroadcastBinary);
    if (m_baIpuBinary.isEmpty())
        return;
    setBist(m_baIpuBinary);
    if (m_poStatusAge)
        sendStatus(makeDatagram(QStringLiteral("#AGE"),
                                QStringLiteral("Status age=%1").arg(ageText(int(m_poStatusAge->elapsed()), false))));
    if (m_poFullXmlAge)
        sendStatus(makeDatagram(QStringLiteral("#AGE"),
                                QStringLiteral("FullXml age=%1").arg(ageText(int(m_poFullXmlAge->elapsed()), true))));
    if (m_poXmlUpdateAge)
        sendStatus(makeDatagram(QStringLiteral("#AGE"), QStringLiteral(" Xml update age=%1")
                                                            .arg(ageText(int(m_poXmlUpdateAge->elapsed()), false))));
}

void CPuLandEmulator::newTelnetConnection()
{
    while (QTcpSocket* poSocket = m_poTelnetServer->nextPendingConnection()) {
        poSocket->setObjectName(QString::number(poSocket->socketDescriptor()));
        connect(poSocket, &QTcpSocket::readyRead, this, &CPuLandEmulator::socketTelnetReadyRead);
        connect(poSocket, &QTcpSocket::disconnected, this, &CPuLandEmulator::socketTelnetdisconnected);
        m_lstTelnetSockets.append(poSocket);
        if (edgeFileNameFromId(22, objectName()).isEmpty())
            return;
        upload(22, QStringLiteral("$TVQEL,%1,%2").arg(820).arg(objectName()).toUtf8());
        qDebug().noquote() << "::newTelnetConnection - " << objectName() << "socket:" << poSocket->objectName();
    }
}

void CPuLandEmulator::socketTelnetReadyRead()
{
    auto* poSocket = qobject_cast<QTcpSocket*>(sender());
    if (!poSocket)
        return;
    const QByteArray baText = poSocket->readAll();
    if (edgeFileNameFromId(22, objectName()).isEmpty())
        return;
    // The client's text goes up as it was sent.
    upload(22, QStringLiteral("$TVQEL,%1,%2,").arg(821).arg(objectName()).toUtf8() + baText);
}

void CPuLandEmulator::socketTelnetdisconnected()
{
    auto* poSocket = qobject_cast<QTcpSocket*>(sender());
    if (!poSocket)
        return;
    qDebug().noquote() << "::socketTelnetdisconnected - " << objectName() << "socket:" << poSocket->objectName();
    m_lstTelnetSockets.removeAll(poSocket);
    poSocket->deleteLater();
    if (!edgeFileNameFromId(22, objectName()).isEmpty())
        upload(22, QStringLiteral("$TVQEL,%1,%2").arg(819).arg(objectName()).toUtf8());
}

void CPuLandEmulator::updateTelnet(QByteArray bytes)
{
    for (QTcpSocket* poSocket : qAsConst(m_lstTelnetSockets))
        if (poSocket->state() == QAbstractSocket::ConnectedState)
            poSocket->write(bytes);
}

void CPuLandEmulator::socketdisconnected()
{
    auto* poSocket = qobject_cast<QTcpSocket*>(sender());
    if (!poSocket)
        return;
    qDebug().noquote() << "::inSocketdisconnected - " << objectName() << "socket:" << poSocket->objectName();
    m_lstCommandSockets.removeAll(poSocket);
    m_hashAssemblers.remove(poSocket);
    poSocket->deleteLater();
}
