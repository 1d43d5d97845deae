#include "TqelRuntime/RuntimeGuiSink.h"

#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>

#include <utility>

namespace {

const char* const s_szViewerName = "dremm";

template <typename F>
void post(F&& fnCall)
{
    if (QCoreApplication* poApp = QCoreApplication::instance())
        QMetaObject::invokeMethod(poApp, std::forward<F>(fnCall), Qt::QueuedConnection);
}

// An operation whose receiver does not offer it yet.
void notAvailable(const char* szOperation)
{
    post([szOperation] { qDebug() << szOperation << "is not available in this build"; });
}

} // namespace

CRuntimeGuiSink::~CRuntimeGuiSink() = default;

void CPostingGuiSink::showWarning(const QString& strTitle, const QString& strText)
{
    // Not modal: the GUI goes on while the box is open.
    post([strTitle, strText] {
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
    post([nEast, nNorth, nHeading, strName] {
        COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName));
        if (CShipModel* poShip = poViewer ? poViewer->getShipModel() : nullptr)
            poShip->updateVessel(nEast, nNorth, nHeading, strName);
    });
}

void CPostingGuiSink::openPlanJob(const QString& strJobName)
{
    post([strJobName] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->openPlanJob(strJobName);
    });
}

void CPostingGuiSink::activatePlanLine(int nLineId)
{
    post([nLineId] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->activatePlanLine(nLineId);
    });
}

void CPostingGuiSink::setLoggingState(bool bOn)
{
    post([bOn] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->setLoggingState(bOn);
    });
}

void CPostingGuiSink::addDynamicObject(const QString& strName, const QString& strCsv)
{
    post([strName, strCsv] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->addDynamicObject(strName, strCsv);
    });
}

void CPostingGuiSink::setCorridorWidth(float fWidth)
{
    post([fWidth] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->setCorridorWidth(fWidth);
    });
}

void CPostingGuiSink::updateProj(const QString& strPath)
{
    post([strPath] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->updateProj(strPath);
    });
}

void CPostingGuiSink::updateCorvAddr(const QString& strAddress)
{
    post([strAddress] {
        if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName)))
            poViewer->updateCorvAddr(strAddress);
    });
}

void CPostingGuiSink::moveToVessel(bool, int, int)
{
    notAvailable("CMapView2D::moveToVessel");
}

void CPostingGuiSink::addTvgplObject(const QString&)
{
    notAvailable("CMapView2D::addTvgplObject");
}

void CPostingGuiSink::selectTvgplObjects(const QString&)
{
    notAvailable("CMapView2D::selectTvgplObjects");
}

void CPostingGuiSink::surveyLoadGrid(const QString& strFolder, bool bRealTime)
{
    post([strFolder, bRealTime] {
        if (CQaSurveyManager* poManager = CQaSurveyManager::instance())
            poManager->surveyLoadGrid(strFolder, bRealTime);
    });
}

void CPostingGuiSink::closeAllSurveys()
{
    notAvailable("CQaSurveyManager::closeAllSurveys");
}
