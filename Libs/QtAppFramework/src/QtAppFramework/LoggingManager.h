// Process-wide log router: names each line by its sender and hands it to the output panes.
#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class COutputWindow;
class CQtLogger;

class CLoggingManager : public QObject {
    Q_OBJECT
public:
    // Sender id whose lines carry no name.
    static constexpr int RawSender = 1024;
    // A formatted line holds at most this many bytes with its line end.
    static constexpr int LineBufferSize = 1000;

    static CLoggingManager* instance();
    ~CLoggingManager() override;

    void init();
    // False when the name is already registered under a non-zero id.
    bool registerSender(int nSenderId, const QString& strName);
    // False when the window is already registered under a non-zero bit.
    bool addOutput(int nOutputBit, COutputWindow* poWindow);
    void setSenderOutputs(int nSenderId, int nOutputMask);

    // Takes ownership of a file/console/UDP backend that receives every line (null removes it).
    void setBackendLogger(CQtLogger* poLogger);
    CQtLogger* backendLogger() const { return m_poBackend.get(); }

    void setLogFileName(const QString& strName);
    void setLogFileSizeMax(unsigned nMax);
    void setServerAddress(const QString& strAddress);
    void setServerPort(unsigned short nPort);
    void setMsgTypeMask(int nMask);
    void setOutputDeviceMask(int nMask);

    QString logFileName() const { return m_strLogFileName; }
    int logFileSizeMax() const { return m_nLogFileSizeMax; }
    QString serverAddress() const { return m_strServerAddress; }
    unsigned short serverPort() const { return m_nServerPort; }
    int msgTypeMask() const { return m_nMsgTypeMask; }
    int outputDeviceMask() const { return m_nOutputDeviceMask; }

public slots:
    void enable();
    void disable();
    bool isEnabled();
    void log(QString strMsg, uint nMsgType, uint nMsgSender);
    void log(QString strMsg, uint nMsgType);
    void log(QString strMsg);
    void setHidden(bool bHidden);

private:
    CLoggingManager();
    void applyOutputDevices();
    // "%-7.7s: %s" of sender name and message (the message alone for a raw line), Latin-1,
    // cut to fit LineBufferSize bytes with its line end.
    QByteArray formatLine(const QString& strMsg, uint nMsgSender, bool bRaw) const;

    std::unique_ptr<CQtLogger> m_poBackend;
    QMap<int, QString> m_mapSenderNames;
    QMap<int, QPointer<COutputWindow>> m_mapOutputs; // not owned
    QMap<int, int> m_mapSenderOutputs;
    int m_nOutputDeviceMask = 0;
    int m_nMsgTypeMask = 0xFFFF;
    QString m_strLogFileName;
    int m_nLogFileSizeMax = 0;
    QString m_strServerAddress;
    unsigned short m_nServerPort = 0;
};
