#include "VirelleConnector/QelLandEmulator.h"

#include "VirelleConnector/EdgeConnector.h"
#include "VirelleConnector/EdgeFileNames.h"
#include "VirelleConnector/VirelleConnector.h"

#include <QDebug>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

CQelLandEmulator::CQelLandEmulator(QObject* parent)
    : QObject(parent)
{
}

void CQelLandEmulator::setInputSockets(QUdpSocket* socketA, QUdpSocket* socketB)
{
    m_poInputSocketA = socketA;
    m_poInputSocketB = socketB;
    if (socketA)
        connect(socketA, &QUdpSocket::readyRead, this, &CQelLandEmulator::readPendingInputDatagrams);
    if (socketB)
        connect(socketB, &QUdpSocket::readyRead, this, &CQelLandEmulator::readPendingInputDatagrams1);
}

void CQelLandEmulator::setWaterColumnServer(QTcpServer* server)
{
    m_poWaterColumnServer = server;
    if (server)
        connect(server, &QTcpServer::newConnection, this, &CQelLandEmulator::onWColClientConnected);
}

bool CQelLandEmulator::isLocalOnly(const QByteArray& datagram)
{
    static const QSet<int> s_setLocal = {1, 12, 24, 401, 455, 499, 616, 812, 813, 814, 815, 817, 818, 998};
    const QList<QByteArray> lstFields = datagram.split(',');
    const int nCode = lstFields.value(1).toInt();
    if (s_setLocal.contains(nCode))
        return true;
    return nCode == 451 && lstFields.value(2).toInt() == 479;
}

void CQelLandEmulator::processTheDatagram(QNetworkDatagram datagram)
{
    const QByteArray baData = datagram.data();
    if (isLocalOnly(baData) || baData.isEmpty() || !m_poUploader)
        return;
    const QString strName = edgeFileNameFromId(12, objectName());
    if (strName.isEmpty())
        return;
    qDebug().noquote() << "CQelLandEmulator::sendToVessel - " << objectName() << strName << baData.size() << "bytes";
    if (CEdgeConnector* poEdge = m_poUploader->edgeConnector())
        poEdge->sendDataToVirelle(strName, 0, m_poUploader->vesselId(), baData);
}

void CQelLandEmulator::onWColClientConnected()
{
    if (!m_poWaterColumnServer)
        return;
    m_poWaterColumnClient = m_poWaterColumnServer->nextPendingConnection();
    if (m_poWaterColumnClient)
        connect(m_poWaterColumnClient, &QTcpSocket::disconnected, m_poWaterColumnClient, &QObject::deleteLater);
}

void CQelLandEmulator::readPendingInputDatagrams()
{
    while (m_poInputSocketA && m_poInputSocketA->hasPendingDatagrams())
        processTheDatagram(m_poInputSocketA->receiveDatagram());
}

void CQelLandEmulator::readPendingInputDatagrams1()
{
    while (m_poInputSocketB && m_poInputSocketB->hasPendingDatagrams())
        processTheDatagram(m_poInputSocketB->receiveDatagram());
}
