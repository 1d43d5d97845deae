// Logger with debugger output, UDP datagrams and a Qt signal that carries lines to the log router.
#pragma once

#include "QtAppFramework/Logger.h"

#include <QHostAddress>
#include <QMultiMap>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <memory>

class QUdpSocket;

class CQtRecursiveMutex : public gcn::IRecursiveMutex {
public:
    void lock() override { m_oMutex.lock(); }
    void unlock() override { m_oMutex.unlock(); }

private:
    QRecursiveMutex m_oMutex;
};

class CQtLogger : public QObject, public CLogger {
    Q_OBJECT
public:
    explicit CQtLogger(int nSenderId, QObject* parent = nullptr);
    CQtLogger(const char* szFileName, int nFileSizeMax, int nSenderId, QObject* parent = nullptr);
    ~CQtLogger() override;

    virtual void log(const QString& strText, unsigned nType);
    virtual void log(const QString& strText);
    void log(const char* szText, unsigned short nType) override;
    using CLogger::log;

    void setFlags(unsigned short nFlags) override;
    void clearFlags(unsigned short nFlags) override;

    void addUdpDestination(const QString& strHost, unsigned short nPort);
    // Removes every entry of this host with this port; other ports of the host stay.
    void removeUdpDestination(const QString& strHost, unsigned short nPort);

    int senderId() const { return m_nSenderId; }

signals:
    void logUDP(const char* szMsg, QHostAddress oDestAddr, ushort nDestPort);
    void msg(QString strMsg, uint nMsgType, uint nMsgSender);
    void msgToFile(QString msg);

public slots:
    void handleLogUDP(const char* szMsg, QHostAddress oDestAddr, ushort nDestPort);

private:
    void writeOutputs(const QByteArray& baText, unsigned nType);

    CQtRecursiveMutex m_oMutex;
    std::unique_ptr<QUdpSocket> m_poSocket;
    QMultiMap<QString, unsigned short> m_mapUdpDestinations;
    int m_nSenderId;
};
