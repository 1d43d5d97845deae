#include "protocol.h"

#include <map>

namespace orlex_standin {

const char* const kCore = "Tavrin.Dremm.Orlex.";
const char* const kQuennet = "Tavrin.Dremm.Orlex.Extensions.Quennet.";

namespace {

const std::map<std::string, int>& clientTypes()
{
    static const std::map<std::string, int> types = [] {
        std::map<std::string, int> t;
        const std::string core = kCore;
        const std::string ext = kQuennet;
        for (const char* name : {"OrlexVersionMessage", "TerminateMessage", "TerminatedMessage", "LoadExtensionMessage",
                                 "DestroyObjectMessage"})
            t[core + name] = 1;
        // Bases CreateObjectMessage, UpdateObjectMessage, UpdateObjectsMessage and ViewerMessage.
        for (const char* name : {"CreateLineMessage", "CreateMeshMessage", "CreateModelMessage", "CreateCubeMessage",
                                 "UpdateVisibilityMessage", "UpdatePropertiesMessage", "UpdateLineMessage",
                                 "UpdateMaterialMessage", "UpdateScaleMessage", "UpdateMeshMessage",
                                 "PositionUpdateMessage", "RotationUpdateMessage", "UpdatePositionHistoryMessage",
                                 "CreateViewerMessage", "ResizeViewerMessage", "DestroyViewerMessage",
                                 "UpdateConfigurationMessage", "CreateLayersMessage", "UpdateLayersVisibilityMessage",
                                 "SetCursorMessage", "SetInteractionModeMessage", "EnableDollyMessage",
                                 "EnableDoubleClickMessage", "SetInteractionActionsMessage",
                                 "QueryNavigationStateMessage", "CreateRasterSource", "CreateTerrainMessage",
                                 "CreateTerrainFromJsonMessage", "CreateOceanMessage", "CreateLabelMessage"})
            t[core + name] = 2;
        // Bases NavigationMessage, CreateOverlayMessage and UpdateOverlayMessage.
        for (const char* name : {"SetNavigationPresetMessage", "SetCameraDataMessage", "SetProjectionModeMessage",
                                 "CreateOverlayLabelMessage", "UpdateOverlayLabelMessage"})
            t[core + name] = 3;
        t[ext + "CreateGraticuleMessage"] = 1;
        for (const char* name : {"CreateGridEngineTerrainMessage", "UpdateGridEngineTerrainMessage",
                                 "SetColorMapRangeMessage", "CreatePointBufferMessage", "UpdatePointBufferMessage",
                                 "AddToPointBufferMessage", "UpdateGraticuleMessage", "CreateLegendMessage",
                                 "UpdateLegendMessage"})
            t[ext + name] = 2;
        return t;
    }();
    return types;
}

} // namespace

std::optional<int> clientBaseParts(const std::string& type)
{
    const auto found = clientTypes().find(type);
    if (found == clientTypes().end())
        return std::nullopt;
    return found->second;
}

bool clientDecodes(const std::string& type, bool extensionLoaded)
{
    static const char* const core[] = {
        "ErrorMessage", "HandshakeMessage", "KeyboardEventMessage", "ListObjectsResponseMessage",
        "MeasurementMessage", "MouseEventMessage", "MouseMovedMessage", "ObjectPickedMessage",
        "QueryNavigationStateResponseMessage", "QueryObjectDistanceResponseMessage",
        "QueryInteractionActionsResponseMessage", "QueryProjectedCoordinatesResponseMessage",
        "ShowContextMenuMessage", "TerminatedMessage", "ViewerCreatedMessage", "ViewerDestroyedMessage",
        "ExtensionLoadedMessage", "RasterCreatedMessage", "QueryTerrainColorsResponseMessage",
        "QueryTerrainElevationsResponseMessage"};
    static const char* const extension[] = {"SurveyStaticMetaInfoMessage", "SurveyExtentUpdatedMessage",
                                            "SurveyZRangeUpdatedMessage", "SurveyPropertyRangeUpdatedMessage"};
    for (const char* name : core)
        if (type == std::string(kCore) + name)
            return true;
    if (extensionLoaded)
        for (const char* name : extension)
            if (type == std::string(kQuennet) + name)
                return true;
    return false;
}

std::string shortName(const std::string& type)
{
    const auto dot = type.rfind('.');
    return dot == std::string::npos ? type : type.substr(dot + 1);
}

} // namespace orlex_standin
