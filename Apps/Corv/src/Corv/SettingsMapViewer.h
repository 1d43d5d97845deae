// Settings group 16 ("MapViewer"): how the map view draws its overlay, graticule, background,
// vessel, depth tail, COG vector, plans and user objects, and the processing station's address.
// Applying a value passes it on to the 2-D map view at once.
#pragma once

#include "TableSettingsGroup.h"

class CSettingsMapViewer : public CTableSettingsGroup {
    Q_OBJECT
public:
    enum SettingId {
        OverlayGroup = 0,
        GraticuleColour = 4,
        GraticuleVisibility = 5,
        GraticuleLabelFormat = 6,
        BackgroundColour2D = 15,
        S57MapVisibility = 17,
        MapVisibility = 18,
        DepthTailVisibility = 19,
        DepthTailPointSize = 20,
        DepthTailCount = 21,
        SafetyCountorVisibility = 22,
        SafetyContourColor = 23,
        CogVectorVisible = 24,
        CogVectorLength = 25,
        CogVectorColor = 26,
        ShipColor = 27,
        RealtimePositionsShown = 28,
        RealtimePositionColour = 29,
        LoggingLabel = 30,
        TvgplObjectParent = 31,
        LightDirection = 32,
        PlanVisibility = 33,
        PlanLineColor = 34,
        UserObjPolyCol = 43,
        QEL5PCAddr = 44,
        SettingCount = 45
    };

    CSettingsMapViewer(int id, const QString& name, QObject* parent);

    // Out is cleared (made invalid) for an id above 44.
    void get(int id, QVariant& vOut) override;
    void set(int id, const QVariant& vValue) override;
};
