// The land emulators with real sockets on loopback: acknowledgements and reassembly of the
// command stream, the parameter XML, telnet events, status broadcasts and forwarded sentences.
#include "HttpPeer.h"
#include "QelRecord/QelData.h"
#include "VirelleConnector/EdgeConnector.h"
#include "VirelleConnector/PuLandEmulator.h"
#include "VirelleConnector/QelLandEmulator.h"
#include "VirelleConnector/VirelleConnector.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

quint32 u32(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

QByteArray commandDatagram(const char* type, const QByteArray& body = {})
{
    QByteArray baOut(20, '\0');
    baOut.append(body);
    qToLittleEndian<quint32>(quint32(baOut.size()), baOut.data());
    baOut.replace(4, 4, type);
    return baOut;
}

QByteArray broadcastBinary(quint16 port)
{
    char aBytes[40] = {};
    memcpy(aBytes + 4, "#SBC", 4);
    aBytes[9] = char(7);
    qToLittleEndian<quint16>(quint16(1234), aBytes + 10);
    qToLittleEndian<quint16>(port, aBytes + 24);
    return QByteArray(aBytes, sizeof(aBytes));
}

// A port free at the moment of asking.
quint16 freePort()
{
    QTcpServer oServer;
    oServer.listen(QHostAddress::Any, 0);
    return oServer.serverPort();
}

// Reads whole datagrams (length-prefixed) from a command connection.
class CommandClient {
public:
    explicit CommandClient(quint16 port)
    {
        m_oSocket.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(m_oSocket.waitForConnected(5000));
    }
    QTcpSocket& socket() { return m_oSocket; }
    bool waitFor(int count)
    {
        return corvtest::waitUntil([&] {
            m_baBuffer += m_oSocket.readAll();
            while (m_baBuffer.size() >= 4 && m_baBuffer.size() >= int(u32(m_baBuffer, 0))) {
                const int nLength = int(u32(m_baBuffer, 0));
                received.append(m_baBuffer.left(nLength));
                m_baBuffer.remove(0, nLength);
            }
            return received.size() >= count;
        });
    }
    QList<QByteArray> received;

private:
    QTcpSocket m_oSocket;
    QByteArray m_baBuffer;
};

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        m_oClient.setHostPort(m_oPeer.port());
        m_oUploader.setEdgeConnector(&m_oClient);
        m_oUploader.setVesselId("V1");
    }

    QList<HttpPeer::Upload> uploads() const
    {
        QList<HttpPeer::Upload> lstOut;
        for (const HttpPeer::Request& oRequest : m_oPeer.requests)
            lstOut.append(HttpPeer::decode(oRequest.body));
        return lstOut;
    }

    HttpPeer m_oPeer;
    CEdgeConnector m_oClient;
    CVirelleConnector m_oUploader;
};

TEST(CPuLandEmulatorText, MakeDatagram)
{
    CPuLandEmulator oEmulator;
    const QByteArray baAge = oEmulator.makeDatagram("#AGE", "Now;G");
    ASSERT_EQ(baAge.size(), 36);
    EXPECT_EQ(u32(baAge, 0), 36u);
    EXPECT_EQ(baAge.mid(4, 4), "#AGE");
    EXPECT_EQ(baAge.mid(26, 5), "Now;G");
    EXPECT_EQ(baAge.at(31), '\0');
    EXPECT_EQ(u32(baAge, 32), 36u);
    EXPECT_NEAR(double(u32(baAge, 12)), double(QDateTime::currentSecsSinceEpoch()), 5.0);

    EXPECT_EQ(oEmulator.makeDatagram("ab", "x").mid(4, 4), "#PXX");
    // Multi-byte text is carried whole.
    const QByteArray baUtf8 = oEmulator.makeDatagram("#P40", QString::fromUtf8("d\xC3\xA9p"));
    ASSERT_EQ(baUtf8.size(), 35);
    EXPECT_EQ(baUtf8.mid(26, 4), "d\xC3\xA9p");
    EXPECT_EQ(u32(baUtf8, 31), 35u);
}

TEST(CPuLandEmulatorText, AgeText)
{
    const struct {
        int ms;
        bool green;
        const char* text;
    } aCases[] = {{0, false, "Now;G"},           {1999, false, "Now;G"},          {31999, false, "31 seconds;G"},
                  {32001, false, "32 seconds;Y"}, {120000, false, "2 minutes;Y"},  {200000, false, "3 minutes;R;Y"},
                  {200000, true, "3 minutes;G"},  {7200000, false, "2 hours;R;Y"}};
    for (const auto& c : aCases)
        EXPECT_EQ(CPuLandEmulator::ageText(c.ms, c.green), QString::fromUtf8(c.text)) << c.ms;
}

TEST_F(EmulatorTest, BroadcastBinaryPicksCommandAndTelnetPorts)
{
    const quint16 nPort = freePort();
    QTcpServer oBusy; // the asked port is taken: the next free one is used
    ASSERT_TRUE(oBusy.listen(QHostAddress::Any, nPort));
    CPuLandEmulator oEmulator;
    oEmulator.setBroadcastBinary(broadcastBinary(nPort));
    EXPECT_GT(oEmulator.commandPort(), nPort);
    EXPECT_EQ(oEmulator.telnetPort(), quint16(oEmulator.commandPort() + 1300));

    CPuLandEmulator oDefault;
    oDefault.setBroadcastBinary(broadcastBinary(0));
    EXPECT_GE(oDefault.commandPort(), 2012);
}

TEST_F(EmulatorTest, CommandStreamIsAcknowledgedAndAnswered)
{
    CPuLandEmulator oEmulator;
    oEmulator.setObjectName("S1");
    oEmulator.setBroadcastBinary(broadcastBinary(freePort()));
    oEmulator.setXml("<PARAMS><TOKEN><ID>Gain</ID><VALUE>3</VALUE></TOKEN></PARAMS>");
    CommandClient oFirst(oEmulator.commandPort());
    CommandClient oSecond(oEmulator.commandPort());
    for (CommandClient* poClient : {&oFirst, &oSecond}) { // both accepted
        poClient->socket().write(commandDatagram("#NOP"));
        ASSERT_TRUE(poClient->waitFor(1));
        poClient->received.clear();
    }

    // #P22 arrives in two pieces, its tail together with a whole #X01.
    const QByteArray baStream = commandDatagram("#P22") + commandDatagram("#X01", "abc");
    oFirst.socket().write(baStream.left(7));
    oFirst.socket().flush();
    corvtest::waitUntil([] { return false; }, 100);
    oFirst.socket().write(baStream.mid(7));
    ASSERT_TRUE(oFirst.waitFor(3));
    const QByteArray& baAck = oFirst.received.at(0);
    ASSERT_EQ(baAck.size(), 40);
    EXPECT_EQ(baAck.mid(4, 4), "#IAR");
    EXPECT_EQ(quint8(baAck.at(9)), 7);
    EXPECT_EQ(qFromLittleEndian<quint16>(baAck.constData() + 10), 1234);
    EXPECT_EQ(u32(baAck, 20), 1u);
    EXPECT_EQ(baAck.mid(24, 4), "#P22");
    EXPECT_EQ(u32(baAck, 36), 40u);
    EXPECT_EQ(oFirst.received.at(1).mid(4, 4), "#P40");
    EXPECT_TRUE(oFirst.received.at(1).contains("<ID>Gain</ID>"));
    EXPECT_EQ(oFirst.received.at(2).mid(24, 4), "#X01");
    ASSERT_TRUE(oSecond.waitFor(1)); // the parameter XML goes to every command client
    EXPECT_EQ(oSecond.received.at(0).mid(4, 4), "#P40");

    // A length that cannot be right closes that client only.
    QByteArray baBad(8, '\0');
    qToLittleEndian<quint32>(0xFFFFFFF0u, baBad.data());
    oSecond.socket().write(baBad);
    ASSERT_TRUE(corvtest::waitUntil([&] { return oSecond.socket().state() == QAbstractSocket::UnconnectedState; }));
    oFirst.received.clear();
    oFirst.socket().write(commandDatagram("#X02"));
    ASSERT_TRUE(oFirst.waitFor(1));
    EXPECT_EQ(oFirst.received.at(0).mid(24, 4), "#X02");
}

TEST_F(EmulatorTest, XmlUpdatesGoToClientsAndBadOnesChangeNothing)
{
    CPuLandEmulator oEmulator;
    oEmulator.setBroadcastBinary(broadcastBinary(freePort()));
    oEmulator.setXml("<PARAMS><TOKEN><ID>Gain</ID><VALUE>3</VALUE></TOKEN></PARAMS>");
    CommandClient oClient(oEmulator.commandPort());
    oClient.socket().write(commandDatagram("#NOP"));
    ASSERT_TRUE(oClient.waitFor(1));
    oClient.received.clear();
    EXPECT_EQ(oEmulator.setBist(""), -1);

    const QString strUpdate = "<U><TOKEN><ID>gain</ID><VALUE>5</VALUE></TOKEN></U>";
    oEmulator.updateXml(strUpdate);
    ASSERT_TRUE(oClient.waitFor(1));
    EXPECT_EQ(oClient.received.at(0).mid(26, strUpdate.size()), strUpdate.toUtf8());
    const QString strBefore = oEmulator.parameterXml().toString();
    oEmulator.updateXml("<U><TOKEN><ID>Gain</ID><VALUE>1\n2</VALUE></TOKEN></U>");
    oEmulator.setXml("<broken");
    EXPECT_EQ(oEmulator.parameterXml().toString(), strBefore);
    EXPECT_TRUE(strBefore.contains("<VALUE>5</VALUE>"));
}

TEST_F(EmulatorTest, P99TextIsUploadedUnderCopyParams)
{
    CPuLandEmulator oEmulator;
    oEmulator.setObjectName("S.1");
    oEmulator.setUploader(&m_oUploader);
    oEmulator.setBroadcastBinary(broadcastBinary(freePort()));
    CommandClient oClient(oEmulator.commandPort());
    oClient.socket().write(commandDatagram("#p99", QByteArray(6, '\0') + "set gain 5" + '\0' + "junk"));
    ASSERT_TRUE(oClient.waitFor(1));
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 1; }));
    const HttpPeer::Upload oUp = uploads().first();
    EXPECT_EQ(oUp.record->MessageType, "edgeCopyParams_S.1.dat");
    EXPECT_EQ(oUp.record->Data, "set gain 5");
    EXPECT_EQ(oUp.topic, "/V1/QELBinary/TVCON_REMOTE_CMD");
}

TEST_F(EmulatorTest, TelnetEventsAreUploadedAsSentences)
{
    CPuLandEmulator oEmulator;
    oEmulator.setObjectName("S1");
    oEmulator.setUploader(&m_oUploader);
    oEmulator.setBroadcastBinary(broadcastBinary(freePort()));
    ASSERT_NE(oEmulator.telnetPort(), 0);
    {
        QTcpSocket oTelnet;
        oTelnet.connectToHost(QHostAddress::LocalHost, oEmulator.telnetPort());
        ASSERT_TRUE(oTelnet.waitForConnected(5000));
        ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 1; }));
        oEmulator.updateTelnet("prompt> ");
        ASSERT_TRUE(corvtest::waitUntil([&] { return oTelnet.bytesAvailable() >= 8; }));
        EXPECT_EQ(oTelnet.readAll(), "prompt> ");
        oTelnet.write("gain,999*7$X\r\n");
        ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 2; }));
    }
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == 3; }));
    const QList<HttpPeer::Upload> lstUp = uploads();
    EXPECT_EQ(lstUp.at(0).record->MessageType, "edgeLandTelnet_S1.dat");
    EXPECT_EQ(lstUp.at(0).record->Data, "$TVQEL,820,S1");
    EXPECT_EQ(lstUp.at(1).record->Data, "$TVQEL,821,S1,gain,999*7$X\r\n"); // as sent, nothing replaced
    EXPECT_EQ(lstUp.at(2).record->Data, "$TVQEL,819,S1");
}

TEST_F(EmulatorTest, UnnamedEmulatorUploadsNothing)
{
    CPuLandEmulator oEmulator;
    oEmulator.setUploader(&m_oUploader);
    oEmulator.setBroadcastBinary(broadcastBinary(freePort()));
    QTcpSocket oTelnet;
    oTelnet.connectToHost(QHostAddress::LocalHost, oEmulator.telnetPort());
    ASSERT_TRUE(oTelnet.waitForConnected(5000));
    oTelnet.write("hello");
    CommandClient oClient(oEmulator.commandPort());
    oClient.socket().write(commandDatagram("#P99", QByteArray(6, '\0') + "x"));
    ASSERT_TRUE(oClient.waitFor(1));
    corvtest::waitUntil([] { return false; }, 200);
    EXPECT_EQ(m_oPeer.connections, 0);
}

TEST_F(EmulatorTest, StatusBroadcastAndAges)
{
    QUdpSocket oStatus;
    ASSERT_TRUE(oStatus.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const auto receive = [&] {
        QList<QByteArray> lstOut;
        corvtest::waitUntil([&] { return false; }, 200);
        while (oStatus.hasPendingDatagrams())
            lstOut.append(oStatus.receiveDatagram().data());
        return lstOut;
    };
    CPuLandEmulator oEmulator;
    oEmulator.setStatusPort(oStatus.localPort());
    oEmulator.setXml("<PARAMS/>");
    // No broadcast binary yet: the datagram is kept but the status age is not started.
    oEmulator.setIpuBinary(commandDatagram("#IPU"));
    oEmulator.onBroadcastTimeout();
    QList<QByteArray> lstGot = receive();
    ASSERT_EQ(lstGot.size(), 1);
    EXPECT_EQ(lstGot.at(0).mid(4, 4), "#AGE");
    EXPECT_EQ(lstGot.at(0).mid(26, lstGot.at(0).size() - 31), "FullXml age=Now;G");

    const QByteArray baBroadcast = broadcastBinary(freePort());
    oEmulator.setBroadcastBinary(baBroadcast);
    oEmulator.setIpuBinary(commandDatagram("#IPU"));
    lstGot = receive();
    ASSERT_EQ(lstGot.size(), 1);
    EXPECT_EQ(lstGot.at(0).mid(4, 4), "#FRC");
    oEmulator.onBroadcastTimeout();
    lstGot = receive();
    ASSERT_EQ(lstGot.size(), 3);
    EXPECT_EQ(lstGot.at(0).mid(4, 4), "#SBC");
    EXPECT_EQ(qFromLittleEndian<quint16>(lstGot.at(0).constData() + 24), oEmulator.commandPort());
    EXPECT_EQ(lstGot.at(1).mid(26, lstGot.at(1).size() - 31), "Status age=Now;G");
    EXPECT_EQ(lstGot.at(2).mid(26, lstGot.at(2).size() - 31), "FullXml age=Now;G");
}

TEST_F(EmulatorTest, MainStationForwardsAllButLocalOnlySentences)
{
    QUdpSocket oInputA, oInputB, oSender;
    ASSERT_TRUE(oInputA.bind(QHostAddress(QHostAddress::LocalHost), 0));
    ASSERT_TRUE(oInputB.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QTcpServer oWaterColumn;
    ASSERT_TRUE(oWaterColumn.listen(QHostAddress::LocalHost, 0));
    CQelLandEmulator oEmulator;
    oEmulator.setObjectName("Ulma7");
    oEmulator.setUploader(&m_oUploader);
    oEmulator.setInputSockets(&oInputA, &oInputB);
    oEmulator.setWaterColumnServer(&oWaterColumn);

    const struct {
        const char* sentence;
        bool forwarded;
    } aCases[] = {{"$TVQEL,451,479,x", false}, {"$TVQEL,451,480,x", true}, {"$TVQEL,470,a,b", true},
                  {"$TVQEL,abc", true},        {"$TVQEL,12,x", false},     {"$TVQEL,998", false},
                  {"$TVQEL,1", false},         {"$TVQEL", true}};
    QByteArrayList lstExpected;
    int i = 0;
    for (const auto& c : aCases) {
        oSender.writeDatagram(c.sentence, QHostAddress::LocalHost, (i++ % 2 ? oInputB : oInputA).localPort());
        if (c.forwarded)
            lstExpected << c.sentence;
    }
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oPeer.requests.size() == lstExpected.size(); }));
    corvtest::waitUntil([] { return false; }, 200);
    QByteArrayList lstGot;
    for (const HttpPeer::Upload& oUp : uploads()) {
        EXPECT_EQ(oUp.record->MessageType, "edgeUlmaExec_Ulma7.dat");
        EXPECT_EQ(oUp.topic, "/V1/QELBinary/QEL_REMOTE_CMD");
        lstGot << oUp.record->Data;
    }
    std::sort(lstGot.begin(), lstGot.end());
    std::sort(lstExpected.begin(), lstExpected.end());
    EXPECT_EQ(lstGot, lstExpected);

    QTcpSocket oWcol;
    oWcol.connectToHost(QHostAddress::LocalHost, oWaterColumn.serverPort());
    ASSERT_TRUE(corvtest::waitUntil([&] { return oEmulator.waterColumnClient() != nullptr; }));
}

} // namespace
