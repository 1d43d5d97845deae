// Settings group 2 ("Application"): start-up switches, ports, display geometry, graphics
// switches and paths.
#pragma once

#include "TableSettingsGroup.h"

class CMainWindow;

class CSettingsApplication : public CTableSettingsGroup {
    Q_OBJECT
public:
    enum SettingId {
        ApplicationGroup = 0,
        GeneralGroup = 1,
        AutoSaveLayout = 3,
        AutoLoadSettings = 4,
        AutoLoadLayout = 5,
        RecentSurveyListLength = 9,
        AntiAliasingValue = 20,
        QuadBufferEnable = 22,
        HelpPath = 27,
        GEExportPath = 29,
        SettingCount = 30
    };

    // The window is not kept.
    CSettingsApplication(int id, const QString& name, CMainWindow* poWindow, QObject* parent);

    // Takes the value; the group configures nothing else.
    void set(int id, const QVariant& vValue) override;
};
