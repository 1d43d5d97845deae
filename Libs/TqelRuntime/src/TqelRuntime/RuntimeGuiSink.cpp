#include "TqelRuntime/RuntimeGuiSink.h"

#include "Common/CorvPaths.h"
#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"
#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QSaveFile>

#include "platform/paths.h"

#include <algorithm>
#include <utility>

namespace {

const char* const s_szViewerName = "dremm";

template <typename F>
void post(F&& fnCall)
{
    if (QCoreApplication* poApp = QCoreApplication::instance())
        QMetaObject::invokeMethod(poApp, std::forward<F>(fnCall), Qt::QueuedConnection);
}

} // namespace

CRuntimeGuiSink::~CRuntimeGuiSink() = default;

CPostingGuiSink::CPostingGuiSink()
    : m_pnShipJobsWaiting(std::make_shared<std::atomic<int>>(0)),
      m_pnJobsWaiting(std::make_shared<std::atomic<int>>(0)),
      m_pnJobsDropped(std::make_shared<std::atomic<quint64>>(0)),
      m_poDynamic(std::make_shared<WaitingDynamicObjects>())
{
}

bool CPostingGuiSink::admitJob(std::atomic<int>& nWaiting, const char* szWhat)
{
    if (nWaiting.fetch_add(1) < kMaxWaitingJobs)
        return true;
    nWaiting.fetch_sub(1);
    const quint64 nDropped = m_pnJobsDropped->fetch_add(1);
    if (nDropped % 10000 == 0)
        qWarning().noquote() << QStringLiteral("The GUI thread is behind the network: %1 dropped (%2 jobs dropped so far)")
                                    .arg(QLatin1String(szWhat))
                                    .arg(nDropped + 1);
    return false;
}

template <typename F>
void CPostingGuiSink::postBounded(const char* szWhat, F&& fnJob)
{
    if (!QCoreApplication::instance() || !admitJob(*m_pnJobsWaiting, szWhat))
        return;
    post([pnWaiting = m_pnJobsWaiting, fnJob = std::forward<F>(fnJob)]() mutable {
        pnWaiting->fetch_sub(1);
        fnJob();
    });
}

template <typename F>
void CPostingGuiSink::postShipJob(F&& fnJob)
{
    // A GUI thread that cannot keep up loses vessel jobs beyond the bound, not its memory.
    if (!QCoreApplication::instance() || !admitJob(*m_pnShipJobsWaiting, "a vessel job"))
        return;
    post([pnWaiting = m_pnShipJobsWaiting, fnJob = std::forward<F>(fnJob)]() mutable {
        fnJob();
        pnWaiting->fetch_sub(1);
    });
}

void CPostingGuiSink::showWarning(const QString& strTitle, const QString& strText)
{
    // Not modal: the GUI goes on while the box is open. A program without widgets logs it only.
    const QCoreApplication* poApp = QCoreApplication::instance();
    if (!poApp || !poApp->inherits("QApplication")) {
        qWarning().noquote() << strTitle + QStringLiteral(": ") + strText;
        return;
    }
    postBounded("showWarning", [strTitle, strText] {
        auto* poBox = new QMessageBox(QMessageBox::Warning, strTitle, strText, QMessageBox::Ok);
        // A message box is application modal unless told otherwise, and would then keep the
        // main window from closing.
        poBox->setWindowModality(Qt::NonModal);
        poBox->setTextFormat(Qt::PlainText);
        poBox->setAttribute(Qt::WA_DeleteOnClose);
        poBox->show();
    });
}

void CPostingGuiSink::updateVessel(int nEast, int nNorth, int nHeading, const QString& strName)
{
    if (m_pnShipJobsWaiting->load() == 0) {
        if (const std::shared_ptr<CShipModel> poShip = COrlexViewer::liveShipModel()) {
            poShip->updateVessel(nEast, nNorth, nHeading, strName);
            return;
        }
    }
    postShipJob([nEast, nNorth, nHeading, strName] {
        COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName));
        if (CShipModel* poShip = poViewer ? poViewer->getShipModel() : nullptr)
            poShip->updateVessel(nEast, nNorth, nHeading, strName);
    });
}

void CPostingGuiSink::openPlanJob(const QString& strJobName)
{
    postBounded("openPlanJob", [strJobName] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->openPlanJob(strJobName);
    });
}

void CPostingGuiSink::activatePlanLine(int nLineId)
{
    postBounded("activatePlanLine", [nLineId] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->activatePlanLine(nLineId);
    });
}

void CPostingGuiSink::setLoggingState(bool bOn)
{
    postBounded("setLoggingState", [bOn] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->setLoggingState(bOn);
    });
}

void CPostingGuiSink::addDynamicObject(const QString& strName, const QString& strCsv)
{
    // The GUI thread gets the newest state of each name, in one job for all that wait.
    const std::shared_ptr<WaitingDynamicObjects> poWaiting = m_poDynamic;
    {
        const std::lock_guard<std::mutex> oLock(poWaiting->oMutex);
        auto it = std::find_if(poWaiting->lstObjects.begin(), poWaiting->lstObjects.end(),
                               [&](const std::pair<QString, QString>& oObject) { return oObject.first == strName; });
        if (it != poWaiting->lstObjects.end()) {
            it->second = strCsv;
        } else if (poWaiting->lstObjects.size() >= static_cast<std::size_t>(kMaxWaitingDynamicObjects)) {
            if (poWaiting->nDropped++ % 10000 == 0)
                qWarning().noquote() << QStringLiteral("Dynamic objects arrive faster than they are shown: %1 dropped so far")
                                            .arg(poWaiting->nDropped);
            return;
        } else {
            poWaiting->lstObjects.emplace_back(strName, strCsv);
        }
        if (poWaiting->bPosted)
            return;
        poWaiting->bPosted = true;
    }
    post([poWaiting] {
        std::vector<std::pair<QString, QString>> lstObjects;
        {
            const std::lock_guard<std::mutex> oLock(poWaiting->oMutex);
            lstObjects.swap(poWaiting->lstObjects);
            poWaiting->bPosted = false;
        }
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            for (const auto& oObject : lstObjects)
                poViewer->addDynamicObject(oObject.first, oObject.second);
    });
}

void CPostingGuiSink::setCorridorWidth(float fWidth)
{
    postBounded("setCorridorWidth", [fWidth] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->setCorridorWidth(fWidth);
    });
}

void CPostingGuiSink::updateProj(const QString& strPath)
{
    postBounded("updateProj", [strPath] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->updateProj(strPath);
    });
}

void CPostingGuiSink::updateCorvAddr(const QString& strAddress)
{
    postBounded("updateCorvAddr", [strAddress] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->updateCorvAddr(strAddress);
    });
}

void CPostingGuiSink::moveToVessel(bool bMoveClicked, int nNorthOffset, int nEastOffset)
{
    postBounded("moveToVessel", [bMoveClicked, nNorthOffset, nEastOffset] {
        if (CMapView2D* poView = CQaMapViewManager::instance()->getMapView2D())
            poView->moveToVessel(bMoveClicked, nNorthOffset, nEastOffset);
    });
}

void CPostingGuiSink::addTvgplObject(const QString& strKind)
{
    postBounded("addTvgplObject", [strKind] {
        if (CMapView2D* poMap = CQaMapViewManager::instance()->getMapView2D())
            poMap->addTvgplObject(strKind);
    });
}

void CPostingGuiSink::selectTvgplObjects(const QString& strDatagram)
{
    postBounded("selectTvgplObjects", [strDatagram] {
        if (CMapView2D* poMap = CQaMapViewManager::instance()->getMapView2D())
            poMap->selectTvgplObjects(strDatagram);
    });
}

void CPostingGuiSink::surveyLoadGrid(const QString& strFolder, bool bRealTime)
{
    postBounded("surveyLoadGrid", [strFolder, bRealTime] {
        if (CQaSurveyManager* poManager = CQaSurveyManager::instance())
            poManager->surveyLoadGrid(strFolder, bRealTime);
    });
}

void CPostingGuiSink::closeAllSurveys()
{
    postBounded("closeAllSurveys", [] {
        if (CQaSurveyManager* poManager = CQaSurveyManager::instance())
            poManager->closeAllSurveys();
    });
}

// The live survey's jobs never create the controller: before it exists there is no view to feed.
void CPostingGuiSink::pushDepthTail(std::vector<double>&& adPoints, const QString& strTailName)
{
    // Making a tail's point buffer reads the controller: the GUI thread's work.
    if (m_pnShipJobsWaiting->load() == 0) {
        const std::shared_ptr<CShipModel> poShip = COrlexViewer::liveShipModel();
        if (poShip && poShip->pushToExistingTail(adPoints, strTailName))
            return;
    }
    postShipJob([adPoints = std::move(adPoints), strTailName]() mutable {
        COrlexViewer* poViewer = COrlexViewer::existingInstance();
        CShipModel* poShip = poViewer ? poViewer->getShipModel() : nullptr;
        // Tail colour mode 0 switches the depth tail off.
        if (poShip && poShip->tailColorMode() != 0)
            poShip->pushDepthTail(adPoints, strTailName);
    });
}

void CPostingGuiSink::addPositionDatagram(const QByteArray& baDatagram)
{
    if (m_pnShipJobsWaiting->load() == 0) {
        if (const std::shared_ptr<CShipModel> poShip = COrlexViewer::liveShipModel()) {
            poShip->addPositionDatagram(baDatagram.constData(), baDatagram.size());
            return;
        }
    }
    postShipJob([baDatagram] {
        COrlexViewer* poViewer = COrlexViewer::existingInstance();
        if (CShipModel* poShip = poViewer ? poViewer->getShipModel() : nullptr)
            poShip->addPositionDatagram(baDatagram.constData(), baDatagram.size());
    });
}

void CPostingGuiSink::applySurveyProjection(const QString& strProjFile, const QString& strSurveyFolder,
                                            std::function<void(const QString&)> fnUse)
{
    post([strProjFile, strSurveyFolder, fnUse = std::move(fnUse)] {
        CQaSurveyManager* poManager = CQaSurveyManager::instance();
        if (poManager->differsFromLoadedProjection(strProjFile)) {
            qInfo() << "CUlmaRuntime::Proj diff, closing survey";
            poManager->closeAllSurveys();
        }
        qInfo() << "CUlmaRuntime::Before init projection lib";
        const bool bFailed = poManager->initProjection(strProjFile, QStringLiteral("QEL_Projection"), strSurveyFolder);
        qInfo() << "CUlmaRuntime::After init projection lib";
        if (bFailed) {
            qInfo() << "CUlmaRuntime::Projection is invalid";
            qDebug().noquote() << "Projection is invalid " + strProjFile;
            CPostingGuiSink().showWarning(QStringLiteral("Invalid projection"),
                                          QStringLiteral("Survey ") + strSurveyFolder + QStringLiteral(" has an invalid projection!"));
            return;
        }
        // The data folder's file is replaced in one step: a failed copy leaves the old one.
        QFile oSource(platform::toNativePath(strProjFile));
        QSaveFile oTarget(platform::toNativePath(programDataPath() + QStringLiteral("qel_projv6.txt")));
        if (!oSource.open(QIODevice::ReadOnly) || !oTarget.open(QIODevice::WriteOnly) || oTarget.write(oSource.readAll()) < 0
            || !oTarget.commit())
            qWarning().noquote() << "Projection file not copied to the data folder: " + strProjFile;
        fnUse(strProjFile);
    });
}
