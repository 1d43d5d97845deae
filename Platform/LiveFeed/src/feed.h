// The stand-in main station and sounder runtime on one machine: it plays a synthetic survey to
// the display (positions, depths, runtime sentences, the grid) and serves the grid's files to
// remote stations and a status page.
#pragma once

#include "peer_input.h"
#include "recording.h"
#include "survey.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QDateTime;
class QTcpServer;
class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace livefeed {

class GridWriter;
class TrackWriter;

enum class DepthForm { Geographic, Projected, Both };

struct FeedOptions {
    QString host = QStringLiteral("127.0.0.1"); // where the datagrams go; a multicast group is joined as such
    int portAdd = 0;                            // the display's CorvPortAdd
    int positionPort = 25125;
    int depthPort = 25130;
    int controlPort = 25135;
    double positionRate = 5;   // datagrams per second and vessel
    double depthRate = 2;      // depth datagrams per second, vessels in turn
    // Every vessel's positions and the depth datagrams at a phase of their own, as independent
    // sources send them; a burst sends all positions and the depth datagram together (stress).
    bool burst = false;
    int soundings = 1199;      // per depth datagram
    DepthForm depthForm = DepthForm::Both;
    double duration = 0;       // seconds; 0 runs until stopped
    double leadIn = 3;         // seconds of opening sentences before the vessels move
    bool waitForPage = false;  // open the grid 'leadIn' seconds after the display asked for its page
    double tileInterval = 2;   // seconds between tile writes
    double sendInterval = 10;  // seconds between tile sends to remote stations
    int httpPort = 8188;       // status page; 0 off
    int tcpPort = 16655;       // remote-station link; 0 off
    int requestPort = 4002;    // requests to the sounder runtime; 0 off
    int coveragePort = 14002;  // coverage-angle requests; 0 off
    QString gridRoot = QStringLiteral("C:/qeldata/Grids"); // as the display names it
    QString gridVessel = QStringLiteral("SIM");
    QString surveyName = QStringLiteral("LiveFeed");
    QString recordPath;        // write every datagram sent here
    QString replayPath;        // send a recorded run instead of the survey
    SurveyOptions survey;
};

struct FeedCounters {
    std::uint64_t positions = 0;
    std::uint64_t depthDatagrams = 0;
    std::uint64_t geographicDepths = 0;
    std::uint64_t projectedDepths = 0;
    std::uint64_t controlDatagrams = 0;
    std::uint64_t sendErrors = 0;
    std::uint64_t requests = 0;
    std::uint64_t framesSent = 0;
    std::uint64_t pagesServed = 0;
};

class Feed : public QObject {
    Q_OBJECT
public:
    explicit Feed(FeedOptions options, QObject* parent = nullptr);
    ~Feed() override;

    bool start(QString* error);
    void stop();

    const FeedOptions& options() const { return m_options; }
    const FeedCounters& counters() const { return m_counters; }
    // The grid folder as the display names it, and its local path.
    QString gridFolder() const;
    QString localGridFolder() const;
    QString statusPage() const;
    int stationsConnected() const;

signals:
    void finished();
    // Each datagram as it left: the vessel, its count or sequence, the projected metres and the
    // steady clock in nanoseconds.
    void positionSent(int vessel, quint16 count, double east, double north, qint64 steadyNs);
    void depthSent(int vessel, quint16 sequence, double firstEast, double firstNorth, qint64 steadyNs);

private:
    struct Station;

    FeedOptions m_options;
    FeedCounters m_counters;
    SounderIdentity m_identity;
    std::unique_ptr<Survey> m_survey;
    std::unique_ptr<UtmProjection> m_projection;
    std::unique_ptr<GridWriter> m_grid;
    std::unique_ptr<TrackWriter> m_tracks;
    QElapsedTimer m_trackClock; // since the tracks were last written
    RecordingWriter m_recorder;
    bool m_recording = false;
    QElapsedTimer m_clock;
    QHostAddress m_target;
    QUdpSocket* m_sender = nullptr;
    QUdpSocket* m_requestSocket = nullptr;
    QUdpSocket* m_coverageSocket = nullptr;
    QTcpServer* m_stationServer = nullptr;
    QTcpServer* m_pageServer = nullptr;
    QTimer* m_openingTimer = nullptr;
    QTimer* m_positionTimer = nullptr;              // all vessels at once (burst)
    std::vector<QTimer*> m_vesselTimers;            // one per vessel, each at its phase
    QTimer* m_depthTimer = nullptr;
    QTimer* m_tileTimer = nullptr;
    QTimer* m_sendTimer = nullptr;
    QTimer* m_eventTimer = nullptr;
    QTimer* m_endTimer = nullptr;
    std::map<QTcpSocket*, std::unique_ptr<Station>> m_stations;
    std::map<QString, std::uint64_t> m_tileVersions; // local tile path -> times written
    std::vector<std::uint16_t> m_positionCounts;
    std::uint16_t m_depthSequence = 0;
    std::uint64_t m_depthTurn = 0;
    double m_surveyStart = 0; // seconds on m_clock when the vessels started
    bool m_moving = false;
    bool m_movingScheduled = false;
    bool m_stopped = false;
    std::vector<RecordedDatagram> m_replay;
    std::size_t m_replayNext = 0;
    QTimer* m_replayTimer = nullptr;

    quint16 port(Channel channel) const;
    void send(Channel channel, const QByteArray& bytes);
    void sendControl(const std::string& text);
    void sendOpening();
    void onPageAsked();
    void beginOpening();
    void startMoving();
    void onPositionTick();
    void sendPosition(int vessel, const QDateTime& now);
    // Sends once 'phaseMs' from now, then every 'intervalMs'.
    void startAtPhase(QTimer* timer, int intervalMs, int phaseMs, const std::function<void()>& tick);
    void onDepthTick();
    void onTileTick();
    void onSendTick();
    void onEventTick();
    void onStationConnected();
    void sendFile(QTcpSocket* socket, const QString& localPath, const QString& displayFolder);
    void onPageConnection();
    void onRequest(QUdpSocket* socket);
    void onReplayTick();
    double seconds() const;
    std::string sourceName(int vessel) const;
    QString displayLabel(int vessel) const;
    // The track file's base name of a vessel on a survey line.
    QString trackName(int vessel, int line) const;
};

} // namespace livefeed
