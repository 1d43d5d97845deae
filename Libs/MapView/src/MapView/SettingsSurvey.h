// Settings group 1 ("Survey"): how every open survey grid is drawn.
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <array>

class CSettingsSurvey : public CSettingsGroup {
    Q_OBJECT
public:
    enum SettingId {
        GridGroup = 0,
        GridVisibility = 1,
        GridOperation = 8,
        DepthFactor = 9,
        GridVariable = 10,
        TrackLineGroup = 25,
        TrackLineColor = 27,
        TrackLineWidth = 28,
        TrackLineTrackVisibility = 29,
        OverlayGroup = 72,
        MiscGroup = 73,
        HightlightColor = 75,
        PlanningGroup = 77,
        SettingCount = 78
    };

    CSettingsSurvey(int id, const QString& name, QObject* parent);
    ~CSettingsSurvey() override;

    void keyName(int id, const char** pszOut) override;
    void afterApply() override;
    void get(int id, QVariant& vOut) override;
    void set(int id, const QVariant& vValue) override;

signals:
    void gridChanged();
    void updateProcessingPoints();

private:
    void initDefaults();
    // The values kept by the survey manager's colour tables.
    void refreshFromSurveyManager();

    std::array<QVariant, SettingCount> m_aValues;
    bool m_bPending = false;
};
