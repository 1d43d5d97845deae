#include "MapView/SettingsSurvey.h"

#include "MapView/QaSurveyManager.h"

#include <QColor>

namespace {

const char* const s_aKeys[CSettingsSurvey::SettingCount] = {
    "GridGroup", "GridVisibility", "GridColor", "GridColorMap", "GridDrawStyle",
    "GridLineWidth", "GridPointSize", "GridLod", "GridOperation", "DepthFactor",
    "GridVariable", "GridMaxCells", "GridCacheSize", "LightDirection", "AutoReloadGrids",
    "AutoReloadInterval", "LodOverride", "PointsGroup", "PointsVisibility", "PointsColor",
    // Ids 20 and 21 share one key, so the store holds one value for both.
    "PointsColorMap", "PointsColorMap", "PointsPointSize", "PointsPointType", "PointsMaxPoints",
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

void CSettingsSurvey::refreshFromSurveyManager()
{
    CQaSurveyManager* poManager = CQaSurveyManager::instance();
    m_aValues[35] = 0;
    m_aValues[36] = 1;
    const int aFlags[] = {0, 255, 255};
    for (int i = 0; i < 3; ++i) {
        int nColour = 0;
        poManager->getFlagColor(aFlags[i], nColour);
        m_aValues[static_cast<std::size_t>(38 + i)] = colorVariant(static_cast<unsigned int>(nColour));
    }
    for (const int nIdSetting : s_aSensorIdSettings) {
        const int nSensor = m_aValues[static_cast<std::size_t>(nIdSetting)].toInt();
        int nColour = 0;
        bool bShow = false;
        poManager->getSensorColor(nSensor, nColour);
        poManager->getSensorShowFlags(nSensor, bShow);
        m_aValues[static_cast<std::size_t>(nIdSetting + 1)] = colorVariant(static_cast<unsigned int>(nColour));
        m_aValues[static_cast<std::size_t>(nIdSetting + 2)] = bShow;
    }
}

void CSettingsSurvey::get(int id, QVariant& vOut)
{
    if (!isValidId(id))
        return;
    refreshFromSurveyManager();
    vOut = m_aValues[static_cast<std::size_t>(id)];
}

void CSettingsSurvey::set(int id, const QVariant& vValue)
{
    if (!isValidId(id))
        return;
    m_aValues[static_cast<std::size_t>(id)] = vValue;
}
