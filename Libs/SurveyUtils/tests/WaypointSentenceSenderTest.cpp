#include "SurveyUtils/WaypointSentenceSender.h"

#include "TokenFixture.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace {

class WaypointSentenceSenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::useProgramData();
        corvtest::clearWindowsRoot();
        ASSERT_TRUE(m_oReceiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        setDestination(QStringLiteral("127.0.0.1:%1").arg(m_oReceiver.localPort()));
    }
    void TearDown() override
    {
        qunsetenv("TZ");
        tzset();
    }

    static void setDestination(const QString& strDestination)
    {
        corvtest::writeTokens({corvtest::token("ROZOVED_CSI2_IPADDR", 3, strDestination)});
    }

    // The next datagram that arrives.
    QByteArray receive()
    {
        if (!m_oReceiver.hasPendingDatagrams() && !m_oReceiver.waitForReadyRead(5000))
            return "<nothing received>";
        return m_oReceiver.receiveDatagram().data();
    }

    QUdpSocket m_oReceiver;
};

TEST_F(WaypointSentenceSenderTest, SentencesAsReceived)
{
    CWaypointSentenceSender oSender;
    ASSERT_TRUE(oSender.isEnabled());
    // The port the system picked is above 32767 on most machines: read as unsigned.
    oSender.sendBearingToWaypoint(0, -33.5, -70.25, 45.5, 1.25, "WP1");
    EXPECT_EQ(receive(), QByteArray("$PTBWR,,3330.000000,S,07015.000000,W,45.50,T,0.0,M,1.2500,N,WP1,M*6B\r\n"));
    oSender.sendWaypointLocation(5.5, 10.25);
    EXPECT_EQ(receive(), QByteArray("$PTWPL,0530.000000,N,01015.000000,E,WP1*6D\r\n"));
    // A checksum below 16 keeps its leading zero.
    oSender.sendBearingToWaypoint(0, -33.5, -70.25, 5.0, 1.25, "X1");
    EXPECT_EQ(receive(), QByteArray("$PTBWR,,3330.000000,S,07015.000000,W,5.00,T,0.0,M,1.2500,N,X1,M*05\r\n"));
}

TEST_F(WaypointSentenceSenderTest, TimeOfDayIsLocal)
{
    struct Case {
        const char* szZone;
        const char* szFrame;
    };
    const Case kCases[] = {
        {"UTC0", "$PTBWR,221320.000,5930.000000,N,01045.000000,E,359.99,T,0.0,M,0.0500,N,WP1,M*4D\r\n"},
        {"XYZ-2", "$PTBWR,001320.000,5930.000000,N,01045.000000,E,359.99,T,0.0,M,0.0500,N,WP1,M*4D\r\n"},
    };
    CWaypointSentenceSender oSender;
    for (const Case& c : kCases) {
        qputenv("TZ", c.szZone);
        tzset();
        oSender.sendBearingToWaypoint(1700000000u, 59.5, 10.75, 359.99, 0.05, "WP1");
        EXPECT_EQ(receive(), QByteArray(c.szFrame)) << c.szZone;
    }
}

TEST_F(WaypointSentenceSenderTest, UnsendableSentencesAreDropped)
{
    CWaypointSentenceSender oSender;
    // 207 characters framed is the most: an id of 140 characters fits, one of 141 does not.
    const std::string strFits(140, 'I');
    const std::string strTooLong(strFits.size() + 1, 'I');
    oSender.sendBearingToWaypoint(0, -33.5, -70.25, 45.5, 1.25, strTooLong);
    oSender.sendBearingToWaypoint(0, std::nan(""), -70.25, 45.5, 1.25, "WP1");
    oSender.sendBearingToWaypoint(0, -33.5, -70.25, INFINITY, 1.25, "WP1");
    oSender.sendWaypointLocation(5.5, std::nan(""));
    oSender.sendWaypointLocation(1e300, 10.0);
    oSender.sendBearingToWaypoint(0, -33.5, -70.25, 45.5, 1.25, strFits);

    // The first datagram to arrive is the last one sent: none of the others went out.
    const QByteArray baFirst = receive();
    EXPECT_EQ(baFirst.size(), 207);
    EXPECT_EQ(baFirst, "$PTBWR,,3330.000000,S,07015.000000,W,45.50,T,0.0,M,1.2500,N," + QByteArray(140, 'I') + ",M*5D\r\n");
}

TEST(WaypointSentenceDestination, TokenValues)
{
    corvtest::useProgramData();
    corvtest::clearWindowsRoot();
    struct Case {
        QJsonArray aTokens;
        bool bEnabled;
        const char* szWhat;
    };
    const auto destination = [](const QString& strValue) {
        return QJsonArray{corvtest::token("ROZOVED_CSI2_IPADDR", 3, strValue)};
    };
    const Case kCases[] = {
        {destination("127.0.0.1:5000"), true, "address and port"},
        {destination("127.0.0.1:40000"), true, "port above 32767"},
        {destination("127.0.0.1:5000:extra"), true, "further parts ignored"},
        {destination(""), false, "empty"},
        {destination("127.0.0.1"), false, "no port"},
        {destination("127.0.0.1:"), false, "empty port"},
        {destination("127.0.0.1:0"), false, "port 0"},
        {destination("127.0.0.1:70000"), false, "port out of range"},
        {destination("navpc:5000"), false, "not an address"},
        {destination("127.0.0.1:5000" + QString(235, ' ')), true, "249 characters"},
        {destination("127.0.0.1:5000" + QString(236, ' ')), false, "250 characters"},
        {QJsonArray{corvtest::token("ROZOVED_CSI2_IPADDR", 2, "5000")}, false, "not a string token"},
        {QJsonArray{corvtest::token("OTHER", 3, "127.0.0.1:5000")}, false, "no token"},
    };
    for (const Case& c : kCases) {
        corvtest::writeTokens(c.aTokens);
        const CWaypointSentenceSender oSender;
        EXPECT_EQ(oSender.isEnabled(), c.bEnabled) << c.szWhat;
    }
}

} // namespace
