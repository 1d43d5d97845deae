#include "MapView/QaMapView2D.h"

#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMessageBox>

CQaMapView2D::CQaMapView2D(int nNestedId, void* pData, int nMapViewId, QWidget* parent)
    : CNestedMainWindow(nNestedId, pData, parent), m_nMapViewId(nMapViewId)
{
    constrCentralWidget();
}

void CQaMapView2D::constrCentralWidget()
{
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - Init"));
    auto* poCentral = new QWidget(this);
    auto* poLayout = new QHBoxLayout(poCentral);
    poLayout->setContentsMargins(0, 0, 0, 0);
    m_poMapView = new CMapView2D(m_nMapViewId, nullptr);
    connect(m_poMapView, &CMapViewPane::msgToFile, this, &CQaMapView2D::msgToFile);
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - OK : CMapView2D allocated, adding widget"));
    poLayout->addWidget(m_poMapView);
    setCentralWidget(poCentral);
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - OK : CQaMapViewManager allocated, setMapView2D"));
    CQaMapViewManager::instance()->setMapView2D(m_poMapView);

    CMapView2D* poMap = m_poMapView;
    connect(this, &CQaMapView2D::gridChanged, poMap, &CMapView2D::onGridChanged);
    connect(poMap, &CMapView2D::viewChanged, this, &CQaMapView2D::viewChanged);
    connect(this, &CQaMapView2D::rubberBandRequested, poMap, &CMapView2D::rubberBandRequested);
    connect(poMap, &CMapView2D::hereIsTheRubberband, this, &CQaMapView2D::hereIsTheRubberband);
    connect(this, &CQaMapView2D::reloadSelectionSig, poMap, &CMapView2D::reloadSelection);
    connect(poMap, &CMapView2D::lineToggledSig, this, &CQaMapView2D::receiveLineToggle);
    connect(this, &CQaMapView2D::toggleLine, poMap, &CMapView2D::onPositionLineToggled_fromREZAR);
    connect(poMap, &CMapView2D::regionToFile, this, &CQaMapView2D::regionToFile);
    connect(poMap, &CMapView2D::fileToRegion, this, &CQaMapView2D::fileToRegion);
    connect(poMap, &CMapView2D::hereIsTvgplRubberband, this, &CQaMapView2D::hereIsTvgplRubberband);
    connect(poMap, &CMapView2D::corridorLine, this, &CQaMapView2D::corridorLine);
    connect(poMap, &CMapView2D::enablePingDisplays1, this, &CQaMapView2D::enablePingDisplays1);
    connect(poMap, &CMapView2D::openAllFile, this, &CQaMapView2D::openAllFile);
    connect(poMap, &CMapView2D::openAllFileWithTimeSeries, this, &CQaMapView2D::openAllFileWithTimeSeries);
    connect(poMap, &CMapView2D::zoomTimeSeries, this, &CQaMapView2D::zoomTimeSeries);
    connect(this, &CQaMapView2D::timeSeriesActive, poMap, &CMapView2D::timeSeriesActive);
    connect(this, &CQaMapView2D::processingFinished, poMap, &CMapView2D::processingFinished);
    connect(poMap, &CMapView2D::changeColormap, this, &CQaMapView2D::changeColormap);
    connect(poMap, &CMapView2D::safetyCorrEnabled, this, &CQaMapView2D::safetyCorrEnabled);
    connect(poMap, &CMapView2D::calibTriggered, this, &CQaMapView2D::calibTriggered);
    connect(poMap, &CMapView2D::startCalib, this, &CQaMapView2D::startCalib);
    connect(poMap, &CMapView2D::measureDistance, this, &CQaMapView2D::measureDistance);
    connect(this, &CQaMapView2D::onNewProjection, poMap, &CMapView2D::onNewProjection);
    connect(poMap, QOverload<QString, int>::of(&CMapView2D::sigSetStatusText), this, &CQaMapView2D::sigSetStatusText);
    connect(poMap, QOverload<QString>::of(&CMapView2D::sigSetStatusText), this,
            [this](const QString& strText) { emit sigSetStatusText(strText, 0); });
}

void CQaMapView2D::updateStatus(QString strStatus, int nCurr, int nMax)
{
    if (m_poMapView)
        m_poMapView->updateStatus(strStatus, nCurr, nMax);
}

void showMapWindowAbout(QWidget* poParent)
{
    QMessageBox::about(poParent, CQaMapView2D::tr("About"),
                       CQaMapView2D::tr("<p><b>%1</b> %2</p><p>Operator display of the survey: vessel, survey grids, "
                                        "planned lines, coverage and overlays.</p>")
                           .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
}

void CQaMapView2D::about()
{
    showMapWindowAbout(this);
}

void CQaMapView2D::activate()
{
    if (m_poMapView)
        m_poMapView->checkDefaultModeAction();
}

void CQaMapView2D::deactivate()
{
    if (m_poMapView)
        m_poMapView->checkDefaultModeAction();
}

void CQaMapView2D::viewAll()
{
    if (m_poMapView)
        m_poMapView->viewAll();
}

void CQaMapView2D::setProcessingMode(Qa::EProcMode eProcMode)
{
    emit msgToFile(QStringLiteral("CQaMapView2D::setProcessingMode - Init"));
    m_eProcMode = eProcMode;
    if (!m_poMapView)
        return;
    m_poMapView->checkDefaultModeAction();
    switch (static_cast<int>(eProcMode)) {
    case Qa::PositionProcessing:
        emit msgToFile(QStringLiteral("CQaMapView2D::setProcessingMode - OK : Mode is PositionProcessing"));
        m_poMapView->setPositionSelectionActionsVisible(true);
        m_poMapView->setDepthSelectionActionsVisible(false);
        break;
    case Qa::DepthProcessing:
        emit msgToFile(QStringLiteral("CQaMapView2D::setProcessingMode - OK : Mode is DepthProcessing"));
        m_poMapView->setPositionSelectionActionsVisible(false);
        m_poMapView->setDepthSelectionActionsVisible(true);
        m_poMapView->setLineSelectionActionsVisible(false);
        break;
    case Qa::LineProcessing:
        emit msgToFile(QStringLiteral("CQaMapView2D::setProcessingMode - OK : Mode is LineProcessing"));
        m_poMapView->setPositionSelectionActionsVisible(false);
        m_poMapView->setDepthSelectionActionsVisible(false);
        m_poMapView->setLineSelectionActionsVisible(true);
        break;
    case 5:
        m_poMapView->setPositionSelectionActionsVisible(false);
        m_poMapView->setDepthSelectionActionsVisible(false);
        m_poMapView->setLineSelectionActionsVisible(false);
        break;
    default:
        emit msgToFile(QStringLiteral("CQaMapView2D::setProcessingMode - WARNING : Mode is Undefined"));
        m_poMapView->setPositionSelectionActionsVisible(false);
        m_poMapView->setDepthSelectionActionsVisible(false);
        break;
    }
}

void CQaMapView2D::logSelection(const char* szCommand, const char* szPosition, const char* szDepth,
                                const char* szSurvey, const char* szUndefined)
{
    const QString strPrefix = QStringLiteral("CQaMapView2D::%1 - ").arg(QLatin1String(szCommand));
    emit msgToFile(strPrefix + QStringLiteral("Init"));
    if (!m_poMapView)
        return;
    // The map view offers no selection operation: only the mode is reported.
    switch (m_eProcMode) {
    case Qa::PositionProcessing:
        emit msgToFile(strPrefix + QLatin1String(szPosition));
        return;
    case Qa::DepthProcessing:
        emit msgToFile(strPrefix + QLatin1String(szDepth));
        return;
    case Qa::SurveyDisplay:
        emit msgToFile(strPrefix + QLatin1String(szSurvey));
        break;
    default:
        break;
    }
    emit msgToFile(strPrefix + QLatin1String(szUndefined));
}

void CQaMapView2D::onActionSelectAll()
{
    logSelection("onActionSelectAll", "OK : Mode is PositionProcessing, selecting all positions",
                 "OK : Mode is DepthProcessing, selecting all depths", "WARNING : Mode is SurveyDisplay, fall through",
                 "WARNING : Mode is Undefined, selecting positions AND depths");
}

void CQaMapView2D::onActionSelectApply()
{
    logSelection("onActionSelectApply",
                 "OK : Processing mode is PositionProcessing, applying position selection",
                 "OK : Processing mode is DepthProcessing, applying depth selection",
                 "WARNING : Processing mode is SurveyDisplay, falling through",
                 "WARNING : Processing mode is Undefined, applying position AND depth selections");
}

void CQaMapView2D::onActionSelectClear()
{
    logSelection("onActionSelectClear",
                 "OK : Processing mode is PositionProcessing, clearing position selection",
                 "OK : Processing mode is DepthProcessing, clearing depth selection",
                 "WARNING : Processing mode is SurveyDisplay, falling through",
                 "WARNING : Processing mode is Undefined, clearing depth AND position selection");
}

void CQaMapView2D::receiveReloadSig()
{
    emit reloadSelectionSig();
}

void CQaMapView2D::receiveLineToggle(int lineSelected, QString lineName)
{
    emit msgToFile(QStringLiteral("CQaMapView2D::receiveLineToggle - Init"));
    if (m_eProcMode == Qa::LineProcessing) {
        emit msgToFile(QStringLiteral(
            "CQaMapView2D::receiveLineToggle - OK : Processing mode is LineProcessing, emitting toggle line signal"));
        emit lineToggledSig(lineSelected, lineName);
    } else {
        emit msgToFile(QStringLiteral("CQaMapView2D::receiveLineToggle - WARNING : Processing mode is NOT "
                                      "LineProcessing, can't emit toggle line signal"));
    }
}
