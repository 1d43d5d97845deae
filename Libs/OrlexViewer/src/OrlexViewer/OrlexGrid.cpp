#include "OrlexViewer/OrlexGrid.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexProtocol/codec/Color.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include "Common/GetToken.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "platform/registry.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::objectIdAllocator;

namespace {

// The view holds one colour legend for every grid.
struct SharedLegend
{
    std::uint64_t nId = 0;
    std::uint64_t nTerrainId = 0;
    Q::LegendSettings settings;
};

SharedLegend& sharedLegend()
{
    static SharedLegend s_legend;
    return s_legend;
}

// The height scale of the last setScale without level-of-detail bias; a bias change before any
// such call keeps the terrain's created scale.
float s_fLastScale = 1.0f;

// Slot 5 is the highest one the colour-mapping tree addresses; more is a wrong index.
constexpr int MaxSlots = 64;

struct SlotInfo
{
    const char* szProperty; // viewer property that colours the terrain; null for none
    const char* szTitle;    // legend title on a range report; null for none
    const char* szUnit;
};

const SlotInfo s_aSlots[] = {
    {"Height", nullptr, nullptr},
    {"reflection", "Backscatter", "dB"},
    {"maxDepthDiff", "Depth diff", "meters"},
    {"pointsInCell", "Points in cell", "points"},
    {nullptr, nullptr, nullptr},
    {"standardDeviation", "Std dev", "meters"},
};

O::Color toColor(const QColor& oColour)
{
    return O::makeColor(static_cast<float>(oColour.redF()), static_cast<float>(oColour.greenF()),
                        static_cast<float>(oColour.blueF()), 1.0f);
}

// Label colours go out as bytes divided by 255.
O::Color byteColor(const QColor& oColour)
{
    O::Color colour;
    colour.R = static_cast<float>(oColour.red()) / 255.0f;
    colour.G = static_cast<float>(oColour.green()) / 255.0f;
    colour.B = static_cast<float>(oColour.blue()) / 255.0f;
    colour.A = 1.0f;
    return colour;
}

std::unique_ptr<ColorMap> copyOf(const ColorMap& oMap)
{
    return std::unique_ptr<ColorMap>(oMap.copy());
}

// The source's colours into the grid's own map, which keeps its address for those who hold it.
void assignMap(std::unique_ptr<ColorMap>& poTarget, const ColorMap& oSource)
{
    if (!poTarget)
        poTarget = copyOf(oSource);
    else if (poTarget.get() != &oSource)
        poTarget->load(oSource.save());
}

// A survey folder on another drive when the station keeps its grids there.
QString applyDriveRule(const QString& strPath)
{
    const QVariant mode = platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel"), QStringLiteral("T-Qel_Mode"));
    if (mode.isNull() || mode.toInt() != 1 || strPath.isEmpty())
        return strPath;
    const std::string strDrive = g_getToken.getTokValueStr("CORV_GRID_PATH");
    if (strDrive.size() != 1)
        return strPath;
    QString strResult = strPath;
    strResult[0] = QLatin1Char(strDrive[0]);
    return strResult;
}

} // namespace

template <typename T>
void COrlexGrid::send(const T& payload) const
{
    if (m_pDispatcher)
        m_pDispatcher->sendMessage(payload);
}

COrlexGrid::COrlexGrid(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
    : m_pDispatcher(std::move(pDispatcher)), m_poViewer(COrlexViewer::instance(QStringLiteral("dremm")))
{
    O::Color grey;
    m_lastColorMapData.StartColor = grey;
    m_lastColorMapData.EndColor = grey;
}

COrlexGrid::~COrlexGrid()
{
    removeTerrain();
}

void COrlexGrid::init(const QString& strPath, const QString& strTerrainName, bool bNotRealTime)
{
    m_bNotRealTime = bNotRealTime;
    m_strPath = applyDriveRule(strPath);
    m_strTerrainName = strTerrainName;
    m_strPropertyName = QStringLiteral("Height");
    QString strTrimmed = m_strPath;
    while (strTrimmed.endsWith(QLatin1Char('/')) || strTrimmed.endsWith(QLatin1Char('\\')))
        strTrimmed.chop(1);
    m_strSurveyName = strTrimmed.mid(std::max(strTrimmed.lastIndexOf(QLatin1Char('/')), strTrimmed.lastIndexOf(QLatin1Char('\\'))) + 1);

    m_poTarget0Map = std::make_unique<ColorMap>();
    m_poTarget0Map->setStartColor(QColor::fromHsvF(0.0, 1.0, 1.0, 1.0));
    m_poTarget0Map->setStopColor(QColor::fromHsvF(0.8, 1.0, 1.0, 1.0));
    m_poTarget0Map->setAutoMin(true);
    m_poTarget0Map->setAutoMax(true);
    m_poTarget0Map->setEndMode(ColorMap::CLAMP);

    ColorMap backscatter;
    backscatter.setStartColor(QColor(Qt::black));
    backscatter.setStopColor(QColor(Qt::white));
    backscatter.setAutoMin(true);
    backscatter.setAutoMax(true);
    backscatter.setMax(0);
    backscatter.setMin(-50);

    ColorMap difference;
    difference.setStartColor(QColor(Qt::blue));
    difference.setStopColor(QColor(Qt::red));
    difference.setDirection(ColorMap::CCW);
    difference.setAutoMin(true);
    difference.setAutoMax(true);
    difference.setEndMode(ColorMap::CLAMP);

    m_slotMaps.clear();
    m_slotMaps.push_back(copyOf(*m_poTarget0Map));
    m_slotMaps.push_back(copyOf(backscatter));
    for (int i = 0; i < 3; ++i)
        m_slotMaps.push_back(copyOf(difference));

    createTerrain(0);
}

COrlexGrid::ColorMapData COrlexGrid::makeColorMapData(const ColorMap& oMap, bool bHeight, bool bAutoRange) const
{
    ColorMapData data;
    if (bHeight) {
        // Heights are shown as depths: the range and the gradient are turned round.
        data.StartColor = toColor(oMap.getStopColor());
        data.EndColor = toColor(oMap.getStartColor());
        data.ClockWise = oMap.getDirection() == ColorMap::CCW;
        data.Range.Min = static_cast<float>(-oMap.getMax());
        data.Range.Max = static_cast<float>(-oMap.getMin());
    } else {
        data.StartColor = toColor(oMap.getStartColor());
        data.EndColor = toColor(oMap.getStopColor());
        data.ClockWise = oMap.getDirection() == ColorMap::CW;
        data.Range.Min = static_cast<float>(oMap.getMin());
        data.Range.Max = static_cast<float>(oMap.getMax());
    }
    data.AutoRange = bAutoRange;
    data.Wrap = static_cast<std::int32_t>(oMap.getEndMode());
    // The fixed bands always come from the target-0 map.
    if (m_poTarget0Map) {
        const QVariantList starts = m_poTarget0Map->startList();
        const QVariantList stops = m_poTarget0Map->stopList();
        const QVariantList colours = m_poTarget0Map->colorList();
        const int nBands = std::min({starts.size(), stops.size(), colours.size()});
        for (int i = 0; i < nBands; ++i) {
            Q::StaticColorRange band;
            band.Color = toColor(colours.at(i).value<QColor>());
            band.Range.Min = static_cast<float>(-stops.at(i).toDouble());
            band.Range.Max = static_cast<float>(-starts.at(i).toDouble());
            data.StaticColorRanges.push_back(band);
        }
    }
    return data;
}

void COrlexGrid::createTerrain(int nSlot)
{
    if (nSlot == m_nColourSlot)
        return;
    removeTerrain();
    m_nColourSlot = nSlot == 10 ? 0 : nSlot;
    const bool bHeight = m_nColourSlot == 0;
    if (!m_strPath.isEmpty() && m_poTarget0Map) {
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
        send(terrain);

        const bool bInSlots = nSlot >= 0 && static_cast<std::size_t>(nSlot) < m_slotMaps.size() && m_slotMaps[static_cast<std::size_t>(nSlot)];
        const ColorMap& oMap = bInSlots ? *m_slotMaps[static_cast<std::size_t>(nSlot)] : *m_poTarget0Map;
        const bool bByHeight = m_strPropertyName == QLatin1String("Height");
        ColorMapData data = makeColorMapData(oMap, bByHeight, bByHeight && oMap.getAutoMax());
        if (bByHeight) {
            // The gradient of a height terrain is the target-0 map's.
            data.StartColor = toColor(m_poTarget0Map->getStopColor());
            data.EndColor = toColor(m_poTarget0Map->getStartColor());
        }
        Q::SetColorMapRangeMessage colours;
        colours.Id = m_nTerrainId;
        colours.ColorMap = data;
        send(colours);
        m_lastColorMapData = data;

        if (m_poViewer)
            m_poViewer->addObject(m_nTerrainId, ViewerObjectInfo{1, m_strSurveyName, false});

        QString strTitle = m_strPropertyName;
        QString strUnit;
        bool bNegate = false;
        if (nSlot == 0) {
            strTitle = m_strTerrainName;
            strUnit = QStringLiteral("meters");
            bNegate = true;
        } else if (nSlot == 1) {
            strUnit = QStringLiteral("dB");
        }
        SharedLegend& legend = sharedLegend();
        if (legend.nId == 0 || legend.nTerrainId == m_nTerrainId) {
            // A released terrain id handed out again names the legend's source once more.
            Q::LegendSettings settings;
            if (legend.nId != 0) {
                settings = legend.settings;
                if (m_poViewer)
                    m_poViewer->removeObject(legend.nId);
            } else if (m_poViewer) {
                QColor oText;
                QColor oBackground;
                m_poViewer->getLabelColors(oText, oBackground);
                settings.LabelColor = byteColor(oText);
                settings.LabelBackgroundColor = byteColor(oBackground);
            }
            settings.Title.set(strTitle.toStdString());
            settings.UnitName.set(strUnit.toStdString());
            settings.NegateValues = bNegate;
            Q::CreateLegendMessage create;
            create.Id = objectIdAllocator()->allocate();
            create.SourceId = m_nTerrainId;
            create.Settings = settings;
            legend.nId = create.Id;
            legend.nTerrainId = m_nTerrainId;
            send(create);
            legend.settings = settings;
        }

        m_bTerrainRemoved = false;
        if (CShipModel* poShip = m_poViewer ? m_poViewer->getShipModel() : nullptr)
            poShip->linkTailToActiveGrid(bHeight);
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
    for (const std::vector<TrackLineInfo>* pLines : {&m_trackLines, &m_coverageLines}) {
        for (const TrackLineInfo& line : *pLines)
            removeLine(line.objectId);
    }
    m_trackLines.clear();
    m_coverageLines.clear();
}

void COrlexGrid::removeLine(std::uint64_t nObjectId)
{
    if (m_poViewer) {
        m_poViewer->removeObject(nObjectId);
        return;
    }
    O::DestroyObjectMessage message;
    message.Id = nObjectId;
    send(message);
}

// ---------------------------------------------------------------------------------------------
// Colour maps and the legend

ColorMap* COrlexGrid::getColorMap(int nTarget, int nKind, int nIndex)
{
    if (nTarget != 0 || !m_poTarget0Map)
        return nullptr;
    const int nSlot = nKind == 1 ? nIndex + 1 : 0;
    if (nSlot < 0 || nSlot >= MaxSlots) {
        qDebug() << "COrlexGrid::getColorMap - no colour slot" << nSlot;
        return nullptr;
    }
    const auto nSize = static_cast<std::size_t>(std::max(nIndex + 2, nSlot + 1));
    if (m_slotMaps.size() < nSize)
        m_slotMaps.resize(nSize);
    std::unique_ptr<ColorMap>& poSlot = m_slotMaps[static_cast<std::size_t>(nSlot)];
    if (!poSlot)
        poSlot = copyOf(*m_poTarget0Map);
    return poSlot.get();
}

void COrlexGrid::setColorMap(ColorMap* poMap, int nKind, int nTarget, int nIndex)
{
    const int nSlot = nKind == 1 ? nIndex + 1 : 0;
    if (!poMap || nTarget < 0 || nTarget > 2 || nSlot < 0 || nSlot >= MaxSlots) {
        qWarning() << "COrlexGrid::setColorMap - Unknown color target" << nTarget << "slot" << nSlot;
        return;
    }
    // The grid keeps its own maps: the caller's map is copied in, never kept.
    if (nTarget == 0) {
        if (m_slotMaps.size() <= static_cast<std::size_t>(nSlot))
            m_slotMaps.resize(static_cast<std::size_t>(nSlot) + 1);
        assignMap(m_slotMaps[static_cast<std::size_t>(nSlot)], *poMap);
        assignMap(m_poTarget0Map, *poMap);
    } else {
        assignMap(nTarget == 1 ? m_poTarget1Map : m_poTarget2Map, *poMap);
    }
    m_anTargetKind[nTarget] = nKind;
    m_anTargetIndex[nTarget] = nIndex;
    if (nTarget == 2)
        return;
    applyColorMap(nSlot);
    const bool bKnown = nSlot < static_cast<int>(std::size(s_aSlots));
    const char* szProperty = bKnown ? s_aSlots[nSlot].szProperty : nullptr;
    m_strPropertyName = szProperty ? QString::fromLatin1(szProperty) : QString();
    updateLegend(nSlot);
}

void COrlexGrid::applyColorMap(int nSlot)
{
    if (!m_poTarget0Map)
        return;
    Q::SetColorMapRangeMessage message;
    message.Id = m_nTerrainId;
    message.ColorMap = makeColorMapData(*m_poTarget0Map, nSlot == 0 || nSlot == 10, m_poTarget0Map->getAutoMax());
    send(message);
}

void COrlexGrid::updateLegend(int nSlot)
{
    createTerrain(nSlot);
    if (nSlot != 0 && nSlot != 10)
        return;
    SharedLegend& legend = sharedLegend();
    if (legend.nId == 0)
        return;
    Q::UpdateLegendMessage message;
    message.Id = legend.nId;
    message.Settings = legend.settings;
    message.Settings.Title.set(m_strTerrainName.toStdString());
    message.Settings.UnitName.set(std::string("meters"));
    message.Settings.NegateValues = true;
    send(message);
    legend.settings = message.Settings;
}

std::uint64_t COrlexGrid::legendId()
{
    return sharedLegend().nId;
}

void COrlexGrid::removeLegend()
{
    SharedLegend& legend = sharedLegend();
    if (legend.nId == 0)
        return;
    if (COrlexViewer* poViewer = COrlexViewer::existingInstance())
        poViewer->removeObject(legend.nId);
    legend.nId = 0;
    legend.nTerrainId = 0;
}

void COrlexGrid::updateLegendColors()
{
    SharedLegend& legend = sharedLegend();
    // Never makes a controller: the controller itself calls this while it changes colours.
    COrlexViewer* poViewer = legend.nId != 0 ? COrlexViewer::existingInstance() : nullptr;
    if (!poViewer)
        return;
    QColor oText;
    QColor oBackground;
    poViewer->getLabelColors(oText, oBackground);
    Q::UpdateLegendMessage message;
    message.Id = legend.nId;
    message.Settings = legend.settings;
    message.Settings.LabelColor = byteColor(oText);
    message.Settings.LabelBackgroundColor = byteColor(oBackground);
    if (const auto pDispatcher = poViewer->getDispatcher())
        pDispatcher->sendMessage(message);
    legend.settings = message.Settings;
}

void COrlexGrid::onPropertyRangeUpdated(float fMin, float fMax, const std::string& strProperty)
{
    m_propertyRanges[strProperty] = {fMin, fMax};
    if (!m_poTarget0Map)
        return;
    m_poTarget0Map->setMin(fMin);
    m_poTarget0Map->setMax(fMax);
    if (strProperty == "Height") {
        m_fDataMin = -fMax;
        m_fDataMax = -fMin;
        if (!m_slotMaps.empty() && m_slotMaps[0]) {
            m_slotMaps[0]->setMin(-fMax);
            m_slotMaps[0]->setMax(-fMin);
        }
        return;
    }
    for (int nSlot = 1; nSlot < static_cast<int>(std::size(s_aSlots)); ++nSlot) {
        const SlotInfo& info = s_aSlots[nSlot];
        if (!info.szProperty || strProperty != info.szProperty)
            continue;
        if (static_cast<std::size_t>(nSlot) >= m_slotMaps.size() || !m_slotMaps[static_cast<std::size_t>(nSlot)])
            return;
        ColorMap& oMap = *m_slotMaps[static_cast<std::size_t>(nSlot)];
        oMap.setMin(fMin);
        oMap.setMax(fMax);
        Q::SetColorMapRangeMessage colours;
        colours.Id = m_nTerrainId;
        colours.ColorMap.StartColor = toColor(oMap.getStartColor());
        colours.ColorMap.EndColor = toColor(oMap.getStopColor());
        colours.ColorMap.ClockWise = false;
        colours.ColorMap.AutoRange = false;
        colours.ColorMap.Range.Min = static_cast<float>(oMap.getMin());
        colours.ColorMap.Range.Max = static_cast<float>(oMap.getMax());
        colours.ColorMap.Wrap = 0;
        send(colours);

        const SharedLegend& legend = sharedLegend();
        if (legend.nId == 0)
            return;
        Q::UpdateLegendMessage update;
        update.Id = legend.nId;
        update.Settings = legend.settings;
        update.Settings.Title.set(std::string(info.szTitle));
        update.Settings.UnitName.set(std::string(info.szUnit));
        update.Settings.NegateValues = false;
        send(update);
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// Height, scale and descriptors

void COrlexGrid::setGridVariable(const QString& strVariable)
{
    m_strHeightVariable = strVariable;
    const QString strName = m_strHeightVariable + m_strHeightAggregate;
    if (strName == m_strTerrainName)
        return;
    m_strTerrainName = strName;
    updateLegend(10);
}

void COrlexGrid::setGridOperation(const QString& strOperation)
{
    m_strHeightAggregate = strOperation;
    const QString strName = m_strHeightVariable + m_strHeightAggregate;
    if (strName == m_strTerrainName)
        return;
    m_strTerrainName = strName;
    updateLegend(10);
}

void COrlexGrid::setScale(int nDepthFactor, int nLodBias)
{
    qDebug("Set scale");
    float fScale = 1.0f;
    switch (nDepthFactor) {
    case 1:
        fScale = 2.0f;
        break;
    case 2:
        fScale = 5.0f;
        break;
    case 3:
        fScale = 10.0f;
        break;
    default:
        break;
    }
    if (nLodBias == 0)
        s_fLastScale = fScale;
    else if (nLodBias > 0)
        fScale = s_fLastScale;
    Q::UpdateGridEngineTerrainMessage message;
    static_cast<O::UpdateObjectMessage&>(message).Id = 0;
    message.Id = m_nTerrainId;
    message.HeightScale = fScale;
    message.LodBias = static_cast<float>(nLodBias);
    send(message);
}

void COrlexGrid::setHighlightColor(const QColor& oColour)
{
    if (m_poViewer)
        m_poViewer->setHighlightColor(oColour);
}

void COrlexGrid::buildPropertyLists()
{
    // Once per grid, however often the survey reports itself loaded.
    if (!m_gridAttributes.isEmpty() || !m_pointAttributes.isEmpty())
        return;
    const auto row = [](const char* szOperation, const char* szName, const char* szUnit, int nScale, int nSize) {
        return GridPropertyInfo{QString::fromLatin1(szOperation), QString::fromLatin1(szName), QString::fromLatin1(szUnit), nScale, nSize};
    };
    m_gridAttributes << row("AreaAverage", "Reflect", "db", 1, 4) << row("Max", "Depth Diff", "m", 100, 4)
                     << row("Sum", "CellPoints", "1", 1, 4) << row("Max", "Distance plane", "m", 100, 4)
                     << row("StdDeviation", "StdDeviation.Zt", "m", 100, 4);
    m_pointAttributes << row("Op", "Time", "ms", 1, 8) << row("Op", "Depth Flag", "1", 1, 4) << row("Op", "Residual", "m", 100, 4)
                      << row("Op", "Reflect", "db", 1, 4) << row("Op", "Range", "ms", 1, 4) << row("Op", "Beam No", "1", 1, 4)
                      << row("Op", "Angle", "degrees", 100, 4) << row("Op", "Graze Angle", "degrees", 100, 4)
                      << row("Op", "Phase / Amplitude", "1", 1, 4) << row("Op", "Quality factor", "1", 1, 4)
                      << row("Op", "Horizontal error", "1", 1, 4) << row("Op", "Vertical Error", "1", 1, 4);
}

// ---------------------------------------------------------------------------------------------
// Track and coverage lines

void COrlexGrid::setTrackLines(const TrackSet& tracks)
{
    qDebug() << "Start COrlexGrid::setTrackLines";
    const O::Color colour = toColor(m_trackLineColour);
    for (const TrackRecord& record : tracks) {
        const QString strRecord = QString::fromLatin1(record.name);
        const QString strName = m_strPath + QLatin1Char('/') + strRecord;

        O::CreateLineMessage line;
        line.Id = objectIdAllocator()->allocate();
        line.Layer.set(std::string("Tracks"));
        line.MaterialData.Material.DiffuseColor = colour;
        line.MaterialData.Material.LineWidth.set(static_cast<float>(m_nTrackLineWidth));
        const int nPoints = record.pointCount();
        line.LineData.Positions.reserve(static_cast<std::size_t>(nPoints) * 3);
        line.LineData.Indices.reserve(static_cast<std::size_t>(nPoints) + 1);
        for (int i = 0; i < nPoints; ++i) {
            const auto k = static_cast<std::size_t>(i) * 3;
            line.LineData.Positions.push_back(static_cast<float>(record.points[k] + record.originEast));
            line.LineData.Positions.push_back(static_cast<float>(record.points[k + 1] + record.originNorth));
            line.LineData.Positions.push_back(record.points[k + 2]);
            line.LineData.Indices.push_back(i);
        }
        line.LineData.Indices.push_back(-1);
        send(line);

        // A track drawn again (its file has grown) takes the place of its old line.
        const TrackLineInfo info{0, line.Id, strName, record.averageHeading, record.averageSpeed};
        const auto itKnown = std::find_if(m_trackLines.begin(), m_trackLines.end(),
                                          [&](const TrackLineInfo& known) { return known.name == strName; });
        if (itKnown != m_trackLines.end()) {
            removeLine(itKnown->objectId);
            *itKnown = info;
        } else {
            m_trackLines.push_back(info);
        }
        if (m_poViewer)
            m_poViewer->addObject(line.Id, ViewerObjectInfo{2, m_strPath, false});

        const auto itCoverage = std::find_if(m_coverageLines.begin(), m_coverageLines.end(),
                                             [&](const TrackLineInfo& known) { return known.name == strRecord; });
        if (itCoverage != m_coverageLines.end()) {
            removeLine(itCoverage->objectId);
            m_coverageLines.erase(itCoverage);
        }
        const int nSecondary = record.secondaryPointCount();
        if (nSecondary == 0)
            continue;
        O::CreateLineMessage coverage;
        coverage.Id = objectIdAllocator()->allocate();
        coverage.Layer.set(std::string("Coverage"));
        coverage.MaterialData.Material.DiffuseColor = colour;
        coverage.MaterialData.Material.LineWidth.set(2.0f);
        for (int j = 0; j < nSecondary; ++j) {
            const auto k = static_cast<std::size_t>(j) * 3;
            coverage.LineData.Positions.push_back(static_cast<float>(record.secondaryPoints[k] + record.originEast));
            coverage.LineData.Positions.push_back(static_cast<float>(record.secondaryPoints[k + 1] + record.originNorth));
            coverage.LineData.Positions.push_back(0.0f);
            coverage.LineData.Indices.push_back(j);
            if (j > 0 && j % 2 == 0)
                coverage.LineData.Indices.push_back(-1);
        }
        coverage.LineData.Indices.push_back(-1);
        send(coverage);
        if (m_poViewer)
            m_poViewer->addObject(coverage.Id, ViewerObjectInfo{3, m_strPath, false});
        m_coverageLines.push_back(TrackLineInfo{1, coverage.Id, strRecord, 0, 0});
    }
    qDebug() << "Done COrlexGrid::setTrackLines";
}

void COrlexGrid::setTracksVisible(bool bVisible)
{
    if (!m_poViewer)
        return;
    if (bVisible)
        m_poViewer->showLayer(QStringLiteral("Tracks"));
    else
        m_poViewer->hideLayer(QStringLiteral("Tracks"));
}

void COrlexGrid::setCoverageVisible(bool bVisible)
{
    if (!m_poViewer)
        return;
    if (bVisible)
        m_poViewer->showLayer(QStringLiteral("Coverage"));
    else
        m_poViewer->hideLayer(QStringLiteral("Coverage"));
}

int COrlexGrid::setTrackLineWidth(int nWidth)
{
    m_nTrackLineWidth = nWidth;
    for (const TrackLineInfo& line : m_trackLines) {
        O::UpdateMaterialMessage message;
        message.Id = line.objectId;
        message.Material.Material.DiffuseColor = toColor(m_trackLineColour);
        message.Material.Material.LineWidth.set(static_cast<float>(nWidth));
        send(message);
    }
    return static_cast<int>(m_trackLines.size());
}

int COrlexGrid::setTrackLineColor(const QColor& oColour)
{
    m_trackLineColour = oColour;
    for (const TrackLineInfo& line : m_trackLines) {
        O::UpdateMaterialMessage message;
        message.Id = line.objectId;
        message.Material.Material.DiffuseColor = toColor(oColour);
        message.Material.Material.LineWidth.set(static_cast<float>(m_nTrackLineWidth));
        send(message);
    }
    for (const TrackLineInfo& line : m_coverageLines) {
        O::UpdateMaterialMessage message;
        message.Id = line.objectId;
        message.Material.Material.DiffuseColor = toColor(oColour);
        send(message);
    }
    return static_cast<int>(m_coverageLines.size());
}

std::uint64_t COrlexGrid::findTrackLineId(const QString& strText) const
{
    for (const TrackLineInfo& line : m_trackLines)
        if (line.name.contains(strText))
            return line.objectId;
    return 0;
}

QString COrlexGrid::getTrackLineInfo(std::uint64_t nObjectId, int& nHeading, int& nSpeed) const
{
    for (const TrackLineInfo& line : m_trackLines) {
        if (line.objectId == nObjectId) {
            nHeading = line.heading;
            nSpeed = line.speed;
            return line.name;
        }
    }
    nHeading = 0;
    nSpeed = 0;
    return QString();
}

// ---------------------------------------------------------------------------------------------
// State

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

void COrlexGrid::getDataRange(float& fMin, float& fMax) const
{
    fMin = m_fDataMin;
    fMax = m_fDataMax;
}

bool COrlexGrid::getSlotDataRange(int nKind, int nIndex, double& dMin, double& dMax) const
{
    const int nSlot = nKind == 1 ? nIndex + 1 : 0;
    if (nSlot < 0 || nSlot >= static_cast<int>(std::size(s_aSlots)) || !s_aSlots[nSlot].szProperty)
        return false;
    const auto found = m_propertyRanges.find(s_aSlots[nSlot].szProperty);
    if (found == m_propertyRanges.end()) {
        // Heights also come with the terrain's height range.
        if (nSlot != 0 || !(m_dZMax > m_dZMin))
            return false;
        dMin = -m_dZMax;
        dMax = -m_dZMin;
        return true;
    }
    if (nSlot == 0) {
        // Heights are negative depths.
        dMin = -static_cast<double>(found->second.second);
        dMax = -static_cast<double>(found->second.first);
    } else {
        dMin = found->second.first;
        dMax = found->second.second;
    }
    return true;
}
