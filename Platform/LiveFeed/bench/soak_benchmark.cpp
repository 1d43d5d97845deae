// Soak and latency of the live path (not part of the tests): the feed plays five vessels at
// 20 Hz and 20 depth datagrams a second of 1,199 soundings to the program, which drives the
// viewer-server stand-in. Run under a display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" build-bench/bin/live_feed_soak_benchmark
// LIVE_SOAK_SECONDS sets the length (default 600); LIVE_SOAK_BURST=1 sends every interval's
// positions and depth datagram together (a stress run) instead of each source at its own phase.
// The feed runs on a thread of its own, which sleeps between its datagrams as separate senders
// would; this thread reads the stand-in's log. Counters: latency percentiles from a position
// datagram leaving the feed to the server reading the vessel's move, and from a depth datagram to
// the server reading its soundings (the "logged" ones end when the stand-in has logged it);
// datagrams without a match; the program's memory after the first minute and at the end.
#include "feed.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <vector>

using namespace livefeed;

namespace {

struct Pending {
    double east, north;
    qint64 sentNs;
    bool matched = false;
};

struct Latency {
    double readUs, loggedUs;
};

// Records of the stand-in's log as they are appended.
class LogTail {
public:
    explicit LogTail(QString path) : m_file(std::move(path)) {}
    template <class F>
    void poll(F&& onRecord)
    {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
            return;
        m_buffer += m_file.readAll();
        int start = 0;
        for (int end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n', start)) {
            const QByteArray line = m_buffer.mid(start, end - start);
            start = end + 1;
            if (line.contains("PositionUpdateMessage") || line.contains("AddToPointBufferMessage"))
                onRecord(QJsonDocument::fromJson(line).object());
        }
        m_buffer.remove(0, start);
    }

private:
    QFile m_file;
    QByteArray m_buffer;
};

QJsonArray levelOf(const QJsonObject& record, int index)
{
    return record.value(QStringLiteral("body")).toObject().value(QStringLiteral("levels")).toArray().at(index).toArray();
}

QJsonValue valueOf(const QJsonArray& level, int id)
{
    for (const QJsonValue& f : level)
        if (f.toObject().value(QStringLiteral("id")).toInt() == id)
            return f.toObject().value(QStringLiteral("v"));
    return QJsonValue();
}

// A vessel move or sounding the stand-in read, waiting for its datagram's send to be counted
// (the feed's thread reports its sends through this thread's event queue).
struct Seen {
    double x, y, readUs, loggedUs;
};

// Marks the first unmatched datagram within 5 cm as read and keeps its latencies.
bool match(std::deque<Pending>& pending, const Seen& seen, std::vector<Latency>& out)
{
    for (Pending& p : pending) {
        if (!p.matched && std::fabs(p.east - seen.x) < 0.05 && std::fabs(p.north - seen.y) < 0.05) {
            p.matched = true;
            out.push_back({seen.readUs - p.sentNs / 1000.0, seen.loggedUs - p.sentNs / 1000.0});
            return true;
        }
    }
    return false;
}

// Matches what was seen; what has no datagram yet waits, at most 2 s after it was read.
void matchAll(std::deque<Pending>& pending, std::vector<Seen>& seen, std::vector<Latency>& out, double nowUs)
{
    seen.erase(std::remove_if(seen.begin(), seen.end(),
                              [&](const Seen& s) { return match(pending, s, out) || nowUs - s.readUs > 2e6; }),
               seen.end());
}

double percentile(const std::vector<Latency>& latencies, double Latency::*which, double q)
{
    std::vector<double> values;
    values.reserve(latencies.size());
    for (const Latency& l : latencies)
        values.push_back(l.*which);
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(q * static_cast<double>(values.size())))];
}

double rssMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

void BM_LiveSoak(benchmark::State& state)
{
    const double seconds = qEnvironmentVariableIsSet("LIVE_SOAK_SECONDS") ? qEnvironmentVariable("LIVE_SOAK_SECONDS").toDouble() : 600;
    const QString bin = qEnvironmentVariableIsSet("CORV_BIN_DIR") ? qEnvironmentVariable("CORV_BIN_DIR")
                                                                   : QCoreApplication::applicationDirPath();
    for (auto _ : state) {
        QTemporaryDir scratch;
        const QString root = scratch.filePath(QStringLiteral("root"));
        const QString data = root + QStringLiteral("/c/ProgramData/Tavrin Nautic/tqel");
        QDir().mkpath(data + QStringLiteral("/proj4"));
        QDir().mkpath(scratch.filePath(QStringLiteral("work")));
        QDir().mkpath(scratch.filePath(QStringLiteral("pipes")));
        QFile::link(QStringLiteral("/usr/share/proj/proj.db"), data + QStringLiteral("/proj4/proj.db"));
        {
            QSettings gui(data + QStringLiteral("/gui.ini"), QSettings::IniFormat);
            gui.setValue(QStringLiteral("RUNTIME/CorvNoMCAST"), true);
            gui.setValue(QStringLiteral("RUNTIME/CorvPortAdd"), 1480);
        }
        qputenv("CORV_WINROOT", root.toUtf8());
        const QString log = scratch.filePath(QStringLiteral("standin.log"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DREMM_PIPE_DIR"), scratch.filePath(QStringLiteral("pipes")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("ORLEXDIR"), bin);
        env.insert(QStringLiteral("ORLEX_STANDIN_LOG"), log);
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(scratch.filePath(QStringLiteral("work")));
        program.start(bin + QStringLiteral("/Corv"), {QStringLiteral("-logfile"), scratch.filePath(QStringLiteral("corv.log"))});
        if (!program.waitForStarted(10000)) {
            state.SkipWithError("the program did not start");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        LogTail tail(log);
        bool live = false;
        while (!live && clock.elapsed() < 120000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QFile f(log);
            live = f.open(QIODevice::ReadOnly) && f.readAll().contains("SetCameraDataMessage");
            QThread::msleep(200);
        }
        if (!live) {
            state.SkipWithError("the program did not reach its live view");
            return;
        }

        FeedOptions options;
        options.portAdd = 1480;
        options.positionRate = 20;
        options.depthRate = 20;
        options.soundings = 1199;
        options.depthForm = DepthForm::Geographic;
        options.survey.vessels = 5;
        options.leadIn = 3;
        // The fixed ports stay free for tests that run meanwhile; the program's link retries.
        options.httpPort = options.tcpPort = options.requestPort = options.coveragePort = 0;
        options.burst = qEnvironmentVariableIntValue("LIVE_SOAK_BURST") != 0;
        QThread feedThread;
        feedThread.start();
        auto* feed = new Feed(options);
        feed->moveToThread(&feedThread);
        QObject reader; // the sends are counted on this thread
        std::deque<Pending> positions, depths;
        std::uint64_t positionsSent = 0, depthsSent = 0, positionsLost = 0, depthsLost = 0;
        std::vector<Latency> positionLatency, depthLatency;
        std::vector<Seen> positionsSeen, depthsSeen;
        QObject::connect(feed, &Feed::positionSent, &reader, [&](int, quint16, double east, double north, qint64 ns) {
            positions.push_back({east, north, ns});
            ++positionsSent;
        });
        QObject::connect(feed, &Feed::depthSent, &reader, [&](int, quint16, double east, double north, qint64 ns) {
            depths.push_back({east, north, ns});
            ++depthsSent;
        });
        auto endFeed = [&] {
            QMetaObject::invokeMethod(feed, [feed] { delete feed; }, Qt::BlockingQueuedConnection);
            feedThread.quit();
            feedThread.wait();
        };
        QString error;
        bool started = false;
        QMetaObject::invokeMethod(feed, [&] { started = feed->start(&error); }, Qt::BlockingQueuedConnection);
        if (!started) {
            endFeed();
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        // What was not read within 2 s counts as lost.
        auto expire = [](std::deque<Pending>& pending, std::uint64_t& lost, qint64 nowNs) {
            while (!pending.empty() && nowNs - pending.front().sentNs > 2'000'000'000) {
                lost += pending.front().matched ? 0 : 1;
                pending.pop_front();
            }
        };
        double rssMinute = -1, rssEnd = -1, rssPeak = 0;
        QElapsedTimer run;
        run.start();
        qint64 lastSample = 0;
        while (run.elapsed() < static_cast<qint64>((options.leadIn + seconds) * 1000)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            tail.poll([&](const QJsonObject& record) {
                if (record.value(QStringLiteral("dir")).toString() != QLatin1String("in"))
                    return;
                const double loggedUs = record.value(QStringLiteral("monoUs")).toDouble();
                const double readUs = record.value(QStringLiteral("readUs")).toDouble(loggedUs);
                const QString type = record.value(QStringLiteral("type")).toString();
                if (type.endsWith(QLatin1String(".PositionUpdateMessage"))) {
                    const QJsonArray values = valueOf(levelOf(record, 2), 0).toArray();
                    for (const QJsonValue& v : values) {
                        const QJsonArray xyz = v.toObject().value(QStringLiteral("levels")).toArray().at(0).toArray();
                        positionsSeen.push_back({valueOf(xyz, 0).toDouble(), valueOf(xyz, 1).toDouble(), readUs, loggedUs});
                    }
                } else {
                    const QJsonArray values = valueOf(levelOf(record, 2), 0).toArray();
                    if (values.size() >= 3)
                        depthsSeen.push_back({values.at(0).toDouble(), values.at(1).toDouble(), readUs, loggedUs});
                }
            });
            const qint64 nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch()).count();
            QCoreApplication::processEvents(); // sends counted after the log was read
            matchAll(positions, positionsSeen, positionLatency, nowNs / 1000.0);
            matchAll(depths, depthsSeen, depthLatency, nowNs / 1000.0);
            expire(positions, positionsLost, nowNs);
            expire(depths, depthsLost, nowNs);
            if (run.elapsed() - lastSample >= 5000) {
                lastSample = run.elapsed();
                const double rss = rssMb(program.processId());
                rssPeak = std::max(rssPeak, rss);
                if (rssMinute < 0 && run.elapsed() >= static_cast<qint64>((options.leadIn + 60) * 1000))
                    rssMinute = rss;
                rssEnd = rss;
            }
            QThread::usleep(500);
        }
        endFeed();
        for (const Pending& p : positions)
            positionsLost += p.matched ? 0 : 1;
        for (const Pending& p : depths)
            depthsLost += p.matched ? 0 : 1;
        state.SetIterationTime(run.elapsed() / 1000.0);
        state.counters["positions_sent"] = static_cast<double>(positionsSent);
        state.counters["positions_unread"] = static_cast<double>(positionsLost);
        state.counters["position_p50_us"] = percentile(positionLatency, &Latency::readUs, 0.50);
        state.counters["position_p99_us"] = percentile(positionLatency, &Latency::readUs, 0.99);
        state.counters["position_logged_p99_us"] = percentile(positionLatency, &Latency::loggedUs, 0.99);
        state.counters["depths_sent"] = static_cast<double>(depthsSent);
        state.counters["depths_unread"] = static_cast<double>(depthsLost);
        state.counters["depth_p50_us"] = percentile(depthLatency, &Latency::readUs, 0.50);
        state.counters["depth_p99_us"] = percentile(depthLatency, &Latency::readUs, 0.99);
        state.counters["depth_logged_p99_us"] = percentile(depthLatency, &Latency::loggedUs, 0.99);
        state.counters["rss_after_1min_MB"] = rssMinute;
        state.counters["rss_end_MB"] = rssEnd;
        state.counters["rss_peak_MB"] = rssPeak;
        program.terminate();
        if (!program.waitForFinished(20000))
            program.kill();
        program.waitForFinished(5000);
    }
}

BENCHMARK(BM_LiveSoak)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
