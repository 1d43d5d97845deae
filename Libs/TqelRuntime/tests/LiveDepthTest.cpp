// Real-time depth datagrams: both forms read within their bytes, the depth tail's update schedule,
// the projection of the position form, and the relay of a main station.
#include "PositionDatagram.h"
#include "RecordingGuiSink.h"
#include "RuntimeTestLink.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "Projection/QelProjection.h"
#include "TokenFixture.h"
#include "TqelRuntime/DepthDatagram.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QUdpSocket>
#include <QtEndian>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using depth_datagram::Status;

constexpr qint64 StartMs = 1700000000000;

struct Sounding {
    double latitude;
    double longitude;
    qint32 depthCm;
};

template <typename T>
void append(QByteArray& baBytes, T value)
{
    char acBytes[sizeof(T)];
    qToLittleEndian(value, acBytes);
    baBytes.append(acBytes, sizeof(T));
}

// Position form: 24 bytes, sequence, count, 4 bytes, then 40-byte records.
QByteArray positionForm(quint16 nSequence, int nCount, const std::vector<Sounding>& aSoundings)
{
    QByteArray baBytes(24, '\x11');
    append<quint16>(baBytes, nSequence);
    append<quint16>(baBytes, static_cast<quint16>(nCount));
    baBytes.append(4, '\x22');
    for (const Sounding& oSounding : aSoundings) {
        append<double>(baBytes, oSounding.latitude);
        append<double>(baBytes, oSounding.longitude);
        append<qint32>(baBytes, oSounding.depthCm);
        baBytes.append(20, '\x33');
    }
    return baBytes;
}

std::vector<Sounding> soundings(int nCount)
{
    std::vector<Sounding> aSoundings;
    for (int i = 0; i < nCount; ++i)
        aSoundings.push_back({60.0 + i * 1e-5, 5.0, 1000 + i});
    return aSoundings;
}

// Projected form: the header text, then 28-byte records of x, y, depth (cm) and four more values.
QByteArray projectedForm(const QByteArray& baHeader, int nRecords)
{
    QByteArray baBytes = baHeader;
    for (int i = 0; i < nRecords; ++i) {
        append<qint32>(baBytes, 100 * i + 1);
        append<qint32>(baBytes, -250);
        append<qint32>(baBytes, 1234);
        for (int n = 0; n < 4; ++n)
            append<qint32>(baBytes, 0x7FFFFFFF);
    }
    return baBytes;
}

QByteArray projectedForm(int nRecords, int nRecordsGiven)
{
    return projectedForm("$TVQEL,30,T1,3,4,0," + QByteArray::number(nRecords) + ",", nRecordsGiven);
}

TEST(DepthDatagram, CountsLengthsAndFields)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        Status status;
        int points;
    };
    const Case aCases[] = {
        {"position 0", positionForm(1, 0, {}), Status::BadCount, 0},
        {"position 1", positionForm(1, 1, soundings(1)), Status::Used, 1},
        {"position 1199", positionForm(1, 1199, soundings(1199)), Status::Used, 1199},
        {"position 1200", positionForm(1, 1200, soundings(1200)), Status::BadCount, 0},
        {"position 1600", positionForm(1, 1600, soundings(1600)), Status::BadCount, 0},
        {"position 1601", positionForm(1, 1601, soundings(1601)), Status::BadCount, 0},
        {"position one short", positionForm(1, 3, soundings(3)).chopped(1), Status::Short, 0},
        {"position header only", positionForm(1, 1, {}), Status::Short, 0},
        {"position 27 bytes", positionForm(1, 1, {}).left(27), Status::Short, 0},
        {"projected 0", projectedForm(0, 0), Status::Ignored, 0},
        {"projected 1", projectedForm(1, 1), Status::Used, 1},
        {"projected 1199", projectedForm(1199, 1199), Status::Used, 1199},
        {"projected 1200", projectedForm(1200, 1200), Status::CountWarning, 0},
        {"projected 1600", projectedForm(1600, 1600), Status::CountWarning, 0},
        {"projected 1601", projectedForm(1601, 1601), Status::Ignored, 0},
        {"projected one short", projectedForm(3, 3).chopped(1), Status::Short, 0},
        {"projected B 0", projectedForm("$TVQEL,30,T1,3,0,0,1,", 1), Status::Ignored, 0},
        {"projected four fields", projectedForm("$TVQEL,30,T1,3,4,1,", 1), Status::Ignored, 0},
        {"projected no comma after N", "$TVQEL,30,T1,3,4,0,1", Status::Ignored, 0},
        {"projected other event", projectedForm("$TVQEL,31,T1,3,4,0,1,", 1), Status::Ignored, 0},
        {"projected empty fields", projectedForm("$TVQEL,30,,T1,,3,4,,0,1,", 1), Status::Used, 1},
        {"projected A + B past 64 bits", projectedForm("$TVQEL,30,T1,9223372036854775807,9223372036854775807,0,1,", 1),
         Status::Ignored, 0},
    };
    for (const Case& oCase : aCases) {
        std::vector<double> adPoints;
        std::vector<double> adLatitudes;
        std::vector<double> adLongitudes;
        std::vector<double> adDepths;
        QString strTail;
        quint16 nSequence = 0;
        int nRecords = 0;
        const bool bProjected = depth_datagram::isProjectedForm(oCase.bytes);
        const Status eStatus = bProjected ? depth_datagram::readProjected(oCase.bytes, adPoints, strTail, nRecords)
                                          : depth_datagram::readPosition(oCase.bytes, nSequence, nRecords, adLatitudes, adLongitudes, adDepths);
        EXPECT_EQ(eStatus, oCase.status) << oCase.what;
        EXPECT_EQ(bProjected ? adPoints.size() / 3 : adDepths.size(), static_cast<std::size_t>(oCase.points)) << oCase.what;
        if (bProjected && eStatus == Status::Used) {
            EXPECT_EQ(strTail, QStringLiteral("T1:7")) << oCase.what;
        }
    }

    // A + B names the tail up to the limits of 64 bits.
    const struct {
        const char* header;
        const char* tail;
    } aTails[] = {
        {"$TVQEL,30,T1,-1,9223372036854775807,0,1,", "T1:9223372036854775806"},
        {"$TVQEL,30,T1,-9223372036854775808,1,0,1,", "T1:-9223372036854775807"},
    };
    for (const auto& oTail : aTails) {
        std::vector<double> adPoints;
        QString strTail;
        int nRecords = 0;
        EXPECT_EQ(depth_datagram::readProjected(projectedForm(oTail.header, 1), adPoints, strTail, nRecords), Status::Used);
        EXPECT_EQ(strTail, QLatin1String(oTail.tail));
    }

    std::vector<double> adPoints;
    QString strTail;
    int nRecords = 0;
    ASSERT_EQ(depth_datagram::readProjected(projectedForm(2, 2), adPoints, strTail, nRecords), Status::Used);
    EXPECT_EQ(adPoints, (std::vector<double>{0.01, -2.5, -12.34, 1.01, -2.5, -12.34}));
    std::vector<double> adLatitudes;
    std::vector<double> adLongitudes;
    std::vector<double> adDepths;
    quint16 nSequence = 0;
    ASSERT_EQ(depth_datagram::readPosition(positionForm(65535, 2, soundings(2)), nSequence, nRecords, adLatitudes, adLongitudes, adDepths),
              Status::Used);
    EXPECT_EQ(nSequence, 65535);
    EXPECT_EQ(adLatitudes, (std::vector<double>{60.0, 60.0 + 1e-5}));
    EXPECT_EQ(adDepths, (std::vector<double>{10.0, 10.01}));

    EXPECT_EQ(depth_datagram::roundCentimetres(123456.5), 123457.0);
    EXPECT_EQ(depth_datagram::roundCentimetres(123456.4), 123456.0);
    EXPECT_EQ(depth_datagram::roundCentimetres(-0.5), 0.0);
    EXPECT_EQ(depth_datagram::roundCentimetres(-0.6), -1.0);
}

class LiveDepth : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CorvNoMCAST"), true);
        GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("SendIP"), QStringLiteral("127.0.0.1"));
        m_poSink = std::make_shared<RecordingGuiSink>();
    }

    void makeLink(int nMode, const char* szInterval)
    {
        corvtest::writeTokens(QJsonArray{corvtest::token("MAKEXYZ_UPDATE_COV_DEPTH", 2, QLatin1String(szInterval))});
        m_poRuntime = std::make_unique<CUlmaRuntime>(nMode, m_poSink);
        m_poRuntime->setClock([this] { return m_nNow; });
        ASSERT_TRUE(corvtest::useMercator(*m_poRuntime));
    }

    void depths(QByteArray baDatagram, qint64 nAt)
    {
        m_nNow = StartMs + nAt;
        m_poRuntime->processRTDepths(baDatagram);
    }

    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    qint64 m_nNow = StartMs;
};

TEST_F(LiveDepth, ProjectedFormUpdatesTheTailOncePerInterval)
{
    makeLink(3, "1000");
    for (qint64 nAt : {0, 400, 800, 1200, 1600, 2000, 2400})
        depths(projectedForm(2, 2), nAt);
    // Refused datagrams add nothing to the next update.
    depths(projectedForm(1200, 1200), 2500);
    depths(projectedForm(3, 3).chopped(1), 2600);
    depths(QByteArray(), 2700);
    depths(projectedForm(1, 1), 3500);
    const auto aTails = m_poSink->takeTails();
    ASSERT_EQ(aTails.size(), 4u);
    const std::size_t anPoints[] = {2, 6, 6, 1};
    for (std::size_t i = 0; i < aTails.size(); ++i) {
        EXPECT_EQ(aTails[i].name, QStringLiteral("T1:7"));
        EXPECT_EQ(aTails[i].points.size(), 3 * anPoints[i]) << i;
    }
}

TEST_F(LiveDepth, PositionFormIsProjectedAndHandedOverOnItsOwnSchedule)
{
    makeLink(3, "1000");
    std::vector<Sounding> aSoundings = soundings(2);
    aSoundings.push_back({95.0, 5.0, 300}); // no projection beyond the pole: dropped
    quint16 nSequence = 5;
    for (qint64 nAt : {0, 600, 1200, 1800, 2400})
        depths(positionForm(nSequence++, 3, aSoundings), nAt);
    // Out-of-range counts are dropped whole.
    depths(positionForm(nSequence++, 0, {}), 2500);
    depths(positionForm(nSequence++, 1200, soundings(1200)), 2600);
    const auto aTails = m_poSink->takeTails();
    ASSERT_EQ(aTails.size(), 2u);
    EXPECT_EQ(aTails[0].name, QStringLiteral("default:0"));
    EXPECT_EQ(aTails[0].points.size(), 3u * 2);
    EXPECT_EQ(aTails[1].points.size(), 3u * 2 * 4);

    double dNorth = 0;
    double dEast = 0;
    ASSERT_EQ(m_poRuntime->projection()->toProjected(60.0, 5.0, dNorth, dEast, true), 0);
    EXPECT_DOUBLE_EQ(aTails[0].points[0], std::floor(dEast + 0.5) / 100);
    EXPECT_DOUBLE_EQ(aTails[0].points[1], std::floor(dNorth + 0.5) / 100);
    EXPECT_DOUBLE_EQ(aTails[0].points[2], -10.0);
    EXPECT_DOUBLE_EQ(aTails[0].points[5], -10.01);
}

// Position datagrams waiting on their socket when a depth datagram is handled go first, in the
// order they came: the depth step (projection, tail hand-over) holds no vessel move back.
TEST_F(LiveDepth, WaitingPositionsGoBeforeTheDepthStep)
{
    GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CorvPortAdd"), 1100);
    makeLink(4, "0");
    const quint16 nPort = m_poRuntime->boundPorts().position;
    ASSERT_EQ(nPort, 25125 + 1100);
    corvtest::PositionFix oFix;
    oFix.nLatitude = 60 * 20000000;
    oFix.nLongitude = 5 * 10000000;
    QByteArray baFirst = corvtest::positionDatagram(oFix);
    m_poRuntime->processShipPosition(baFirst, QStringLiteral("::1")); // no remote-station client
    m_poSink->take();

    // Nothing waits: the depth step alone.
    depths(positionForm(1, 2, soundings(2)), 10);
    EXPECT_TRUE(m_poSink->take().filter(QStringLiteral("updateVessel")).isEmpty());
    EXPECT_EQ(m_poSink->takeTails().size(), 1u);

    // Two positions wait (this thread's event loop does not run): both are read in the depth step.
    QUdpSocket oSender;
    for (int n = 1; n <= 2; ++n) {
        oFix.nLatitude += 2000;
        oFix.nCount = static_cast<std::uint16_t>(n);
        oSender.writeDatagram(corvtest::positionDatagram(oFix), QHostAddress(QHostAddress::LocalHost), nPort);
    }
    depths(positionForm(2, 2, soundings(2)), 20);
    const QStringList lstMoves = m_poSink->take().filter(QStringLiteral("updateVessel"));
    ASSERT_EQ(lstMoves.size(), 2);
    const int nFirstNorth = lstMoves.at(0).section(QLatin1Char('|'), 1, 1).toInt();
    const int nSecondNorth = lstMoves.at(1).section(QLatin1Char('|'), 1, 1).toInt();
    EXPECT_LT(nFirstNorth, nSecondNorth);
    EXPECT_EQ(m_poSink->takeTails().size(), 1u);
}

TEST_F(LiveDepth, WithoutTheTokenEveryLaterMillisecondUpdates)
{
    makeLink(3, "");
    depths(projectedForm(1, 1), 0);
    depths(projectedForm(1, 1), 0);
    depths(projectedForm(1, 1), 1);
    const auto aTails = m_poSink->takeTails();
    ASSERT_EQ(aTails.size(), 2u);
    EXPECT_EQ(aTails[1].points.size(), 6u);
}

TEST_F(LiveDepth, TailNamesFromTheNetworkAreBounded)
{
    makeLink(3, "0");
    for (int i = 0; i < 40; ++i)
        depths(projectedForm("$TVQEL,30,T,1," + QByteArray::number(i + 1) + ",0,1,", 1), i + 1);
    depths(projectedForm("$TVQEL,30," + QByteArray(200, 'N') + ",1,1,0,1,", 1), 100);
    depths(projectedForm("$TVQEL,30,T,1,1,0,1,", 1), 101);
    const auto aTails = m_poSink->takeTails();
    ASSERT_EQ(aTails.size(), 17u);
    EXPECT_EQ(aTails.back().name, QStringLiteral("T:2"));
}

// Mode 1 opens the station ports.
TEST_F(LiveDepth, MainStationRelaysEveryFourSeconds)
{
    qunsetenv("CORVTAIL");
    GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CorvPortAdd"), 1060);
    QUdpSocket oStations;
    ASSERT_TRUE(oStations.bind(QHostAddress(QHostAddress::LocalHost), 25130 + 1060));
    makeLink(1, "0");
    for (int nSecond = 0; nSecond <= 8; ++nSecond)
        depths(positionForm(static_cast<quint16>(nSecond), 1, soundings(1)) + QByteArray::number(nSecond), 1000 * nSecond);
    QList<QByteArray> lstRelayed;
    EXPECT_TRUE(corvtest::waitUntil([&] {
        while (oStations.hasPendingDatagrams()) {
            QByteArray baDatagram(static_cast<int>(oStations.pendingDatagramSize()), '\0');
            oStations.readDatagram(baDatagram.data(), baDatagram.size());
            lstRelayed << baDatagram.right(1);
        }
        return lstRelayed.size() == 3;
    }));
    EXPECT_EQ(lstRelayed, (QList<QByteArray>{"0", "4", "8"}));

    // Other modes never relay.
    makeLink(3, "0");
    depths(positionForm(1, 1, soundings(1)), 20000);
    EXPECT_FALSE(corvtest::waitUntil([&] { return oStations.hasPendingDatagrams(); }, 300));
}

} // namespace
