// The vessels in the view, through the stand-in server: the start from the live view, updates of
// known, new and refused labels, the course vector fed by position datagrams, the symbol switch,
// colours and the depth tails. The ship model's state is process-wide, so the tests run in order
// on one live view.
#include "ControllerHarness.h"
#include "PositionDatagram.h"
#include "TokenFixture.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"
#include "SurveyUtils/Navigation.h"

#include <platform/paths.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <log4cplus/appender.h>
#include <log4cplus/spi/loggingevent.h>
#include <log4cplus/logger.h>

#include <atomic>
#include <chrono>
#include <cmath>

using corvtest::PositionFix;
using corvtest::positionDatagram;
using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::LoggedBody;
using viewertest::shortType;

namespace {

const QSet<QString> kShipTypes{"CreateCubeMessage",         "CreateMeshMessage",        "CreateLineMessage",
                               "CreateModelMessage",        "DestroyObjectMessage",     "PositionUpdateMessage",
                               "RotationUpdateMessage",     "UpdateMeshMessage",        "UpdateLineMessage",
                               "UpdateMaterialMessage",     "UpdatePositionHistoryMessage", "UpdatePropertiesMessage",
                               "SetCameraDataMessage",      "CreatePointBufferMessage", "AddToPointBufferMessage",
                               "UpdatePointBufferMessage"};

double num(const QJsonValue& value)
{
    return value.isString() ? value.toString().toDouble() : value.toDouble();
}

// The object id of a message: the Id of an object message, the first of ObjectIds.
quint64 idOf(const QJsonObject& entry)
{
    return static_cast<quint64>(bodyOf(entry).number(1, 0, 0));
}

std::vector<double> numbers(const QJsonArray& values)
{
    std::vector<double> result;
    for (const QJsonValue& value : values)
        result.push_back(num(value));
    return result;
}

// LineData or MeshData positions of a line or mesh message.
std::vector<double> shapeOf(const QJsonObject& entry, int nLevel)
{
    return numbers(bodyOf(entry).structAt(nLevel, 0).list(0, 1));
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double dTolerance = 1e-3)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t n = 0; n < actual.size(); ++n)
        EXPECT_NEAR(actual[n], expected[n], dTolerance) << "element " << n;
}

class ShipModelView : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pHarness = new ControllerHarness;
        // Outline 5 m ahead, 3.5 m astern, 1.5 m to each side; marker body 2 m, spear 4 m.
        corvtest::writeTokens(QJsonArray{
            corvtest::token("ROZOVED_BOATVIEW_FORE_DIST", 2, "500"),
            corvtest::token("ROZOVED_BOATVIEW_AFT_DIST", 2, "350"),
            corvtest::token("ROZOVED_BOATVIEW_PORT_DIST", 2, "150"),
            corvtest::token("ROZOVED_BOATVIEW_STBD_DIST", 2, "150"),
            corvtest::token("ROZOVED_BOATVIEW_SPEAR_LEN", 2, "850"),
            corvtest::token("ROZOVED_MARKER_BODY_LEN", 1, "2.0"),
            corvtest::token("ROZOVED_MARKER_SPEAR_LEN", 1, "4.0"),
        });
        ASSERT_TRUE(s_pHarness->startServer());
        s_nStart = s_pHarness->mark();
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

    // "Type:id" of every ship-model message from a sequence number on.
    QStringList sent(qint64 nFrom)
    {
        s_pHarness->sync();
        QStringList result;
        for (const QJsonValue& value : s_pHarness->control().entries(QStringLiteral("in"), QString(), nFrom)) {
            const QJsonObject entry = value.toObject();
            const QString strType = shortType(entry);
            if (!kShipTypes.contains(strType))
                continue;
            if (strType == QLatin1String("SetCameraDataMessage")) {
                result << strType;
                continue;
            }
            if (strType == QLatin1String("UpdatePropertiesMessage") && idOf(entry) == 0)
                continue; // the harness's barrier
            result << QStringLiteral("%1:%2").arg(strType.chopped(7)).arg(idOf(entry));
        }
        return result;
    }
    // Received messages of one type, once everything sent so far has arrived.
    QList<QJsonObject> received(const QString& strType, qint64 nFrom)
    {
        s_pHarness->sync();
        return s_pHarness->received(strType, nFrom);
    }
    // After everything sent so far has arrived.
    qint64 mark()
    {
        s_pHarness->sync();
        return s_pHarness->mark();
    }

    static ControllerHarness* s_pHarness;
    static COrlexViewer* s_pViewer;
    static qint64 s_nStart;
};

ControllerHarness* ShipModelView::s_pHarness = nullptr;
COrlexViewer* ShipModelView::s_pViewer = nullptr;
qint64 ShipModelView::s_nStart = 0;

// A marked position datagram of the source "GPS1" for the position history.
QByteArray northFix(std::uint32_t nTimeMs, double dNorthM)
{
    PositionFix fix;
    fix.nTimeMs = nTimeMs;
    double dCmPerDegree = 0;
    cmPerDegree(60, 0, 6378137.0, 298.257223563, &dCmPerDegree, nullptr);
    fix.nLatitude = 60 * 20000000 + static_cast<std::int32_t>(std::lround(dNorthM * 100 / dCmPerDegree * 20000000));
    return positionDatagram(fix);
}

} // namespace

TEST_F(ShipModelView, LiveViewStartsTheFirstVessel)
{
    ASSERT_NE(s_pViewer->getShipModel(), nullptr);
    EXPECT_TRUE(ship().isVesselCreated());
    const QStringList messages = sent(s_nStart);
    // The controller's own cube first (an allocated id), then the vessel.
    const int nFirst = static_cast<int>(messages.indexOf(QStringLiteral("CreateCube:40001")));
    ASSERT_GE(nFirst, 0) << messages.join(' ').toStdString();
    EXPECT_EQ(messages.mid(nFirst), (QStringList{"CreateCube:40001", "CreateMesh:40000", "CreateLine:40003", "UpdatePositionHistory:40001",
                                                 "UpdateProperties:40001", "PositionUpdate:40000", "PositionUpdate:40001",
                                                 "RotationUpdate:40000"}));

    const QJsonObject cube = received(QStringLiteral("CreateCubeMessage"), s_nStart).last();
    EXPECT_EQ(bodyOf(cube).text(1, 7), QStringLiteral("Vessel"));
    EXPECT_FLOAT_EQ(static_cast<float>(bodyOf(cube).number(2, 0)), 0.1f);

    // The arrow marker, 2 m body: tip at the reference point.
    const QJsonObject mesh = received(QStringLiteral("CreateMeshMessage"), s_nStart).last();
    expectNear(shapeOf(mesh, 2), {0, 0, 0, -15, -20, 0, 15, -20, 0});
    const QJsonObject spear = received(QStringLiteral("CreateLineMessage"), s_nStart).last();
    EXPECT_EQ(bodyOf(spear).number(1, 1), 40000.0); // parent
    expectNear(shapeOf(spear, 2), {0, 0, 0, 0, 12, 0});

    const QJsonObject properties = received(QStringLiteral("UpdatePropertiesMessage"), s_nStart).first();
    const QJsonArray pairs = bodyOf(properties).list(2, 0);
    ASSERT_EQ(pairs.size(), 7);
    EXPECT_EQ(pairs.at(0).toArray().at(0).toString(), QStringLiteral("PositionHistoryColor"));
    EXPECT_EQ(pairs.at(0).toArray().at(1).toString(), QStringLiteral("0.752941,0.752941,0.752941,0.8"));
    EXPECT_EQ(pairs.at(3).toArray().at(1).toString(), QStringLiteral("1000"));

    // The start-up placeholder is no vessel position: the camera waits for the first one.
    EXPECT_FALSE(s_pViewer->hasVesselPosition());
}

TEST_F(ShipModelView, UpdatesOfKnownNewAndRefusedLabels)
{
    // The first real label is vessel 0: moved and turned, and the camera placed once, 100 m
    // over it.
    qint64 nFrom = mark();
    ship().updateVessel(123456, -654321, 9000, QStringLiteral("GPS1:2040_17"));
    EXPECT_EQ(sent(nFrom), (QStringList{"PositionUpdate:40000", "PositionUpdate:40001", "RotationUpdate:40000", "SetCameraDataMessage"}));
    const QJsonObject camera = received(QStringLiteral("SetCameraDataMessage"), nFrom).last();
    EXPECT_EQ(bodyOf(camera).structAt(3, 0).position(0, 3), (std::array<double, 3>{1234.56, -6543.21, 100}));
    const LoggedBody move = bodyOf(received(QStringLiteral("PositionUpdateMessage"), nFrom).first());
    const LoggedBody position(move.list(2, 0).first().toObject());
    EXPECT_NEAR(position.number(0, 0), 1234.56, 1e-9);
    EXPECT_NEAR(position.number(0, 1), -6543.21, 1e-9);
    const LoggedBody turn(bodyOf(received(QStringLiteral("RotationUpdateMessage"), nFrom).first()).list(2, 0).first().toObject());
    EXPECT_NEAR(turn.number(0, 2), -0.70711, 1e-4);
    EXPECT_NEAR(turn.number(0, 3, 1), 0.70711, 1e-4);
    EXPECT_TRUE(s_pViewer->hasVesselPosition());

    // A new label makes vessel 1: every marker is made again, then the new vessel moves.
    nFrom = mark();
    ship().updateVessel(500, 600, 0, QStringLiteral("GPS2:710_3"));
    EXPECT_EQ(sent(nFrom), (QStringList{"CreateCube:41001", "DestroyObject:40000", "DestroyObject:40003", "CreateMesh:40000", "CreateLine:40003",
                                        "CreateMesh:41000", "CreateLine:41003", "UpdatePositionHistory:41001", "UpdateProperties:41001",
                                        "PositionUpdate:41000", "PositionUpdate:41001", "RotationUpdate:41000"}));

    // A label with two colons is a vessel of its own, but not kept per source.
    ship().updateVessel(300, 300, 0, QStringLiteral("GPS7:9:1_1"));
    int nEast = -1;
    int nNorth = -1;
    ship().getVesselPositionByName(QStringLiteral("GPS7"), nEast, nNorth);
    EXPECT_EQ(nEast, 0);

    // Up to five vessels; a sixth label is refused and sends nothing.
    for (const char* szLabel : {"GPS4:1_2", "GPS5:1_3"})
        ship().updateVessel(100, 100, 0, QString::fromLatin1(szLabel));
    nFrom = mark();
    ship().updateVessel(700, 800, 0, QStringLiteral("GPS6:1_4"));
    ship().updateVessel(700, 800, 0, QString(5000, QLatin1Char('x')));
    EXPECT_TRUE(sent(nFrom).isEmpty());
    ship().getVesselPositionByName(QStringLiteral("GPS6"), nEast, nNorth);
    EXPECT_EQ(nEast, 0);
    ship().getVesselPositionByName(QStringLiteral("GPS2:710_3"), nEast, nNorth);
    EXPECT_EQ(nEast, 500);
    EXPECT_EQ(nNorth, 600);
    ship().getVesselPosition(nEast, nNorth);
    EXPECT_EQ(nEast, 100); // the last update that was taken

}

TEST_F(ShipModelView, CourseVectorFromPositionDatagrams)
{
    qint64 nFrom = mark();
    ship().createCogVector(0);
    ship().createCogVector(0); // once only
    EXPECT_EQ(sent(nFrom), (QStringList{"CreateLine:40002"}));
    const LoggedBody vector = bodyOf(received(QStringLiteral("CreateLineMessage"), nFrom).first());
    EXPECT_EQ(vector.number(1, 1), 40001.0); // on vessel 0's anchor

    // 5 m north a second: 5 m/s, 300 m in 60 s.
    for (int n = 0; n < 4; ++n) {
        const QByteArray datagram = northFix(static_cast<std::uint32_t>(50000000 + 1000 * n), 5.0 * n);
        ship().addPositionDatagram(datagram.constData(), datagram.size());
    }
    // A copy from the control road carries two more bytes.
    const QByteArray controlRoad = northFix(50004000, 20.0) + QByteArray("\n\r");
    ship().addPositionDatagram(controlRoad.constData(), controlRoad.size());

    nFrom = mark();
    ship().updateVessel(1000, 2000, 0, QStringLiteral("GPS1:2040_17"));
    EXPECT_EQ(sent(nFrom), (QStringList{"PositionUpdate:40000", "PositionUpdate:40001", "RotationUpdate:40000", "UpdateLine:40002",
                                        "RotationUpdate:40002"}));
    const std::vector<double> line = shapeOf(received(QStringLiteral("UpdateLineMessage"), nFrom).first(), 2);
    ASSERT_EQ(line.size(), 6u);
    EXPECT_NEAR(line[4], 300, 1.0);
    const LoggedBody course(bodyOf(received(QStringLiteral("RotationUpdateMessage"), nFrom).last()).list(2, 0).first().toObject());
    EXPECT_NEAR(course.number(0, 2), 0, 1e-3);

    ship().setVectorLength(120);
    nFrom = mark();
    ship().updateVessel(1000, 2100, 0, QStringLiteral("GPS1:2040_17"));
    const QList<QJsonObject> longer = received(QStringLiteral("UpdateLineMessage"), nFrom);
    ASSERT_EQ(longer.size(), 1);
    const std::vector<double> longerLine = shapeOf(longer.first(), 2);
    ASSERT_EQ(longerLine.size(), 6u);
    EXPECT_NEAR(longerLine[4], 600, 2.0);

    // Vessel 1 has no course vector of its own: nothing is sent for one.
    nFrom = mark();
    ship().updateVessel(510, 610, 0, QStringLiteral("GPS2:710_3"));
    EXPECT_EQ(sent(nFrom), (QStringList{"PositionUpdate:41000", "PositionUpdate:41001", "RotationUpdate:41000"}));
}

TEST_F(ShipModelView, MarkersScaleAndSwitchToOutlines)
{
    qint64 nFrom = mark();
    ship().onNavigationState(0, 150, false);
    EXPECT_TRUE(sent(nFrom).isEmpty());
    ship().onNavigationState(0, 250, true); // k = 2
    const QStringList scaled = sent(nFrom);
    ASSERT_EQ(scaled.size(), 10);
    EXPECT_EQ(scaled.mid(0, 4), (QStringList{"UpdateMesh:40000", "UpdateLine:40003", "UpdateMesh:41000", "UpdateLine:41003"}));
    expectNear(numbers(bodyOf(received(QStringLiteral("UpdateMeshMessage"), nFrom).first()).structAt(2, 0).list(0, 1)),
               {0, 0, 0, -3, -4, 0, 3, -4, 0});
    expectNear(shapeOf(received(QStringLiteral("UpdateLineMessage"), nFrom).first(), 2), {0, 0, 0, 0, 8, 0});

    // Zoomed in, no 3-D model: every vessel's marker and spear go, outlines and spears come.
    nFrom = mark();
    ship().switchVesselSymbol(0, false, 0, 0);
    const QStringList switched = sent(nFrom);
    ASSERT_EQ(switched.size(), 20);
    EXPECT_EQ(switched.mid(0, 4), (QStringList{"DestroyObject:40000", "DestroyObject:40003", "CreateLine:40000", "CreateLine:40003"}));
    EXPECT_FALSE(ship().isMarkerShown());
    const QJsonObject outline = received(QStringLiteral("CreateLineMessage"), nFrom).first();
    const std::vector<double> hull = shapeOf(outline, 2);
    ASSERT_EQ(hull.size(), 42u * 3);
    expectNear({hull[0], hull[1]}, {0, 5});
    expectNear({hull[60], hull[61]}, {-1.484, -3.5});
    expectNear({hull[63], hull[64]}, {1.484, -3.5});
    EXPECT_EQ(bodyOf(outline).text(1, 7), QStringLiteral("Vessel"));
    expectNear(shapeOf(received(QStringLiteral("CreateLineMessage"), nFrom).at(1), 2), {0, 5, 0, 0, 13.5, 0});

    // The same kind again does nothing.
    nFrom = mark();
    ship().switchVesselSymbol(0, false, 0, 0);
    EXPECT_TRUE(sent(nFrom).isEmpty());
}

TEST_F(ShipModelView, Colours)
{
    qint64 nFrom = mark();
    ship().setShipColor(0, QColor(255, 0, 0));
    ship().setCogVectorColor(QColor(0, 0, 255));
    ship().setTrackColor(QColor(0, 128, 255));
    EXPECT_EQ(sent(nFrom), (QStringList{"UpdateMaterial:40000", "UpdateMaterial:40003", "UpdateMaterial:40002", "UpdateProperties:40001"}));
    const LoggedBody material = bodyOf(received(QStringLiteral("UpdateMaterialMessage"), nFrom).first()).structAt(2, 0);
    const LoggedBody diffuse = material.structAt(0, 5).structAt(0, 1);
    EXPECT_FLOAT_EQ(static_cast<float>(diffuse.number(0, 0, 0.5)), 1.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(diffuse.number(0, 1, 0.5)), 0.0f);
    EXPECT_EQ(material.structAt(0, 5).number(0, 4), 3.0); // outline width
    const QJsonArray pairs = bodyOf(received(QStringLiteral("UpdatePropertiesMessage"), nFrom).first()).list(2, 0);
    ASSERT_EQ(pairs.size(), 1);
    EXPECT_EQ(pairs.at(0).toArray().at(1).toString(), QStringLiteral("0,0.501961,1,0.8"));
}

TEST_F(ShipModelView, DepthTails)
{
    std::vector<double> ping{1, 2, -30, 3, 4, -31, 5, 6, -32};
    qint64 nFrom = mark();
    ship().pushDepthTail(ping, QStringLiteral("EM2040:1"));
    EXPECT_TRUE(ping.empty()); // moved into the message
    const QStringList created = sent(nFrom);
    ASSERT_EQ(created.size(), 2);
    const quint64 nFirst = ship().getTailBufferId(QStringLiteral("EM2040:1"));
    EXPECT_GE(nFirst, 100u);
    EXPECT_EQ(created, (QStringList{QStringLiteral("CreatePointBuffer:%1").arg(nFirst), QStringLiteral("AddToPointBuffer:%1").arg(nFirst)}));
    const LoggedBody create = bodyOf(received(QStringLiteral("CreatePointBufferMessage"), nFrom).first());
    EXPECT_EQ(create.text(1, 7), QStringLiteral("Tail"));
    const LoggedBody settings = create.structAt(2, 0);
    EXPECT_EQ(settings.number(0, 0, 1000000), 1000000.0);
    EXPECT_EQ(settings.number(0, 1, 100000), 100000.0);
    EXPECT_EQ(settings.number(0, 2, 2), 2.0);
    EXPECT_TRUE(settings.flag(0, 5));
    expectNear(numbers(bodyOf(received(QStringLiteral("AddToPointBufferMessage"), nFrom).first()).list(2, 0)),
               {1, 2, -30, 3, 4, -31, 5, 6, -32});

    // Later pings are added; another name makes a second tail.
    nFrom = mark();
    ping = {7, 8, -33};
    ship().pushDepthTail(ping, QStringLiteral("EM2040:1"));
    ping = {9, 9, -9};
    ship().pushDepthTail(ping, QStringLiteral("EM2040:2"));
    const quint64 nSecond = ship().getTailBufferId(QStringLiteral("EM2040:2"));
    EXPECT_EQ(sent(nFrom), (QStringList{QStringLiteral("AddToPointBuffer:%1").arg(nFirst), QStringLiteral("CreatePointBuffer:%1").arg(nSecond),
                                        QStringLiteral("AddToPointBuffer:%1").arg(nSecond)}));
    EXPECT_EQ(ship().getTailBufferId(QString()), nFirst);
    EXPECT_EQ(ship().getTailBufferId(QStringLiteral("none")), 0u);

    // Length and point size go to every tail.
    nFrom = mark();
    ship().setDepthTailCount(5000);
    ship().setTailPointSize(4);
    EXPECT_EQ(sent(nFrom).size(), 4);
    const QList<QJsonObject> updates = received(QStringLiteral("UpdatePointBufferMessage"), nFrom);
    for (const QJsonObject& update : updates) {
        EXPECT_EQ(bodyOf(update).structAt(2, 0).number(0, 0), 5000.0);
        EXPECT_EQ(bodyOf(update).structAt(2, 0).number(0, 1), 500.0);
    }
    EXPECT_EQ(bodyOf(updates.last()).structAt(2, 0).number(0, 2), 4.0);

    // A colour-mode reset destroys the first tail; its next ping creates it again, never an add
    // to id 0, while the other tail goes on.
    nFrom = mark();
    ship().setTailColorMode(3, true);
    EXPECT_EQ(sent(nFrom), (QStringList{QStringLiteral("UpdatePointBuffer:%1").arg(nFirst), QStringLiteral("DestroyObject:%1").arg(nFirst)}));
    EXPECT_EQ(ship().getTailBufferId(QStringLiteral("EM2040:1")), 0u);
    nFrom = mark();
    ping = {1, 1, -1};
    ship().pushDepthTail(ping, QStringLiteral("EM2040:2"));
    ping = {2, 2, -2};
    ship().pushDepthTail(ping, QStringLiteral("EM2040:1"));
    const quint64 nAgain = ship().getTailBufferId(QStringLiteral("EM2040:1"));
    EXPECT_NE(nAgain, 0u);
    EXPECT_EQ(sent(nFrom), (QStringList{QStringLiteral("AddToPointBuffer:%1").arg(nSecond), QStringLiteral("CreatePointBuffer:%1").arg(nAgain),
                                        QStringLiteral("AddToPointBuffer:%1").arg(nAgain)}));
    // The new tail takes the length set before.
    EXPECT_EQ(bodyOf(received(QStringLiteral("CreatePointBufferMessage"), nFrom).first()).structAt(2, 0).number(0, 0), 5000.0);}

// Counts the ship model's warnings while it lives.
class ShipWarningCounter {
public:
    ShipWarningCounter() : m_appender(new Counting), m_nLevel(logger().getLogLevel())
    {
        logger().setLogLevel(log4cplus::WARN_LOG_LEVEL);
        logger().addAppender(m_appender);
    }
    ~ShipWarningCounter()
    {
        logger().removeAppender(m_appender);
        logger().setLogLevel(m_nLevel);
    }
    int count() const { return static_cast<Counting*>(m_appender.get())->count; }

private:
    struct Counting : log4cplus::Appender {
        ~Counting() override { destructorImpl(); }
        void close() override {}
        void append(const log4cplus::spi::InternalLoggingEvent& event) override
        {
            if (event.getLogLevel() >= log4cplus::WARN_LOG_LEVEL)
                ++count;
        }
        std::atomic<int> count{0};
    };
    static log4cplus::Logger logger() { return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CShipModel")); }
    log4cplus::SharedAppenderPtr m_appender;
    log4cplus::LogLevel m_nLevel;
};

// Last: all five slots are taken by now. Labels that come and go (spoofed) cannot keep a slot
// from a vessel once they fall silent, and a flood of refused labels is counted, not logged.
TEST_F(ShipModelView, SilentSlotsAreFreedAndRefusalsCounted)
{
    ASSERT_EQ(ship().vesselCount(), CShipModel::kMaxVessels);
    // A minute after the refusals of the earlier tests, every vessel speaks once.
    const qint64 nStart = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count()
                          + CShipModel::kRefusalLogIntervalMs;
    qint64 nNow = nStart;
    ship().setClock([&nNow] { return nNow; });
    for (const char* szLabel : {"GPS1:2040_17", "GPS2:710_3", "GPS7:9:1_1", "GPS4:1_2", "GPS5:1_3"})
        ship().updateVessel(1000, 1000, 0, QString::fromLatin1(szLabel));

    // Every slot spoke within the silence: alternating new labels are refused, with one line.
    {
        const ShipWarningCounter oWarnings;
        nNow = nStart + 10000;
        for (int i = 0; i < 1000; ++i)
            ship().updateVessel(5, 5, 0, QStringLiteral("SPOOF%1:1_1").arg(i % 2));
        EXPECT_EQ(oWarnings.count(), 1);
    }
    int nEast = -1;
    int nNorth = -1;
    ship().getVesselPositionByName(QStringLiteral("SPOOF0"), nEast, nNorth);
    EXPECT_EQ(nEast, 0);

    // The real vessel keeps its slot; a slot silent for longer than the silence goes to a new label.
    nNow = nStart + 20000;
    ship().updateVessel(2000, 2000, 0, QStringLiteral("GPS1:2040_17"));
    nNow = nStart + CShipModel::kSlotSilenceMs + 5000;
    const qint64 nFrom = mark();
    ship().updateVessel(4200, 4300, 0, QStringLiteral("REAL:2040_99"));
    EXPECT_EQ(ship().vesselCount(), CShipModel::kMaxVessels);
    ship().getVesselPositionByName(QStringLiteral("REAL"), nEast, nNorth);
    EXPECT_EQ(nEast, 4200);
    EXPECT_EQ(nNorth, 4300);
    EXPECT_FALSE(sent(nFrom).isEmpty());
    ship().updateVessel(3000, 3100, 0, QStringLiteral("GPS1:2040_17"));
    ship().getVesselPositionByName(QStringLiteral("GPS1"), nEast, nNorth);
    EXPECT_EQ(nEast, 3000);
    EXPECT_EQ(nNorth, 3100);
}
