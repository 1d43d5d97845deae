#include "OrlexViewer/OrlexDataManager.h"

#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"

#include <QDebug>

COrlexDataManager::COrlexDataManager(QObject* poParent) : QObject(poParent) {}

COrlexDataManager::~COrlexDataManager()
{
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

QStringList COrlexDataManager::getSurveys() const
{
    return m_surveys.keys();
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
    if (m_surveys.contains(strPath)) {
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
    m_bMoveCameraOnCompletion = bMoveCamera;
    if (!bRealTimeMode && poViewer)
        poViewer->hideLayer(QStringLiteral("GriddingPoints"));
    poGrid->init(strPath, strOpVar, !bRealTimeGrid);
}

void COrlexDataManager::openSurveyCompleted(bool bValue, bool bIsRT)
{
    if (bValue) {
        if (!m_surveys.contains(m_strOpeningSurvey)) {
            emit msgToFile(QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 not found").arg(m_strOpeningSurvey));
            return;
        }
    } else {
        emit msgToFile(QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 couldn't be loaded loaded").arg(m_strOpeningSurvey));
        emit msgToFile(QStringLiteral("OrlexDataManager::closeSurvey - Closing survey %1").arg(m_strOpeningSurvey));
        if (COrlexGrid* poGrid = m_surveys.take(m_strOpeningSurvey)) {
            poGrid->removeViewerObjects();
            delete poGrid;
        }
        m_strOpeningSurvey.clear();
    }
    emit openSurveyCompletedSig(bValue, bIsRT);
}

void COrlexDataManager::setActiveSurvey(QString strId)
{
    const bool bKnown = m_surveys.contains(strId);
    for (auto it = m_surveys.begin(); it != m_surveys.end(); ++it)
        it.value()->setActive(bKnown && it.key() == strId);
    if (bKnown)
        m_strActiveSurvey = strId;
}
