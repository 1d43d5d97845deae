// Interaction modes, bindings, the mode label, pointer read-outs, measuring and display settings,
// against the stand-in server. The projection makes 100 km of one degree, so
// geographic read-outs have round values.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"
#include "Projection/ProjEngine.h"
#include "platform/paths.h"

#include "OrlexQtClient/OrlexHostWindow.h"

#include <gtest/gtest.h>

#include "test_scratch.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QWidget>

#include <functional>
#include <set>

using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

class RecordingPrompter : public CPrompter
{
public:
    QMessageBox::StandardButton question(QWidget*, const QString& strTitle, const QString& strText,
                                         QMessageBox::StandardButtons) override
    {
        questions << strTitle + QStringLiteral("|") + strText;
        return answer;
    }
    QAction* popup(QMenu&, const QPoint&) override { return nullptr; }
    void toolTip(const QPoint&, const QString& strText, QWidget*, int) override { tips << strText; }

    QStringList tips;
    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::No;
};

QJsonObject positionLevels(double dX, double dY, double dZ)
{
    return QJsonObject{{"levels", QJsonArray() << QJsonArray{viewertest::doubleField(0, dX), viewertest::doubleField(1, dY),
                                                           viewertest::doubleField(2, dZ)}}};
}

class ModesTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        platform::ensureWindowsEnvironment();
        // Plate carree scaled so that one degree of latitude or longitude is 100,000 m.
        ASSERT_TRUE(projection_detail::writeProjectionFile(projection_detail::dataFolderProjectionFile(), "+proj=eqc +ellps=WGS84 +to_meter=0.011131949079327357"));
        LiveViewTest::SetUpTestSuite();
        s_pPrevious = CPrompter::install(&s_prompter);
    }
    static void TearDownTestSuite()
    {
        CPrompter::install(s_pPrevious);
        LiveViewTest::TearDownTestSuite();
    }

    // After everything sent so far has arrived.
    qint64 markNow()
    {
        harness().sync();
        return harness().mark();
    }

    // What the controller sent from nFrom on, without the harness's barrier.
    QStringList sentTypes(qint64 nFrom)
    {
        harness().sync();
        return harness().receivedTypes(nFrom, {QStringLiteral("UpdatePropertiesMessage"),
                                               QStringLiteral("QueryNavigationStateMessage")});
    }

    QList<LoggedBody> sent(const char* pType, qint64 nFrom) { return harness().receivedBodies(QString::fromLatin1(pType), nFrom); }

    QString configurationValue(const char* pKey)
    {
        harness().sync();
        const QJsonArray viewers = harness().control().state().value(QStringLiteral("viewers")).toArray();
        return viewers.first().toObject().value(QStringLiteral("configuration")).toObject().value(QLatin1String(pKey)).toString();
    }

    // A pointer move from the server; waits until the controller has handled it.
    void moveTo(double dX, double dY, double dZ, quint64 nObjectId = 0, bool bWithPosition = true)
    {
        QJsonArray own;
        if (nObjectId != 0)
            own.append(orlex_standin::listField(0, QStringLiteral("uint64"), QJsonArray{QString::number(nObjectId)}));
        if (bWithPosition)
            own.append(orlex_standin::listField(1, QStringLiteral("struct"), QJsonArray{positionLevels(dX, dY, dZ)}));
        ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("MouseMovedMessage"),
                                           QJsonArray{QJsonArray(), QJsonArray{viewertest::int32Field(0, s_nViewerId)}, own}));
    }

    // A measurement report from the server, then a pointer move whose tip marks its handling.
    void measurement(quint64 nObjectId, const QList<std::array<double, 3>>& positions, bool bActive)
    {
        QJsonArray elements;
        for (const auto& p : positions)
            elements.append(positionLevels(p[0], p[1], p[2]));
        const QJsonArray own{viewertest::uint64Field(0, nObjectId), orlex_standin::listField(3, QStringLiteral("struct"), elements),
                             orlex_standin::field(4, QStringLiteral("bool"), bActive)};
        ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("MeasurementMessage"),
                                           QJsonArray{QJsonArray(), QJsonArray{viewertest::int32Field(0, s_nViewerId)}, own}));
    }

    // Waits until the controller has handled everything the server sent before: a read-out move
    // with only the position read-out on shows a known tip.
    void settle()
    {
        const int nBefore = s_prompter.tips.size();
        moveTo(-1, -1, 0);
        ASSERT_TRUE(viewertest::waitUntil([&] { return s_prompter.tips.size() > nBefore; }));
    }

    static RecordingPrompter s_prompter;
    static CPrompter* s_pPrevious;
};

RecordingPrompter ModesTest::s_prompter;
CPrompter* ModesTest::s_pPrevious = nullptr;

QString labelText(const LoggedBody& label)
{
    return label.structAt(label.ownLevel(), 1).text(0, 0);
}

} // namespace

// First: the mode label is created by the very first call, also when that call switches a mode
// off; it is then created hidden.
TEST_F(ModesTest, ModeTogglesSendTheirInteractionModeAndLabel)
{
    struct Case
    {
        const char* pName;
        std::function<void(COrlexViewer*)> action;
        QList<int> modes;  // InteractionMode of each SetInteractionModeMessage
        int nLabel;        // -1 no label message, 0 hidden, 1 shown
        const char* pText; // shown label text
    };
    const Case cases[] = {
        {"measure off first", [](COrlexViewer* v) { v->toggleMeasDist(false); }, {1}, 0, nullptr},
        {"measure on", [](COrlexViewer* v) { v->toggleMeasDist(true); }, {2}, 1, "Measuring"},
        {"measure off", [](COrlexViewer* v) { v->toggleMeasDist(false); }, {1}, 0, nullptr},
        {"plan line", [](COrlexViewer* v) { v->togglePlanMode(true, 0); }, {3}, 1, "Planning"},
        {"plan without kind", [](COrlexViewer* v) { v->togglePlanMode(true, -1); }, {1}, 1, "Planning"},
        {"plan off", [](COrlexViewer* v) { v->togglePlanMode(false, 0); }, {1}, 0, nullptr},
        {"user polygon", [](COrlexViewer* v) { v->toggleUserMode(true, 1); }, {3}, 1, "Objects"},
        {"user without kind", [](COrlexViewer* v) { v->toggleUserMode(true, -1); }, {1}, 1, "Objects"},
        {"user off", [](COrlexViewer* v) { v->toggleUserMode(false, 1); }, {1}, 0, nullptr},
        {"position pick on", [](COrlexViewer* v) { v->togglePositionSelect(true); }, {1}, -1, nullptr},
        {"position pick off", [](COrlexViewer* v) { v->togglePositionSelect(false); }, {0}, -1, nullptr},
        {"new plan line", [](COrlexViewer* v) { v->newTVGPLLine(false); }, {2}, -1, nullptr},
        {"new user line", [](COrlexViewer* v) { v->newUserLine(false); }, {3}, -1, nullptr},
        {"new user polygon", [](COrlexViewer* v) { v->newUserPolygon(false); }, {3}, -1, nullptr},
        {"new user point", [](COrlexViewer* v) { v->newUserPoint(false); }, {}, -1, nullptr},
        {"new marker", [](COrlexViewer* v) { v->newMarker(false); }, {}, -1, nullptr},
    };
    // The label sits 80 px above the bottom of the laid-out host window.
    const auto* pHost = harness().pane()->findChild<Dremm::Orlex::QtClient::OrlexHostWindow*>();
    ASSERT_TRUE(viewertest::waitUntil([&] { return pHost->height() == harness().pane()->height(); }));
    std::uint64_t nLabelId = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pName);
        const qint64 nFrom = markNow();
        c.action(viewer());
        QList<int> modes;
        for (const LoggedBody& m : sent("SetInteractionModeMessage", nFrom)) {
            EXPECT_EQ(m.number(1, 0), s_nViewerId);
            EXPECT_FALSE(m.has(m.ownLevel(), 1)); // no label style
            modes << static_cast<int>(m.number(m.ownLevel(), 0, 1));
        }
        EXPECT_EQ(modes, c.modes);

        const QList<LoggedBody> created = sent("CreateOverlayLabelMessage", nFrom);
        const QList<LoggedBody> visibility = sent("UpdateVisibilityMessage", nFrom);
        const QList<LoggedBody> updated = sent("UpdateOverlayLabelMessage", nFrom);
        if (nLabelId == 0) {
            // The first call of all creates the label with its mode's text, hidden when off.
            ASSERT_EQ(created.size(), 1);
            nLabelId = static_cast<std::uint64_t>(created.first().number(1, 0));
            EXPECT_EQ(labelText(created.first()), QStringLiteral("Measuring"));
            EXPECT_FALSE(created.first().flag(1, 8, true));
            const LoggedBody style = created.first().structAt(created.first().ownLevel(), 0);
            EXPECT_EQ(style.number(0, 1, 20.0), 15.0);
            EXPECT_EQ(style.number(0, 7, 2), 8);
            EXPECT_TRUE(style.flag(0, 9));
            continue;
        }
        EXPECT_TRUE(created.isEmpty());
        if (c.nLabel < 0) {
            EXPECT_TRUE(visibility.isEmpty());
            EXPECT_TRUE(updated.isEmpty());
            continue;
        }
        ASSERT_EQ(visibility.size(), 1);
        EXPECT_EQ(static_cast<quint64>(visibility.first().number(1, 0)), nLabelId);
        EXPECT_EQ(visibility.first().flag(visibility.first().ownLevel(), 0), c.nLabel == 1);
        if (c.nLabel == 0) {
            EXPECT_TRUE(updated.isEmpty()); // a mode switched off never shows its label
            continue;
        }
        ASSERT_EQ(updated.size(), 1);
        EXPECT_EQ(labelText(updated.first()), QString::fromLatin1(c.pText));
        const LoggedBody place = updated.first().structAt(2, 1);
        EXPECT_EQ(place.number(0, 1), pHost->height() - 80);
    }

    // Placed again after a resize: the last text at the bottom of the new height.
    const QSize oSize = harness().pane()->size();
    harness().pane()->resize(oSize.width(), oSize.height() - 100);
    ASSERT_TRUE(viewertest::waitUntil([&] { return pHost->height() == harness().pane()->height(); }));
    const qint64 nFrom = markNow();
    viewer()->placeModeLabel();
    const QList<LoggedBody> placed = sent("UpdateOverlayLabelMessage", nFrom);
    harness().pane()->resize(oSize);
    ASSERT_EQ(placed.size(), 1);
    EXPECT_EQ(static_cast<quint64>(placed.first().number(1, 0)), nLabelId);
    EXPECT_EQ(labelText(placed.first()), QStringLiteral("Objects"));
    EXPECT_EQ(placed.first().structAt(2, 1).number(0, 1), oSize.height() - 100 - 80);
}

TEST_F(ModesTest, BindingListsFollowThePresentation)
{
    const QList<QStringList> keys2D{{"ZoomIn", "24", "2"},   {"ZoomOut", "26", "2"},    {"PanLeft", "23", "1"},
                                    {"PanRight", "25", "1"}, {"PanUp", "24", "1"},      {"PanDown", "26", "1"},
                                    {"RotateLeft", "23", "2"}, {"RotateRight", "25", "2"}};
    QList<QStringList> keys3D = keys2D;
    keys3D << QStringList{"RotateLeft", "23", "0"} << QStringList{"RotateRight", "25", "0"} << QStringList{"RotateUp", "24", "0"}
           << QStringList{"RotateDown", "26", "0"};
    const QList<QStringList> mouse2D{{"Pan", "1", "2", "0"}, {"WheelZoom", "0", "4", "0"}};
    const QList<QStringList> mouse3D{{"Pan", "1", "2", "0"},    {"Zoom", "1", "2", "2"},   {"Zoom", "4", "2", "0"},
                                     {"WheelZoom", "0", "4", "0"}, {"Rotate", "1", "2", "1"}, {"Rotate", "2", "2", "0"}};
    for (bool b3D : {false, true}) {
        SCOPED_TRACE(b3D ? "3-D" : "2-D");
        const qint64 nFrom = markNow();
        viewer()->setInteractionActions(b3D);
        const QList<LoggedBody> messages = sent("SetInteractionActionsMessage", nFrom);
        ASSERT_EQ(messages.size(), 1);
        const LoggedBody& m = messages.first();
        EXPECT_EQ(m.number(m.ownLevel(), 0, 1), 1);
        auto rows = [&](int nId, int nFields) {
            QList<QStringList> out;
            for (const QJsonValue& element : m.list(m.ownLevel(), nId).first().toObject().value(QStringLiteral("v")).toArray()) {
                const LoggedBody action(element.toObject());
                QStringList row{action.text(0, 0)};
                for (int n = 1; n <= nFields; ++n)
                    row << QString::number(action.number(1, n));
                out << row;
            }
            return out;
        };
        EXPECT_EQ(rows(2, 2), b3D ? keys3D : keys2D);
        EXPECT_EQ(rows(1, 3), b3D ? mouse3D : mouse2D);
    }
}

TEST_F(ModesTest, ReadOutSwitchesKeepPointerReportsOnWhileEitherIsOn)
{
    struct Step
    {
        bool bPosition;
        bool bOn;
        const char* pExpected;
    };
    const Step steps[] = {{true, true, "true"}, {false, true, "true"}, {true, false, "true"}, {false, false, "false"}};
    for (const Step& s : steps) {
        const qint64 nFrom = markNow();
        if (s.bPosition)
            viewer()->enablePositionUnderCursor(s.bOn);
        else
            viewer()->enableDepthUnderCursor(s.bOn);
        const QList<LoggedBody> updates = sent("UpdateConfigurationMessage", nFrom);
        ASSERT_EQ(updates.size(), 1);
        // The whole map goes out each time.
        EXPECT_GT(updates.first().list(updates.first().ownLevel(), 0).size(), 10);
        EXPECT_EQ(configurationValue("NotifyMouseMove"), QString::fromLatin1(s.pExpected));
    }
}

TEST_F(ModesTest, PointerReadOutTexts)
{
    struct Case
    {
        const char* pName;
        bool bPosition;
        bool bDepth;
        int nFormat; // graticule format setting: 0 to 2 geographic, 3 projected
        double dX, dY, dZ;
        quint64 nObject;
        const char* pExpected; // null: no tip beyond the hiding one
    };
    const Case cases[] = {
        {"degrees", true, false, 0, 4525000.4, 1250000.7, 0, 0, "Lat/Lon: N12.500000, E45.250000"},
        {"degrees and minutes", true, false, 1, 4525000, 1250000, 0, 0, "Lat/Lon: N1230.0000, E4515.0000"},
        {"degrees, minutes, seconds", true, false, 2, 4525000, 1250000, 0, 0, "Lat/Lon: N123000, E451500"},
        {"south and west", true, false, 0, -4525000, -1250000, 0, 0, "Lat/Lon: S12.500000, W45.250000"},
        {"zero is south and west", true, false, 0, 0.4, 0.4, 0, 0, "Lat/Lon: S0.000000, W0.000000"},
        {"projected, cut toward zero", true, false, 3, 100.9, -0.5, 0, 0, "East/North: 100, 0"},
        {"depth to one decimal", false, true, 3, 1, 1, -10.0, 7, "Depth: 10.0m"},
        {"deep in whole metres", false, true, 3, 1, 1, -10.4, 7, "Depth: 10m"},
        {"depth over no object", false, true, 3, 1, 1, -10.4, 0, nullptr},
        {"both, over no object", true, true, 3, 12, 34, -12.25, 0, "East/North: 12, 34\nDepth: 12.25"},
        {"both, six digits", true, true, 3, 12, 34, -1234.5678, 3, "East/North: 12, 34\nDepth: 1234.57"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pName);
        viewer()->enablePositionUnderCursor(c.bPosition);
        viewer()->enableDepthUnderCursor(c.bDepth);
        viewer()->setGraticuleFormat(c.nFormat);
        const int nBefore = s_prompter.tips.size();
        moveTo(c.dX, c.dY, c.dZ, c.nObject);
        ASSERT_TRUE(viewertest::waitUntil([&] { return s_prompter.tips.size() > nBefore; }));
        const QStringList tips = s_prompter.tips.mid(nBefore);
        EXPECT_EQ(tips.first(), QString()); // the shown tip is hidden first
        if (c.pExpected) {
            ASSERT_EQ(tips.size(), 2);
            EXPECT_EQ(tips.last(), QString::fromUtf8(c.pExpected));
        } else {
            EXPECT_EQ(tips.size(), 1);
        }
    }

    // A move without a position is ignored.
    viewer()->enableDepthUnderCursor(false);
    const int nBefore = s_prompter.tips.size();
    moveTo(0, 0, 0, 0, false);
    settle();
    EXPECT_EQ(s_prompter.tips.mid(nBefore), (QStringList{QString(), QStringLiteral("East/North: -1, -1")}));
    viewer()->enablePositionUnderCursor(false);
}

TEST_F(ModesTest, MeasuringDragsALabelAndLeavesTheResult)
{
    viewer()->setGraticuleFormat(3);
    QList<std::pair<QPoint, QPoint>> measured;
    const QMetaObject::Connection connection =
        QObject::connect(viewer(), &COrlexViewer::measureDistance, [&](QPoint& from, QPoint& to) { measured.append({from, to}); });
    viewer()->toggleMeasDist(true);

    qint64 nFrom = markNow();
    measurement(900, {{10, 20, 0}}, true);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("UpdateConfigurationMessage"), nFrom));
    EXPECT_EQ(configurationValue("NotifyMouseMove"), QStringLiteral("true"));

    // Each move replaces the dragged label; over many moves its id is given back each time, so
    // the ids stay few and far below the vessel's fixed ids.
    nFrom = markNow();
    for (int n = 1; n <= 300; ++n)
        moveTo(10 + n, 20, 0);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateLabelMessage"), nFrom));
    ASSERT_TRUE(viewertest::waitUntil([&] { return sent("CreateLabelMessage", nFrom).size() == 300; }, 20000));
    const QList<LoggedBody> drags = sent("CreateLabelMessage", nFrom);
    std::set<quint64> ids;
    for (const LoggedBody& label : drags)
        ids.insert(static_cast<quint64>(label.number(1, 0)));
    EXPECT_LE(ids.size(), 2u);
    EXPECT_LT(*ids.rbegin(), 40000u);
    EXPECT_EQ(sent("DestroyObjectMessage", nFrom).size(), 299);
    EXPECT_EQ(labelText(drags.first()), QStringLiteral("1.0m 90.0deg"));
    EXPECT_EQ(labelText(drags.last()), QStringLiteral("300.0m 90.0deg"));
    const quint64 nDragged = static_cast<quint64>(drags.last().number(1, 0));

    // The end: the dragged label goes, the result label stays at the middle, one decimal each.
    nFrom = markNow();
    measurement(900, {{10, 20, 0}, {25, 40, 0}, {40, 60, 0}}, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return measured.size() == 1; }));
    EXPECT_EQ(measured.first().first, QPoint(1000, 2000));
    EXPECT_EQ(measured.first().second, QPoint(4000, 6000));
    const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
    ASSERT_EQ(destroyed.size(), 1);
    EXPECT_EQ(static_cast<quint64>(destroyed.first().number(1, 0)), nDragged);
    const QList<LoggedBody> results = sent("CreateLabelMessage", nFrom);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(labelText(results.first()), QStringLiteral("50.0m 36.9deg"));
    const auto place = results.first().position(1, 4);
    EXPECT_EQ(place, (std::array<double, 3>{25, 40, 1}));
    const LoggedBody style = results.first().structAt(results.first().ownLevel(), 0);
    EXPECT_EQ(style.number(0, 1), 24.0);
    EXPECT_EQ(style.text(0, 2), QStringLiteral("Lato"));
    EXPECT_EQ(configurationValue("NotifyMouseMove"), QStringLiteral("false"));
    const quint64 nResult = static_cast<quint64>(results.first().number(1, 0));

    // A measurement whose ends coincide reads 0.0m; the next start removes the last result.
    nFrom = markNow();
    measurement(901, {{5, 5, 0}}, true);
    measurement(901, {{5, 5, 0}, {5, 5, 0}}, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return measured.size() == 2; }));
    const QList<LoggedBody> second = sent("CreateLabelMessage", nFrom);
    ASSERT_EQ(second.size(), 1);
    EXPECT_TRUE(labelText(second.first()).startsWith(QStringLiteral("0.0m ")));
    EXPECT_EQ(static_cast<quint64>(sent("DestroyObjectMessage", nFrom).first().number(1, 0)), nResult);

    // Leaving the mode removes the server's line and our label.
    nFrom = markNow();
    viewer()->toggleMeasDist(false);
    QList<quint64> removed;
    for (const LoggedBody& d : sent("DestroyObjectMessage", nFrom))
        removed << static_cast<quint64>(d.number(1, 0));
    EXPECT_EQ(removed, (QList<quint64>{901, static_cast<quint64>(second.first().number(1, 0))}));

    // Ended outside every mode: nothing happens.
    nFrom = markNow();
    measurement(902, {{1, 1, 0}, {2, 2, 0}}, false);
    viewer()->enablePositionUnderCursor(true);
    settle();
    viewer()->enablePositionUnderCursor(false);
    EXPECT_EQ(sentTypes(nFrom), (QStringList{"UpdateConfigurationMessage", "UpdateConfigurationMessage"}));
    EXPECT_EQ(measured.size(), 2);
    QObject::disconnect(connection);
}

TEST_F(ModesTest, PointSelectionHandsOverTheDrawnPolygon)
{
    std::vector<std::vector<::Tavrin::Dremm::Orlex::PositionData>> selected;
    const QMetaObject::Connection connection = QObject::connect(
        viewer(), &COrlexViewer::selectedPolygon, [&](std::vector<::Tavrin::Dremm::Orlex::PositionData> points) { selected.push_back(points); });
    qint64 nFrom = markNow();
    viewer()->togglePointSelection(true);
    measurement(950, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return selected.size() == 1; }));
    const auto& points = selected.front();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].X, 7);
    EXPECT_EQ(points[2].Z, 9);
    const QList<LoggedBody> modes = sent("SetInteractionModeMessage", nFrom);
    ASSERT_EQ(modes.size(), 1);
    EXPECT_EQ(modes.first().number(2, 0, 1), 1);
    viewer()->togglePointSelection(false);
    QObject::disconnect(connection);
}

TEST_F(ModesTest, DisplaySettingsMessages)
{
    // The background colour as fractions, red first.
    viewer()->set2DBackgroundColor(QColor(255, 128, 0));
    EXPECT_EQ(configurationValue("graphics.backgroundColor"), QStringLiteral("1 0.501961 0"));

    const std::pair<int, const char*> lights[] = {
        {0, "1, -1, -0.5"}, {1, "-1, -1, -0.5"}, {2, "-1, 1, -0.5"}, {3, "1, 1, -0.5"}, {7, "0,0,-1"}, {-1, "0,0,-1"}};
    for (const auto& [nPreset, pText] : lights) {
        viewer()->setLightDirection(nPreset);
        EXPECT_EQ(configurationValue("environment.directionalLightDirection"), QString::fromLatin1(pText)) << nPreset;
    }

    // The graticule comes 3 s after the start.
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateGraticuleMessage"), 0, 10000));
    const quint64 nGraticule = static_cast<quint64>(bodyOf(harness().received(QStringLiteral("CreateGraticuleMessage")).first()).number(1, 0));
    struct Format
    {
        int nSetting;
        int nType;
        int nLabelFormat;
    };
    viewer()->setGraticuleFormat(2);
    for (const Format& f : {Format{3, 1, 2}, Format{1, 0, 1}, Format{0, 0, 0}}) {
        const qint64 nFrom = markNow();
        viewer()->setGraticuleFormat(f.nSetting);
        const QList<LoggedBody> updates = sent("UpdateGraticuleMessage", nFrom);
        ASSERT_EQ(updates.size(), 1);
        EXPECT_EQ(static_cast<quint64>(updates.first().number(1, 0)), nGraticule);
        const LoggedBody settings = updates.first().structAt(updates.first().ownLevel(), 0);
        EXPECT_EQ(settings.number(0, 0), f.nType) << f.nSetting;
        EXPECT_EQ(settings.number(0, 1), f.nLabelFormat) << f.nSetting;
    }
    qint64 nFrom = markNow();
    viewer()->setGraticuleColor(QColor(0, 51, 255));
    viewer()->setGraticuleVisibility(false);
    const LoggedBody colours = sent("UpdateGraticuleMessage", nFrom).first();
    const LoggedBody line = colours.structAt(colours.ownLevel(), 0).structAt(0, 3);
    EXPECT_FLOAT_EQ(line.number(0, 1), 0.2f);
    EXPECT_FLOAT_EQ(line.number(0, 2), 1.0f);
    const LoggedBody background = colours.structAt(colours.ownLevel(), 0).structAt(0, 5);
    EXPECT_FLOAT_EQ(background.number(0, 0), 1.0f); // the background set above
    const LoggedBody hidden = sent("UpdateVisibilityMessage", nFrom).first();
    EXPECT_EQ(static_cast<quint64>(hidden.number(1, 0)), nGraticule);
    EXPECT_FALSE(hidden.flag(hidden.ownLevel(), 0));

    // The logging label: created on the first show, then only updated while shown.
    nFrom = markNow();
    viewer()->setLoggingLabelVisibility(true);
    viewer()->setLoggingState(true);
    viewer()->setLoggingLabelVisibility(false);
    viewer()->setLoggingState(false);
    EXPECT_EQ(sentTypes(nFrom), (QStringList{"CreateOverlayLabelMessage", "UpdateOverlayLabelMessage", "UpdateVisibilityMessage"}));
    EXPECT_EQ(labelText(sent("CreateOverlayLabelMessage", nFrom).first()), QStringLiteral("Logging Off"));
    const LoggedBody on = sent("UpdateOverlayLabelMessage", nFrom).first();
    EXPECT_EQ(labelText(on), QStringLiteral("Logging On"));
    EXPECT_FLOAT_EQ(on.structAt(on.ownLevel(), 0).structAt(0, 4).number(0, 1), 176.0f / 255.0f);

    // The depth-tail legend is made once, then shown and hidden.
    nFrom = markNow();
    viewer()->toggleTailColor(true);
    viewer()->toggleTailColor(true);
    viewer()->toggleTailColor(false);
    EXPECT_EQ(sentTypes(nFrom), (QStringList{"CreateLegendMessage", "UpdateVisibilityMessage", "UpdateVisibilityMessage"}));
    const LoggedBody legend = sent("CreateLegendMessage", nFrom).first();
    const LoggedBody legendSettings = legend.structAt(legend.ownLevel(), 1);
    EXPECT_EQ(legendSettings.list(0, 0).first().toString(), QStringLiteral("Tail"));
    EXPECT_EQ(legendSettings.list(0, 1).first().toString(), QStringLiteral("meters"));
    EXPECT_TRUE(legendSettings.flag(0, 3));
    const QList<LoggedBody> legendShown = sent("UpdateVisibilityMessage", nFrom);
    EXPECT_EQ(legendShown.first().number(1, 0), legend.number(1, 0));
    EXPECT_TRUE(legendShown.first().flag(2, 0));
    EXPECT_FALSE(legendShown.last().flag(2, 0));

    // The track of the first vessel.
    nFrom = markNow();
    viewer()->setShowTrack(true);
    const LoggedBody track = sent("UpdateVisibilityMessage", nFrom).first();
    EXPECT_EQ(static_cast<quint64>(track.number(1, 0)), 40001u);

    // A grid of lines: rows along the east values, then columns along the north values.
    nFrom = markNow();
    viewer()->showGridLines({0, 10}, {5, 6, 7});
    const LoggedBody grid = sent("CreateLineMessage", nFrom).first();
    const LoggedBody data = grid.structAt(grid.ownLevel(), 0);
    QList<double> positions;
    for (const QJsonValue& v : data.list(0, 1))
        positions << v.toDouble();
    EXPECT_EQ(positions, (QList<double>{0, 5, 0, 0, 6, 0, 0, 7, 0, 10, 5, 0, 10, 6, 0, 10, 7, 0,
                                        0, 5, 0, 10, 5, 0, 0, 6, 0, 10, 6, 0, 0, 7, 0, 10, 7, 0}));
    QList<int> indices;
    for (const QJsonValue& v : data.list(0, 2))
        indices << v.toInt();
    EXPECT_EQ(indices, (QList<int>{0, 1, 2, -1, 3, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10, 11, -1}));
}

TEST_F(ModesTest, SelectedPointsGoOutInBoundedMessagesAndLeaveTheServerWhenSwitchedOff)
{
    // Without an active survey nothing is sent.
    qint64 nFrom = markNow();
    viewer()->showPointData({1, 2, 3}, true);
    EXPECT_TRUE(sentTypes(nFrom).isEmpty());

    const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/Points"));
    QDir().mkpath(strFolder + QStringLiteral("/Terrain"));
    QFile file(strFolder + QStringLiteral("/standin_survey.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"minX", 0}, {"maxX", 100}, {"minY", 0}, {"maxY", 100}, {"zMin", -50}, {"zMax", -10}}).toJson());
    file.close();
    COrlexDataManager* pSurveys = viewer()->getDataManager();
    pSurveys->openSurvey(strFolder, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return !pSurveys->getSurveys().isEmpty(); }, 10000));
    pSurveys->setActiveSurvey(pSurveys->getSurveys().first());
    ASSERT_NE(pSurveys->getActiveSurvey(), nullptr);

    struct Capacity
    {
        const char* pMaxPoints; // null: unset
        double dCapacity;
        double dPerSubBuffer;
    };
    const Capacity capacities[] = {{nullptr, 10000000, 1000000},
                                   {"999999", 10000000, 1000000},
                                   {"20000001", 10000000, 1000000},
                                   {"abc", 10000000, 1000000},
                                   {"20000000", 20000000, 2000000}};
    quint64 nLast = 0;
    for (const Capacity& c : capacities) {
        SCOPED_TRACE(c.pMaxPoints ? c.pMaxPoints : "unset");
        if (c.pMaxPoints)
            qputenv("MAXPOINTS", c.pMaxPoints);
        else
            qunsetenv("MAXPOINTS");
        nFrom = markNow();
        viewer()->showPointData({1, 2, 3}, true);
        const QList<LoggedBody> created = sent("CreatePointBufferMessage", nFrom);
        ASSERT_EQ(created.size(), 1);
        const LoggedBody settings = created.first().structAt(created.first().ownLevel(), 0);
        EXPECT_EQ(settings.number(0, 0, 1000000), c.dCapacity);
        EXPECT_EQ(settings.number(0, 1, 100000), c.dPerSubBuffer);
        EXPECT_EQ(created.first().list(1, 7).first().toString(), QStringLiteral("SelectedPoints"));
        // The points take the active survey's colours.
        const COrlexGrid::ColorMapData survey = pSurveys->getActiveSurvey()->colorMapData();
        const LoggedBody colourMap = settings.structAt(0, 3);
        EXPECT_FLOAT_EQ(colourMap.structAt(0, 0).number(0, 0, 0.5), survey.StartColor.R);
        EXPECT_FLOAT_EQ(colourMap.structAt(0, 0).number(0, 2, 0.5), survey.StartColor.B);
        EXPECT_FLOAT_EQ(colourMap.structAt(0, 1).number(0, 0, 0.5), survey.EndColor.R);
        EXPECT_FLOAT_EQ(colourMap.structAt(0, 4).number(0, 0), survey.Range.Min);
        // A new buffer replaces the last one on the server.
        const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
        if (nLast != 0) {
            ASSERT_EQ(destroyed.size(), 1);
            EXPECT_EQ(static_cast<quint64>(destroyed.first().number(1, 0)), nLast);
        }
        nLast = static_cast<quint64>(created.first().number(1, 0));
    }
    qunsetenv("MAXPOINTS");

    // 200,001 points and a stray value: three messages, none above 100,000 points.
    std::vector<double> points(200001 * 3 + 1);
    for (std::size_t n = 0; n < points.size(); ++n)
        points[n] = static_cast<double>(n);
    nFrom = markNow();
    viewer()->showPointData(points, false);
    harness().sync();
    QList<int> sizes;
    for (const QJsonObject& entry : harness().received(QStringLiteral("AddToPointBufferMessage"), nFrom)) {
        const LoggedBody add = bodyOf(entry);
        EXPECT_EQ(static_cast<quint64>(add.number(1, 0)), nLast);
        // The log keeps the first elements of a long list and its full count.
        const QJsonArray levels = entry.value(QStringLiteral("body")).toObject().value(QStringLiteral("levels")).toArray();
        const QJsonObject list = levels.last().toArray().first().toObject();
        sizes << (list.contains(QStringLiteral("n")) ? list.value(QStringLiteral("n")).toInt()
                                                     : list.value(QStringLiteral("v")).toArray().size());
    }
    EXPECT_EQ(sizes, (QList<int>{300000, 300000, 3}));

    nFrom = markNow();
    viewer()->setDepthTailPntSize(5);
    const QList<LoggedBody> resized = sent("UpdatePointBufferMessage", nFrom);
    ASSERT_EQ(resized.size(), 1);
    EXPECT_EQ(resized.first().structAt(resized.first().ownLevel(), 0).number(0, 2), 5.0);

    // Switched off, the buffer is destroyed on the server too.
    viewer()->togglePointSelection(true);
    nFrom = markNow();
    viewer()->togglePointSelection(false);
    const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
    ASSERT_EQ(destroyed.size(), 1);
    EXPECT_EQ(static_cast<quint64>(destroyed.first().number(1, 0)), nLast);
}
