// A GeoTIFF loaded in the main window shows in the embedded view: the screen is grabbed and the
// image's quadrants are looked for where the camera puts them. A process of its own: the
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
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>
#include <QScreen>

#include <cmath>
#include <memory>

// Last: Xlib's macros would clash with the headers above.
#include "ProgramOnScreen.h"

static void initCorvResources()
{
    Q_INIT_RESOURCE(corv);
}

namespace {

using namespace geotifftest;

// Records every question and answers No; warnings and dialogs are answered as cancelled.
class RecordingPrompter : public CPrompter
{
public:
    QStringList asked;

    QMessageBox::StandardButton question(QWidget*, const QString& strTitle, const QString&, QMessageBox::StandardButtons) override
    {
        asked << strTitle;
        return QMessageBox::No;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString& strTitle, const QString&, QMessageBox::StandardButtons) override
    {
        asked << strTitle;
        return QMessageBox::Ok;
    }
    int execDialog(QDialog& oDialog) override
    {
        asked << oDialog.windowTitle();
        return QDialog::Rejected;
    }
};

// The quadrants of the image, top left, top right, bottom left, bottom right (RGBA, R lowest).
constexpr std::uint32_t kQuadrants[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFF00FFFFu};
constexpr std::uint32_t kSide = 64;  // pixels
constexpr double kPixel = 10.0;      // metres
constexpr double kWest = 500000.0, kNorth = 6000640.0;

QColor colourOf(std::uint32_t nRgba)
{
    return QColor(static_cast<int>(nRgba & 0xFF), static_cast<int>((nRgba >> 8) & 0xFF), static_cast<int>((nRgba >> 16) & 0xFF));
}

bool near(const QColor& oSeen, const QColor& oWanted)
{
    return std::abs(oSeen.red() - oWanted.red()) <= 8 && std::abs(oSeen.green() - oWanted.green()) <= 8
           && std::abs(oSeen.blue() - oWanted.blue()) <= 8;
}

// The colour every pixel of a 7 x 7 patch around oAt has, or an invalid colour when they differ.
QColor patchColour(const QImage& oShot, const QPoint& oAt)
{
    const QColor oFirst = oShot.pixelColor(oAt);
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx)
            if (!near(oShot.pixelColor(oAt + QPoint(dx, dy)), oFirst))
                return QColor();
    return oFirst;
}

class RasterScreenshotTest : public ::testing::Test
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
        delete s_poUnderTest;
        s_poUnderTest = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_poUnderTest && s_poUnderTest->window());
        m_poPrevious = CPrompter::install(&m_oPrompter);
    }
    void TearDown() override { CPrompter::install(m_poPrevious); }

    static corvtest::WindowWithViewer* s_poUnderTest;
    RecordingPrompter m_oPrompter;
    CPrompter* m_poPrevious = nullptr;
};

corvtest::WindowWithViewer* RasterScreenshotTest::s_poUnderTest = nullptr;

// A UTM 32N image, 640 m square, framed by a camera twice as high as the image: its four
// quadrants show in their colours, north up and west left, and the view around it stays clear.
TEST_F(RasterScreenshotTest, LoadedRasterShowsInTheEmbeddedView)
{
    const QString strTiff = corvtest::scratchDir() + QStringLiteral("/quadrants.tif");
    ASSERT_TRUE(writeGeoTiffImage(
        strTiff.toStdString(), projected(kProjectedCs, 32632), kSide, kSide,
        [](std::uint32_t nX, std::uint32_t nY) { return kQuadrants[(nY < kSide / 2 ? 0 : 2) + (nX < kSide / 2 ? 0 : 1)]; },
        {}, kWest, kNorth, kPixel));

    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    ASSERT_NE(poViewer, nullptr);
    orlex_standin::StandinControl oControl;
    ASSERT_TRUE(oControl.connectTo(s_poUnderTest->server()->controlPath()));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !oControl.state().value(QStringLiteral("windows")).toArray().isEmpty(); }, 20000));
    // The operator loads an image once the window is set up: layout restored, camera placed.
    ASSERT_TRUE(corvtest::waitUntil([&] { return s_poUnderTest->window()->isInitialised(); }, 20000));

    CQaSurveyManager::instance()->projectionHash = 0;
    poViewer->addTIFF(strTiff, false);
    EXPECT_TRUE(m_oPrompter.asked.isEmpty()) << qPrintable(m_oPrompter.asked.join(QLatin1Char(',')));
    ASSERT_EQ(poViewer->getDataManager()->getTiffOverlays().size(), 1);
    // The label comes with the server's report on the raster.
    ASSERT_TRUE(corvtest::waitUntil([&] { return poViewer->getDataManager()->getTiffOverlays().first().labelId != 0; }, 10000));

    // The stand-in reports the file's extents.
    QJsonArray aExtents;
    for (const QJsonValue& vObject : oControl.state().value(QStringLiteral("objects")).toArray())
        if (vObject.toObject().value(QStringLiteral("kind")).toString() == QLatin1String("RasterSource"))
            aExtents = vObject.toObject().value(QStringLiteral("extents")).toArray();
    const double dSpan = kSide * kPixel;
    ASSERT_EQ(aExtents, (QJsonArray{kWest, kWest + dSpan, kNorth - dSpan, kNorth}));

    const double dCentreX = kWest + dSpan / 2, dCentreY = kNorth - dSpan / 2;
    poViewer->moveToArea(dCentreX, dCentreY, 2 * dSpan);
    auto cameraThere = [&] {
        for (const QJsonValue& vViewer : oControl.state().value(QStringLiteral("viewers")).toArray()) {
            const QJsonObject oCamera = vViewer.toObject().value(QStringLiteral("camera")).toObject();
            const QJsonArray aPosition = oCamera.value(QStringLiteral("position")).toArray();
            if (std::abs(aPosition.at(0).toDouble() - dCentreX) < 0.01 && std::abs(aPosition.at(1).toDouble() - dCentreY) < 0.01
                && std::abs(oCamera.value(QStringLiteral("viewportHeight")).toDouble() - 2 * dSpan) < 0.01)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(corvtest::waitUntil(cameraThere, 10000));

    const WId nServerWindow = oControl.state().value(QStringLiteral("windows")).toArray().first().toObject().value(QStringLiteral("winId")).toString().toULongLong();
    ASSERT_NE(nServerWindow, 0u);
    // The view: the server window's area on the screen. The image is half the view high, centred.
    QImage oShot;
    QRect oView;
    QPoint oCentre;
    int nQuarter = 0;
    const QColor aWanted[4] = {colourOf(kQuadrants[0]), colourOf(kQuadrants[1]), colourOf(kQuadrants[2]), colourOf(kQuadrants[3])};
    auto grab = [&] {
        // Boxes of the start (a port held by another program) would cover the view.
        for (QWidget* poTop : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(poTop) && poTop->isVisible())
                poTop->close();
        // The start of the window may still move the camera (to the vessel, a scale step).
        if (!cameraThere()) {
            poViewer->moveToArea(dCentreX, dCentreY, 2 * dSpan);
            return false;
        }
        oShot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        // The server's window covers the map pane, whatever the window did since it was made.
        oView = corvtest::screenRect(nServerWindow);
        const auto* poHost = s_poUnderTest->window()->findChild<Dremm::Orlex::QtClient::OrlexHostWindow*>();
        EXPECT_TRUE(poHost && oView == QRect(poHost->mapToGlobal(QPoint(0, 0)), poHost->size()))
            << "server window " << oView.x() << "," << oView.y() << " " << oView.width() << "x" << oView.height();
        oCentre = oView.center();
        nQuarter = oView.height() / 8; // from the centre to a quadrant's centre
        return near(patchColour(oShot, oCentre + QPoint(-nQuarter, -nQuarter)), aWanted[0]);
    };
    // The sketch draws its next frame a moment after the camera moved.
    const bool bShown = corvtest::waitUntil(grab, 10000);
    const QString strShot = corvtest::scratchDir() + QStringLiteral("/raster-view.png");
    oShot.save(strShot);
    ASSERT_TRUE(bShown) << "see " << qPrintable(strShot);
    ASSERT_GT(nQuarter, 20) << "view " << oView.width() << " x " << oView.height();

    struct Probe {
        const char* szWhere;
        QPoint oOffset;
        QColor oWanted; // invalid: anything but the image's colours
    };
    const int q = nQuarter;
    const Probe aProbes[] = {
        {"north-west quadrant", {-q, -q}, aWanted[0]},
        {"north-east quadrant", {q, -q}, aWanted[1]},
        {"south-west quadrant", {-q, q}, aWanted[2]},
        {"south-east quadrant", {q, q}, aWanted[3]},
        // Just inside the corners.
        {"north-west corner", {-2 * q + 6, -2 * q + 6}, aWanted[0]},
        {"south-east corner", {2 * q - 6, 2 * q - 6}, aWanted[3]},
        // Beyond the edges: no image.
        {"north of it", {-q, -3 * q}, QColor()},
        {"south of it", {q, 3 * q}, QColor()},
        {"west of it", {-3 * q, -q}, QColor()},
        {"east of it", {3 * q, q}, QColor()},
    };
    for (const Probe& probe : aProbes) {
        SCOPED_TRACE(probe.szWhere);
        const QPoint oAt = oCentre + probe.oOffset;
        ASSERT_TRUE(oView.contains(oAt));
        const QColor oSeen = patchColour(oShot, oAt);
        if (probe.oWanted.isValid()) {
            EXPECT_TRUE(near(oSeen, probe.oWanted)) << qPrintable(oSeen.name()) << " at " << oAt.x() << "," << oAt.y() << ", see " << qPrintable(strShot);
        } else {
            for (const QColor& oImage : aWanted)
                EXPECT_FALSE(near(oShot.pixelColor(oAt), oImage)) << qPrintable(oSeen.name()) << " at " << oAt.x() << "," << oAt.y();
        }
    }
}

} // namespace
