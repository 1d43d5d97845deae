// What the stand-in keeps of the client's scene: viewers with their camera, layers and
// configuration, objects by id, loaded extensions. It turns each decoded message into state
// changes, warnings and the replies a viewer server gives.
#pragma once

#include "wire.h"

#include <QJsonObject>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orlex_standin {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>; // X, Y, Z, W

struct Camera {
    Vec3 position{0, 0, 1000};
    Quat orientation{0, 0, 0, 1};
    double focalDistance = 1000;
    double viewportHeight = 1000;
    double fieldOfView = 0.785398; // 45 degrees
    std::optional<Vec3> target;     // the last point asked to look at
    int projectionMode = 0;
};

// What the program bound to mouse and key gestures in one interaction mode.
struct MouseBinding {
    std::string action;
    std::int32_t buttons = 0, event = 0, modifiers = 0;
};
struct KeyBinding {
    std::string action;
    std::int32_t key = 0, modifiers = 0;
};
struct Bindings {
    std::vector<MouseBinding> mouse;
    std::vector<KeyBinding> keys;
};

struct Viewer {
    std::int32_t id = 0;
    std::int64_t windowHandle = 0;
    std::map<std::string, std::string> configuration;
    std::vector<std::pair<std::string, bool>> layers;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Camera camera;
    std::string cursor;
    std::int32_t interactionMode = 1;
    bool dolly = false;
    bool doubleClick = false;
    std::map<std::int32_t, Bindings> bindings; // by interaction mode
};

using Rgba = std::array<float, 4>;

// A colour map as the client sends it: a hue ramp from start to end over a range, with fixed
// bands that win where they apply.
struct ColorMapSpec {
    struct Band {
        Rgba color{0.5f, 0.5f, 0.5f, 1.0f};
        float min = 0, max = 0;
    };
    Rgba start{0.5f, 0.5f, 0.5f, 1.0f};
    Rgba end{0.5f, 0.5f, 0.5f, 1.0f};
    bool clockwise = false; // hue rising from start to end; else falling
    bool autoRange = false; // the range comes from the data
    float min = 0, max = 0;
    int wrap = 0;           // 0 clamp, 1 wrap, 2 cut
    std::vector<Band> bands;
};

// The colour of a value; 'low' and 'high' are the range when the map takes it from the data.
// Values the map cuts away, and values that are no numbers, come back transparent.
Rgba colourAt(const ColorMapSpec& map, double value, double low, double high);

// Extents of a raster, when its file could be read.
struct RasterInfo {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

struct LabelLook {
    double size = 20;
    Rgba text{0.5f, 0.5f, 0.5f, 1.0f};
    Rgba background{0.5f, 0.5f, 0.5f, 1.0f};
    Rgba outline{0.5f, 0.5f, 0.5f, 1.0f};
    bool withBackground = false;
};

// A colour bar of another object's colour map.
struct LegendSpec {
    std::uint64_t source = 0;
    std::string title, unit;
    double valueScale = 1;
    bool negate = false;
    Rgba text{0.5f, 0.5f, 0.5f, 1.0f};
    Rgba background{0.5f, 0.5f, 0.5f, 1.0f};
};

struct SceneObject {
    std::uint64_t id = 0;
    std::string kind; // the message's short name without "Create" and "Message"
    std::optional<std::uint64_t> parent;
    std::string name;
    std::string layer;
    Vec3 position{0, 0, 0};
    Quat rotation{0, 0, 0, 1};
    Vec3 scale{1, 1, 1};
    bool visible = true;
    std::vector<Vec3> points; // line and history points, relative to 'position'
    std::string text;         // labels, survey paths, raster files
    std::optional<ColorMapSpec> colorMap;    // terrains and point buffers
    std::optional<std::uint64_t> rangeSource; // a point buffer's range comes from this terrain
    std::vector<Vec3> buffer;                 // a point buffer's newest points, in order
    std::size_t capacity = 1000000;
    double zMin = 0, zMax = 0;                // a terrain's height range as reported
    std::optional<RasterInfo> raster;         // a raster source that could be read
    bool pickable = true;
    std::optional<Rgba> colour;               // the material's colour, when one was sent
    double lineWidth = 1;
    std::vector<std::int32_t> indices;        // a line's strips: point indices, -1 ends one
    LabelLook label;                          // labels and overlay labels
    std::optional<std::array<double, 2>> overlayAt; // overlay labels: pixels from the top left
    std::optional<LegendSpec> legend;
};

// Values the stand-in reports for a grid-engine terrain.
struct SurveyInfo {
    double refX = 0, refY = 0;
    double minX = -500, minY = -500, maxX = 500, maxY = 500;
    double zMin = -50, zMax = -10;
    std::vector<std::string> terrainNames{"Depth"};
    std::vector<std::string> propertyNames{"Height"};
};

struct Reply {
    std::string type;
    Value body;
};

// What one message did beyond the state: replies, warnings and requests to the window side.
struct Effects {
    std::vector<Reply> replies;
    std::vector<std::string> warnings;
    std::vector<std::int32_t> viewersCreated;
    std::vector<std::int32_t> viewersDestroyed;
    bool terminate = false;
};

class Scene {
public:
    using SurveyReader = std::function<SurveyInfo(const std::string& terrainPath)>;
    using RasterReader = std::function<std::optional<RasterInfo>(const std::string& fileName)>;

    Scene();

    // Replaces how terrain values and raster extents are found (tests).
    void setSurveyReader(SurveyReader reader) { m_surveyReader = std::move(reader); }
    void setRasterReader(RasterReader reader) { m_rasterReader = std::move(reader); }

    Effects handle(const std::string& type, const Value& body);

    const std::map<std::int32_t, Viewer>& viewers() const { return m_viewers; }
    Viewer* viewer(std::int32_t id);
    const std::map<std::uint64_t, SceneObject>& objects() const { return m_objects; }
    bool extensionLoaded(const std::string& name) const { return m_extensions.count(name) != 0; }
    QJsonObject toJson() const;

    // Objects of the server's own (the line drawn while measuring), with ids the client never uses.
    std::uint64_t addOwnLine(std::vector<Vec3> points, const Rgba& colour);
    void setOwnLine(std::uint64_t id, std::vector<Vec3> points, std::string text);
    void removeOwn(std::uint64_t id);

    // The reply to a navigation query for a viewer, from its camera.
    static Value navigationState(std::int32_t viewerId, const Camera& camera);

private:
    std::map<std::int32_t, Viewer> m_viewers;
    std::map<std::uint64_t, SceneObject> m_objects;
    std::set<std::string> m_extensions;
    SurveyReader m_surveyReader;
    RasterReader m_rasterReader;
    std::uint64_t m_nextOwnId;

    void createObject(const std::string& kind, const Value& body, std::size_t ownLevel, Effects& fx);
    SceneObject* updatedObject(const Value& body, const char* what, Effects& fx);
    Viewer* addressedViewer(const Value& body, const std::string& type, Effects& fx);
    void applyCameraData(Camera& camera, const Value& cameraData);
    void destroyObject(std::uint64_t id);
    void appendToBuffer(SceneObject& object, const Value* list);
};

// The values beside a terrain folder ("standin_survey.json" in the folder that holds it), else
// the defaults; the path is the client's (Windows) path.
SurveyInfo readSurveyInfo(const std::string& terrainPath);

// The extents of a GeoTIFF from its tie point and pixel scale, or nothing.
std::optional<RasterInfo> readRasterInfo(const std::string& fileName);

// A raster's pixels for drawing: RGBA bytes, row 0 at the north edge.
struct RasterImage {
    RasterInfo extents;
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAABBGGRR as libtiff gives them
};
std::optional<RasterImage> readRasterImage(const std::string& fileName);

// One elevation tile of a grid-engine terrain: float heights, row 0 at the north edge, NaN empty.
struct ElevationTile {
    RasterInfo extents;
    std::uint32_t width = 0, height = 0;
    std::vector<float> heights;
};
std::optional<ElevationTile> readElevationTile(const std::string& localPath);

// The local paths of the tiles of a terrain folder (the client's path): every ".tiff" below the
// finest numbered level of its "zMedian" folder.
std::vector<std::string> terrainTiles(const std::string& terrainPath);

} // namespace orlex_standin
