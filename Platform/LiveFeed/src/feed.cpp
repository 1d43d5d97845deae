#include "feed.h"

#include "encoders.h"
#include "grid_writer.h"
#include "track_writer.h"

#include "platform/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace livefeed {

namespace {

constexpr int kModel = 2200;
constexpr qint64 kStationBacklog = 64 * 1024 * 1024;
constexpr int kOpeningMs = 3000; // opening sentences before the vessels move, after a page request
constexpr qint64 kTrackFlushMs = 1000;

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int intervalMs(double perSecond)
{
    return perSecond > 0 ? std::max(1, static_cast<int>(std::lround(1000.0 / perSecond))) : 0;
}

std::uint16_t hundredths(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d < 0)
        d += 360.0;
    return static_cast<std::uint16_t>(std::lround(d * 100.0) % 36000);
}

std::int32_t centimetres(double metres)
{
    return static_cast<std::int32_t>(std::clamp(std::lround(metres * 100.0), -2147483647L, 2147483647L));
}

QString html(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

struct Feed::Station {
    std::map<QString, std::uint64_t> tilesSent; // local path -> version sent
};

Feed::Feed(FeedOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    m_options.survey.vessels = std::clamp(m_options.survey.vessels, 1, 5);
    m_options.soundings = std::clamp(m_options.soundings, 1, 1199);
    m_positionCounts.assign(static_cast<std::size_t>(m_options.survey.vessels), 0);
}

Feed::~Feed()
{
    stop();
}

QString Feed::gridFolder() const
{
    return QStringLiteral("%1/%2/%3").arg(m_options.gridRoot, m_options.gridVessel, m_options.surveyName);
}

QString Feed::localGridFolder() const
{
    return platform::toNativePath(gridFolder());
}

double Feed::seconds() const
{
    return m_clock.isValid() ? m_clock.nsecsElapsed() / 1e9 : 0.0;
}

quint16 Feed::port(Channel channel) const
{
    const int base = channel == Channel::Position ? m_options.positionPort
                     : channel == Channel::Depth  ? m_options.depthPort
                                                  : m_options.controlPort;
    return static_cast<quint16>(base + m_options.portAdd);
}

std::string Feed::sourceName(int vessel) const
{
    // The first vessel is the display's own: its position source carries the vessel id, which
    // is how the display finds the vessel it follows.
    return vessel == 0 ? m_identity.vessel : "SIM" + std::to_string(vessel + 1);
}

QString Feed::displayLabel(int vessel) const
{
    return QStringLiteral("%1:%2_%3").arg(QString::fromStdString(sourceName(vessel))).arg(kModel).arg(101 + vessel);
}

bool Feed::start(QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        stop();
        return false;
    };
    m_clock.start();
    m_target = QHostAddress(m_options.host);
    if (m_target.isNull())
        return fail(QStringLiteral("Not an address: %1").arg(m_options.host));

    m_sender = new QUdpSocket(this);
    // From the loopback address when the display is on this machine: it then asks this feed for
    // the grid over the remote-station link.
    const QHostAddress bindAddress = m_target.isLoopback() ? m_target : QHostAddress(QHostAddress::AnyIPv4);
    if (!m_sender->bind(bindAddress, 0))
        return fail(QStringLiteral("Cannot open the sending socket: %1").arg(m_sender->errorString()));
    m_sender->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
    if (m_target.isMulticast())
        m_sender->setSocketOption(QAbstractSocket::MulticastTtlOption, 2);

    if (!m_options.recordPath.isEmpty()) {
        if (!m_recorder.open(QFile::encodeName(m_options.recordPath).toStdString()))
            return fail(QStringLiteral("Cannot write the recording %1").arg(m_options.recordPath));
        m_recording = true;
    }

    if (m_options.httpPort > 0) {
        m_pageServer = new QTcpServer(this);
        if (!m_pageServer->listen(QHostAddress::AnyIPv4, static_cast<quint16>(m_options.httpPort)))
            qWarning("Status page: cannot listen on port %d: %s", m_options.httpPort,
                     qPrintable(m_pageServer->errorString()));
        connect(m_pageServer, &QTcpServer::newConnection, this, &Feed::onPageConnection);
    }

    if (!m_options.replayPath.isEmpty()) {
        RecordingContents contents = readRecording(QFile::encodeName(m_options.replayPath).toStdString());
        if (!contents.error.empty() && contents.datagrams.empty())
            return fail(QStringLiteral("Cannot replay %1: %2").arg(m_options.replayPath, QString::fromStdString(contents.error)));
        if (!contents.error.empty())
            qWarning("Replaying what could be read of %s: %s", qPrintable(m_options.replayPath), contents.error.c_str());
        m_replay = std::move(contents.datagrams);
        m_replayTimer = new QTimer(this);
        m_replayTimer->setSingleShot(true);
        m_replayTimer->setTimerType(Qt::PreciseTimer);
        connect(m_replayTimer, &QTimer::timeout, this, &Feed::onReplayTick);
        m_replayTimer->start(0);
        return true;
    }

    m_projection = std::make_unique<UtmProjection>(m_options.survey.zone, m_options.survey.south);
    if (!m_projection->valid())
        return fail(QStringLiteral("PROJ has no UTM zone %1").arg(m_options.survey.zone));
    if (m_options.survey.zone < 1 || m_options.survey.zone > 60)
        return fail(QStringLiteral("UTM zones are 1 to 60, not %1").arg(m_options.survey.zone));
    m_survey = std::make_unique<Survey>(m_options.survey);
    m_grid = std::make_unique<GridWriter>(localGridFolder(), *m_survey, *m_projection);
    QString gridError;
    if (!m_grid->writeStatic(&gridError))
        return fail(gridError);
    // The tracks go with the survey; a display on this machine that receives the grid over the
    // remote-station link makes its copy ("<root>/default/<survey>") the active survey, so that
    // copy gets them too.
    QStringList trackFolders{localGridFolder()};
    if (m_target.isLoopback())
        trackFolders << platform::toNativePath(QStringLiteral("%1/default/%2").arg(m_options.gridRoot, m_options.surveyName));
    m_tracks = std::make_unique<TrackWriter>(trackFolders);

    auto openRequests = [&](int portNumber, QUdpSocket*& socket) {
        if (portNumber <= 0)
            return;
        socket = new QUdpSocket(this);
        if (!socket->bind(QHostAddress::LocalHost, static_cast<quint16>(portNumber)))
            qWarning("Requests: cannot listen on port %d: %s", portNumber, qPrintable(socket->errorString()));
        QUdpSocket* s = socket;
        connect(s, &QUdpSocket::readyRead, this, [this, s] { onRequest(s); });
    };
    openRequests(m_options.requestPort, m_requestSocket);
    openRequests(m_options.coveragePort, m_coverageSocket);

    if (m_options.tcpPort > 0) {
        m_stationServer = new QTcpServer(this);
        if (!m_stationServer->listen(QHostAddress::AnyIPv4, static_cast<quint16>(m_options.tcpPort)))
            qWarning("Remote stations: cannot listen on port %d: %s", m_options.tcpPort,
                     qPrintable(m_stationServer->errorString()));
        connect(m_stationServer, &QTcpServer::newConnection, this, &Feed::onStationConnected);
    }

    auto timer = [&](int ms, void (Feed::*slot)()) {
        auto* t = new QTimer(this);
        t->setTimerType(Qt::PreciseTimer);
        if (slot)
            connect(t, &QTimer::timeout, this, slot);
        if (ms > 0)
            t->start(ms);
        return t;
    };
    m_openingTimer = timer(0, &Feed::sendOpening);
    m_positionTimer = timer(0, &Feed::onPositionTick);
    if (!m_options.burst) {
        for (int v = 0; v < m_options.survey.vessels; ++v) {
            QTimer* t = timer(0, nullptr);
            connect(t, &QTimer::timeout, this, [this, v] { sendPosition(v, QDateTime::currentDateTimeUtc()); });
            m_vesselTimers.push_back(t);
        }
    }
    m_depthTimer = timer(0, &Feed::onDepthTick);
    m_tileTimer = timer(0, &Feed::onTileTick);
    m_sendTimer = timer(0, &Feed::onSendTick);
    m_eventTimer = timer(0, &Feed::onEventTick);
    m_endTimer = new QTimer(this);
    m_endTimer->setSingleShot(true);
    connect(m_endTimer, &QTimer::timeout, this, [this] {
        stop();
        emit finished();
    });
    if (!m_options.waitForPage) {
        beginOpening();
        QTimer::singleShot(static_cast<int>(std::max(0.0, m_options.leadIn) * 1000), this, &Feed::startMoving);
    }
    return true;
}

void Feed::onPageAsked()
{
    // The display asks for its page before its view is up: the grid opens after the lead-in,
    // so that it finds the view in place, and the vessels follow a few seconds later.
    if (!m_options.waitForPage || m_movingScheduled || !m_survey)
        return;
    m_movingScheduled = true;
    QTimer::singleShot(static_cast<int>(std::max(0.0, m_options.leadIn) * 1000), this, [this] {
        beginOpening();
        QTimer::singleShot(kOpeningMs, this, &Feed::startMoving);
    });
}

void Feed::beginOpening()
{
    if (m_stopped)
        return;
    sendOpening();
    m_openingTimer->start(1000);
}

void Feed::stop()
{
    m_stopped = true;
    for (QTimer* t : {m_openingTimer, m_positionTimer, m_depthTimer, m_tileTimer, m_sendTimer, m_eventTimer,
                      m_endTimer, m_replayTimer})
        if (t)
            t->stop();
    for (QTimer* t : m_vesselTimers)
        t->stop();
    if (m_grid && m_moving)
        m_grid->flush();
    if (m_tracks && m_moving)
        m_tracks->flush();
    m_moving = false;
    if (m_recording) {
        if (!m_recorder.close())
            qWarning("The recording %s is incomplete", qPrintable(m_options.recordPath));
        m_recording = false;
    }
}

void Feed::send(Channel channel, const QByteArray& bytes)
{
    if (!m_sender)
        return;
    if (m_sender->writeDatagram(bytes, m_target, port(channel)) != bytes.size())
        ++m_counters.sendErrors;
    if (m_recording)
        m_recorder.write(static_cast<std::uint32_t>(m_clock.elapsed()), channel,
                         reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}

void Feed::sendControl(const std::string& text)
{
    ++m_counters.controlDatagrams;
    send(Channel::Control, QByteArray::fromStdString(text));
}

void Feed::sendOpening()
{
    // The projection first, so the grid opens in it; both only count until the vessels move.
    sendControl(pqqelSentence("CVN_PROJECTION", GridWriter::projectionText(*m_projection).toStdString()));
    sendControl(tvqelSentence({"1", "5.2.1-feed"}));
    sendControl(tvqelSentence({"0", "450", m_identity.vessel + ":" + m_identity.sounder, "", m_identity.sounder}));
    sendControl(pqqelSentence("CVN_OPEN_GRID", gridFolder().toStdString()));
}

void Feed::startMoving()
{
    if (!m_survey || m_moving || !m_openingTimer->isActive())
        return;
    m_openingTimer->stop();
    sendOpening();
    const std::string sounder = m_identity.vessel + ":" + m_identity.sounder;
    sendControl(tvqelSentence({"0", "461", sounder, "0", gridFolder().toStdString(), "1"}));
    sendControl(tvqelSentence({"0", "452", sounder, "0"}));
    sendControl(tvqelSentence({"470", "FEED", QString::number(QDateTime::currentMSecsSinceEpoch()).toStdString(), "1",
                               "Survey started", ("Live feed survey " + m_options.surveyName).toStdString()}));
    m_moving = true;
    m_surveyStart = seconds();
    const int positionMs = intervalMs(m_options.positionRate);
    const int depthMs = intervalMs(m_options.depthRate);
    if (m_options.burst) {
        if (positionMs)
            m_positionTimer->start(positionMs);
        if (depthMs)
            m_depthTimer->start(depthMs);
        onPositionTick();
    } else {
        // The vessels spread evenly over the position interval, the depth datagrams halfway
        // between two of them; the first vessel sends at once.
        const int vessels = m_options.survey.vessels;
        for (int v = 0; v < vessels && positionMs; ++v)
            startAtPhase(m_vesselTimers[static_cast<std::size_t>(v)], positionMs, positionMs * v / vessels,
                         [this, v] { sendPosition(v, QDateTime::currentDateTimeUtc()); });
        if (depthMs)
            startAtPhase(m_depthTimer, depthMs, positionMs / (2 * vessels), [this] { onDepthTick(); });
    }
    m_tileTimer->start(static_cast<int>(std::max(0.1, m_options.tileInterval) * 1000));
    m_sendTimer->start(static_cast<int>(std::max(0.5, m_options.sendInterval) * 1000));
    m_eventTimer->start(10000);
    if (m_options.duration > 0)
        m_endTimer->start(static_cast<int>(m_options.duration * 1000));
}

void Feed::startAtPhase(QTimer* timer, int intervalMs, int phaseMs, const std::function<void()>& tick)
{
    if (phaseMs <= 0) {
        timer->start(intervalMs);
        tick();
        return;
    }
    QTimer::singleShot(phaseMs, Qt::PreciseTimer, timer, [this, timer, intervalMs, tick] {
        if (!m_moving || m_stopped)
            return;
        timer->start(intervalMs);
        tick();
    });
}

void Feed::onPositionTick()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int v = 0; v < m_options.survey.vessels; ++v)
        sendPosition(v, now);
}

void Feed::sendPosition(int v, const QDateTime& now)
{
    const double t = seconds() - m_surveyStart;
    const VesselPose pose = m_survey->pose(v, t);
    PositionFix fix;
    fix.model = kModel;
    fix.serial = static_cast<std::uint16_t>(101 + v);
    fix.date = static_cast<std::uint32_t>(now.date().year() * 10000 + now.date().month() * 100 + now.date().day());
    fix.timeOfDayMs = static_cast<std::uint32_t>(now.time().msecsSinceStartOfDay());
    fix.count = m_positionCounts[static_cast<std::size_t>(v)]++;
    if (!m_projection->toGeographic(pose.east, pose.north, fix.latitude, fix.longitude))
        return;
    fix.speed = static_cast<std::uint16_t>(std::lround(pose.speed * 100));
    fix.course = hundredths(pose.heading);
    fix.heading = hundredths(pose.heading);
    fix.source = sourceName(v);
    const Bytes bytes = encodePosition(fix);
    send(Channel::Position, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    ++m_counters.positions;
    const int line = m_survey->lineOf(v, t);
    if (line >= 0)
        m_tracks->add(trackName(v, line), pose, now.toMSecsSinceEpoch());
    emit positionSent(v, fix.count, pose.east, pose.north, steadyNs());
}

void Feed::onDepthTick()
{
    const int vessel = static_cast<int>(m_depthTurn % static_cast<std::uint64_t>(m_options.survey.vessels));
    const bool geographic = m_options.depthForm == DepthForm::Geographic
                            || (m_options.depthForm == DepthForm::Both && m_depthTurn % 2 == 0);
    ++m_depthTurn;
    const VesselPose pose = m_survey->pose(vessel, seconds() - m_surveyStart);
    const std::vector<SwathPoint> swath = m_survey->swath(pose, m_options.soundings);
    m_grid->add(swath);
    Bytes bytes;
    const std::uint16_t sequence = m_depthSequence++;
    if (geographic) {
        std::vector<GeoSounding> soundings;
        soundings.reserve(swath.size());
        for (const SwathPoint& p : swath) {
            GeoSounding s;
            if (!m_projection->toGeographic(p.east, p.north, s.latitude, s.longitude))
                continue;
            s.depthCm = centimetres(p.depth);
            soundings.push_back(s);
        }
        bytes = encodeGeoDepths(sequence, soundings);
        ++m_counters.geographicDepths;
    } else {
        std::vector<GridSounding> soundings;
        soundings.reserve(swath.size());
        for (const SwathPoint& p : swath)
            soundings.push_back({centimetres(p.east), centimetres(p.north), centimetres(p.depth)});
        bytes = encodeGridDepths(sourceName(vessel), 0, 1, 0, soundings);
        ++m_counters.projectedDepths;
    }
    send(Channel::Depth, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    ++m_counters.depthDatagrams;
    emit depthSent(vessel, sequence, swath.empty() ? 0.0 : swath.front().east, swath.empty() ? 0.0 : swath.front().north,
                   steadyNs());
}

void Feed::onTileTick()
{
    QString error;
    const QStringList written = m_grid->flush(&error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    for (const QString& path : written)
        ++m_tileVersions[path];
    // The tracks grow slowly: rewritten once a second at most, off the vessels' send times.
    if (m_trackClock.isValid() && m_trackClock.elapsed() < kTrackFlushMs)
        return;
    m_trackClock.start();
    error.clear();
    m_tracks->flush(&error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
}

QString Feed::trackName(int vessel, int line) const
{
    // One dot only: the display lists a file whose whole suffix is "shipstrack".
    QString name = QStringLiteral("%1_%2_L%3")
                       .arg(m_options.surveyName, QString::fromStdString(sourceName(vessel)))
                       .arg(line + 1, 3, 10, QLatin1Char('0'));
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    return name;
}

void Feed::onEventTick()
{
    // The ship tracks of the active survey, and the ping mode the status bar shows.
    sendControl(tvqelSentence({"33"}));
    sendControl(tvqelSentence({"0", "479", m_identity.vessel + ":" + m_identity.sounder, "0", "1", "65", "65", "200", "2"}));
}

void Feed::onStationConnected()
{
    while (QTcpSocket* socket = m_stationServer->nextPendingConnection()) {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_stations[socket] = std::make_unique<Station>();
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_stations.erase(socket);
            socket->deleteLater();
        });
        // What a main station sends a station that connects: projection file, then grid index.
        sendFile(socket, m_grid->projectionFile(), gridFolder());
        sendFile(socket, m_grid->gridIndexFile(), gridFolder());
    }
}

void Feed::sendFile(QTcpSocket* socket, const QString& localPath, const QString& displayFolder)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray contents = file.readAll();
    const Bytes record = encodeFileRecord(QFileInfo(localPath).fileName().toStdString(), displayFolder.toStdString(),
                                          "default", Bytes(contents.begin(), contents.end()));
    const Bytes bytes = frame(record);
    socket->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    ++m_counters.framesSent;
}

void Feed::onSendTick()
{
    // Tiles changed since each station last got them, from the finest level.
    const QString localRoot = localGridFolder();
    for (auto& [socket, station] : m_stations) {
        if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > kStationBacklog)
            continue;
        for (const auto& [path, version] : m_tileVersions) {
            std::uint64_t& sent = station->tilesSent[path];
            if (sent == version)
                continue;
            sent = version;
            const QString relative = QDir(localRoot).relativeFilePath(QFileInfo(path).absolutePath());
            sendFile(socket, path, gridFolder() + QLatin1Char('/') + relative);
        }
    }
}

void Feed::onRequest(QUdpSocket* socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(65536);
        ++m_counters.requests;
        const std::optional<std::string> reply = runtimeReply(datagram.data().toStdString(), m_identity);
        if (reply)
            sendControl(*reply);
    }
}

void Feed::onReplayTick()
{
    const std::uint32_t now = static_cast<std::uint32_t>(m_clock.elapsed());
    while (m_replayNext < m_replay.size() && m_replay[m_replayNext].timeMs <= now) {
        const RecordedDatagram& d = m_replay[m_replayNext++];
        const QByteArray bytes(reinterpret_cast<const char*>(d.bytes.data()), static_cast<int>(d.bytes.size()));
        send(d.channel, bytes);
        if (d.channel == Channel::Position)
            ++m_counters.positions;
        else if (d.channel == Channel::Depth)
            ++m_counters.depthDatagrams;
        else
            ++m_counters.controlDatagrams;
    }
    if (m_replayNext >= m_replay.size()) {
        stop();
        emit finished();
        return;
    }
    m_replayTimer->start(static_cast<int>(m_replay[m_replayNext].timeMs - now));
}

int Feed::stationsConnected() const
{
    return static_cast<int>(m_stations.size());
}

void Feed::onPageConnection()
{
    while (QTcpSocket* socket = m_pageServer->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // The request head collects in a buffer that lives as long as the connection.
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            head->append(socket->readAll());
            const int end = head->indexOf("\r\n\r\n");
            if (end < 0 && head->size() < 16384)
                return;
            const std::optional<HttpRequest> request = parseRequestHead(head->left(std::max(0, end)).toStdString());
            QByteArray response;
            if (!request) {
                response = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            } else {
                const QByteArray body = statusPage().toUtf8();
                response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                           "Connection: close\r\nContent-Length: "
                           + QByteArray::number(body.size()) + "\r\n\r\n";
                if (request->method != "HEAD")
                    response += body;
                ++m_counters.pagesServed;
                onPageAsked();
            }
            socket->write(response);
            socket->disconnectFromHost();
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        });
    }
}

QString Feed::statusPage() const
{
    QString page = QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta http-equiv=\"refresh\" content=\"2\">"
        "<title>Live feed</title><style>body{font-family:sans-serif;font-size:13px;margin:8px}"
        "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:2px 6px;text-align:right}"
        "th{background:#eee}</style></head><body>");
    const double t = seconds();
    page += QStringLiteral("<h3>Live feed: stand-in main station and sounder runtime</h3>");
    if (!m_options.replayPath.isEmpty()) {
        page += QStringLiteral("<p>Replaying %1: %2 of %3 datagrams sent.</p>")
                    .arg(html(m_options.replayPath))
                    .arg(m_replayNext)
                    .arg(m_replay.size());
    } else if (m_survey) {
        page += QStringLiteral("<p>Survey <b>%1</b>, grid %2, UTM zone %3%4, %5 lines %6 m apart.</p>")
                    .arg(html(m_options.surveyName), html(gridFolder()))
                    .arg(m_options.survey.zone)
                    .arg(m_options.survey.south ? QLatin1Char('S') : QLatin1Char('N'))
                    .arg(m_survey->lines().size())
                    .arg(m_options.survey.lineSpacing);
        page += QStringLiteral("<table><tr><th>Vessel</th><th>East m</th><th>North m</th><th>Latitude</th>"
                               "<th>Longitude</th><th>Heading</th><th>Depth m</th></tr>");
        for (int v = 0; v < m_options.survey.vessels; ++v) {
            const VesselPose pose = m_survey->pose(v, m_moving ? t - m_surveyStart : 0);
            double lat = 0, lon = 0;
            m_projection->toGeographic(pose.east, pose.north, lat, lon);
            page += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td></tr>")
                        .arg(html(displayLabel(v)))
                        .arg(pose.east, 0, 'f', 1)
                        .arg(pose.north, 0, 'f', 1)
                        .arg(lat, 0, 'f', 6)
                        .arg(lon, 0, 'f', 6)
                        .arg(pose.heading, 0, 'f', 1)
                        .arg(m_survey->depthAt(pose.east, pose.north), 0, 'f', 1);
        }
        page += QStringLiteral("</table>");
        page += QStringLiteral("<p>%1 cells sounded, %2 tile writes.</p>").arg(m_grid->cellsFilled()).arg(m_grid->tilesWritten());
    }
    page += QStringLiteral("<p>Rates: %1 positions/s per vessel, %2 depth datagrams/s of %3 soundings. Running %4 s%5.</p>")
                .arg(m_options.positionRate)
                .arg(m_options.depthRate)
                .arg(m_options.soundings)
                .arg(t, 0, 'f', 0)
                .arg(m_moving || !m_options.replayPath.isEmpty() ? QString() : QStringLiteral(" (lead-in)"));
    page += QStringLiteral("<p>Sent: %1 positions, %2 depth datagrams (%3 geographic, %4 projected), %5 control "
                           "datagrams, %6 files to %7 station(s); %8 requests, %9 send errors.</p>")
                .arg(m_counters.positions)
                .arg(m_counters.depthDatagrams)
                .arg(m_counters.geographicDepths)
                .arg(m_counters.projectedDepths)
                .arg(m_counters.controlDatagrams)
                .arg(m_counters.framesSent)
                .arg(m_stations.size())
                .arg(m_counters.requests)
                .arg(m_counters.sendErrors);
    page += QStringLiteral("<p>Datagrams to %1: positions port %2, depths %3, control %4.</p></body></html>")
                .arg(html(m_options.host))
                .arg(port(Channel::Position))
                .arg(port(Channel::Depth))
                .arg(port(Channel::Control));
    return page;
}

} // namespace livefeed
