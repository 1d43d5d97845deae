// What the viewer server reports: survey, raster and error messages, and the host window's
// message signals.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/Prompter.h"
#include "OrlexViewer/ShipModel.h"

#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"

#include <QDateTime>
#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <climits>
#include <exception>

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::IMessage;
using Dremm::Orlex::QtClient::Message;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::position;
using orlex_viewer_detail::viewerLogger;

namespace {

// Set by the first survey meta information and the first survey extent of the process.
bool s_bGridCameraMoved = false;
bool s_bExtentCameraMoved = false;

constexpr int kTailColorIntervalMs = 5000;

template <typename T>
const T* messageAs(const std::shared_ptr<const IMessage>& message)
{
    return dynamic_cast<const Message<T>*>(message.get());
}

// The file name of a path in either separator style.
std::string fileNameOf(const std::string& strPath)
{
    const std::size_t nCut = strPath.find_last_of("/\\");
    return nCut == std::string::npos ? strPath : strPath.substr(nCut + 1);
}

QString now()
{
    return QDateTime::currentDateTime().toString();
}

} // namespace

void COrlexViewer::messageReceived(std::shared_ptr<const IMessage> message)
{
    emit messageReceivedSignal(std::move(message));
}

void COrlexViewer::onMessageReceived(std::shared_ptr<const IMessage> message)
{
    if (!message)
        return;
    try {
        if (const auto* pMeta = messageAs<Q::SurveyStaticMetaInfoMessage>(message))
            HandleStaticMethoInfoMessage(*pMeta);
        if (const auto* pExtent = messageAs<Q::SurveyExtentUpdatedMessage>(message))
            HandleExtentUpdatedMessage(*pExtent);
        if (const auto* pRange = messageAs<Q::SurveyPropertyRangeUpdatedMessage>(message)) {
            qDebug("COrlexViewer::HandlePropertyRangeUpdatedMessage()");
            m_pDataManager->onPropertyRangeUpdated(pRange->Id, pRange->Range.Min, pRange->Range.Max, pRange->PropertyName);
        }
        if (const auto* pZRange = messageAs<Q::SurveyZRangeUpdatedMessage>(message)) {
            qDebug("COrlexViewer::HandleZRangeUpdatedMessage()");
            m_dZRangeHalf = static_cast<double>((pZRange->Range.Min - pZRange->Range.Max) * 0.5f);
            m_pDataManager->onZRangeUpdated(pZRange->Id, pZRange->Range.Min, pZRange->Range.Max);
        }
        if (const auto* pRaster = messageAs<O::RasterCreatedMessage>(message)) {
            qDebug("Raster created");
            HandleRasterCreatedMessage(*pRaster);
        }
        if (messageAs<O::ErrorMessage>(message))
            qDebug("Error msg rcved");
    } catch (const std::exception& e) {
        LOG4CPLUS_ERROR(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::onMessageReceived - ERROR ")
                                            << message->typeName() << LOG4CPLUS_TEXT(": ") << e.what());
    }
}

void COrlexViewer::HandleStaticMethoInfoMessage(const Q::SurveyStaticMetaInfoMessage& message)
{
    qDebug("COrlexViewer::HandleStaticMethoInfoMessage()");
    qDebug().noquote() << now() + QStringLiteral(" GridLoaded done");

    // Terrain ids are handed out from 100 up; one beyond int cannot name an open grid.
    m_pCurrentGrid = message.Id <= static_cast<std::uint64_t>(INT_MAX) ? m_pDataManager->getSurvey(static_cast<int>(message.Id))
                                                                       : nullptr;
    if (!m_pCurrentGrid) {
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::HandleStaticMethoInfoMessage - WARNING no open survey has terrain ")
                                           << message.Id);
        return;
    }
    emit sigSetStatusText(QStringLiteral("Loading grid. Please wait...."), 2000);

    if (!s_bGridCameraMoved && m_pCurrentGrid->isNotRealTime()) {
        s_bGridCameraMoved = true;
        if (message.RefX != m_dLastGridRefX || message.RefY != m_dLastGridRefY)
            sendCameraOver(message.RefX, message.RefY, 1000.0, viewerId());
        m_dLastGridRefX = message.RefX;
        m_dLastGridRefY = message.RefY;
    }

    m_pDataManager->surveyReported(m_pCurrentGrid->getTerrainId());
    emit openSurveyCompletedSig(true, m_pCurrentGrid->getPath() == m_pDataManager->getOpeningSurvey());
    if (m_pShipModel)
        m_pShipModel->linkTailToActiveGrid(true);
    qDebug().noquote() << now() + QStringLiteral(" GridLoaded done");

    // One repeating refresh serves every survey.
    if (!m_pTailColorTimer) {
        m_pTailColorTimer = new QTimer(this);
        connect(m_pTailColorTimer, &QTimer::timeout, this, &COrlexViewer::refreshTailColors);
    }
    m_pTailColorTimer->start(kTailColorIntervalMs);
}

void COrlexViewer::refreshTailColors()
{
    COrlexGrid* pGrid = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
    if (!pGrid)
        return;
    ColorMap* pMap = pGrid->getColorMap(0, 0, 0);
    if (pMap && m_pShipModel)
        m_pShipModel->applyTailColorMap(pMap, 0);
}

void COrlexViewer::HandleExtentUpdatedMessage(const Q::SurveyExtentUpdatedMessage& message)
{
    const double dCenterX = (message.MinX + message.MaxX) * 0.5;
    const double dCenterY = (message.MinY + message.MaxY) * 0.5;
    m_dExtentCenterX = dCenterX;
    m_dExtentCenterY = dCenterY;
    m_surveyExtents[message.Id] = {message.MinX, message.MinY, message.MaxX, message.MaxY};
    if (!s_bExtentCameraMoved) {
        s_bExtentCameraMoved = true;
        const double dHeightY = message.MaxY - message.MinY;
        const double dWidthX = message.MaxX - message.MinX;
        m_dExtentHeight = 1.1 * (dHeightY > dWidthX ? dHeightY : dWidthX);
        // The first view shows the vessel where there is one, else the survey whole.
        if (!m_bVesselPositionArrived)
            sendCameraOver(dCenterX, dCenterY, m_dExtentHeight, 0, m_dExtentHeight);
    }
    emit sigSetStatusText(QStringLiteral("Grid loaded successfully!"), 2000);
}

void COrlexViewer::HandleRasterCreatedMessage(const O::RasterCreatedMessage& message)
{
    if (!message.CommonData.Extents.hasvalue())
        return;
    const O::Extents& extents = message.CommonData.Extents.value();
    const double dWidth = extents.MaxX - extents.MinX;
    const double dHeight = extents.MaxY - extents.MinY;
    const double dCenterX = (extents.MinX + extents.MaxX) * 0.5;
    const double dCenterY = (extents.MinY + extents.MaxY) * 0.5;

    O::CreateLineMessage outline;
    outline.Id = objectIdAllocator()->allocate();
    outline.ParentId.set(message.Id);
    outline.Layer.set(std::string("TIFF"));
    outline.PositionData = position(extents.MinX, extents.MinY, 0.1);
    O::Color edge;
    edge.R = 0.5f;
    edge.G = 0.5f;
    edge.B = 1.0f;
    edge.A = 1.0f;
    outline.MaterialData.Material.EmissiveColor.set(edge);
    outline.MaterialData.Material.LineWidth.set(3.0f);
    const auto fW = static_cast<float>(dWidth);
    const auto fH = static_cast<float>(dHeight);
    outline.LineData.Positions = {0, 0, 0, fW, 0, 0, fW, fH, 0, 0, fH, 0};
    outline.LineData.Indices = {0, 1, 2, 3, 0, -1};
    send(outline);

    O::CreateLabelMessage label;
    label.Id = objectIdAllocator()->allocate();
    label.ParentId.set(message.Id);
    label.Layer.set(std::string("TIFF"));
    label.PositionData = position(dCenterX, dCenterY, -12101.0);
    label.LabelStyle.TextSize = 18.0;
    label.LabelStyle.TextColor.R = label.LabelStyle.TextColor.G = label.LabelStyle.TextColor.B = 1.0f;
    label.LabelStyle.TextColor.A = 1.0f;
    label.LabelStyle.OutlineColor.R = label.LabelStyle.OutlineColor.G = label.LabelStyle.OutlineColor.B = 0.0f;
    label.LabelStyle.OutlineColor.A = 1.0f;
    label.LabelStyle.AlwaysOnTop = false;
    label.LabelData.Text = fileNameOf(m_strTiffPath);
    label.LabelData.ShowAnchor = true;
    send(label);

    m_pDataManager->setTiffMarkerIds(message.Id, label.Id, outline.Id);

    if (m_bTiffAskMove) {
        const QMessageBox::StandardButton answer =
            CPrompter::current().question(nullptr, tr("Move to TIFF"), tr("Move camera to TIFF location?"),
                                          QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            sendCameraOver(dCenterX, dCenterY, m_dExtentHeight, viewerId());
    }
}

// ---------------------------------------------------------------------------------------------
// Host window signals

void COrlexViewer::onErrorMessageReceived(const O::ErrorMessage* pMessage)
{
    m_pHostWindow->beginDelayServerMessages();
    LOG4CPLUS_WARN(viewerLogger(), pMessage->Message.c_str());
    emit viewerError(QString::fromStdString(pMessage->Message), pMessage->Code);
    m_pHostWindow->endDelayServerMessages();
    // The link's own failure report: the server is gone or no longer reachable.
    if (pMessage->Code == kLinkFailureCode)
        onViewerLinkLost(QString::fromStdString(pMessage->Message));
}

void COrlexViewer::onHandshakeMessageReceived(const O::HandshakeMessage* pMessage)
{
    qDebug() << "Got HandshakeMessage Code=" << pMessage->Code;
}

void COrlexViewer::onListObjectsResponseMessageReceived(const O::ListObjectsResponseMessage* pMessage)
{
    qDebug() << "Got ListObjectsResponseMessage count=" << pMessage->Objects.size();
}

void COrlexViewer::onQueryObjectDistanceResponseMessageReceived(const O::QueryObjectDistanceResponseMessage* pMessage)
{
    qDebug() << "Got QueryObjectDistanceResponseMessageReceived Dist=" << pMessage->Distance;
}

void COrlexViewer::onTerminatedMessageReceived(const O::TerminatedMessage* pMessage)
{
    qDebug() << "Got TerminatedMessage Code=" << pMessage->Code;
}

void COrlexViewer::onViewerDestroyedMessageReceived(const O::ViewerDestroyedMessage* pMessage)
{
    qDebug() << "Got onViewerDestroyedMessage Id:" << pMessage->ViewerId;
}

void COrlexViewer::KeyboardEventMessageReceived(const O::KeyboardEventMessage* pMessage)
{
    // Keys pressed while the viewer's window has the focus never reach the window's shortcuts.
    // The server names a key by its Windows virtual-key code (F1 0x70) or by Qt's.
    constexpr std::int32_t kVirtualKeyF1 = 0x70;
    if (pMessage->KeyDown && (pMessage->KeyCode == kVirtualKeyF1 || pMessage->KeyCode == Qt::Key_F1))
        emit helpRequested();
}

void COrlexViewer::MouseEventMessageReceived(const O::MouseEventMessage* pMessage)
{
    const bool bNoMode = !m_bCalibMode && !m_bPlanMode && !m_bMeasActive && !m_bUserMode;
    if (bNoMode && pMessage->MouseEvent == 1) {
        if (m_bZoomToRegion && !m_bZoomRectStarted)
            zoomRectStart();
    } else if (pMessage->MouseEvent == 6 && bNoMode && !m_bPointSelection) {
        if (pMessage->Buttons == 1)
            setScale(-1);
        else if (pMessage->Buttons == 4)
            setScale(1);
    }
}
