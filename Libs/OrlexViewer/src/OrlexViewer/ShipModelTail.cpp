// The depth tails of the ship model: one point buffer per tail name.
#include "OrlexViewer/ShipModel.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModelPrivate.h"

#include "Common/GetToken.h"
#include "OrlexProtocol/codec/Color.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"

#include <QDebug>
#include <QVariant>

#include <chrono>
#include <exception>
#include <mutex>

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::MessageDispatcher;
using Dremm::Orlex::QtClient::objectIdAllocator;
using ship_model_detail::shipLogger;
using ship_model_detail::shipMutex;

namespace {

constexpr auto kTailLockWait = std::chrono::milliseconds(100);

// Process-wide: the tail names created so far and the lock of pushDepthTail.
QStringList& createdTailNames()
{
    static QStringList s_names;
    return s_names;
}

std::timed_mutex& tailMutex()
{
    static std::timed_mutex s_mutex;
    return s_mutex;
}

// The active survey's terrain id; 0 when there is none.
std::uint64_t activeTerrainId()
{
    COrlexViewer* pViewer = ship_model_detail::controller();
    COrlexDataManager* pManager = pViewer ? pViewer->getDataManager() : nullptr;
    COrlexGrid* pGrid = pManager ? pManager->getActiveSurvey() : nullptr;
    return pGrid ? pGrid->getTerrainId() : 0;
}

// An integer or enumeration property of the colour map; 0 when it has none.
int intProperty(const QObject* pObject, const char* szName)
{
    const QVariant value = pObject->property(szName);
    if (!value.isValid())
        return 0;
    if (QMetaType::typeFlags(value.userType()) & QMetaType::IsEnumeration)
        return *static_cast<const int*>(value.constData());
    return value.toInt();
}

O::Color opaque(const QColor& colour)
{
    return O::makeColor(static_cast<float>(colour.redF()), static_cast<float>(colour.greenF()),
                        static_cast<float>(colour.blueF()), 1.0f);
}

} // namespace

void CShipModel::sendTailSettings(std::uint64_t nId) const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    Q::UpdatePointBufferMessage update;
    update.Id = nId;
    update.Settings = m_tailSettings;
    if (const std::shared_ptr<MessageDispatcher> pDispatcher = m_pDispatcher.lock())
        pDispatcher->sendMessage(update);
}

void CShipModel::pushDepthTail(std::vector<double>& points, const QString& strTailName)
{
    const std::lock_guard<std::recursive_mutex> shipLock(shipMutex());
    std::unique_lock<std::timed_mutex> lock(tailMutex(), std::defer_lock);
    if (!lock.try_lock_for(kTailLockWait))
        return;
    QStringList& names = createdTailNames();
    if (m_tailIds.empty() && !names.isEmpty())
        names.clear();
    try {
        const std::shared_ptr<MessageDispatcher> pDispatcher = m_pDispatcher.lock();
        // A tail whose buffer was destroyed is created again, never added to under id 0.
        auto it = m_tailIds.find(strTailName);
        if (it == m_tailIds.end()) {
            if (!names.contains(strTailName))
                names.append(strTailName);
            g_getToken.getTokValueInt("ROZOVED_DEPTH_POINT_MAXNOPINGS");
            Q::CreatePointBufferMessage create;
            create.Id = objectIdAllocator()->allocate();
            create.Layer.set(std::string("Tail"));
            create.Settings.Capacity = m_nTailCapacity;
            create.Settings.PointsPerSubBuffer = m_nTailCapacity / 10;
            create.Settings.PointSize = static_cast<float>(m_nTailPointSize);
            create.Settings.ColorMap.StartColor = O::makeColorFromHsv(0, 1, 1, 1);
            create.Settings.ColorMap.EndColor = O::makeColorFromHsv(0.8, 1, 1, 1);
            create.Settings.ColorMap.ClockWise = false;
            create.Settings.ColorMap.AutoRange = true;
            create.Settings.ColorMap.Range.Min = 0;
            create.Settings.ColorMap.Range.Max = 0;
            create.Settings.ColorMap.Wrap = 0;
            if (const std::uint64_t nTerrain = activeTerrainId())
                create.Settings.ColorMapAutoRangeSource.set(nTerrain);
            create.Settings.IncludeInRangeCalculation = true;
            m_tailSettings = create.Settings;
            if (pDispatcher)
                pDispatcher->sendMessage(create);
            it = m_tailIds.emplace(strTailName, create.Id).first;
        }
        // The first ping goes into the new buffer too.
        Q::AddToPointBufferMessage add;
        add.Id = it->second;
        add.Positions = std::move(points);
        points.clear();
        if (pDispatcher)
            pDispatcher->sendMessage(std::move(add));
    } catch (const std::exception& e) {
        qDebug() << "Exception in pushDepthTail";
        LOG4CPLUS_ERROR(shipLogger(), LOG4CPLUS_TEXT("CShipModel::pushDepthTail - Exception in pushDepthTail: ") << e.what());
    }
}

bool CShipModel::pushToExistingTail(std::vector<double>& points, const QString& strTailName)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_nTailColorMode == 0) {
        points.clear();
        return true;
    }
    if (m_tailIds.find(strTailName) == m_tailIds.end())
        return false;
    pushDepthTail(points, strTailName);
    return true;
}

int CShipModel::tailColorMode() const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    return m_nTailColorMode;
}

void CShipModel::setDepthTailCount(int nCount)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_nTailCapacity = nCount;
    for (const auto& [strName, nId] : m_tailIds) {
        m_tailSettings.Capacity = nCount;
        m_tailSettings.PointsPerSubBuffer = nCount / 10;
        sendTailSettings(nId);
    }
}

void CShipModel::setTailPointSize(int nSize)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    m_nTailPointSize = nSize;
    for (const auto& [strName, nId] : m_tailIds) {
        m_tailSettings.PointSize = static_cast<float>(nSize);
        sendTailSettings(nId);
    }
}

void CShipModel::setTailColorMode(int nMode, bool bApply)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (nMode != 3)
        m_nTailColorMode = nMode;
    if (!bApply || m_tailIds.empty())
        return;
    const auto first = m_tailIds.begin();
    const std::uint64_t nId = first->second;
    m_tailSettings.IncludeInRangeCalculation = false;
    m_tailSettings.ColorMapAutoRangeSource.reset();
    sendTailSettings(nId);
    m_tailIds.erase(first);
    O::DestroyObjectMessage destroy;
    destroy.Id = nId;
    if (const std::shared_ptr<MessageDispatcher> pDispatcher = m_pDispatcher.lock())
        pDispatcher->sendMessage(destroy);
}

void CShipModel::linkTailToActiveGrid(bool bLink)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_tailIds.empty())
        return;
    const std::uint64_t nTerrain = bLink ? activeTerrainId() : 0;
    if (nTerrain != 0)
        m_tailSettings.ColorMapAutoRangeSource.set(nTerrain);
    else if (!bLink)
        m_tailSettings.ColorMapAutoRangeSource.reset();
    for (const auto& [strName, nId] : m_tailIds)
        sendTailSettings(nId);
}

void CShipModel::setTailIncludeInRange(bool bInclude)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_tailIds.empty())
        return;
    m_tailSettings.IncludeInRangeCalculation = bInclude;
    sendTailSettings(m_tailIds.begin()->second);
}

void CShipModel::applyTailColorMap(ColorMap* pMap, int nKind)
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (!pMap || nKind == 1 || m_tailIds.empty())
        return;
    const std::uint64_t nTerrain = activeTerrainId();
    if (nTerrain == 0)
        return;
    m_tailSettings.ColorMapAutoRangeSource.set(nTerrain);
    // The tail shows depths: start and stop exchanged, direction reversed, as the grid does.
    Q::ColorMapData& colours = m_tailSettings.ColorMap;
    colours.StartColor = opaque(pMap->property("stopColor").value<QColor>());
    colours.EndColor = opaque(pMap->property("startColor").value<QColor>());
    colours.ClockWise = intProperty(pMap, "direction") != 0;
    colours.AutoRange = pMap->property("autoMax").toBool();
    colours.Range.Min = 0;
    colours.Range.Max = 0;
    colours.Wrap = intProperty(pMap, "endMode");
    colours.StaticColorRanges.clear();
    for (const auto& [strName, nId] : m_tailIds)
        sendTailSettings(nId);
}

std::uint64_t CShipModel::getTailBufferId(const QString& strName) const
{
    const std::lock_guard<std::recursive_mutex> lock(shipMutex());
    if (m_tailIds.empty())
        return 0;
    if (strName.isEmpty())
        return m_tailIds.begin()->second;
    const auto it = m_tailIds.find(strName);
    return it == m_tailIds.end() ? 0 : it->second;
}
