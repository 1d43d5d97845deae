#include "SettingsApplication.h"

namespace {

const SettingRow* rows()
{
    static const SettingRow s_aRows[CSettingsApplication::SettingCount] = {
        {"ApplicationGroup", 0},
        {"GeneralGroup", 0},
        {"AutoSaveSettings", false},
        {"AutoSaveLayout", false},
        {"AutoLoadSettings", true},
        {"AutoLoadLayout", true},
        {"AutoLoadSurvey", false},
        {"LastLoadedSurvey", QStringLiteral("")},
        {"OpenSurveyAction", 0},
        {"RecentSurveyListLength", 5},
        {"ConfigurationGroup", 0},
        {"RezarPort", 15678},
        {"MainAppPort", 15679},
        {"GridSearchPath", QStringLiteral("c:/qeldata/grids;d:/qeldata/grids")},
        {"DisplayWidthMm", 560},
        {"DisplayHeightMm", 350},
        {"DisplayWidthPixels", 1920},
        {"DisplayHeightPixels", 1200},
        {"GraphicsGroup", 0},
        {"AntiAliasingEnable", 0},
        {"AntiAliasingValue", 0},
        {"DoubleBufferEnable", 0},
        {"QuadBufferEnable", 0},
        {"AlphaEnable", 0},
        {"DebugGroup", 0},
        {"UseSelectionColor", false},
        {"UseCopyOfSharedMemory", false},
        {"HelpPath", QStringLiteral("../../Doc/QEL/QEL5/default.htm")},
        {"GnssPostPath", QStringLiteral("gnsspost/gnsspostgui.exe")},
        {"GEExportPath", QStringLiteral("c:/temp")},
    };
    return s_aRows;
}

} // namespace

CSettingsApplication::CSettingsApplication(int id, const QString& name, CMainWindow*, QObject* parent)
    : CTableSettingsGroup(id, name, parent, rows(), SettingCount)
{
    createSettings(this, SettingCount);
}

void CSettingsApplication::set(int id, const QVariant& vValue)
{
    store(id, vValue);
}
