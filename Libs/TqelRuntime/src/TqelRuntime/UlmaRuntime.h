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

class CQtLogger;
class CWaypointSentenceSender;
class QUdpSocket;
namespace QelProj {
class CProjection;
}

Q_DECLARE_METATYPE(std::string)

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

private:
    explicit CUlmaRuntime(int nMode);
    void init(int nMode);
    // The multicast group from the gui.ini keys, as the remote-station link reads it.
    QString readGroupSettings();
    void log(const QString& strText, unsigned nType = 1);

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
};
