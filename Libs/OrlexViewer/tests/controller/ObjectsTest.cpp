// User objects against the stand-in server: the object library drawing, editing, moving and
// deleting each kind, the database, GeoJSON files, dynamic objects and saved positions. The
// projection makes 100 km of one degree, so view positions are round.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"
#include "Projection/ProjEngine.h"
#include "Projection/Projection.h"
#include "platform/paths.h"

#include "Common/CorvPaths.h"
#include "OrlexObjs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <functional>

using viewertest::bodyOf;
using viewertest::LoggedBody;
using viewertest::lineVertices;

namespace {

constexpr double kMetresPerDegree = 100000.0;

QString dataFile(const char* pName)
{
    return platform::toNativePath(programDataPath() + QLatin1String(pName));
}

// Answers the next modal dialog: fill runs on it, then OK (or Cancel when bAccept is false).
void answerDialog(std::function<void(QDialog*)> fill, bool bAccept = true)
{
    QTimer::singleShot(0, [fill, bAccept]() {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!pDialog) {
            answerDialog(fill, bAccept);
            return;
        }
        fill(pDialog);
        if (bAccept)
            pDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        else
            pDialog->reject();
    });
}

// Records the addresses the library asks the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls << url; }

public:
    QList<QUrl> urls;
};

class ObjectsTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        platform::ensureWindowsEnvironment();
        ASSERT_TRUE(projection_detail::writeProjectionFile(projection_detail::dataFolderProjectionFile(),
                                                           "+proj=eqc +ellps=WGS84 +to_meter=0.011131949079327357"));
        // The database file exists, as on an installed station.
        QFile database(dataFile("userobjects.sqlite"));
        ASSERT_TRUE(database.open(QIODevice::WriteOnly));
        database.close();
        LiveViewTest::SetUpTestSuite();
    }

    void SetUp() override
    {
        m_pObjects = std::make_unique<COrlexObjs>();
        m_pObjects->setDispatcher(viewer()->getDispatcher());
        m_pObjects->setProjection(CProjection::instance());
    }

    qint64 markNow()
    {
        harness().sync();
        return harness().mark();
    }

    QList<LoggedBody> sent(const char* pType, qint64 nFrom) { return harness().receivedBodies(QString::fromLatin1(pType), nFrom); }

    QStringList sentTypes(qint64 nFrom)
    {
        harness().sync();
        return harness().receivedTypes(nFrom, {QStringLiteral("QueryNavigationStateMessage")});
    }

    // A finished measurement from the server, as the operator ends drawing in the view.
    void measurement(quint64 nObjectId, const QList<QPointF>& positions)
    {
        QJsonArray elements;
        for (const QPointF& p : positions)
            elements.append(QJsonObject{{"levels", QJsonArray() << QJsonArray{viewertest::doubleField(0, p.x()),
                                                                              viewertest::doubleField(1, p.y()),
                                                                              viewertest::doubleField(2, 0)}}});
        const QJsonArray own{viewertest::uint64Field(0, nObjectId), orlex_standin::listField(3, QStringLiteral("struct"), elements),
                             orlex_standin::field(4, QStringLiteral("bool"), false)};
        ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("MeasurementMessage"),
                                           QJsonArray{QJsonArray(), QJsonArray{viewertest::int32Field(0, s_nViewerId)}, own}));
    }

    // Object ids of the created messages of that type (level 1 field 0 is the id).
    static quint64 idOf(const LoggedBody& body) { return static_cast<quint64>(body.number(1, 0)); }

    std::unique_ptr<COrlexObjs> m_pObjects;
};

bool near(const QPointF& a, const QPointF& b)
{
    return std::fabs(a.x() - b.x()) < 1.0 && std::fabs(a.y() - b.y()) < 1.0;
}

} // namespace

TEST_F(ObjectsTest, EachKindIsDrawnMovedAndDeleted)
{
    struct Case
    {
        const char* pName;
        std::function<std::uint64_t(COrlexObjs&)> create;
        const char* pCreated;
        const char* pMoved;
        QPointF firstVertex; // metres after the move
    };
    const Case cases[] = {
        {"line", [](COrlexObjs& o) { return o.newDremmLine({1.0f, 2.0f, 1.5f, 2.5f}, 0, false, QStringLiteral("l"), 3); },
         "CreateLineMessage", "UpdateLineMessage", QPointF(1.0 * kMetresPerDegree + 300, 2.0 * kMetresPerDegree + 400)},
        {"polygon",
         [](COrlexObjs& o) { return o.newDremmPolygon({1.0f, 2.0f, 1.5f, 2.0f, 1.5f, 2.5f}, 0, false, QString(), 3); },
         "CreateLineMessage", "UpdateLineMessage", QPointF(1.0 * kMetresPerDegree + 300, 2.0 * kMetresPerDegree + 400)},
        {"point", [](COrlexObjs& o) { return o.newDremmPoint({1.0f, 2.0f}, true, 0, false, QString(), 0.0); },
         "CreateCubeMessage", "PositionUpdateMessage", QPointF(3.0 * kMetresPerDegree, 4.0 * kMetresPerDegree)},
        {"marker", [](COrlexObjs& o) { return o.addMarker({0.5f, 0.5f, 1.0f, 2.0f}); }, "CreateCubeMessage",
         "PositionUpdateMessage", QPointF(3.0 * kMetresPerDegree, 4.0 * kMetresPerDegree)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pName);
        qint64 nFrom = markNow();
        const std::uint64_t nId = c.create(*m_pObjects);
        ASSERT_NE(nId, 0u);
        EXPECT_TRUE(m_pObjects->isPlanObject(nId));
        const QList<LoggedBody> created = sent(c.pCreated, nFrom);
        ASSERT_EQ(created.size(), 1);
        EXPECT_EQ(idOf(created.first()), nId);
        EXPECT_EQ(created.first().text(1, 7), QStringLiteral("UserObjects"));
        if (QLatin1String(c.pCreated) == QLatin1String("CreateLineMessage")) {
            const QList<QPointF> vertices = lineVertices(created.first());
            ASSERT_GE(vertices.size(), 2);
            EXPECT_TRUE(near(vertices.first(), QPointF(1.0 * kMetresPerDegree, 2.0 * kMetresPerDegree)));
            // A polygon's outline is closed by its indices.
            const QJsonArray indices = created.first().structAt(created.first().ownLevel(), 0).list(0, 2);
            EXPECT_EQ(indices.at(indices.size() - 2).toInt(), QString(c.pName) == QLatin1String("polygon") ? 0 : 1);
        } else {
            const auto position = created.first().position(1, 4);
            EXPECT_NEAR(position[0], 1.0 * kMetresPerDegree, 1.0);
            EXPECT_NEAR(position[1], 2.0 * kMetresPerDegree, 1.0);
        }

        // Moved and renamed in the dialog: a point gets a new place, a shape is shifted.
        nFrom = markNow();
        answerDialog([](QDialog* pDialog) {
            pDialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("renamed \"x\""));
            if (auto* pLat = pDialog->findChild<QDoubleSpinBox*>(QStringLiteral("latitude"))) {
                pLat->setValue(4.0);
                pDialog->findChild<QDoubleSpinBox*>(QStringLiteral("longitude"))->setValue(3.0);
            } else {
                pDialog->findChild<QDoubleSpinBox*>(QStringLiteral("shiftNorth"))->setValue(400);
                pDialog->findChild<QDoubleSpinBox*>(QStringLiteral("shiftEast"))->setValue(300);
            }
        });
        EXPECT_TRUE(m_pObjects->editObject(nId));
        const QList<LoggedBody> moved = sent(c.pMoved, nFrom);
        ASSERT_EQ(moved.size(), 1);
        if (QLatin1String(c.pMoved) == QLatin1String("UpdateLineMessage")) {
            EXPECT_EQ(idOf(moved.first()), nId);
            EXPECT_TRUE(near(lineVertices(moved.first()).first(), c.firstVertex));
        } else {
            const QJsonValue movedId = moved.first().list(1, 0).first();
            EXPECT_EQ(movedId.isString() ? movedId.toString().toULongLong() : static_cast<quint64>(movedId.toDouble()), nId);
            const LoggedBody position(moved.first().list(2, 0).first().toObject());
            EXPECT_NEAR(position.number(0, 0), c.firstVertex.x(), 1.0);
            EXPECT_NEAR(position.number(0, 1), c.firstVertex.y(), 1.0);
        }

        // A cancelled dialog changes nothing.
        nFrom = markNow();
        answerDialog([](QDialog*) {}, false);
        EXPECT_FALSE(m_pObjects->editObject(nId));
        EXPECT_TRUE(sent(c.pMoved, nFrom).isEmpty());

        // Deleted: destroyed in the view and its id handed out again.
        nFrom = markNow();
        EXPECT_TRUE(m_pObjects->deleteObj(nId, true, true));
        const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
        ASSERT_EQ(destroyed.size(), 1);
        EXPECT_EQ(idOf(destroyed.first()), nId);
        EXPECT_FALSE(m_pObjects->isPlanObject(nId));
        EXPECT_FALSE(m_pObjects->deleteObj(nId, true, true));
        const std::uint64_t nAgain = m_pObjects->newDremmPoint({0.0f, 0.0f}, true, 0, false, QString(), 0.0);
        EXPECT_EQ(nAgain, nId);
        m_pObjects->deleteObj(nAgain, true, false);
    }
}

TEST_F(ObjectsTest, UnusablePointListsMakeNoObject)
{
    const float fNan = std::nanf("");
    const qint64 nFrom = markNow();
    EXPECT_EQ(m_pObjects->newDremmLine({1.0f, 2.0f}, 0, true, QString(), 3), 0u);                  // one vertex
    EXPECT_EQ(m_pObjects->newDremmLine({1.0f, 2.0f, 3.0f}, 0, true, QString(), 3), 0u);            // odd count
    EXPECT_EQ(m_pObjects->newDremmPolygon({1.0f, 2.0f, 3.0f, 4.0f}, 0, true, QString(), 3), 0u);   // two vertices
    EXPECT_EQ(m_pObjects->newDremmPoint({fNan, 2.0f}, true, 0, true, QString(), 0.0), 0u);
    EXPECT_EQ(m_pObjects->newDremmPoint({1.0f, 95.0f}, true, 0, true, QString(), 0.0), 0u);        // latitude
    EXPECT_EQ(m_pObjects->newDremmPoint({}, true, 0, true, QString(), 0.0), 0u);
    EXPECT_EQ(m_pObjects->addMarker({}), 0u);
    EXPECT_EQ(m_pObjects->updateDynObj("", SDynObj{}), 0u);
    EXPECT_EQ(m_pObjects->updateDynObj("bad\nname", SDynObj{}), 0u);
    EXPECT_EQ(sentTypes(nFrom), QStringList());
}

TEST_F(ObjectsTest, StoredObjectsComeBackFromTheDatabase)
{
    // A view without objects first.
    m_pObjects->removeAll();
    const std::uint64_t nStored = m_pObjects->newDremmLine({1.0f, 1.0f, 2.0f, 2.0f}, 0, true, QStringLiteral("kept"), 3);
    const std::uint64_t nTransient = m_pObjects->newDremmPoint({1.0f, 1.0f}, true, 0, false, QString(), 0.0);
    ASSERT_NE(nStored, 0u);
    ASSERT_NE(nTransient, 0u);

    qint64 nFrom = markNow();
    EXPECT_TRUE(m_pObjects->removeAll());
    EXPECT_EQ(sent("DestroyObjectMessage", nFrom).size(), 2);

    // Only the stored line returns, once however often the database is read.
    nFrom = markNow();
    EXPECT_TRUE(m_pObjects->addFromDatabase());
    EXPECT_TRUE(m_pObjects->addFromDatabase());
    QList<LoggedBody> lines = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first().text(1, 2), QStringLiteral("kept"));
    EXPECT_TRUE(sent("CreateCubeMessage", nFrom).isEmpty());

    // An edit is stored too; the other library object (the controller's) reads the same rows.
    const std::uint64_t nBack = idOf(lines.first());
    answerDialog([](QDialog* pDialog) {
        pDialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("edited"));
        pDialog->findChild<QLineEdit*>(QStringLiteral("color"))->setText(QStringLiteral("#123456"));
    });
    ASSERT_TRUE(m_pObjects->editObject(nBack));
    m_pObjects->removeAll();
    nFrom = markNow();
    m_pObjects->addFromDatabase();
    lines = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first().text(1, 2), QStringLiteral("edited"));

    // Deleted from the database as well: nothing comes back.
    m_pObjects->deleteObj(idOf(lines.first()), true, true);
    nFrom = markNow();
    m_pObjects->addFromDatabase();
    EXPECT_TRUE(sent("CreateLineMessage", nFrom).isEmpty());
}

TEST_F(ObjectsTest, GeoJsonFilesAddTheirFeatures)
{
    const QString strPath = dataFile("objects.geojson");
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"type":"FeatureCollection","features":[
        {"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]},"properties":{"marker-color":"#00ff00","name":"buoy"}},
        {"type":"Feature","geometry":{"type":"LineString","coordinates":[[1,2],[3,4]]},"properties":{"stroke":"#0000ff"}},
        {"type":"Feature","geometry":{"type":"Polygon","coordinates":[[[1,2],[3,4],[5,6],[1,2]]]},"properties":{}},
        {"type":"Feature","geometry":{"type":"MultiPoint","coordinates":[[1,1],[2,2]]},"properties":{}},
        {"type":"Feature","geometry":{"type":"Point","coordinates":[1,200]},"properties":{}},
        {"type":"Feature","geometry":{"type":"Circle","coordinates":[1,2]},"properties":{}}]})");
    file.close();

    qint64 nFrom = markNow();
    EXPECT_TRUE(m_pObjects->readGeoJsonFile(strPath));
    const QList<LoggedBody> cubes = sent("CreateCubeMessage", nFrom);
    const QList<LoggedBody> lines = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(cubes.size(), 3); // the point and the two of the set
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(cubes.first().text(1, 2), QStringLiteral("buoy"));
    const LoggedBody colour = cubes.first().structAt(1, 10).structAt(0, 5).structAt(0, 1);
    EXPECT_DOUBLE_EQ(colour.number(0, 1, 0.5), 1.0); // green
    // The closed ring is drawn with its three corners.
    EXPECT_EQ(lineVertices(lines.at(1)).size(), 3);

    // Not a feature collection, not JSON, no file: nothing added, false.
    for (const QByteArray& bytes : {QByteArray("[1,2]"), QByteArray("{\"type\":"), QByteArray()}) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        nFrom = markNow();
        EXPECT_FALSE(m_pObjects->readGeoJsonFile(strPath)) << bytes.constData();
        EXPECT_EQ(sentTypes(nFrom), QStringList());
    }
    EXPECT_FALSE(m_pObjects->readGeoJsonFile(dataFile("missing.geojson")));
    EXPECT_FALSE(m_pObjects->readGeoJsonFile(QString()));
    m_pObjects->removeAll();
}

TEST_F(ObjectsTest, DynamicObjectsArePlacedFromTheirText)
{
    struct Case
    {
        const char* pText;
        double dLon;
        double dLat;
        double dZ;
    };
    const Case cases[] = {
        {"12.5,60.1,-30", 12.5, 60.1, -30},
        {"12.5,60.1,-30,D", 12.5, 60.1, -30},
        {"1.0,0.2,5,R", 0.2 * 180.0 / M_PI, 1.0 * 180.0 / M_PI, 5},
        {"300000,400000,1,P", 3.0, 4.0, 1},
        {"1,2,3,X", 0, 0, 3},
        {"a,2,3", 0, 2, 3},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pText);
        const QString strName = QStringLiteral("dyn%1").arg(n++);
        const qint64 nFrom = markNow();
        viewer()->addDynamicObject(strName, QString::fromLatin1(c.pText));
        const QList<LoggedBody> cubes = sent("CreateCubeMessage", nFrom);
        ASSERT_EQ(cubes.size(), 1);
        EXPECT_EQ(cubes.first().text(1, 2), strName);
        const auto position = cubes.first().position(1, 4);
        EXPECT_NEAR(position[0], c.dLon * kMetresPerDegree, 1.0);
        EXPECT_NEAR(position[1], c.dLat * kMetresPerDegree, 1.0);
        EXPECT_NEAR(position[2], c.dZ, 1e-9);
        EXPECT_DOUBLE_EQ(cubes.first().number(cubes.first().ownLevel(), 0), 10.0);
    }

    // The same name again moves the object; a wrong field count does nothing.
    qint64 nFrom = markNow();
    viewer()->addDynamicObject(QStringLiteral("dyn0"), QStringLiteral("1,1,0"));
    EXPECT_EQ(sentTypes(nFrom), QStringList{QStringLiteral("PositionUpdateMessage")});
    nFrom = markNow();
    viewer()->addDynamicObject(QStringLiteral("dyn0"), QStringLiteral("1,1"));
    viewer()->addDynamicObject(QStringLiteral("dyn0"), QStringLiteral("1,1,1,D,5"));
    EXPECT_EQ(sentTypes(nFrom), QStringList());

    // Removing all takes the dynamic objects too; the name then makes a new one.
    viewer()->removeAllObjects();
    nFrom = markNow();
    viewer()->addDynamicObject(QStringLiteral("dyn0"), QStringLiteral("1,1,0"));
    EXPECT_EQ(sent("CreateCubeMessage", nFrom).size(), 1);
    viewer()->removeAllObjects();
}

// New names without end (a hostile peer's DYN_OBJ datagrams): the controller keeps the newest
// names and the oldest object goes from the view; a name kept is still moved, not made again.
TEST_F(ObjectsTest, DynamicObjectsAreCappedOldestFirst)
{
    viewer()->removeAllObjects();
    constexpr int nMax = COrlexViewer::kMaxDynamicObjects;
    qint64 nFrom = markNow();
    for (int n = 0; n < nMax; ++n)
        viewer()->addDynamicObject(QStringLiteral("flood%1").arg(n), QStringLiteral("1,1,0"));
    harness().sync();
    const QList<LoggedBody> cubes = sent("CreateCubeMessage", nFrom);
    ASSERT_EQ(cubes.size(), nMax);
    EXPECT_TRUE(sent("DestroyObjectMessage", nFrom).isEmpty());

    nFrom = markNow();
    for (int n = nMax; n < nMax + 3; ++n)
        viewer()->addDynamicObject(QStringLiteral("flood%1").arg(n), QStringLiteral("1,1,0"));
    harness().sync();
    const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
    ASSERT_EQ(destroyed.size(), 3) << sentTypes(nFrom).join(QLatin1Char(' ')).toStdString();
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(idOf(destroyed[n]), idOf(cubes[n]));
    nFrom = markNow();
    viewer()->addDynamicObject(QStringLiteral("flood3"), QStringLiteral("2,2,0"));
    EXPECT_EQ(sentTypes(nFrom), QStringList{QStringLiteral("PositionUpdateMessage")});
    viewer()->removeAllObjects();
}

// The object library on its own keeps at most 1,024 dynamic objects: the oldest goes first.
TEST_F(ObjectsTest, LibraryKeepsItsDynamicObjectsBounded)
{
    SDynObj oState;
    oState.X = 1;
    oState.Y = 1;
    const std::uint64_t nFirst = m_pObjects->updateDynObj("lib0", oState);
    for (int n = 1; n < 1024; ++n)
        ASSERT_NE(m_pObjects->updateDynObj("lib" + std::to_string(n), oState), 0u);
    const qint64 nFrom = markNow();
    ASSERT_NE(m_pObjects->updateDynObj("lib1024", oState), 0u);
    harness().sync();
    const QList<LoggedBody> destroyed = sent("DestroyObjectMessage", nFrom);
    ASSERT_EQ(destroyed.size(), 1);
    EXPECT_EQ(idOf(destroyed.first()), nFirst);
    m_pObjects->removeAll();
}

TEST_F(ObjectsTest, SavedPositionsAreAppendedAndShown)
{
    QFile::remove(dataFile("savedpos.txt"));
    // A file from an earlier run keeps its lines.
    QFile earlier(dataFile("savedpos.txt"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("20240102-030405-UTC Lat/Lon: 1/2\n");
    earlier.close();

    CShipModel* pShip = viewer()->getShipModel();
    ASSERT_NE(pShip, nullptr);
    // 12.5 N, 45.25 E in centimetres of the test projection.
    pShip->updateVessel(452500000, 125000000, 0, QStringLiteral("#INIT#"));
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);
    const qint64 nFrom = markNow();
    viewer()->savePosition();
    pShip->updateVessel(100000000, -50000000, 0, QStringLiteral("#INIT#"));
    viewer()->savePosition();

    QFile file(dataFile("savedpos.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // three lines and the empty rest
    const QRegularExpression format(QStringLiteral("^\\d{8}-\\d{6}-UTC Lat/Lon: "));
    EXPECT_TRUE(format.match(QString::fromLatin1(lines.at(1))).hasMatch());
    EXPECT_TRUE(lines.at(1).endsWith(" 12.5/45.25")) << lines.at(1).constData();
    EXPECT_TRUE(lines.at(2).endsWith(" -5/10")) << lines.at(2).constData();
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status.first().first().toString(), QStringLiteral("Current position saved to file"));
    // Each save marks the place with a point.
    EXPECT_EQ(sent("CreateCubeMessage", nFrom).size(), 2);

    // Shown: one point per line; a second showing replaces the first.
    viewer()->removeAllObjects();
    qint64 nShown = markNow();
    viewer()->loadSavedPos();
    QList<LoggedBody> points = sent("CreateCubeMessage", nShown);
    ASSERT_EQ(points.size(), 3);
    const auto first = points.first().position(1, 4);
    EXPECT_NEAR(first[0], 2.0 * kMetresPerDegree, 1.0);
    EXPECT_NEAR(first[1], 1.0 * kMetresPerDegree, 1.0);
    nShown = markNow();
    viewer()->loadSavedPos();
    EXPECT_EQ(sent("DestroyObjectMessage", nShown).size(), 3);
    EXPECT_EQ(sent("CreateCubeMessage", nShown).size(), 3);
    viewer()->removeAllObjects();
}

TEST_F(ObjectsTest, DatabaseReadingShowsTheWaitCursor)
{
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);
    const qint64 nFrom = markNow();
    viewer()->readObjectsFromDatabase();
    QStringList cursors;
    for (const LoggedBody& cursor : sent("SetCursorMessage", nFrom)) {
        EXPECT_EQ(cursor.number(1, 0), s_nViewerId);
        cursors << cursor.text(cursor.ownLevel(), 0);
    }
    EXPECT_EQ(cursors, (QStringList{QStringLiteral("WaitCursor"), QStringLiteral("Default")}));
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status.first().first().toString(), QStringLiteral("Reading objects from dataabase"));
    viewer()->removeAllObjects();
}

TEST_F(ObjectsTest, SelectionRecoloursAndLinksOpenOnlySafeAddresses)
{
    const std::uint64_t nA = m_pObjects->newDremmPoint({1.0f, 1.0f}, true, 0, false, QString(), 0.0);
    const std::uint64_t nB = m_pObjects->newDremmPoint({2.0f, 2.0f}, true, 0, false, QString(), 0.0);
    qint64 nFrom = markNow();
    EXPECT_TRUE(m_pObjects->selectedObject(nA, 100, 100));
    EXPECT_TRUE(m_pObjects->selectedObject(nB, 200, 200)); // A back to its colour, B highlighted
    EXPECT_FALSE(m_pObjects->selectedObject(999999, 0, 0));
    QList<quint64> recoloured;
    for (const LoggedBody& body : sent("UpdateMaterialMessage", nFrom))
        recoloured << idOf(body);
    EXPECT_EQ(recoloured, (QList<quint64>{nA, nA, nB}));

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    const QString strMedia = dataFile("photo.jpg");
    QFile media(strMedia);
    ASSERT_TRUE(media.open(QIODevice::WriteOnly));
    media.close();
    struct Case
    {
        QString strLink;
        bool bOpened;
    };
    const Case cases[] = {
        {QStringLiteral("https://example.org/a"), true},
        {strMedia, true},
        {QStringLiteral("javascript:alert(1)"), false},
        {dataFile("missing.jpg"), false},
        {QString(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strLink.toStdString());
        answerDialog([&c](QDialog* pDialog) { pDialog->findChild<QLineEdit*>(QStringLiteral("link"))->setText(c.strLink); });
        ASSERT_TRUE(m_pObjects->editObject(nA));
        const int nBefore = recorder.urls.size();
        EXPECT_EQ(m_pObjects->viewObject(nA), c.bOpened);
        EXPECT_EQ(recorder.urls.size(), nBefore + (c.bOpened ? 1 : 0));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    m_pObjects->removeAll();
}

// Drawn in the view in user-object mode: the measured points become a library object, longitude
// first, and the server's drawing line goes.
TEST_F(ObjectsTest, DrawnObjectsBecomeLibraryObjects)
{
    const QList<QPointF> drawn{{1.0 * kMetresPerDegree, 2.0 * kMetresPerDegree},
                               {2.0 * kMetresPerDegree, 2.0 * kMetresPerDegree},
                               {2.0 * kMetresPerDegree, 3.0 * kMetresPerDegree}};
    viewer()->toggleUserMode(true, 0);
    viewer()->newUserLine(false);
    qint64 nFrom = markNow();
    measurement(77, drawn);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateLineMessage"), nFrom).has_value());
    QList<LoggedBody> lines = sent("CreateLineMessage", nFrom);
    ASSERT_EQ(lines.size(), 1);
    const QList<QPointF> vertices = lineVertices(lines.first());
    ASSERT_EQ(vertices.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(near(vertices.at(i), drawn.at(i))) << i;
    QList<quint64> destroyed;
    for (const LoggedBody& body : sent("DestroyObjectMessage", nFrom))
        destroyed << idOf(body);
    EXPECT_TRUE(destroyed.contains(77));
    // The drawn object is stored: it comes back from the database.
    viewer()->removeAllObjects();
    nFrom = markNow();
    viewer()->readObjectsFromDatabase();
    EXPECT_EQ(sent("CreateLineMessage", nFrom).size(), 1);

    // A point takes the measured position; without a kind nothing is made.
    viewer()->newUserPoint(false);
    nFrom = markNow();
    measurement(78, {drawn.first()});
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateCubeMessage"), nFrom).has_value());
    const auto position = sent("CreateCubeMessage", nFrom).first().position(1, 4);
    EXPECT_NEAR(position[0], drawn.first().x(), 1.0);
    EXPECT_NEAR(position[1], drawn.first().y(), 1.0);
    nFrom = markNow();
    measurement(79, drawn);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("DestroyObjectMessage"), nFrom).has_value());
    EXPECT_TRUE(sent("CreateLineMessage", nFrom).isEmpty());
    EXPECT_TRUE(sent("CreateCubeMessage", nFrom).isEmpty());
    viewer()->toggleUserMode(false, 0);
    viewer()->removeAllObjects();
    // Database rows of this test go, so other tests start from an empty database.
    const qint64 nClean = markNow();
    m_pObjects->addFromDatabase();
    for (const char* pType : {"CreateLineMessage", "CreateCubeMessage"}) {
        for (const LoggedBody& body : sent(pType, nClean))
            m_pObjects->deleteObj(idOf(body), true, true);
    }
}

TEST(ObjectsCorridor, CornersAroundTheLine)
{
    struct Case
    {
        std::vector<int> line;
        float fWidth;
        bool bOk;
        std::vector<QPoint> corners;
    };
    const Case cases[] = {
        {{0, 0, 1000, 0}, 2.0f, true, {{0, 100}, {1000, 100}, {1000, -100}, {0, -100}}},
        {{0, 0, 0, 500}, 4.0f, true, {{-200, 0}, {-200, 500}, {200, 500}, {200, 0}}},
        {{5, 5, 5, 5}, 2.0f, false, {}},
        {{0, 0, 1000, 0}, 0.0f, false, {}},
        {{0, 0, 1000, 0}, std::nanf(""), false, {}},
        {{0, 0, 1000}, 2.0f, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<QPoint> corners;
        EXPECT_EQ(COrlexObjs::setCorridorWidth(c.line, c.fWidth, corners), c.bOk);
        if (c.bOk) {
            EXPECT_EQ(corners, c.corners);
        }
    }
}

// Every call is one JSON line; texts are escaped by the writer.
TEST_F(ObjectsTest, EveryCallIsLoggedAsJson)
{
    const QString strLog = qEnvironmentVariable("CORV_OBJECTS_LOG");
    ASSERT_FALSE(strLog.isEmpty());
    QFile::remove(strLog);
    const std::uint64_t nId = m_pObjects->newDremmLine({1.0f, 1.0f, 2.0f, 2.0f}, 0, false, QStringLiteral("a \"b\"\n"), 3);
    m_pObjects->setColor(9, QColor(Qt::red));
    m_pObjects->deleteObj(nId, true, false);
    QFile file(strLog);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonObject entry = QJsonDocument::fromJson(line, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        calls << entry.value(QStringLiteral("call")).toString();
        if (calls.last() == QLatin1String("newDremmLine")) {
            EXPECT_EQ(entry.value(QStringLiteral("name")).toString(), QStringLiteral("a \"b\"\n"));
            EXPECT_EQ(entry.value(QStringLiteral("id")).toString(), QString::number(nId));
        }
    }
    EXPECT_EQ(calls, (QStringList{QStringLiteral("newDremmLine"), QStringLiteral("setColor"), QStringLiteral("deleteObj")}));
}

#include "ObjectsTest.moc"
