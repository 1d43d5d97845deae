// The runtime link's sockets on loopback: ports and groups from gui.ini, input on each socket,
// the rebuild after a model change, bind failures and shut-down.
#include "RecordingGuiSink.h"

#include "Common/GuiIni.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QSignalSpy>
#include <QThread>
#include <QUdpSocket>

#include <memory>

namespace {

QString runtimeGroup()
{
    return QLatin1String(GuiIni::GroupRuntime);
}

void setKey(const char* szKey, const QVariant& vValue)
{
    ASSERT_TRUE(GuiIni::setValue(runtimeGroup(), QLatin1String(szKey), vValue));
}

void send(const QByteArray& baDatagram, quint16 nPort)
{
    QUdpSocket oSocket;
    oSocket.writeDatagram(baDatagram, QHostAddress(QHostAddress::LocalHost), nPort);
}

int countRelays(const QSignalSpy& oSpy, int nCode)
{
    int nCount = 0;
    for (const QList<QVariant>& lstArgs : oSpy)
        nCount += lstArgs.at(0).toInt() == nCode ? 1 : 0;
    return nCount;
}

class RuntimeSockets : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        // Loopback has no multicast; every test moves its ports by its own offset.
        setKey("CorvNoMCAST", true);
        m_poSink = std::make_shared<RecordingGuiSink>();
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
};

TEST_F(RuntimeSockets, PortsAndGroupFromTheSettings)
{
    struct Case {
        int add;
        QVariant posPort;
        QVariant tailPort;
        QVariant group;
        QVariant model;
        quint16 position;
        quint16 depth;
        const char* expectedGroup;
    };
    const Case aCases[] = {
        {710, {}, {}, {}, {}, 25835, 25840, "225.1.13.24"},
        {720, {}, {}, {}, 330, 25845, 25850, "225.1.13.34"},
        {730, {}, {}, {}, 2203, 25855, 25860, "225.1.13.37"},
        {740, 25871, 25872, {}, 110, 25871, 25872, "225.1.13.14"},
        {750, {}, {}, QString("239.1.1.1"), 770, 25875, 25880, "239.1.1.1"},
        {760, {}, {}, QString(), 770, 25885, 25890, "225.1.13.71"},
    };
    for (const Case& oCase : aCases) {
        corvtest::prepareScratch();
        setKey("CorvNoMCAST", true);
        setKey("CorvPortAdd", oCase.add);
        const std::pair<const char*, QVariant> aKeys[] = {
            {"CorvPosPort", oCase.posPort}, {"CorvTailPort", oCase.tailPort}, {"CorvMcastGrp", oCase.group}, {"CorvModel", oCase.model}};
        for (const auto& oKey : aKeys)
            if (oKey.second.isValid())
                setKey(oKey.first, oKey.second);
        CUlmaRuntime oRuntime(4, m_poSink);
        const CUlmaRuntime::SocketPorts oPorts = oRuntime.boundPorts();
        EXPECT_EQ(oPorts.position, oCase.position) << oCase.add;
        EXPECT_EQ(oPorts.depth, oCase.depth) << oCase.add;
        EXPECT_EQ(oPorts.control, 25135 + oCase.add) << oCase.add;
        EXPECT_EQ(oRuntime.multicastGroup(), QLatin1String(oCase.expectedGroup)) << oCase.add;
    }
    EXPECT_TRUE(m_poSink->calls().isEmpty());
    // Mode 3 opens nothing.
    CUlmaRuntime oQuiet(3, m_poSink);
    EXPECT_EQ(oQuiet.boundPorts().control, 0);
}

// On its own thread, as the main window runs it.
TEST_F(RuntimeSockets, InputOnEachSocketAndModelChange)
{
    setKey("CorvPortAdd", 800);
    auto* poRuntime = new CUlmaRuntime(4, m_poSink);
    QSignalSpy oRelays(poRuntime, &CUlmaRuntime::relayToMapView);
    QThread oThread;
    poRuntime->moveToThread(&oThread);
    QObject::connect(&oThread, &QThread::finished, poRuntime, &QObject::deleteLater);
    oThread.start();

    send("$ACTVESS,7", 25935);
    send("$PQQEL,CVN_CLOSE_GRID", 25935);
    ASSERT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 499) == 1 && m_poSink->calls().size() == 1; }));
    EXPECT_EQ(oRelays.at(0).at(1).toString(), QStringLiteral("$ACTVESS,7\n\r"));
    EXPECT_EQ(m_poSink->take(), QStringList{QStringLiteral("closeAllSurveys()")});

    // The sender of the position datagrams is announced once, and again when it changes.
    send(QByteArray("\x02Q", 2) + QByteArray(60, '\0'), 25925);
    send(QByteArray("\x02Q", 2) + QByteArray(60, '\0'), 25925);
    ASSERT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 22) == 1; }));
    {
        QUdpSocket oOther;
        ASSERT_TRUE(oOther.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        oOther.writeDatagram(QByteArray("\x02Q", 2), QHostAddress(QHostAddress::LocalHost), 25925);
    }
    ASSERT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 22) == 2; }));
    QStringList lstSenders;
    for (const QList<QVariant>& lstArgs : oRelays)
        if (lstArgs.at(0).toInt() == 22)
            lstSenders << lstArgs.at(1).toString();
    EXPECT_EQ(lstSenders, (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}));

    // Without multicast a new model changes the group text only: the sockets stay.
    ASSERT_TRUE(QMetaObject::invokeMethod(poRuntime, "setCorvGrp", Qt::BlockingQueuedConnection, Q_ARG(int, 330)));
    EXPECT_EQ(GuiIni::value(runtimeGroup(), QStringLiteral("CorvModel"), 0).toInt(), 330);
    EXPECT_EQ(poRuntime->multicastGroup(), QStringLiteral("225.1.13.34"));
    send("$ACTVESS,8", 25935);
    ASSERT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 499) == 2; }));

    // With multicast the sockets are rebuilt a second later and read again.
    setKey("CorvNoMCAST", false);
    ASSERT_TRUE(QMetaObject::invokeMethod(poRuntime, "setCorvGrp", Qt::BlockingQueuedConnection, Q_ARG(int, 770)));
    EXPECT_EQ(poRuntime->multicastGroup(), QStringLiteral("225.1.13.71"));
    CUlmaRuntime::SocketPorts oPorts;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        QMetaObject::invokeMethod(poRuntime, [&] { oPorts = poRuntime->boundPorts(); }, Qt::BlockingQueuedConnection);
        return oPorts.control == 25935;
    }));
    EXPECT_EQ(oPorts.position, 25925);
    EXPECT_EQ(oPorts.depth, 25930);
    send("$ACTVESS,9", 25935);
    ASSERT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 499) == 3; }));

    // Shut down: nothing is read any more, and no late rebuild opens the sockets again.
    ASSERT_TRUE(QMetaObject::invokeMethod(poRuntime, "setCorvGrp", Qt::BlockingQueuedConnection, Q_ARG(int, 110)));
    ASSERT_TRUE(QMetaObject::invokeMethod(poRuntime, "shutdown", Qt::BlockingQueuedConnection));
    QThread::msleep(1300);
    QMetaObject::invokeMethod(poRuntime, [&] { oPorts = poRuntime->boundPorts(); }, Qt::BlockingQueuedConnection);
    EXPECT_EQ(oPorts.control, 0);
    EXPECT_EQ(oPorts.position, 0);
    send("$ACTVESS,10", 25935);
    QThread::msleep(100);
    EXPECT_EQ(countRelays(oRelays, 499), 3);

    oThread.quit();
    ASSERT_TRUE(oThread.wait(10000));
}

TEST_F(RuntimeSockets, PortTakenGivesOneWarningAndTheRestWorks)
{
    setKey("CorvPortAdd", 900);
    QUdpSocket oSquatter;
    ASSERT_TRUE(oSquatter.bind(QHostAddress::AnyIPv4, 26030, QAbstractSocket::DontShareAddress));
    CUlmaRuntime oRuntime(4, m_poSink);
    QSignalSpy oRelays(&oRuntime, &CUlmaRuntime::relayToMapView);
    const QStringList lstCalls = m_poSink->take();
    ASSERT_EQ(lstCalls.size(), 1);
    EXPECT_TRUE(lstCalls.at(0).startsWith(QLatin1String("showWarning(Error opening socket|Failed to open RT Depth socket 26030 ")))
        << lstCalls.at(0).toStdString();
    EXPECT_EQ(oRuntime.boundPorts().depth, 0);
    send("$ACTVESS,1", 26035);
    send(QByteArray("\x02Q", 2), 26025);
    EXPECT_TRUE(corvtest::waitUntil([&] { return countRelays(oRelays, 499) == 1 && countRelays(oRelays, 22) == 1; }));

    // A port outside the port range is reported the same way, never wrapped onto another port.
    setKey("CorvPortAdd", 950);
    setKey("CorvPosPort", 25075 + 65536);
    CUlmaRuntime oWrapped(4, m_poSink);
    const QStringList lstWrapped = m_poSink->take();
    ASSERT_EQ(lstWrapped.size(), 1);
    EXPECT_TRUE(lstWrapped.at(0).contains(QLatin1String("Failed to open position socket 90611 (no such port)")))
        << lstWrapped.at(0).toStdString();
    EXPECT_EQ(oWrapped.boundPorts().position, 0);
    EXPECT_EQ(oWrapped.boundPorts().control, 26085);
}

// The station modes use the installation's fixed ports.
TEST_F(RuntimeSockets, StationModeWithTheControlPortTaken)
{
    QUdpSocket oSquatter;
    ASSERT_TRUE(oSquatter.bind(QHostAddress::AnyIPv4, 25035, QAbstractSocket::DontShareAddress));
    CUlmaRuntime oRuntime(1, m_poSink);
    const QStringList lstCalls = m_poSink->take();
    ASSERT_EQ(lstCalls.size(), 1);
    EXPECT_TRUE(lstCalls.at(0).startsWith(QLatin1String("showWarning(Error opening socket|Failed to open UlmaExec socket 25035 ")))
        << lstCalls.at(0).toStdString();
    EXPECT_EQ(oRuntime.boundPorts().control, 0);
    EXPECT_EQ(oRuntime.boundPorts().depth, 25030);
    EXPECT_EQ(oRuntime.boundPorts().position, 0);
    EXPECT_EQ(oRuntime.multicastGroup(), QString());
}

} // namespace
