#include "OrlexViewer/OrlexDataManager.h"

#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "platform/paths.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <exception>
#include <utility>

using Dremm::Orlex::QtClient::objectIdAllocator;

namespace {

// One text per folder: the mapped path with links resolved where the folder exists.
QString folderIdentity(const QString& strPath)
{
    const QString strNative = QDir::cleanPath(platform::toNativePath(strPath));
    const QString strCanonical = QFileInfo(strNative).canonicalFilePath();
    return strCanonical.isEmpty() ? strNative : strCanonical;
}

} // namespace

COrlexDataManager::COrlexDataManager(QObject* poParent) : QObject(poParent) {}

COrlexDataManager::~COrlexDataManager()
{
    writeTiffList();
    qDeleteAll(m_surveys);
}

COrlexGrid* COrlexDataManager::getActiveSurvey()
{
    return m_strActiveSurvey.isEmpty() ? nullptr : getSurvey(m_strActiveSurvey);
}

COrlexGrid* COrlexDataManager::getSurvey(const QString& strId)
{
    if (m_surveys.isEmpty() || strId.isEmpty())
        return nullptr;
    COrlexGrid* poGrid = m_surveys.value(strId, nullptr);
    if (!poGrid)
        poGrid = m_surveys.value(findSurvey(strId), nullptr);
    if (!poGrid)
        emit msgToFile(QStringLiteral("OrlexDataManager::getSurvey - WARNING : Survey %1 NOT found, returning NULL").arg(strId));
    return poGrid;
}

COrlexGrid* COrlexDataManager::getSurvey(int nId)
{
    const auto nTerrainId = static_cast<std::uint64_t>(static_cast<std::int64_t>(nId));
    for (COrlexGrid* poGrid : qAsConst(m_surveys))
        if (poGrid->getTerrainId() == nTerrainId)
            return poGrid;
    return nullptr;
}

std::uint64_t COrlexDataManager::getActiveTerrainId()
{
    if (m_strActiveSurvey.isEmpty())
        return 0;
    const COrlexGrid* poGrid = m_surveys.value(m_strActiveSurvey, nullptr);
    return poGrid ? poGrid->getTerrainId() : 0;
}

QStringList COrlexDataManager::getSurveys() const
{
    return m_surveys.keys();
}

QString COrlexDataManager::findSurvey(const QString& strPath) const
{
    if (strPath.isEmpty() || m_surveys.isEmpty())
        return QString();
    if (m_surveys.contains(strPath))
        return strPath;
    const QString strIdentity = folderIdentity(strPath);
    for (auto it = m_surveys.cbegin(); it != m_surveys.cend(); ++it)
        if (folderIdentity(it.key()) == strIdentity)
            return it.key();
    return QString();
}

void COrlexDataManager::onPropertyRangeUpdated(std::uint64_t nTerrainId, float fMin, float fMax, const std::string& strProperty)
{
    for (COrlexGrid* poGrid : qAsConst(m_surveys)) {
        if (poGrid->getTerrainId() == nTerrainId) {
            poGrid->onPropertyRangeUpdated(fMin, fMax, strProperty);
            return;
        }
    }
}

void COrlexDataManager::onZRangeUpdated(std::uint64_t nTerrainId, double dZMin, double dZMax)
{
    for (COrlexGrid* poGrid : qAsConst(m_surveys)) {
        if (poGrid->getTerrainId() == nTerrainId) {
            poGrid->setZRange(dZMin, dZMax);
            return;
        }
    }
}

void COrlexDataManager::addTiff(const TiffOverlay& overlay)
{
    m_tiffOverlays.append(overlay);
}

void COrlexDataManager::setTiffMarkerIds(std::uint64_t nRasterId, std::uint64_t nLabelId, std::uint64_t nLineId)
{
    for (TiffOverlay& overlay : m_tiffOverlays) {
        if (overlay.terrainId == nRasterId + 1) {
            overlay.labelId = nLabelId;
            overlay.lineId = nLineId;
            return;
        }
    }
}

bool COrlexDataManager::sendToPlanning(const QString& strText)
{
    m_strPlanningText = strText;
    return false;
}

void COrlexDataManager::openSurvey(QString strPath, bool bMoveCamera, bool bRealTimeGrid, bool bRealTimeMode, QString strOpVar)
{
    if (!findSurvey(strPath).isEmpty()) {
        emit msgToFile(QStringLiteral("OrlexDataManager::openSurvey - WARNING : Survey %1 was already loaded, ignoring").arg(strPath));
        qDebug("Warning: QelSurvey already loaded and ignored.\n");
        return;
    }
    if (bRealTimeGrid)
        m_strRealTimeSurvey = strPath;
    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    auto* poGrid = new COrlexGrid(poViewer ? poViewer->getDispatcher() : nullptr);
    m_surveys.insert(strPath, poGrid);
    m_strOpeningSurvey = strPath;
    m_lstPendingOpens.append(strPath);
    m_bMoveCameraOnCompletion = bMoveCamera;
    if (!bRealTimeMode && poViewer)
        poViewer->hideLayer(QStringLiteral("GriddingPoints"));
    poGrid->init(strPath, strOpVar, !bRealTimeGrid);
}

void COrlexDataManager::openSurveyCompleted(bool bValue, bool bIsRT)
{
    // Each completion belongs to its own open: the survey whose terrain the viewer reported,
    // else the oldest open still awaited, else the survey opened last.
    QString strSurvey;
    const std::uint64_t nReported = std::exchange(m_nReportedTerrain, 0);
    for (auto it = m_surveys.cbegin(); nReported != 0 && it != m_surveys.cend(); ++it) {
        if (it.value()->getTerrainId() == nReported) {
            strSurvey = it.key();
            break;
        }
    }
    if (!strSurvey.isEmpty())
        m_lstPendingOpens.removeAll(strSurvey);
    else if (!m_lstPendingOpens.isEmpty())
        strSurvey = m_lstPendingOpens.takeFirst();
    else
        strSurvey = m_strOpeningSurvey;

    if (bValue) {
        COrlexGrid* poGrid = m_surveys.value(strSurvey, nullptr);
        if (!poGrid) {
            emit msgToFile(QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 not found").arg(strSurvey));
            // Whoever waits for the completion learns that it failed.
            emit openSurveyCompletedSig(false, bIsRT);
            return;
        }
        poGrid->buildPropertyLists();
    } else {
        emit msgToFile(QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 couldn't be loaded loaded").arg(strSurvey));
        emit msgToFile(QStringLiteral("OrlexDataManager::closeSurvey - Closing survey %1").arg(strSurvey));
        if (COrlexGrid* poGrid = m_surveys.take(strSurvey)) {
            poGrid->removeViewerObjects();
            delete poGrid;
        }
        if (strSurvey == m_strOpeningSurvey)
            m_strOpeningSurvey.clear();
    }
    emit openSurveyCompletedSig(bValue, bIsRT);
}

void COrlexDataManager::setActiveSurvey(QString strId)
{
    if (const QString strOpen = findSurvey(strId); !strOpen.isEmpty())
        strId = strOpen;
    const bool bKnown = m_surveys.contains(strId);
    for (auto it = m_surveys.begin(); it != m_surveys.end(); ++it)
        it.value()->setActive(bKnown && it.key() == strId);
    if (bKnown)
        m_strActiveSurvey = strId;
}

void COrlexDataManager::closeSurvey(QString strPath)
{
    if (const QString strOpen = findSurvey(strPath); !strOpen.isEmpty())
        strPath = strOpen;
    emit msgToFile(QStringLiteral("OrlexDataManager::closeSurvey - Closing survey %1").arg(strPath));
    m_lstPendingOpens.removeAll(strPath);
    if (COrlexGrid* poGrid = m_surveys.take(strPath)) {
        poGrid->removeViewerObjects();
        delete poGrid;
    }
}

void COrlexDataManager::closeAllSurveys()
{
    for (COrlexGrid* poGrid : qAsConst(m_surveys)) {
        poGrid->removeViewerObjects();
        delete poGrid;
    }
    m_surveys.clear();
    m_lstPendingOpens.clear();
}

void COrlexDataManager::getTiffPaths(QStringList& lstOut) const
{
    for (const TiffOverlay& overlay : m_tiffOverlays)
        lstOut << overlay.path;
}

void COrlexDataManager::unloadTiff(const QString& strPath)
{
    for (int i = 0; i < m_tiffOverlays.size(); ++i) {
        if (m_tiffOverlays.at(i).path != strPath)
            continue;
        const TiffOverlay overlay = m_tiffOverlays.takeAt(i);
        COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
        const auto pDispatcher = poViewer ? poViewer->getDispatcher() : nullptr;
        for (const quint64 nId : {overlay.rasterSourceId, overlay.terrainId, overlay.labelId, overlay.lineId}) {
            if (nId == 0)
                continue;
            if (pDispatcher) {
                ::Tavrin::Dremm::Orlex::DestroyObjectMessage message;
                message.Id = nId;
                pDispatcher->sendMessage(message);
            }
            // The ids go back to the allocator, so they are not lost for good.
            try {
                objectIdAllocator()->release(nId);
            } catch (const std::exception& e) {
                qWarning() << "OrlexDataManager::unloadTiff - id" << nId << "not released:" << e.what();
            }
        }
        break;
    }
    writeTiffList();
}

void COrlexDataManager::writeTiffList() const
{
    QSaveFile oFile(platform::toNativePath(programDataPath() + QStringLiteral("/lastTiffs.txt")));
    if (!oFile.open(QIODevice::WriteOnly))
        return;
    for (const TiffOverlay& overlay : m_tiffOverlays)
        oFile.write(overlay.path.toLocal8Bit() + '\n');
    oFile.commit();
}
