// A main station's runtime link sharing its current survey with remote stations: which tiles,
// projection files and plans go out, and when.
#include "TqelRuntime/UlmaRuntime.h"

#include "MapView/QaSurveyManager.h"
#include "QelRecord/QelData.h"
#include "cvnsocktcp/client.h"
#include "cvnsocktcp/io_thread.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QThread>

#include <mutex>

namespace {

using namespace std::chrono_literals;

// A remote station built from the link library: the names of what it received, in order.
class Station {
public:
    explicit Station(ua::cvnsocktcp::io_thread& io) : m_handle(ua::cvnsocktcp::client_handle::make(io.context(), 100ms))
    {
        m_handle->set_data_callback([this](std::string* pPayload) {
            std::unique_ptr<std::string> poPayload(pPayload);
            const auto poRecord = CQelData::deserialize(poPayload->data(), poPayload->size());
            std::lock_guard<std::mutex> oLock(m_mutex);
            m_lstNames << (poRecord ? poRecord->SourcePath.section(QLatin1Char('/'), -2) + QLatin1Char('/') + poRecord->MessageType
                                    : QStringLiteral("<bad>"));
        });
        m_handle->connect("127.0.0.1:16655");
    }
    int count()
    {
        std::lock_guard<std::mutex> oLock(m_mutex);
        return m_lstNames.size();
    }
    // Waits for 'count' records and takes them.
    QStringList take(int nCount)
    {
        corvtest::waitUntil([&] {
            std::lock_guard<std::mutex> oLock(m_mutex);
            return m_lstNames.size() >= nCount;
        });
        std::lock_guard<std::mutex> oLock(m_mutex);
        const QStringList lstNames = m_lstNames;
        m_lstNames.clear();
        return lstNames;
    }

private:
    std::mutex m_mutex;
    QStringList m_lstNames;
    // Last, so it goes first: its callback writes to the members above until the handle is gone.
    std::unique_ptr<ua::cvnsocktcp::client_handle> m_handle;
};

QString native(const QString& strWindows)
{
    return platform::toNativePath(strWindows);
}

void writeFile(const QString& strWindows, const QByteArray& baData, qint64 nModified = 0)
{
    const QString strPath = native(strWindows);
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    oFile.write(baData);
    oFile.flush();
    if (nModified) {
        ASSERT_TRUE(oFile.setFileTime(QDateTime::fromSecsSinceEpoch(nModified), QFileDevice::FileModificationTime));
    }
}

class RemoteSenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        s_poLink = CUlmaRuntime::instance(0);
    }
    static CUlmaRuntime* s_poLink;
};
CUlmaRuntime* RemoteSenderTest::s_poLink = nullptr;

const char* const s_szSurvey = "C:/qeldata/Surveys/S1";

TEST_F(RemoteSenderTest, StationsGetProjectionFilesTilesOfTheFinestLevelAndPlans)
{
    const QString strSurvey = QLatin1String(s_szSurvey);
    const qint64 nOld = QDateTime::currentSecsSinceEpoch() - 1000;
    writeFile(strSurvey + "/qel_projv6.txt", "<QEL_Projection>\nEPSG:4326\n+proj=utm +zone=32\n");
    writeFile(strSurvey + "/GridIndex.properties", "levels=10\n");
    writeFile(strSurvey + "/Terrain/zMedian/2/0/coarse.tiff", "c", nOld);
    writeFile(strSurvey + "/Terrain/zMedian/10/4/b.tiff", "b", nOld);
    writeFile(strSurvey + "/Terrain/zMedian/10/3/a.tiff", "a", nOld);
    writeFile(strSurvey + "/Terrain/zMedian/10/3/skip.txt", "x", nOld);
    QDir().mkpath(native(strSurvey + "/Terrain/zMedian/notanumber"));
    CQaSurveyManager::instance()->setCurrentSurvey(strSurvey);

    ua::cvnsocktcp::io_thread oIo;
    oIo.start();
    // Nothing goes out, and nothing counts as sent, while no station listens.
    s_poLink->sendGrids();

    Station oFirst(oIo);
    EXPECT_EQ(oFirst.take(2), QStringList({"Surveys/S1/qel_projv6.txt", "Surveys/S1/GridIndex.properties"}));

    s_poLink->sendGrids();
    EXPECT_EQ(oFirst.take(2), QStringList({"10/3/a.tiff", "10/4/b.tiff"}));

    // Sent tiles go again only when changed more than 30 s after their last send.
    writeFile(strSurvey + "/Terrain/zMedian/10/3/a.tiff", "a2", nOld + 20);
    writeFile(strSurvey + "/Terrain/zMedian/10/4/b.tiff", "b2", nOld + 40);
    s_poLink->sendGrids();
    EXPECT_EQ(oFirst.take(1), QStringList({"10/4/b.tiff"}));

    s_poLink->sendFileToRemoteStations(QStringLiteral("C:/qeldata/plans/corv.asciiplan")); // missing: nothing
    writeFile(QStringLiteral("C:/qeldata/plans/corv.asciiplan"), "PLAN");
    s_poLink->sendFileToRemoteStations(QStringLiteral("C:/qeldata/plans/corv.asciiplan"));
    EXPECT_EQ(oFirst.take(1), QStringList({"qeldata/plans/corv.asciiplan"}));

    // A station that comes late gets the projection files (once per station in the list, each
    // time to every station) and, with the next tick, every tile of the finest level; so does
    // the one that was there.
    Station oLate(oIo);
    const QStringList lstTwice{"Surveys/S1/qel_projv6.txt", "Surveys/S1/GridIndex.properties",
                               "Surveys/S1/qel_projv6.txt", "Surveys/S1/GridIndex.properties"};
    EXPECT_EQ(oLate.take(4), lstTwice);
    EXPECT_EQ(oFirst.take(4), lstTwice);
    s_poLink->sendGrids();
    EXPECT_EQ(oLate.take(2), QStringList({"10/3/a.tiff", "10/4/b.tiff"}));
    EXPECT_EQ(oFirst.take(2), QStringList({"10/3/a.tiff", "10/4/b.tiff"}));
}

TEST_F(RemoteSenderTest, WithoutAProjectionFileNothingIsSentToANewStation)
{
    CQaSurveyManager::instance()->setCurrentSurvey(QStringLiteral("C:/qeldata/Surveys/Empty"));
    writeFile(QStringLiteral("C:/qeldata/Surveys/Empty/GridIndex.properties"), "levels=1\n");
    // Files too large for a frame are not sent either; the next one still is.
    writeFile(QStringLiteral("C:/qeldata/Surveys/Empty/Terrain/zMedian/1/0/a.tiff"), QByteArray(8000000, 'a'));
    writeFile(QStringLiteral("C:/qeldata/Surveys/Empty/Terrain/zMedian/1/0/b.tiff"), "b");
    ua::cvnsocktcp::io_thread oIo;
    oIo.start();
    Station oStation(oIo);
    ASSERT_TRUE(corvtest::waitUntil([&] {
        s_poLink->sendGrids();
        return oStation.count() > 0;
    }));
    // The station may get b.tiff twice (its arrival resets what was sent); never a.tiff.
    QStringList lstNames = oStation.take(1);
    lstNames.removeDuplicates();
    EXPECT_EQ(lstNames, QStringList({"1/0/b.tiff"}));
}

// The planning side's hand-overs come from the GUI thread: they wait for the runtime thread, which
// writes every frame, and never hold their caller.
TEST_F(RemoteSenderTest, HandOversFromOtherThreadsAreWrittenOnTheRuntimeThread)
{
    const QString strSurvey = QStringLiteral("C:/qeldata/Surveys/Posted");
    writeFile(strSurvey + "/qel_projv6.txt", "<QEL_Projection>\nEPSG:4326\n+proj=utm +zone=32\n");
    writeFile(strSurvey + "/GridIndex.properties", "levels=1\n");
    writeFile(QStringLiteral("C:/qeldata/plans/posted.asciiplan"), "PLAN");
    CQaSurveyManager::instance()->setCurrentSurvey(strSurvey);
    ua::cvnsocktcp::io_thread oIo;
    oIo.start();
    Station oStation(oIo);
    oStation.take(2);

    QThread oRuntimeThread;
    s_poLink->moveToThread(&oRuntimeThread);
    oRuntimeThread.start();
    QSemaphore oHold;
    QMetaObject::invokeMethod(s_poLink, [&oHold] { oHold.acquire(); }, Qt::QueuedConnection);
    s_poLink->postFileToRemoteStations(QStringLiteral("C:/qeldata/plans/posted.asciiplan"));
    s_poLink->postProjectionFiles();
    corvtest::waitUntil([] { return false; }, 300);
    EXPECT_EQ(oStation.count(), 0);
    oHold.release();
    EXPECT_EQ(oStation.take(3), QStringList({"qeldata/plans/posted.asciiplan", "Surveys/Posted/qel_projv6.txt",
                                             "Surveys/Posted/GridIndex.properties"}));

    QThread* poMain = QThread::currentThread();
    QMetaObject::invokeMethod(s_poLink, [poMain] { s_poLink->moveToThread(poMain); }, Qt::BlockingQueuedConnection);
    oRuntimeThread.quit();
    oRuntimeThread.wait();
}

} // namespace
