// What the main window asks of the runtime link and the track loader: request sentences to the
// sounder runtime as they arrive on its port, and ship-track files read into track records.
#include "TqelRuntime/HandleTracks.h"
#include "TqelRuntime/UlmaRuntime.h"

#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

#include <cmath>

namespace {

bool writeFile(const QString& strPath, const QByteArray& baContent)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

// The sounder runtime's request port on this machine.
TEST(UlmaRuntimeRequests, SentencesAsTheSounderRuntimeReceivesThem)
{
    corvtest::prepareScratch();
    platform::ensureWindowsEnvironment();
    QUdpSocket oRuntime;
    ASSERT_TRUE(oRuntime.bind(QHostAddress(QHostAddress::LocalHost), 4002));
    CUlmaRuntime* poLink = CUlmaRuntime::instance(4);
    ASSERT_NE(poLink, nullptr);
    ASSERT_TRUE(poLink->activeSounder().isEmpty());

    struct Case {
        int nType;
        const char* szArgs;
        QByteArray baExpected;
    };
    const Case aCases[] = {
        // Without an active sounder these send the unfinished start of the sentence.
        {480, "S1;S2", "$TVQEL,450,default,"},
        {465, "1", "$TVQEL,450,default,"},
        {452, "RUN", "$TVQEL,450,default,452,RUN\n\r"},
        {453, "ignored", "$TVQEL,450,default,453,\n\r"},
        {1472, "a", "$TVQEL,450,default,1472,,a\n\r"},
        {485, "PAYLOAD", "$TVQEL,450,default,PAYLOAD\n\r"},
        {999, "x,y", "$TVQEL,450,default,999,x,y\n\r"},
        {998, "", "$TVQEL,450,default,998\n\r"},
        {10, "", "$QXR10,ULMAX=0,ROP=,SID=,PLN=,PLL=,COM=*00\r\n"},
        {12, "", "$QXR12,ULMAX=0,ROP=,SID=,PLN=,PLL=,COM=*00\r\n"},
        // Model names of the runtime's own spelling.
        {999, "2200C;2200P", "$TVQEL,450,default,999,2205;2201\n\r"},
    };
    for (const Case& oCase : aCases) {
        poLink->sendRequestToUlmaexec(oCase.nType, QLatin1String(oCase.szArgs), false);
        ASSERT_TRUE(corvtest::waitUntil([&] { return oRuntime.hasPendingDatagrams(); }, 5000)) << oCase.nType;
        EXPECT_EQ(oRuntime.receiveDatagram().data(), oCase.baExpected) << oCase.nType;
    }
    EXPECT_FALSE(oRuntime.hasPendingDatagrams());
}

class TrackFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        m_strFolder = corvtest::scratchDir() + QStringLiteral("/tracks");
        QDir(m_strFolder).removeRecursively();
    }

    static QByteArray header(qint32 nHeading, qint32 nSpeed)
    {
        QByteArray baHeader(8, '\x7f');
        baHeader.append(le(nHeading));
        baHeader.append(le(nSpeed));
        return baHeader;
    }
    static QByteArray point(qint32 nNorth, qint32 nEast)
    {
        QByteArray baPoint(8, '\x55');
        baPoint.append(le(nNorth));
        baPoint.append(le(nEast));
        return baPoint;
    }
    static QByteArray le(qint32 nValue)
    {
        QByteArray baValue(4, '\0');
        qToLittleEndian(nValue, baValue.data());
        return baValue;
    }

    QString m_strFolder;
};

TEST_F(TrackFilesTest, RecordsOfTheTrackFilesInOrder)
{
    const QString strTwo = m_strFolder + QStringLiteral("/Line 2.shipstrack");
    const QString strEmpty = m_strFolder + QStringLiteral("/empty.shipstrack");
    const QString strCut = m_strFolder + QStringLiteral("/cut.shipstrack");
    const QString strCoverage = m_strFolder + QStringLiteral("/Line 2.coverage");
    // 48 bytes: two points, the second relative to the first.
    ASSERT_TRUE(writeFile(strTwo, header(271, -150) + point(123456789, 98765432) + point(123456889, 98765232)));
    // 16 bytes: no points.
    ASSERT_TRUE(writeFile(strEmpty, header(5, 6)));
    // 40 bytes: one point, the 8 bytes after it ignored.
    ASSERT_TRUE(writeFile(strCut, header(0, 0) + point(100, 200) + QByteArray(8, '\x01')));
    ASSERT_TRUE(writeFile(strCoverage, "not read"));

    const TrackSet* poSet = CHandleTracks::instance()->loadTracks({strTwo, strCoverage, strEmpty, strCut});
    ASSERT_NE(poSet, nullptr);
    ASSERT_EQ(poSet->size(), 3u);

    const TrackRecord& oTwo = poSet->at(0);
    EXPECT_EQ(oTwo.name, QByteArray("Line 2"));
    EXPECT_EQ(oTwo.averageHeading, 271);
    EXPECT_EQ(oTwo.averageSpeed, -150);
    EXPECT_DOUBLE_EQ(oTwo.originNorth, 1234567.89);
    EXPECT_DOUBLE_EQ(oTwo.originEast, 987654.32);
    ASSERT_EQ(oTwo.pointCount(), 2);
    const float afExpected[] = {0, 0, 0, -2.0f, 1.0f, 0};
    ASSERT_EQ(oTwo.points.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(oTwo.points[i], afExpected[i]) << i;
    EXPECT_EQ(oTwo.indices, (std::vector<std::int32_t>{0, 1}));
    EXPECT_TRUE(oTwo.secondaryPoints.empty());
    // The survey manager's default track-line colour, 0x7F7F7F (alpha byte dropped).
    EXPECT_FLOAT_EQ(oTwo.lineColour[0], 0x7F / 255.0f);
    EXPECT_FLOAT_EQ(oTwo.secondColour[2], 0x00 / 255.0f);

    EXPECT_EQ(poSet->at(1).name, QByteArray("empty"));
    EXPECT_EQ(poSet->at(1).pointCount(), 0);
    EXPECT_EQ(poSet->at(1).averageSpeed, 6);
    EXPECT_EQ(poSet->at(2).pointCount(), 1);
    EXPECT_DOUBLE_EQ(poSet->at(2).originEast, 2.0);

    // One unreadable file: no set, and nothing is handed on.
    EXPECT_EQ(CHandleTracks::instance()->loadTracks({strTwo, m_strFolder + QStringLiteral("/gone.shipstrack")}), nullptr);
    // Only coverage files: an empty set.
    const TrackSet* poCoverage = CHandleTracks::instance()->loadTracks({strCoverage});
    ASSERT_NE(poCoverage, nullptr);
    EXPECT_TRUE(poCoverage->empty());
    EXPECT_FALSE(CHandleTracks::instance()->openTracks(nullptr));
    QString strNames = QStringLiteral("kept");
    EXPECT_FALSE(CHandleTracks::instance()->updateTracks(nullptr, strNames));
    EXPECT_EQ(strNames, QStringLiteral("kept"));
}

// A damaged or sparse file of any size is read in bounded steps: a track keeps a million points,
// a load four million, whatever the files' sizes claim.
TEST_F(TrackFilesTest, HugeFilesKeepABoundedNumberOfPoints)
{
    QStringList lstPaths;
    for (int i = 0; i < 5; ++i) {
        const QString strPath = m_strFolder + QStringLiteral("/huge%1.shipstrack").arg(i);
        ASSERT_TRUE(writeFile(strPath, header(1, 2) + point(500, 700)));
        QFile oFile(strPath);
        if (!oFile.resize(qint64(64) << 30))
            GTEST_SKIP() << "no sparse files here";
        lstPaths << strPath;
    }
    const TrackSet* poSet = CHandleTracks::instance()->loadTracks(lstPaths);
    ASSERT_NE(poSet, nullptr);
    ASSERT_EQ(poSet->size(), 5u);
    const int anExpected[] = {1000000, 1000000, 1000000, 1000000, 0};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(poSet->at(i).pointCount(), anExpected[i]) << i;
        EXPECT_EQ(poSet->at(i).indices.size(), static_cast<std::size_t>(anExpected[i])) << i;
        EXPECT_EQ(poSet->at(i).averageSpeed, 2);
    }
    EXPECT_DOUBLE_EQ(poSet->at(0).originEast, 7.0);
    // The zero records after the first point lie at minus the origin.
    EXPECT_FLOAT_EQ(poSet->at(0).points[3], -7.0f);
    EXPECT_EQ(poSet->at(0).indices.back(), 999999);
}

} // namespace
