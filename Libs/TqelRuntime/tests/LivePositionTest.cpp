// Vessel position datagrams: the vessel and its history, the copies a main station sends on, the
// follow-vessel schedule and the start of the remote-station client.
#include "PositionDatagram.h"
#include "RecordingGuiSink.h"
#include "RuntimeTestLink.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TokenFixture.h"
#include "TqelRuntime/PositionFix.h"
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
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

using corvtest::PositionFix;
using corvtest::positionDatagram;

constexpr qint64 StartMs = 1700000000000;

void setKey(const char* szKey, const QVariant& vValue)
{
    ASSERT_TRUE(GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QLatin1String(szKey), vValue));
}

class LivePosition : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        setKey("CorvNoMCAST", true);
        setKey("SendIP", "127.0.0.1");
        m_poSink = std::make_shared<RecordingGuiSink>();
    }

    void makeLink(int nMode)
    {
        m_poRuntime.reset();
        m_poRuntime = std::make_unique<CUlmaRuntime>(nMode, m_poSink);
        m_poRuntime->setClock([this] { return m_nNow; });
        ASSERT_TRUE(corvtest::useMercator(*m_poRuntime));
        m_poSink->take();
    }

    void position(const PositionFix& oFix, const QString& strSender = QStringLiteral("not an address"))
    {
        QByteArray baDatagram = positionDatagram(oFix);
        m_poRuntime->processShipPosition(baDatagram, strSender);
    }

    // The calls of the GUI side, without the follow-vessel moves.
    QStringList vesselCalls()
    {
        QStringList lstCalls = m_poSink->take();
        lstCalls.erase(std::remove_if(lstCalls.begin(), lstCalls.end(), [](const QString& s) { return s.startsWith("moveToVessel"); }),
                       lstCalls.end());
        return lstCalls;
    }

    QString projected(std::int32_t nLatitude, std::int32_t nLongitude)
    {
        double dNorth = 0;
        double dEast = 0;
        m_poRuntime->projection()->toProjected(nLatitude / 2e7, nLongitude / 1e7, dNorth, dEast, true);
        return QString::number(position_datagram::toWholeCentimetres(dEast)) + "|" + QString::number(position_datagram::toWholeCentimetres(dNorth));
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    qint64 m_nNow = StartMs;
};

TEST_F(LivePosition, VesselAndHistory)
{
    makeLink(3);
    PositionFix oFix;
    oFix.nLatitude = 60 * 20000000;
    oFix.nLongitude = 5 * 10000000;
    oFix.nHeading = 9000;
    const QString strHistory = "addPositionDatagram(" + QString::fromLatin1(positionDatagram(oFix).toHex()) + ")";
    position(oFix);
    EXPECT_EQ(vesselCalls(), (QStringList{"updateVessel(" + projected(oFix.nLatitude, oFix.nLongitude) + "|9000|GPS1:2040_17)", strHistory}));

    // The same position does not move the vessel; unmarked datagrams skip the history.
    position(oFix);
    EXPECT_EQ(vesselCalls(), QStringList{strHistory});
    oFix.nQuality = 0;
    position(oFix);
    EXPECT_TRUE(vesselCalls().isEmpty());

    struct Case {
        const char* what;
        PositionFix fix;
        QStringList calls;
    };
    PositionFix oModelZero = oFix;
    oModelZero.nModel = 0;
    oModelZero.nLatitude += 20;
    PositionFix oTypeP = oModelZero;
    oTypeP.nModel = 2040;
    oTypeP.cType = 'P';
    PositionFix oNoNul = oModelZero;
    oNoNul.nModel = 1;
    oNoNul.nSerial = 0;
    oNoNul.bTrailer = false;
    oNoNul.strSource = "GPS2";
    PositionFix oPole = oNoNul; // no projection beyond the pole: the vessel stays where it was
    oPole.nLatitude = 95 * 20000000;
    PositionFix oNearPole = oNoNul; // north beyond int: held at its end
    oNearPole.nLatitude = 1799999800;
    const Case aCases[] = {
        {"model 0", oModelZero, {}},
        {"type P", oTypeP, {}},
        {"no NUL", oNoNul, {"updateVessel(" + projected(oNoNul.nLatitude, oNoNul.nLongitude) + "|9000|GPS2:1_0)"}},
        {"beyond the pole", oPole, {}},
        {"near pole", oNearPole, {"updateVessel(" + projected(oNoNul.nLatitude, oNoNul.nLongitude).section('|', 0, 0) + "|2147483647|9000|GPS2:1_0)"}},
    };
    for (const Case& oCase : aCases) {
        QByteArray baDatagram = positionDatagram(oCase.fix);
        if (!oCase.fix.bTrailer)
            baDatagram.chop(1); // the name runs to the end
        m_poRuntime->processShipPosition(baDatagram, QString());
        EXPECT_EQ(vesselCalls(), oCase.calls) << oCase.what;
    }

    // Short datagrams are dropped; a long one (300 bytes) is taken whole.
    for (int nSize : {0, 2, 33}) {
        QByteArray baShort = positionDatagram(oFix).left(nSize);
        m_poRuntime->processShipPosition(baShort, QString());
    }
    EXPECT_TRUE(vesselCalls().isEmpty());
    PositionFix oLong = oFix;
    oLong.nQuality = 0xFFFF;
    oLong.nLatitude += 40;
    oLong.strSource = std::string(300 - 34 - 4, 'L');
    const QByteArray baLong = positionDatagram(oLong);
    ASSERT_EQ(baLong.size(), 300);
    position(oLong);
    const QStringList lstLong = vesselCalls();
    ASSERT_EQ(lstLong.size(), 2);
    EXPECT_TRUE(lstLong.at(0).endsWith(QString(262, 'L') + ":2040_17)"));
}

// Mode 1 opens the station ports.
TEST_F(LivePosition, CopiesOfAMainStation)
{
    setKey("CorvPortAdd", 1020);
    QUdpSocket oStations;
    ASSERT_TRUE(oStations.bind(QHostAddress(QHostAddress::LocalHost), 25125 + 1020));
    QUdpSocket oPlanning;
    ASSERT_TRUE(oPlanning.bind(QHostAddress(QHostAddress::LocalHost), 4891));
    makeLink(1);
    auto next = [](QUdpSocket& oSocket) {
        return corvtest::waitUntil([&] { return oSocket.hasPendingDatagrams(); }, 5000) ? oSocket.receiveDatagram().data() : QByteArray("(nothing)");
    };

    for (std::uint8_t nDescriptor : {0x81, 0x80, 0x05}) {
        PositionFix oFix;
        oFix.nDescriptor = nDescriptor;
        const QByteArray baSent = positionDatagram(oFix);
        QByteArray baPlanning = baSent;
        baPlanning[32] = static_cast<char>(nDescriptor > 0x80 ? nDescriptor - 0x80 : nDescriptor);
        position(oFix);
        EXPECT_EQ(next(oStations), baSent) << int(nDescriptor);
        EXPECT_EQ(next(oPlanning), baPlanning) << int(nDescriptor);
    }
    // On the control road the appended line end goes along.
    QByteArray baControl = positionDatagram(PositionFix()) + "\n\r";
    m_poRuntime->processCtrlDatagrams(baControl, QStringLiteral("10.0.0.9"));
    EXPECT_TRUE(next(oStations).endsWith("\n\r"));
    EXPECT_TRUE(next(oPlanning).endsWith("\n\r"));
    // Invalid datagrams are not passed on.
    PositionFix oInvalid;
    oInvalid.nModel = 0;
    position(oInvalid);
    EXPECT_FALSE(corvtest::waitUntil([&] { return oStations.hasPendingDatagrams() || oPlanning.hasPendingDatagrams(); }, 300));
}

TEST_F(LivePosition, FollowScheduleWithAClock)
{
    setKey("CorvPortAdd", 1000);
    struct Case {
        int mode;
        const char* token;
        QList<qint64> times; // ms after the start
        QList<qint64> moves; // the times that move the view
        int toggles;
    };
    const Case aCases[] = {
        {3, "3", {0, 2999, 3000, 4000, 6000, 6001}, {0, 3000, 6000}, 0},
        {3, "0", {0, 4999, 5000, 9999, 10000}, {0, 5000, 10000}, 0},
        {3, "-2", {0, 4000, 5000}, {0, 5000}, 0},
        {4, "1", {0, 999, 1000, 1500, 2000}, {0, 1000, 2000}, 1},
    };
    for (const Case& oCase : aCases) {
        corvtest::writeTokens(QJsonArray{corvtest::token("FOLLOW_VESSEL_INTERVAL", 2, QLatin1String(oCase.token))});
        makeLink(oCase.mode);
        QSignalSpy oToggles(m_poRuntime.get(), &CUlmaRuntime::sigToggleFollowShip);
        QList<qint64> lstMoves;
        PositionFix oFix;
        for (qint64 nTime : oCase.times) {
            m_nNow = StartMs + nTime;
            ++oFix.nLatitude;
            position(oFix);
            if (m_poSink->take().contains(QStringLiteral("moveToVessel(0|0|0)")))
                lstMoves << nTime;
        }
        EXPECT_EQ(lstMoves, oCase.moves) << oCase.mode << " " << oCase.token;
        EXPECT_EQ(oToggles.size(), oCase.toggles) << oCase.mode;
    }
}

TEST(RemoteClientRule, TargetOfTheFirstSender)
{
    const QList<QHostAddress> lstLocal{QHostAddress("127.0.0.1"), QHostAddress("::1"), QHostAddress("10.0.0.5"), QHostAddress("fe80::1")};
    struct Case {
        const char* sender;
        const char* target;
    };
    const Case aCases[] = {
        {"10.0.0.9", "10.0.0.9"},
        {"::ffff:10.0.0.9", "10.0.0.9"},
        {"127.0.0.1", "127.0.0.1"},
        {"::ffff:127.0.0.1", "127.0.0.1"},
        {"10.0.0.5", ""}, // this computer
        {"::ffff:10.0.0.5", ""},
        {"::1", ""},
        {"fe80::1", ""},
        {"", ""},
        {"station-1", ""},
        {"10.0.0.9:25125", ""},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(position_datagram::remoteClientTarget(QLatin1String(oCase.sender), lstLocal), QLatin1String(oCase.target)) << oCase.sender;
}

// The main station's link server listens on port 16655.
TEST_F(LivePosition, RemoteClientIsStartedOnceForTheFirstSender)
{
    setKey("CorvPortAdd", 1040);
    QTcpServer oServer;
    ASSERT_TRUE(oServer.listen(QHostAddress(QHostAddress::LocalHost), 16655));
    auto connections = [&oServer] {
        int nCount = 0;
        while (QTcpSocket* poSocket = oServer.nextPendingConnection()) {
            ++nCount;
            poSocket->setParent(&oServer);
        }
        return nCount;
    };

    // A first sender the rule refuses decides for the link: no client, even for a later station.
    makeLink(4);
    PositionFix oFix;
    position(oFix, QStringLiteral("::1"));
    position(oFix, QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(corvtest::waitUntil([&] { return oServer.hasPendingConnections(); }, 500));

    // A not-"Q" datagram decides too; a later sender never re-targets the client.
    makeLink(4);
    QByteArray baOther = positionDatagram(oFix);
    baOther[1] = 'P';
    m_poRuntime->processShipPosition(baOther, QStringLiteral("::ffff:127.0.0.1"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return oServer.hasPendingConnections(); }, 5000));
    EXPECT_EQ(connections(), 1);
    position(oFix, QStringLiteral("127.0.0.2"));
    EXPECT_FALSE(corvtest::waitUntil([&] { return oServer.hasPendingConnections(); }, 500));
    m_poRuntime.reset();
}

} // namespace
