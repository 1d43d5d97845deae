// Processing-unit messages: the message table, and the runtime link's cache and relays.
#include "RecordingGuiSink.h"
#include "RuntimeTestLink.h"

#include "TqelRuntime/PuMsgModel.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QThread>
#include <QUdpSocket>

#include <memory>

namespace {

CPuMsg message(int nType, const QString& strDetail, qint64 nTime = 0)
{
    CPuMsg oMsg;
    oMsg.time = nTime;
    oMsg.type = nType;
    oMsg.text = QStringLiteral("text");
    oMsg.detail = strDetail;
    return oMsg;
}

TEST(PuMsgModel, RowsColumnsAndEdits)
{
    CPuMsgModel oModel;
    EXPECT_EQ(oModel.columnCount(), 4);
    const QStringList lstHeaders{"Time", "I/W/E", "Message", "Dismissed"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(oModel.headerData(i, Qt::Horizontal).toString(), lstHeaders.at(i));
    EXPECT_FALSE(oModel.headerData(0, Qt::Vertical).isValid());
    EXPECT_FALSE(oModel.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

    const qint64 nTime = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)).toMSecsSinceEpoch();
    oModel.append(message(13, "disk\nfull", nTime));
    oModel.append(message(7, "newest"));
    ASSERT_EQ(oModel.rowCount(), 2);
    EXPECT_EQ(oModel.data(oModel.index(0, 2)).toString(), QStringLiteral("newest"));
    EXPECT_EQ(oModel.data(oModel.index(0, 1)).toString(), QStringLiteral("I"));
    EXPECT_EQ(oModel.data(oModel.index(1, 0)).toString(), QStringLiteral("07:08:09"));
    EXPECT_EQ(oModel.data(oModel.index(1, 1)).toString(), QStringLiteral("Err."));
    EXPECT_EQ(oModel.data(oModel.index(1, 2)).toString(), QStringLiteral("disk full"));
    EXPECT_EQ(oModel.data(oModel.index(1, 3)).toBool(), false);
    EXPECT_FALSE(oModel.data(oModel.index(1, 2), Qt::ToolTipRole).isValid());
    EXPECT_FALSE(oModel.data(oModel.index(5, 2)).isValid());
    EXPECT_TRUE(oModel.flags(oModel.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(oModel.flags(QModelIndex()), Qt::ItemIsEnabled);

    // Edits: time, type and detail; the dismissed column only through removeRows.
    QSignalSpy oChanged(&oModel, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(oModel.setData(oModel.index(0, 1), 2));
    EXPECT_EQ(oModel.data(oModel.index(0, 1)).toString(), QStringLiteral("Warn."));
    EXPECT_TRUE(oModel.setData(oModel.index(0, 2), QStringLiteral("edited")));
    EXPECT_EQ(oModel.data(oModel.index(0, 2)).toString(), QStringLiteral("edited"));
    EXPECT_FALSE(oModel.setData(oModel.index(0, 3), true));
    EXPECT_FALSE(oModel.setData(oModel.index(0, 2), QStringLiteral("x"), Qt::DisplayRole));
    EXPECT_EQ(oChanged.size(), 2);
    QSignalSpy oRemoved(&oModel, &QAbstractItemModel::rowsRemoved);
    EXPECT_TRUE(oModel.removeRows(0, 1));
    EXPECT_EQ(oModel.rowCount(), 2);
    EXPECT_EQ(oRemoved.size(), 0);
    EXPECT_TRUE(oModel.data(oModel.index(0, 3)).toBool());
    EXPECT_TRUE(oModel.data(oModel.index(1, 3)).toBool());
}

TEST(PuMsgModel, GrowthStopsAndTheNewestIsReplaced)
{
    CPuMsgModel oModel;
    for (int i = 0; i < CPuMsgModel::MaxRows + 1; ++i)
        oModel.append(message(1, QString::number(i)));
    ASSERT_EQ(oModel.rowCount(), CPuMsgModel::MaxRows + 1);
    EXPECT_FALSE(oModel.insertRows(0, 1));
    oModel.append(message(1, QStringLiteral("late")));
    EXPECT_EQ(oModel.rowCount(), CPuMsgModel::MaxRows + 1);
    EXPECT_EQ(oModel.data(oModel.index(0, 2)).toString(), QStringLiteral("late"));
    EXPECT_EQ(oModel.data(oModel.index(1, 2)).toString(), QString::number(CPuMsgModel::MaxRows - 1));
}

// A worker on a thread of its own appends its message, then says it is done; the thread and the
// worker go as the runtime wires them.
TEST(PuMsgWorker, AppendsOnItsOwnThreadAndFinishes)
{
    CPuMsgModel oModel;
    auto* poThread = new QThread;
    auto* poWorker = new Worker(message(2, QStringLiteral("from the worker")), &oModel);
    poWorker->moveToThread(poThread);
    QObject::connect(poThread, &QThread::started, poWorker, &Worker::process);
    QObject::connect(poWorker, &Worker::finished, poThread, &QThread::quit);
    QObject::connect(poWorker, &Worker::finished, poWorker, &QObject::deleteLater);
    QSignalSpy oFinished(poWorker, &Worker::finished);
    QSignalSpy oThreadDone(poThread, &QThread::finished);
    poThread->start();
    ASSERT_TRUE(corvtest::waitUntil([&] { return !oThreadDone.isEmpty(); }));
    EXPECT_EQ(oFinished.size(), 1);
    ASSERT_EQ(oModel.rowCount(), 1);
    EXPECT_EQ(oModel.data(oModel.index(0, 2)).toString(), QStringLiteral("from the worker"));
    EXPECT_EQ(oModel.data(oModel.index(0, 1)).toString(), QStringLiteral("Warn."));
    poThread->wait();
    delete poThread;
}

TEST(PuMsgWorker, TheRuntimesDatabaseSlotConnectsByName)
{
    EXPECT_GE(CUlmaRuntime::staticMetaObject.indexOfSlot("initDB()"), 0);
}

class PuMessages : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        m_poRuntime = std::make_unique<CUlmaRuntime>(3, std::make_shared<RecordingGuiSink>());
        m_poRelays = std::make_unique<QSignalSpy>(m_poRuntime.get(), &CUlmaRuntime::relayToMapView);
    }

    QStringList message(const QByteArray& baSentence)
    {
        QByteArray baDatagram = baSentence + "\n\r";
        m_poRuntime->processUlmaExecDatagrams(baDatagram, QStringLiteral("127.0.0.1"));
        return relays();
    }
    QStringList relays() { return corvtest::takeRelays(*m_poRelays); }
    bool rowsArrive(int nRows)
    {
        return corvtest::waitUntil([&] { return m_poRuntime->puMsgModel()->rowCount() == nRows; });
    }

    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    std::unique_ptr<QSignalSpy> m_poRelays;
};

TEST_F(PuMessages, CacheRelaysAndRows)
{
    // The first message of a source above type 3 is cached and relayed once as 470.
    EXPECT_EQ(message("$TVQEL,470,PU1,1700000000000,13,Disk,disk"), (QStringList{"470:13;Disk;disk;PU1", "471:13;disk"}));
    EXPECT_EQ(message("$TVQEL,470,PU1,1700000000001,13,Disk,again"), QStringList{"471:13;again"});
    EXPECT_EQ(message("$TVQEL,470,PU2,5,2,low,warn"), QStringList{"471:2;warn"});
    // A field 2 in the reply range is a reply as well.
    EXPECT_EQ(message("$TVQEL,470,474,5,1,t,d"), (QStringList{"471:1;d", "474:5"}));
    // A type with trailing text is 0; a sentence the parser refuses still makes a row.
    EXPECT_EQ(message("$TVQEL,470,PU4,x,13x,t,d"), QStringList{"471:0;d"});
    QByteArray baBroken = "$TVQEL,470,PU5,1,13,t,d";
    m_poRuntime->processTVQEL470(baBroken);
    EXPECT_EQ(relays(), QStringList{"471:0;"});
    // Another source is cached too, but 470 waits for request 463.
    EXPECT_EQ(message("$TVQEL,470,PU3,5,7,t,d"), QStringList{"471:7;d"});
    ASSERT_TRUE(rowsArrive(7));
    CPuMsgModel* poModel = m_poRuntime->puMsgModel();
    EXPECT_EQ(poModel->data(poModel->index(6, 1)).toString(), QStringLiteral("Err."));
    EXPECT_EQ(poModel->data(poModel->index(6, 2)).toString(), QStringLiteral("disk"));
    EXPECT_EQ(poModel->data(poModel->index(1, 2)).toString(), QString());
    EXPECT_EQ(poModel->data(poModel->index(0, 1)).toString(), QStringLiteral("I"));

    // Request 463 for PU3 forgets its message and shows the one still cached (PU1) again.
    m_poRuntime->sendRequestToUlmaexec(463, "SRC=PU3,ack", false);
    EXPECT_EQ(relays(), (QStringList{"470:13;Disk;disk;PU1", "471:13;disk"}));
    m_poRuntime->sendRequestToUlmaexec(463, "PU1", false);
    EXPECT_TRUE(relays().isEmpty());
    EXPECT_EQ(message("$TVQEL,470,PU7,9,13,New,new"), (QStringList{"470:13;New;new;PU7", "471:13;new"}));
    EXPECT_TRUE(rowsArrive(9));
}

// A source's message is not cached again for 5 s; the timer of an older message leaves a newer
// source alone.
TEST_F(PuMessages, OnlyTheNewestTimerClearsTheLastSource)
{
    auto serveEventsFor = [](int nMs) { corvtest::waitUntil([] { return false; }, nMs); };
    message("$TVQEL,470,PU1,1,13,a,first");
    serveEventsFor(3000);
    EXPECT_EQ(message("$TVQEL,470,PU2,2,13,b,second"), QStringList{"471:13;second"});
    // PU1 is forgotten; the cached PU2 is shown again, still the last source.
    m_poRuntime->sendRequestToUlmaexec(463, "PU1", false);
    EXPECT_EQ(relays(), QStringList{"471:13;second"});
    serveEventsFor(2500); // PU1's timer has run out, PU2's has not
    EXPECT_EQ(message("$TVQEL,470,PU2,3,13,b,third"), QStringList{"471:13;third"});
    serveEventsFor(3000); // now PU2's has
    EXPECT_EQ(message("$TVQEL,470,PU2,4,13,b,fourth"), (QStringList{"470:13;b;fourth;PU2", "471:13;fourth"}));
}

} // namespace
