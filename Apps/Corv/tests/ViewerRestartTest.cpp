// The viewer server dies under a running main window: the map pane says so and offers a new
// server, which is embedded and shown what the lost one showed. A process of its own: the
// controller is one per process.
#include "GeoTiffFixture.h"
#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "orlex_standin/control.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_wait.h"
#include "WindowWithViewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cmath>
#include <memory>

static void initCorvResources()
{
    Q_INIT_RESOURCE(corv);
}

namespace {

using namespace geotifftest;

// Answers every box as the operator would who only wants the view back.
class QuietPrompter : public CPrompter
{
public:
    QMessageBox::StandardButton question(QWidget*, const QString&, const QString&, QMessageBox::StandardButtons) override
    {
        return QMessageBox::No;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString&, const QString&, QMessageBox::StandardButtons) override
    {
        return QMessageBox::Ok;
    }
    int execDialog(QDialog&) override { return QDialog::Rejected; }
};

// The messages of one type the server read, as JSON text.
QString received(orlex_standin::StandinControl& oControl, const QString& strType)
{
    return QString::fromUtf8(QJsonDocument(oControl.entries(QStringLiteral("in"), strType)).toJson(QJsonDocument::Compact));
}

// Waits, with the event loop running, until the server has read a message of that type.
bool readByServer(orlex_standin::StandinControl& oControl, const QString& strType)
{
    return corvtest::waitUntil([&] { return !oControl.entries(QStringLiteral("in"), strType).isEmpty(); }, 10000);
}

void saveScreen(const QString& strName)
{
    for (QWidget* poTop : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(poTop) && poTop->isVisible())
            poTop->close();
    QGuiApplication::primaryScreen()->grabWindow(0).save(corvtest::scratchDir() + QLatin1Char('/') + strName);
}

class ViewerRestartTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        initCorvResources();
        ASSERT_TRUE(corvtest::WindowWithViewer::prepareProcess());

        s_poUnderTest = new corvtest::WindowWithViewer();
        ASSERT_TRUE(s_poUnderTest->start());
        s_poUnderTest->window()->resize(1200, 900);
    }

    static void TearDownTestSuite()
    {
        COrlexViewer::setServerStarter(nullptr);
        delete s_poUnderTest;
        s_poUnderTest = nullptr;
        s_poNewServer.reset();
    }

    void SetUp() override { m_poPrevious = CPrompter::install(&m_oPrompter); }
    void TearDown() override { CPrompter::install(m_poPrevious); }

    static corvtest::WindowWithViewer* s_poUnderTest;
    static std::unique_ptr<orlex_standin::StandinProcess> s_poNewServer;
    QuietPrompter m_oPrompter;
    CPrompter* m_poPrevious = nullptr;
};

corvtest::WindowWithViewer* ViewerRestartTest::s_poUnderTest = nullptr;
std::unique_ptr<orlex_standin::StandinProcess> ViewerRestartTest::s_poNewServer;

TEST_F(ViewerRestartTest, LostServerIsShownInThePaneAndReplacedWithTheSceneItShowed)
{
    ASSERT_TRUE(s_poUnderTest && s_poUnderTest->window());
    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    ASSERT_NE(poViewer, nullptr);
    orlex_standin::StandinControl oFirst;
    ASSERT_TRUE(oFirst.connectTo(s_poUnderTest->server()->controlPath()));
    ASSERT_TRUE(corvtest::waitUntil([&] { return s_poUnderTest->window()->isInitialised(); }, 20000));

    // The scene: an image, a survey, the vessel and the graticule of the start, a camera.
    const QString strTiff = corvtest::scratchDir() + QStringLiteral("/image.tif");
    ASSERT_TRUE(writeGeoTiffImage(strTiff.toStdString(), projected(kProjectedCs, 32632), 8, 8,
                                  [](std::uint32_t, std::uint32_t) { return 0xFF00FF00u; }, {}, 500000.0, 6000080.0, 10.0));
    CQaSurveyManager::instance()->projectionHash = 0;
    poViewer->addTIFF(strTiff, false);
    const QString strSurvey = QStringLiteral("C:/qeldata/Grids/Restart");
    poViewer->getDataManager()->openSurvey(strSurvey, false, false, false, QStringLiteral("zMin"));
    ASSERT_TRUE(readByServer(oFirst, orlex_standin::quennetType("CreateGraticuleMessage")));
    const double dX = 500040.0, dY = 6000040.0;
    poViewer->moveToArea(dX, dY, 700.0);
    // The camera poll brings the server's camera back to the controller.
    ASSERT_TRUE(corvtest::waitUntil([&] {
        double dSeenX = 0, dSeenY = 0;
        poViewer->getCenter(dSeenX, dSeenY);
        return std::abs(dSeenX - dX) < 0.5 && std::abs(dSeenY - dY) < 0.5;
    }, 10000));

    // The server dies: the pane says so and offers a new one.
    s_poUnderTest->server()->process().kill();
    ASSERT_TRUE(s_poUnderTest->server()->waitForExit());
    ASSERT_TRUE(corvtest::waitUntil([&] { return poViewer->isViewerLost(); }, 10000));
    auto* poButton = s_poUnderTest->window()->findChild<QPushButton*>(QStringLiteral("viewerRestartButton"));
    auto* poText = s_poUnderTest->window()->findChild<QLabel*>(QStringLiteral("viewerLostText"));
    ASSERT_TRUE(poButton && poText);
    ASSERT_TRUE(corvtest::waitUntil([&] { return poButton->isVisible(); }, 5000));
    EXPECT_TRUE(poButton->isEnabled());
    EXPECT_TRUE(poText->text().contains(QStringLiteral("stopped"))) << qPrintable(poText->text());
    saveScreen(QStringLiteral("viewer-lost.png"));

    // A server that cannot be started: the pane says so, the offer and the scene stay.
    COrlexViewer::setServerStarter([] { return false; });
    poButton->click();
    EXPECT_TRUE(poViewer->isViewerLost());
    EXPECT_TRUE(poButton->isVisible() && poButton->isEnabled());
    EXPECT_TRUE(poText->text().contains(QStringLiteral("could not be started"))) << qPrintable(poText->text());
    EXPECT_EQ(poViewer->getDataManager()->getSurveys(), QStringList{strSurvey});
    EXPECT_EQ(poViewer->getDataManager()->getTiffOverlays().size(), 1);

    // A new server: embedded, and told what the lost one showed.
    COrlexViewer::setServerStarter([] {
        s_poNewServer = std::make_unique<orlex_standin::StandinProcess>();
        return s_poNewServer->start();
    });
    poButton->click();
    ASSERT_FALSE(poViewer->isViewerLost());
    ASSERT_TRUE(s_poNewServer);
    EXPECT_FALSE(poButton->isVisible());
    orlex_standin::StandinControl oSecond;
    ASSERT_TRUE(oSecond.connectTo(s_poNewServer->controlPath()));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !oSecond.state().value(QStringLiteral("windows")).toArray().isEmpty(); }, 10000));
    const auto* poHost = s_poUnderTest->window()->findChild<Dremm::Orlex::QtClient::OrlexHostWindow*>();
    ASSERT_TRUE(poHost);
    EXPECT_TRUE(poHost->isVisible());

    ASSERT_TRUE(readByServer(oSecond, orlex_standin::coreType("CreateLayersMessage")));
    ASSERT_TRUE(readByServer(oSecond, orlex_standin::quennetType("CreateGridEngineTerrainMessage")));
    EXPECT_TRUE(received(oSecond, orlex_standin::quennetType("CreateGridEngineTerrainMessage")).contains(strSurvey));
    ASSERT_TRUE(readByServer(oSecond, orlex_standin::coreType("CreateRasterSource")));
    EXPECT_TRUE(received(oSecond, orlex_standin::coreType("CreateRasterSource")).contains(QStringLiteral("image.tif")));
    ASSERT_TRUE(readByServer(oSecond, orlex_standin::quennetType("CreateGraticuleMessage")));
    // The vessel's anchor and its symbol, at their fixed ids.
    const QString strCubes = received(oSecond, orlex_standin::coreType("CreateCubeMessage"));
    EXPECT_TRUE(strCubes.contains(QStringLiteral("40001"))) << qPrintable(strCubes);
    // The camera where it was.
    auto cameraBack = [&] {
        for (const QJsonValue& vViewer : oSecond.state().value(QStringLiteral("viewers")).toArray()) {
            const QJsonArray aPosition = vViewer.toObject().value(QStringLiteral("camera")).toObject().value(QStringLiteral("position")).toArray();
            if (std::abs(aPosition.at(0).toDouble() - dX) < 0.5 && std::abs(aPosition.at(1).toDouble() - dY) < 0.5)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(corvtest::waitUntil(cameraBack, 10000));
    // The objects of the lost server are not created twice on the new one.
    EXPECT_TRUE(oSecond.entries(QStringLiteral("scene")).isEmpty())
        << qPrintable(QJsonDocument(oSecond.entries(QStringLiteral("scene"))).toJson());
    // The raster's report brings its label again, without asking to move there.
    EXPECT_TRUE(corvtest::waitUntil([&] { return poViewer->getDataManager()->getTiffOverlays().value(0).labelId != 0; }, 10000));
    // The new server draws the image where the camera looks: its green in the middle of the pane.
    auto greenInTheMiddle = [&] {
        const QImage oShot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        // Beside the camera mark drawn at the centre.
        const QColor oSeen = oShot.pixelColor(poHost->mapToGlobal(poHost->rect().center() + QPoint(-15, 15)));
        return oSeen.green() > 150 && oSeen.red() < 100 && oSeen.blue() < 100;
    };
    const bool bDrawn = corvtest::waitUntil(greenInTheMiddle, 10000);
    saveScreen(QStringLiteral("viewer-restarted.png"));
    EXPECT_TRUE(bDrawn) << "see viewer-restarted.png";
}

} // namespace
