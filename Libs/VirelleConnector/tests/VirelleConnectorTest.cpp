// The folder uploader on a temporary folder tree against a loopback collector: watched folders,
// growing files, archives marked as sent, collection of pending files, retries and batches.
#include "Common/GuiIni.h"
#include "HttpPeer.h"
#include "QelRecord/QelData.h"
#include "VirelleConnector/EdgeConnector.h"
#include "VirelleConnector/VirelleConnector.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& data, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(mode)) << path.toStdString();
    file.write(data);
}

void setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

class VirelleConnectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        ASSERT_TRUE(m_oDir.isValid());
        m_oClient.setHostPort(m_oPeer.port());
        m_oUploader.setEdgeConnector(&m_oClient);
        m_oUploader.setVesselId("V1");
        m_oUploader.setSettleInterval(100);
    }

    QString path(const QString& relative) const { return QDir(m_oDir.path()).filePath(relative); }

    // Names (record MessageType) of every upload so far, in arrival order.
    QStringList uploadedNames() const
    {
        QStringList lstNames;
        for (const HttpPeer::Request& oRequest : m_oPeer.requests) {
            const HttpPeer::Upload oUp = HttpPeer::decode(oRequest.body);
            lstNames << (oUp.record ? oUp.record->MessageType : QStringLiteral("<bad>"));
        }
        return lstNames;
    }

    void settle(int ms = 400) { corvtest::waitUntil([] { return false; }, ms); }

    QTemporaryDir m_oDir;
    HttpPeer m_oPeer;
    CEdgeConnector m_oClient;
    CVirelleConnector m_oUploader;
};

TEST_F(VirelleConnectorTest, WatchedTracksFolderUploadsNewFilesOnce)
{
    const QString strFolder = path("survey/tracks");
    writeFile(strFolder + "/a.shipstrack", "track a");
    writeFile(strFolder + "/b.shipstrack", "track b");
    writeFile(strFolder + "/c.asvp", "not for this folder");

    m_oUploader.pathChanged(strFolder);
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 2; }));
    QStringList lstNames = uploadedNames();
    lstNames.sort();
    EXPECT_EQ(lstNames, QStringList({strFolder + "/a.shipstrack", strFolder + "/b.shipstrack"}));
    const HttpPeer::Upload oUp = HttpPeer::decode(m_oPeer.requests.first().body);
    EXPECT_EQ(oUp.topic, "/QELBinary/shiptrack");
    EXPECT_EQ(oUp.record->VesselID, "V1");

    m_oUploader.pathChanged(strFolder);
    settle();
    EXPECT_EQ(m_oPeer.requests.size(), 2);

    writeFile(strFolder + "/b.shipstrack", " more", QIODevice::Append);
    m_oUploader.pathChanged(strFolder);
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 3; }));
    EXPECT_EQ(HttpPeer::decode(m_oPeer.requests.last().body).record->Data, "track b more");
}

TEST_F(VirelleConnectorTest, GrowingFileIsUploadedOnceComplete)
{
    const QString strFolder = path("probe");
    m_oUploader.setSettleInterval(1000);
    writeFile(strFolder + "/p.asvp", "first half,");
    m_oUploader.pathChanged(strFolder);
    settle(100);
    writeFile(strFolder + "/p.asvp", "second half", QIODevice::Append); // no folder change seen
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() >= 1; }));
    settle(1500);
    ASSERT_EQ(m_oPeer.requests.size(), 1);
    EXPECT_EQ(HttpPeer::decode(m_oPeer.requests.first().body).record->Data, "first half,second half");
}

TEST_F(VirelleConnectorTest, ArchiveIsMarkedSentAfterTheCollectorAnswered)
{
    const QString strFolder = path("Data/xyz_out");
    writeFile(strFolder + "/line1.part.7z", "archive");
    m_oUploader.pathChanged(strFolder);
    ASSERT_TRUE(corvtest::waitUntil([&] { return QFile::exists(strFolder + "/line1_sent.7z"); }));
    EXPECT_FALSE(QFile::exists(strFolder + "/line1.part.7z"));
    EXPECT_EQ(uploadedNames(), QStringList{strFolder + "/line1.part.7z"});
    EXPECT_EQ(HttpPeer::decode(m_oPeer.requests.first().body).topic, "/QELBinary/XYZ7z");

    m_oUploader.pathChanged(strFolder);
    settle();
    EXPECT_EQ(m_oPeer.requests.size(), 1);
}

TEST_F(VirelleConnectorTest, FailedWatchedUploadIsRetried)
{
    const QString strFolder = path("XYZ");
    writeFile(strFolder + "/l.7z", "archive");
    m_oPeer.status = 500;
    QSignalSpy oFailed(&m_oClient, &CEdgeConnector::edgeUploadFailed);
    m_oUploader.pathChanged(strFolder);
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFailed.size() == 1; }));
    settle(300); // the client's gate is closed: nothing is sent, the file stays as it is
    EXPECT_EQ(m_oPeer.requests.size(), 1);
    EXPECT_TRUE(QFile::exists(strFolder + "/l.7z"));

    m_oPeer.status = 200;
    m_oClient.resetHasError();
    ASSERT_TRUE(corvtest::waitUntil([&] { return QFile::exists(strFolder + "/l_sent.7z"); }));
    EXPECT_EQ(m_oPeer.requests.size(), 2);
}

class VirelleCollectTest : public VirelleConnectorTest {
protected:
    void SetUp() override
    {
        VirelleConnectorTest::SetUp();
        m_strTerrain = path("survey/terrain");
        m_strSecond = path("other/second");
        writeFile(m_strTerrain + "/zMedian/a.tiff", "A");
        writeFile(m_strTerrain + "/zMedian/b.tiff", "B");
        writeFile(path("survey/GridIndex.properties"), "index");
        writeFile(path("survey/qel_projv6.txt"), "proj");
        writeFile(path("other/GridIndex.properties"), "wrong index");
        writeFile(m_strSecond + "/notes.txt", "notes");
        const QDateTime oOld = QDateTime::currentDateTime().addSecs(-3600);
        for (const QString& strFile : {m_strTerrain + "/zMedian/a.tiff", m_strTerrain + "/zMedian/b.tiff",
                                       m_strSecond + "/notes.txt"})
            setModified(strFile, oOld);
        m_oUploader.setTerrainFolder(m_strTerrain);
        m_oUploader.setSecondFolder(m_strSecond);
    }

    // Record name and data of every upload, by source name without tile number.
    QMultiMap<QString, QByteArray> uploads() const
    {
        QMultiMap<QString, QByteArray> mapOut;
        for (const HttpPeer::Request& oRequest : m_oPeer.requests) {
            const HttpPeer::Upload oUp = HttpPeer::decode(oRequest.body);
            mapOut.insert(QFileInfo(oUp.record->MessageType).fileName().section('_', 0, 0), oUp.record->Data);
        }
        return mapOut;
    }

    QString m_strTerrain;
    QString m_strSecond;
};

TEST_F(VirelleCollectTest, TilesAreSentOnceUntilChangedBeyondQuarantine)
{
    m_oUploader.setDataKinds({CVirelleConnector::s_nKindTerrain});
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 4; }));
    const QMultiMap<QString, QByteArray> mapFirst = uploads();
    EXPECT_EQ(mapFirst.value("a"), "A");
    EXPECT_EQ(mapFirst.value("b"), "B");
    EXPECT_EQ(mapFirst.value("GridIndex.properties"), "index"); // beside the terrain folder
    EXPECT_EQ(mapFirst.value("qel"), "proj");
    EXPECT_EQ(GuiIni::value("REMOTESETTINGS", "SENDFILE_QUARANTINE_SEC", QVariant()).toInt(), 30);

    // Unchanged tiles are not read again; the index and projection files go with every transfer.
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 6; }));
    settle(200);
    EXPECT_EQ(m_oPeer.requests.size(), 6);

    // A tile rewritten more than the quarantine after its recorded send is taken again.
    ASSERT_TRUE(GuiIni::setValue("REMOTESETTINGS", "SENDFILE_QUARANTINE_SEC", 5));
    const QString strA = m_strTerrain + "/zMedian/a.tiff";
    setModified(strA, QDateTime::fromSecsSinceEpoch(m_oUploader.collector().sentTime(strA) + 6));
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 9; }));
    EXPECT_EQ(uploads().values("a").size(), 2);
    EXPECT_EQ(uploads().values("b").size(), 1);
}

TEST_F(VirelleCollectTest, BothKindsAreSent)
{
    m_oUploader.setDataKinds({CVirelleConnector::s_nKindTerrain, CVirelleConnector::s_nKindSecondFolder});
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 5; }));
    const QMultiMap<QString, QByteArray> mapUp = uploads();
    EXPECT_TRUE(mapUp.contains("a") && mapUp.contains("b"));
    EXPECT_EQ(mapUp.value("notes.txt"), "notes");
}

TEST_F(VirelleCollectTest, RefusedAndFailedUploadsAreCollectedAgain)
{
    m_oUploader.setDataKinds({CVirelleConnector::s_nKindSecondFolder});
    // A failed answer closes the client's gate for the rest of its period.
    m_oPeer.status = 500;
    QSignalSpy oFailed(&m_oClient, &CEdgeConnector::edgeUploadFailed);
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return oFailed.size() == 1; }));
    m_oUploader.transferFileDataInternal(); // refused by the closed gate
    settle(200);
    EXPECT_EQ(m_oPeer.requests.size(), 1);

    m_oPeer.status = 200;
    m_oClient.resetHasError();
    m_oUploader.transferFileDataInternal();
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 2; }));
    EXPECT_EQ(uploads().values("notes.txt").size(), 2);
}

TEST_F(VirelleConnectorTest, BatchIsNumberedInPathOrder)
{
    QSignalSpy oTransfered(&m_oClient, &CEdgeConnector::edgeFileTransfered);
    m_oUploader.startBatch({{"c.dat", "3"}, {"a.dat", "1"}, {"b.dat", "2"}}, 10);
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 3; }));
    QStringList lstNames = uploadedNames();
    lstNames.sort();
    EXPECT_EQ(lstNames, QStringList({"a.dat@1:3", "b.dat@2:3", "c.dat@3:3"}));
    ASSERT_EQ(oTransfered.size(), 3);
    EXPECT_EQ(oTransfered.at(0).at(0).toString(), "a.dat");
}

TEST_F(VirelleConnectorTest, SettingsAreWrittenWhenMissing)
{
    EXPECT_FALSE(GuiIni::value("RUNTIME", "GRIDENGINE", QVariant()).isValid());
    EXPECT_EQ(m_oUploader.getGEType(), 1);
    EXPECT_EQ(GuiIni::value("RUNTIME", "GRIDENGINE", QVariant()).toInt(), 1);
    EXPECT_EQ(m_oUploader.getSendfileQuarantine(), 30);
    ASSERT_TRUE(GuiIni::setValue("REMOTESETTINGS", "SENDFILE_QUARANTINE_SEC", "soon"));
    EXPECT_EQ(m_oUploader.getSendfileQuarantine(), 0);
}

} // namespace
