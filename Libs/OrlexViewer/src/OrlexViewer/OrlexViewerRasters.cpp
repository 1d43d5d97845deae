// GeoTIFF overlays and the projection they bring: the key checks, the projection file written
// for them, loading and unloading, and the new projection handed to the graticule.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/GeoTiffHeader.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexObjs.h"
#include "OrlexViewer/Prompter.h"
#include "OrlexViewer/TiffDlg.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "MapView/QaSurveyManager.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "PlanningLib.h"
#include "Projection/Projection.h"
#include "platform/paths.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QSpinBox>

#include <xtiffio.h>

#include <memory>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::position;
using orlex_viewer_detail::viewerLogger;

namespace {

constexpr double kTiffTop = -12000.0;
constexpr double kTiffBottom = -12100.0;

// NAD83 codes 26903 to 26923 are UTM zones 3N to 23N; the rest of the range is state planes.
constexpr std::uint32_t kLastNad83UtmZone = 23;

QString tempProjectionPath()
{
    return programDataPath() + QStringLiteral("qel_proj_temp.txt");
}

QString mainProjectionPath()
{
    return programDataPath() + QString::fromLatin1(projectionFileName);
}

QString utmName(std::uint32_t nZone, std::int32_t nHemisphere, const char* szDatum)
{
    return QStringLiteral("UTM%1%2_%3").arg(nZone).arg(nHemisphere == 1 ? "S" : "N").arg(QLatin1String(szDatum));
}

void logUtm(const char* szKind, std::uint32_t nZone, std::int32_t nHemisphere)
{
    qDebug().noquote() << QStringLiteral("\n\nTiff is %1: Zone=%2%3\n\n")
                              .arg(QLatin1String(szKind))
                              .arg(nZone)
                              .arg(nHemisphere == 1 ? "S" : "N");
}

} // namespace

QString COrlexViewer::readGeoTiffProjection(const QString& strPath)
{
    const QByteArray baPath = platform::toNativePath(strPath).toUtf8();
    std::unique_ptr<TIFF, void (*)(TIFF*)> pTiff(XTIFFOpen(baPath.constData(), "r"), XTIFFClose);
    if (!pTiff) {
        qDebug() << "Unable to Open TIFF";
        return QString();
    }
    const geotiff_header header(pTiff.get());
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("GeoTIFF keys of ") << baPath.constData() << LOG4CPLUS_TEXT(":\n")
                                        << header.keyListing());
    std::uint32_t nZone = 0;
    std::int32_t nHemisphere = -1;
    if (header.getWgs84UtmZone(nZone, nHemisphere) || header.getUtmProjectionZone(nZone, nHemisphere)) {
        logUtm("WGS_84_UTM", nZone, nHemisphere);
        return utmName(nZone, nHemisphere, "WGS84");
    }
    if (header.getNad83UtmZone(nZone, nHemisphere)) {
        // A state plane is no UTM zone: refused rather than read as a zone beyond 60.
        if (nZone > kLastNad83UtmZone) {
            qDebug().noquote() << QStringLiteral("\n\nTiff is a NAD83 state plane (code %1). Not setting projection!")
                                      .arg(26900 + nZone);
            return QString();
        }
        logUtm("NAD_83_UTM", nZone, nHemisphere);
        return utmName(nZone, nHemisphere, "NAD83");
    }
    if (header.isGeographicMetersDegrees()) {
        qDebug().noquote() << "\n\nTiff has geographic coords, linear units are in meters and angular units are in degrees";
        return QString();
    }
    if (header.isMercator()) {
        qDebug().noquote() << "\n\nTiff is MERCATOR";
        return QStringLiteral("MERCATOR_WGS84");
    }
    // Web Mercator is spherical; the ellipsoidal Mercator of the system would misplace it.
    if (header.isWebMercator()) {
        qDebug().noquote() << "\n\nTiff is web Mercator (EPSG:3857). Not setting projection!";
        return QString();
    }
    qDebug().noquote() << "\n\nTiff has non standard meta-information. Not setting projection!";
    return QString();
}

bool COrlexViewer::writeProjectionFile(const QString& strProjection, QString& strError)
{
    QFile oFile(platform::toNativePath(tempProjectionPath()));
    if (!oFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        strError = QStringLiteral("Unable to open projection file");
        return false;
    }
    const QString strKind = strProjection.split(QLatin1Char('_')).first();
    QByteArray baTarget;
    if (strKind.contains(QLatin1String("MERCATOR"))) {
        baTarget = "+proj=merc +datum=WGS84 +units=cm";
    } else if (strKind.contains(QLatin1String("UTM"))) {
        QString strZone = strKind;
        strZone.remove(QLatin1String("UTM"));
        const QChar cHemisphere = strZone.isEmpty() ? QChar() : strZone.back();
        const char* szHemisphere = nullptr;
        if (cHemisphere == QLatin1Char('N') || cHemisphere == QLatin1Char('n'))
            szHemisphere = "+north";
        else if (cHemisphere == QLatin1Char('S') || cHemisphere == QLatin1Char('s'))
            szHemisphere = "+south";
        strZone.remove(cHemisphere);
        bool bNumber = false;
        const int nZone = strZone.toInt(&bNumber);
        // A zone that is no UTM zone would give a file PROJ refuses.
        if (!szHemisphere || !bNumber || nZone < 1 || nZone > 60) {
            strError = QStringLiteral("Argument projection parameters not accepted");
            return false;
        }
        baTarget = QStringLiteral("+proj=utm +zone=%1 %2 +approx +units=cm +ellps=WGS84")
                       .arg(strZone, QLatin1String(szHemisphere))
                       .toLocal8Bit();
    } else {
        strError = QStringLiteral("Argument projection not recognized");
        return false;
    }
    const QByteArray baText = "<QEL_Projection>\r\nEPSG:4326\r\n" + baTarget + "\r\n";
    if (oFile.write(baText) != baText.size() || !oFile.flush()) {
        strError = QStringLiteral("Unable to open projection file");
        return false;
    }
    return true;
}

void COrlexViewer::addTIFF(const QString& strPath, bool bInteractive)
{
    const QString strProjection = readGeoTiffProjection(strPath);
    bool bSwitchProjection = false;
    bool bCloseSurveys = false;
    if (!strProjection.isEmpty()) {
        QString strError;
        if (!writeProjectionFile(strProjection, strError))
            LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::addTIFF(): WARNING: Error when creating projection-file: ")
                                               << strError.toStdString());
        if (CQaSurveyManager::instance()->differsFromLoadedProjection(tempProjectionPath())) {
            if (!bInteractive)
                return;
            const QMessageBox::StandardButton answer = CPrompter::current().question(
                nullptr, QStringLiteral("GeoTiff projection"),
                QStringLiteral("Projection in GeoTiff differs from current projection. Continue loading GeoTiff? "
                               "WARNING! All loaded surveys will be unloaded."),
                QMessageBox::Yes | QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return;
            bCloseSurveys = true;
        }
        bSwitchProjection = true;
    } else {
        CPrompter::current().warning(
            nullptr, QStringLiteral("Warning"),
            QStringLiteral("Error when extracting projection - metadata. Could not create projection file. Using standard projection"),
            QMessageBox::Ok);
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::addTIFF(): WARNING: Error when extracting projection-metadata. "
                                                      "Could not create projection file. Using standard."));
    }

    // The position comes first: Cancel leaves the projection and the surveys as they were.
    double dHeight = kTiffBottom;
    if (bInteractive) {
        CTiffDlg oDialog;
        if (!m_pDataManager->getTiffOverlays().isEmpty())
            oDialog.radioTop->setChecked(true);
        if (CPrompter::current().execDialog(oDialog) != QDialog::Accepted)
            return;
        if (oDialog.radioTop->isChecked())
            dHeight = kTiffTop;
        else if (oDialog.radioCust->isChecked())
            dHeight = kTiffTop - oDialog.spinBox->value();
    }
    m_bTiffAskMove = bInteractive;

    if (bSwitchProjection) {
        if (bCloseSurveys)
            CQaSurveyManager::instance()->closeAllSurveys();
        const QString strTemp = platform::toNativePath(tempProjectionPath());
        const QString strMain = platform::toNativePath(mainProjectionPath());
        if (QFile::exists(strMain) && QFile::exists(strTemp))
            QFile::remove(strMain);
        QFile::copy(strTemp, strMain);
        QFile::remove(strTemp);
        CProjection* pProjection = CProjection::instance();
        pProjection->projFile = mainProjectionPath().toStdString();
        pProjection->readProjectionFile(pProjection->projFile);
        pProjection->createTransformation();
        updateProj(mainProjectionPath());
    }

    sendRaster(strPath, dHeight);
}

void COrlexViewer::sendRaster(const QString& strPath, double dHeight)
{
    const float fImageryFactor =
        GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("imageryFactor"), 10).toFloat();
    const int nTileSize = GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("tileSize"), 127).toInt();

    O::CreateRasterSource source;
    source.Id = objectIdAllocator()->allocate();
    // Quotes and backslashes in a path would end the JSON text early: they are escaped.
    QString strJsonPath = strPath;
    strJsonPath.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    source.SourceDefinition.set(QStringLiteral("{\"Filename\":\"%1\",\"RasterType\":\"RGBABitmapRasterSource\"}")
                                    .arg(strJsonPath)
                                    .toUtf8()
                                    .toStdString());
    send(source);

    O::CreateTerrainMessage terrain;
    terrain.Id = objectIdAllocator()->allocate();
    terrain.Layer.set(std::string("TIFF"));
    terrain.PositionData = position(0, 0, dHeight);
    terrain.TerrainData.TextureSources = {source.Id};
    terrain.TerrainProperties.tileSize = static_cast<std::uint32_t>(nTileSize);
    terrain.TerrainProperties.heightFactor = 1.0f;
    terrain.TerrainProperties.imageryOffset = 1;
    terrain.TerrainProperties.imageryFactor = fImageryFactor;
    terrain.TerrainProperties.mode = 0;
    send(terrain);

    TiffOverlay overlay;
    overlay.terrainId = terrain.Id;
    overlay.rasterSourceId = source.Id;
    overlay.path = strPath;
    overlay.height = dHeight;
    m_pDataManager->addTiff(overlay);
    m_strTiffPath = strPath.toUtf8().toStdString();
}

void COrlexViewer::removeTIFF(const QString& strPath)
{
    m_pDataManager->unloadTiff(strPath);
}

void COrlexViewer::updateProj(const QString& strPath)
{
    qDebug().noquote() << QStringLiteral("updateProj ") + strPath;
    if (!QFileInfo::exists(platform::toNativePath(strPath))) {
        qDebug().noquote() << QStringLiteral("Cannot set proj: ") + strPath;
        return;
    }
    const std::shared_ptr<CPlanningLib> pPlanningLib = m_pPlanning ? m_pPlanning->getPlanningLib() : nullptr;
    if (pPlanningLib)
        pPlanningLib->Planning_request(QStringLiteral("$NEW_PROJECTION_PATH=%1\n").arg(strPath));
    m_graticuleProj = strPath.toStdString();
    qDebug().noquote() << QStringLiteral("Set ProjectionPath to ") + strPath;
    if (m_nGraticuleId == 0)
        return;
    sendGraticuleSettings();
    if (m_nMode == 0 && m_pPlanning && qEnvironmentVariableIsEmpty("CORVPROJ")) {
        QFile file(platform::toNativePath(strPath));
        if (file.open(QIODevice::ReadOnly))
            m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_PROJECTION,%1\n\r").arg(QString::fromLatin1(file.readAll())));
    }
    if (m_pObjects)
        m_pObjects->setProjection(CProjection::instance());
    if (pPlanningLib)
        pPlanningLib->m_poProjection = CProjection::instance();
}
