#include "OrlexViewer/ShipModel.h"

#include "OrlexQtClient/MessageDispatcher.h"

CShipModel::CShipModel(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
    : m_pDispatcher(std::move(pDispatcher))
{
}

CShipModel::~CShipModel() = default;

QString CShipModel::sourceName(const QString& strLabel)
{
    return strLabel.section(QLatin1Char(':'), 0, 0);
}

void CShipModel::updateVessel(int nEast, int nNorth, int nHeading, const QString& strName)
{
    if (strName != QLatin1String("#INIT#") && !m_labels.contains(strName))
        m_labels.append(strName);
    m_nLastEast = nEast;
    m_nLastNorth = nNorth;
    m_nLastHeading = nHeading;
    const QString strSource = sourceName(strName);
    m_eastBySource[strSource] = nEast;
    m_northBySource[strSource] = nNorth;
}

void CShipModel::getVesselPosition(int& nEast, int& nNorth) const
{
    nEast = m_nLastEast;
    nNorth = m_nLastNorth;
}

void CShipModel::getNamedVesselPosition(const QString& strVesselId, int& nEast, int& nNorth)
{
    const QString strSource = sourceName(strVesselId);
    if (!m_eastBySource.contains(strSource)) {
        m_eastBySource[strSource] = 0;
        m_northBySource[strSource] = 0;
    }
    nEast = m_eastBySource.value(strSource);
    nNorth = m_northBySource.value(strSource);
}

void CShipModel::switchVesselSymbol(int nVessel, bool bAsMarkers, int, int)
{
    if (nVessel != 0 || (m_bSymbolMade && m_bMarkerShown == bAsMarkers))
        return;
    m_bSymbolMade = true;
    m_bMarkerShown = bAsMarkers;
}

void CShipModel::onNavigationState(int, int, bool)
{
}

void CShipModel::linkTailToActiveGrid(bool bLink)
{
    m_bTailLinked = bLink;
}

void CShipModel::applyTailColorMap(ColorMap*, int)
{
}

// The vessel's display settings: kept until the vessel objects that use them exist.
void CShipModel::setShipColor(int, const QColor&)
{
}

void CShipModel::setCogVectorColor(const QColor&)
{
}

void CShipModel::setTrackColor(const QColor&)
{
}

void CShipModel::createCogVector(int)
{
}

void CShipModel::setVectorLength(int)
{
}

void CShipModel::setDepthTailCount(int)
{
}

void CShipModel::setTailPointSize(int)
{
}

void CShipModel::setTailColorMode(int, bool)
{
}

std::uint64_t CShipModel::getTailBufferId(const QString&) const
{
    return 0;
}
