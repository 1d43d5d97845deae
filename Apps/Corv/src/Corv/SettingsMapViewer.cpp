#include "SettingsMapViewer.h"

#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"

#include <QColor>

namespace {

const SettingRow* rows()
{
    static const SettingRow s_aRows[CSettingsMapViewer::SettingCount] = {
        {"OverlayGroup", QVariant()},
        {"OverlayColour", QColor(Qt::lightGray)},
        {"OverlayFont", QStringLiteral("CourierNew")},
        {"OverlayFontSize", 10},
        {"GraticuleColour", QColor(Qt::darkGray)},
        {"GraticuleVisibility", true},
        {"GraticuleLabelFormat", 0},
        {"GridColourScaleVisibility", 2},
        {"PointsColourScaleVisibility", 2},
        {"TextColourScaleVisibility", 2},
        {"ViewGroup", QVariant()},
        {"CameraMode", QVariant()},
        {"NavigationFileSearchPath", QStringLiteral(".;c:/qelqamv/config")},
        {"NavigationFile2D", QStringLiteral("navigation2d.xml")},
        {"NavigationFile3D", QStringLiteral("navigation3d.xml")},
        {"BackgroundColour2D", QColor(Qt::black)},
        {"BackgroundColour3D", QColor(Qt::black)},
        {"S57MapVisibility", true},
        {"MapVisibility", true},
        {"DepthTailVisibility", true},
        {"DepthTailPointSize", 2},
        {"DepthTailCount", 50000},
        {"SafetyCountorVisibility", false},
        {"SafetyContourColor", QColor(Qt::white)},
        {nullptr, false},
        {"CogVectorLength", 1u},
        {"CogVectorColor", QColor(Qt::magenta)},
        {"ShipColor", QColor(Qt::cyan)},
        {nullptr, true},
        {nullptr, QColor(Qt::lightGray)},
        {"LoggingLabel", true},
        {nullptr, QVariant()},
        {"LightDirection", 0},
        {"PlanVisibility", true},
        {"PlanLineColor", QColor(Qt::red)},
        {"PlanPolyColor", QColor(Qt::green)},
        {"PlanActLineColor", QColor(Qt::magenta)},
        {"PlanLineStartColor", QColor(Qt::green)},
        {"PlanLineEndColor", QColor(Qt::red)},
        {"PlanActLineStartColor", QColor(Qt::darkCyan)},
        {"PlanActLineEndColor", QColor(Qt::darkRed)},
        {"UserObjPointCol", QColor(Qt::darkMagenta)},
        {"UserObjLineCol", QColor(Qt::cyan)},
        {"UserObjPolyCol", QColor(Qt::darkCyan)},
        {"QEL5PCAddr", QStringLiteral("127.0.0.1")},
    };
    return s_aRows;
}

QColor toColor(const QVariant& vValue)
{
    if (vValue.userType() == QMetaType::QColor)
        return vValue.value<QColor>();
    return vValue.canConvert<QColor>() ? vValue.value<QColor>() : QColor();
}

} // namespace

CSettingsMapViewer::CSettingsMapViewer(int id, const QString& name, QObject* parent)
    : CTableSettingsGroup(id, name, parent, rows(), SettingCount)
{
    createSettings(this, SettingCount);
}

void CSettingsMapViewer::get(int id, QVariant& vOut)
{
    if (id >= SettingCount)
        vOut.clear();
    else
        CTableSettingsGroup::get(id, vOut);
}

void CSettingsMapViewer::set(int id, const QVariant& vValue)
{
    QVariant vBefore;
    if (id >= 0 && id < SettingCount)
        CTableSettingsGroup::get(id, vBefore);
    if (!store(id, vValue) || id == QEL5PCAddr)
        return;
    switch (id) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 16:
        // Kept without effect: only a change (not the load of the stored value) is worth a warning.
        if (vBefore != vValue)
            warnNotImplemented(id);
        return;
    case SafetyContourColor:
    case TvgplObjectParent:
        return;
    default:
        break;
    }
    CMapView2D* poView = CQaMapViewManager::instance()->getMapView2D();
    if (!poView)
        return;
    if (id >= PlanLineColor && id <= UserObjPolyCol) {
        poView->setPlanColor(id - PlanVisibility, toColor(vValue));
        return;
    }
    switch (id) {
    case GraticuleColour:
        poView->setGraticuleColor(toColor(vValue));
        break;
    case GraticuleVisibility:
        poView->setGraticuleVisibility(vValue.toBool());
        break;
    case GraticuleLabelFormat:
        poView->setGraticuleFormat(static_cast<int>(vValue.toUInt()));
        break;
    case BackgroundColour2D:
        poView->set2DBackgroundColor(toColor(vValue));
        break;
    case S57MapVisibility:
    case MapVisibility:
        poView->setS57MapVisibility(vValue.toBool());
        break;
    case DepthTailVisibility:
        poView->setDepthTailVisibility(vValue.toBool());
        break;
    case DepthTailPointSize:
        poView->setDepthTailPntSize(vValue.toInt() > 0 ? vValue.toInt() : 1);
        break;
    case DepthTailCount:
        poView->setDepthTailCount(vValue.toInt());
        break;
    case SafetyCountorVisibility:
        emit poView->safetyCorrEnabled(vValue.toBool());
        break;
    case CogVectorVisible:
        poView->setCogVectorVisLen(vValue.toBool(), 0, 0);
        break;
    case CogVectorLength:
        poView->setCogVectorVisLen(false, vValue.toInt(), 1);
        break;
    case CogVectorColor:
        poView->setCogVectorColor(toColor(vValue));
        break;
    case ShipColor:
        poView->setShipColor(toColor(vValue));
        break;
    case RealtimePositionsShown:
        poView->setShowTrack(vValue.toBool());
        break;
    case RealtimePositionColour:
        poView->setRealtimeTrackColor(toColor(vValue));
        break;
    case LoggingLabel:
        poView->setLoggingLabelVisibility(vValue.toBool());
        break;
    case LightDirection:
        poView->setLightDirection(static_cast<int>(vValue.toUInt()));
        break;
    case PlanVisibility:
        poView->setPlanVisibility(vValue.toBool());
        break;
    default:
        break;
    }
}
