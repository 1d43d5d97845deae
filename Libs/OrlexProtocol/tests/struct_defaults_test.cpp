#include "OrlexProtocol/Structs.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

namespace O = Tavrin::Dremm::Orlex;
namespace Q = Tavrin::Dremm::Orlex::Extensions::Quennet;

std::string show(bool value)
{
    return value ? "true" : "false";
}

std::string show(const std::string& value)
{
    return '"' + value + '"';
}

template <typename T>
std::string show(const T& value)
{
    std::ostringstream text;
    if constexpr (std::is_floating_point_v<T>)
        text << std::setprecision(std::is_same_v<T, float> ? 7 : 15) << value;
    else
        text << +value;
    return text.str();
}

template <typename T>
std::string show(const bond::nullable<T>& value)
{
    return value.hasvalue() ? show(value.value()) : "absent";
}

struct Row
{
    const char* field;
    std::string actual;
    std::string expected;
};

std::vector<Row> defaultRows()
{
    const O::CreateObjectMessage object;
    const Q::CreateLegendMessage legend;
    const Q::CreatePointBufferMessage pointBuffer;
    const O::LabelStyle style;
    const O::UpdateConfigurationMessage configuration;
    const O::TerrainProperties terrain;
    const O::OceanData ocean;
    const O::SetCameraDataMessage camera;
    return {
        {"CreateObjectMessage.Id", show(object.Id), "0"},
        {"CreateObjectMessage.ParentId", show(object.ParentId), "absent"},
        {"CreateObjectMessage.Name", show(object.Name), "absent"},
        {"CreateObjectMessage.Layer", show(object.Layer), "absent"},
        {"CreateObjectMessage.PositionData.Z", show(object.PositionData.Z), "0"},
        {"CreateObjectMessage.RotationData.X", show(object.RotationData.X), "0"},
        {"CreateObjectMessage.RotationData.W", show(object.RotationData.W), "1"},
        {"CreateObjectMessage.ScaleData.X", show(object.ScaleData.X), "1"},
        {"CreateObjectMessage.ScaleData.Z", show(object.ScaleData.Z), "1"},
        {"CreateObjectMessage.Visible", show(object.Visible), "true"},
        {"CreateObjectMessage.Pickable", show(object.Pickable), "true"},
        {"CreateObjectMessage.MaterialData.MaterialId", show(object.MaterialData.MaterialId), "absent"},
        {"CreateObjectMessage.MaterialData.Override", show(object.MaterialData.Override), "false"},
        {"CreateObjectMessage.MaterialData.OverrideColor", show(object.MaterialData.OverrideColor), "true"},
        {"CreateObjectMessage.MaterialData.OverrideAlpha", show(object.MaterialData.OverrideAlpha), "true"},
        {"Material.DiffuseColor.R", show(object.MaterialData.Material.DiffuseColor.R), "0.5"},
        {"Material.DiffuseColor.G", show(object.MaterialData.Material.DiffuseColor.G), "0.5"},
        {"Material.DiffuseColor.B", show(object.MaterialData.Material.DiffuseColor.B), "0.5"},
        {"Material.DiffuseColor.A", show(object.MaterialData.Material.DiffuseColor.A), "1"},
        {"Material.SpecularColor", object.MaterialData.Material.SpecularColor.hasvalue() ? "set" : "absent", "absent"},
        {"Material.LineWidth", show(object.MaterialData.Material.LineWidth), "absent"},
        {"Material.StippleFactor", show(object.MaterialData.Material.StippleFactor), "absent"},
        {"CreateObjectMessage.RenderSettings.Layer", show(object.RenderSettings.Layer), "0"},
        {"CreateObjectMessage.ViewerMask", show(object.ViewerMask), "18446744073709551615"},
        {"CreateLegendMessage.ViewerMask", show(legend.ViewerMask), "18446744073709551615"},
        {"CreateLegendMessage.SourceId", show(legend.SourceId), "0"},
        {"LegendSettings.Title", show(legend.Settings.Title), "absent"},
        {"LegendSettings.UnitName", show(legend.Settings.UnitName), "absent"},
        {"LegendSettings.DisplayValueScale", show(legend.Settings.DisplayValueScale), "1"},
        {"LegendSettings.NegateValues", show(legend.Settings.NegateValues), "false"},
        {"LegendSettings.LabelBackgroundColor.A", show(legend.Settings.LabelBackgroundColor.A), "1"},
        {"PointBufferSettings.Capacity", show(pointBuffer.Settings.Capacity), "1000000"},
        {"PointBufferSettings.PointsPerSubBuffer", show(pointBuffer.Settings.PointsPerSubBuffer), "100000"},
        {"PointBufferSettings.PointSize", show(pointBuffer.Settings.PointSize), "2"},
        {"ColorMapData.StartColor.R", show(pointBuffer.Settings.ColorMap.StartColor.R), "0.5"},
        {"ColorMapData.EndColor.A", show(pointBuffer.Settings.ColorMap.EndColor.A), "1"},
        {"ColorMapData.ClockWise", show(pointBuffer.Settings.ColorMap.ClockWise), "false"},
        {"ColorMapData.AutoRange", show(pointBuffer.Settings.ColorMap.AutoRange), "false"},
        {"ColorMapData.Range.Max", show(pointBuffer.Settings.ColorMap.Range.Max), "0"},
        {"ColorMapData.Wrap", show(pointBuffer.Settings.ColorMap.Wrap), "0"},
        {"ColorMapData.StaticColorRanges", show(pointBuffer.Settings.ColorMap.StaticColorRanges.size()), "0"},
        {"PointBufferSettings.ColorMapAutoRangeSource", show(pointBuffer.Settings.ColorMapAutoRangeSource), "absent"},
        {"PointBufferSettings.IncludeInRangeCalculation", show(pointBuffer.Settings.IncludeInRangeCalculation), "false"},
        {"LabelStyle.TextSize", show(style.TextSize), "20"},
        {"LabelStyle.Font", show(style.Font), "\"Segoe\""},
        {"LabelStyle.FontStyle", show(style.FontStyle), "0"},
        {"LabelStyle.TextColor.R", show(style.TextColor.R), "0.5"},
        {"LabelStyle.BackgroundColor.G", show(style.BackgroundColor.G), "0.5"},
        {"LabelStyle.OutlineColor.A", show(style.OutlineColor.A), "1"},
        {"LabelStyle.AnchorPosition", show(style.AnchorPosition), "2"},
        {"LabelStyle.EnableBackground", show(style.EnableBackground), "false"},
        {"LabelStyle.AlwaysOnTop", show(style.AlwaysOnTop), "true"},
        {"LabelData.Text", show(O::LabelData{}.Text), "\"\""},
        {"UpdateConfigurationMessage.ViewerId", show(configuration.ViewerId), "0"},
        {"UpdateConfigurationMessage.Confirmation", show(configuration.Confirmation), "1"},
        {"UpdateConfigurationMessage.Configuration", show(configuration.Configuration.size()), "0"},
        {"SetCameraDataMessage.Confirmation", show(camera.Confirmation), "1"},
        {"SetCameraDataMessage.TransitionTime", show(camera.TransitionTime), "absent"},
        {"CameraData.TargetPosition", camera.CameraData.TargetPosition.hasvalue() ? "set" : "absent", "absent"},
        {"CameraData.FieldOfView", show(camera.CameraData.FieldOfView), "absent"},
        {"OrlexVersionMessage.ProtocolVersion", show(O::OrlexVersionMessage{}.ProtocolVersion), "7"},
        {"ResponseMessage.ResponseCode", show(O::ListObjectsResponseMessage{}.ResponseCode), "1"},
        {"ViewerCreatedMessage.StatusCode", show(O::ViewerCreatedMessage{}.StatusCode), "0"},
        {"CreateCubeMessage.Size", show(O::CreateCubeMessage{}.Size), "0.5"},
        {"SetInteractionModeMessage.InteractionMode", show(O::SetInteractionModeMessage{}.InteractionMode), "1"},
        {"QueryInteractionActionsResponseMessage.InteractionMode",
         show(O::QueryInteractionActionsResponseMessage{}.InteractionMode), "1"},
        {"CommonRasterData.CacheSize", show(O::CommonRasterData{}.CacheSize), "268435456"},
        {"TerrainProperties.tileSize", show(terrain.tileSize), "255"},
        {"TerrainProperties.heightFactor", show(terrain.heightFactor), "1"},
        {"TerrainProperties.imageryOffset", show(terrain.imageryOffset), "1"},
        {"TerrainProperties.imageryFactor", show(terrain.imageryFactor), "1"},
        {"TerrainProperties.colormapPath", show(terrain.colormapPath), "absent"},
        {"OceanData.WaveHeight", show(ocean.WaveHeight), "0.9"},
        {"OceanData.WavePeriod", show(ocean.WavePeriod), "5"},
        {"OceanData.WaveDirection", show(ocean.WaveDirection), "1.57"},
        {"OceanData.Roughness", show(ocean.Roughness), "0"},
        {"OverlayPosition.X", show(O::OverlayPosition{}.X), "0"},
        {"CreateGraticuleMessage.Visible", show(Q::CreateGraticuleMessage{}.Visible), "true"},
        {"CreateGridEngineTerrainMessage.HeightScale", show(Q::CreateGridEngineTerrainMessage{}.HeightScale), "1"},
        {"UpdateGridEngineTerrainMessage.HeightScale", show(Q::UpdateGridEngineTerrainMessage{}.HeightScale), "1"},
        {"UpdateGridEngineTerrainMessage.LodBias", show(Q::UpdateGridEngineTerrainMessage{}.LodBias), "0"},
        {"Constants.HeightPropertyName", show(Q::Constants{}.HeightPropertyName), "\"Height\""},
        {"CreateBasicGridMessage.Step", show(O::CreateBasicGridMessage{}.Step), "10"},
        {"UpdateBasicGridMessage.Step", show(O::UpdateBasicGridMessage{}.Step), "0"},
        {"BillboardData.AnchorPosition", show(O::BillboardData{}.AnchorPosition), "2"},
    };
}

TEST(StructDefaultsTest, DefaultConstructionGivesTheDeclaredDefaults)
{
    for (const Row& row : defaultRows())
        EXPECT_EQ(row.actual, row.expected) << row.field;
}

TEST(StructDefaultsTest, OptionalStructsAndListElementsStartAtTheirDefaults)
{
    O::CameraData camera;
    EXPECT_EQ(camera.Orientation.set().W, 1.0f);
    EXPECT_EQ(camera.TargetPosition.set().X, 0.0);

    O::SetNavigationPresetMessage preset;
    const O::CameraData& presetCamera = preset.CameraData.set();
    EXPECT_FALSE(presetCamera.Target.hasvalue());
    EXPECT_FALSE(presetCamera.CameraPosition.hasvalue());
    EXPECT_FALSE(presetCamera.Orientation.hasvalue());

    O::SetInteractionModeMessage mode;
    EXPECT_EQ(mode.LabelStyle.set().Font, "Segoe");
    EXPECT_EQ(mode.LabelStyle.value().TextColor.A, 1.0f);

    O::SetInteractionActionsMessage actions;
    actions.KeyboardActions.set().resize(1);
    EXPECT_EQ(actions.KeyboardActions.value()[0].Action, "");
    EXPECT_EQ(actions.KeyboardActions.value()[0].KeyCode, 0);
    EXPECT_FALSE(actions.MouseActions.hasvalue()) << "absent differs from present and empty";
}

TEST(StructDefaultsTest, CopiesAreDeep)
{
    auto original = std::make_unique<O::SetCameraDataMessage>();
    original->ViewerId = 2;
    original->CameraData.CameraPosition.set().Z = 150.0;
    original->CameraData.FocalDistance.set(12.0);

    O::SetCameraDataMessage copy = *original;
    EXPECT_EQ(copy, *original);
    ASSERT_TRUE(copy.CameraData.CameraPosition.hasvalue());
    EXPECT_NE(&copy.CameraData.CameraPosition.value(), &original->CameraData.CameraPosition.value());
    EXPECT_FALSE(copy.CameraData.TargetPosition.hasvalue());

    copy.CameraData.CameraPosition.value().Z = -1.0;
    EXPECT_EQ(original->CameraData.CameraPosition.value().Z, 150.0);
    EXPECT_NE(copy, *original);

    original.reset();
    EXPECT_EQ(copy.CameraData.CameraPosition.value().Z, -1.0) << "the copy outlives its source";
    EXPECT_EQ(copy.CameraData.FocalDistance.value(), 12.0);

    O::Material material;
    material.EmissiveColor.set().R = 0.25f;
    const O::Material materialCopy = material;
    EXPECT_FALSE(materialCopy.SpecularColor.hasvalue()) << "an absent colour is not filled with the default";
    EXPECT_EQ(materialCopy.EmissiveColor.value().R, 0.25f);
}

TEST(StructDefaultsTest, EqualityCoversBasePartsAndNestedValues)
{
    const O::SetCameraDataMessage reference;
    O::SetCameraDataMessage changed;
    EXPECT_EQ(changed, reference);

    changed.ViewerId = 1; // base of the base
    EXPECT_NE(changed, reference);
    changed = reference;
    changed.TransitionTime.set(0.0); // present differs from absent
    EXPECT_NE(changed, reference);
    changed = reference;
    changed.CameraData.Orientation.set(); // a present default differs from absent
    EXPECT_NE(changed, reference);
}

TEST(StructDefaultsTest, BaseFieldsAndSameNamedOwnFieldsAreDistinct)
{
    Q::UpdateGridEngineTerrainMessage grid;
    grid.Id = 7;
    grid.O::UpdateObjectMessage::Id = 8;
    EXPECT_EQ(grid.Id, 7u);
    EXPECT_EQ(static_cast<const O::UpdateObjectMessage&>(grid).Id, 8u);

    O::CreateOverlayLabelMessage label;
    label.Id = 101; // CreateObjectMessage, two levels down
    label.OverlayData.X = 4.0;
    label.LabelData.Text = "depth";
    EXPECT_EQ(static_cast<const O::CreateObjectMessage&>(label).Id, 101u);
    EXPECT_EQ(label.ViewerMask, ~std::uint64_t{0});
}

} // namespace
