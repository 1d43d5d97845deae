// Stands in on shore for a sounder's processing unit: acknowledges command datagrams, serves
// its parameter XML, keeps telnet clients, broadcasts its status and uploads selected events.
#pragma once

#include "VirelleConnector/DomDocument.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CDatagramAssembler;
class CVirelleConnector;
class QTcpServer;
class QTcpSocket;

class CPuLandEmulator : public QObject {
    Q_OBJECT
public:
    explicit CPuLandEmulator(QObject* parent = nullptr);
    ~CPuLandEmulator() override;

    void setUploader(CVirelleConnector* uploader) { m_poUploader = uploader; }
    // Where the status broadcast goes on 127.0.0.1 (1999 unless changed).
    void setStatusPort(quint16 port) { m_nStatusPort = port; }
    quint16 commandPort() const { return m_nCommandPort; }
    quint16 telnetPort() const;
    const CDomDocument& parameterXml() const { return m_oParameterXml; }

    void processTheDatagram(QTcpSocket* socket, const QByteArray& datagram);
    void setTcpServerPort(int port);
    void setTelnetServerPort(int port);
    QByteArray makeDatagram(const QString& type, const QString& text) const;
    static QString ageText(int milliseconds, bool alwaysGreen);

public slots:
    void setBroadcastBinary(QByteArray binary);
    void setIpuBinary(QByteArray binary);
    void setXml(QString xml);
    void updateXml(QString xml);
    qint64 setBist(QByteArray bist);
    void updateTelnet(QByteArray bytes);
    void newTcpConnection();
    void socketReadyRead();
    void socketdisconnected();
    void onBroadcastTimeout();
    void newTelnetConnection();
    void socketTelnetReadyRead();
    void socketTelnetdisconnected();

private:
    QByteArray header(const char type[4], quint32 length) const;
    void upload(int fileId, const QByteArray& bytes);
    void sendStatus(const QByteArray& datagram);

    QByteArray m_baBroadcastBinary;
    QByteArray m_baIpuBinary;
    quint16 m_nCommandPort = 0;
    quint16 m_nEchoSounderId = 0;
    quint16 m_nSystemId = 0;
    QTcpServer* m_poCommandServer = nullptr;
    QTcpServer* m_poTelnetServer = nullptr;
    QList<QTcpSocket*> m_lstCommandSockets;
    QList<QTcpSocket*> m_lstTelnetSockets;
    // One reassembly buffer per command client.
    QHash<QTcpSocket*, std::shared_ptr<CDatagramAssembler>> m_hashAssemblers;
    QPointer<CVirelleConnector> m_poUploader;
    CDomDocument m_oParameterXml;
    std::unique_ptr<QElapsedTimer> m_poStatusAge;
    std::unique_ptr<QElapsedTimer> m_poFullXmlAge;
    std::unique_ptr<QElapsedTimer> m_poXmlUpdateAge;
    quint16 m_nStatusPort = 1999;
};
