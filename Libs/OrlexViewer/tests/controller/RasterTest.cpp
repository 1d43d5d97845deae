// GeoTIFF overlays against the stand-in server: the projection names read from generated files,
// the projection file written for them, loading (projection switch, question, position dialog,
// messages) and unloading, and the graticule's new projection. The tests share the process's
// projection and run in the order written.
#include "ControllerHarness.h"

#include "../geotiff/GeoTiffFixture.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"
#include "OrlexViewer/TiffDlg.h"

#include "Common/CorvPaths.h"
#include "MapView/QaSurveyManager.h"
#include "Projection/Projection.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>

#include "test_scratch.h"

using viewertest::bodyOf;
using viewertest::LoggedBody;
using namespace geotifftest;

namespace {

// Answers every box and dialog without a modal loop and records what was asked.
class RecordingPrompter : public CPrompter
{
public:
    QMessageBox::StandardButton question(QWidget*, const QString& strTitle, const QString&,
                                         QMessageBox::StandardButtons) override
    {
        asked << strTitle;
        return strTitle == QLatin1String("GeoTiff projection") ? projectionAnswer : QMessageBox::No;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString& strTitle, const QString& strText,
                                        QMessageBox::StandardButtons) override
    {
        asked << strTitle + QStringLiteral(": ") + strText;
        return QMessageBox::Ok;
    }
    int execDialog(QDialog& oDialog) override
    {
        auto* pTiff = qobject_cast<CTiffDlg*>(&oDialog);
        if (!pTiff)
            return QDialog::Rejected;
        asked << QStringLiteral("position, top preselected: %1").arg(pTiff->radioTop->isChecked());
        if (nCustomOffset >= 0) {
            pTiff->radioCust->setChecked(true);
            pTiff->spinBox->setValue(nCustomOffset);
        }
        return bAcceptDialog ? QDialog::Accepted : QDialog::Rejected;
    }

    QStringList asked;
    QMessageBox::StandardButton projectionAnswer = QMessageBox::No;
    bool bAcceptDialog = true;
    int nCustomOffset = -1;
};

QByteArray readAll(const QString& strPath)
{
    QFile oFile(platform::toNativePath(strPath));
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("<missing>");
}

QString mainProjection()
{
    return programDataPath() + QStringLiteral("qel_projv6.txt");
}

QString tempProjection()
{
    return programDataPath() + QStringLiteral("qel_proj_temp.txt");
}

class RasterTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        LiveViewTest::SetUpTestSuite();
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
        // The graticule follows 3 s after the start.
        ASSERT_TRUE(s_pHarness->waitReceived(QStringLiteral("CreateGraticuleMessage"), 0, 8000));
    }

    void SetUp() override { m_pPrevious = CPrompter::install(&m_prompter); }
    void TearDown() override { CPrompter::install(m_pPrevious); }

    static QString tiff(const char* szName, const std::vector<Key>& keys, const std::vector<std::uint16_t>& raw = {})
    {
        const QString strPath = QDir(corvtest::scratchDir()).filePath(QStringLiteral("%1.tif").arg(QLatin1String(szName)));
        EXPECT_TRUE(writeGeoTiff(strPath.toStdString(), keys, raw));
        return strPath;
    }

    QList<LoggedBody> bodies(const QString& strType, qint64 nFrom)
    {
        harness().sync();
        QList<LoggedBody> list;
        const QByteArray baType = strType.toLatin1();
        for (const QString& strFull : {orlex_standin::coreType(baType.constData()), orlex_standin::quennetType(baType.constData())})
            for (const QJsonValue& entry : harness().control().entries(QStringLiteral("in"), strFull, nFrom))
                list << bodyOf(entry.toObject());
        return list;
    }

    qint64 from()
    {
        harness().sync();
        return harness().mark();
    }

    QStringList types(qint64 nFrom)
    {
        harness().sync();
        return harness().receivedTypes(nFrom, {QStringLiteral("SetCameraDataMessage"), QStringLiteral("ResizeViewerMessage"),
                                               QStringLiteral("UpdatePointBufferMessage"),
                                               QStringLiteral("CreatePointBufferMessage")});
    }

    COrlexDataManager* surveys() { return viewer()->getDataManager(); }

    RecordingPrompter m_prompter;
    CPrompter* m_pPrevious = nullptr;
};

// The position dialog names its choice, and its offset field is only open for a custom location.
TEST(TiffPositionDialog, OffsetOnlyForACustomLocation)
{
    CTiffDlg oDialog;
    const auto* pGroup = oDialog.findChild<QGroupBox*>(QStringLiteral("groupPosition"));
    ASSERT_TRUE(pGroup);
    EXPECT_NE(pGroup->title(), QStringLiteral("GroupBox"));
    EXPECT_TRUE(oDialog.radioBottom->isChecked());
    EXPECT_FALSE(oDialog.spinBox->isEnabled());
    for (QRadioButton* pChoice : {oDialog.radioCust, oDialog.radioTop, oDialog.radioCust, oDialog.radioBottom}) {
        pChoice->setChecked(true);
        EXPECT_EQ(oDialog.spinBox->isEnabled(), pChoice == oDialog.radioCust) << qPrintable(pChoice->text());
    }
}

TEST_F(RasterTest, ProjectionNamesFromTheKeys)
{
    struct Case
    {
        const char* szName;
        std::vector<Key> keys;
        std::vector<std::uint16_t> raw;
        const char* szExpected;
    };
    const std::vector<Case> cases = {
        {"utm33n", projected(kProjectedCs, 32633), {}, "UTM33N_WGS84"},
        {"utm60s", projected(kProjectedCs, 32760), {}, "UTM60S_WGS84"},
        {"proj16132", projected(kProjection, 16132), {}, "UTM32S_WGS84"},
        {"nad83utm18", projected(kProjectedCs, 26918), {}, "UTM18N_NAD83"},
        // State planes and web Mercator are refused rather than read as a wrong projection.
        {"stateplane", projected(kProjectedCs, 26996), {}, ""},
        {"webmercator", projected(kProjectedCs, 3857), {}, ""},
        {"mercator", {{kModelType, 1}, {kCoordTrans, 7}}, {}, "MERCATOR_WGS84"},
        {"geographic", {{kModelType, 2}, {kLinearUnits, 9001}, {kAngularUnits, 9102}}, {}, ""},
        {"nokeys", {}, {}, ""},
        {"broken", {}, brokenDirectory(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        EXPECT_EQ(viewer()->readGeoTiffProjection(tiff(c.szName, c.keys, c.raw)), QLatin1String(c.szExpected));
    }
    EXPECT_EQ(viewer()->readGeoTiffProjection(QDir(corvtest::scratchDir()).filePath(QStringLiteral("none.tif"))), QString());
}

TEST_F(RasterTest, ProjectionFileWrittenForEachName)
{
    struct Case
    {
        const char* szName;
        const char* szThirdLine; // null: refused
        const char* szError;
    };
    const std::vector<Case> cases = {
        {"MERCATOR_WGS84", "+proj=merc +datum=WGS84 +units=cm", ""},
        {"UTM33S_WGS84", "+proj=utm +zone=33 +south +approx +units=cm +ellps=WGS84", ""},
        {"UTM32n_WGS84", "+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84", ""},
        {"UTM18N_NAD83", "+proj=utm +zone=18 +north +approx +units=cm +ellps=WGS84", ""},
        {"UTM32X_WGS84", nullptr, "Argument projection parameters not accepted"},
        {"UTMN_WGS84", nullptr, "Argument projection parameters not accepted"},
        {"UTM96N_NAD83", nullptr, "Argument projection parameters not accepted"},
        {"LCC_WGS84", nullptr, "Argument projection not recognized"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        QString strError;
        const bool bOk = viewer()->writeProjectionFile(QLatin1String(c.szName), strError);
        EXPECT_EQ(bOk, c.szThirdLine != nullptr);
        EXPECT_EQ(strError, QLatin1String(c.szError));
        if (c.szThirdLine)
            EXPECT_EQ(readAll(tempProjection()), QByteArray("<QEL_Projection>\r\nEPSG:4326\r\n") + c.szThirdLine + "\r\n");
        else
            EXPECT_EQ(readAll(tempProjection()), QByteArray());
    }
}

// A UTM image with no survey open switches the projection without asking; the second image goes
// where the position dialog says; unloading the first destroys its objects only.
TEST_F(RasterTest, LoadSwitchesProjectionThenUnload)
{
    CQaSurveyManager::instance()->projectionHash = 0;
    const QString strFirst = tiff("first", projected(kProjectedCs, 32632));
    qint64 nFrom = from();
    viewer()->addTIFF(strFirst, false);
    EXPECT_TRUE(m_prompter.asked.isEmpty());
    EXPECT_EQ(readAll(mainProjection()),
              QByteArray("<QEL_Projection>\r\nEPSG:4326\r\n+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84\r\n"));
    EXPECT_FALSE(QFile::exists(platform::toNativePath(tempProjection())));
    EXPECT_NE(CProjection::instance()->targetCrs().find("+zone=32"), std::string::npos);
    double dNorth = 0, dEast = 0;
    ASSERT_EQ(CProjection::instance()->toProjected(60.0, 9.0, dNorth, dEast), 0);
    EXPECT_NEAR(dEast, 500000.0 * 100, 1.0); // zone 32's central meridian

    // The overlay registry's marker line and label follow.
    EXPECT_EQ(types(nFrom).mid(0, 3), (QStringList{"UpdateGraticuleMessage", "CreateRasterSource", "CreateTerrainMessage"}));
    EXPECT_EQ(bodies(QStringLiteral("UpdateGraticuleMessage"), nFrom).value(0).structAt(2, 0).text(0, 2), mainProjection());
    const LoggedBody source = bodies(QStringLiteral("CreateRasterSource"), nFrom).value(0);
    EXPECT_EQ(source.text(2, 0), QStringLiteral("{\"Filename\":\"%1\",\"RasterType\":\"RGBABitmapRasterSource\"}").arg(strFirst));
    const LoggedBody terrain = bodies(QStringLiteral("CreateTerrainMessage"), nFrom).value(0);
    EXPECT_EQ(terrain.text(1, 7), QStringLiteral("TIFF"));
    EXPECT_EQ(terrain.position(1, 4), (std::array<double, 3>{0, 0, -12100}));
    EXPECT_EQ(terrain.structAt(2, 0).list(0, 1), QJsonArray{source.number(1, 0)});
    EXPECT_FALSE(terrain.structAt(2, 0).has(0, 0));
    const LoggedBody properties = terrain.structAt(2, 1);
    EXPECT_EQ(properties.number(0, 0), 127);
    EXPECT_EQ(properties.number(0, 3), 10);
    EXPECT_EQ(terrain.number(1, 0), source.number(1, 0) + 1);
    ASSERT_EQ(surveys()->getTiffOverlays().size(), 1);
    // The server's report on it is awaited (it draws the label), so that it cannot meet the
    // interactive flag of the next load.
    ASSERT_TRUE(viewertest::waitUntil([&] { return surveys()->getTiffOverlays().first().labelId != 0; }));

    // Second image: "Send to top" preselected, a custom offset of 50.
    m_prompter.nCustomOffset = 50;
    const QString strSecond = tiff("second", projected(kProjectedCs, 32632));
    nFrom = from();
    viewer()->addTIFF(strSecond, true);
    EXPECT_TRUE(m_prompter.asked.contains(QStringLiteral("position, top preselected: 1")));
    EXPECT_EQ(bodies(QStringLiteral("CreateTerrainMessage"), nFrom).value(0).position(1, 4),
              (std::array<double, 3>{0, 0, -12050}));
    ASSERT_EQ(surveys()->getTiffOverlays().size(), 2);
    // The server's raster report leads to the offer to move there (interactive loads only).
    EXPECT_TRUE(viewertest::waitUntil([&] { return m_prompter.asked.contains(QStringLiteral("Move to TIFF")); }));
    EXPECT_EQ(m_prompter.asked.count(QStringLiteral("Move to TIFF")), 1);

    const TiffOverlay first = surveys()->getTiffOverlays().first();
    nFrom = from();
    viewer()->removeTIFF(strFirst);
    QList<double> destroyed;
    for (const LoggedBody& body : bodies(QStringLiteral("DestroyObjectMessage"), nFrom))
        destroyed << body.number(1, 0);
    ASSERT_GE(destroyed.size(), 2);
    EXPECT_EQ(destroyed.mid(0, 2), (QList<double>{static_cast<double>(first.rasterSourceId), static_cast<double>(first.terrainId)}));
    EXPECT_EQ(readAll(programDataPath() + QStringLiteral("lastTiffs.txt")), strSecond.toLocal8Bit() + "\n");
}

// Declining the projection question, cancelling the position dialog or a non-interactive load
// over surveys of another projection leave the projection, the surveys and the view as they were.
TEST_F(RasterTest, DeclineOrCancelChangesNothing)
{
    const QByteArray baBefore = readAll(mainProjection());
    const std::string strCrsBefore = CProjection::instance()->targetCrs();
    const int nOverlays = surveys()->getTiffOverlays().size();
    const QString strSouth = tiff("south", projected(kProjectedCs, 32733));

    struct Case
    {
        const char* szName;
        int nHash;
        bool bInteractive;
        QMessageBox::StandardButton answer;
        bool bAccept;
        QStringList asked;
    };
    const std::vector<Case> cases = {
        {"no to the question", 12345, true, QMessageBox::No, true, {"GeoTiff projection"}},
        {"not interactive", 12345, false, QMessageBox::Yes, true, {}},
        {"cancel, no surveys", 0, true, QMessageBox::Yes, false, {"position, top preselected: 1"}},
        {"yes, then cancel", 12345, true, QMessageBox::Yes, false, {"GeoTiff projection", "position, top preselected: 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        m_prompter.asked.clear();
        CQaSurveyManager::instance()->projectionHash = c.nHash;
        m_prompter.projectionAnswer = c.answer;
        m_prompter.bAcceptDialog = c.bAccept;
        const qint64 nFrom = from();
        viewer()->addTIFF(strSouth, c.bInteractive);
        EXPECT_EQ(m_prompter.asked, c.asked);
        EXPECT_EQ(readAll(mainProjection()), baBefore);
        EXPECT_EQ(CProjection::instance()->targetCrs(), strCrsBefore);
        EXPECT_EQ(CQaSurveyManager::instance()->projectionHash, c.nHash);
        EXPECT_TRUE(types(nFrom).isEmpty());
        EXPECT_EQ(surveys()->getTiffOverlays().size(), nOverlays);
    }
    CQaSurveyManager::instance()->projectionHash = 0;
}

// Surveys loaded in UTM 31 N keep an image of that zone whose projection text is written
// differently; an image of another zone still asks.
TEST_F(RasterTest, ImageInTheSurveysOwnProjectionKeepsThem)
{
    const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("utm31survey"));
    QDir().mkpath(strFolder);
    QFile oFile(strFolder + QStringLiteral("/qel_projv6.txt"));
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=utm +zone=31 +ellps=WGS84 +units=cm\r\n");
    oFile.close();
    CQaSurveyManager* pManager = CQaSurveyManager::instance();
    ASSERT_FALSE(pManager->initProjection(oFile.fileName(), QStringLiteral("QEL_Projection"), strFolder));
    const int nHash = pManager->projectionHash;
    ASSERT_NE(nHash, 0);

    m_prompter.projectionAnswer = QMessageBox::No;
    const int nOverlays = surveys()->getTiffOverlays().size();
    viewer()->addTIFF(tiff("same31", projected(kProjectedCs, 32631)), false);
    EXPECT_TRUE(m_prompter.asked.isEmpty());
    EXPECT_EQ(pManager->projectionHash, nHash); // the surveys stay loaded
    ASSERT_EQ(surveys()->getTiffOverlays().size(), nOverlays + 1);
    ASSERT_TRUE(viewertest::waitUntil([&] { return surveys()->getTiffOverlays().last().labelId != 0; }));

    const qint64 nFrom = from();
    viewer()->addTIFF(tiff("other32", projected(kProjectedCs, 32632)), true);
    EXPECT_EQ(m_prompter.asked, QStringList{"GeoTiff projection"});
    EXPECT_TRUE(bodies(QStringLiteral("CreateRasterSource"), nFrom).isEmpty());
    EXPECT_EQ(surveys()->getTiffOverlays().size(), nOverlays + 1);
    pManager->closeAllSurveys();
}

// An image without a usable projection is loaded with the current one after the warning.
TEST_F(RasterTest, GeographicImageKeepsTheProjection)
{
    const QByteArray baBefore = readAll(mainProjection());
    const QString strGeo = tiff("geo", {{kModelType, 2}, {kLinearUnits, 9001}, {kAngularUnits, 9102}});
    const qint64 nFrom = from();
    viewer()->addTIFF(strGeo, false);
    EXPECT_EQ(m_prompter.asked,
              QStringList{"Warning: Error when extracting projection - metadata. Could not create projection file. Using "
                          "standard projection"});
    EXPECT_EQ(readAll(mainProjection()), baBefore);
    EXPECT_EQ(types(nFrom).mid(0, 2), (QStringList{"CreateRasterSource", "CreateTerrainMessage"}));
}

TEST_F(RasterTest, UpdateProjPointsTheGraticule)
{
    qint64 nFrom = from();
    viewer()->updateProj(QDir(corvtest::scratchDir()).filePath(QStringLiteral("missing_proj.txt")));
    // Only the graticule: the stand-in may still be logging what an earlier load sent.
    EXPECT_TRUE(bodies(QStringLiteral("UpdateGraticuleMessage"), nFrom).isEmpty());

    const QString strOther = QDir(corvtest::scratchDir()).filePath(QStringLiteral("other_proj.txt"));
    QFile oFile(strOther);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write("<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n");
    oFile.close();
    nFrom = from();
    viewer()->updateProj(strOther);
    const QList<LoggedBody> updates = bodies(QStringLiteral("UpdateGraticuleMessage"), nFrom);
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates[0].structAt(2, 0).text(0, 2), strOther);
}

} // namespace
