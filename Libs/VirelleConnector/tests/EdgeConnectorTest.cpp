// The upload client against a real HTTP peer on loopback: request format, record round trip,
// tile and batch numbering, the error gate and the status levels.
#include "HttpPeer.h"
#include "QelRecord/QelData.h"
#include "VirelleConnector/EdgeConnector.h"
#include "test_wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Uploaded = HttpPeer::Upload;

Uploaded decode(const QByteArray& body)
{
    return HttpPeer::decode(body);
}

class EdgeConnectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oClient.setHostPort(m_oPeer.port());
    }

    bool waitRequests(int count) { return corvtest::waitUntil([&] { return m_oPeer.requests.size() >= count; }); }

    HttpPeer m_oPeer;
    CEdgeConnector m_oClient;
};

TEST_F(EdgeConnectorTest, PostsRecordWithExactBody)
{
    QSignalSpy oTransfered(&m_oClient, &CEdgeConnector::edgeFileTransfered);
    QSignalSpy oFinished(&m_oClient, &CEdgeConnector::edgeUploadFinished);
    ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc", 5));
    ASSERT_TRUE(waitRequests(1));
    const HttpPeer::Request& oRequest = m_oPeer.requests.first();
    EXPECT_EQ(oRequest.method, "POST");
    EXPECT_EQ(oRequest.path, "/api/Collector/Binary");
    EXPECT_EQ(oRequest.headers.value("host"), "127.0.0.1:" + QByteArray::number(m_oPeer.port()));
    EXPECT_EQ(oRequest.headers.value("content-type"), "application/json");

    const QByteArray baBase64 = CQelData::packForEdge("a.dat", "", "abc").toBase64();
    EXPECT_EQ(oRequest.body, "{\n    \"data\": \"" + baBase64 + "\",\n    \"properties\": {\n        \"Topic\": \"\"\n    }\n}\n");
    const Uploaded oUp = decode(oRequest.body);
    ASSERT_TRUE(oUp.record);
    EXPECT_EQ(oUp.record->MessageType, "a.dat");
    EXPECT_EQ(oUp.record->SourcePath, "");
    EXPECT_EQ(oUp.record->VesselID, "");
    EXPECT_EQ(oUp.record->Data, "abc");

    ASSERT_EQ(oTransfered.size(), 1);
    EXPECT_EQ(oTransfered.at(0).at(1).toLongLong(), 8); // iSeek + size
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFinished.size() == 1; }));
    EXPECT_EQ(oFinished.at(0).at(0).toString(), "a.dat");
}

TEST_F(EdgeConnectorTest, SendFileReadsFromOffsetAndReportsResult)
{
    QTemporaryDir oDir;
    const QString strPath = oDir.filePath("track_V1.shipstrack");
    QFile oFile(strPath);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write("0123456789");
    oFile.close();

    EXPECT_TRUE(m_oClient.sendFileToVirelle(strPath, "V1", "ignored", 4));
    ASSERT_TRUE(waitRequests(1));
    const Uploaded oUp = decode(m_oPeer.requests.first().body);
    ASSERT_TRUE(oUp.record);
    EXPECT_EQ(oUp.record->Data, "456789");
    EXPECT_EQ(oUp.record->MessageType, strPath); // no drive in a local path: the whole name
    EXPECT_EQ(oUp.record->SourcePath, "");
    EXPECT_EQ(oUp.record->VesselID, "V1");
    EXPECT_EQ(oUp.topic, "/QELBinary/shiptrack");

    // Nothing left past the end, a missing file: refused, nothing posted.
    EXPECT_FALSE(m_oClient.sendFileToVirelle(strPath, "V1", {}, 10));
    EXPECT_FALSE(m_oClient.sendFileToVirelle(oDir.filePath("missing.dat"), "V1", {}, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_oPeer.requests.size(), 1);
}

TEST_F(EdgeConnectorTest, BatchOfTilesIsNumbered)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_oClient.sendDataToVirelle(QStringLiteral("D:/grids/t%1.tiff").arg(i), 3, "V", "x"));
    ASSERT_TRUE(waitRequests(3));
    QMap<QString, Uploaded> mapByName;
    for (const HttpPeer::Request& oRequest : m_oPeer.requests) {
        Uploaded oUp = decode(oRequest.body);
        ASSERT_TRUE(oUp.record);
        mapByName.insert(oUp.record->MessageType.left(2), oUp);
    }
    const int nFirst = mapByName.value("t0").topic.section("/p", -1).toInt();
    for (int i = 0; i < 3; ++i) {
        const Uploaded oUp = mapByName.value(QStringLiteral("t%1").arg(i));
        const int nTile = (nFirst + i) % 512;
        EXPECT_EQ(oUp.record->MessageType, QStringLiteral("t%1_%2.tiff@%3:3").arg(i).arg(nTile).arg(i + 1));
        EXPECT_EQ(oUp.record->SourcePath, "D:/grids");
        EXPECT_EQ(oUp.topic, QStringLiteral("/QELBinary/Terrain/p%1").arg(nTile));
    }
    // The batch counter is back at 0: the next batch starts at 1 again.
    ASSERT_TRUE(m_oClient.sendDataToVirelle("n.dat", 2, "V", "x"));
    ASSERT_TRUE(waitRequests(4));
    EXPECT_EQ(decode(m_oPeer.requests.last().body).record->MessageType, "n.dat@1:2");
}

TEST_F(EdgeConnectorTest, TileNumberWrapsAfter511)
{
    QSet<int> setSeen;
    int nLast = -1;
    for (int i = 0; i < 513; ++i) {
        QSignalSpy oTransfered(&m_oClient, &CEdgeConnector::edgeFileTransfered);
        ASSERT_TRUE(m_oClient.sendDataToVirelle("t.tiff", 0, "", {}));
        const int nTile = oTransfered.at(0).at(0).toString().section('_', 1).section('.', 0, 0).toInt();
        if (nLast >= 0) {
            EXPECT_EQ(nTile, nLast == 511 ? 0 : nLast + 1);
        }
        setSeen.insert(nTile);
        nLast = nTile;
    }
    EXPECT_EQ(setSeen.size(), 512);
    EXPECT_TRUE(waitRequests(513));
}

TEST_F(EdgeConnectorTest, ErrorsCloseTheGateAndRaiseTheLevel)
{
    m_oPeer.status = 500;
    QSignalSpy oStatus(&m_oClient, &CEdgeConnector::edgeConnectorStatus);
    QSignalSpy oFailed(&m_oClient, &CEdgeConnector::edgeUploadFailed);
    const int aLevels[] = {2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3};
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc")) << i;
        ASSERT_TRUE(corvtest::waitUntil([&] { return oStatus.size() == i + 1; })) << i;
        EXPECT_EQ(oStatus.last().at(1).toInt(), aLevels[i]) << i;
        // The gate stays closed until the next tick of the reset timer.
        EXPECT_FALSE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
        EXPECT_FALSE(m_oClient.sendFileToVirelle(__FILE__, "", {}));
        m_oClient.resetHasError();
    }
    EXPECT_TRUE(oStatus.last().at(0).toString().contains("Latest error."));
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFailed.size() == 11; }));
    EXPECT_EQ(m_oPeer.requests.size(), 11);

    // Counter at 10; one confirmed upload brings it to 9, still level 3.
    m_oPeer.status = 200;
    ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return oStatus.size() == 12; }));
    EXPECT_EQ(oStatus.last().at(1).toInt(), 3);
}

TEST_F(EdgeConnectorTest, ConnectionClosedWithoutAnswerIsAFailure)
{
    m_oPeer.answer = HttpPeer::Answer::CloseEarly;
    QSignalSpy oStatus(&m_oClient, &CEdgeConnector::edgeConnectorStatus);
    QSignalSpy oFailed(&m_oClient, &CEdgeConnector::edgeUploadFailed);
    QSignalSpy oFinished(&m_oClient, &CEdgeConnector::edgeUploadFinished);
    ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", QByteArray(200000, 'x')));
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFinished.size() == 1; }));
    EXPECT_EQ(oFailed.size(), 1);
    ASSERT_GE(oStatus.size(), 1);
    EXPECT_EQ(oStatus.last().at(1).toInt(), 2);
    EXPECT_FALSE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
}

TEST_F(EdgeConnectorTest, SuccessCountsOnTheAnswerNotOnTheLastByte)
{
    m_oPeer.delayMs = 400;
    QSignalSpy oStatus(&m_oClient, &CEdgeConnector::edgeConnectorStatus);
    QSignalSpy oProgress(&m_oClient, &CEdgeConnector::edgeTransferProgress);
    QSignalSpy oFinished(&m_oClient, &CEdgeConnector::edgeUploadFinished);
    ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
    ASSERT_TRUE(waitRequests(1)); // the whole body has arrived; the answer is still to come
    EXPECT_TRUE(oStatus.isEmpty());
    EXPECT_TRUE(oFinished.isEmpty());
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFinished.size() == 1; }));
    ASSERT_EQ(oStatus.size(), 1);
    EXPECT_EQ(oStatus.last().at(1).toInt(), 1);
    EXPECT_EQ(oStatus.last().at(0).toString(), "Connected and sending data to Virelle Connector.");
    ASSERT_FALSE(oProgress.isEmpty());
    EXPECT_EQ(oProgress.last().at(0), oProgress.last().at(1));
    EXPECT_EQ(oProgress.last().at(2).toString(), "a.dat");
}

// A collector that answers without end, or not at all, makes a failed upload within the limits:
// the client's memory does not follow the endless body.
TEST_F(EdgeConnectorTest, EndlessOrMissingAnswersFailWithinTheLimits)
{
    m_oClient.setReplyLimits(64 * 1024, 1500);
    for (const HttpPeer::Answer eAnswer : {HttpPeer::Answer::EndlessBody, HttpPeer::Answer::Silent}) {
        m_oPeer.answer = eAnswer;
        m_oClient.resetHasError();
        QSignalSpy oFailed(&m_oClient, &CEdgeConnector::edgeUploadFailed);
        QSignalSpy oFinished(&m_oClient, &CEdgeConnector::edgeUploadFinished);
        QElapsedTimer oClock;
        oClock.start();
        ASSERT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
        ASSERT_TRUE(corvtest::waitUntil([&] { return oFinished.size() == 1; }, 5000));
        EXPECT_EQ(oFailed.size(), 1);
        // The endless body is cut at the size limit, long before the time limit.
        if (eAnswer == HttpPeer::Answer::EndlessBody)
            EXPECT_LT(oClock.elapsed(), 1000);
        else
            EXPECT_GE(oClock.elapsed(), 1400);
    }
}

TEST_F(EdgeConnectorTest, KillTrafficSendsNothing)
{
    m_oClient.setKillNetworkTraffic(true);
    QSignalSpy oTransfered(&m_oClient, &CEdgeConnector::edgeFileTransfered);
    QSignalSpy oStatus(&m_oClient, &CEdgeConnector::edgeConnectorStatus);
    EXPECT_TRUE(m_oClient.sendDataToVirelle("a.dat", 0, "", "abc"));
    EXPECT_TRUE(m_oClient.sendFileToVirelle(__FILE__, "", {}));
    corvtest::waitUntil([] { return false; }, 200);
    EXPECT_EQ(m_oPeer.connections, 0);
    EXPECT_TRUE(oTransfered.isEmpty());
    EXPECT_TRUE(oStatus.isEmpty());
}

struct TopicCase {
    const char* name;
    const char* vessel;
    const char* topic;
};

class EdgeTopic : public ::testing::TestWithParam<TopicCase> {};

TEST_P(EdgeTopic, FromFileName)
{
    EXPECT_EQ(CEdgeConnector::topicForFile(GetParam().name, GetParam().vessel), QString::fromUtf8(GetParam().topic))
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Table, EdgeTopic, ::testing::Values(
    TopicCase{"a.dat", "", ""},
    TopicCase{"C:/x/edgePUStatus_S1.dat", "V", "/QELBinary/PU_Status"},
    TopicCase{"edgeNumDispDdsEx_S1.dat", "V", "/QELBinary/NUM_DISP_D"},
    TopicCase{"edgeMainApp31_S1.dat", "V", ""},
    TopicCase{"edgeSidescan_S1.dat", "", "/QELBinary/PING_DISP"},
    TopicCase{"edgeUlmaExec_S1.dat", "V7", "/V7/QELBinary/QEL_REMOTE_CMD"},
    TopicCase{"edgeCopyParams_S1.dat", "", "/QELBinary/TVCON_REMOTE_CMD"},
    TopicCase{"C:\\plans\\line_1.asciiplan", "V7", "/V7/QELBinary/QEL_REMOTE_CMD"},
    TopicCase{"line.asciiplan", "", "/QELBinary/QEL_REMOTE_CMD"},
    TopicCase{"D:/g/qel_projv6.txt", "", "/QELBinary/Terrain_Proj"},
    TopicCase{"GridIndex.properties", "", "/QELBinary/Terrain_Prop"},
    TopicCase{"tile_5.tiff", "", "/QELBinary/Terrain"},
    TopicCase{"a_b.7z", "", "/QELBinary/XYZ7z"},
    TopicCase{"x_y.asvp", "", "/QELBinary/asvp"},
    TopicCase{"s_1.shipstrack", "", "/QELBinary/shiptrack"},
    TopicCase{"s_1.SHIPSTRACK", "", ""},
    TopicCase{"tiff", "", ""}));

} // namespace
