#include "scene.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <xtiffio.h>

#include <cmath>

using namespace orlex_standin;

namespace {

const std::string kCorePrefix = "Tavrin.Dremm.Orlex.";
const std::string kExtPrefix = "Tavrin.Dremm.Orlex.Extensions.Quennet.";

Value position(double x, double y, double z)
{
    return structValue({{{0, doubleValue(x)}, {1, doubleValue(y)}, {2, doubleValue(z)}}});
}

Level viewerPart(std::int32_t viewerId)
{
    return viewerId ? Level{{0, intValue(WireType::Int32, viewerId)}} : Level{};
}

// The CreateObjectMessage part of a new object.
Level objectPart(std::uint64_t id, const Value& where, std::optional<std::uint64_t> parent = std::nullopt)
{
    Level level{{0, uintValue(WireType::UInt64, id)}};
    if (parent)
        level.push_back({1, nullableValue(uintValue(WireType::UInt64, *parent))});
    level.push_back({4, where});
    level.push_back({5, structValue({})});
    level.push_back({6, structValue({})});
    level.push_back({7, nullableValue(stringValue("Vessel"))});
    return level;
}

Level updatePart(std::uint64_t id)
{
    return {{0, uintValue(WireType::UInt64, id)}};
}

Value cameraData(std::vector<Field> fields)
{
    return structValue({fields});
}

class SceneTest : public ::testing::Test {
protected:
    Scene scene;

    Effects send(const std::string& shortName, std::vector<Level> levels)
    {
        return scene.handle(kCorePrefix + shortName, structValue(std::move(levels)));
    }
    Effects sendExt(const std::string& shortName, std::vector<Level> levels)
    {
        return scene.handle(kExtPrefix + shortName, structValue(std::move(levels)));
    }
    // The CameraState of the navigation answer for a viewer.
    Level cameraState(std::int32_t viewerId)
    {
        const Effects fx = send("QueryNavigationStateMessage", {Level(), viewerPart(viewerId), Level()});
        EXPECT_EQ(fx.replies.size(), 1u);
        EXPECT_EQ(fx.replies.at(0).type, kCorePrefix + "QueryNavigationStateResponseMessage");
        return findField(fx.replies.at(0).body.levels.at(2), 1)->value.levels.at(0);
    }
    static double stateNumber(const Level& state, std::uint16_t id)
    {
        const Field* f = findField(state, id);
        return f ? f->value.d : 0.0;
    }
    static Vec3 statePosition(const Level& state)
    {
        const Level& p = findField(state, 0)->value.levels.at(0);
        auto get = [&](std::uint16_t id) { return findField(p, id) ? findField(p, id)->value.d : 0.0; };
        return {get(0), get(1), get(2)};
    }
    static bool warned(const Effects& fx, const std::string& text)
    {
        for (const std::string& w : fx.warnings)
            if (w.find(text) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(SceneTest, ViewerIsCreatedOnceAndConfirmedWithItsId)
{
    Effects fx = send("CreateViewerMessage", {Level(), viewerPart(3),
                                              {{1, intValue(WireType::Int64, 0x2e00001)},
                                               {2, mapValue(WireType::String, WireType::String, {stringValue("k"), stringValue("v")})}}});
    ASSERT_EQ(fx.replies.size(), 1u);
    EXPECT_EQ(fx.replies[0].type, kCorePrefix + "ViewerCreatedMessage");
    EXPECT_TRUE(fx.replies[0].body == structValue({Level(), viewerPart(3), Level()}));
    EXPECT_EQ(fx.viewersCreated, std::vector<std::int32_t>{3});
    EXPECT_EQ(scene.viewers().at(3).windowHandle, 0x2e00001);
    EXPECT_EQ(scene.viewers().at(3).configuration.at("k"), "v");

    fx = send("CreateViewerMessage", {Level(), viewerPart(3), Level()});
    EXPECT_TRUE(warned(fx, "created twice"));
    EXPECT_TRUE(fx.viewersCreated.empty());

    fx = send("DestroyViewerMessage", {Level(), viewerPart(4), Level()});
    EXPECT_TRUE(warned(fx, "unknown viewer 4"));
    ASSERT_EQ(fx.replies.size(), 1u);
    EXPECT_TRUE(fx.replies[0].body == structValue({Level(), viewerPart(4), {{0, intValue(WireType::Int32, 1)}}}));
    fx = send("DestroyViewerMessage", {Level(), viewerPart(3), Level()});
    EXPECT_TRUE(fx.warnings.empty());
    EXPECT_EQ(fx.viewersDestroyed, std::vector<std::int32_t>{3});
    EXPECT_TRUE(scene.viewers().empty());
}

TEST_F(SceneTest, CameraFollowsTheCameraMessages)
{
    send("CreateViewerMessage", {Level(), Level(), Level()});
    send("CreateCubeMessage", {Level(), objectPart(7, position(-5, 6, 0)), Level()});

    // Camera and target: the focal distance is the distance between them.
    send("SetCameraDataMessage",
         {Level(), Level(), Level(),
          {{0, cameraData({{1, nullableValue(position(10, 20, 0))}, {3, nullableValue(position(10, 20, 500))},
                           {6, nullableValue(doubleValue(300))}})}}});
    Level state = cameraState(0);
    EXPECT_EQ(statePosition(state), (Vec3{10, 20, 500}));
    EXPECT_EQ(stateNumber(state, 2), 500);
    EXPECT_EQ(stateNumber(state, 3), 300);

    // A target alone: straight above it at the focal distance.
    send("SetCameraDataMessage", {Level(), Level(), Level(), {{0, cameraData({{1, nullableValue(position(50, 60, -10))}})}}});
    EXPECT_EQ(statePosition(cameraState(0)), (Vec3{50, 60, 490}));

    // An object as target; a preset with orientation and field of view.
    send("SetCameraDataMessage", {Level(), Level(), Level(), {{0, cameraData({{0, nullableValue(uintValue(WireType::UInt64, 7))}})}}});
    EXPECT_EQ(statePosition(cameraState(0)), (Vec3{-5, 6, 500}));
    const Value turned = structValue({{{2, floatValue(0.5f)}, {3, floatValue(0.75f)}}});
    send("SetNavigationPresetMessage",
         {Level(), Level(), Level(),
          {{0, structValue({})}, {1, nullableValue(cameraData({{4, nullableValue(turned)}, {7, nullableValue(doubleValue(1.0))}}))}}});
    state = cameraState(0);
    EXPECT_EQ(stateNumber(state, 4), 1.0);
    const Level& orientation = findField(state, 1)->value.levels.at(0);
    EXPECT_EQ(findField(orientation, 2)->value.d, 0.5);
    EXPECT_EQ(findField(orientation, 3)->value.d, 0.75);

    send("SetProjectionModeMessage", {Level(), Level(), Level(), {{0, intValue(WireType::Int32, 1)}}});
    EXPECT_EQ(scene.viewers().at(0).camera.projectionMode, 1);

    // A viewer nobody created: answered from a default camera, with a warning.
    const Effects fx = send("QueryNavigationStateMessage", {Level(), viewerPart(9), Level()});
    EXPECT_TRUE(warned(fx, "unknown viewer 9"));
    EXPECT_EQ(fx.replies.size(), 1u);
}

TEST_F(SceneTest, ObjectsKeepTheirStateAndBadIdsAreReported)
{
    send("CreateCubeMessage", {Level(), objectPart(5, position(1, 2, 3)), Level()});
    EXPECT_TRUE(warned(send("CreateLineMessage", {Level(), objectPart(5, position(0, 0, 0)), Level()}), "created twice"));
    EXPECT_EQ(scene.objects().at(5).kind, "Cube");
    EXPECT_EQ(scene.objects().at(5).layer, "Vessel");

    const Value line = structValue({{{1, listValue(WireType::Float, {floatValue(0), floatValue(0), floatValue(0),
                                                                      floatValue(10), floatValue(0), floatValue(0)})}}});
    send("CreateLineMessage", {Level(), objectPart(6, position(0, 0, 0), 5), {{0, line}}});
    EXPECT_EQ(scene.objects().at(6).points.size(), 2u);
    EXPECT_EQ(*scene.objects().at(6).parent, 5u);
    const Value label = structValue({{{0, stringValue("Survey 12")}}});
    send("CreateLabelMessage", {Level(), objectPart(8, position(0, 0, 0)), {{0, structValue({})}, {1, label}}});
    EXPECT_EQ(scene.objects().at(8).text, "Survey 12");

    send("UpdateVisibilityMessage", {Level(), updatePart(5), Level()}); // Visible absent: false
    EXPECT_FALSE(scene.objects().at(5).visible);
    Effects fx = send("PositionUpdateMessage",
                      {Level(), {{0, listValue(WireType::UInt64, {uintValue(WireType::UInt64, 5), uintValue(WireType::UInt64, 99)})}},
                       {{0, listValue(WireType::Struct, {position(7, 8, 9), position(0, 0, 0)})}}});
    EXPECT_EQ(scene.objects().at(5).position, (Vec3{7, 8, 9}));
    EXPECT_TRUE(warned(fx, "unknown object 99"));
    EXPECT_TRUE(warned(send("UpdateScaleMessage", {Level(), updatePart(42), Level()}), "UpdateScaleMessage of unknown object 42"));
    EXPECT_TRUE(warned(send("DestroyObjectMessage", {Level(), updatePart(42)}), "destroy of unknown object 42"));
    EXPECT_TRUE(warned(send("CreateCubeMessage", {Level(), objectPart(11, position(0, 0, 0), 77), Level()}), "unknown parent 77"));

    // The parent takes its children along.
    EXPECT_TRUE(send("DestroyObjectMessage", {Level(), updatePart(5)}).warnings.empty());
    EXPECT_EQ(scene.objects().count(5), 0u);
    EXPECT_EQ(scene.objects().count(6), 0u);
    EXPECT_EQ(scene.objects().count(8), 1u);
}

TEST_F(SceneTest, LayersAndConfigurationOfAViewer)
{
    send("CreateViewerMessage", {Level(), Level(), Level()});
    auto layer = [](const char* name, bool visible) {
        Level fields{{1, stringValue(name)}};
        if (visible)
            fields.push_back({2, boolValue(true)});
        return structValue({fields});
    };
    send("CreateLayersMessage", {Level(), Level(), {{1, listValue(WireType::Struct, {layer("Vessel", true), layer("Tracks", false)})}}});
    Effects fx = send("UpdateLayersVisibilityMessage", {Level(), Level(), {{1, listValue(WireType::Struct, {layer("Tracks", true), layer("Nope", true)})}}});
    EXPECT_TRUE(warned(fx, "unknown layer \"Nope\""));
    const auto& layers = scene.viewers().at(0).layers;
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_TRUE(layers[1].second);

    send("UpdateConfigurationMessage", {Level(), Level(), {{0, mapValue(WireType::String, WireType::String, {stringValue("a"), stringValue("1")})}}});
    send("UpdateConfigurationMessage", {Level(), Level(), {{0, mapValue(WireType::String, WireType::String, {stringValue("b"), stringValue("2")})}}});
    EXPECT_EQ(scene.viewers().at(0).configuration, (std::map<std::string, std::string>{{"b", "2"}}));
    EXPECT_TRUE(warned(send("SetCursorMessage", {Level(), viewerPart(5), {{0, stringValue("Cross")}}}), "unknown viewer 5"));
}

TEST_F(SceneTest, ProcessMessagesAndExtensions)
{
    Effects fx = send("TerminateMessage", {Level(), Level()});
    EXPECT_TRUE(fx.terminate);
    ASSERT_EQ(fx.replies.size(), 1u);
    EXPECT_TRUE(fx.replies[0].body == structValue({Level(), Level()}));
    EXPECT_TRUE(warned(send("OrlexVersionMessage", {Level(), {{0, intValue(WireType::Int32, 8)}}}), "protocol version 8"));
    EXPECT_TRUE(send("OrlexVersionMessage", {Level(), Level()}).warnings.empty());

    fx = send("LoadExtensionMessage", {Level(), {{0, stringValue("Multibeam")}}});
    ASSERT_EQ(fx.replies.size(), 1u);
    EXPECT_TRUE(fx.replies[0].body == structValue({Level(), {{1, stringValue("Multibeam")}}}));
    EXPECT_FALSE(scene.extensionLoaded("Multibeam"));
}

TEST_F(SceneTest, GridEngineTerrainIsReportedOnceTheExtensionIsLoaded)
{
    auto terrain = [](std::uint64_t id, const char* path) {
        return std::vector<Level>{Level(), objectPart(id, position(0, 0, 0)), {{0, stringValue(path)}}};
    };
    Effects fx = sendExt("CreateGridEngineTerrainMessage", terrain(20, "C:/qeldata/grids/V/S1/Terrain"));
    EXPECT_TRUE(fx.replies.empty());
    EXPECT_TRUE(warned(fx, "Quennet"));
    send("LoadExtensionMessage", {Level(), {{0, stringValue("Quennet")}}});

    const QString surveyFolder = platform::winRoot() + QStringLiteral("/c/qeldata/grids/V/S2");
    QDir().mkpath(surveyFolder + QStringLiteral("/Terrain"));
    QFile file(surveyFolder + QStringLiteral("/standin_survey.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"minX": 1000, "maxX": 1100, "minY": 2000, "maxY": 2040, "zMin": -12.5, "zMax": 3, "terrainNames": ["T1", "T2"]})");
    file.close();

    fx = sendExt("CreateGridEngineTerrainMessage", terrain(21, "C:\\qeldata\\grids\\V\\S2\\Terrain\\"));
    ASSERT_EQ(fx.replies.size(), 3u);
    EXPECT_EQ(fx.replies[0].type, kExtPrefix + "SurveyStaticMetaInfoMessage");
    const Level& meta = fx.replies[0].body.levels.at(1);
    EXPECT_EQ(findField(meta, 0)->value.u, 21u);
    EXPECT_EQ(findField(meta, 1)->value.d, 1050);
    EXPECT_EQ(findField(meta, 2)->value.d, 2020);
    EXPECT_EQ(findField(meta, 5)->value.elements.at(1).s, "T2");
    EXPECT_EQ(findField(meta, 6)->value.elements.at(0).s, "Height");
    EXPECT_EQ(fx.replies[1].type, kExtPrefix + "SurveyExtentUpdatedMessage");
    EXPECT_EQ(findField(fx.replies[1].body.levels.at(1), 4)->value.d, 2040);
    EXPECT_EQ(fx.replies[2].type, kExtPrefix + "SurveyZRangeUpdatedMessage");
    const Value zRange = structValue({Level(), {{0, uintValue(WireType::UInt64, 21)},
                                                {1, structValue({{{0, floatValue(-12.5f)}, {1, floatValue(3.0f)}}})}}});
    EXPECT_TRUE(fx.replies[2].body == zRange);

    // No file: the defaults, centred on the origin.
    fx = sendExt("CreateGridEngineTerrainMessage", terrain(22, "C:/qeldata/grids/V/S3/Terrain"));
    ASSERT_EQ(fx.replies.size(), 3u);
    EXPECT_EQ(findField(fx.replies[0].body.levels.at(1), 1), nullptr); // RefX 0 is left out
    EXPECT_EQ(findField(fx.replies[1].body.levels.at(1), 1)->value.d, -500);
}

TEST_F(SceneTest, RasterSourceIsConfirmedWithItsExtents)
{
    std::string asked;
    scene.setRasterReader([&](const std::string& file) -> std::optional<RasterInfo> {
        asked = file;
        if (file == "C:/maps/missing.tif")
            return std::nullopt;
        return RasterInfo{100, 1100, 200, 700};
    });
    auto source = [](std::uint64_t id, const std::string& definition) {
        return std::vector<Level>{Level(), objectPart(id, position(0, 0, 0)), {{0, nullableValue(stringValue(definition))}}};
    };
    Effects fx = send("CreateRasterSource", source(30, R"({"Filename":"C:/maps/chart.tif","RasterType":"RGBABitmapRasterSource"})"));
    EXPECT_EQ(asked, "C:/maps/chart.tif");
    ASSERT_EQ(fx.replies.size(), 1u);
    EXPECT_EQ(fx.replies[0].type, kCorePrefix + "RasterCreatedMessage");
    const Value& reply = fx.replies[0].body;
    ASSERT_EQ(reply.levels.size(), 3u);
    EXPECT_EQ(findField(reply.levels[1], 0)->value.u, 30u);
    const Value* extents = nullableElement(&findField(findField(reply.levels[2], 0)->value.levels.at(0), 0)->value);
    ASSERT_NE(extents, nullptr);
    EXPECT_TRUE(*extents == structValue({{{0, doubleValue(100)}, {1, doubleValue(1100)}, {2, doubleValue(200)}, {3, doubleValue(700)}}}));

    fx = send("CreateRasterSource", source(31, R"({"Filename":"C:/maps/missing.tif"})"));
    ASSERT_EQ(fx.replies.size(), 2u);
    EXPECT_EQ(fx.replies[0].type, kCorePrefix + "ErrorMessage");
    EXPECT_TRUE(fx.replies[1].body == structValue({Level(), updatePart(31), {{0, structValue({})}}}));
}

TEST(RasterInfo, ExtentsComeFromTheGeoTiffTags)
{
    const QString dir = platform::winRoot() + QStringLiteral("/c/maps");
    QDir().mkpath(dir);
    const QByteArray path = QFile::encodeName(dir + QStringLiteral("/chart.tif"));
    {
        TIFF* tif = XTIFFOpen(path.constData(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        double tie[6] = {0, 0, 0, 500000, 7000000, 0};
        double scale[3] = {10, 5, 0};
        TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tie);
        TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
        unsigned char row[4] = {1, 2, 3, 4};
        TIFFWriteScanline(tif, row, 0, 0);
        TIFFWriteScanline(tif, row, 1, 0);
        XTIFFClose(tif);
    }
    const auto info = readRasterInfo("C:\\maps\\CHART.tif");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->minX, 500000);
    EXPECT_EQ(info->maxX, 500040);
    EXPECT_EQ(info->maxY, 7000000);
    EXPECT_EQ(info->minY, 6999990);
    EXPECT_FALSE(readRasterInfo("C:/maps/none.tif"));
}

} // namespace

TEST(ColourMap, ValuesFollowTheHueRampBandsAndEndMode)
{
    ColorMapSpec map;
    map.start = {1, 0, 0, 1}; // red, hue 0
    map.end = {0, 0, 1, 1};   // blue, hue 2/3
    map.min = 0;
    map.max = 10;
    struct Case {
        bool clockwise;
        int wrap;
        double value;
        Rgba expected;
    } cases[] = {
        {true, 0, 0, {1, 0, 0, 1}},
        {true, 0, 10, {0, 0, 1, 1}},
        {true, 0, 5, {0, 1, 0, 1}},      // hue rising: half way is green
        {false, 0, 5, {1, 0, 1, 1}},     // hue falling through magenta
        {true, 0, -4, {1, 0, 0, 1}},     // clamped
        {true, 0, 14, {0, 0, 1, 1}},
        {true, 1, 15, {0, 1, 0, 1}},     // wrapped to 5
        {true, 2, 10.5, {0, 0, 0, 0}},   // cut
        {true, 0, std::nan(""), {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        map.clockwise = c.clockwise;
        map.wrap = c.wrap;
        const Rgba got = colourAt(map, c.value, 0, 0);
        for (int n = 0; n < 4; ++n)
            EXPECT_NEAR(got[static_cast<std::size_t>(n)], c.expected[static_cast<std::size_t>(n)], 1e-5)
                << c.value << " clockwise " << c.clockwise << " wrap " << c.wrap << " component " << n;
    }
    // A band wins inside its range; an automatic range comes from the caller.
    map.clockwise = true;
    map.wrap = 0;
    map.bands.push_back({{0, 1, 0, 1}, 2, 3});
    EXPECT_EQ(colourAt(map, 2.5, 0, 0), (Rgba{0, 1, 0, 1}));
    map.autoRange = true;
    const Rgba top = colourAt(map, 20, -20, 20);
    EXPECT_NEAR(top[2], 1, 1e-5);
    EXPECT_NEAR(top[0], 0, 1e-5);
}

TEST_F(SceneTest, TerrainsAndPointBuffersKeepWhatTheyAreDrawnWith)
{
    send("LoadExtensionMessage", {Level(), {{0, stringValue("Quennet")}}});
    auto color = [](float r, float g, float b) {
        return structValue({{{0, floatValue(r)}, {1, floatValue(g)}, {2, floatValue(b)}}});
    };
    auto colourMap = [&](float min, float max, bool autoRange) {
        Level fields{{0, color(1, 0, 0)}, {1, color(0, 0, 1)}, {2, boolValue(true)}};
        if (autoRange)
            fields.push_back({3, boolValue(true)});
        fields.push_back({4, structValue({{{0, floatValue(min)}, {1, floatValue(max)}}})});
        return structValue({fields});
    };
    sendExt("CreateGridEngineTerrainMessage",
            {Level(), objectPart(50, position(0, 0, 0)), {{0, stringValue("C:/none/Terrain")}, {3, colourMap(-40, -10, false)}}});
    const SceneObject& terrain = scene.objects().at(50);
    ASSERT_TRUE(terrain.colorMap);
    EXPECT_EQ(terrain.colorMap->min, -40);
    EXPECT_EQ(terrain.colorMap->start, (Rgba{1, 0, 0, 1}));
    EXPECT_EQ(terrain.colorMap->end[2], 1);
    EXPECT_EQ(terrain.zMin, -50); // the values reported for it
    sendExt("SetColorMapRangeMessage", {Level(), updatePart(50), {{0, colourMap(-30, -5, false)}}});
    EXPECT_EQ(scene.objects().at(50).colorMap->max, -5);

    // A buffer of four points that follows the terrain's range; the oldest points leave once it is full.
    const Value settings = structValue({{{0, intValue(WireType::Int64, 4)}, {3, colourMap(0, 0, true)},
                                         {4, nullableValue(uintValue(WireType::UInt64, 50))}}});
    sendExt("CreatePointBufferMessage", {Level(), objectPart(60, position(0, 0, 0)), {{0, settings}}});
    auto add = [&](std::vector<double> values) {
        std::vector<Value> elements;
        for (double v : values)
            elements.push_back(doubleValue(v));
        return sendExt("AddToPointBufferMessage", {Level(), updatePart(60), {{0, listValue(WireType::Double, elements)}}});
    };
    add({1, 2, -30, 3, 4, -31});
    add({5, 6, -32, 7, 8, -33, 9, 10, -34, 11, 12});
    const SceneObject& buffer = scene.objects().at(60);
    ASSERT_EQ(buffer.buffer.size(), 4u); // the trailing two values are no point
    EXPECT_EQ(buffer.buffer.front(), (Vec3{3, 4, -31}));
    EXPECT_EQ(buffer.buffer.back(), (Vec3{9, 10, -34}));
    EXPECT_EQ(buffer.rangeSource, std::optional<std::uint64_t>(50));
    EXPECT_TRUE(buffer.colorMap->autoRange);
    add({13, 14, -35, 15, 16, -36});
    EXPECT_EQ(scene.objects().at(60).buffer.size(), 4u);
    EXPECT_EQ(scene.objects().at(60).buffer.front(), (Vec3{7, 8, -33}));
    EXPECT_EQ(scene.objects().at(60).buffer.back(), (Vec3{15, 16, -36}));
    EXPECT_TRUE(add({1, 1, 1}).warnings.empty());
    EXPECT_TRUE(warned(sendExt("AddToPointBufferMessage", {Level(), updatePart(61), {}}), "unknown object 61"));
}

TEST(RasterInfo, TerrainTilesComeFromTheFinestLevelAndReadBack)
{
    const QString terrain = platform::winRoot() + QStringLiteral("/c/qeldata/Grids/V/Tiles/Terrain");
    for (const char* level : {"2", "10", "x"})
        QDir().mkpath(terrain + QStringLiteral("/zMedian/") + QLatin1String(level) + QStringLiteral("/7"));
    auto writeTile = [](const QString& path, bool floats) {
        TIFF* tif = XTIFFOpen(QFile::encodeName(path).constData(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, floats ? 32 : 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        if (floats)
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        double tie[6] = {0, 0, 0, 1000, 2000, 0};
        double scale[3] = {5, 5, 0};
        TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tie);
        TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
        float heights[2][2] = {{-10.5f, std::nanf("")}, {-20, -30}};
        unsigned char grey[2][2] = {{0, 255}, {10, 20}};
        for (int row = 0; row < 2; ++row)
            TIFFWriteScanline(tif, floats ? static_cast<void*>(heights[row]) : static_cast<void*>(grey[row]), row, 0);
        XTIFFClose(tif);
    };
    writeTile(terrain + QStringLiteral("/zMedian/2/7/0.tiff"), true);
    writeTile(terrain + QStringLiteral("/zMedian/10/7/1.tiff"), true);
    writeTile(terrain + QStringLiteral("/zMedian/10/7/2.tiff"), false);
    QFile broken(terrain + QStringLiteral("/zMedian/10/7/3.tiff"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("II*\0garbage", 11);
    broken.close();

    // Level 10, not level 2 (numbers, not text order); the folder named "x" is no level.
    const std::vector<std::string> tiles = terrainTiles("C:/qeldata/Grids/V/Tiles/Terrain");
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_NE(tiles[0].find("/zMedian/10/7/1.tiff"), std::string::npos);
    EXPECT_TRUE(terrainTiles("C:/qeldata/Grids/V/None/Terrain").empty());

    const auto tile = readElevationTile(tiles[0]);
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->extents.minX, 1000);
    EXPECT_EQ(tile->extents.minY, 1990);
    EXPECT_EQ(tile->heights[0], -10.5f);
    EXPECT_TRUE(std::isnan(tile->heights[1]));
    EXPECT_EQ(tile->heights[3], -30);
    EXPECT_FALSE(readElevationTile(tiles[1])); // eight-bit grey is no elevation
    EXPECT_FALSE(readElevationTile(tiles[2]));

    // Drawn as pictures: grey from the file, floats from lowest to highest, empty cells clear.
    const auto grey = readRasterImage("C:/qeldata/Grids/V/Tiles/Terrain/zMedian/10/7/2.tiff");
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->pixels[1] & 0xFF, 255u);
    EXPECT_EQ(grey->pixels[1] >> 24, 255u);
    const auto floats = readRasterImage("C:/qeldata/Grids/V/Tiles/Terrain/zMedian/10/7/1.tiff");
    ASSERT_TRUE(floats);
    EXPECT_EQ(floats->pixels[0] & 0xFF, 255u); // -10.5 is the highest
    EXPECT_EQ(floats->pixels[1], 0u);
    EXPECT_EQ(floats->pixels[3] & 0xFF, 0u);   // -30 the lowest
    EXPECT_FALSE(readRasterImage("C:/qeldata/Grids/V/Tiles/Terrain/zMedian/10/7/3.tiff"));
}
