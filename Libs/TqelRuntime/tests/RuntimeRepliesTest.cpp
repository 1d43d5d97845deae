// Replies and events of the sounder runtime: the texts relayed to the main window, the sounder
// state they change, and the requests that go out, as their ports receive them.
#include "RecordingGuiSink.h"
#include "RuntimeTestLink.h"

#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TokenFixture.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>

#include <functional>
#include <memory>

namespace {

bool writeFile(const QString& strWindowsPath, const QByteArray& baContent)
{
    const QString strPath = platform::toNativePath(strWindowsPath);
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

class RuntimeReplies : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        m_poSink = std::make_shared<RecordingGuiSink>();
        makeLink(3);
    }

    void makeLink(int nMode)
    {
        m_poRelays.reset();
        m_poRuntime.reset();
        m_poRuntime = std::make_unique<CUlmaRuntime>(nMode, m_poSink);
        m_poRelays = std::make_unique<QSignalSpy>(m_poRuntime.get(), &CUlmaRuntime::relayToMapView);
    }

    // One sentence as the readers hand it over, and the relays it caused.
    QStringList reply(const QByteArray& baSentence)
    {
        QByteArray baDatagram = baSentence + "\n\r";
        m_poRuntime->processUlmaExecDatagrams(baDatagram, QStringLiteral("127.0.0.1"));
        return corvtest::takeRelays(*m_poRelays);
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    std::unique_ptr<QSignalSpy> m_poRelays;
};

TEST_F(RuntimeReplies, EventsAndRepliesRelayTheirTexts)
{
    // The sounder lists make S1 the active sounder of the vessel "default".
    ASSERT_EQ(reply("$TVQEL,0,450,default:S1,,S2:S1"), QStringList{QStringLiteral("450:S1:S2;")});
    ASSERT_EQ(m_poRuntime->activeSounder(), QStringLiteral("S1"));

    struct Case {
        QByteArray sentence;
        QStringList relays;
    };
    const Case aCases[] = {
        {"$TVQEL,1,5.2.1", {"1000:5.2.1"}},
        {"$TVQEL,19", {"19:"}},
        {"$TVQEL,31,a,b,c,d,e,f,g,h,i,12.5", {"31:12.5"}},
        {"$TVQEL,31,a", {}},
        {"$TVQEL,33*4F", {"33:"}},
        {"$TVQEL,615,x", {"615:$TVQEL,615,x\n\r"}},
        {"$TVQEL,823, a b ,c ", {"823:a b ,c"}},
        {"$TVQEL,12,474,x", {"474:x"}},
        {"$TVQEL,12,474", {}},
        {"$TVQEL,", {}},
        {"$XYZ,1,5.2", {}},
        // Replies pass only for the active sounder of this vessel.
        {"$TVQEL,0,453,default:S1,2,F5", {"453:FAIL;S1;F5;F5"}},
        {"$TVQEL,0,453,default:S1,0,F5", {"453:S1;0;F5"}},
        {"$TVQEL,0,453,other:S1,0,F5", {}},
        {"$TVQEL,0,453,S1,0,F5", {}},
        {"$TVQEL,0,454,default:S1,3,F5,F6", {"454:S1;F6;3"}},
        {"$TVQEL,0,469,default:S1,1,F5,F6", {"469:S1;F6;1"}},
        {"$TVQEL,0,454,default:S1,7,F5,F6", {"454:S1;7;F5"}},
        {"$TVQEL,0,457,default:S1,a,b", {"457:S1;a;b"}},
        {"$TVQEL,0,460,default:S2,a,b", {}},
        {"$TVQEL,0,474,hello", {"474:hello"}},
        {"$TVQEL,0,476,12x,7", {"476:12;7"}},
        {"$TVQEL,0,478,1,Disk full", {"478:1;Disk full"}},
        {"$TVQEL,0,479,a,b,0,1,2,3,4", {"479:0;1;2;3;4"}},
        {"$TVQEL,0,486", {"486:"}},
        {"$TVQEL,0,492", {"492:S1;0;0"}},
        {"$TVQEL,0,492,1.5,2.25", {"492:S1;1.5;2.25"}},
        {"$TVQEL,0,493,abc,42", {"493:S1;abc;42"}},
        {"$TVQEL,0,455,default:S1,a,b", {}},
        {"$TVQEL,0,480,default:S1,a,b", {}},
        // A status without digits, or beyond 32 bits, ends the handling without a relay.
        {"$TVQEL,0,453,default:S1,x,F5", {}},
        {"$TVQEL,0,454,default:S1,99999999999,F5", {}},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(reply(oCase.sentence), oCase.relays) << oCase.sentence.constData();
}

TEST_F(RuntimeReplies, DisplaySignalsOfReplies470And471)
{
    QSignalSpy oWc(m_poRuntime.get(), &CUlmaRuntime::configureWCDisp);
    QSignalSpy oSonar(m_poRuntime.get(), &CUlmaRuntime::configureSonarDisp);
    for (const char* szSentence : {"$TVQEL,0,470,4", "$TVQEL,0,470,04", "$TVQEL,0,470"})
        EXPECT_TRUE(reply(szSentence).isEmpty());
    ASSERT_EQ(oWc.size(), 3);
    EXPECT_EQ((QList<bool>{oWc.at(0).at(0).toBool(), oWc.at(1).at(0).toBool(), oWc.at(2).at(0).toBool()}),
              (QList<bool>{true, false, false}));
    for (const char* szSentence : {"$TVQEL,0,471", "$TVQEL,0,471,12", "$TVQEL,0,471,-5", "$TVQEL,0,471,99999999999"})
        EXPECT_TRUE(reply(szSentence).isEmpty());
    ASSERT_EQ(oSonar.size(), 3);
    EXPECT_EQ((QList<uint>{oSonar.at(0).at(0).toUInt(), oSonar.at(1).at(0).toUInt(), oSonar.at(2).at(0).toUInt()}),
              (QList<uint>{0, 12, 0}));
}

TEST_F(RuntimeReplies, SounderListsRecordsAndSurveyFolders)
{
    reply("$TVQEL,0,450,x,B:A,S2:S1");
    EXPECT_EQ(m_poRuntime->sounderListB("default"), (QStringList{"S1", "S2"}));
    EXPECT_EQ(m_poRuntime->sounderListA("default"), (QStringList{"A", "B"}));
    ASSERT_EQ(m_poRuntime->sounderTable().size(), 2);
    EXPECT_EQ(m_poRuntime->sounderTable().value("default:S2").index, 1);

    // A name that leaves the list goes; records already made stay as they were.
    EXPECT_EQ(reply("$TVQEL,0,450,x,B,S3:S2"), QStringList{"450:S2:S3;B"});
    EXPECT_EQ(m_poRuntime->activeSounder(), QStringLiteral("S2"));
    EXPECT_EQ(m_poRuntime->sounderTable().value("default:S2").index, 1);
    EXPECT_EQ(m_poRuntime->sounderTable().value("default:S3").index, 1);

    // Start of S3: out of the A list, marked started, active.
    reply("$TVQEL,0,450,x,S3:B,S3:S2");
    EXPECT_EQ(reply("$TVQEL,0,452,default:S3,0"), QStringList{"452:S3;0"});
    EXPECT_TRUE(m_poRuntime->sounderTable().value("default:S3").started);
    EXPECT_EQ(m_poRuntime->sounderListA("default"), QStringList{"B"});
    EXPECT_EQ(m_poRuntime->activeSounder(), QStringLiteral("S3"));
    // A failed start relays its reason; a field without ':' is a name with no vessel part.
    EXPECT_EQ(reply("$TVQEL,0,452,S9,4,busy"), QStringList{"452:S9;4;busy"});
    EXPECT_EQ(reply("$TVQEL,0,452,S9,0"), QStringList{"452:S9;0"});
    EXPECT_EQ(m_poRuntime->activeSounder(), QStringLiteral("S3"));
    // No record for S9: index 0, and no record is made.
    EXPECT_EQ(reply("$TVQEL,0,451,other:S9,a,b,c"), QStringList{"451:S9;0;a;b;c"});
    EXPECT_FALSE(m_poRuntime->sounderTable().contains("default:S9"));
    EXPECT_TRUE(reply("$TVQEL,0,451,Unknown,a,b,c").isEmpty());

    // Grid paths: a new one sets the vessel's folder, the same one again leaves it.
    EXPECT_EQ(reply("$TVQEL,0,461,default:S3,f4, D:/Surveys/A ,f6"), QStringList{"461:default:S3;f4;f6"});
    EXPECT_EQ(m_poRuntime->getVesselGridPath("default"), QStringLiteral("D:/Surveys/A"));
    m_poRuntime->setVesselGridPath("default", "D:/Elsewhere");
    reply("$TVQEL,0,461,default:S3,f4, D:/Surveys/A ,f6");
    EXPECT_EQ(m_poRuntime->getVesselGridPath("default"), QStringLiteral("D:/Elsewhere"));
    EXPECT_TRUE(reply("$TVQEL,0,461,default:S2,f4,D:/Surveys/B,f6").isEmpty());
    EXPECT_EQ(m_poRuntime->getVesselGridPath("default"), QStringLiteral("D:/Elsewhere"));
}

// Mode 1 opens the station ports.
TEST_F(RuntimeReplies, GridPathDriveFromTheTokenInStationMode1)
{
    corvtest::writeTokens(QJsonArray{corvtest::token("CORV_GRID_PATH", 3, "E")});
    makeLink(1);
    reply("$TVQEL,0,450,x,,S1");
    reply("$TVQEL,0,461,default:S1,f4,D:/Surveys/Drive,f6");
    EXPECT_EQ(m_poRuntime->getVesselGridPath("default"), QStringLiteral("E:/Surveys/Drive"));
}

TEST_F(RuntimeReplies, StartWithASurveyProjection)
{
    const QString strFolder = QStringLiteral("D:/Surveys/P");
    const QString strFile = strFolder + QStringLiteral("/qel_projv6.txt");
    reply("$TVQEL,0,450,x,,S1");
    reply("$TVQEL,0,461,default:S1,f4," + strFolder.toLatin1() + ",f6");
    // No projection file: no projection step.
    EXPECT_EQ(reply("$TVQEL,0,452,default:S1,0"), QStringList{"452:S1;0"});
    EXPECT_TRUE(m_poSink->take().isEmpty());

    ASSERT_TRUE(writeFile(strFile, "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n"));
    EXPECT_EQ(reply("$TVQEL,0,452,default:S1,0"), QStringList{"452:S1;0"});
    EXPECT_EQ(m_poSink->take(), QStringList{"applySurveyProjection(" + strFile + "|" + strFolder + ")"});
    // The GUI side's answer reaches the link's own projection on the link's thread.
    m_poSink->useProjection()(strFile);
    EXPECT_TRUE(corvtest::waitUntil([&] { return m_poRuntime->projection()->projFile == strFile.toStdString(); }));
    EXPECT_TRUE(m_poRuntime->projection()->isValid());
}

TEST_F(RuntimeReplies, CoverageAngles)
{
    QSignalSpy oPort(m_poRuntime.get(), &CUlmaRuntime::signalSetPortCoverage);
    QSignalSpy oStarboard(m_poRuntime.get(), &CUlmaRuntime::signalSetStarbCoverage);
    reply(R"($TVQEL,401,x,[{"id":"RUNT_PARAM_PU_ANGLE_PORT_RX1","value":65},{"id":"RUNT_PARAM_PU_ANGLE_STARB_RX1","value":"70"},{"id":"other","value":1}])");
    reply(R"($TVQEL,401,x,[{"id":"RUNT_PARAM_PU_ANGLE_PORT_RX1","value":"wide"}])");
    reply(R"($TVQEL,401,x,{"id":"RUNT_PARAM_PU_ANGLE_PORT_RX1","value":5})");
    reply("$TVQEL,401,x,[not json");
    ASSERT_EQ(oPort.size(), 2);
    EXPECT_EQ(oPort.at(0).at(0).toInt(), 65);
    EXPECT_EQ(oPort.at(1).at(0).toInt(), 0);
    ASSERT_EQ(oStarboard.size(), 1);
    EXPECT_EQ(oStarboard.at(0).at(0).toInt(), 70);
}

// Datagrams as the sounder runtime (4002), the local runtime service (14002) and the sounder
// selector (4811) receive them.
class RuntimeRequests : public RuntimeReplies {
protected:
    void SetUp() override
    {
        RuntimeReplies::SetUp();
        for (auto& oPair : {std::make_pair(&m_oRuntimePort, 4002), std::make_pair(&m_oServicePort, 14002), std::make_pair(&m_oSelectorPort, 4811)})
            ASSERT_TRUE(oPair.first->bind(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(oPair.second)));
    }

    static QByteArray next(QUdpSocket& oSocket)
    {
        if (!corvtest::waitUntil([&] { return oSocket.hasPendingDatagrams(); }, 5000))
            return "(nothing)";
        return oSocket.receiveDatagram().data();
    }

    QUdpSocket m_oRuntimePort;
    QUdpSocket m_oServicePort;
    QUdpSocket m_oSelectorPort;
};

TEST_F(RuntimeRequests, SentencesOnTheirPorts)
{
    // Reply 451 for this vessel asks for the coverage of its sounder, which becomes the active
    // one, and tells the sounder selector.
    reply("$TVQEL,0,450,x,,S2:S1");
    EXPECT_EQ(reply("$TVQEL,0,451,default:S2,a,b,c"), QStringList{"451:S2;1;a;b;c"});
    EXPECT_EQ(next(m_oServicePort), QByteArray("$TVQEL,261,S2,RUNT_PARAM_PU_ANGLE_PORT_RX1,RUNT_PARAM_PU_ANGLE_STARB_RX1"));
    EXPECT_EQ(next(m_oSelectorPort), QByteArray("$SETSOUNDER,S2"));
    EXPECT_EQ(GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("ActiveSounder"), QString()).toString(), QStringLiteral("S2"));
    reply("$TVQEL,0,450,x,,S2:S1");
    ASSERT_EQ(m_poRuntime->activeSounder(), QStringLiteral("S1"));

    CUlmaRuntime& oLink = *m_poRuntime;
    struct Case {
        std::function<void()> call;
        QByteArray runtime;
        QByteArray service;
    };
    const Case aCases[] = {
        {[&] { oLink.sendRequestToUlmaexec(465, "1", false); }, "$TVQEL,450,default,465,S1,1\n\r", {}},
        {[&] { oLink.sendRequestToUlmaexec(480, "V1;V2", false); }, "$TVQEL,450,default,480,S1,V1;V2\n\r", {}},
        {[&] { oLink.sendRequestToUlmaexec(474, "M2200C", false); }, "$TVQEL,450,default,474,S1,M2205\n\r", {}},
        {[&] { oLink.wcolVisible(0); }, {}, {}},
        {[&] { oLink.wcolVisible(2); }, "$TVQEL,450,default,465,S1,0\n\r", {}},
        {[&] { oLink.staveVisible(true); }, "$TVQEL,450,default,466,S1,1\n\r", {}},
        {[&] { oLink.onWcolDepthPicked(12.3456789); }, "$TVQEL,450,default,467,S1,12.3457\n\r", {}},
        {[&] { oLink.onWcolBeamPicked(42); }, "$TVQEL,450,default,468,S1,42\n\r", {}},
        {[&] { oLink.onStaveLogging(false); }, "$TVQEL,450,default,481,S1,0\n\r", {}},
        {[&] { oLink.scopeVisible(true); }, "$TVQEL,450,default,491,S1,1\n\r", {}},
        {[&] { oLink.userSetCoverage(60, 70); }, {},
         "$TVQEL,262,S1,RUNT_PARAM_PU_ANGLE_PORT_RX1=60,RUNT_PARAM_PU_ANGLE_STARB_RX1=70"},
        {[&] { oLink.onDropSounder(); }, {}, "$TVQEL,99992,S1"},
        {[&] { oLink.requestDefaultCoverage(); }, {}, "$TVQEL,261,S1,RUNT_PARAM_PU_ANGLE_PORT_RX1,RUNT_PARAM_PU_ANGLE_STARB_RX1"},
        {[&] { oLink.sendRequestToUlmaexec(13, "A=1", false); }, "$TVQEL,450,default,", "$TVQEL,262,S1,A=1"},
    };
    int nCase = 0;
    for (const Case& oCase : aCases) {
        oCase.call();
        if (!oCase.runtime.isEmpty()) {
            EXPECT_EQ(next(m_oRuntimePort), oCase.runtime) << nCase;
        }
        if (!oCase.service.isEmpty()) {
            EXPECT_EQ(next(m_oServicePort), oCase.service) << nCase;
        }
        EXPECT_FALSE(m_oRuntimePort.hasPendingDatagrams()) << nCase;
        EXPECT_FALSE(m_oServicePort.hasPendingDatagrams()) << nCase;
        ++nCase;
    }
    EXPECT_EQ(GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("ActiveSounder"), QString()).toString(), QStringLiteral("S2"));
}

TEST_F(RuntimeRequests, StartRequestResetsTheSonarDisplayOnATimer)
{
    reply("$TVQEL,0,450,x,S1,S1");
    QSignalSpy oSonar(m_poRuntime.get(), &CUlmaRuntime::configureSonarDisp);
    m_poRuntime->sendRequestToUlmaexec(452, "default:S1", false);
    EXPECT_EQ(next(m_oRuntimePort), QByteArray("$TVQEL,450,default,452,default:S1\n\r"));
    ASSERT_TRUE(oSonar.wait(7000));
    EXPECT_EQ(oSonar.at(0).at(0).toUInt(), 0u);
}

} // namespace
