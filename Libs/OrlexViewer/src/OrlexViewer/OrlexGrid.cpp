#include "OrlexViewer/OrlexGrid.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace O = ::Tavrin::Dremm::Orlex;
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
    for (const std::vector<TrackLineInfo>* pLines : {&m_trackLines, &m_coverageLines}) {
        for (const TrackLineInfo& line : *pLines) {
            if (m_poViewer)
                m_poViewer->removeObject(line.objectId);
        }
    }
    m_trackLines.clear();
    m_coverageLines.clear();
}

void COrlexGrid::setTrackLines(const TrackSet& tracks)
{
    qDebug() << "Start COrlexGrid::setTrackLines";
    O::Color colour;
    colour.R = static_cast<float>(m_trackLineColour.redF());
    colour.G = static_cast<float>(m_trackLineColour.greenF());
    colour.B = static_cast<float>(m_trackLineColour.blueF());
    colour.A = 1.0f;
    for (const TrackRecord& record : tracks) {
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
        if (m_pDispatcher)
            m_pDispatcher->sendMessage(line);

        const QString strName = m_strPath + QLatin1Char('/') + QString::fromLatin1(record.name);
        const bool bKnown = std::any_of(m_trackLines.begin(), m_trackLines.end(),
                                        [&](const TrackLineInfo& known) { return known.name.contains(strName); });
        if (!bKnown)
            m_trackLines.push_back(TrackLineInfo{0, line.Id, strName, record.averageHeading, record.averageSpeed});
        if (m_poViewer)
            m_poViewer->addObject(line.Id, ViewerObjectInfo{2, m_strPath, false});

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
        if (m_pDispatcher)
            m_pDispatcher->sendMessage(coverage);
        if (m_poViewer)
            m_poViewer->addObject(coverage.Id, ViewerObjectInfo{3, m_strPath, false});
        m_coverageLines.push_back(TrackLineInfo{1, coverage.Id, QString::fromLatin1(record.name), 0, 0});
    }
    qDebug() << "Done COrlexGrid::setTrackLines";
}

ColorMap* COrlexGrid::getColorMap(int nTarget, int, int)
{
    if (nTarget != 0)
        return nullptr;
    if (!m_poTarget0Map)
        m_poTarget0Map = std::make_unique<ColorMap>();
    return m_poTarget0Map.get();
}

void COrlexGrid::setColorMap(ColorMap* poMap, int, int nTarget, int)
{
    if (!poMap || nTarget != 0)
        return;
    ColorMap* poOwn = getColorMap(0, 0, 0);
    if (poMap != poOwn)
        poOwn->load(poMap->save());
    if (!m_bTerrainCreated || m_bTerrainRemoved)
        return;
    // The height colours run from the deepest (stop) to the shallowest (start) value.
    const auto colour = [](const QColor& c) {
        O::Color out;
        out.R = static_cast<float>(c.redF());
        out.G = static_cast<float>(c.greenF());
        out.B = static_cast<float>(c.blueF());
        out.A = 1.0f;
        return out;
    };
    Q::SetColorMapRangeMessage message;
    message.Id = m_nTerrainId;
    Q::ColorMapData& data = message.ColorMap;
    data.StartColor = colour(poOwn->getStopColor());
    data.EndColor = colour(poOwn->getStartColor());
    data.ClockWise = poOwn->getDirection() == ColorMap::CCW;
    data.AutoRange = poOwn->getAutoMax();
    data.Range.Min = static_cast<float>(-poOwn->getMax());
    data.Range.Max = static_cast<float>(-poOwn->getMin());
    data.Wrap = static_cast<std::int32_t>(poOwn->getEndMode());
    const QVariantList starts = poOwn->startList();
    const QVariantList stops = poOwn->stopList();
    const QVariantList colours = poOwn->colorList();
    for (int i = 0; i < colours.size() && i < starts.size() && i < stops.size(); ++i) {
        Q::StaticColorRange band;
        band.Color = colour(colours.at(i).value<QColor>());
        band.Range.Min = static_cast<float>(-stops.at(i).toDouble());
        band.Range.Max = static_cast<float>(-starts.at(i).toDouble());
        data.StaticColorRanges.push_back(band);
    }
    if (m_pDispatcher)
        m_pDispatcher->sendMessage(message);
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
