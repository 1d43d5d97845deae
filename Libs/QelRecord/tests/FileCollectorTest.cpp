// Collecting the files due to be sent: the filter and terrain rules, the change rule and the
// byte limit.
#include "QelRecord/FileCollector.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class FileCollectorTest : public ::testing::Test {
protected:
    QString write(const QString& strRelative, const QByteArray& baData, qint64 nModified = 0)
    {
        const QString strPath = m_oRoot.filePath(strRelative);
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        QFile oFile(strPath);
        EXPECT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        oFile.write(baData);
        oFile.flush();
        if (nModified) {
            EXPECT_TRUE(oFile.setFileTime(QDateTime::fromSecsSinceEpoch(nModified), QFileDevice::FileModificationTime));
        }
        return QFileInfo(strPath).absoluteFilePath();
    }

    QTemporaryDir m_oRoot;
};

TEST_F(FileCollectorTest, FilterAndTerrainRules)
{
    const QString strTile = write(QStringLiteral("s1/Terrain/zMedian/3/1/a.tiff"), "t");
    const QString strOther = write(QStringLiteral("s1/terrain/zMax/3/1/b.tiff"), "t");
    const QString strLoose = write(QStringLiteral("s1/misc/c.tiff"), "t");
    write(QStringLiteral("s1/Terrain/zMedian/3/1/notes.txt"), "n");

    CFileCollector oCollector;
    const auto oAll = oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), false, false, 0);
    EXPECT_EQ(oAll.files.keys(), QStringList({strTile, strLoose, strOther}));

    const auto oTerrain = oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), false, true, 0);
    EXPECT_EQ(oTerrain.files.keys(), QStringList({strTile, strLoose}));
    EXPECT_EQ(oTerrain.files.value(strTile), QByteArray("t"));
    EXPECT_TRUE(oCollector.collect(QString(), QStringLiteral("*.tiff"), false, false, 0).files.isEmpty());
}

TEST_F(FileCollectorTest, OnlyChangedFilesAfterTheQuarantineAndOnlyWhenMarked)
{
    const qint64 nNow = QDateTime::currentSecsSinceEpoch();
    const QString strTile = write(QStringLiteral("a.tiff"), "1", nNow - 100);
    CFileCollector oCollector;
    auto oFirst = oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0);
    ASSERT_EQ(oFirst.files.size(), 1);
    EXPECT_EQ(oFirst.modified.value(strTile), nNow - 100);
    // Nothing is recorded until the caller says it was sent.
    EXPECT_EQ(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.size(), 1);
    oCollector.markAllSent(oFirst);
    EXPECT_TRUE(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.isEmpty());

    const struct {
        qint64 nLater;
        bool bTaken;
    } aCases[] = {{20, false}, {30, false}, {31, true}, {40, true}};
    for (const auto& oCase : aCases) {
        write(QStringLiteral("a.tiff"), "2", nNow - 100 + oCase.nLater);
        EXPECT_EQ(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.size(),
                  oCase.bTaken ? 1 : 0)
            << oCase.nLater;
    }
    // The quarantine comes from the owner.
    oCollector.quarantineSeconds = [] { return qint64(60); };
    EXPECT_TRUE(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.isEmpty());
    oCollector.forgetSent();
    EXPECT_EQ(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.size(), 1);
    // The age limit.
    write(QStringLiteral("a.tiff"), "2", nNow - 500);
    EXPECT_TRUE(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), false, false, 1).files.isEmpty());
    write(QStringLiteral("b.tiff"), "3");
    EXPECT_EQ(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), false, false, 1).files.size(), 1);
}

TEST_F(FileCollectorTest, StopsAfterTheFileThatCrossesTheByteLimit)
{
    const QByteArray baTile(20000000, 'x');
    for (const char* szName : {"1.tiff", "2.tiff", "3.tiff", "4.tiff"})
        write(QString::fromLatin1(szName), baTile);
    CFileCollector oCollector;
    const auto oFirst = oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0);
    EXPECT_EQ(oFirst.files.size(), 3);
    oCollector.markAllSent(oFirst);
    // The rest follows on the next collection.
    EXPECT_EQ(oCollector.collect(m_oRoot.path(), QStringLiteral("*.tiff"), true, false, 0).files.size(), 1);
}

TEST_F(FileCollectorTest, AFileAboveTheLimitIsSkippedWithoutBeingRead)
{
    // Sparse files: their size is known without a byte on disk.
    const struct {
        qint64 nSize;
        bool bTaken;
    } aCases[] = {{CFileCollector::s_nMaxTotalBytes, true},
                  {CFileCollector::s_nMaxTotalBytes + 1, false},
                  {qint64(64) << 30, false}};
    for (const auto& oCase : aCases) {
        QTemporaryDir oRoot;
        const QString strBig = oRoot.filePath(QStringLiteral("a.tiff"));
        {
            QFile oFile(strBig);
            ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
            ASSERT_TRUE(oFile.resize(oCase.nSize)) << oFile.errorString().toStdString();
        }
        QFile oSmall(oRoot.filePath(QStringLiteral("b.tiff")));
        ASSERT_TRUE(oSmall.open(QIODevice::WriteOnly));
        oSmall.write("t");
        oSmall.close();

        CFileCollector oCollector;
        const auto oGot = oCollector.collect(oRoot.path(), QStringLiteral("*.tiff"), true, false, 0);
        const QString strBigPath = QFileInfo(strBig).absoluteFilePath();
        EXPECT_EQ(oGot.files.contains(strBigPath), oCase.bTaken) << oCase.nSize;
        EXPECT_EQ(oGot.files.value(strBigPath).size(), oCase.bTaken ? oCase.nSize : 0);
        // A skipped file is not recorded, and the rest of the folder is still collected.
        EXPECT_EQ(oGot.modified.contains(strBigPath), oCase.bTaken);
        EXPECT_TRUE(oGot.files.contains(QFileInfo(oSmall).absoluteFilePath()));
    }
}

} // namespace
