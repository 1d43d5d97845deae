// The feed as the display meets it on loopback: the opening sentences before the first position,
// positions and both depth forms, the remote-station link, the status page, requests, and a
// recorded run played back.
#include "feed.h"
#include "recording.h"

#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

using namespace livefeed;

namespace {

// Port adds 1300, 1350, 1420, 1450 and 1500 (each takes three ports, 5 apart); live_survey_test's
// program listens at 1400.
constexpr int kPortAdd = 1300;

struct Received {
    Channel channel;
    QByteArray bytes;
};

// The display's three sockets, as one ordered list of what arrived.
class DisplaySockets {
public:
    explicit DisplaySockets(int portAdd)
    {
        const Channel channels[] = {Channel::Position, Channel::Depth, Channel::Control};
        const int ports[] = {25125, 25130, 25135};
        for (int n = 0; n < 3; ++n) {
            auto socket = std::make_unique<QUdpSocket>();
            m_bound = socket->bind(QHostAddress::LocalHost, static_cast<quint16>(ports[n] + portAdd)) && m_bound;
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
            QUdpSocket* s = socket.get();
            const Channel channel = channels[n];
            QObject::connect(s, &QUdpSocket::readyRead, [this, s, channel] {
                while (s->hasPendingDatagrams())
                    received.push_back({channel, s->receiveDatagram(70000).data()});
            });
            m_sockets.push_back(std::move(socket));
        }
    }
    bool bound() const { return m_bound; }

    std::vector<Received> received;

    int indexOf(Channel channel, const QByteArray& start) const
    {
        for (std::size_t n = 0; n < received.size(); ++n)
            if (received[n].channel == channel && received[n].bytes.startsWith(start))
                return static_cast<int>(n);
        return -1;
    }
    int count(Channel channel) const
    {
        int n = 0;
        for (const Received& r : received)
            n += r.channel == channel ? 1 : 0;
        return n;
    }

private:
    std::vector<std::unique_ptr<QUdpSocket>> m_sockets;
    bool m_bound = true;
};

FeedOptions testOptions(const QString& root)
{
    FeedOptions o;
    o.portAdd = kPortAdd;
    o.positionRate = 20;
    o.depthRate = 10;
    o.soundings = 1199;
    o.leadIn = 0.3;
    o.tileInterval = 0.2;
    o.sendInterval = 0.5;
    o.httpPort = 25125 + kPortAdd + 20;
    o.tcpPort = 25125 + kPortAdd + 21;
    o.requestPort = 25125 + kPortAdd + 22;
    o.coveragePort = 25125 + kPortAdd + 23;
    o.gridRoot = root;
    o.survey.vessels = 2;
    return o;
}

std::uint16_t u16(const QByteArray& b, int at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8);
}

// Frames of the remote-station link: the file names in the order they came.
QStringList frameNames(QByteArray& stream)
{
    QStringList names;
    while (stream.size() >= 4) {
        const quint32 length = static_cast<quint8>(stream[0]) | static_cast<quint8>(stream[1]) << 8
                               | static_cast<quint8>(stream[2]) << 16 | static_cast<quint32>(static_cast<quint8>(stream[3])) << 24;
        if (static_cast<quint32>(stream.size()) < 4 + length)
            break;
        const QByteArray record = stream.mid(4, static_cast<int>(length));
        stream.remove(0, static_cast<int>(4 + length));
        // "MessageType" and its text head; names here are shorter than 24 bytes.
        const int key = record.indexOf("kMessageType");
        if (key >= 0) {
            const int size = static_cast<quint8>(record[key + 12]) - 0x60;
            names << QString::fromLatin1(record.mid(key + 13, size));
        }
    }
    return names;
}

} // namespace

TEST(FeedTest, PlaysTheSurveyToTheDisplaySockets)
{
    QTemporaryDir root;
    DisplaySockets display(kPortAdd);
    ASSERT_TRUE(display.bound());
    Feed feed(testOptions(root.path()));
    QString error;
    ASSERT_TRUE(feed.start(&error)) << error.toStdString();

    ASSERT_TRUE(corvtest::waitUntil([&] { return display.count(Channel::Depth) >= 6 && display.count(Channel::Position) >= 20; }, 20000));

    // The projection and the grid come before the first position.
    const int projection = display.indexOf(Channel::Control, "$PQQEL,CVN_PROJECTION,<QEL_Projection>\nEPSG:4326\n+proj=utm +zone=31");
    const int openGrid = display.indexOf(Channel::Control, "$PQQEL,CVN_OPEN_GRID," + (root.path() + QStringLiteral("/SIM/LiveFeed")).toUtf8());
    const int firstPosition = display.indexOf(Channel::Position, QByteArray("\x02Q", 2));
    ASSERT_GE(projection, 0);
    EXPECT_GT(openGrid, projection);
    EXPECT_GT(firstPosition, openGrid);
    const int lists = display.indexOf(Channel::Control, "$TVQEL,0,450,default:TQ2200_101,,TQ2200_101*");
    const int start = display.indexOf(Channel::Control, "$TVQEL,0,452,default:TQ2200_101,0*");
    EXPECT_GE(lists, 0);
    EXPECT_GT(start, lists);

    // Each vessel's positions count up without a gap; both vessels are there.
    std::map<QByteArray, std::uint16_t> next;
    for (const Received& r : display.received) {
        if (r.channel != Channel::Position)
            continue;
        const QByteArray source = r.bytes.mid(34, r.bytes.indexOf('\0', 34) - 34);
        const std::uint16_t count = u16(r.bytes, 12);
        if (next.count(source)) {
            EXPECT_EQ(count, next[source]) << source.toStdString();
        }
        next[source] = static_cast<std::uint16_t>(count + 1);
    }
    EXPECT_EQ(next.size(), 2u);
    EXPECT_TRUE(next.count("default") && next.count("SIM2")); // the first vessel is the display's own

    // Depths alternate between the two forms, each full.
    int geographic = 0, projected = 0;
    for (const Received& r : display.received) {
        if (r.channel != Channel::Depth)
            continue;
        if (r.bytes.startsWith("$TVQEL,30,")) {
            ++projected;
            EXPECT_TRUE(r.bytes.startsWith("$TVQEL,30,default,0,1,") || r.bytes.startsWith("$TVQEL,30,SIM2,0,1,"))
                << r.bytes.left(30).toStdString();
        } else {
            ++geographic;
            EXPECT_EQ(u16(r.bytes, 26), 1199);
            EXPECT_EQ(r.bytes.size(), 32 + 40 * 1199);
        }
    }
    EXPECT_GT(geographic, 0);
    EXPECT_GT(projected, 0);
    feed.stop();
}

// As the vessels run, each survey line a vessel runs gets a track file in the survey's "tracks"
// folder, in the layout the display reads: a 16-byte header (average heading and speed at 8 and
// 12) and per point north and east in centimetres at 8 and 12 of 16 bytes. A display on this
// machine gets the same files in its copy of the survey.
TEST(FeedTest, WritesAShipTrackPerVesselAndLineAsTheyRun)
{
    QTemporaryDir root;
    FeedOptions options = testOptions(root.path());
    options.survey.height = 60; // short lines: several within a second or two
    options.survey.speed = 40;
    options.survey.width = 240;
    Feed feed(options);
    QString error;
    ASSERT_TRUE(feed.start(&error)) << error.toStdString();
    const QDir tracks(root.path() + QStringLiteral("/SIM/LiveFeed/tracks"));
    ASSERT_TRUE(corvtest::waitUntil([&] {
        return tracks.entryList({QStringLiteral("LiveFeed_default_L*.shipstrack")}, QDir::Files).size() >= 2
               && !tracks.entryList({QStringLiteral("LiveFeed_SIM2_L*.shipstrack")}, QDir::Files).isEmpty();
    }, 20000)) << tracks.entryList().join(' ').toStdString();
    feed.stop();

    const Survey survey(options.survey);
    const auto i32 = [](const QByteArray& b, int at) { return qFromLittleEndian<qint32>(b.constData() + at); };
    for (const QString& name : tracks.entryList({QStringLiteral("*.shipstrack")}, QDir::Files)) {
        QFile file(tracks.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        ASSERT_GE(bytes.size(), 16 + 2 * 16) << name.toStdString();
        ASSERT_EQ(bytes.size() % 16, 0) << name.toStdString();
        // The lines run north-south at the line's east, up and down in turn.
        const int line = name.section(QLatin1Char('L'), -1).section(QLatin1Char('.'), 0, 0).toInt() - 1;
        ASSERT_GE(line, 0);
        ASSERT_LT(line, int(survey.lines().size()));
        EXPECT_EQ(i32(bytes, 8), line % 2 == 0 ? 0 : 180) << name.toStdString();
        EXPECT_EQ(i32(bytes, 12), 4000);
        for (int at = 16; at < bytes.size(); at += 16)
            EXPECT_NEAR(i32(bytes, at + 12) / 100.0, survey.lines()[std::size_t(line)].east0, 0.01) << name.toStdString();
        // The display's copy holds the same track.
        QFile copy(root.path() + QStringLiteral("/default/LiveFeed/tracks/") + name);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(copy.readAll(), bytes);
    }
}

// By default every vessel and the depth datagrams send at their own phase of the interval (two
// vessels at 20 Hz: 25 ms apart, depths 12 ms after the first vessel); a burst sends them together.
TEST(FeedTest, SpreadsTheSourcesOverTheIntervalUnlessAskedForABurst)
{
    struct Case {
        bool burst;
        double vesselGapLowMs, vesselGapHighMs, depthGapLowMs, depthGapHighMs;
    };
    const Case cases[] = {{false, 18, 32, 7, 20}, {true, 0, 3, 0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.burst ? "burst" : "spread");
        QTemporaryDir root;
        DisplaySockets display(kPortAdd + 200);
        FeedOptions options = testOptions(root.path());
        options.portAdd = kPortAdd + 200;
        options.httpPort = options.tcpPort = options.requestPort = options.coveragePort = 0;
        options.burst = c.burst;
        Feed feed(options);
        std::vector<qint64> firstVessel, otherVessel, depthSends;
        QObject::connect(&feed, &Feed::positionSent, [&](int vessel, quint16, double, double, qint64 ns) {
            (vessel == 0 ? firstVessel : otherVessel).push_back(ns);
        });
        QObject::connect(&feed, &Feed::depthSent, [&](int, quint16, double, double, qint64 ns) { depthSends.push_back(ns); });
        QString error;
        ASSERT_TRUE(feed.start(&error)) << error.toStdString();
        ASSERT_TRUE(corvtest::waitUntil([&] { return otherVessel.size() >= 20 && depthSends.size() >= 10; }, 20000));
        feed.stop();
        // Distance to the first vessel's nearest send, in ms.
        auto gaps = [&](const std::vector<qint64>& sends) {
            std::vector<double> out;
            for (qint64 ns : sends) {
                double nearest = 1e9;
                for (qint64 first : firstVessel)
                    nearest = std::min(nearest, std::fabs(static_cast<double>(ns - first)) / 1e6);
                out.push_back(nearest);
            }
            return out;
        };
        const std::vector<double> vesselGaps = gaps(otherVessel);
        const std::vector<double> depthGaps = gaps(depthSends);
        // Medians: a loaded machine delays single timers.
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        EXPECT_GE(median(vesselGaps), c.vesselGapLowMs);
        EXPECT_LE(median(vesselGaps), c.vesselGapHighMs);
        EXPECT_GE(median(depthGaps), c.depthGapLowMs);
        EXPECT_LE(median(depthGaps), c.depthGapHighMs);
        // Each vessel still sends at the full rate.
        EXPECT_NEAR(static_cast<double>(otherVessel.size()), static_cast<double>(firstVessel.size()), 2.0);
    }
}

TEST(FeedTest, ServesTheGridToAStationThePageAndTheRequests)
{
    QTemporaryDir root;
    DisplaySockets display(kPortAdd + 50);
    FeedOptions options = testOptions(root.path());
    options.portAdd = kPortAdd + 50;
    Feed feed(options);
    QString error;
    ASSERT_TRUE(feed.start(&error)) << error.toStdString();

    // A remote station: projection file and grid index at once, tiles once they are written.
    QTcpSocket station;
    station.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(options.tcpPort));
    QByteArray stream;
    QStringList names;
    QObject::connect(&station, &QTcpSocket::readyRead, [&] {
        stream += station.readAll();
        names += frameNames(stream);
    });
    ASSERT_TRUE(corvtest::waitUntil([&] { return names.size() >= 3; }, 20000)) << names.join(' ').toStdString();
    EXPECT_EQ(names.mid(0, 2), QStringList({QStringLiteral("qel_projv6.txt"), QStringLiteral("GridIndex.properties")}));
    EXPECT_TRUE(names.at(2).endsWith(QStringLiteral(".tiff"))) << names.at(2).toStdString();
    EXPECT_EQ(feed.stationsConnected(), 1);

    // The page the web dock loads.
    QTcpSocket browser;
    browser.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(options.httpPort));
    QByteArray page;
    QObject::connect(&browser, &QTcpSocket::readyRead, [&] { page += browser.readAll(); });
    ASSERT_TRUE(browser.waitForConnected(5000));
    browser.write("GET /pages/CorvaneDisplay.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(corvtest::waitUntil([&] { return browser.state() == QAbstractSocket::UnconnectedState || page.contains("</html>"); }));
    EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK")) << page.left(40).toStdString();
    EXPECT_TRUE(page.contains("SIM2:2200_102"));

    // A coverage request is answered on the display's control port.
    QUdpSocket requester;
    requester.writeDatagram(QByteArray("$TVQEL,261,TQ2200_101,RUNT_PARAM_PU_ANGLE_PORT_RX1,RUNT_PARAM_PU_ANGLE_STARB_RX1"),
                            QHostAddress::LocalHost, static_cast<quint16>(options.coveragePort));
    ASSERT_TRUE(corvtest::waitUntil([&] { return display.indexOf(Channel::Control, "$TVQEL,401,TQ2200_101,[{") >= 0; }));
    EXPECT_EQ(feed.counters().requests, 1u);
    feed.stop();
}

TEST(FeedTest, ARecordedRunPlaysBackTheSameDatagrams)
{
    QTemporaryDir root;
    const QString recording = root.filePath(QStringLiteral("run.feed"));
    std::vector<Received> original;
    {
        DisplaySockets display(kPortAdd + 120);
        FeedOptions options = testOptions(root.path());
        options.portAdd = kPortAdd + 120;
        options.recordPath = recording;
        options.duration = 1.0;
        options.soundings = 100; // small datagrams: none lost in the receive buffers
        options.httpPort = options.tcpPort = options.requestPort = options.coveragePort = 0;
        Feed feed(options);
        bool finished = false;
        QObject::connect(&feed, &Feed::finished, [&] { finished = true; });
        QString error;
        ASSERT_TRUE(feed.start(&error)) << error.toStdString();
        ASSERT_TRUE(corvtest::waitUntil([&] { return finished; }, 20000));
        corvtest::waitUntil([&] { return false; }, 200); // the last datagrams on their way
        original = display.received;
    }
    const RecordingContents contents = readRecording(QFile::encodeName(recording).toStdString());
    EXPECT_TRUE(contents.error.empty()) << contents.error;
    ASSERT_EQ(contents.datagrams.size(), original.size());

    DisplaySockets display(kPortAdd + 150);
    FeedOptions options;
    options.portAdd = kPortAdd + 150;
    options.replayPath = recording;
    options.httpPort = 0;
    Feed replay(options);
    bool finished = false;
    QObject::connect(&replay, &Feed::finished, [&] { finished = true; });
    QString error;
    ASSERT_TRUE(replay.start(&error)) << error.toStdString();
    ASSERT_TRUE(corvtest::waitUntil([&] { return finished && display.received.size() >= original.size(); }, 20000));
    ASSERT_EQ(display.received.size(), original.size());
    // Each socket gets the same datagrams in the same order; which of two sockets is read first
    // when both hold one is up to the event loop.
    for (const Channel channel : {Channel::Position, Channel::Depth, Channel::Control}) {
        std::vector<QByteArray> sent, replayed;
        for (const Received& datagram : original)
            if (datagram.channel == channel)
                sent.push_back(datagram.bytes);
        for (const Received& datagram : display.received)
            if (datagram.channel == channel)
                replayed.push_back(datagram.bytes);
        EXPECT_EQ(replayed, sent) << "channel " << static_cast<int>(channel);
    }
}

TEST(FeedTest, DamagedRecordingsAreRefusedWithTheirPlace)
{
    const std::string head = std::string("CORVFEED") + std::string("\x01\0\0\0", 4);
    auto record = [](std::uint32_t time, std::uint8_t channel, const std::string& bytes, std::uint32_t length) {
        std::string r;
        for (int n = 0; n < 4; ++n)
            r += static_cast<char>(time >> (8 * n));
        r += static_cast<char>(channel);
        for (int n = 0; n < 4; ++n)
            r += static_cast<char>(length >> (8 * n));
        return r + bytes;
    };
    const std::string good = record(5, 0, "ab", 2);
    struct Case {
        std::string input;
        std::size_t datagrams;
        std::string error; // beginning of the error text; empty: none
    } cases[] = {
        {head + good + record(9, 2, "xyz", 3), 2, ""},
        {"CORVFEEX" + head.substr(8), 0, "not a recording"},
        {std::string("CORVFEED\x02\0\0\0", 12), 0, "recording version 2"},
        {head + good + good.substr(0, 5), 1, "truncated record head"},
        {head + record(1, 3, "a", 1), 0, "unknown channel 3"},
        {head + record(1, 1, "", 70000), 0, "datagram of 70000 bytes"},
        {head + record(1, 1, "abc", 4), 0, "truncated datagram"},
        {head + record(9, 1, "a", 1) + record(8, 1, "b", 1), 1, "time goes back"},
    };
    for (const Case& c : cases) {
        const RecordingContents contents = parseRecording(reinterpret_cast<const std::uint8_t*>(c.input.data()), c.input.size());
        EXPECT_EQ(contents.datagrams.size(), c.datagrams) << c.error;
        if (c.error.empty())
            EXPECT_TRUE(contents.error.empty()) << contents.error;
        else
            EXPECT_EQ(contents.error.rfind(c.error, 0), 0u) << contents.error;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.feed"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("nothing of the kind");
    file.close();
    FeedOptions options;
    options.replayPath = path;
    options.httpPort = 0;
    Feed feed(options);
    QString error;
    EXPECT_FALSE(feed.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("not a recording"))) << error.toStdString();
}

TEST(FeedTest, RuntimeRequestsAndPageRequestsAreReadSafely)
{
    const SounderIdentity identity;
    struct Case {
        std::string request;
        std::optional<std::string> replyStart;
    } cases[] = {
        {"$TVQEL,261,TQ2200_101,RUNT_PARAM_PU_ANGLE_PORT_RX1,RUNT_PARAM_PU_ANGLE_STARB_RX1", "$TVQEL,401,TQ2200_101,[{"},
        {"$TVQEL,261,,X", "$TVQEL,401,TQ2200_101,[{"},
        {"$TVQEL,450,default,452,TQ2200_101\n\r", "$TVQEL,0,452,default:TQ2200_101,0*"},
        {"$TVQEL,450,default,465,TQ2200_101,1\n\r", std::nullopt},
        {"$TVQEL,262,TQ2200_101,RUNT_PARAM_PU_ANGLE_PORT_RX1=60", std::nullopt},
        {"$PQQEL,CVN_CLOSE_GRID", std::nullopt},
        {"", std::nullopt},
        {"$TVQEL,", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> reply = runtimeReply(c.request, identity);
        ASSERT_EQ(reply.has_value(), c.replyStart.has_value()) << c.request;
        if (reply) {
            EXPECT_EQ(reply->rfind(*c.replyStart, 0), 0u) << *reply;
        }
    }
    struct Page {
        std::string head;
        bool ok;
    } pages[] = {
        {"GET /pages/CorvaneDisplay.html HTTP/1.1\r\nHost: x", true},
        {"HEAD / HTTP/1.0", true},
        {"POST / HTTP/1.1", false},
        {"GET pages HTTP/1.1", false},
        {"GET /", false},
        {"", false},
    };
    for (const Page& p : pages)
        EXPECT_EQ(parseRequestHead(p.head).has_value(), p.ok) << p.head;
}
