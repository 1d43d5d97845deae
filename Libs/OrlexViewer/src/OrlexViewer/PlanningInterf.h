// The application's side of the survey-line planning library: line and job requests, the active
// plan line and plan sharing with the display stations.
#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CPlanningLib;
class QHostAddress;
class QTimer;
class QUdpSocket;
class QWebSocket;

class CPlanningInterf : public QObject
{
    Q_OBJECT
public:
    explicit CPlanningInterf(int nMode);
    ~CPlanningInterf() override;

    std::shared_ptr<CPlanningLib> getPlanningLib() const { return m_pPlanningLib; }
    // Heading of the active plan line in hundredths of a degree; -1 without a planning library.
    int getActiveLineHeading() const;

    // A plan-line command by planning-menu number; true when the selection should be reset.
    bool lineCommand(int nAction, int nFlags = 0);
    // Routes one command text to the library; always true.
    bool sendPlanningCommand(const QString& strCommand, int nFlags = 0);
    // A job request by menu number (20 to 26).
    void jobRequest(int nAction, QString strJobName);
    void exportPlan();
    // Saves "_current.asciiplan" when bSaveCurrentOnly, else shares the plan now.
    void publishPlan(bool bResendActiveLine, bool bSaveCurrentOnly);
    void setSharePlan(bool bOn) { m_bSharePlan = bOn; }
    // When sharing is on: the plan is shared 2000 ms later.
    void schedulePlanShare();
    void sharePlanNow();

    // Display stations.
    void sendToCorv(const QString& strText);
    void updateCorvAddr(const QString& strGroup);
    // -1 deactivates; notifyPlanning also tells the library.
    void activateLine(int nLine, bool bNotifyPlanning);
    int activeLine() const { return m_nActiveLine; }
    quint16 displayPort() const { return m_nCorvPort; }
    QString currentJobFile() const { return m_strCurrentJobFile; }

    // Who hands a shared plan file to the remote stations; the default is the runtime link.
    using RemoteSender = std::function<void(const QString&)>;
    static void setRemoteSender(RemoteSender sender);

    // The folder that receives the shared plan "corv.asciiplan"; set by the controller.
    QString m_strShareFolder;

signals:
    void sigPlanToVessel(QString strPlanFile);
    void sigPlanToMain(QString strText);
    void sendWsMessage(QString strText);

public slots:
    void slotMsgFromPlanning(QString strMessage);
    void connectToPlanning();
    void planSocketConnection();
    void processWebSocketMessage(QString strText);
    void webSocketDisconnected();
    // A refused connection is counted for the process; the sixth refusal tells the operator.
    // A socket of the planning service's port 8189 tries again a second later.
    void webSocketError(QAbstractSocket::SocketError error);
    void onSendWsMessage(QString strText);

private:
    // Creates the display socket on first use.
    void setUpSocket();
    void sendDatagram(const QString& strText);
    void finishShare();
    QString plansFolder() const;
    QString activateCommand() const;

    std::shared_ptr<CPlanningLib> m_pPlanningLib;
    QWebSocket* m_pWebSocket = nullptr;
    bool m_bWebSocketConnected = false;
    int m_nMode = 0;
    QString m_strCurrentJobFile;
    std::unique_ptr<QUdpSocket> m_pCorvSocket;
    std::unique_ptr<QHostAddress> m_pCorvAddress;
    quint16 m_nCorvPort = 25135;
    // The first sendToCorv reads the destination settings (one interface per run).
    bool m_bCorvSettingsRead = false;
    bool m_bSharePlan = false;
    QTimer* m_pActiveLineTimer = nullptr;
    QString m_strActiveLineDatagram;
    int m_nActiveLine = 0;
    // A share waits this long for the library's saved file.
    QTimer* m_pShareTimer = nullptr;
    QTimer* m_pScheduleTimer = nullptr;
};
