#include "MapView/QaMapViewManager.h"

#include "MapView/MapView2D.h"

CQaMapViewManager::CQaMapViewManager() : QObject(nullptr)
{
}

CQaMapViewManager* CQaMapViewManager::instance()
{
    // Never destroyed; lives until the process ends.
    static CQaMapViewManager* s_poInstance = new CQaMapViewManager();
    return s_poInstance;
}

void CQaMapViewManager::setMapView2D(CMapView2D* poView)
{
    m_poMapView2D = poView;
}

CMapView2D* CQaMapViewManager::getMapView2D() const
{
    return m_poMapView2D.data();
}
