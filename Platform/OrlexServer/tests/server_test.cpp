// Drives the stand-in server process as the client would, with hand-written bytes on the pipes.
#include "client_bytes.h"

#include "orlex_standin/control.h"
#include "platform/pipes.h"
#include "platform/socket_io.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include "platform/paths.h"

using namespace std::chrono_literals;
using clientbytes::Bytes;
using clientbytes::message;
using orlex_standin::StandinControl;
using orlex_standin::StandinProcess;

namespace {

constexpr double kDefaultFov = 0.785398;

// The navigation answer as the protocol's rules spell it, for viewer 0 with an identity orientation.
QByteArray navigationAnswer(double x, double y, double z, double tx, double ty, double focal, double height)
{
    auto position = [](Bytes& b, double px, double py, double pz) {
        if (px != 0)
            b.hex("08").f64(px);
        if (py != 0)
            b.hex("28").f64(py);
        if (pz != 0)
            b.hex("48").f64(pz);
        b.hex("00");
    };
    Bytes body;
    body.hex("01 01");                         // Message, ViewerMessage (viewer 0, confirmation 1)
    body.hex("2A 0A");                         // CameraState { Position
    position(body, x, y, z);
    body.hex("2A 00");                         //   Orientation (identity)
    body.hex("48").f64(focal).hex("68").f64(height).hex("88").f64(kDefaultFov).hex("00");
    body.hex("4A 2B 0A 01");                   // CameraData { TargetPosition
    position(body, tx, ty, 0);
    body.hex("6B 0A 01");                      //   CameraPosition
    position(body, x, y, z);
    body.hex("8B 0A 01 00");                   //   Orientation
    body.hex("AB 08 01").f64(focal).hex("CB 06 08 01").f64(height).hex("CB 07 08 01").f64(kDefaultFov);
    body.hex("00 00");
    return message("QueryNavigationStateResponseMessage", body);
}

// The Message and ViewerMessage parts of a body for a viewer (Confirmation 1 is left out).
Bytes viewerBases(int viewerId)
{
    Bytes bases;
    bases.hex("01");
    if (viewerId)
        bases.hex("10").raw(QByteArray(1, static_cast<char>(viewerId * 2)));
    return bases.hex("01");
}

QByteArray createViewer(int viewerId)
{
    return message("CreateViewerMessage", viewerBases(viewerId).hex("4D 09 09 01").text("NotifyMouseMove").text("false").hex("00"));
}

QByteArray viewerCreated(int viewerId)
{
    return message("ViewerCreatedMessage", viewerBases(viewerId).hex("00"));
}

const QByteArray kQueryNavigation = message("QueryNavigationStateMessage", Bytes().hex("01 01 00"));

class StandinServerTest : public ::testing::Test {
protected:
    QString pipeName;
    std::unique_ptr<StandinProcess> server;
    StandinControl control;
    platform::UniqueFd toServer;
    platform::UniqueFd fromServer;
    QByteArray pending;

    void SetUp() override
    {
        pipeName = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void startServer(int connectTimeoutMs = 20000)
    {
        StandinProcess::Options options;
        options.pipeName = pipeName;
        options.connectTimeoutMs = connectTimeoutMs;
        server = std::make_unique<StandinProcess>(options);
        ASSERT_TRUE(server->start()) << server->errorOutput().toStdString();
        ASSERT_TRUE(control.connectTo(server->controlPath()));
    }

    void connectClient()
    {
        toServer = platform::connectPipe(QStringLiteral("\\\\.\\pipe\\") + pipeName);
        fromServer = platform::connectPipe(pipeName + QStringLiteral("Out"));
        ASSERT_TRUE(toServer.valid());
        ASSERT_TRUE(fromServer.valid());
    }

    void startConnected()
    {
        ASSERT_NO_FATAL_FAILURE(startServer());
        ASSERT_NO_FATAL_FAILURE(connectClient());
        write(clientbytes::versionMessage());
    }

    void write(const QByteArray& bytes)
    {
        ASSERT_EQ(platform::writeAll(toServer.get(), bytes.constData(), bytes.size(), 5000ms).status, platform::IoStatus::Ok);
    }

    QByteArray read(int count, std::chrono::milliseconds limit = 10000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (pending.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || platform::readAvailable(fromServer.get(), pending, left).status != platform::IoStatus::Ok)
                break;
        }
        const QByteArray got = pending.left(count);
        pending.remove(0, got.size());
        return got;
    }

    void expectReply(const QByteArray& expected)
    {
        EXPECT_EQ(read(expected.size()).toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    }

    bool socketsGone() const
    {
        for (const QString& path : {platform::pipePath(pipeName), platform::pipePath(pipeName + QStringLiteral("Out")), server->controlPath()})
            if (QFileInfo::exists(path))
                return false;
        return true;
    }

    QString lastLogText()
    {
        const QList<QJsonObject> log = orlex_standin::readLog(server->logPath());
        return log.isEmpty() ? QString() : log.last().value(QStringLiteral("text")).toString();
    }
};

TEST_F(StandinServerTest, VersionFirstThenViewersAreCreatedAndConfirmed)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    write(createViewer(0));
    expectReply(viewerCreated(0));
    write(createViewer(2));
    expectReply(viewerCreated(2));

    const QJsonArray in = control.entries(QStringLiteral("in"));
    ASSERT_EQ(in.size(), 3);
    EXPECT_EQ(in.at(0).toObject().value("type").toString(), orlex_standin::coreType("OrlexVersionMessage"));
    EXPECT_EQ(in.at(0).toObject().value("length").toInt(), 43);
    EXPECT_EQ(in.at(1).toObject().value("offset").toInt(), 43);
    EXPECT_TRUE(control.entries(QStringLiteral("violation")).isEmpty());
    EXPECT_EQ(control.entries(QStringLiteral("out"), orlex_standin::coreType("ViewerCreatedMessage")).size(), 2);

    const QJsonArray viewers = control.state().value("viewers").toArray();
    ASSERT_EQ(viewers.size(), 2);
    EXPECT_EQ(viewers.at(1).toObject().value("id").toInt(), 2);
    EXPECT_EQ(viewers.at(0).toObject().value("configuration").toObject().value("NotifyMouseMove").toString(), QStringLiteral("false"));

    // The log file holds the same records, the decoded field tree included.
    const QList<QJsonObject> log = orlex_standin::readLog(server->logPath());
    ASSERT_FALSE(log.isEmpty());
    bool foundMap = false;
    for (const QJsonObject& record : log) {
        if (record.value("type").toString() != orlex_standin::coreType("CreateViewerMessage"))
            continue;
        const QJsonObject map = record.value("body").toObject().value("levels").toArray().at(2).toArray().at(0).toObject();
        foundMap = map.value("t").toString() == QStringLiteral("map") && map.value("id").toInt() == 2
                   && map.value("v").toArray().at(0).toArray().at(0).toString() == QStringLiteral("NotifyMouseMove");
        break;
    }
    EXPECT_TRUE(foundMap);
}

TEST_F(StandinServerTest, NavigationQueryIsAnsweredFromTheCameraTheClientSet)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    write(createViewer(0));
    expectReply(viewerCreated(0));
    write(kQueryNavigation);
    expectReply(navigationAnswer(0, 0, 1000, 0, 0, 1000, 1000));

    Bytes camera;
    camera.hex("01 01 01 0A");                                        // bases; CameraData {
    camera.hex("2B 0A 01 08").f64(100).hex("28").f64(200).hex("00");  //   TargetPosition
    camera.hex("6B 0A 01 08").f64(100).hex("28").f64(200).hex("48").f64(1500).hex("00"); // CameraPosition
    camera.hex("CB 06 08 01").f64(500);                               //   ViewportHeight
    camera.hex("00 00");
    write(message("SetCameraDataMessage", camera));
    write(kQueryNavigation);
    expectReply(navigationAnswer(100, 200, 1500, 100, 200, 1500, 500));
    EXPECT_TRUE(control.entries(QStringLiteral("violation")).isEmpty());

    // Each camera the viewer takes is recorded once, so that a run can be followed in the log.
    const QString first = QStringLiteral("viewer 0: camera centre 0.0 / 0.0, 1000.0 m high");
    const QString second = QStringLiteral("viewer 0: camera centre 100.0 / 200.0, 500.0 m high");
    std::vector<QString> records;
    for (const QJsonValue& entry : control.entries(QStringLiteral("event")))
        if (entry.toObject().value(QStringLiteral("text")).toString().contains(QStringLiteral("camera centre")))
            records.push_back(entry.toObject().value(QStringLiteral("text")).toString());
    EXPECT_EQ(records, (std::vector<QString>{first, second}));
}

TEST_F(StandinServerTest, ProtocolViolationsAreLoggedAndTheStreamGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(startServer());
    ASSERT_NO_FATAL_FAILURE(connectClient());
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"first message", message("ResizeViewerMessage", Bytes().hex("01 01 00")), "first message is not OrlexVersionMessage"},
        {"descending ids", message("ResizeViewerMessage", Bytes().hex("01 01 50 04 30 02 00")), "field id 1 after 2"},
        {"server-only type", message("ViewerCreatedMessage", Bytes().hex("01 01 00")), "never sends"},
        {"missing base part", message("SetCursorMessage", Bytes().hex("01 00")), "1 base parts where the type has 2"},
        {"trailing byte", message("ResizeViewerMessage", Bytes().hex("01 01 00 00")), "1 bytes outside any message"},
        {"body cut short", message("DestroyObjectMessage", Bytes().hex("01 06 05")), "cut short"},
    };
    qint64 from = 0;
    for (const Case& c : cases) {
        write(c.bytes + clientbytes::versionMessage());
        const auto found = control.waitFor(QStringLiteral("violation"), QString(), from, 10000, QLatin1String(c.expected));
        ASSERT_TRUE(found) << c.name;
        from = static_cast<qint64>(found->value("seq").toDouble()) + 1;
    }
    // After all that the stream is still in step.
    write(createViewer(0));
    expectReply(viewerCreated(0));
}

TEST_F(StandinServerTest, LargeMessageArrivingInPiecesIsHandledOnceWhole)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    Bytes body;
    body.hex("01 06 2C 01 0B 08 A0 8D 06"); // bases (object 22); 100,000 doubles
    for (int n = 0; n < 100000; ++n)
        body.f64(0.5 * n);
    body.hex("00");
    const QByteArray points = message("Extensions.Quennet.AddToPointBufferMessage", body);
    // In pieces of 4 KiB, the last one followed by the next message.
    const QByteArray stream = points + createViewer(0);
    double lastWriteUs = 0;
    for (int at = 0; at < stream.size(); at += 4096) {
        lastWriteUs = static_cast<double>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
        write(stream.mid(at, 4096));
    }
    expectReply(viewerCreated(0));

    const QJsonArray in = control.entries(QStringLiteral("in"), QStringLiteral("Tavrin.Dremm.Orlex.Extensions.Quennet.AddToPointBufferMessage"));
    ASSERT_EQ(in.size(), 1);
    const QJsonObject entry = in.at(0).toObject();
    EXPECT_EQ(entry.value("length").toDouble(), points.size());
    const QJsonObject list = entry.value("body").toObject().value("levels").toArray().at(2).toArray().at(0).toObject();
    EXPECT_EQ(list.value("n").toDouble(), 100000);
    EXPECT_EQ(list.value("v").toArray().at(999).toDouble(), 499.5);
    // Read when its last piece was read, not when the first one was, and before it was logged.
    EXPECT_GE(entry.value("readUs").toDouble(), lastWriteUs);
    EXPECT_LE(entry.value("readUs").toDouble(), entry.value("monoUs").toDouble());
    EXPECT_TRUE(control.entries(QStringLiteral("violation")).isEmpty());
}

TEST_F(StandinServerTest, ClosedClientEndsTheServerWhichRemovesItsSockets)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    write(message("DestroyObjectMessage", Bytes().hex("01 06")));
    toServer.reset();
    fromServer.reset();
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(socketsGone());
    bool truncated = false;
    for (const QJsonObject& record : orlex_standin::readLog(server->logPath()))
        truncated |= record.value("dir").toString() == QStringLiteral("violation")
                     && record.value("text").toString().contains(QStringLiteral("stream ended inside a message"))
                     && record.value("type").toString() == orlex_standin::coreType("DestroyObjectMessage");
    EXPECT_TRUE(truncated);
    EXPECT_TRUE(lastLogText().startsWith(QStringLiteral("exit 0")));
}

TEST_F(StandinServerTest, NoClientWithinTheTimeOutEndsTheServer)
{
    ASSERT_NO_FATAL_FAILURE(startServer(200));
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(server->exitCode(), 3);
    EXPECT_TRUE(socketsGone());
    EXPECT_TRUE(lastLogText().contains(QStringLiteral("no client within 200 ms")));
}

TEST_F(StandinServerTest, SigtermEndsTheServerWhichRemovesItsSockets)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    server->terminate();
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(socketsGone());
    QByteArray rest;
    EXPECT_EQ(platform::readAvailable(fromServer.get(), rest, 5000ms).status, platform::IoStatus::Closed);
}

TEST_F(StandinServerTest, TerminateIsAnsweredWithTerminated)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    write(message("TerminateMessage", Bytes().hex("01 00")));
    expectReply(message("TerminatedMessage", Bytes().hex("01 00")));
    write(message("TerminatedMessage", Bytes().hex("01 00")));
    ASSERT_TRUE(control.waitFor(QStringLiteral("in"), orlex_standin::coreType("TerminatedMessage")));
    toServer.reset();
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(server->exitCode(), 0);
}

TEST_F(StandinServerTest, ScriptedMessagesAndRawBytesReachTheClient)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    using orlex_standin::body;
    const QJsonObject moved = body(QJsonArray{QJsonArray{}, QJsonArray{}, QJsonArray{orlex_standin::listField(0, "uint64", QJsonArray{5})}});
    ASSERT_TRUE(control.send(orlex_standin::coreType("MouseMovedMessage"), moved));
    expectReply(message("MouseMovedMessage", Bytes().hex("01 01 0B 06 01 05 00")));
    ASSERT_TRUE(control.sendRaw(QByteArray::fromHex("0102ff")));
    expectReply(QByteArray::fromHex("0102ff"));
    const auto logged = control.waitFor(QStringLiteral("out"), orlex_standin::coreType("MouseMovedMessage"));
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->value("length").toInt(), 46);

    // A script the server cannot encode is refused, and nothing is sent.
    const auto refused = control.request({{"cmd", "send"}, {"type", "x"}, {"body", QJsonObject{{"levels", 1}}}});
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->value("ok").toBool());
    EXPECT_FALSE(refused->value("error").toString().isEmpty());
}

TEST_F(StandinServerTest, RulesSuppressAndDelayReplies)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    ASSERT_TRUE(control.suppressReply(orlex_standin::coreType("ViewerCreatedMessage")));
    write(createViewer(0) + kQueryNavigation);
    expectReply(navigationAnswer(0, 0, 1000, 0, 0, 1000, 1000)); // the confirmation never came
    EXPECT_TRUE(control.waitFor(QStringLiteral("event"), QString(), 0, 5000, QStringLiteral("suppressed by a rule")));

    ASSERT_TRUE(control.clearRules());
    ASSERT_TRUE(control.delayReply(orlex_standin::coreType("ViewerCreatedMessage"), 300));
    write(createViewer(1) + kQueryNavigation);
    expectReply(navigationAnswer(0, 0, 1000, 0, 0, 1000, 1000));
    expectReply(viewerCreated(1));
}

TEST_F(StandinServerTest, StoppedReadingMakesTheClientsWriteTimeOut)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    ASSERT_TRUE(control.waitFor(QStringLiteral("in"), orlex_standin::coreType("OrlexVersionMessage")));
    ASSERT_TRUE(control.stopReading());
    const QByteArray block(16 * 1024 * 1024, '\0');
    const platform::IoResult result = platform::writeAll(toServer.get(), block.constData(), block.size(), 300ms);
    EXPECT_EQ(result.status, platform::IoStatus::TimedOut);
    ASSERT_TRUE(control.resumeReading());
    EXPECT_TRUE(control.waitFor(QStringLiteral("violation"), QString(), 0, 10000, QStringLiteral("no message header")));

    // A client that leaves while nothing is read still ends the server.
    ASSERT_TRUE(control.stopReading());
    toServer.reset();
    fromServer.reset();
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(socketsGone());
}

TEST_F(StandinServerTest, PipesClosedByTheControlShowAsEndAndAsFailedWrite)
{
    ASSERT_NO_FATAL_FAILURE(startConnected());
    ASSERT_TRUE(control.closePipe(QStringLiteral("out")));
    QByteArray rest;
    EXPECT_EQ(platform::readAvailable(fromServer.get(), rest, 5000ms).status, platform::IoStatus::Closed);
    ASSERT_TRUE(control.closePipe(QStringLiteral("in")));
    ASSERT_TRUE(server->waitForExit());
    EXPECT_EQ(platform::writeAll(toServer.get(), "x", 1, 1000ms).status, platform::IoStatus::Closed);
    EXPECT_TRUE(socketsGone());
}

TEST_F(StandinServerTest, GridEngineTerrainGetsItsSurveyReports)
{
    const QString surveyFolder = platform::winRoot() + QStringLiteral("/c/qeldata/grids/V/S1");
    QDir().mkpath(surveyFolder + QStringLiteral("/Terrain"));
    QFile file(surveyFolder + QStringLiteral("/standin_survey.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"minX": 1000, "maxX": 1100, "minY": 2000, "maxY": 2040, "zMin": -12.5, "zMax": 3})");
    file.close();

    ASSERT_NO_FATAL_FAILURE(startConnected());
    write(message("LoadExtensionMessage", Bytes().hex("01 09").text("Quennet").hex("00")));
    expectReply(message("ExtensionLoadedMessage", Bytes().hex("01 02 01 29").text("Quennet").hex("00")));

    Bytes terrain;
    terrain.hex("01 06 28 8A 00 AA 00 CA 06 00 CA 0A AA 2A 00 00 00 CA 0B 00 01"); // CreateObjectMessage, Id 40
    terrain.hex("09").text("C:/qeldata/grids/V/S1/Terrain");
    terrain.hex("6A 0A 00 2A 00 8A 00 00 00");                                     // ColorMap
    write(message("Extensions.Quennet.CreateGridEngineTerrainMessage", terrain));

    expectReply(message("Extensions.Quennet.SurveyStaticMetaInfoMessage",
                        Bytes().hex("01 06 28 28").f64(1050).hex("48").f64(2020)
                            .hex("AB 09 01").text("Depth").hex("CB 06 09 01").text("Height").hex("00")));
    expectReply(message("Extensions.Quennet.SurveyExtentUpdatedMessage",
                        Bytes().hex("01 06 28 28").f64(1000).hex("48").f64(2000).hex("68").f64(1100).hex("88").f64(2040).hex("00")));
    expectReply(message("Extensions.Quennet.SurveyZRangeUpdatedMessage",
                        Bytes().hex("01 06 28 2A 07").f32(-12.5f).hex("27").f32(3.0f).hex("00 00")));
    EXPECT_TRUE(control.entries(QStringLiteral("violation")).isEmpty());
    const QJsonArray objects = control.state().value("objects").toArray();
    ASSERT_EQ(objects.size(), 1);
    EXPECT_EQ(objects.at(0).toObject().value("kind").toString(), QStringLiteral("GridEngineTerrain"));
}

} // namespace
