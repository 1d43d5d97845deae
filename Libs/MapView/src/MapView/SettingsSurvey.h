// Settings group 1 ("Survey"): how every open survey grid is drawn; each value is applied to
// every survey open in the view.
#pragma once

#include "QtAppFramework/SettingsGroup.h"

#include <array>

class COrlexGrid;

class CSettingsSurvey : public CSettingsGroup {
    Q_OBJECT
public:
    enum SettingId {
        GridGroup = 0,
        GridVisibility = 1,
        GridColor = 2,
        GridColorMap = 3,
        GridOperation = 8,
        DepthFactor = 9,
        GridVariable = 10,
        AutoReloadGrids = 14,
        AutoReloadInterval = 15,
        LodOverride = 16,
        PointsColorMapColor = 20,
        PointsColorMap = 21,
        TrackLineGroup = 25,
        TrackLineVisibility = 26,
        TrackLineColor = 27,
        TrackLineWidth = 28,
        TrackLineTrackVisibility = 29,
        TrackLineCoverageVisibility = 30,
        PositionLineColorSetup = 35,
        PositionLineSetup = 36,
        PositionLineColorFlag1 = 38,
        PositionLineColorFlag2 = 39,
        PositionLineColorFlag3 = 40,
        PositionSystemSensorId0 = 43,
        PositionSystemLineColor0 = 44,
        PositionSystemShowFlags0 = 45,
        OverlayGroup = 72,
        MiscGroup = 73,
        FloatingImagesVisibility = 74,
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
    QVariant value(int id) const;
    // The flag and sensor rows read and write the survey manager's tables: a flag colour, and
    // the colour and show flag of the sensor named by the row's sensor-id setting.
    bool readFromSurveyManager(int id, QVariant& vOut) const;
    void writeToSurveyManager(int id, const QVariant& vValue);
    // What a setting does to one open survey.
    void applyToGrid(int id, COrlexGrid& oGrid);

    std::array<QVariant, SettingCount> m_aValues;
    bool m_bPending = false;
};
