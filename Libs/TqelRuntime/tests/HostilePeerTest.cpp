// A hostile peer on the survey network against a remote station's runtime link on its own
// thread: position datagrams from ever new sender addresses, and from stations other than the
// one the installation follows. The GUI thread stays responsive, memory stays bounded and the
// real vessel's positions still arrive.
#include "PositionDatagram.h"
#include "RecordingGuiSink.h"
#include "RuntimeTestLink.h"

#include "Common/GuiIni.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"
#include "test_scratch.h"
#include "test_event_gaps.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <iostream>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using corvtest::PositionFix;
using corvtest::positionDatagram;

constexpr int PortAdd = 1700;
constexpr quint16 PositionPort = 25125 + PortAdd;

void setKey(const char* szKey, const QVariant& vValue)
{
    ASSERT_TRUE(GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QLatin1String(szKey), vValue));
}

// Resident memory of this process, kB.
qint64 residentKb()
{
    QFile oStatus(QStringLiteral("/proc/self/status"));
    if (!oStatus.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& baLine : oStatus.readAll().split('\n'))
        if (baLine.startsWith("VmRSS:"))
            return baLine.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// A UDP socket bound to one loopback address (127.0.0.0/8 all reach this host).
class LoopbackSender {
public:
    explicit LoopbackSender(const char* szAddress) : m_oFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in oLocal{};
        oLocal.sin_family = AF_INET;
        ::inet_pton(AF_INET, szAddress, &oLocal.sin_addr);
        m_bBound = m_oFd && ::bind(m_oFd.get(), reinterpret_cast<const sockaddr*>(&oLocal), sizeof oLocal) == 0;
        m_oTarget.sin_family = AF_INET;
        m_oTarget.sin_port = htons(PositionPort);
        ::inet_pton(AF_INET, "127.0.0.1", &m_oTarget.sin_addr);
    }
    bool bound() const { return m_bBound; }
    bool send(const QByteArray& baDatagram) const
    {
        return ::sendto(m_oFd.get(), baDatagram.constData(), static_cast<std::size_t>(baDatagram.size()), 0,
                        reinterpret_cast<const sockaddr*>(&m_oTarget), sizeof m_oTarget)
               == baDatagram.size();
    }

private:
    platform::UniqueFd m_oFd;
    sockaddr_in m_oTarget{};
    bool m_bBound = false;
};

QByteArray fixAt(std::int32_t nLatitude, const char* szSource)
{
    PositionFix oFix;
    oFix.nLatitude = nLatitude;
    oFix.nLongitude = 100000000;
    oFix.nQuality = 0; // not for the history: the vessel move is what is counted
    oFix.strSource = szSource;
    return positionDatagram(oFix);
}

// The runtime link in mode 4 on a thread of its own; the test thread plays the GUI thread.
class HostilePeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        platform::ensureWindowsEnvironment();
        setKey("CorvNoMCAST", true);
        setKey("CorvPortAdd", PortAdd);
    }

    void startLink()
    {
        m_poSink = std::make_shared<RecordingGuiSink>();
        m_poRuntime = std::make_unique<CUlmaRuntime>(4, m_poSink);
        ASSERT_EQ(m_poRuntime->boundPorts().position, PositionPort);
        ASSERT_TRUE(corvtest::useMercator(*m_poRuntime));
        QObject::connect(m_poRuntime.get(), &CUlmaRuntime::relayToMapView, &m_oGuiSide, [this](int nCode, QString strText) {
            if (nCode == 22)
                m_lstSenders << strText;
        });
        m_poRuntime->moveToThread(&m_oThread);
        m_oThread.start();
    }

    void TearDown() override
    {
        if (!m_poRuntime)
            return;
        QThread* poGui = QThread::currentThread();
        QMetaObject::invokeMethod(m_poRuntime.get(), [this, poGui] { m_poRuntime->moveToThread(poGui); }, Qt::BlockingQueuedConnection);
        m_oThread.quit();
        m_oThread.wait();
        m_poRuntime.reset();
    }

    // Vessel moves of that source that reached the GUI side.
    int movesOf(const QString& strSource) const
    {
        const QStringList lstCalls = m_poSink->calls();
        return static_cast<int>(std::count_if(lstCalls.begin(), lstCalls.end(), [&](const QString& strCall) {
            return strCall.startsWith(QLatin1String("updateVessel")) && strCall.contains(strSource + QLatin1Char(':'));
        }));
    }

    QObject m_oGuiSide;
    QThread m_oThread;
    std::shared_ptr<RecordingGuiSink> m_poSink;
    std::unique_ptr<CUlmaRuntime> m_poRuntime;
    QStringList m_lstSenders;
};

// 200 spoofed senders taking turns as fast as the loopback carries them, while the real station
// sends 20 positions a second: the GUI hears of the current sender a few times a second, its
// thread never waits long, memory stays put, and the real vessel's positions go on arriving.
TEST_F(HostilePeer, SenderFloodIsCoalescedForTheGui)
{
    startLink();
    std::vector<std::unique_ptr<LoopbackSender>> lstSpoofed;
    for (int n = 0; n < 200; ++n) {
        lstSpoofed.push_back(std::make_unique<LoopbackSender>(QStringLiteral("127.0.1.%1").arg(n + 1).toLatin1().constData()));
        ASSERT_TRUE(lstSpoofed.back()->bound());
    }
    const LoopbackSender oReal("127.0.0.2");
    ASSERT_TRUE(oReal.bound());
    ASSERT_TRUE(oReal.send(fixAt(1000, "REAL")));
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_lstSenders == QStringList{"127.0.0.2"} && movesOf("REAL") == 1; }));
    const qint64 nMemoryBefore = residentKb();

    constexpr int FloodMs = 2000;
    std::atomic<bool> bDone{false};
    std::atomic<qint64> nSent{0};
    std::atomic<int> nRealSent{0};
    std::thread oFlood([&] {
        const QByteArray baSpoofed = fixAt(5000, "SPOOF");
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(FloodMs);
        auto tNextReal = std::chrono::steady_clock::now();
        for (std::size_t n = 0; std::chrono::steady_clock::now() < tEnd; ++n) {
            if (lstSpoofed[n % lstSpoofed.size()]->send(baSpoofed))
                ++nSent;
            if (std::chrono::steady_clock::now() >= tNextReal) {
                tNextReal += std::chrono::milliseconds(50);
                oReal.send(fixAt(2000 + nRealSent.fetch_add(1), "REAL"));
            }
        }
        oReal.send(fixAt(999999, "REAL"));
        bDone = true;
    });
    // The GUI thread's own timer: the longest gap between its ticks during and after the flood.
    corvtest::EventGapMeter oGaps(5);
    const bool bFinished = corvtest::waitUntil([&] { return bDone.load(); }, FloodMs + 10000);
    oFlood.join();
    ASSERT_TRUE(bFinished);
    // Right after the flood: the real vessel's positions arrive, all but what the kernel may drop.
    const int nRealTotal = nRealSent.load() + 2;
    corvtest::waitUntil([&] { return movesOf("REAL") >= nRealTotal; }, 3000);
    oGaps.stop();

    const qint64 nAddedKb = residentKb() - nMemoryBefore;
    std::cout << "flood: " << nSent.load() << " spoofed datagrams in " << FloodMs << " ms, " << m_lstSenders.size()
              << " sender relays, longest GUI gap " << oGaps.longestGapMs() << " ms, memory +" << nAddedKb << " kB, real vessel moves "
              << movesOf("REAL") << " of " << nRealTotal << std::endl;
    EXPECT_GT(nSent.load(), 10000);
    // At most one relay per interval (250 ms) and the ones at the start and end.
    EXPECT_LE(m_lstSenders.size(), FloodMs / 250 + 4);
    EXPECT_LT(oGaps.longestGapMs(), 250 * corvtest::kSanitizerSlowdown);
    EXPECT_LT(nAddedKb, 32 * 1024);
    EXPECT_GE(movesOf("REAL") * 10, nRealTotal * 9);
}

// With the main station pinned in gui.ini only its datagrams count; others are logged once and
// dropped. The operator's choice of another station takes effect at once and is kept.
TEST_F(HostilePeer, PinnedMainStationIgnoresOtherSenders)
{
    setKey("MainStationAddress", "127.0.0.7");
    startLink();
    const LoopbackSender oOther("127.0.0.3");
    const LoopbackSender oMain("127.0.0.7");
    ASSERT_TRUE(oOther.bound() && oMain.bound());
    for (int n = 0; n < 50; ++n)
        ASSERT_TRUE(oOther.send(fixAt(3000 + n, "OTHER")));
    ASSERT_TRUE(oMain.send(fixAt(7000, "MAIN")));
    ASSERT_TRUE(corvtest::waitUntil([&] { return movesOf("MAIN") == 1 && !m_lstSenders.isEmpty(); }));
    EXPECT_EQ(movesOf("OTHER"), 0);
    EXPECT_EQ(m_lstSenders, QStringList{"127.0.0.7"});
    EXPECT_EQ(m_poRuntime->followedStation(), QStringLiteral("127.0.0.7"));

    QMetaObject::invokeMethod(m_poRuntime.get(), "followStation", Q_ARG(QString, QStringLiteral("::ffff:127.0.0.3")));
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_lstSenders.size() == 2; }));
    EXPECT_EQ(m_lstSenders.last(), QStringLiteral("127.0.0.3"));
    EXPECT_EQ(m_poRuntime->followedStation(), QStringLiteral("127.0.0.3"));
    EXPECT_EQ(GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("MainStationAddress"), QString()).toString(),
              QStringLiteral("127.0.0.3"));
    ASSERT_TRUE(oMain.send(fixAt(7001, "MAIN")));
    ASSERT_TRUE(oOther.send(fixAt(4000, "OTHER")));
    ASSERT_TRUE(corvtest::waitUntil([&] { return movesOf("OTHER") == 1; }));
    EXPECT_EQ(movesOf("MAIN"), 1);

    // Not an address: nothing changes. Empty: the first sender rule again, any sender counts.
    QMetaObject::invokeMethod(m_poRuntime.get(), "followStation", Q_ARG(QString, QStringLiteral("main-station")));
    QMetaObject::invokeMethod(m_poRuntime.get(), "followStation", Q_ARG(QString, QString()));
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_poRuntime->followedStation().isEmpty(); }));
    ASSERT_TRUE(oMain.send(fixAt(7002, "MAIN")));
    ASSERT_TRUE(corvtest::waitUntil([&] { return movesOf("MAIN") == 2; }));
}

} // namespace
