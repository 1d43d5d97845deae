// A small HTTP/1.1 server on 127.0.0.1 (port 0) for tests: records every request and answers as
// scripted (status, closing without an answer, a delay before the answer, no answer at all, or an
// answer whose body never ends).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

class CQelData;

class HttpPeer : public QObject {
    Q_OBJECT
public:
    enum class Answer { Status, CloseEarly, Silent, EndlessBody };

    struct Request {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    // The topic and the record of an upload body.
    struct Upload {
        QString topic;
        std::shared_ptr<CQelData> record;
    };
    static Upload decode(const QByteArray& body);

    HttpPeer();
    quint16 port() const { return m_oServer.serverPort(); }

    Answer answer = Answer::Status;
    int status = 200;
    int delayMs = 0;
    bool keepBodies = true; // false: bodies are counted in bodyBytes and dropped
    qint64 bodyBytes = 0;

    QList<Request> requests;
    int connections = 0;
    qint64 endlessBytes = 0; // body bytes written by EndlessBody answers

private:
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket);

    QTcpServer m_oServer;
    QMap<QTcpSocket*, QByteArray> m_mapBuffers;
};
