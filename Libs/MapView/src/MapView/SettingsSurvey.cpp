#include "MapView/SettingsSurvey.h"

#include "MapView/QaSurveyManager.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"

#include <QColor>

namespace {

const char* const s_aKeys[CSettingsSurvey::SettingCount] = {
    "GridGroup", "GridVisibility", "GridColor", "GridColorMap", "GridDrawStyle",
    "GridLineWidth", "GridPointSize", "GridLod", "GridOperation", "DepthFactor",
    "GridVariable", "GridMaxCells", "GridCacheSize", "LightDirection", "AutoReloadGrids",
    "AutoReloadInterval", "LodOverride", "PointsGroup", "PointsVisibility", "PointsColor",
    // Id 21 keeps the key both ids once shared: the value files hold under it is id 21's.
    "PointsColorMapColor", "PointsColorMap", "PointsPointSize", "PointsPointType", "PointsMaxPoints",
    "TrackLineGroup", "TrackLineVisibility", "TrackLineColor", "TrackLineWidth", "TrackLineTrackVisibility",
    "TrackLineCoverageVisibility", "PositionLineGroup", "PositionLineVisibility", "PositionLineWidth",
    "PositionLinePointSize", "PositionLineColorSetup", "PositionLineSetup", "PositionFlagGroup",
    "PositionLineColorFlag1", "PositionLineColorFlag2", "PositionLineColorFlag3", "PositionSystemGroup",
    "PositionSystemGroupSensor0", "PositionSystemSensorId0", "PositionSystemLineColor0", "PositionSystemShowFlags0",
    "PositionSystemGroupSensor1", "PositionSystemSensorId1", "PositionSystemLineColor1", "PositionSystemShowFlags1",
    "PositionSystemGroupSensor2", "PositionSystemSensorId2", "PositionSystemLineColor2", "PositionSystemShowFlags2",
    "PositionSystemGroupSensor3", "PositionSystemSensorId3", "PositionSystemLineColor3", "PositionSystemShowFlags3",
    "PositionSystemGroupSensor4", "PositionSystemSensorId4", "PositionSystemLineColor4", "PositionSystemShowFlags4",
    "DepthLabelsGroup", "DepthLabelsVisibility", "DepthLabelsColor", "DepthLabelsColorMap", "DepthLabelsFont",
    "DepthLabelsFontSize", "ContourLineGroup", "ContourLineVisibility", "ContourLineColor", "ContourLineWidth",
    "OverlayGroup", "MiscGroup", "FloatingImagesVisibility", "HightlightColor", "TailGroup", "PlanningGroup",
};

// First sensor-id setting of the five position systems; the colour and show flag follow it.
constexpr int s_aSensorIdSettings[] = {43, 47, 51, 55, 59};

// The quality flags whose colours PositionLineColorFlag1 to 3 (ids 38 to 40) show.
constexpr int s_aQualityFlags[] = {0, 255, 1};
constexpr int FirstFlagSetting = 38;

// The height layers of GridVariable and the statistics of GridOperation.
const char* const s_aGridVariables[] = {"z", "zT", "zV", "zG", "zR"};
const char* const s_aGridOperations[] = {"Min", "Median"};

// Settings whose value has no effect yet: a warning for each open survey.
bool isNotImplemented(int id)
{
    switch (id) {
    case CSettingsSurvey::GridGroup:
    case CSettingsSurvey::GridColor:
    case CSettingsSurvey::GridColorMap:
    case CSettingsSurvey::AutoReloadGrids:
    case CSettingsSurvey::AutoReloadInterval:
    case CSettingsSurvey::TrackLineGroup:
    case CSettingsSurvey::TrackLineVisibility:
    case CSettingsSurvey::MiscGroup:
    case CSettingsSurvey::FloatingImagesVisibility:
        return true;
    default:
        return false;
    }
}

// A colour as the manager's tables keep it: 0xRRGGBB00.
int tableColour(const QColor& oColour)
{
    return static_cast<int>((static_cast<unsigned>(oColour.red()) << 24) | (static_cast<unsigned>(oColour.green()) << 16)
                            | (static_cast<unsigned>(oColour.blue()) << 8));
}

// The survey registry of the 3-D view controller; null while there is none.
COrlexDataManager* surveyRegistry()
{
    COrlexViewer* poViewer = COrlexViewer::existingInstance();
    return poViewer ? poViewer->getDataManager() : nullptr;
}

bool isValidId(int id)
{
    return id >= 0 && id < CSettingsSurvey::SettingCount;
}

} // namespace

CSettingsSurvey::CSettingsSurvey(int id, const QString& name, QObject* parent) : CSettingsGroup(id, name, parent)
{
    initDefaults();
    createSettings(this, SettingCount);
}

CSettingsSurvey::~CSettingsSurvey()
{
    deleteSettings();
}

void CSettingsSurvey::initDefaults()
{
    m_bPending = false;
    const auto set = [this](int id, const QVariant& vValue) { m_aValues[static_cast<std::size_t>(id)] = vValue; };
    set(0, true);
    set(1, true);
    set(2, QColor(255, 255, 255));
    set(3, 0);
    set(4, 0);
    set(5, 1);
    set(6, 3);
    set(7, 0);
    set(8, 1);
    set(9, 0);
    set(10, 0);
    set(11, 1000000.0);
    set(14, false);
    set(15, 10);
    set(16, 0);
    set(17, false);
    set(18, true);
    set(19, QColor(255, 0, 255));
    set(20, QColor(255, 0, 0));
    set(21, 0);
    set(22, 1);
    set(23, 0);
    set(24, 10000000);
    set(25, false);
    set(26, true);
    set(27, QColor(160, 160, 164));
    set(28, 2);
    set(29, true);
    set(30, false);
    set(62, false);
    set(63, false);
    set(64, QColor(255, 255, 255));
    set(65, 0);
    set(68, false);
    set(69, false);
    set(70, QColor(0, 0, 0));
    set(71, 2);
    set(73, false);
    set(74, false);
    set(75, QColor(255, 255, 0));
    set(77, false);
}

void CSettingsSurvey::keyName(int id, const char** pszOut)
{
    *pszOut = isValidId(id) ? s_aKeys[id] : nullptr;
}

void CSettingsSurvey::afterApply()
{
    if (m_bPending)
        m_bPending = false;
}

bool CSettingsSurvey::readFromSurveyManager(int id, QVariant& vOut) const
{
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    if (id >= FirstFlagSetting && id < FirstFlagSetting + 3) {
        int nColour = 0;
        poManager->getFlagColor(s_aQualityFlags[id - FirstFlagSetting], nColour);
        vOut = colorVariant(static_cast<unsigned int>(nColour));
        return true;
    }
    for (const int nIdSetting : s_aSensorIdSettings) {
        if (id != nIdSetting + 1 && id != nIdSetting + 2)
            continue;
        const int nSensor = value(nIdSetting).toInt();
        if (id == nIdSetting + 1) {
            int nColour = 0;
            poManager->getSensorColor(nSensor, nColour);
            vOut = colorVariant(static_cast<unsigned int>(nColour));
        } else {
            bool bShow = false;
            poManager->getSensorShowFlags(nSensor, bShow);
            vOut = bShow;
        }
        return true;
    }
    return false;
}

void CSettingsSurvey::writeToSurveyManager(int id, const QVariant& vValue)
{
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    if (id >= FirstFlagSetting && id < FirstFlagSetting + 3) {
        const QColor oColour = vValue.value<QColor>();
        if (oColour.isValid())
            poManager->setFlagColor(s_aQualityFlags[id - FirstFlagSetting], tableColour(oColour));
        return;
    }
    for (const int nIdSetting : s_aSensorIdSettings) {
        const int nSensor = value(nIdSetting).toInt();
        if (id == nIdSetting + 1) {
            const QColor oColour = vValue.value<QColor>();
            if (oColour.isValid())
                poManager->setSensorColor(nSensor, tableColour(oColour));
        } else if (id == nIdSetting + 2 && vValue.isValid()) {
            poManager->setSensorShowFlags(nSensor, vValue.toBool());
        }
    }
}

QVariant CSettingsSurvey::value(int id) const
{
    return m_aValues[static_cast<std::size_t>(id)];
}

void CSettingsSurvey::get(int id, QVariant& vOut)
{
    if (!isValidId(id))
        return;
    if (readFromSurveyManager(id, vOut))
        return;
    const QVariant& vStored = m_aValues[static_cast<std::size_t>(id)];
    if (!vStored.isValid() && id == PositionLineColorSetup)
        vOut = 0;
    else if (!vStored.isValid() && id == PositionLineSetup)
        vOut = 1;
    else
        vOut = vStored;
}

void CSettingsSurvey::set(int id, const QVariant& vValue)
{
    if (!isValidId(id))
        return;
    const QVariant vPrevious = m_aValues[static_cast<std::size_t>(id)];
    m_aValues[static_cast<std::size_t>(id)] = vValue;
    writeToSurveyManager(id, vValue);
    // Another sensor: its colour and show flag are that sensor's, so that applying the rows
    // that follow does not hand it the previous sensor's.
    for (const int nIdSetting : s_aSensorIdSettings) {
        if (id != nIdSetting || vPrevious.toInt() == vValue.toInt())
            continue;
        for (int nRow = nIdSetting + 1; nRow <= nIdSetting + 2; ++nRow)
            if (CSetting* poSetting = findSetting(nRow))
                poSetting->load();
    }

    COrlexDataManager* poRegistry = surveyRegistry();
    if (!poRegistry)
        return;
    for (const QString& strName : poRegistry->getSurveys()) {
        COrlexGrid* poGrid = poRegistry->getSurvey(strName);
        if (poGrid)
            applyToGrid(id, *poGrid);
    }
}

void CSettingsSurvey::applyToGrid(int id, COrlexGrid& oGrid)
{
    const QVariant& vValue = m_aValues[static_cast<std::size_t>(id)];
    if (isNotImplemented(id)) {
        warnNotImplemented(id);
        return;
    }
    switch (id) {
    case GridVisibility:
        if (COrlexViewer* poViewer = COrlexViewer::existingInstance()) {
            if (vValue.toBool())
                poViewer->showLayer(QStringLiteral("Grids"));
            else
                poViewer->hideLayer(QStringLiteral("Grids"));
        }
        break;
    case GridOperation: {
        const int nOperation = vValue.toInt();
        if (nOperation >= 0 && nOperation < 2)
            oGrid.setGridOperation(QLatin1String(s_aGridOperations[nOperation]));
        break;
    }
    case GridVariable: {
        const int nVariable = vValue.toInt();
        if (nVariable >= 0 && nVariable < 5)
            oGrid.setGridVariable(QLatin1String(s_aGridVariables[nVariable]));
        break;
    }
    // Each of the two keeps the other's value, so the exaggeration survives the group being
    // applied in id order after every open. A positive override makes the grid use the last
    // exaggeration set without one, so the exaggeration goes first on its own.
    case DepthFactor:
    case LodOverride: {
        const int nDepthFactor = value(DepthFactor).toInt();
        const int nLodOverride = value(LodOverride).toInt();
        if (nLodOverride > 0) {
            oGrid.setScale(nDepthFactor, 0);
            oGrid.setScale(0, nLodOverride);
        } else {
            oGrid.setScale(nDepthFactor, nLodOverride);
        }
        break;
    }
    case HightlightColor:
        oGrid.setHighlightColor(vValue.value<QColor>());
        break;
    case TrackLineWidth:
        oGrid.setTrackLineWidth(vValue.toInt());
        break;
    case TrackLineTrackVisibility:
        oGrid.setTracksVisible(vValue.toBool());
        break;
    case TrackLineCoverageVisibility:
        oGrid.setCoverageVisible(vValue.toBool());
        break;
    case TrackLineColor: {
        CQaSurveyManager* poManager = CQaSurveyManager::instance();
        poManager->setTrackLineColor(vValue.value<QColor>().rgba());
        poManager->updateTrackLineColor();
        break;
    }
    default: // kept only
        break;
    }
}
