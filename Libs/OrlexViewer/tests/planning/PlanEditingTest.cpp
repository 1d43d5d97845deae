// Plan editing in the 3-D view, driven by picks, pointer moves and context menus that the
// stand-in viewer server sends: selection, the menus, dragging a line, moving and deleting a
// vertex, the edit and parallels dialogs' requests, the active-line guard, line highlights and
// the zoom rectangle.
#include "PlanningTestSupport.h"
#include "ViewerEvents.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/OrlexViewerMenus.h"
#include "OrlexViewer/ParallelsDlg.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexObjs.h"
#include "PlanningLib.h"
#include "Projection/ProjEngine.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

using plantest::loggedRequests;
using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

const QString kLines = QStringLiteral("PAGE_DESCRIPTOR=PLANNING_LINES,ACTION=/planning_");

// (east, north) pairs of a plan object.
std::vector<float> pointsOf(CPlanningLib& lib, std::uint64_t nId)
{
    std::vector<float> points;
    QString strRuntime;
    lib.getPoints(nId, points, strRuntime);
    return points;
}

class PlanEditingTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        platform::ensureWindowsEnvironment();
        ASSERT_TRUE(projection_detail::writeProjectionFile(projection_detail::dataFolderProjectionFile(),
                                                           "+proj=eqc +ellps=WGS84 +to_meter=0.011131949079327357"));
        plantest::startRequestLog();
        s_pPrevious = CPrompter::install(&s_prompter);
        LiveViewTest::SetUpTestSuite();
    }
    static void TearDownTestSuite()
    {
        LiveViewTest::TearDownTestSuite();
        CPrompter::install(s_pPrevious);
    }

    void SetUp() override
    {
        viewer()->togglePlanMode(true, -1);
        lib().Planning_request(QStringLiteral("PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning___clearJob__"));
        viewer()->planningMenuAction(14); // nothing selected, counts reset
        s_prompter.menuChoice.clear();
        s_prompter.menus.clear();
        s_prompter.boxes.clear();
        s_prompter.fillDialog = nullptr;
        s_prompter.acceptDialog = true;
        plantest::clearRequestLog();
    }

    CPlanningLib& lib() { return *viewer()->getPlanningInterf()->getPlanningLib(); }

    qint64 markNow()
    {
        harness().sync();
        return harness().mark();
    }

    QList<LoggedBody> sent(const char* szType, qint64 nFrom) { return plantest::received(harness(), szType, nFrom); }
    void sendEvent(const char* szType, const QJsonArray& own) { plantest::sendViewerEvent(harness(), s_nViewerId, szType, own); }
    void settle() { plantest::settle(harness(), viewer()); }
    void pick(quint64 nId, double dX, double dY) { plantest::sendPick(harness(), s_nViewerId, nId, dX, dY); }
    void moveTo(double dX, double dY)
    {
        sendEvent("MouseMovedMessage",
                  QJsonArray{orlex_standin::listField(1, QStringLiteral("struct"), QJsonArray{plantest::positionLevels(dX, dY, 0)})});
    }
    // A context menu on an object; the entry is chosen by its text. Waits for the menu.
    void menu(quint64 nId, const QString& strChoice)
    {
        s_prompter.menuChoice = strChoice;
        const int nBefore = s_prompter.menus.size();
        QJsonArray own;
        if (nId != 0)
            own.append(orlex_standin::listField(0, QStringLiteral("uint64"), QJsonArray{QString::number(nId)}));
        sendEvent("ShowContextMenuMessage", own);
        ASSERT_TRUE(viewertest::waitUntil([&] { return s_prompter.menus.size() > nBefore; }));
        s_prompter.menuChoice.clear();
    }
    // A plan line drawn through the library; its number.
    int addLine(std::vector<float> triples)
    {
        lib().newDremmLine(triples, 0);
        int nNumber = 0;
        for (int n = plan_ids::kFirstNumber; n <= plan_ids::kLastNumber; ++n)
            if (lib().isPlanObject(static_cast<std::uint64_t>(n)) == 0)
                nNumber = n;
        return nNumber;
    }

    static plantest::ScriptedPrompter s_prompter;
    static CPrompter* s_pPrevious;
};

plantest::ScriptedPrompter PlanEditingTest::s_prompter;
CPrompter* PlanEditingTest::s_pPrevious = nullptr;

TEST_F(PlanEditingTest, PlanObjectsAreDrawnWithIdsOfTheirOwnRanges)
{
    const qint64 nFrom = markNow();
    const int nLine = addLine({0, 0, 0, 100, 0, 0, 200, 50, 0, 300, 0, 0});
    ASSERT_EQ(nLine, 1);
    QList<quint64> markers;
    for (const LoggedBody& cube : sent("CreateCubeMessage", nFrom))
        markers << static_cast<quint64>(cube.number(1, 0));
    EXPECT_EQ(markers, (QList<quint64>{100001, 401000, 401001, 200001}));
    const QList<LoggedBody> lines = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.front().number(1, 0), 1.0);
    EXPECT_EQ(lines.front().text(1, 7), QStringLiteral("Planning"));
    // Every plan id stays clear of the allocator (100 on) and the ship model (40000 to 44003).
    for (quint64 nId : markers)
        EXPECT_GT(nId, 100000u);
}

TEST_F(PlanEditingTest, PicksToggleSelectionAndMenusFollowIt)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    ASSERT_TRUE(viewertest::waitUntil([&] { return lib().isSelected(static_cast<std::uint64_t>(nLine)); }));

    menu(static_cast<quint64>(nLine), QString());
    const QStringList lineEntries{"Activate line", "Deactivate line", "Reverse line", "Make parallels",
                                  "Select crossings", "Move line", "Move point", "Delete point",
                                  "Edit line", "Delete line", "Unselect line"};
    EXPECT_EQ(s_prompter.menus.last(), lineEntries);

    pick(static_cast<quint64>(nLine), 50, 0);
    ASSERT_TRUE(viewertest::waitUntil([&] { return !lib().isSelected(static_cast<std::uint64_t>(nLine)); }));
    // A second deselecting pick leaves the count at 0: the menu away from objects is the empty one.
    menu(0, QString());
    EXPECT_EQ(s_prompter.menus.last(), (QStringList{"New line", "New polygon", "Unselect all"}));
    EXPECT_TRUE(plantest::loggedCalls(QStringLiteral("selectPlanObject")).size() >= 2);
}

TEST_F(PlanEditingTest, LeavingPlanningModeUnselectsTheLibrarysObjects)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    ASSERT_TRUE(viewertest::waitUntil([&] { return lib().isSelected(static_cast<std::uint64_t>(nLine)); }));

    viewer()->togglePlanMode(false, -1);
    EXPECT_FALSE(lib().isSelected(static_cast<std::uint64_t>(nLine)));
    // Back in planning mode nothing is selected: the menu offers no line entries.
    viewer()->togglePlanMode(true, -1);
    menu(0, QString());
    EXPECT_EQ(s_prompter.menus.last(), (QStringList{"New line", "New polygon", "Unselect all"}));
}

TEST_F(PlanEditingTest, MenuEntriesByClassAndSelection)
{
    using orlex_menus::planningEntries;
    auto texts = [](const std::vector<orlex_menus::MenuEntry>& entries) {
        QStringList list;
        for (const auto& e : entries)
            list << (e.text.isEmpty() ? QStringLiteral("-") : e.text);
        return list;
    };
    const QStringList lineEntries{"Activate line", "Deactivate line", "Reverse line", "Make parallels",
                                  "Select crossings", "Move line", "Move point", "Delete point",
                                  "Edit line", "Delete line", "Unselect line"};
    struct Case {
        int nClass, nNumSelected, nLines, nPolygons;
        QStringList expected;
    };
    const Case aCases[] = {
        {0, 1, 1, 0, lineEntries},
        {0, 1, 1, 1, lineEntries + QStringList{"Fill polygon"}},
        {0, 2, 2, 0, {}},
        {5, 0, 0, 1, {"New line", "New polygon", "-", "Edit polygon", "Delete polygon", "Unselect all"}},
        {5, 1, 1, 1, {"New line", "New polygon", "-", "Fill polygon", "Keep lines inside", "Keep lines outside", "Unselect all"}},
        {5, 3, 3, 1, {"New line", "New polygon", "-", "Keep lines inside", "Keep lines outside", "Unselect all"}},
        {-1, 0, 0, 0, {"New line", "New polygon", "Unselect all"}},
        {-1, 1, 1, 0, QStringList{"New line", "New polygon", "-"} + lineEntries},
        {-1, 2, 2, 0, {"New line", "New polygon", "-", "Reverse line", "Connect lines", "Delete lines", "Unselect all"}},
        {-1, 0, 0, 3, {"New line", "New polygon", "-", "Delete polygons", "Unselect all"}},
        {-1, 1, 1, 1, {"New line", "New polygon", "-", "Fill polygon", "Keep lines inside", "Keep lines outside", "Unselect all"}},
        {-1, 2, 2, 1, {"New line", "New polygon", "-", "Keep lines inside", "Keep lines outside", "Delete objects", "Unselect All"}},
        {-1, 1, 1, 2, {"New line", "New polygon", "-", "Delete objects", "Unselect all"}},
    };
    for (const Case& c : aCases)
        EXPECT_EQ(texts(planningEntries(c.nClass, c.nNumSelected, c.nLines, c.nPolygons, true)), c.expected)
            << c.nClass << " " << c.nLines << " " << c.nPolygons;
    EXPECT_TRUE(planningEntries(-1, 0, 0, 0, false).empty()) << "away from objects only in planning mode";
    EXPECT_EQ(texts(orlex_menus::calibEntries(2)).last(), QStringLiteral("Show Cross Lines"));
    EXPECT_EQ(texts(orlex_menus::calibEntries(0)).last(), QStringLiteral("Calibrate"));
    EXPECT_TRUE(orlex_menus::generalEntries(3).empty());

    // Vertex markers of line 7 (a plan line), and ids around them that are none.
    auto lineSeven = [](std::uint64_t n) { return n == 7 ? 0 : n == 8 ? 5 : -1; };
    const std::pair<std::uint64_t, int> aIds[] = {{7, 0},      {8, 5},      {100007, 2}, {500007, 2}, {200007, 2},
                                                  {407000, 2}, {407003, 2}, {408000, -1}, {100008, -1}, {9, -1}};
    for (const auto& [nId, nClass] : aIds)
        EXPECT_EQ(orlex_menus::pickedPlanClass(nId, lineSeven), nClass) << nId;
}

TEST_F(PlanEditingTest, DraggingALineMovesItAndStoresItOnTheNextPick)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Move line"));
    const qint64 nFrom = markNow();
    moveTo(10, 10);
    moveTo(15, 20);
    settle();
    const QList<LoggedBody> drawn = sent("UpdateLineMessage", nFrom);
    ASSERT_EQ(drawn.size(), 1);
    const QJsonArray positions = drawn.front().structAt(2, 0).list(0, 1);
    EXPECT_EQ(positions, (QJsonArray{5.0, 10.0, 0.0, 105.0, 10.0, 0.0}));

    pick(0, 15, 20);
    settle();
    EXPECT_EQ(pointsOf(lib(), static_cast<std::uint64_t>(nLine)), (std::vector<float>{5, 10, 105, 10}));
    EXPECT_TRUE(loggedRequests().contains(kLines + QStringLiteral("__deleteSelection__")));
}

TEST_F(PlanEditingTest, ContextMenuDuringALineDragPutsTheLineBack)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Move line"));
    moveTo(10, 10);
    moveTo(30, 10);
    settle();
    const qint64 nFrom = markNow();
    const int nMenus = s_prompter.menus.size();
    sendEvent("ShowContextMenuMessage", QJsonArray());
    ASSERT_TRUE(viewertest::waitUntil([&] { return !sent("UpdateLineMessage", nFrom).isEmpty(); }));
    EXPECT_EQ(sent("UpdateLineMessage", nFrom).front().structAt(2, 0).list(0, 1), (QJsonArray{0.0, 0.0, 0.0, 100.0, 0.0, 0.0}));
    EXPECT_EQ(s_prompter.menus.size(), nMenus) << "no menu";
    EXPECT_EQ(pointsOf(lib(), static_cast<std::uint64_t>(nLine)), (std::vector<float>{0, 0, 100, 0}));
}

TEST_F(PlanEditingTest, MovingAVertex)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0, 200, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Move point"));
    const std::uint64_t nMiddle = plan_ids::kInnerVertexBase + 1000u * static_cast<std::uint64_t>(nLine);
    pick(nMiddle, 100, 0); // takes the vertex
    moveTo(100, 0);        // first move only records
    moveTo(110, 40);
    pick(nMiddle, 110, 40); // stores
    settle();
    ASSERT_TRUE(viewertest::waitUntil([&] { return lib().getNumSelected(1) == 0 && lib().isPlanObject(1) == 0; }));
    std::vector<float> stored;
    for (int n = plan_ids::kFirstNumber; n <= plan_ids::kLastNumber && stored.empty(); ++n)
        stored = pointsOf(lib(), static_cast<std::uint64_t>(n));
    EXPECT_EQ(stored, (std::vector<float>{0, 0, 110, 40, 200, 0}));
}

TEST_F(PlanEditingTest, DeletingAVertexWaitsForAVertexOfTheLine)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0, 200, 0, 0, 300, 0, 0});
    const int nOther = addLine({0, 50, 0, 100, 50, 0, 200, 50, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Delete point"));
    // Not a vertex, and a vertex of another line: the request stays pending.
    pick(static_cast<quint64>(nLine), 50, 0);
    pick(plan_ids::kInnerVertexBase + 1000u * static_cast<std::uint64_t>(nOther), 100, 50);
    settle();
    EXPECT_EQ(pointsOf(lib(), static_cast<std::uint64_t>(nLine)).size(), 8u);
    pick(plan_ids::kInnerVertexBase + 1000u * static_cast<std::uint64_t>(nLine) + 1, 200, 0);
    settle();
    std::vector<std::vector<float>> lines;
    for (int n = plan_ids::kFirstNumber; n <= plan_ids::kLastNumber; ++n)
        if (lib().isPlanObject(static_cast<std::uint64_t>(n)) == 0)
            lines.push_back(pointsOf(lib(), static_cast<std::uint64_t>(n)));
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::vector<float>{0, 0, 100, 0, 300, 0}), lines.end());
}

TEST_F(PlanEditingTest, ShortLinesKeepTheirVertices)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Delete point"));
    EXPECT_EQ(s_prompter.boxes, QStringList{"Planning|Cannot delete point from line with less than 3 points"});
}

TEST_F(PlanEditingTest, DialogRequests)
{
    const int nLine = addLine({10, 20, 0, 30, 40, 0, 50, 60, 0});
    pick(static_cast<quint64>(nLine), 30, 40);
    s_prompter.fillDialog = [](QDialog& dialog) {
        if (auto* pParallels = qobject_cast<CParallelsDlg*>(&dialog)) {
            pParallels->distStbd->setText(QStringLiteral("50"));
            pParallels->distPort->setText(QStringLiteral("25"));
            pParallels->linesStbd->setText(QStringLiteral("2"));
            pParallels->linesPort->setText(QStringLiteral("1"));
            pParallels->cmbReverse->setChecked(true);
        }
    };
    menu(static_cast<quint64>(nLine), QStringLiteral("Make parallels"));
    EXPECT_TRUE(loggedRequests().contains(kLines + QStringLiteral(
        "__makeParallels__,__parallels_meters_starboard__=50&__parallels_meters_port__=25&"
        "__no_parallels_starboard__=2&__no_parallels_port__=1&__reverse__=1")));
    int nLines = 0;
    for (int n = plan_ids::kFirstNumber; n <= plan_ids::kLastNumber; ++n)
        nLines += lib().isPlanObject(static_cast<std::uint64_t>(n)) == 0 ? 1 : 0;
    EXPECT_EQ(nLines, 4);

    plantest::clearRequestLog();
    pick(static_cast<quint64>(nLine), 30, 40);
    s_prompter.fillDialog = nullptr;
    menu(static_cast<quint64>(nLine), QStringLiteral("Edit line"));
    EXPECT_TRUE(loggedRequests().contains(kLines + QStringLiteral(
        "__editpoly__,x_row1=20.000000&y_row1=10.000000&x_row2=40.000000&y_row2=30.000000&"
        "x_row3=60.000000&y_row3=50.000000&")));

    // A cancelled parallels dialog sends nothing.
    plantest::clearRequestLog();
    pick(static_cast<quint64>(nLine), 30, 40);
    s_prompter.acceptDialog = false;
    menu(static_cast<quint64>(nLine), QStringLiteral("Make parallels"));
    for (const QString& strRequest : loggedRequests())
        EXPECT_FALSE(strRequest.contains(QStringLiteral("makeParallels")));
}

TEST_F(PlanEditingTest, TheActiveLineIsNotEdited)
{
    const int nLine = addLine({0, 0, 0, 100, 0, 0});
    pick(static_cast<quint64>(nLine), 50, 0);
    menu(static_cast<quint64>(nLine), QStringLiteral("Activate line"));
    ASSERT_EQ(lib().m_nActiveLine, nLine);
    EXPECT_EQ(viewer()->getPlanningInterf()->activeLine(), nLine);
    EXPECT_EQ(viewer()->getPlanningInterf()->getActiveLineHeading(), 9000) << "east, for the view's rotation";
    plantest::clearRequestLog();
    pick(static_cast<quint64>(nLine), 50, 0);
    for (const char* szEntry : {"Reverse line", "Move line", "Move point", "Delete point", "Edit line", "Make parallels"})
        menu(static_cast<quint64>(nLine), QLatin1String(szEntry));
    EXPECT_TRUE(loggedRequests().isEmpty()) << loggedRequests().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(pointsOf(lib(), static_cast<std::uint64_t>(nLine)), (std::vector<float>{0, 0, 100, 0}));
    viewer()->activatePlanLine(-1);
    EXPECT_EQ(lib().m_nActiveLine, -1);
    EXPECT_EQ(viewer()->getPlanningInterf()->getActiveLineHeading(), -1);
}

TEST_F(PlanEditingTest, HighlightsAndTheZoomRectangle)
{
    qint64 nFrom = markNow();
    viewer()->setLineHighlight(77, true, QColor(Qt::blue), 2);
    viewer()->setLineHighlight(77, false, QColor(Qt::blue), 2);
    const QList<LoggedBody> materials = sent("UpdateMaterialMessage", nFrom);
    ASSERT_EQ(materials.size(), 2);
    struct Expected {
        double r, g, b, width;
    };
    const Expected aExpected[] = {{1, 1, 0, 4}, {0, 0, 1, 2}};
    for (int i = 0; i < 2; ++i) {
        const LoggedBody data = materials[i].structAt(2, 0);
        EXPECT_FALSE(data.flag(0, 2, false)) << "Override";
        const LoggedBody material = data.structAt(0, 5);
        const LoggedBody colour = material.structAt(0, 1);
        EXPECT_EQ(colour.number(0, 0), aExpected[i].r);
        EXPECT_EQ(colour.number(0, 1), aExpected[i].g);
        EXPECT_EQ(colour.number(0, 2), aExpected[i].b);
        EXPECT_EQ(colour.number(0, 3, 1.0), 1.0) << "alpha (the default is left out)";
        EXPECT_EQ(material.number(0, 4), aExpected[i].width);
    }

    viewer()->togglePlanMode(false, -1);
    viewer()->zoomRectStart();
    nFrom = markNow();
    pick(0, 0, 0);
    pick(0, 300, -100);
    ASSERT_TRUE(viewertest::waitUntil([&] { return !sent("SetCameraDataMessage", nFrom).isEmpty(); }));
    const LoggedBody camera = sent("SetCameraDataMessage", nFrom).last();
    EXPECT_EQ(camera.number(2, 1), 1.0) << "transition time";
    const LoggedBody data = camera.structAt(3, 0);
    EXPECT_EQ(data.position(0, 3)[0], 150.0);
    EXPECT_EQ(data.position(0, 3)[1], -50.0);
    EXPECT_EQ(data.number(0, 6), 300.0);
}

TEST_F(PlanEditingTest, ANewProjectionIsHandedToThePlanningLibrary)
{
    const QString strPath = QString::fromStdString(projection_detail::dataFolderProjectionFile());
    viewer()->updateProj(strPath);
    EXPECT_EQ(loggedRequests(), QStringList{QStringLiteral("$NEW_PROJECTION_PATH=%1\n").arg(strPath)});
    plantest::clearRequestLog();
    viewer()->updateProj(strPath + QStringLiteral(".missing"));
    EXPECT_TRUE(loggedRequests().isEmpty());
}

TEST_F(PlanEditingTest, UserObjectMenusAndPicks)
{
    viewer()->togglePlanMode(false, -1);
    viewer()->toggleUserMode(true, -1);
    COrlexObjs* pObjects = viewer()->getObjectLibrary();
    ASSERT_NE(pObjects, nullptr);
    const std::uint64_t nPoint = pObjects->newDremmPoint({1.0f, 2.0f}, true, 0, false, QStringLiteral("p"), 0);
    ASSERT_NE(nPoint, 0u);

    menu(nPoint, QString());
    EXPECT_EQ(s_prompter.menus.last(), (QStringList{"Edit object", "Delete object", "Open media/URL"}));
    // Away from objects: new objects, and edit or delete on the next pick.
    menu(0, QStringLiteral("Delete object"));
    EXPECT_EQ(s_prompter.menus.last(),
              (QStringList{"Point", "Line", "Polygon", "Create marker", "-", "Edit object", "Delete object"}));
    pick(nPoint, 100000, 200000);
    settle();
    EXPECT_FALSE(pObjects->isPlanObject(nPoint)) << "the pending delete took the picked object";
    viewer()->toggleUserMode(false, -1);
}

TEST_F(PlanEditingTest, OpeningAJobByName)
{
    viewer()->openPlanJob(QString());
    EXPECT_EQ(loggedRequests(), QStringList{"PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning___clearJob__"});
    plantest::clearRequestLog();
    viewer()->openPlanJob(QStringLiteral("C:\\plans\\a.asciiplan"));
    EXPECT_EQ(loggedRequests(), (QStringList{"PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning___clearJob__",
                                             "PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning__openjob__,JOBNAME=C:\\plans\\a.asciiplan"}));
}

} // namespace
