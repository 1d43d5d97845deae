// Calibration lines against the stand-in viewer server: the line dialog, track lines picked in the
// view and in the dialog, and the start of a calibration with the drawn cross line.
#include "PlanningTestSupport.h"
#include "ViewerEvents.h"

#include "OrlexViewer/CalLinesDlg.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexObjs.h"
#include "TqelRuntime/HandleTracks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QListWidget>
#include <QSignalSpy>

#include "test_scratch.h"

using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

TrackRecord track(const char* szName, int nHeading, int nSpeed)
{
    TrackRecord record;
    record.name = szName;
    record.points = {0, 0, 0, 10, 10, 0};
    record.averageHeading = nHeading;
    record.averageSpeed = nSpeed;
    return record;
}

class CalibrationTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        qputenv("CORV_OBJECTS_LOG", objectsLogPath().toUtf8());
        s_pPrevious = CPrompter::install(&s_prompter);
        LiveViewTest::SetUpTestSuite();
    }
    static void TearDownTestSuite()
    {
        LiveViewTest::TearDownTestSuite();
        CPrompter::install(s_pPrevious);
    }

    COrlexDataManager* surveys() { return s_pViewer->getDataManager(); }

    void settle() { plantest::settle(harness(), viewer()); }
    void sendEvent(const char* szType, const QJsonArray& own) { plantest::sendViewerEvent(harness(), s_nViewerId, szType, own); }
    void pick(quint64 nId) { plantest::sendPick(harness(), s_nViewerId, nId, 1, 1); }
    // A finished measurement: the drawn cross line in calibration mode.
    void crossLine(const QList<std::array<double, 3>>& positions)
    {
        QJsonArray elements;
        for (const auto& p : positions)
            elements.append(plantest::positionLevels(p[0], p[1], p[2]));
        sendEvent("MeasurementMessage", QJsonArray{viewertest::uint64Field(0, 9999),
                                                   orlex_standin::listField(3, QStringLiteral("struct"), elements),
                                                   orlex_standin::field(4, QStringLiteral("bool"), false)});
    }
    QList<LoggedBody> sent(const char* szType, qint64 nFrom) { return plantest::received(harness(), szType, nFrom); }
    // The sequence number after everything sent so far.
    qint64 markNow()
    {
        harness().sync();
        return harness().mark();
    }
    // Ids of the objects the server was told to destroy.
    QList<quint64> destroyed(qint64 nFrom)
    {
        QList<quint64> ids;
        for (const LoggedBody& body : sent("DestroyObjectMessage", nFrom))
            ids << static_cast<quint64>(body.number(1, 0));
        return ids;
    }

    // The object library logs every call, one JSON line each.
    static QString objectsLogPath() { return plantest::scratch(QStringLiteral("objects-calls.jsonl")); }
    static QList<QJsonObject> libraryCalls()
    {
        QList<QJsonObject> calls;
        QFile file(objectsLogPath());
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    calls << QJsonDocument::fromJson(line).object();
        return calls;
    }
    static QStringList callNames(const QList<QJsonObject>& calls)
    {
        QStringList names;
        for (const QJsonObject& call : calls)
            names << call.value(QStringLiteral("call")).toString();
        return names;
    }
    static quint64 idOf(const QJsonObject& call) { return call.value(QStringLiteral("id")).toString().toULongLong(); }

    static plantest::ScriptedPrompter s_prompter;
    static CPrompter* s_pPrevious;
};

plantest::ScriptedPrompter CalibrationTest::s_prompter;
CPrompter* CalibrationTest::s_pPrevious = nullptr;

TEST_F(CalibrationTest, WithoutAnActiveSurveyLeavingStillStops)
{
    QSignalSpy stopped(viewer(), &COrlexViewer::stopCalib);
    viewer()->toggleCalibMode(true);
    EXPECT_EQ(viewer()->findChild<CCalLinesDlg*>(), nullptr);
    viewer()->calibTriggered(false);
    EXPECT_TRUE(s_prompter.boxes.isEmpty()) << "no survey: ends after the interaction mode";
    viewer()->toggleCalibMode(false);
    EXPECT_EQ(stopped.size(), 1);
}

TEST_F(CalibrationTest, PickedTrackLinesAndTheCrossLineStartACalibration)
{
    const QString strPath = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/Calib"));
    QDir().mkpath(strPath + QStringLiteral("/Terrain"));
    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    surveys()->openSurvey(strPath, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
    surveys()->setActiveSurvey(strPath);
    COrlexGrid* pGrid = surveys()->getSurvey(strPath);
    ASSERT_NE(pGrid, nullptr);
    pGrid->setTrackLines(TrackSet{track("line0003", 271, 512), track("line0004", 91, 480), track("line0005", 0, 0)});
    ASSERT_EQ(pGrid->trackLines().size(), 3u);
    const std::uint64_t nFirst = pGrid->trackLines()[0].objectId;
    const std::uint64_t nSecond = pGrid->trackLines()[1].objectId;

    viewer()->toggleCalibMode(true);
    CCalLinesDlg* pDialog = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CCalLinesDlg*>(pWidget))
            pDialog = p;
    ASSERT_NE(pDialog, nullptr);
    EXPECT_TRUE(pDialog->isVisible());
    QStringList items;
    for (int i = 0; i < pDialog->lineList()->count(); ++i)
        items << pDialog->lineList()->item(i)->text();
    EXPECT_EQ(items, (QStringList{"line0003 - hdg/spd 271/5.12", "line0004 - hdg/spd 91/4.8", "line0005 - hdg/spd 0/0"}));

    // One line picked in the view: highlighted, its text shown; too few to calibrate on. The open's
    // later reports (extent, z range, with a status text of their own) are in first.
    settle();
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);
    qint64 nFrom = harness().mark();
    pick(nFirst);
    settle();
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status.front().front().toString(), QStringLiteral("line0003 avg hdg/spd 271/5.12"));
    ASSERT_FALSE(s_prompter.tips.isEmpty());
    EXPECT_EQ(s_prompter.tips.last(), QStringLiteral("line0003 avg hdg/spd 271/5.12"));
    EXPECT_EQ(s_prompter.tipTimes.last(), 10000); // long enough to read while calibrating
    const QList<LoggedBody> materials = sent("UpdateMaterialMessage", nFrom);
    ASSERT_EQ(materials.size(), 1);
    EXPECT_EQ(materials.front().number(1, 0), static_cast<double>(nFirst));
    viewer()->calibTriggered(false);
    EXPECT_EQ(s_prompter.boxes, QStringList{"Calibrate|Select at least 2 lines to calibrate on"});

    // The second line from the dialog; the selection there replaces the picked one.
    pDialog->lineList()->item(0)->setSelected(true);
    pDialog->lineList()->item(1)->setSelected(true);
    EXPECT_TRUE(viewer()->getObjects().at(nFirst).highlighted);
    EXPECT_TRUE(viewer()->getObjects().at(nSecond).highlighted);

    QList<QStringList> started;
    QList<QPoint> ends;
    const QMetaObject::Connection connection =
        QObject::connect(viewer(), &COrlexViewer::startCalib, [&](QStringList lines, QPoint& from, QPoint& to) {
            started << lines;
            ends << from << to;
        });
    s_prompter.boxes.clear();
    crossLine({{100.25, 200.5, 0}, {200, 300, 0}, {300.75, 400, 0}});
    settle();
    viewer()->calibTriggered(false);
    QObject::disconnect(connection);
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.front(), (QStringList{"line0003", "line0004"}));
    EXPECT_EQ(ends, (QList<QPoint>{QPoint(10025, 20050), QPoint(30075, 40000)}));
    EXPECT_TRUE(s_prompter.boxes.isEmpty());

    // Leaving the mode clears the highlights and stops.
    QSignalSpy stopped(viewer(), &COrlexViewer::stopCalib);
    viewer()->toggleCalibMode(false);
    EXPECT_EQ(stopped.size(), 1);
    EXPECT_FALSE(viewer()->getObjects().at(nFirst).highlighted);
    EXPECT_FALSE(viewer()->getObjects().at(nSecond).highlighted);
}

void expectVertices(const QList<QPointF>& actual, const QList<QPointF>& expected)
{
    ASSERT_GE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual.at(i).x(), expected.at(i).x(), 0.05) << "vertex " << i;
        EXPECT_NEAR(actual.at(i).y(), expected.at(i).y(), 0.05) << "vertex " << i;
    }
}

// A line drawn in calibration mode asks whether to start, then gets a corridor user object of
// gui.ini's width; the next line replaces the corridor and the line before it.
TEST_F(CalibrationTest, DrawnLineGetsACorridorOfTheConfiguredWidth)
{
    struct Case
    {
        const char* pName;
        QVariant setting; // invalid: no key
        double dWidth;
    };
    const Case cases[] = {
        {"absent", QVariant(), 2.0},
        {"number", QStringLiteral("7.5"), 7.5},
        {"not a number", QStringLiteral("wide"), 2.0},
        {"empty", QStringLiteral(""), 2.0},
    };
    viewer()->toggleCalibMode(true);
    s_prompter.questionAnswer = QMessageBox::No;
    quint64 nPrevious = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pName);
        if (c.setting.isValid()) {
            plantest::setRuntimeKey(QStringLiteral("CORR_WIDTH"), c.setting);
        } else {
            QSettings settings(plantest::localGuiIni(), QSettings::IniFormat);
            settings.remove(QStringLiteral("RUNTIME/CORR_WIDTH"));
            settings.sync();
        }
        QFile::remove(objectsLogPath());
        s_prompter.questions.clear();
        s_prompter.questionParents.clear();
        const qint64 nFrom = markNow();
        crossLine({{100, 200, 0}, {300, 200, 0}});
        settle();

        EXPECT_EQ(s_prompter.questions, QStringList{"Calibration|Start calibration now?"});
        EXPECT_EQ(s_prompter.questionParents, QList<QWidget*>{nullptr});
        EXPECT_TRUE(sent("SetInteractionModeMessage", nFrom).isEmpty()) << "answered No: no calibration";

        const QList<QJsonObject> calls = libraryCalls();
        ASSERT_EQ(callNames(calls).filter(QRegularExpression("^(setCorridorWidth|newDremmPolygon)$")),
                  (QStringList{"setCorridorWidth", "newDremmPolygon"}));
        QJsonObject corridor;
        QJsonObject polygon;
        for (const QJsonObject& call : calls) {
            if (call.value("call") == "setCorridorWidth")
                corridor = call;
            else if (call.value("call") == "newDremmPolygon")
                polygon = call;
        }
        EXPECT_EQ(corridor.value("line").toArray(), (QJsonArray{10000, 20000, 30000, 20000}));
        EXPECT_DOUBLE_EQ(corridor.value("width").toDouble(), c.dWidth);
        EXPECT_FALSE(polygon.value("store").toBool()) << "the corridor is not kept in the database";
        const quint64 nCorridor = idOf(polygon);
        ASSERT_NE(nCorridor, 0u);

        const QList<LoggedBody> created = sent("CreateLineMessage", nFrom);
        ASSERT_EQ(created.size(), 1);
        EXPECT_EQ(static_cast<quint64>(created.front().number(1, 0)), nCorridor);
        EXPECT_EQ(created.front().text(1, 7), QStringLiteral("UserObjects"));
        const double dHalf = c.dWidth / 2;
        expectVertices(viewertest::lineVertices(created.front()),
                       {{100, 200 + dHalf}, {300, 200 + dHalf}, {300, 200 - dHalf}, {100, 200 - dHalf}});

        if (nPrevious != 0) {
            // The old corridor goes through the library first (its id may come straight back).
            EXPECT_EQ(destroyed(nFrom), (QList<quint64>{nPrevious, 9999}));
            ASSERT_FALSE(calls.isEmpty());
            EXPECT_EQ(calls.front().value("call").toString(), QStringLiteral("deleteObj"));
            EXPECT_EQ(idOf(calls.front()), nPrevious);
            EXPECT_TRUE(calls.front().value("result").toBool());
        } else {
            EXPECT_TRUE(destroyed(nFrom).isEmpty());
        }
        nPrevious = nCorridor;
    }
    viewer()->toggleCalibMode(false);
}

// setCorridorWidth replaces the corridor in place; a width the library refuses leaves the drawn
// line as the corridor; leaving calibration mode removes it through the library and frees its id.
TEST_F(CalibrationTest, CorridorIsRebuiltAndRemovedThroughTheObjectLibrary)
{
    viewer()->toggleCalibMode(true);
    QFile::remove(objectsLogPath());
    qint64 nFrom = markNow();
    viewer()->setCorridorWidth(5.0f);
    EXPECT_TRUE(libraryCalls().isEmpty()) << "no line drawn yet";
    EXPECT_TRUE(sent("DestroyObjectMessage", nFrom).isEmpty());

    // Answered Yes: the calibration starts (its interaction mode goes out) and the corridor follows.
    s_prompter.questionAnswer = QMessageBox::Yes;
    nFrom = markNow();
    crossLine({{100, 200, 0}, {200, 260, 0}, {100, 300, 0}});
    settle();
    s_prompter.questionAnswer = QMessageBox::No;
    EXPECT_EQ(sent("SetInteractionModeMessage", nFrom).size(), 1);
    ASSERT_EQ(sent("CreateLineMessage", nFrom).size(), 1);
    quint64 nCorridor = static_cast<quint64>(sent("CreateLineMessage", nFrom).front().number(1, 0));

    struct Case
    {
        float fWidth;
        bool bCorners;
        QList<QPointF> vertices;
    };
    const Case cases[] = {
        // The line runs north from (100, 200) to (100, 300): corners to the west first.
        {6.0f, true, {{97, 200}, {97, 300}, {103, 300}, {103, 200}}},
        {0.0f, false, {{100, 200}, {200, 260}, {100, 300}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fWidth);
        QFile::remove(objectsLogPath());
        nFrom = markNow();
        viewer()->setCorridorWidth(c.fWidth);
        EXPECT_EQ(destroyed(nFrom), QList<quint64>{nCorridor}) << "the drawn line stays";
        const QList<QJsonObject> calls = libraryCalls();
        EXPECT_EQ(callNames(calls), (QStringList{"deleteObj", "setCorridorWidth", "newDremmPolygon"}));
        ASSERT_EQ(calls.size(), 3);
        EXPECT_EQ(idOf(calls[0]), nCorridor);
        EXPECT_EQ(calls[1].value("line").toArray(), (QJsonArray{10000, 20000, 10000, 30000}));
        EXPECT_EQ(calls[1].value("result").toBool(), c.bCorners);
        const QList<LoggedBody> created = sent("CreateLineMessage", nFrom);
        ASSERT_EQ(created.size(), 1);
        nCorridor = static_cast<quint64>(created.front().number(1, 0));
        EXPECT_EQ(nCorridor, idOf(calls[2]));
        expectVertices(viewertest::lineVertices(created.front()), c.vertices);
    }

    QFile::remove(objectsLogPath());
    nFrom = markNow();
    viewer()->toggleCalibMode(false);
    const QList<quint64> gone = destroyed(nFrom);
    EXPECT_EQ(gone.count(nCorridor), 1);
    EXPECT_EQ(gone.count(9999), 1);
    const QList<QJsonObject> calls = libraryCalls();
    ASSERT_EQ(callNames(calls), QStringList{"deleteObj"});
    EXPECT_EQ(idOf(calls[0]), nCorridor);
    EXPECT_TRUE(calls[0].value("result").toBool());
    EXPECT_FALSE(viewer()->getObjectLibrary()->isPlanObject(nCorridor));
    // The freed id is the next one handed out.
    const std::uint64_t nAgain = viewer()->getObjectLibrary()->newDremmPoint({0.0f, 0.0f}, true, 0, false, QString(), 0.0);
    EXPECT_EQ(nAgain, nCorridor);
    viewer()->getObjectLibrary()->deleteObj(nAgain, true, false);

    nFrom = markNow();
    viewer()->setCorridorWidth(4.0f);
    EXPECT_TRUE(sent("CreateLineMessage", nFrom).isEmpty()) << "no corridor outside calibration mode";
    EXPECT_TRUE(destroyed(nFrom).isEmpty());
}

// A corridor the operator removed with the user objects is forgotten: its id, handed out again,
// belongs to the next object, which leaving calibration mode must not take away.
TEST_F(CalibrationTest, CorridorRemovedByTheOperatorIsForgotten)
{
    viewer()->toggleCalibMode(true);
    qint64 nFrom = markNow();
    crossLine({{100, 200, 0}, {300, 200, 0}});
    settle();
    const QList<LoggedBody> created = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(created.size(), 1);
    const quint64 nCorridor = static_cast<quint64>(created.front().number(1, 0));

    viewer()->removeAllObjects();
    COrlexObjs* pLibrary = viewer()->getObjectLibrary();
    const std::uint64_t nNext = pLibrary->newDremmPoint({0.0f, 0.0f}, true, 0, false, QString(), 0.0);
    ASSERT_EQ(nNext, nCorridor) << "the freed id comes straight back";

    nFrom = markNow();
    viewer()->setCorridorWidth(5.0f);
    viewer()->toggleCalibMode(false);
    EXPECT_EQ(destroyed(nFrom), QList<quint64>{9999});
    EXPECT_TRUE(sent("CreateLineMessage", nFrom).isEmpty());
    EXPECT_TRUE(pLibrary->isPlanObject(nNext));
    pLibrary->deleteObj(nNext, true, false);
}

} // namespace

