#include "OrlexViewer/OrlexGrid.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::objectIdAllocator;

COrlexGrid::COrlexGrid(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
    : m_pDispatcher(std::move(pDispatcher)), m_poViewer(COrlexViewer::instance(QStringLiteral("dremm")))
{
}

COrlexGrid::~COrlexGrid()
{
    removeTerrain();
}

void COrlexGrid::init(const QString& strPath, const QString& strTerrainName, bool bNotRealTime)
{
    m_bNotRealTime = bNotRealTime;
    m_strPath = strPath;
    m_strTerrainName = strTerrainName;
    m_strPropertyName = QStringLiteral("Height");
    QString strTrimmed = strPath;
    while (strTrimmed.endsWith(QLatin1Char('/')) || strTrimmed.endsWith(QLatin1Char('\\')))
        strTrimmed.chop(1);
    m_strSurveyName = strTrimmed.mid(std::max(strTrimmed.lastIndexOf(QLatin1Char('/')), strTrimmed.lastIndexOf(QLatin1Char('\\'))) + 1);
    m_poTarget0Map = std::make_unique<ColorMap>();
    createTerrain(0);
}

void COrlexGrid::createTerrain(int nSlot)
{
    if (nSlot == m_nColourSlot)
        return;
    removeTerrain();
    m_nColourSlot = nSlot == 10 ? 0 : nSlot;
    if (!m_strPath.isEmpty()) {
        m_nTerrainId = objectIdAllocator()->allocate();
        m_bTerrainCreated = true;

        Q::CreateGridEngineTerrainMessage terrain;
        terrain.Id = m_nTerrainId;
        terrain.Layer.set(std::string("Grids"));
        terrain.Path = (m_strPath + QStringLiteral("/Terrain")).toStdString();
        if (!m_strTerrainName.isEmpty())
            terrain.TerrainName.set(m_strTerrainName.toStdString());
        if (!m_strPropertyName.isEmpty())
            terrain.PropertyName.set(m_strPropertyName.toStdString());
        terrain.HeightScale = 1.0f;
        terrain.LodBias = 0.0f;
        if (m_pDispatcher)
            m_pDispatcher->sendMessage(terrain);

        if (m_poViewer)
            m_poViewer->addObject(m_nTerrainId, ViewerObjectInfo{1, m_strSurveyName, false});
        m_bTerrainRemoved = false;
    }
    qDebug().noquote() << QDateTime::currentDateTime().toString() + QStringLiteral(" endCreateTerrain");
}

void COrlexGrid::removeTerrain()
{
    if (!m_bTerrainCreated || m_bTerrainRemoved)
        return;
    if (m_poViewer)
        m_poViewer->removeObject(m_nTerrainId);
    m_bTerrainRemoved = true;
}

void COrlexGrid::removeViewerObjects()
{
    removeTerrain();
}

ColorMap* COrlexGrid::getColorMap(int nTarget, int, int)
{
    if (nTarget != 0)
        return nullptr;
    if (!m_poTarget0Map)
        m_poTarget0Map = std::make_unique<ColorMap>();
    return m_poTarget0Map.get();
}

void COrlexGrid::setActive(bool bActive)
{
    m_bActive = bActive;
    if (!bActive)
        m_bNotRealTime = false;
}

void COrlexGrid::setZRange(double dZMin, double dZMax)
{
    m_dZMin = dZMin;
    m_dZMax = dZMax;
}

void COrlexGrid::getZRange(double& dZMin, double& dZMax) const
{
    dZMin = m_dZMin;
    dZMax = m_dZMax;
}

void COrlexGrid::onPropertyRangeUpdated(float fMin, float fMax, const std::string&)
{
    m_dDataMin = fMin;
    m_dDataMax = fMax;
}
