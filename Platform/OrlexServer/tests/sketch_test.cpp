// What the stand-in's window draws, north up: a raster at its extents, a terrain's elevation tile
// in the colours of its map, a point buffer and a vessel along its heading.
#include "scene.h"
#include "sketch_window.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include <xtiffio.h>

#include <cmath>

using namespace orlex_standin;

namespace {

const std::string kCore = "Tavrin.Dremm.Orlex.";
const std::string kQuennetPrefix = "Tavrin.Dremm.Orlex.Extensions.Quennet.";

Value position(double x, double y, double z)
{
    return structValue({{{0, doubleValue(x)}, {1, doubleValue(y)}, {2, doubleValue(z)}}});
}

Level objectPart(std::uint64_t id, double x, double y, const Quat& rotation = {0, 0, 0, 1})
{
    return {{0, uintValue(WireType::UInt64, id)},
            {4, position(x, y, 0)},
            {5, structValue({{{2, floatValue(static_cast<float>(rotation[2]))}, {3, floatValue(static_cast<float>(rotation[3]))}}})}};
}

Value colour(float r, float g, float b)
{
    return structValue({{{0, floatValue(r)}, {1, floatValue(g)}, {2, floatValue(b)}, {3, floatValue(1)}}});
}

// A GeoTIFF of one colour (eight-bit RGB) or of one height (float), 'size' metres a side.
void writeTiff(const QString& path, double west, double north, double size, bool floats, float height = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    TIFF* tif = XTIFFOpen(QFile::encodeName(path).constData(), "w");
    ASSERT_NE(tif, nullptr);
    const int pixels = 8;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, pixels);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, pixels);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, floats ? 32 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, floats ? 1 : 3);
    if (floats)
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, floats ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    double tie[6] = {0, 0, 0, west, north, 0};
    double scale[3] = {size / pixels, size / pixels, 0};
    TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tie);
    TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
    std::vector<float> heights(pixels, height);
    std::vector<unsigned char> rgb;
    for (int n = 0; n < pixels; ++n)
        rgb.insert(rgb.end(), {200, 20, 20});
    for (int row = 0; row < pixels; ++row)
        TIFFWriteScanline(tif, floats ? static_cast<void*>(heights.data()) : static_cast<void*>(rgb.data()), static_cast<std::uint32_t>(row), 0);
    XTIFFClose(tif);
}

} // namespace

TEST(SketchWindow, DrawsRasterTerrainTailAndVesselWhereTheyLie)
{
    const QString root = platform::winRoot();
    writeTiff(root + QStringLiteral("/c/maps/red.tif"), 1000, 2100, 100, false);
    // Heights from -50 to -10 over the survey; this tile lies at the top.
    writeTiff(root + QStringLiteral("/c/grids/S/Terrain/zMedian/3/0/0.tiff"), 1200, 2100, 100, true, -10);
    QFile values(root + QStringLiteral("/c/grids/S/standin_survey.json"));
    ASSERT_TRUE(values.open(QIODevice::WriteOnly));
    values.write(R"({"zMin": -50, "zMax": -10})");
    values.close();

    Scene scene;
    auto send = [&](const std::string& type, std::vector<Level> levels) { return scene.handle(type, structValue(std::move(levels))); };
    send(kCore + "CreateViewerMessage", {Level(), {{0, intValue(WireType::Int32, 1)}}, Level()});
    const Value camera = structValue({{{3, nullableValue(position(1150, 2100, 500))}, {6, nullableValue(doubleValue(400))}}});
    send(kCore + "SetCameraDataMessage", {Level(), {{0, intValue(WireType::Int32, 1)}}, Level(), {{0, camera}}});
    const Effects raster = send(kCore + "CreateRasterSource",
                                {Level(), objectPart(10, 0, 0), {{0, nullableValue(stringValue(R"({"Filename":"C:/maps/red.tif"})"))}}});
    ASSERT_TRUE(raster.warnings.empty());
    send(kCore + "LoadExtensionMessage", {Level(), {{0, stringValue("Quennet")}}});
    // Red at the top of the range, blue at the bottom, the hue falling through magenta.
    const Value map = structValue({{{0, colour(0, 0, 1)}, {1, colour(1, 0, 0)}, {3, boolValue(true)}}});
    send(kQuennetPrefix + "CreateGridEngineTerrainMessage",
         {Level(), objectPart(11, 0, 0), {{0, stringValue("C:/grids/S/Terrain")}, {3, map}}});
    const Value settings = structValue({{{3, structValue({{{0, colour(0, 1, 0)}, {1, colour(0, 1, 0)}}})}}});
    send(kQuennetPrefix + "CreatePointBufferMessage", {Level(), objectPart(12, 0, 0), {{0, settings}}});
    std::vector<Value> points;
    for (int n = 0; n < 10; ++n)
        for (double v : {1050.0 + n, 2150.0, -30.0})
            points.push_back(doubleValue(v));
    send(kQuennetPrefix + "AddToPointBufferMessage",
         {Level(), {{0, uintValue(WireType::UInt64, 12)}}, {{0, listValue(WireType::Double, points)}}});
    // Heading east: a quarter turn clockwise seen from above.
    const double half = -std::acos(-1.0) / 4;
    send(kCore + "CreateCubeMessage", {Level(), objectPart(40000, 1150, 2150, {0, 0, std::sin(half), std::cos(half)}), Level()});

    SketchWindow window(scene, 1);
    window.resize(400, 400);
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString shot = qEnvironmentVariable("CORV_TEST_SCRATCH") + QStringLiteral("/sketch.png");
    image.save(shot);

    // Metre x, y at pixel 200 + x - 1150, 200 - (y - 2100).
    EXPECT_EQ(image.pixelColor(100, 250), QColor(200, 20, 20)) << shot.toStdString();
    EXPECT_EQ(image.pixelColor(300, 250), QColor(255, 0, 0));      // the top of the terrain's range
    EXPECT_EQ(image.pixelColor(200, 350), QColor(236, 240, 244));  // nothing there
    EXPECT_EQ(image.pixelColor(105, 150), QColor(0, 255, 0));      // the tail
    // The vessel points east: its hull reaches right of its position, not left or up.
    EXPECT_EQ(image.pixelColor(203, 150), QColor(250, 200, 40));
    EXPECT_NE(image.pixelColor(191, 150), QColor(250, 200, 40));
    EXPECT_NE(image.pixelColor(200, 141), QColor(250, 200, 40));
}

namespace {

Value material(float r, float g, float b, bool emissive, float width)
{
    Level fields{{1, colour(r, g, b)}, {4, nullableValue(floatValue(width))}};
    if (emissive)
        fields.push_back({3, nullableValue(colour(r, g, b))});
    return structValue({{{5, structValue({fields})}}});
}

// A closed outline (a polygon as the program sends one) of a square 'size' metres a side.
std::vector<Level> squareLine(std::uint64_t id, double x, double y, double size, const Value& materialData)
{
    std::vector<Value> points, indices;
    for (double v : {0.0, 0.0, 0.0, size, 0.0, 0.0, size, size, 0.0, 0.0, size, 0.0})
        points.push_back(floatValue(static_cast<float>(v)));
    for (int n : {0, 1, 2, 3, 0, -1})
        indices.push_back(intValue(WireType::Int32, n));
    Level object = objectPart(id, x, y);
    object.push_back({10, materialData});
    return {Level(), object,
            {{0, structValue({{{1, listValue(WireType::Float, points)}, {2, listValue(WireType::Int32, indices)}}})}}};
}

} // namespace

TEST(SketchWindow, DrawsOutlinesInTheirMaterialLabelsAndTheLegendAsSent)
{
    Scene scene;
    auto send = [&](const std::string& type, std::vector<Level> levels) {
        const Effects fx = scene.handle(type, structValue(std::move(levels)));
        EXPECT_TRUE(fx.warnings.empty()) << (fx.warnings.empty() ? std::string() : fx.warnings.front());
    };
    const Level viewer{{0, intValue(WireType::Int32, 1)}};
    send(kCore + "CreateViewerMessage", {Level(), viewer, Level()});
    // Centre (0, 0), 400 m over 400 pixels: pixel 200 + x, 200 - y.
    const Value camera = structValue({{{3, nullableValue(position(0, 0, 500))}, {6, nullableValue(doubleValue(400))}}});
    send(kCore + "SetCameraDataMessage", {Level(), viewer, Level(), {{0, camera}}});

    send(kCore + "CreateLineMessage", squareLine(20, -150, -150, 100, material(1, 0, 0, true, 3)));
    send(kCore + "CreateLineMessage", squareLine(21, 50, -150, 100, material(1, 0, 0, true, 3)));
    // A level line, 100 m north of the centre.
    std::vector<Value> level;
    for (double v : {0.0, 0.0, 0.0, 300.0, 0.0, 0.0})
        level.push_back(floatValue(static_cast<float>(v)));
    Level levelLine = objectPart(22, -150, 100);
    levelLine.push_back({10, material(0, 0.5f, 0, true, 3)});
    send(kCore + "CreateLineMessage", {Level(), levelLine, {{0, structValue({{{1, listValue(WireType::Float, level)}}})}}});
    // The highlight: a new diffuse colour and no emissive one.
    send(kCore + "UpdateMaterialMessage", {Level(), {{0, uintValue(WireType::UInt64, 21)}}, {{0, material(0, 0, 1, false, 5)}}});

    // The mode label: white on black at (0, 370).
    const Value style = structValue({{{1, doubleValue(15)}, {4, colour(1, 1, 1)}, {5, colour(0, 0, 0)}, {9, boolValue(true)}}});
    const Value text = structValue({{{0, stringValue("Measuring")}}});
    const Value overlay = structValue({{{0, doubleValue(0)}, {1, doubleValue(370)}}});
    send(kCore + "CreateOverlayLabelMessage",
         {Level(), {{0, uintValue(WireType::UInt64, 30)}}, {{1, overlay}}, {{0, style}, {1, text}}});

    // A legend of a point buffer whose map runs from blue (low) to red (high).
    send(kCore + "LoadExtensionMessage", {Level(), {{0, stringValue("Quennet")}}});
    const Value map = structValue({{{0, colour(0, 0, 1)}, {1, colour(1, 0, 0)}, {4, structValue({{{0, floatValue(-50)}, {1, floatValue(-10)}}})}}});
    send(kQuennetPrefix + "CreatePointBufferMessage", {Level(), objectPart(40, 0, 0), {{0, structValue({{{3, map}}})}}});
    const Value legend = structValue({{{0, nullableValue(stringValue("Depth"))}, {1, nullableValue(stringValue("m"))},
                                       {3, boolValue(true)}, {5, colour(1, 1, 1)}}});
    send(kQuennetPrefix + "CreateLegendMessage",
         {Level(), objectPart(41, 0, 0), {{0, uintValue(WireType::UInt64, 40)}, {1, legend}}});

    SketchWindow window(scene, 1);
    window.resize(400, 400);
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString shot = qEnvironmentVariable("CORV_TEST_SCRATCH") + QStringLiteral("/outlines.png");
    image.save(shot);

    EXPECT_EQ(image.pixelColor(50, 300), QColor(255, 0, 0)) << shot.toStdString();  // left edge of the first square
    EXPECT_EQ(image.pixelColor(100, 300), QColor(236, 240, 244));                    // its inside stays empty
    EXPECT_EQ(image.pixelColor(250, 300), QColor(0, 0, 255));                        // the highlighted one
    EXPECT_EQ(image.pixelColor(200, 100), QColor(0, 128, 0));                        // the level line
    EXPECT_EQ(image.pixelColor(1, 371), QColor(0, 0, 0));                            // the label's background

    // The legend's bar on its white box: green in its middle, red at the top, blue at the bottom.
    int barX = -1;
    for (int x = 399; x > 200 && barX < 0; --x) {
        const QColor c = image.pixelColor(x, 140);
        if (c.green() > 200 && c.red() < 80 && c.blue() < 80)
            barX = x;
    }
    ASSERT_GE(barX, 0) << "no legend drawn";
    EXPECT_EQ(image.pixelColor(barX + 20, 140), QColor(255, 255, 255));
    int red = -1, blue = -1;
    for (int y = 40; y < 300; ++y) {
        const QColor c = image.pixelColor(barX, y);
        if (red < 0 && c.red() > 200 && c.green() < 60 && c.blue() < 60)
            red = y;
        if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
            blue = y;
    }
    EXPECT_GE(red, 0);
    EXPECT_GT(blue, red + 100);
}

TEST(SketchWindow, ThousandsOfObjectsAreDrawnQuickly)
{
    Scene scene;
    scene.handle(kCore + "CreateViewerMessage", structValue({Level(), {{0, intValue(WireType::Int32, 1)}}, Level()}));
    for (std::uint64_t n = 0; n < 5000; ++n) {
        const double x = static_cast<double>(n % 70) * 14 - 490, y = static_cast<double>(n / 70) * 14 - 490;
        scene.handle(kCore + "CreateLineMessage", structValue(squareLine(1000 + n, x, y, 10, material(0, 0.5f, 0, true, 2))));
        scene.handle(kCore + "CreateCubeMessage", structValue({Level(), objectPart(20000 + n, x + 5, y + 5), Level()}));
    }
    SketchWindow window(scene, 1);
    window.resize(800, 600);
    QElapsedTimer timer;
    timer.start();
    const QImage image = window.grab().toImage();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_FALSE(image.isNull());
}

// Turned a quarter left, the camera looks with north to the right and east down: a raster east
// of the centre and a line running east from it are drawn below it.
TEST(SketchWindow, TurnedCameraTurnsRastersAndLines)
{
    const QString root = platform::winRoot();
    writeTiff(root + QStringLiteral("/c/maps/east.tif"), 1050, 2100, 100, false);
    Scene scene;
    auto send = [&](const std::string& type, std::vector<Level> levels) { return scene.handle(type, structValue(std::move(levels))); };
    const Level viewer{{0, intValue(WireType::Int32, 1)}};
    send(kCore + "CreateViewerMessage", {Level(), viewer, Level()});
    const double half = std::acos(-1.0) / 4;
    const Value turn = structValue({{{2, floatValue(static_cast<float>(std::sin(half)))}, {3, floatValue(static_cast<float>(std::cos(half)))}}});
    const Value camera = structValue({{{3, nullableValue(position(1050, 2050, 500))}, {4, nullableValue(turn)}, {6, nullableValue(doubleValue(400))}}});
    send(kCore + "SetCameraDataMessage", {Level(), viewer, Level(), {{0, camera}}});
    send(kCore + "CreateRasterSource", {Level(), objectPart(10, 0, 0), {{0, nullableValue(stringValue(R"({"Filename":"C:/maps/east.tif"})"))}}});
    std::vector<Value> points;
    for (double v : {0.0, 0.0, 0.0, 150.0, 0.0, 0.0})
        points.push_back(floatValue(static_cast<float>(v)));
    Level line = objectPart(11, 1050, 2030);
    line.push_back({10, material(0, 0, 1, true, 3)});
    send(kCore + "CreateLineMessage", {Level(), line, {{0, structValue({{{1, listValue(WireType::Float, points)}}})}}});

    SketchWindow window(scene, 1);
    window.resize(400, 400);
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString shot = qEnvironmentVariable("CORV_TEST_SCRATCH") + QStringLiteral("/turned.png");
    image.save(shot);
    EXPECT_EQ(image.pixelColor(200, 260), QColor(200, 20, 20)) << shot.toStdString(); // east of the centre: below
    EXPECT_EQ(image.pixelColor(200, 140), QColor(236, 240, 244));                      // west: nothing
    EXPECT_EQ(image.pixelColor(180, 330), QColor(0, 0, 255));                          // the line, 20 m south: left
    EXPECT_EQ(image.pixelColor(330, 180), QColor(236, 240, 244));
}
