// A remote station's runtime link receiving a survey: where tiles, grid files and plans land,
// the grid converter's start, and what a hostile or broken peer cannot do.
#include "TqelRuntime/UlmaRuntime.h"

#include "../RecordingGuiSink.h"
#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "QelRecord/QelData.h"
#include "cvnsocktcp/framing.h"
#include "cvnsocktcp/io_thread.h"
#include "cvnsocktcp/server.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString native(const QString& strWindows)
{
    return platform::toNativePath(strWindows);
}

QByteArray readFile(const QString& strWindows)
{
    QFile oFile(native(strWindows));
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("<missing>");
}

// The converters running now whose grid folder names one of these surveys.
QStringList runningConverters(const QStringList& lstSurveys)
{
    QStringList lstRunning;
    for (const platform::ProcessInfo& oProcess : platform::findProcessesByImageName(QStringLiteral("Tavrin.Quennet.Converter.exe")))
        for (const QString& strSurvey : lstSurveys)
            if (oProcess.arguments.value(1) == QStringLiteral("C:/qeldata/Grids/default/%1/").arg(strSurvey))
                lstRunning << strSurvey;
    return lstRunning;
}

// The sockets a process holds.
QStringList socketsOf(qint64 nPid)
{
    QStringList lstSockets;
    const QString strFolder = QStringLiteral("/proc/%1/fd").arg(nPid);
    for (const QString& strFd : QDir(strFolder).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char szTarget[256] = {};
        const ssize_t nLength = ::readlink(QFile::encodeName(strFolder + QLatin1Char('/') + strFd).constData(), szTarget,
                                           sizeof szTarget - 1);
        if (nLength > 0 && QByteArray(szTarget, int(nLength)).startsWith("socket:"))
            lstSockets << strFd;
    }
    return lstSockets;
}

QList<QJsonObject> converterStarts()
{
    QList<QJsonObject> lstStarts;
    QFile oLog(qEnvironmentVariable("CORV_COMPANION_LOG"));
    if (oLog.open(QIODevice::ReadOnly))
        for (const QByteArray& baLine : oLog.readAll().split('\n'))
            if (!baLine.isEmpty())
                lstStarts << QJsonDocument::fromJson(baLine).object();
    return lstStarts;
}

// The main station's side: a link server on the fixed port that sends records.
class RemoteReceiverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        qputenv("CORV_COMPANION_LOG", QDir(corvtest::scratchDir()).filePath(QStringLiteral("companions.jsonl")).toUtf8());
        QFile::remove(qEnvironmentVariable("CORV_COMPANION_LOG"));
        s_poIo = new ua::cvnsocktcp::io_thread;
        s_poServer = ua::cvnsocktcp::make_server(s_poIo->context());
        s_poServer->listen("127.0.0.1:16655");
        s_poIo->start();
        ASSERT_TRUE(corvtest::waitUntil([] { return s_poServer->local_port() != 0; }));

        // The station's datagram sockets on ports of this test's own, unicast.
        const QString strRuntime = QLatin1String(GuiIni::GroupRuntime);
        ASSERT_TRUE(GuiIni::setValue(strRuntime, QStringLiteral("CorvPortAdd"), 960));
        ASSERT_TRUE(GuiIni::setValue(strRuntime, QStringLiteral("CorvNoMCAST"), true));
        s_poSink = std::make_shared<RecordingGuiSink>();
        s_poLink = new CUlmaRuntime(4, s_poSink);
        QObject::connect(s_poLink, &CUlmaRuntime::relayToMapView,
                         [](int nCode, QString strText) { s_lstRelays << QStringLiteral("%1:%2").arg(nCode).arg(strText); });
        s_poLink->startRemoteDataClient(QStringLiteral("127.0.0.1"));
        // Only the first call counts.
        s_poLink->startRemoteDataClient(QStringLiteral("192.0.2.1"));
        ASSERT_TRUE(corvtest::waitUntil([] { return s_poServer->connection_count() == 1; }));
    }
    static void TearDownTestSuite()
    {
        // The server goes before the context it was made on.
        s_poServer->stop();
        s_poServer.reset();
        delete s_poIo;
        delete s_poLink;
    }

    // Sends one record and waits until the runtime link has stored what it carried.
    static void send(const QByteArray& baRecord)
    {
        s_poServer->write(ua::cvnsocktcp::make_frame(std::string_view(baRecord.constData(), baRecord.size())));
        // A marker record after it: once the marker is stored, the record before it was handled.
        static int s_nMarker = 0;
        const QString strMarker = QStringLiteral("marker%1.properties").arg(++s_nMarker);
        const QByteArray baMarker = CQelData::packDefaultVessel(QStringLiteral("X:/Markers/") + strMarker, "m");
        s_poServer->write(ua::cvnsocktcp::make_frame(std::string_view(baMarker.constData(), baMarker.size())));
        ASSERT_TRUE(corvtest::waitUntil(
            [&] { return QFile::exists(native(QStringLiteral("C:/qeldata/Grids/default/Markers/") + strMarker)); }));
    }
    static void sendFile(const QString& strPath, const QByteArray& baData)
    {
        send(CQelData::packDefaultVessel(strPath, baData));
    }

    static ua::cvnsocktcp::io_thread* s_poIo;
    static std::shared_ptr<ua::cvnsocktcp::server> s_poServer;
    static CUlmaRuntime* s_poLink;
    static std::shared_ptr<RecordingGuiSink> s_poSink;
    static QStringList s_lstRelays;
};
ua::cvnsocktcp::io_thread* RemoteReceiverTest::s_poIo = nullptr;
std::shared_ptr<ua::cvnsocktcp::server> RemoteReceiverTest::s_poServer;
CUlmaRuntime* RemoteReceiverTest::s_poLink = nullptr;
std::shared_ptr<RecordingGuiSink> RemoteReceiverTest::s_poSink;
QStringList RemoteReceiverTest::s_lstRelays;

// A tile is named by its place (level, column, file): the same place sent again replaces it.
TEST_F(RemoteReceiverTest, TilesAreStoredByTheirPlaceInTheSurveysProcessFolder)
{
    sendFile(QStringLiteral("D:/main/Grids/S1/Terrain/zMedian/5/3/a.tiff"), "tile one");
    sendFile(QStringLiteral("D:/main/Grids/S1/Terrain/zMedian/5/4/a.tiff"), "tile two");
    sendFile(QStringLiteral("D:/main/Grids/S1/Terrain/zMedian/5/3/a.tiff"), "tile one, later");
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/S1/Process/5_3_a.tiff")), QByteArray("tile one, later"));
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/S1/Process/5_4_a.tiff")), QByteArray("tile two"));
    EXPECT_EQ(QDir(native(QStringLiteral("C:/qeldata/Grids/default/S1/Process"))).entryList(QDir::Files).size(), 2);
}

// A peer sending tiles of ever new places fills no more than the survey's quota; tiles of places
// already stored are still replaced, and other surveys have quotas of their own.
TEST_F(RemoteReceiverTest, ReceivedTilesStayWithinTheSurveysQuota)
{
    s_poLink->setReceivedTileQuota(64 * 1024, 50);
    const QByteArray baTile(1000, 't');
    for (int i = 0; i < 400; ++i) {
        const QByteArray baRecord =
            CQelData::packDefaultVessel(QStringLiteral("D:/main/Grids/Q1/Terrain/zMedian/7/%1/r.tiff").arg(i), baTile);
        s_poServer->write(ua::cvnsocktcp::make_frame(std::string_view(baRecord.constData(), baRecord.size())));
    }
    sendFile(QStringLiteral("D:/main/Grids/Q1/Terrain/zMedian/7/0/r.tiff"), "replaced");
    const QString strFolder = native(QStringLiteral("C:/qeldata/Grids/default/Q1/Process"));
    EXPECT_EQ(QDir(strFolder).entryList(QDir::Files).size(), 50);
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/Q1/Process/7_0_r.tiff")), QByteArray("replaced"));
    // The bytes count too.
    sendFile(QStringLiteral("D:/main/Grids/Q2/Terrain/zMedian/7/0/r.tiff"), QByteArray(60 * 1024, 'b'));
    sendFile(QStringLiteral("D:/main/Grids/Q2/Terrain/zMedian/7/1/r.tiff"), QByteArray(8 * 1024, 'b'));
    EXPECT_EQ(QDir(native(QStringLiteral("C:/qeldata/Grids/default/Q2/Process"))).entryList(QDir::Files),
              QStringList{"7_0_r.tiff"});
    s_poLink->setReceivedTileQuota(Q_INT64_C(1) << 40, 1 << 30);
}

// Links already in the data folder are never followed: the file goes nowhere.
TEST_F(RemoteReceiverTest, LinksInTheDataFolderAreNotFollowed)
{
    const QString strOutside = QDir(corvtest::scratchDir()).filePath(QStringLiteral("outside"));
    QDir().mkpath(strOutside);
    QFile oTarget(strOutside + QStringLiteral("/target.tiff"));
    ASSERT_TRUE(oTarget.open(QIODevice::WriteOnly));
    oTarget.write("kept");
    oTarget.close();
    const QString strGrids = native(QStringLiteral("C:/qeldata/Grids/default"));
    QDir().mkpath(strGrids + QStringLiteral("/L1"));
    ASSERT_TRUE(QFile::link(strOutside, strGrids + QStringLiteral("/L1/Process")));
    QDir().mkpath(strGrids + QStringLiteral("/L2/Process"));
    ASSERT_TRUE(QFile::link(strOutside + QStringLiteral("/target.tiff"), strGrids + QStringLiteral("/L2/Process/1_1_t.tiff")));
    ASSERT_TRUE(QFile::link(strOutside + QStringLiteral("/target.tiff"), strGrids + QStringLiteral("/L3")));
    const QString strPlans = native(programDataPath() + QStringLiteral("plans"));
    QDir().mkpath(strPlans);
    ASSERT_TRUE(QFile::link(strOutside + QStringLiteral("/target.tiff"), strPlans + QStringLiteral("/linked.asciiplan")));

    sendFile(QStringLiteral("D:/main/Grids/L1/Terrain/zMedian/1/1/t.tiff"), "evil");
    sendFile(QStringLiteral("D:/main/Grids/L2/Terrain/zMedian/1/1/t.tiff"), "evil");
    sendFile(QStringLiteral("D:/main/Grids/L3/GridIndex.properties"), "evil");
    sendFile(QStringLiteral("E:/share/linked.asciiplan"), "evil");
    EXPECT_EQ(QDir(strOutside).entryList(QDir::Files), QStringList{"target.tiff"});
    EXPECT_EQ(readFile(strOutside + QStringLiteral("/target.tiff")), QByteArray("kept"));
}

TEST_F(RemoteReceiverTest, GridIndexStartsTheConverterOncePerSurvey)
{
    const QString strSaved = QDir::currentPath();
    // No converter beside a program started elsewhere: the start fails and is not tried again.
    ASSERT_TRUE(QDir::setCurrent(corvtest::scratchDir()));
    sendFile(QStringLiteral("D:/main/Grids/S2x/qel_projv6.txt"), "<QEL_Projection>\n");
    sendFile(QStringLiteral("D:/main/Grids/S2x/GridIndex.properties"), "index 1");
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/S2x/qel_projv6.txt")), QByteArray("<QEL_Projection>\n"));
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/S2x/GridIndex.properties")), QByteArray("index 1"));
    ASSERT_TRUE(QDir::setCurrent(qEnvironmentVariable("CORV_BIN_DIR")));
    sendFile(QStringLiteral("D:/main/Grids/S2x/GridIndex.properties"), "index 2");
    sendFile(QStringLiteral("D:/main/Grids/S2x/Terrain/zMedian/5/3/a.tiff"), "tile");
    EXPECT_TRUE(s_lstRelays.isEmpty());
    EXPECT_TRUE(converterStarts().isEmpty());

    // S2's converter stays until the end of the suite.
    qputenv("CORV_CONVERTER_IDLE_MS", "600000");
    sendFile(QStringLiteral("D:/main/Grids/S2/GridIndex.properties"), "index 2");
    ASSERT_TRUE(corvtest::waitUntil([] { return converterStarts().size() == 1; }));
    qunsetenv("CORV_CONVERTER_IDLE_MS");
    // It holds none of the link's sockets (with one, the connection would outlive the program).
    int nChecked = 0;
    for (const platform::ProcessInfo& oProcess : platform::findProcessesByImageName(QStringLiteral("Tavrin.Quennet.Converter.exe")))
        if (oProcess.arguments.value(1) == QLatin1String("C:/qeldata/Grids/default/S2/")) {
            EXPECT_EQ(socketsOf(oProcess.pid), QStringList());
            ++nChecked;
        }
    EXPECT_EQ(nChecked, 1);
    sendFile(QStringLiteral("D:/main/Grids/S2/GridIndex.properties"), "index 3");
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/S2/GridIndex.properties")), QByteArray("index 3"));
    QDir::setCurrent(strSaved);

    EXPECT_EQ(s_lstRelays, QStringList({"494:default;CORV;S2;1"}));
    EXPECT_EQ(s_poLink->getVesselGridPath(QStringLiteral("default")), QStringLiteral("C:/qeldata/Grids/default/S2/"));
    const QJsonObject oStart = converterStarts().value(0);
    EXPECT_EQ(oStart.value(QStringLiteral("program")).toString(), QStringLiteral("Tavrin.Quennet.Converter.exe"));
    EXPECT_EQ(QDir(oStart.value(QStringLiteral("workingDirectory")).toString()).dirName(), QStringLiteral("Converter"));
    EXPECT_EQ(oStart.value(QStringLiteral("arguments")).toArray().toVariantList(),
              QVariantList({"C:/qeldata/Grids/default/S2/", "C:/qeldata/Grids/default/S2//Terrain", "--autostart",
                            "--hidden", "--notifyicon", "--remote"}));
    s_lstRelays.clear();
}

// A peer naming many surveys gets a few converters at a time, one per survey; the others wait
// their turn, and a survey whose converter has ended gets it again for a new tile.
TEST_F(RemoteReceiverTest, ConvertersRunAFewAtATimeAndOnePerSurvey)
{
    const QString strSaved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(qEnvironmentVariable("CORV_BIN_DIR")));
    // These converters end soon after nothing changes.
    qputenv("CORV_CONVERTER_IDLE_MS", "300");
    const QStringList lstSurveys{"B1", "B2", "B3", "B4", "B5"};
    const int nStartsBefore = converterStarts().size();
    for (const QString& strSurvey : lstSurveys) {
        sendFile(QStringLiteral("D:/main/Grids/%1/GridIndex.properties").arg(strSurvey), "index");
        sendFile(QStringLiteral("D:/main/Grids/%1/GridIndex.properties").arg(strSurvey), "index again");
    }
    // S2's converter of the test before still runs: it counts against the limit.
    int nMostAtOnce = 0;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        nMostAtOnce = std::max(nMostAtOnce, int(runningConverters(lstSurveys + QStringList{"S2"}).size()));
        return converterStarts().size() == nStartsBefore + lstSurveys.size() && runningConverters(lstSurveys).isEmpty();
    }, 30000)) << nMostAtOnce;
    EXPECT_EQ(nMostAtOnce, 2);
    EXPECT_EQ(s_lstRelays.size(), lstSurveys.size());

    // B1's converter has ended: a new tile of B1 starts it again, without a second relay.
    s_lstRelays.clear();
    sendFile(QStringLiteral("D:/main/Grids/B1/Terrain/zMedian/5/3/b.tiff"), "tile");
    EXPECT_TRUE(corvtest::waitUntil([&] { return converterStarts().size() == nStartsBefore + lstSurveys.size() + 1; }));
    EXPECT_EQ(converterStarts().last().value(QStringLiteral("arguments")).toArray().at(0).toString(),
              QStringLiteral("C:/qeldata/Grids/default/B1/"));
    EXPECT_TRUE(s_lstRelays.isEmpty());
    EXPECT_TRUE(corvtest::waitUntil([&] { return runningConverters(lstSurveys).isEmpty(); }, 10000));
    qunsetenv("CORV_CONVERTER_IDLE_MS");
    QDir::setCurrent(strSaved);
}

// A received file that cannot be written reaches the operator, once for a run of failures.
TEST_F(RemoteReceiverTest, FailedTileWriteShowsOneWarning)
{
    // The survey's tile folder is taken by a file.
    QDir().mkpath(native(QStringLiteral("C:/qeldata/Grids/default/Full")));
    QFile oBlocker(native(QStringLiteral("C:/qeldata/Grids/default/Full/Process")));
    ASSERT_TRUE(oBlocker.open(QIODevice::WriteOnly));
    oBlocker.close();
    s_poSink->take();
    sendFile(QStringLiteral("D:/main/Grids/Full/Terrain/zMedian/5/3/a.tiff"), "tile one");
    sendFile(QStringLiteral("D:/main/Grids/Full/Terrain/zMedian/5/3/b.tiff"), "tile two");
    QStringList lstCalls = s_poSink->take();
    ASSERT_EQ(lstCalls.size(), 1) << lstCalls.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lstCalls[0].startsWith(
        QStringLiteral("showWarning(QEL Proxy warning|Failed to create file C:/qeldata/Grids/default/Full/Process/")))
        << lstCalls[0].toStdString();
    EXPECT_TRUE(lstCalls[0].contains(QLatin1String(". Error is ")));
}

TEST_F(RemoteReceiverTest, PlansLandInThePlansFolder)
{
    sendFile(QStringLiteral("E:/share/corv.asciiplan"), "PLAN 1");
    EXPECT_EQ(readFile(programDataPath() + QStringLiteral("plans\\corv.asciiplan")), QByteArray("PLAN 1"));
}

// Whatever a peer sends, nothing is written outside the grid root and the plans folder, and the
// link goes on.
TEST_F(RemoteReceiverTest, HostileAndBrokenRecordsAreDropped)
{
    // Surveys earlier tests received stay; the records below may add none but their own.
    const QStringList lstEarlier = QDir(native(QStringLiteral("C:/qeldata/Grids/default"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const struct {
        const char* szType;
        const char* szSource;
    } aCases[] = {
        {"x.tiff", "D:/main/Grids/../Terrain/zMedian/5/3"},   // survey ".."
        {"x.tiff", "a/b/c/d"},                                // too few parts
        {"x.tiff", "C:/Terrain/zMedian/5/3"},                 // drive as survey
        {"..", "D:/main/Grids/S3/Terrain/zMedian/5/3/y.tiff"}, // no suffix after all
        {"GridIndex.properties", "/etc/.."},                  // survey ".."
        {"GridIndex.properties", "main"},                     // sits in a folder of its own: fine
        {"..\\..\\evil.properties", "/x/S4"},
        {"qel_projv6.txt", ""},                               // no survey
        {"a\\..\\..\\evil.asciiplan", "/tmp"},
        {"../../evil.asciiplan", "/tmp"},                     // stored by its own name only
        {"notes.txt", "D:/main/Grids/S5"},                    // not a kind that is stored
        {"", "D:/main/Grids/S5"},
        {"x.tiff", "D:/main/Grids/.../Terrain/zMedian/5/3"}, // survey names a file system may fold
        {"x.tiff", "D:/main/Grids/ ../Terrain/zMedian/5/3"},
        {"x.tiff", "D:/main/Grids/S7 /Terrain/zMedian/5/3"},
        {"x.tiff", "D:/main/Grids/S7./Terrain/zMedian/5/3"},
        {"GridIndex.properties", "D:/main/Grids/..."},
        {"GridIndex.properties", "D:/main/Grids/\x01S7"},
    };
    for (const auto& oCase : aCases) {
        CQelData oRecord;
        oRecord.MessageType = QString::fromUtf8(oCase.szType);
        oRecord.SourcePath = QString::fromUtf8(oCase.szSource);
        oRecord.VesselID = QStringLiteral("../../vessel");
        oRecord.Data = "evil";
        send(oRecord.serialize());
    }
    // A NUL inside the name would cut it short: the record is refused.
    CQelData oNul;
    oNul.MessageType = QString::fromUtf8("x.tiff\0.properties", 18);
    oNul.SourcePath = QStringLiteral("D:/main/Grids/S7/Terrain/zMedian/5/3");
    oNul.Data = "evil";
    send(oNul.serialize());
    oNul.MessageType = QStringLiteral("GridIndex.properties");
    oNul.SourcePath = QString::fromUtf8("D:/main/Grids/S7\0/x", 19);
    send(oNul.serialize());
    send(QByteArray("\xA5\x64" "Data\x7B\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 15)); // damaged
    send(QByteArray());                                                           // empty payload

    const QString strRoot = QDir(qEnvironmentVariable("CORV_WINROOT")).canonicalPath();
    const QString strGrids = QDir(native(QStringLiteral("C:/qeldata/Grids"))).canonicalPath() + QLatin1Char('/');
    const QString strPlans = QDir(native(programDataPath() + QStringLiteral("plans"))).canonicalPath() + QLatin1Char('/');
    QDirIterator oWalk(strRoot, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (oWalk.hasNext()) {
        const QString strFile = QFileInfo(oWalk.next()).canonicalFilePath();
        if (QFile(strFile).size() == 4 && readFile(strFile) == "evil") {
            EXPECT_TRUE(strFile.startsWith(strGrids) || strFile.startsWith(strPlans)) << strFile.toStdString();
        }
    }
    EXPECT_EQ(readFile(QStringLiteral("C:/qeldata/Grids/default/main/GridIndex.properties")), QByteArray("evil"));
    EXPECT_EQ(readFile(programDataPath() + QStringLiteral("plans\\evil.asciiplan")), QByteArray("evil"));
    EXPECT_FALSE(QFile::exists(native(QStringLiteral("C:/qeldata/Grids/default/S5/notes.txt"))));
    const QStringList lstSurveys = QDir(native(QStringLiteral("C:/qeldata/Grids/default"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& strSurvey : lstSurveys)
        EXPECT_TRUE(strSurvey.startsWith(QLatin1Char('S')) || strSurvey.startsWith(QLatin1Char('Q')) || strSurvey.startsWith(QLatin1Char('L'))
                    || strSurvey == QLatin1String("main") || strSurvey == QLatin1String("Markers")
                    || lstEarlier.contains(strSurvey))
            << strSurvey.toStdString();
    EXPECT_FALSE(QFileInfo::exists(native(QStringLiteral("C:/qeldata/Grids/default/S7"))));
    // The link still carries records.
    sendFile(QStringLiteral("D:/main/Grids/S6/Terrain/zMedian/1/1/z.tiff"), "after");
    EXPECT_TRUE(QDir(native(QStringLiteral("C:/qeldata/Grids/default/S6/Process"))).entryList(QDir::Files).size() == 1);
}

// Last: shut-down ends the converters that were started.
TEST_F(RemoteReceiverTest, ZShutdownEndsTheConverters)
{
    const QList<QJsonObject> lstStarts = converterStarts();
    ASSERT_FALSE(lstStarts.isEmpty());
    QStringList lstRunning;
    for (const QString& strPid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile oCmd(QStringLiteral("/proc/%1/cmdline").arg(strPid));
        if (oCmd.open(QIODevice::ReadOnly) && !strPid.isEmpty()) {
            const QByteArray baCommand = oCmd.readAll();
            if (baCommand.contains("Tavrin.Quennet.Converter.exe") && baCommand.contains("default/S2/"))
                lstRunning << strPid;
        }
    }
    ASSERT_EQ(lstRunning.size(), 1);
    s_poLink->shutdown();
    EXPECT_TRUE(corvtest::waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/") + lstRunning[0]); }));
}

} // namespace
