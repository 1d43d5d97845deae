#include "HttpPeer.h"

#include "QelRecord/QelData.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>

HttpPeer::HttpPeer()
{
    connect(&m_oServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_oServer.nextPendingConnection()) {
            ++connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_mapBuffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
    m_oServer.listen(QHostAddress::LocalHost, 0);
}

void HttpPeer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_mapBuffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int nHeaderEnd = buffer.indexOf("\r\n\r\n");
        if (nHeaderEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(nHeaderEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int nColon = lines[i].indexOf(':');
            if (nColon > 0)
                request.headers.insert(lines[i].left(nColon).trimmed().toLower(), lines[i].mid(nColon + 1).trimmed());
        }
        const int nLength = request.headers.value("content-length").toInt();
        if (answer == Answer::CloseEarly) {
            requests.append(request);
            buffer.clear();
            socket->abort();
            return;
        }
        if (buffer.size() < nHeaderEnd + 4 + nLength)
            return;
        bodyBytes += nLength;
        if (keepBodies)
            request.body = buffer.mid(nHeaderEnd + 4, nLength);
        buffer.remove(0, nHeaderEnd + 4 + nLength);
        requests.append(request);
        respond(socket);
    }
}

void HttpPeer::respond(QTcpSocket* socket)
{
    if (answer == Answer::Silent)
        return;
    if (answer == Answer::EndlessBody) {
        socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r\n\r\n");
        // Chunks of 16 KiB for as long as the client reads them.
        auto* poPump = new QTimer(socket);
        QObject::connect(poPump, &QTimer::timeout, socket, [this, socket] {
            if (socket->state() != QAbstractSocket::ConnectedState)
                return;
            while (socket->bytesToWrite() < 256 * 1024) {
                socket->write("4000\r\n" + QByteArray(0x4000, 'z') + "\r\n");
                endlessBytes += 0x4000;
            }
        });
        poPump->start(1);
        return;
    }
    const QByteArray answerBytes = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error")
                                   + "\r\nContent-Length: 2\r\nContent-Type: text/plain\r\n\r\nok";
    if (delayMs <= 0) {
        socket->write(answerBytes);
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(delayMs, this, [guard, answerBytes] {
        if (guard)
            guard->write(answerBytes);
    });
}

HttpPeer::Upload HttpPeer::decode(const QByteArray& body)
{
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    Upload upload;
    upload.topic = json.value("properties").toObject().value("Topic").toString();
    upload.record = CQelData::deserialize(QByteArray::fromBase64(json.value("data").toString().toLatin1()));
    return upload;
}
