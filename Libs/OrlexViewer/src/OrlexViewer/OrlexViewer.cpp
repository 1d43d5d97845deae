#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/CalLinesDlg.h"
#include "OrlexViewer/ColorMapDialog.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/ShipModel.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "Projection/Projection.h"
#include "platform/paths.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopWidget>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <exception>
#include <stdexcept>

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::IMessage;
using Dremm::Orlex::QtClient::MessageClient;
using Dremm::Orlex::QtClient::MessageDispatcher;
using Dremm::Orlex::QtClient::objectIdAllocator;
using Dremm::Orlex::QtClient::OrlexHostWindow;
using orlex_viewer_detail::position;
using orlex_viewer_detail::viewerLogger;

namespace {

COrlexViewer* s_pInstance = nullptr;
bool s_bDestroyed = false;
bool s_bScenarioBuilt = false;

// The ship model as other threads find it (liveShipModel); the controller owns it.
std::mutex s_liveShipMutex;
std::weak_ptr<CShipModel> s_pLiveShip;

void publishShipModel(const std::shared_ptr<CShipModel>& pShip)
{
    const std::lock_guard<std::mutex> lock(s_liveShipMutex);
    s_pLiveShip = pShip;
}

constexpr int kDefaultCameraIntervalMs = 1000;

// The camera poll interval: CAMTIMER in milliseconds, else 1000. A value that is not a positive
// number would make the poll spin, so it counts as unset.
int cameraInterval()
{
    const QByteArray value = qgetenv("CAMTIMER");
    if (value.isEmpty())
        return kDefaultCameraIntervalMs;
    bool bOk = false;
    const int nMs = value.trimmed().toInt(&bOk);
    if (!bOk || nMs <= 0) {
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("CAMTIMER \"") << value.constData()
                                           << LOG4CPLUS_TEXT("\" is not a positive number of milliseconds; using 1000"));
        return kDefaultCameraIntervalMs;
    }
    return nMs;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Lifecycle

COrlexViewer* COrlexViewer::instance(const QString& strName)
{
    if (s_bDestroyed) {
        LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer: Attemt to access COrlexViewer instance after destruction!"));
        return nullptr;
    }
    if (!s_pInstance)
        s_pInstance = new COrlexViewer(nullptr, strName);
    return s_pInstance;
}

COrlexViewer* COrlexViewer::existingInstance()
{
    return s_bDestroyed ? nullptr : s_pInstance;
}

std::shared_ptr<CShipModel> COrlexViewer::liveShipModel()
{
    const std::lock_guard<std::mutex> lock(s_liveShipMutex);
    return s_pLiveShip.lock();
}

void COrlexViewer::destroyInstance()
{
    if (s_bDestroyed)
        return;
    // Marked first: what the destructor tears down must not reach a controller half gone.
    COrlexViewer* pViewer = s_pInstance;
    s_bDestroyed = true;
    delete pViewer;
    s_pInstance = nullptr;
}

COrlexViewer::COrlexViewer(QWidget* pParent, const QString& strPipeName) : QObject(pParent)
{
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::COrlexViewer ctror"));
    m_strPipeName = strPipeName;
    qRegisterMetaType<std::shared_ptr<const IMessage>>("std::shared_ptr<const Dremm::Orlex::QtClient::IMessage>");
    connect(this, &COrlexViewer::messageReceivedSignal, this, &COrlexViewer::onMessageReceived, Qt::AutoConnection);
    m_pClient = std::make_shared<MessageClient>(strPipeName.toLatin1().toStdString());
    if (m_pClient->writer() && m_pClient->writer()->isValid() && m_pClient->dispatcher() && m_pClient->reader())
        attachClient();
    else
        qDebug("CMapView2D - Failed to connect to Orlex server");

    m_pColorMappingModel = new QStandardItemModel(this);
    m_pColorMapDialog = new ColorMapDialog(nullptr);
    connect(m_pColorMapDialog, &ColorMapDialog::openButtonClicked, this, &COrlexViewer::loadColorMap);
    connect(m_pColorMapDialog, &ColorMapDialog::saveButtonClicked, this, &COrlexViewer::saveColorMap);
    m_pColorMapDialog->setWindowFlags(m_pColorMapDialog->windowFlags() & ~Qt::WindowCloseButtonHint);

    m_pDataManager = new COrlexDataManager(nullptr);
    connect(m_pDataManager, &COrlexDataManager::onNewTGPLConn, this, &COrlexViewer::sendProj);

    CProjection::instance();
    initPlanning(strPipeName == QLatin1String("dremmCorv"));
}

COrlexViewer::~COrlexViewer()
{
    // Other threads stop finding the ship model before anything it reaches goes.
    if (m_pShipModel)
        publishShipModel(nullptr);
    delete m_pCalLinesDlg;
    m_pCalLinesDlg = nullptr;
    if (m_pClient && m_pClient->reader()) {
        m_pClient->reader()->removeMessageReceiver(this);
        m_pClient->reader()->removeErrorReceiver(this);
    }
    disconnect(this, &COrlexViewer::messageReceivedSignal, this, &COrlexViewer::onMessageReceived);
    // The library holds the connection's dispatcher: it goes first.
    m_pObjects.reset();
    m_pClient.reset();
    if (m_pCameraTimer)
        m_pCameraTimer->stop();
    if (m_pTailColorTimer)
        m_pTailColorTimer->stop();
    delete m_pPlanning;
    m_pPlanning = nullptr;
    delete m_pDataManager;
    m_pDataManager = nullptr;
    m_pCurrentGrid = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Start-up

void COrlexViewer::setViewerParent(QWidget* pParent, QVBoxLayout* pLayout)
{
    m_pParentWidget = pParent;
    m_pParentLayout = pLayout;
    if (!s_bScenarioBuilt) {
        s_bScenarioBuilt = true;
        initScenario();
    }
}

void COrlexViewer::initScenario()
{
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::initScenario"));
    m_viewerSettings["CreateDefaultScene"] = "false";
    m_viewerSettings["SetDefaultCamera"] = "true";
    m_viewerSettings["CreateDefaultGrid"] = "false";
    m_viewerSettings["NotifyMouseMove"] = "false";
    m_viewerSettings["NotifyMouseMoveMinIntervalMs"] = "100";
    m_viewerSettings["graphics.backgroundColor"] = "0.9333 0.9412 0.9569 0";
    m_viewerSettings["ShowLineMeasurementLabel"] = "false";
    m_viewerSettings["LineMeasurementColor"] = "0.9, 0.9, 0.9, 1";
    m_viewerSettings["ShowLineMeasurementLabel"] = "false";
    m_viewerSettings["environment.ProjectionMode "] = "Orthographic";
    m_viewerSettings["environment.headlightEnabled"] = "false";
    m_viewerSettings["environment.directionalLightEnabled"] = "true";
    m_viewerSettings["environment.directionalLightDirection"] = "1, -1, -0.5";
    m_viewerSettings["environment.EnableAutomaticClippingPlaneAdjustment"] = "true";
    m_viewerSettings["graphics.enableShadows"] = "true";
    m_viewerSettings["scene.rayPick.size.x"] = "20";
    m_viewerSettings["scene.rayPick.size.y"] = "20";
    if (!qgetenv("ORLEXMENU").isEmpty())
        m_viewerSettings["ContextMenuEnabled"] = "true";

    createViewer(m_viewerSettings, m_pParentWidget, m_pParentLayout);

    m_layers.clear();
    for (const auto& [pName, bVisible] : {std::pair<const char*, bool>{"Vessel", true},
                                          {"Grids", true},
                                          {"Tracks", false},
                                          {"Coverage", false},
                                          {"Tail", true},
                                          {"SelectedPoints", true},
                                          {"GriddingPoints", true},
                                          {"TIFF", true},
                                          {"MAPS", true},
                                          {"Planning", true}}) {
        O::LayerData layer;
        layer.Name = pName;
        layer.Visible = bVisible;
        m_layers.push_back(layer);
    }

    if (!m_pHostWindow) {
        const QString strText = QStringLiteral("Orlex Window is NULL, terminating");
        QMessageBox::critical(nullptr, QStringLiteral("Orlex Error"), strText, QMessageBox::Ok);
        qDebug().noquote() << strText;
        std::exit(-2);
    }

    sendLayers();
}

void COrlexViewer::attachClient()
{
    m_pClient->dispatcher()->enableWriterThread();
    Dremm::Orlex::QtClient::loadQuennetExtension(*m_pClient);
    m_pClient->reader()->addMessageReceiver(this);
    m_pClient->reader()->addErrorReceiver(this);
}

void COrlexViewer::sendLayers()
{
    O::CreateLayersMessage layers;
    layers.ViewerId = viewerId();
    layers.Confirmation = 1;
    layers.Layers = m_layers;
    send(layers);
}

void COrlexViewer::createViewer(ViewerSettings settings, QWidget* pParent, QLayout* pLayout)
{
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer"));
    if (!m_pClient || !m_pClient->writer() || !m_pClient->writer()->isValid() || !m_pClient->dispatcher()) {
        LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("m_pClient is invalid!"));
        LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer done"));
        return;
    }
    m_pHostWindow = new OrlexHostWindow(pParent);
    if (pLayout)
        pLayout->addWidget(m_pHostWindow);
    try {
        m_pHostWindow->initialize(m_pClient, std::move(settings));
    } catch (const std::exception& e) {
        // The server never confirmed the viewer: the start-up ends as without a host window.
        LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer - ERROR ") << e.what());
        delete m_pHostWindow;
        m_pHostWindow = nullptr;
        LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer done"));
        return;
    }
    m_pHostWindow->setReceiveAllMessages(true);

    // Each connection only when the one before it was made.
    bool bConnected = true;
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::ErrorMessageReceived, this,
                                       &COrlexViewer::onErrorMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::HandshakeMessageReceived, this,
                                       &COrlexViewer::onHandshakeMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::ListObjectsResponseMessageReceived, this,
                                       &COrlexViewer::onListObjectsResponseMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::MeasurementMessageReceived, this,
                                       &COrlexViewer::onMeasurementMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::ObjectPickedMessageReceived, this,
                                       &COrlexViewer::onObjectPickedMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::QueryObjectDistanceResponseMessageReceived, this,
                                       &COrlexViewer::onQueryObjectDistanceResponseMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::ShowContextMenuMessageReceived, this,
                                       &COrlexViewer::onShowContextMenuMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::TerminatedMessageReceived, this,
                                       &COrlexViewer::onTerminatedMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::MouseMovedMessageReceived, this,
                                       &COrlexViewer::onMouseMovedMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::QueryNavigationStateResponseMessageReceived, this,
                                       &COrlexViewer::onQueryNavigationRespMsgRcvd);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::MouseEventMessageReceived, this,
                                       &COrlexViewer::MouseEventMessageReceived);
    bConnected = bConnected && connect(m_pHostWindow, &OrlexHostWindow::KeyboardEventMessageReceived, this,
                                       &COrlexViewer::KeyboardEventMessageReceived);
    bConnected = bConnected && connect(this, &COrlexViewer::openSurveyCompletedSig, m_pDataManager,
                                       &COrlexDataManager::openSurveyCompleted);
    if (!bConnected)
        LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer - ERROR a host window signal could not be connected"));
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::createViewer done"));
}

void COrlexViewer::initViewer(int nMode)
{
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::initViewer"));
    if (!m_pHostWindow)
        return;
    initObjects();
    m_nMode = nMode;

    const QDesktopWidget* pDesktop = QApplication::desktop();
    m_nScreenHeightPx = pDesktop->height();
    m_nScreenWidthPx = pDesktop->width();
    m_fScreenHeightCm = static_cast<float>(pDesktop->heightMM()) / 10.0f;
    m_fScreenWidthCm = static_cast<float>(pDesktop->widthMM()) / 10.0f;

    double dNorth = 0;
    double dEast = 0;
    if (CProjection::instance()->toProjected(0.0, 0.0, dNorth, dEast) == -1) {
        QMessageBox::warning(nullptr, QStringLiteral("Projection error"), QStringLiteral("Projection is missing or invalid!"),
                             QMessageBox::Ok);
        QCoreApplication::exit(1);
        return;
    }

    // A survey opened before the view started keeps the camera on it.
    double dCenterX = 0;
    double dCenterY = 0;
    double dHeight = 0;
    if (openSurveysFrame(dCenterX, dCenterY, dHeight)) {
        sendCameraOver(dCenterX, dCenterY, dHeight, viewerId(), dHeight);
    } else {
        O::SetCameraDataMessage camera;
        camera.ViewerId = viewerId();
        camera.Confirmation = 1;
        camera.CameraData.CameraPosition.set(position(dEast / 100.0, dNorth / 100.0, 10000.0));
        camera.CameraData.TargetPosition.set(position(0, 0, 0));
        send(camera);
    }

    const bool bWithVessel = nMode == 0 || nMode == 3;
    if (bWithVessel) {
        O::CreateCubeMessage cube;
        cube.Id = objectIdAllocator()->allocate();
        cube.Layer.set(std::string("Vessel"));
        cube.PositionData = position(dEast / 100.0, dNorth / 100.0, 0);
        cube.Size = 0.1f;
        send(cube);
    }

    QTimer::singleShot(3000, this, [this] { createGraticule(); });

    O::EnableDoubleClickMessage doubleClick;
    doubleClick.ViewerId = 0;
    doubleClick.Confirmation = 1;
    doubleClick.Enabled = false;
    send(doubleClick);

    setInteractionActions(false);

    if (bWithVessel) {
        if (!m_pShipModel) {
            m_pShipModel = std::make_shared<CShipModel>(getDispatcher());
            publishShipModel(m_pShipModel);
        }
        m_pShipModel->updateVessel(static_cast<int>(dEast), static_cast<int>(dNorth), 0, QStringLiteral("#INIT#"));
    }

    m_pCameraTimer = new QTimer(this);
    connect(m_pCameraTimer, &QTimer::timeout, this, &COrlexViewer::onCameraTimer);
    m_pCameraTimer->start(cameraInterval());

    m_nGraticuleFormat = 0;
    m_nGraticuleUnit = 1;
    LOG4CPLUS_INFO(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::initViewer done"));
}

std::string COrlexViewer::viewerResourcePath()
{
    std::string strBase = "..\\Orlex";
    if (qEnvironmentVariableIsSet("TovtOrlexServerPath")) {
        const QByteArray value = qgetenv("TovtOrlexServerPath");
        if (!value.isEmpty())
            strBase = value.toStdString();
    } else if (qEnvironmentVariableIsSet("ORLEXSDIR")) {
        const QByteArray value = qgetenv("ORLEXSDIR");
        if (!value.isEmpty())
            strBase = value.toStdString();
    }
    return strBase + "\\Resources" + "\\";
}

void COrlexViewer::loadExtension(const QString& strName)
{
    O::LoadExtensionMessage message;
    message.Name = strName.toUtf8().toStdString();
    send(message);
}

std::shared_ptr<MessageDispatcher> COrlexViewer::getDispatcher() const
{
    return m_pClient ? m_pClient->dispatcher() : nullptr;
}

std::int32_t COrlexViewer::viewerId() const
{
    return m_pHostWindow ? m_pHostWindow->viewerId() : 0;
}

void COrlexViewer::sendViewerSettings()
{
    O::UpdateConfigurationMessage message;
    message.ViewerId = viewerId();
    message.Confirmation = 1;
    message.Configuration = m_viewerSettings;
    send(message);
}

void COrlexViewer::setObjectVisibility(std::uint64_t nObjectId, bool bVisible)
{
    O::UpdateVisibilityMessage message;
    message.Id = nObjectId;
    message.Visible = bVisible;
    send(message);
}

// ---------------------------------------------------------------------------------------------
// Graticule and projection file

void COrlexViewer::createGraticule()
{
    m_nGraticuleId = objectIdAllocator()->allocate();
    addObject(m_nGraticuleId, ViewerObjectInfo{4, QString(), false});

    const QString strMain = programDataPath() + QStringLiteral("qel_projv6.txt");
    QString strFile = strMain;
    if (m_nMode == 3 && !QFileInfo::exists(platform::toNativePath(strMain)))
        strFile = programDataPath() + QStringLiteral("corv_projv6.txt");
    if (QFileInfo::exists(platform::toNativePath(strFile))) {
        m_graticuleProj = strFile.toStdString();
        qDebug().noquote() << "Set ProjectionPath to " + strFile;
    }

    Q::CreateGraticuleMessage message;
    message.Id = m_nGraticuleId;
    message.Visible = true;
    message.Settings.GraticuleType = m_nGraticuleFormat;
    message.Settings.LabelFormat = m_nGraticuleUnit;
    if (m_graticuleProj && !m_graticuleProj->empty())
        message.Settings.ProjectionPath.set(*m_graticuleProj);
    message.Settings.LineColor = m_graticuleColor1;
    message.Settings.LabelColor = m_graticuleColor2;
    message.Settings.LabelBackgroundColor = m_graticuleColor3;
    send(message);
}

void COrlexViewer::sendProj()
{
    if (m_graticuleProj && !m_graticuleProj->empty())
        m_pDataManager->sendToPlanning(
            QStringLiteral("$NEW_PROJECTION_PATH=%1\n").arg(QString::fromLatin1(m_graticuleProj->c_str())));
}

// ---------------------------------------------------------------------------------------------
// Object registry

void COrlexViewer::addObject(std::uint64_t nObjectId, ViewerObjectInfo info)
{
    m_objects.emplace(nObjectId, std::move(info));
}

void COrlexViewer::removeObject(std::uint64_t nObjectId)
{
    O::DestroyObjectMessage message;
    message.Id = nObjectId;
    send(message);
    try {
        objectIdAllocator()->release(nObjectId);
    } catch (const std::exception& e) {
        // An id the allocator never gave out, or gave back already: nothing to release.
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::removeObject - WARNING id ")
                                           << nObjectId << LOG4CPLUS_TEXT(" not released: ") << e.what());
    }
    m_objects.erase(nObjectId);
}
