// The loss of the viewer server and its replacement: the map pane says that the view is gone and
// offers a new server, which is embedded and shown what the lost one showed.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/ShipModel.h"

#include "OrlexObjs.h"
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "PlanningLib.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::MessageClient;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::viewerLogger;

namespace {

std::function<bool()>& serverStarter()
{
    static std::function<bool()> s_starter;
    return s_starter;
}

// How long a new server may take to open its pipes.
constexpr int kConnectWaitMs = 15000;
constexpr int kConnectRetryMs = 200;


} // namespace

void COrlexViewer::setServerStarter(std::function<bool()> starter)
{
    serverStarter() = std::move(starter);
}

void COrlexViewer::onViewerLinkLost(const QString& strReason)
{
    if (m_bViewerLost || !m_pHostWindow)
        return;
    m_bViewerLost = true;
    LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer - the viewer link was lost: ") << strReason.toStdString());
    if (m_pCameraTimer)
        m_pCameraTimer->stop();
    showLostPanel(tr("The 3-D viewer has stopped. The map is not drawn and not updated.\nReason: %1").arg(strReason), true);
}

void COrlexViewer::showLostPanel(const QString& strText, bool bOfferRestart)
{
    if (!m_pLostPanel) {
        m_pLostPanel = new QWidget(m_pParentWidget);
        m_pLostPanel->setObjectName(QStringLiteral("viewerLostPanel"));
        auto* pLayout = new QVBoxLayout(m_pLostPanel);
        pLayout->addStretch(1);
        m_pLostText = new QLabel(m_pLostPanel);
        m_pLostText->setObjectName(QStringLiteral("viewerLostText"));
        m_pLostText->setTextFormat(Qt::PlainText);
        m_pLostText->setWordWrap(true);
        m_pLostText->setAlignment(Qt::AlignCenter);
        pLayout->addWidget(m_pLostText);
        m_pRestartButton = new QPushButton(tr("Start the 3-D viewer again"), m_pLostPanel);
        m_pRestartButton->setObjectName(QStringLiteral("viewerRestartButton"));
        pLayout->addWidget(m_pRestartButton, 0, Qt::AlignHCenter);
        pLayout->addStretch(1);
        connect(m_pRestartButton, &QPushButton::clicked, this, [this] { restartViewer(); });
        if (m_pParentLayout)
            m_pParentLayout->addWidget(m_pLostPanel);
    }
    m_pLostText->setText(strText);
    m_pRestartButton->setEnabled(bOfferRestart);
    if (m_pHostWindow)
        m_pHostWindow->hide();
    if (!m_pParentLayout && m_pParentWidget)
        m_pLostPanel->setGeometry(m_pParentWidget->rect());
    m_pLostPanel->show();
}

COrlexViewer::SceneShown COrlexViewer::releaseLostViewer()
{
    SceneShown scene;
    if (m_pClient && m_pClient->reader()) {
        m_pClient->reader()->removeMessageReceiver(this);
        m_pClient->reader()->removeErrorReceiver(this);
    }
    // The window takes the lost link's queued reports with it.
    delete m_pHostWindow;
    m_pHostWindow = nullptr;

    // Its objects went with it. They are removed the usual way, whose messages reach no server,
    // so that their ids go back to the allocator.
    const COrlexGrid* poActive = m_pDataManager->getActiveSurvey();
    for (const QString& strPath : m_pDataManager->getSurveys()) {
        const COrlexGrid* poGrid = m_pDataManager->getSurvey(strPath);
        if (!poGrid)
            continue;
        if (poGrid == poActive)
            scene.strActiveSurvey = strPath;
        scene.surveys.append(SceneShown::Survey{strPath, poGrid->getTerrainName(), strPath == m_pDataManager->getRealTimeSurvey()});
    }
    for (const SceneShown::Survey& survey : scene.surveys)
        m_pDataManager->closeSurvey(survey.path);
    COrlexGrid::removeLegend();
    const QList<TiffOverlay> rasters = m_pDataManager->getTiffOverlays();
    for (const TiffOverlay& raster : rasters) {
        scene.rasters.append(qMakePair(raster.path, raster.height));
        m_pDataManager->unloadTiff(raster.path);
    }
    if (m_pObjects)
        m_pObjects->removeAll();
    if (m_nGraticuleId != 0) {
        removeObject(m_nGraticuleId);
        m_nGraticuleId = 0;
    }
    if (m_nBackgroundMapId != 0) {
        scene.strBackgroundMap = m_strBackgroundMap;
        objectIdAllocator()->release(m_nBackgroundMapId);
        m_nBackgroundMapId = 0;
    }
    m_pClient.reset();
    return scene;
}

bool COrlexViewer::restartViewer()
{
    if (!m_bViewerLost)
        return true;
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::restartViewer"));
    showLostPanel(tr("Starting the 3-D viewer..."), false);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const QString strFailed = tr("The 3-D viewer could not be started. The map is not drawn and not updated.");
    if (const std::function<bool()>& starter = serverStarter()) {
        if (!starter()) {
            showLostPanel(strFailed, true);
            return false;
        }
    }
    // The new server opens its pipes when it is ready.
    std::shared_ptr<MessageClient> pClient;
    QElapsedTimer oWait;
    oWait.start();
    for (;;) {
        pClient = std::make_shared<MessageClient>(m_strPipeName.toLatin1().toStdString());
        if (pClient->writer() && pClient->writer()->isValid() && pClient->dispatcher() && pClient->reader())
            break;
        pClient.reset();
        if (oWait.elapsed() > kConnectWaitMs)
            break;
        QThread::msleep(kConnectRetryMs);
    }
    if (!pClient) {
        LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::restartViewer - the new server opened no pipes"));
        showLostPanel(strFailed, true);
        return false;
    }

    const SceneShown scene = releaseLostViewer();
    m_pClient = std::move(pClient);
    attachClient();
    createViewer(m_viewerSettings, m_pParentWidget, m_pParentLayout);
    if (!m_pHostWindow) {
        // Nothing was shown on it: the next try starts from what the lost server showed.
        showLostPanel(tr("The 3-D viewer did not answer. The map is not drawn and not updated."), true);
        restoreScene(scene);
        return false;
    }
    m_bViewerLost = false;
    m_pLostPanel->hide();
    // The map pane is on screen already: a widget added to it now is shown by hand.
    m_pHostWindow->show();
    sendLayers();
    restoreScene(scene);
    if (m_pCameraTimer)
        m_pCameraTimer->start();
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::restartViewer done"));
    emit viewerRestarted();
    return true;
}

void COrlexViewer::restoreScene(const SceneShown& scene)
{
    const std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher = getDispatcher();
    O::EnableDoubleClickMessage doubleClick;
    doubleClick.ViewerId = viewerId();
    doubleClick.Confirmation = 1;
    doubleClick.Enabled = m_b3D;
    send(doubleClick);
    setInteractionActions(m_b3D);
    if (m_b3D)
        sendProjectionMode(0);

    if (m_pShipModel)
        m_pShipModel->showOnNewViewer(pDispatcher);
    if (m_pPlanning) {
        if (const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib())
            pLib->setDispatcher(pDispatcher);
    }
    if (m_pObjects) {
        m_pObjects->setDispatcher(pDispatcher);
        if (m_bObjectsFromDatabase)
            m_pObjects->addFromDatabase();
        if (m_bSavedPositionsShown)
            m_pObjects->loadSavedPos();
    }
    if (m_pShipModel || m_pCameraTimer)
        createGraticule();
    if (!scene.strBackgroundMap.isEmpty())
        addTerrainFromJson(scene.strBackgroundMap);
    for (const auto& raster : scene.rasters)
        sendRaster(raster.first, raster.second);
    m_bTiffAskMove = false;
    for (const SceneShown::Survey& survey : scene.surveys)
        m_pDataManager->openSurvey(survey.path, false, survey.bRealTime, survey.bRealTime, survey.terrainName);
    if (!scene.strActiveSurvey.isEmpty())
        m_pDataManager->setActiveSurvey(scene.strActiveSurvey);

    // The camera where the last answer of the lost server had it.
    if (m_cameraState.ViewportHeight > 0) {
        O::SetCameraDataMessage camera;
        camera.ViewerId = viewerId();
        camera.Confirmation = 1;
        camera.CameraData.Orientation.set(m_cameraState.Orientation);
        camera.CameraData.TargetPosition.set(m_cameraState.Position);
        camera.CameraData.ViewportHeight.set(m_cameraState.ViewportHeight);
        send(camera);
    }
}
