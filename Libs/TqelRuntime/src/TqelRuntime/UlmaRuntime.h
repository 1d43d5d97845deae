// The link to the sounder runtime and the other stations of the installation; one object per
// process, living on the main window's runtime thread.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CLiveLinkState;
class CPuMsgModel;
class CQtLogger;
class CRemoteLinkState;
class CTvqelDatagram;
class CRuntimeGuiSink;
class CWaypointSentenceSender;
class QHostAddress;
class QUdpSocket;
namespace QelProj {
class CProjection;
}

Q_DECLARE_METATYPE(std::string)

// Frees the remote-station link state (defined beside it).
struct CRemoteLinkDeleter {
    void operator()(CRemoteLinkState* poState) const;
};
// Frees the state of the live survey handlers (defined beside it).
struct CLiveLinkDeleter {
    void operator()(CLiveLinkState* poState) const;
};

class CUlmaRuntime : public QObject {
    Q_OBJECT
public:
    // The one runtime link. The first call creates it with that station mode; later calls
    // ignore the mode. Null once the link has been destroyed.
    static CUlmaRuntime* instance(int nMode);
    // A link of its own, outside the process-wide one (tests and tools); a null sink gives the
    // sink that posts to the GUI thread. The program uses instance().
    explicit CUlmaRuntime(int nMode, std::shared_ptr<CRuntimeGuiSink> poGuiSink = {});
    ~CUlmaRuntime() override;
    CUlmaRuntime(const CUlmaRuntime&) = delete;
    CUlmaRuntime& operator=(const CUlmaRuntime&) = delete;

    // The address of the owner's logger pointer; lines go through the logger it points to.
    void setLogger(CQtLogger** ppoLogger);

    int stationMode() const { return m_nMode; }
    // The multicast group of a sounder model code: "225.1.13." and a number.
    static QString multicastGroupForModel(int nModel);
    // The group of the remote-station link in use. Any thread.
    QString multicastGroup() const;

    // The current vessel id, "default" until the runtime names one. Any thread.
    QString getVesselId() const;
    // The survey grid folder recorded for the vessel; a vessel not recorded gets an empty
    // entry. Any thread.
    QString getVesselGridPath(const QString& strVessel);
    // Records the survey grid folder of a vessel (trimmed), as the survey-start replies and the
    // main station's configuration name it. Any thread.
    void setVesselGridPath(const QString& strVessel, const QString& strPath);
    // The sounder the requests name; empty until one is chosen. Any thread.
    QString activeSounder() const;
    // The runtime link's own projection (never null).
    QelProj::CProjection* projection() const { return m_poProjection.get(); }

    // Remote-station link and file exchange (UlmaRuntimeRemote.cpp).
    // The server's subscriber callback (I/O thread): each new station gets the projection files.
    void onSubscribersChanged(std::vector<std::string> lstSubscribers);
    // Mode 4: connects once per process to the main station at 'strHost', port 16655.
    void startRemoteDataClient(QString strHost);
    // The files below 'strFolder' due to be sent, by absolute path.
    QMap<QString, QByteArray> getAllFileData(QString strFolder, QString strNameFilter, bool bOnlyChanged,
                                             bool bTerrainOnly, unsigned nMinutes);
    // The client's data callback (I/O thread); takes ownership of the payload.
    void handlePUDataTCP(std::string* pPayload);
    // Store a received tile or grid file below "C:/qeldata/Grids/"; runtime thread.
    bool writeTiffFile(QString strVessel, QString strPath, QByteArray baData);
    bool storeRemoteGridFile(QString strVessel, QString strPath, QByteArray baData);
    // The received tiles a survey may hold (bytes, files); new tiles beyond either are dropped
    // with one message per survey. Runtime thread.
    void setReceivedTileQuota(qint64 nBytes, int nFiles);
    // The ports of the remote-station sockets as bound (0 where a socket is missing).
    struct SocketPorts {
        quint16 position = 0;
        quint16 depth = 0;
        quint16 control = 0;
    };
    SocketPorts boundPorts() const;

    // Control datagrams: one received datagram with "\n\r" appended, and its sender's address.
    void processCtrlDatagrams(QByteArray& baDatagram, const QString& strSender);
    void processPulsorStatus(QByteArray& baDatagram);
    void processGgaSentence(QByteArray& baDatagram);
    void processSimulatedSingleBeam(QByteArray& baDatagram);
    // The main station's display-station configuration ("$GUICONF").
    void processGUISetup(const QByteArray& baDatagram);
    // Adds sounder records for a ":"-separated list of names of the vessel.
    void addSounders(const QString& strNames, const QString& strVessel);
    // Runtime replies and events, position datagrams and real-time depths.
    void processUlmaExecDatagrams(QByteArray& baDatagram, const QString& strSender);
    void processShipPosition(QByteArray& baDatagram, const QString& strSender);
    void processRTDepths(QByteArray& baDatagram);
    // A processing-unit message ("$TVQEL,470,..."): into the message table, cache and relays.
    void processTVQEL470(const QByteArray& baSentence);
    // The coverage-angle reply ("$TVQEL,401,..."): a JSON array of id/value objects.
    void processCoverageAngles(const QByteArray& baSentence);
    // The processing units' message table; created with the first message.
    CPuMsgModel* puMsgModel();
    // The clock of the depth, relay and follow-vessel schedules, ms since the epoch (tests).
    void setClock(std::function<qint64()> fnNowMs);
    // The main station whose position datagrams are taken (gui.ini RUNTIME "MainStationAddress");
    // empty while the sender of the first datagram is followed. Any thread.
    QString followedStation() const;

    // One sounder of the sounder table: started flag, position in the vessel's list, text.
    struct SounderRecord {
        quint8 started = 0;
        int index = 0;
        QString text;
    };
    // Runtime thread only.
    const QMap<QString, SounderRecord>& sounderTable() const { return m_mapSounders; }
    QStringList sounderListA(const QString& strVessel) const { return m_mapSoundersA.value(strVessel); }
    QStringList sounderListB(const QString& strVessel) const { return m_mapSoundersB.value(strVessel); }
    int activeModelCode() const { return m_nActiveModelCode; }
    int activeSerialNumber() const { return m_nActiveSerial; }
    const QStringList& pulsorNames() const { return m_lstPulsorNames; }
    const int* pulsorStatus() const { return m_anPulsorStatus; }

signals:
    void relayToMapView(int nCode, QString strText);
    void configureSonarDisp(uint nValue);
    void configureWCDisp(bool bOn);
    void sigToggleFollowShip();
    void sigUpdatePulsor(QStringList lstNames, int* pnStatus);
    void signalSetPortCoverage(int nValue);
    void signalSetStarbCoverage(int nValue);

public slots:
    // Read the datagrams waiting on their socket.
    void readUlmaExecDatagram();
    void readShipDatagram();
    void readRTDepthDatagram();
    void readCtrlDatagram();
    void onSocketError(QAbstractSocket::SocketError eSocketError);

    // The runtime keeps no database: nothing to open.
    void initDB() {}
    // Closes the sockets and stops the runtime services; nothing is read afterwards.
    void shutdown();
    // Stores a new sounder model in gui.ini and takes its multicast group; in the remote-station
    // mode with multicast the sockets leave the old group and are rebuilt a second later.
    void setCorvGrp(int nTyp);
    // Reads a projection file into the runtime's own projection; an unchanged file is skipped.
    void setProjFile(std::string strFile);
    // Distance and bearing between two map points (projected centimetres, x east, y north),
    // sent as waypoint sentences; 'to' (0, 0) measures from the vessel's last position.
    void measureDistance(QPoint oFrom, QPoint oTo);
    // Sends one request sentence to the sounder runtime (local host, UDP port 4002); type 480
    // with ";"-joined survey names deletes those surveys. The flag changes nothing.
    void sendRequestToUlmaexec(int nType, const QString& strArgs, bool bUnused);
    // The newest tiles of the current survey to every station (10 s timer, modes 0 and 2).
    void sendGrids();
    // The current survey's projection file and grid index to every station.
    void sendProjectionFiles(QString strSubscriber);
    // One file (a published plan) to every station.
    void sendFileToRemoteStations(QString strPath);
    // The two senders above, called from any thread: posted to the runtime thread, which
    // writes every frame.
    void postProjectionFiles();
    void postFileToRemoteStations(const QString& strPath);
    // Asks the runtime for the coverage of a sounder, which becomes the active one.
    void requestCoverage(const QString& strSounder);
    // Requests of the water-column, stave and scope displays and of the coverage.
    void wcolVisible(int nIsVisible);
    void staveVisible(bool bIsVisible);
    void onWcolDepthPicked(double dDepth);
    void onWcolBeamPicked(int nBeam);
    void onStaveLogging(bool bLog);
    void scopeVisible(bool bIsVisible);
    void requestDefaultCoverage();
    void userSetCoverage(int nPort, int nStarboard);
    void onDropSounder();
    void onAlive();
    // Moves the 2-D map view to the vessel.
    void onMoveTimer();
    // Takes position datagrams only from the station at that address from now on and keeps it in
    // gui.ini; an empty text takes them from any sender again. A remote station's link follows.
    void followStation(QString strAddress);

private:
    void init(int nMode);
    // Binds a datagram socket of this object; a failure is reported and gives null.
    QUdpSocket* openSocket(int nPort, bool bShared, const QString& strWhat);
    // The remote-station sockets from the gui.ini keys (first start and after a model change).
    void reconnectCorvSocks();
    void joinGroup(QUdpSocket* poSocket, const QString& strGroup);
    void leaveGroup(QUdpSocket* poSocket, const QString& strGroup);
    void closeSocket(QUdpSocket*& poSocket);
    void applyProjectionText(const QByteArray& baText);
    // Handles the position datagrams already waiting: a depth step of this thread (projection,
    // tail hand-over) would otherwise hold them back.
    void readWaitingPositions();
    // The distance and bearing from the vessel's last position to a map point.
    void measureFromVessel(QPoint oFrom);
    void processQaDatagram(const QByteArray& baDatagram);
    // The action of a valid QA datagram's command id.
    void processQaCommand(const QByteArray& baDatagram);
    // True once the remote-station TCP client runs (grid and plan names from the main station
    // are then no longer followed).
    bool hasRemoteStationClient() const { return m_bRemoteClientStarted; }
    void log(const QString& strText, unsigned nType = 1);
    // Runtime replies (UlmaRuntimeReplies.cpp): the text relayed for a reply code, empty for none.
    QString replyText(int nReply, CTvqelDatagram& oSentence);
    QString replySounderLists(const QString& strField4, const QString& strField5);
    QString replyStart(CTvqelDatagram& oSentence);
    // Requests to the local runtime service (port 14002).
    void sendToRuntimeService(const QString& strText);
    void sendCoverageRequest(const QString& strSounder);
    // Request 463: a source's cached message is forgotten and the next cached one shown again.
    void forgetPuSource(const QString& strArgs);
    // Position and depth steps (UlmaRuntimePosition.cpp, UlmaRuntimeDepths.cpp).
    void decideRemoteClient(const QString& strSender);
    // One position datagram read into the read slot's buffer, from that sender.
    void takePositionDatagram(const QHostAddress& oSender);
    // False for a sender other than the followed main station (logged once per sender).
    bool takesPositionsFrom(const QString& strSender);
    // Relays code 22 for a new position sender, at most a few times a second.
    void notePositionSender(const QString& strSender);
    void relayPositionSender();
    void forwardPosition(QByteArray& baDatagram);
    void followVessel();
    void relayDepths(const QByteArray& baDatagram, qint64 nNow);
    void projectPendingSoundings(qint64 nNow);
    // Whether soundings may go to the named depth tail (a bounded number of names).
    bool acceptTailName(const QString& strName);
    // Remote-station link (UlmaRuntimeRemote.cpp): the server of modes 0 and 2, and the end of
    // the link and of the converters at shut-down.
    void startRemoteDataServer();
    void stopRemoteLink();
    bool sendFileFrame(const QString& strPath, const QByteArray& baData, int nMaxRecord, std::string& strFrame);
    // Mode 4: the link's client goes to that main station instead (after the operator's choice).
    void retargetRemoteDataClient(const QString& strHost);
    void storeReceivedFile(const QString& strName, const QString& strFolder, const QByteArray& baData);
    // A received file that could not be written, in a warning box (not more than one a minute).
    void warnStoreFailed(const QString& strFile, const QString& strError);
    // Grid converters: one per survey at a time, a few at once, the rest waiting in turn.
    bool queueConverter(const QString& strVessel, const QString& strSurvey);
    void startWaitingConverters();
    void onConverterTimer();

    CQtLogger** m_ppoLogger = nullptr;
    int m_nMode = 0;
    mutable QMutex m_oMutex; // guards the texts that other threads read
    QString m_strVesselId = QStringLiteral("default");
    QMap<QString, QString> m_mapSurveyFolders;
    QString m_strMulticastGroup;
    QString m_strActiveSounder;
    int m_nActiveModelCode = 0;
    bool m_bShutDown = false;
    std::unique_ptr<QelProj::CProjection> m_poProjection;
    std::unique_ptr<CWaypointSentenceSender> m_poWaypointSender;
    // The socket of the coverage requests to the local runtime service, made on first use.
    std::unique_ptr<QUdpSocket> m_poServiceSocket;

    // Sockets and control dispatch.
    std::shared_ptr<CRuntimeGuiSink> m_poGuiSink;
    QUdpSocket* m_poUlmaExecSocket = nullptr; // never created: replies come on the control socket
    QUdpSocket* m_poPosSocket = nullptr;
    QUdpSocket* m_poDepthSocket = nullptr;
    QUdpSocket* m_poCtrlSocket = nullptr;
    bool m_bNoMulticast = false;
    bool m_bRemoteClientStarted = false;
    QString m_strFollowedStation; // under m_oMutex
    QByteArray m_baDepthDatagram;
    int m_anPulsorStatus[7] = {-1, -1, -1, -1, -1, -1, -1};
    QStringList m_lstPulsorNames;
    // The first "$GUICONF" of the process waits; those that come meanwhile queue behind it.
    bool m_bGuiConfSeen = false;
    bool m_bGuiConfWaiting = false;
    QList<QByteArray> m_lstWaitingGuiConf;

    // Display-station configuration.
    QMap<QString, SounderRecord> m_mapSounders;
    QMap<QString, QStringList> m_mapSoundersA;
    QMap<QString, QStringList> m_mapSoundersB;
    int m_nActiveSerial = 0;
    bool m_bConfigReceived = true;
    std::unique_ptr<CLiveLinkState, CLiveLinkDeleter> m_poLive;
    // Last member: the remote-station link goes first, while the rest still stands.
    std::unique_ptr<CRemoteLinkState, CRemoteLinkDeleter> m_poRemote;
};
