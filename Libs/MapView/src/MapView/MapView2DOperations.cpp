// What the map view's actions and the calls of the main window, the map windows and the runtime
// link do.
#include "MapView/MapView2D.h"

#include "MapView/QaSurveyManager.h"
#include "MapView/ZoomDlg.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"
#include "Projection/Projection.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>

#include <cmath>
#include <exception>

namespace {

const char* const s_szViewerName = "dremm";
const char* const s_szDefaultDataDir = "C:/qeldata";
constexpr int GridLodSetting = 7;
constexpr int GridOperationSetting = 8;

COrlexViewer* viewer()
{
    return COrlexViewer::instance(QLatin1String(s_szViewerName));
}

// Survey settings kept while the inspection mode is on.
int s_nKeptGridLod = 0;
int s_nKeptGridOperation = 0;

bool s_bWcdInitialised = false;

} // namespace

QString splitSurveyLineSentence(double dLatitude, double dLongitude)
{
    return QStringLiteral("$PQQEL,SURVEY_LINE_OPERATION,SPLIT,POSITION_LATITUDE=%1;POSITION_LONGITUDE=%2\n\r")
        .arg(dLatitude, 0, 'f', 10)
        .arg(dLongitude, 0, 'f', 10);
}

void CMapView2D::moveToVessel(bool bMoveClicked, int nNorthOffset, int nEastOffset)
{
    Q_UNUSED(nNorthOffset)
    Q_UNUSED(nEastOffset)
    if (m_bFollowShip || bMoveClicked) {
        if (COrlexViewer* poViewer = viewer())
            poViewer->moveToVessel(m_bFollowShip, 0);
    }
    if (!bMoveClicked) {
        if (COrlexViewer* poViewer = viewer())
            poViewer->updateViewRotation();
    }
}

void CMapView2D::moveToVessel(bool bMoveClicked, int nNorthOffset)
{
    moveToVessel(bMoveClicked, nNorthOffset, 0);
}

void CMapView2D::moveToVessel(bool bMoveClicked)
{
    moveToVessel(bMoveClicked, 0, 0);
}

void CMapView2D::onActionRotateView(bool)
{
    COrlexViewer* poViewer = viewer();
    auto* poAction = qobject_cast<QAction*>(sender());
    if (!poViewer || !poAction)
        return;
    const int nMode = poAction->data().toInt();
    int nAngle = 0;
    if (nMode == 3) {
        int nEntered = 0;
        if (CPrompter::current().getInt(this, tr("Set rotation angle"), tr("Degrees:"), 0, 0, 359, 1, nEntered))
            nAngle = nEntered;
    }
    poViewer->rotateView(nMode, nAngle);
}

void CMapView2D::zoomToArea()
{
    CZoomDlg oDialog(this);
    // The fields start at the centre of the view, in the format they take.
    if (COrlexViewer* poViewer = viewer()) {
        double dX = 0.0;
        double dY = 0.0;
        poViewer->getCenter(dX, dY);
        double dLatitude = 0.0;
        double dLongitude = 0.0;
        CProjection* poProjection = CProjection::instance();
        if ((dX != 0.0 || dY != 0.0) && poProjection && poProjection->toGeographic(dY * 100.0, dX * 100.0, dLatitude, dLongitude) == 0
            && std::isfinite(dLatitude) && std::isfinite(dLongitude)) {
            oDialog.edtLat->setText(QString::number(dLatitude, 'f', 6));
            oDialog.edtLon->setText(QString::number(dLongitude, 'f', 6));
        }
    }
    if (CPrompter::current().execDialog(oDialog) != QDialog::Accepted)
        return;
    try {
        const double dLatitude = oDialog.edtLat->text().toFloat();
        const double dLongitude = oDialog.edtLon->text().toFloat();
        const int nScale = oDialog.spnScale->value();
        if (std::fabs(dLatitude) > 90.0 || std::fabs(dLongitude) > 180.0) {
            CPrompter::current().warning(
                this, tr("Invalid position"),
                tr("Position must be within 0.0-90.0 deg N/S and 0.0-180.0 deg E/W.\n Use '-' for S and W"),
                QMessageBox::Ok);
            return;
        }
        CProjection* poProjection = CProjection::instance();
        if (!poProjection)
            return;
        double dNorth = 0.0;
        double dEast = 0.0;
        // A failed projection leaves infinite coordinates: the camera stays where it is.
        if (poProjection->toProjected(dLatitude, dLongitude, dNorth, dEast) != 0 || !std::isfinite(dNorth)
            || !std::isfinite(dEast)) {
            qDebug() << "CMapView2D::zoomToArea - position cannot be projected";
            return;
        }
        if (COrlexViewer* poViewer = viewer())
            poViewer->moveToArea(dEast / 100.0, dNorth / 100.0, -nScale);
    } catch (const std::exception&) {
        qDebug() << "Exeption in CMapView2D::zoomToArea()";
    }
}

void CMapView2D::onActionZoomToArea(bool)
{
    if (qobject_cast<QAction*>(sender()))
        zoomToArea();
}

void CMapView2D::onActionZoomToVessel(bool)
{
    if (!qobject_cast<QAction*>(sender()))
        return;
    if (COrlexViewer* poViewer = viewer())
        poViewer->zoomToVessel();
}

void CMapView2D::onActionViewAllToggled(bool)
{
    if (!qobject_cast<QAction*>(sender()))
        return;
    viewAll();
}

void CMapView2D::viewAll()
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->resetView();
}

void CMapView2D::onActionZoomToRegionToggled(bool isChecked)
{
    qDebug() << "CMapView2D::onActionZoomToRegionToggled";
    if (isChecked)
        uncheckOtherModeActions(m_poActionZoomToRegion);
    if (m_poViewer)
        m_poViewer->toggleZoomToRegion(isChecked);
}

void CMapView2D::onActionInspModeToggled(bool isChecked)
{
    CSettingsManager* poSettings = CSettingsManager::instance();
    if (isChecked) {
        QVariant vLod;
        QVariant vOperation;
        poSettings->getValue(Survey, GridLodSetting, vLod, false);
        poSettings->getValue(Survey, GridOperationSetting, vOperation, false);
        s_nKeptGridLod = vLod.toInt();
        s_nKeptGridOperation = vOperation.toInt();
        poSettings->setValue(Survey, GridLodSetting, 1, true);
        poSettings->setValue(Survey, GridOperationSetting, 1, true);
    } else {
        poSettings->setValue(Survey, GridLodSetting, s_nKeptGridLod, true);
        poSettings->setValue(Survey, GridOperationSetting, s_nKeptGridOperation, true);
    }
}

void CMapView2D::addTvgplObject(QString strType)
{
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    poViewer->toggleCalibMode(false);
    poViewer->togglePlanMode(true, strType == QLatin1String("LINE") ? 0 : 1);
}

void CMapView2D::selectTvgplObjects(QString strNames)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->selectTvgplObjects(strNames);
}

void CMapView2D::onActionSelectTvgplPolygonToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(qobject_cast<QAction*>(sender()));
    if (COrlexViewer* poViewer = viewer())
        poViewer->setSelectTvgplPolygon(isChecked);
}

void CMapView2D::onActionPlanningNewLine()
{
    addTvgplObject(QStringLiteral("LINE"));
}

void CMapView2D::onActionPlanningNewPoly()
{
    addTvgplObject(QStringLiteral("POLYGON"));
}

void CMapView2D::onActionCalibModeToggled(bool isChecked)
{
    m_bCrossLine = isChecked;
    for (QAction* poAction : {m_poActionPlanMode, m_poActionMeasureDistance, m_poActionUserMode})
        if (poAction)
            poAction->setEnabled(!isChecked);
    if (isChecked)
        uncheckOtherModeActions(m_poActionCrossLine);
}

void CMapView2D::onActionCrossLine(bool isChecked)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->toggleCalibMode(isChecked);
}

void CMapView2D::onActionSaveProcessPointsRegionToggled(bool bVal)
{
    m_bSaveRegionArmed = bVal;
    if (!bVal)
        return;
    const QString strPath = CPrompter::current().saveFileName(
        this, tr("Choose existing-, or define new download target file"), QLatin1String(s_szDefaultDataDir),
        tr("ASCII files (*.txt)"));
    if (!strPath.isEmpty()) {
        m_strSaveRegionTarget = strPath;
        return;
    }
    m_bSaveRegionArmed = false;
    if (m_poActionSaveProcessPoints) {
        const QSignalBlocker oBlock(m_poActionSaveProcessPoints);
        m_poActionSaveProcessPoints->setChecked(false);
    }
}

void CMapView2D::onActionLoadProcessPointsRegionToggled(bool)
{
    const QDir oTargetDir = QFileInfo(m_strSaveRegionTarget).dir();
    const QString strStart = !m_strSaveRegionTarget.isEmpty() && oTargetDir.exists() ? oTargetDir.path()
                                                                                      : QLatin1String(s_szDefaultDataDir);
    const QString strPath = CPrompter::current().openFileName(this, tr("Select file to load"), strStart, QString());
    if (!strPath.isEmpty() && QFileInfo::exists(strPath))
        emit fileToRegion(strPath);
}

void CMapView2D::onActionGetProcessPointsRegionToggled(bool isChecked)
{
    if (!m_bSaveRegionArmed && isChecked)
        uncheckOtherModeActions(qobject_cast<QAction*>(sender()));
}

void CMapView2D::onActionGetProcessPointsHalfRegionToggled(bool isChecked)
{
    if (!m_bSaveRegionArmed && isChecked)
        uncheckOtherModeActions(qobject_cast<QAction*>(sender()));
}

void CMapView2D::getProcessPoints(QPolygon)
{
    emit msgToFile(QStringLiteral("CMapView2D::getProcessPoints - Init"));
}

void CMapView2D::getProcessPointsForHalfRegion(QPolygon)
{
    emit msgToFile(QStringLiteral("CMapView2D::getProcessPointsForHalfRegion - Init"));
}

void CMapView2D::reloadSelection()
{
    emit msgToFile(QStringLiteral("CMapView2D::reloadSelection - Init"));
    if (m_lstLastRubberband.size() < 2) {
        emit msgToFile(QStringLiteral("CMapView2D::reloadSelection - WARNING : Invalid lastRubberband"));
        return;
    }
    emit msgToFile(QStringLiteral("CMapView2D::getProcessPoints - Init"));
    checkDefaultModeAction();
}

void CMapView2D::rubberBandRequested()
{
    emit hereIsTheRubberband(m_lstLastRubberband);
}

void CMapView2D::splitSurveyLine()
{
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    connect(poViewer, &COrlexViewer::selectedPosition, this, &CMapView2D::selectedPosition, Qt::UniqueConnection);
    poViewer->togglePositionSelect(true);
}

void CMapView2D::selectedPosition(double dX, double dY)
{
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    disconnect(poViewer, &COrlexViewer::selectedPosition, this, &CMapView2D::selectedPosition);
    poViewer->togglePositionSelect(false);
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    CProjection* poProjection = CProjection::instance();
    if (!poManager || !poProjection)
        return;
    double dLatitude = 0.0;
    double dLongitude = 0.0;
    if (poProjection->toGeographic(100.0 * dY, 100.0 * dX, dLatitude, dLongitude) != 0)
        return;
    poManager->sendQaDatagram(splitSurveyLineSentence(dLatitude, dLongitude));
}

void CMapView2D::updatePositionUnderCursor(QPoint oPos)
{
    setStatusText(QStringLiteral("%0 %1").arg(oPos.x() / 100.0, 0, 'f', 2).arg(oPos.y() / 100.0, 0, 'f', 2));
}

void CMapView2D::changeColormapSlot()
{
    if (auto* poAction = qobject_cast<QAction*>(sender()))
        emit changeColormap(poAction->data().toInt());
}

void CMapView2D::onOpenAllFileFromContextMenu()
{
    if (auto* poAction = qobject_cast<QAction*>(sender()))
        qDebug().noquote() << poAction->text().split(QLatin1Char(' ')).value(1);
    emit openAllFile(m_strFileName);
}

void CMapView2D::onOpenTimeSeriesAllFileFromContextMenu()
{
    if (auto* poAction = qobject_cast<QAction*>(sender()))
        qDebug().noquote() << poAction->text().split(QLatin1Char(' ')).value(1);
    emit openAllFileWithTimeSeries(m_strFileName);
}

void CMapView2D::processingFinished()
{
    // There is no web page to tell.
}

void CMapView2D::timeSeriesActive(bool bActive)
{
    m_bTimeSeries = bActive;
}

void CMapView2D::getWCDInformation(QString strFileName, int* pnPingsCount)
{
    const CWcdFileEntry& oEntry = m_mapWcd[strFileName];
    if (pnPingsCount)
        *pnPingsCount = oEntry.lstPings.size();
}

void CMapView2D::getWCDInformation(QString strFileName)
{
    getWCDInformation(strFileName, nullptr);
}

void CMapView2D::showWCDPing(int nSkipPings, int nShowPings, std::vector<float> thresholds, int nZoomToPing,
                             QString strFileName, QList<int>& lstSamplesStatistic)
{
    const CWcdFileEntry& oEntry = m_mapWcd[strFileName];
    // Only a window of pings inside the table is read.
    if (nSkipPings < 0 || nShowPings <= 0 || oEntry.lstPings.size() < qint64(nSkipPings) + nShowPings)
        return;
    COrlexViewer* poViewer = viewer();
    if (!s_bWcdInitialised && poViewer) {
        s_bWcdInitialised = true;
        poViewer->loadExtension(QStringLiteral("Multibeam"));
        poViewer->initWaterColumnDisplay();
    }
    const CWcdPingRecord& oFirst = oEntry.lstPings.at(nSkipPings);
    QList<QByteArray> lstSamples;
    if (poViewer) {
        const float fValue = oFirst.nSecond != 0 ? oFirst.fValue / oFirst.nSecond : 0.0f;
        poViewer->setWaterColumnPing(oFirst.nFirst, oFirst.nSecond, fValue, oFirst.fFurther1, oFirst.fFurther2,
                                     thresholds);
        QList<QByteArray> lstRefs;
        QList<int> lstThirds;
        for (int i = nSkipPings; i < nSkipPings + nShowPings; ++i) {
            lstRefs.append(oEntry.lstPings.at(i).baSampleRef);
            lstThirds.append(oEntry.lstPings.at(i).nThird);
        }
        poViewer->showWaterColumnPings(lstRefs, lstThirds, oFirst.nFirst, oFirst.nSecond, lstSamples, nZoomToPing);
    }
    lstSamplesStatistic.clear();
    for (int i = 0; i < 256; ++i)
        lstSamplesStatistic.append(0);
    for (const QByteArray& baSamples : lstSamples)
        for (char cByte : baSamples)
            ++lstSamplesStatistic[static_cast<signed char>(cByte) + 128];
}

float CMapView2D::R(uint uColor)
{
    return ((uColor >> 24) & 0xFF) / 255.0f;
}

float CMapView2D::G(uint uColor)
{
    return ((uColor >> 16) & 0xFF) / 255.0f;
}

float CMapView2D::B(uint uColor)
{
    return ((uColor >> 8) & 0xFF) / 255.0f;
}

float CMapView2D::A(uint uColor)
{
    return (uColor & 0xFF) / 255.0f;
}

void CMapView2D::onActionMeasureDistanceToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(m_poActionMeasureDistance);
    if (m_poViewer)
        m_poViewer->toggleMeasDist(isChecked);
}

void CMapView2D::onActionDepthUnderCursorToggled(bool isChecked)
{
    if (m_poViewer)
        m_poViewer->enableDepthUnderCursor(isChecked);
}

void CMapView2D::onActionPositionUnderCursorToggled(bool isChecked)
{
    if (!m_poViewer)
        return;
    m_poViewer->enablePositionUnderCursor(isChecked);
    if (!isChecked)
        setStatusText(QString());
}

void CMapView2D::onActionPlanModeToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(m_poActionPlanMode);
    if (COrlexViewer* poViewer = viewer())
        poViewer->togglePlanMode(isChecked, -1);
}

void CMapView2D::onActionUserModeToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(m_poActionUserMode);
    if (COrlexViewer* poViewer = viewer())
        poViewer->toggleUserMode(isChecked, -1);
}

void CMapView2D::onActionPointSelectionToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(m_poActionPointSelection);
    if (COrlexViewer* poViewer = viewer())
        poViewer->togglePointSelection(isChecked);
}

void CMapView2D::onActionManipulateToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(qobject_cast<QAction*>(sender()));
}

void CMapView2D::onToggle3D(bool bChecked)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->toggle3D(bChecked);
}

void CMapView2D::onToggleTailCol(bool bChecked)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->toggleTailColor(bChecked);
}

void CMapView2D::onToggleTailVis(bool bChecked)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setDepthTailVisibility(bChecked ? 2 : 1, false);
}

void CMapView2D::testWCD()
{
    if (m_poViewer)
        m_poViewer->togglePointSelection(true);
}
