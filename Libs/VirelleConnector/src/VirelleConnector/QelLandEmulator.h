// Stands in on shore for the main operator station: forwards the runtime's text datagrams that
// are not local-only to the vessel through the edge upload, and takes one water-column client.
#pragma once

#include <QNetworkDatagram>
#include <QObject>
#include <QPointer>

class CVirelleConnector;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

class CQelLandEmulator : public QObject {
    Q_OBJECT
public:
    explicit CQelLandEmulator(QObject* parent = nullptr);

    void setUploader(CVirelleConnector* uploader) { m_poUploader = uploader; }
    // The two datagram inputs (not owned); either may be null.
    void setInputSockets(QUdpSocket* socketA, QUdpSocket* socketB);
    void setWaterColumnServer(QTcpServer* server);
    QTcpSocket* waterColumnClient() const { return m_poWaterColumnClient; }

    static bool isLocalOnly(const QByteArray& datagram);

public slots:
    void processTheDatagram(QNetworkDatagram datagram);
    void onWColClientConnected();
    void readPendingInputDatagrams();
    void readPendingInputDatagrams1();

private:
    QPointer<QTcpServer> m_poWaterColumnServer;
    QPointer<QTcpSocket> m_poWaterColumnClient;
    QPointer<QUdpSocket> m_poInputSocketA;
    QPointer<QUdpSocket> m_poInputSocketB;
    QPointer<CVirelleConnector> m_poUploader;
};
