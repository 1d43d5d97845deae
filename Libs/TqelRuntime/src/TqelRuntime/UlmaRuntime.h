// The link to the sounder runtime and the other stations of the installation; one object per
// process, living on the main window's runtime thread.
#pragma once

#include <QMap>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class CQtLogger;
class CRemoteLinkState;
class CWaypointSentenceSender;
class QUdpSocket;
namespace QelProj {
class CProjection;
}

Q_DECLARE_METATYPE(std::string)

// Frees the remote-station link state (defined beside it).
struct CRemoteLinkDeleter {
    void operator()(CRemoteLinkState* poState) const;
};

class CUlmaRuntime : public QObject {
    Q_OBJECT
public:
    // The one runtime link. The first call creates it with that station mode; later calls
    // ignore the mode. Null once the link has been destroyed.
    static CUlmaRuntime* instance(int nMode);
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

signals:
    void relayToMapView(int nCode, QString strText);
    void sigToggleFollowShip();

public slots:
    // Stops the runtime services.
    void shutdown();
    // Stores a new sounder model in gui.ini and takes its multicast group.
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

private:
    explicit CUlmaRuntime(int nMode);
    void init(int nMode);
    // The multicast group from the gui.ini keys, as the remote-station link reads it.
    QString readGroupSettings();
    void log(const QString& strText, unsigned nType = 1);
    // Remote-station link (UlmaRuntimeRemote.cpp): the server of modes 0 and 2, and the end of
    // the link and of the converters at shut-down.
    void startRemoteDataServer();
    void stopRemoteLink();
    bool sendFileFrame(const QString& strPath, const QByteArray& baData, int nMaxRecord, std::string& strFrame);
    void storeReceivedFile(const QString& strName, const QString& strFolder, const QByteArray& baData);

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
    // Last member: the remote-station link goes first, while the rest still stands.
    std::unique_ptr<CRemoteLinkState, CRemoteLinkDeleter> m_poRemote;
};
