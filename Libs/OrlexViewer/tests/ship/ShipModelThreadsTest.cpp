// The ship model driven from the runtime's receiving thread through the posting sink while the GUI
// thread changes its settings: vessel moves reach the viewer without the GUI thread, and every
// vessel's moves and every tail's soundings arrive whole and in order.
#include "ControllerHarness.h"
#include "PositionDatagram.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"
#include "TqelRuntime/RuntimeGuiSink.h"

#include <orlex_standin/control.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::LoggedBody;

namespace {

class ShipModelThreads : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pHarness = new ControllerHarness;
        ASSERT_TRUE(s_pHarness->startServer());
        s_pViewer = s_pHarness->startLiveView(3);
        s_pHarness->sync();
    }
    static void TearDownTestSuite()
    {
        COrlexViewer::destroyInstance();
        delete s_pHarness;
        s_pHarness = nullptr;
    }

    CShipModel& ship() { return *s_pViewer->getShipModel(); }

    // Object id and first position (x, y) of every message of the type since nFrom.
    static std::vector<std::pair<quint64, std::pair<double, double>>> moves(const QString& strType, qint64 nFrom)
    {
        s_pHarness->sync();
        std::vector<std::pair<quint64, std::pair<double, double>>> result;
        for (const QJsonObject& entry : s_pHarness->received(strType, nFrom)) {
            const LoggedBody body = bodyOf(entry);
            const QJsonArray values = body.list(2, 0);
            if (values.isEmpty())
                continue;
            const auto nId = static_cast<quint64>(body.number(1, 0, 0));
            if (values.first().isObject()) {
                const LoggedBody position(values.first().toObject());
                result.push_back({nId, {position.number(0, 0), position.number(0, 1)}});
            } else if (values.size() >= 2) {
                result.push_back({nId, {values.at(0).toDouble(), values.at(1).toDouble()}});
            }
        }
        return result;
    }

    static ControllerHarness* s_pHarness;
    static COrlexViewer* s_pViewer;
};

ControllerHarness* ShipModelThreads::s_pHarness = nullptr;
COrlexViewer* ShipModelThreads::s_pViewer = nullptr;

} // namespace

TEST_F(ShipModelThreads, VesselMoveReachesTheViewerWhileTheGuiThreadWaits)
{
    ASSERT_NE(COrlexViewer::liveShipModel(), nullptr);
    CPostingGuiSink sink;
    const qint64 nFrom = s_pHarness->mark();
    // The GUI thread handles no event until the server has the move.
    std::thread runtime([&] { sink.updateVessel(123400, 567800, 9000, QStringLiteral("GPS1:2040_17")); });
    runtime.join();
    const std::optional<QJsonObject> move =
        s_pHarness->control().waitFor(QStringLiteral("in"), orlex_standin::coreType("PositionUpdateMessage"), nFrom, 5000);
    ASSERT_TRUE(move.has_value());
    const LoggedBody position(bodyOf(*move).list(2, 0).first().toObject());
    EXPECT_NEAR(position.number(0, 0), 1234.0, 1e-9);
    EXPECT_NEAR(position.number(0, 1), 5678.0, 1e-9);
    // Its read-out flag reaches the controller on the GUI thread.
    EXPECT_TRUE(viewertest::waitUntil([&] { return s_pViewer->hasVesselPosition(); }));
}

TEST_F(ShipModelThreads, MovesAndSoundingsFromAnotherThreadKeepTheirOrderWhileSettingsChange)
{
    constexpr int kRounds = 150;
    const QStringList labels{QStringLiteral("GPS1:2040_17"), QStringLiteral("GPS2:2040_18"), QStringLiteral("GPS3:2040_19")};
    const qint64 nFrom = s_pHarness->mark();
    CPostingGuiSink sink;
    std::atomic<bool> bDone{false};
    std::thread runtime([&] {
        corvtest::PositionFix fix;
        for (int i = 1; i <= kRounds; ++i) {
            for (int v = 0; v < labels.size(); ++v)
                sink.updateVessel(100 * i, 100000 * (v + 1), (100 * i) % 36000, labels.at(v));
            fix.nCount = static_cast<std::uint16_t>(i);
            sink.addPositionDatagram(corvtest::positionDatagram(fix));
            // The first soundings of a tail make its buffer on the GUI thread; later ones go direct.
            sink.pushDepthTail(std::vector<double>{static_cast<double>(i), 7.0, -1.0, static_cast<double>(i), 8.0, -1.0},
                               QStringLiteral("GPS1:0"));
        }
        bDone = true;
    });
    // Meanwhile the GUI thread changes what the same state holds and reads it back.
    for (int k = 0; !bDone; ++k) {
        ship().setShipColor(0, QColor::fromHsv((k * 17) % 360, 255, 255));
        ship().setTailPointSize(2 + k % 3);
        ship().setDepthTailCount(100000 + k);
        ship().onNavigationState(0, 1000 + k, true);
        ship().createCogVector(0);
        ship().setCogVectorColor(QColor(255, 0, k % 256));
        int nEast = 0;
        int nNorth = 0;
        ship().getVesselPosition(nEast, nNorth);
        ship().getVesselPositionByName(QStringLiteral("GPS2"), nEast, nNorth);
        EXPECT_GE(ship().vesselCount(), 1);
        QCoreApplication::processEvents();
    }
    runtime.join();
    ASSERT_TRUE(viewertest::waitUntil([&] { return moves(QStringLiteral("AddToPointBufferMessage"), nFrom).size() >= kRounds; }));

    // Each vessel's symbol moves east one step a round, every round, in order.
    std::map<quint64, std::vector<double>> eastBySymbol;
    for (const auto& [nId, xy] : moves(QStringLiteral("PositionUpdateMessage"), nFrom))
        if (nId % CShipModel::kVesselIdStep == 0)
            eastBySymbol[nId].push_back(xy.first);
    for (int v = 0; v < labels.size(); ++v) {
        SCOPED_TRACE(labels.at(v).toStdString());
        const std::vector<double>& east = eastBySymbol[CShipModel::kVesselIdBase + CShipModel::kVesselIdStep * v];
        ASSERT_EQ(east.size(), static_cast<std::size_t>(kRounds));
        for (int i = 0; i < kRounds; ++i)
            ASSERT_DOUBLE_EQ(east[static_cast<std::size_t>(i)], i + 1.0) << "round " << i + 1;
    }
    // One tail buffer, every ping once and in order.
    const auto soundings = moves(QStringLiteral("AddToPointBufferMessage"), nFrom);
    ASSERT_EQ(soundings.size(), static_cast<std::size_t>(kRounds));
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(soundings[static_cast<std::size_t>(i)].first, ship().getTailBufferId(QStringLiteral("GPS1:0")));
        ASSERT_DOUBLE_EQ(soundings[static_cast<std::size_t>(i)].second.first, i + 1.0) << "ping " << i + 1;
    }
    EXPECT_EQ(s_pHarness->received(QStringLiteral("CreatePointBufferMessage"), nFrom).size(), 1);
}
