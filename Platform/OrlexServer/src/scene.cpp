#include "scene.h"

#include "body_builder.h"
#include "protocol.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace orlex_standin {

// Builders that leave out what equals the declared default, as the protocol's writers do.
void putInt32(Level& level, std::uint16_t id, std::int64_t v, std::int64_t fallback)
{
    if (v != fallback)
        level.push_back({id, intValue(WireType::Int32, v)});
}

void putUInt64(Level& level, std::uint16_t id, std::uint64_t v)
{
    if (v != 0)
        level.push_back({id, uintValue(WireType::UInt64, v)});
}

void putDouble(Level& level, std::uint16_t id, double v, double fallback)
{
    if (v != fallback)
        level.push_back({id, doubleValue(v)});
}

void putFloat(Level& level, std::uint16_t id, double v, double fallback)
{
    if (static_cast<double>(static_cast<float>(v)) != fallback)
        level.push_back({id, floatValue(static_cast<float>(v))});
}

void putBool(Level& level, std::uint16_t id, bool v, bool fallback)
{
    if (v != fallback)
        level.push_back({id, boolValue(v)});
}

void putString(Level& level, std::uint16_t id, const std::string& v)
{
    if (!v.empty())
        level.push_back({id, stringValue(v)});
}

void putStrings(Level& level, std::uint16_t id, const std::vector<std::string>& values)
{
    std::vector<Value> elements;
    for (const std::string& s : values)
        elements.push_back(stringValue(s));
    if (!elements.empty())
        level.push_back({id, listValue(WireType::String, std::move(elements))});
}

Value positionStruct(const Vec3& v)
{
    Level fields;
    for (std::uint16_t n = 0; n < 3; ++n)
        putDouble(fields, n, v[n]);
    return structValue({fields});
}

Value rotationStruct(const Quat& q)
{
    Level fields;
    for (std::uint16_t n = 0; n < 3; ++n)
        putFloat(fields, n, q[n]);
    putFloat(fields, 3, q[3], 1.0);
    return structValue({fields});
}

Level viewerPart(std::int32_t viewerId)
{
    Level level;
    putInt32(level, 0, viewerId);
    return level;
}

namespace {

const Level& levelAt(const Value& body, std::size_t index)
{
    static const Level empty;
    const Level* level = levelOf(body, index);
    return level ? *level : empty;
}

const Value* fieldAt(const Level& level, std::uint16_t id)
{
    const Field* field = findField(level, id);
    return field ? &field->value : nullptr;
}

// The own fields of a nested struct (its last part).
const Level& ownFields(const Value* structValue)
{
    static const Level empty;
    if (!structValue || structValue->type != WireType::Struct || structValue->levels.empty())
        return empty;
    return structValue->levels.back();
}

bool isStruct(const Value* value)
{
    return value && value->type == WireType::Struct;
}

Vec3 readVec3(const Value* structValue, std::uint16_t firstId, double fallback)
{
    const Level& fields = ownFields(structValue);
    Vec3 v;
    for (std::uint16_t n = 0; n < 3; ++n)
        v[n] = asDouble(fieldAt(fields, static_cast<std::uint16_t>(firstId + n))).value_or(fallback);
    return v;
}

Quat readQuat(const Value* structValue)
{
    const Level& fields = ownFields(structValue);
    return {asDouble(fieldAt(fields, 0)).value_or(0), asDouble(fieldAt(fields, 1)).value_or(0),
            asDouble(fieldAt(fields, 2)).value_or(0), asDouble(fieldAt(fields, 3)).value_or(1)};
}

std::vector<Vec3> floatTriples(const Value* list)
{
    std::vector<Vec3> points;
    if (!list || list->type != WireType::List)
        return points;
    const std::size_t count = listSize(*list);
    for (std::size_t n = 0; n + 2 < count; n += 3)
        points.push_back({numberAt(*list, n).value_or(0), numberAt(*list, n + 1).value_or(0), numberAt(*list, n + 2).value_or(0)});
    return points;
}

std::vector<Vec3> positionList(const Value* list)
{
    std::vector<Vec3> points;
    if (!list || list->type != WireType::List)
        return points;
    for (const Value& element : list->elements)
        points.push_back(readVec3(&element, 0, 0));
    return points;
}

Rgba readColor(const Value* structValue)
{
    const Level& fields = ownFields(structValue);
    return {static_cast<float>(asDouble(fieldAt(fields, 0)).value_or(0.5)),
            static_cast<float>(asDouble(fieldAt(fields, 1)).value_or(0.5)),
            static_cast<float>(asDouble(fieldAt(fields, 2)).value_or(0.5)),
            static_cast<float>(asDouble(fieldAt(fields, 3)).value_or(1.0))};
}

void readRange(const Value* structValue, float& min, float& max)
{
    const Level& fields = ownFields(structValue);
    min = static_cast<float>(asDouble(fieldAt(fields, 0)).value_or(0));
    max = static_cast<float>(asDouble(fieldAt(fields, 1)).value_or(0));
}

ColorMapSpec readColorMap(const Value* structValue)
{
    const Level& fields = ownFields(structValue);
    ColorMapSpec map;
    map.start = readColor(fieldAt(fields, 0));
    map.end = readColor(fieldAt(fields, 1));
    map.clockwise = asBool(fieldAt(fields, 2)).value_or(false);
    map.autoRange = asBool(fieldAt(fields, 3)).value_or(false);
    readRange(fieldAt(fields, 4), map.min, map.max);
    map.wrap = static_cast<int>(asSigned(fieldAt(fields, 5)).value_or(0));
    if (const Value* bands = fieldAt(fields, 6); bands && bands->type == WireType::List) {
        for (const Value& element : bands->elements) {
            const Level& band = ownFields(&element);
            ColorMapSpec::Band b;
            b.color = readColor(fieldAt(band, 0));
            readRange(fieldAt(band, 1), b.min, b.max);
            map.bands.push_back(b);
        }
    }
    return map;
}

// A point buffer's settings: capacity, colour map and the terrain its range follows.
void readPointBufferSettings(SceneObject& object, const Value* settings)
{
    const Level& fields = ownFields(settings);
    const std::int64_t capacity = asSigned(fieldAt(fields, 0)).value_or(1000000);
    object.capacity = static_cast<std::size_t>(std::clamp<std::int64_t>(capacity, 1, 20000000));
    object.colorMap = readColorMap(fieldAt(fields, 3));
    object.rangeSource = asUnsigned(nullableElement(fieldAt(fields, 4)));
    if (object.buffer.size() > object.capacity)
        object.buffer.erase(object.buffer.begin(), object.buffer.end() - static_cast<std::ptrdiff_t>(object.capacity));
}

std::optional<std::string> nullableString(const Value* value)
{
    return asString(nullableElement(value));
}

// The colour and line width of a MaterialData: the emissive colour where one was sent, else the
// diffuse one; nothing when the data holds no material.
void readMaterial(SceneObject& object, const Value* materialData)
{
    const Value* material = fieldAt(ownFields(materialData), 5);
    if (!isStruct(material))
        return;
    const Level& fields = ownFields(material);
    const Value* emissive = nullableElement(fieldAt(fields, 3));
    object.colour = readColor(isStruct(emissive) ? emissive : fieldAt(fields, 1));
    if (const auto width = asDouble(nullableElement(fieldAt(fields, 4))))
        object.lineWidth = *width;
}

std::vector<std::int32_t> int32List(const Value* list)
{
    std::vector<std::int32_t> values;
    if (!list || list->type != WireType::List)
        return values;
    const std::size_t count = listSize(*list);
    values.reserve(count);
    for (std::size_t n = 0; n < count; ++n)
        values.push_back(static_cast<std::int32_t>(elementAt(*list, n).i));
    return values;
}

LabelLook readLabelStyle(const Value* style)
{
    const Level& fields = ownFields(style);
    LabelLook look;
    look.size = asDouble(fieldAt(fields, 1)).value_or(20.0);
    look.text = readColor(fieldAt(fields, 4));
    look.background = readColor(fieldAt(fields, 5));
    look.outline = readColor(fieldAt(fields, 6));
    look.withBackground = asBool(fieldAt(fields, 9)).value_or(false);
    return look;
}

std::array<double, 2> readOverlayPosition(const Value* position)
{
    const Level& fields = ownFields(position);
    return {asDouble(fieldAt(fields, 0)).value_or(0), asDouble(fieldAt(fields, 1)).value_or(0)};
}

void readLegendSettings(LegendSpec& legend, const Value* settings)
{
    const Level& fields = ownFields(settings);
    legend.title = nullableString(fieldAt(fields, 0)).value_or(std::string());
    legend.unit = nullableString(fieldAt(fields, 1)).value_or(std::string());
    legend.valueScale = asDouble(fieldAt(fields, 2)).value_or(1.0);
    legend.negate = asBool(fieldAt(fields, 3)).value_or(false);
    legend.text = readColor(fieldAt(fields, 4));
    legend.background = readColor(fieldAt(fields, 5));
}

// A nullable list of action structs: nothing when absent (the bindings stay as they were).
std::optional<std::vector<const Value*>> actionList(const Value* nullableList)
{
    const Value* list = nullableElement(nullableList);
    if (!list || list->type != WireType::List)
        return std::nullopt;
    std::vector<const Value*> actions;
    for (const Value& element : list->elements)
        actions.push_back(&element);
    return actions;
}

std::string actionName(const Value* action)
{
    const Level* base = action && action->type == WireType::Struct ? levelOf(*action, 0) : nullptr;
    return base && action->levels.size() > 1 ? asString(fieldAt(*base, 0)).value_or(std::string()) : std::string();
}

Value viewerReply(std::int32_t viewerId, std::int32_t statusCode)
{
    Level own;
    putInt32(own, 0, statusCode);
    return structValue({Level(), viewerPart(viewerId), own});
}

std::string core(const char* name)
{
    return std::string(kCore) + name;
}

std::string quennet(const char* name)
{
    return std::string(kQuennet) + name;
}

// "CreateGridEngineTerrainMessage" -> "GridEngineTerrain".
std::string kindOf(const std::string& type)
{
    std::string name = shortName(type);
    if (name.compare(0, 6, "Create") == 0)
        name.erase(0, 6);
    if (name.size() > 7 && name.compare(name.size() - 7, 7, "Message") == 0)
        name.erase(name.size() - 7);
    return name;
}

QJsonArray vecJson(const Vec3& v)
{
    return QJsonArray{v[0], v[1], v[2]};
}

} // namespace

namespace {
constexpr std::uint64_t kFirstOwnObjectId = std::uint64_t(1) << 48;
}

Scene::Scene()
    : m_surveyReader(readSurveyInfo), m_rasterReader(readRasterInfo), m_nextOwnId(kFirstOwnObjectId)
{
}

Viewer* Scene::viewer(std::int32_t id)
{
    const auto found = m_viewers.find(id);
    return found != m_viewers.end() ? &found->second : nullptr;
}

std::uint64_t Scene::addOwnLine(std::vector<Vec3> points, const Rgba& colour)
{
    SceneObject object;
    object.id = m_nextOwnId++;
    object.kind = "Line";
    object.points = std::move(points);
    object.colour = colour;
    object.lineWidth = 2;
    object.pickable = false;
    const std::uint64_t id = object.id;
    m_objects[id] = std::move(object);
    return id;
}

void Scene::setOwnLine(std::uint64_t id, std::vector<Vec3> points, std::string text)
{
    if (const auto found = m_objects.find(id); found != m_objects.end()) {
        found->second.points = std::move(points);
        found->second.text = std::move(text);
    }
}

void Scene::removeOwn(std::uint64_t id)
{
    if (id >= kFirstOwnObjectId)
        destroyObject(id);
}

Effects Scene::handle(const std::string& type, const Value& body)
{
    Effects fx;
    const std::string name = shortName(type);
    const bool isCore = type.compare(0, std::string(kCore).size(), kCore) == 0;
    const bool isExtension = type.compare(0, std::string(kQuennet).size(), kQuennet) == 0;
    if (!isCore)
        return fx;

    // Process control.
    if (type == core("OrlexVersionMessage")) {
        const auto version = asSigned(fieldAt(levelAt(body, 1), 0)).value_or(7);
        if (version != 7)
            fx.warnings.push_back("protocol version " + std::to_string(version) + "; this server speaks 7");
        return fx;
    }
    if (type == core("TerminateMessage")) {
        fx.replies.push_back({core("TerminatedMessage"), structValue({Level(), Level()})});
        fx.terminate = true;
        return fx;
    }
    if (type == core("LoadExtensionMessage")) {
        const std::string extension = asString(fieldAt(levelAt(body, 1), 0)).value_or(std::string());
        const bool known = extension == "Quennet";
        if (known)
            m_extensions.insert(extension);
        else
            fx.warnings.push_back("extension \"" + extension + "\" is not available in this server");
        Level own;
        putBool(own, 0, known);
        putString(own, 1, extension);
        fx.replies.push_back({core("ExtensionLoadedMessage"), structValue({Level(), own})});
        return fx;
    }

    // Viewers.
    if (type == core("CreateViewerMessage")) {
        const Level& base = levelAt(body, 1);
        const Level& own = levelAt(body, 2);
        const auto viewerId = static_cast<std::int32_t>(asSigned(fieldAt(base, 0)).value_or(0));
        if (m_viewers.count(viewerId)) {
            fx.warnings.push_back("viewer " + std::to_string(viewerId) + " created twice");
            fx.replies.push_back({core("ViewerCreatedMessage"), viewerReply(viewerId, 1)});
            return fx;
        }
        Viewer viewer;
        viewer.id = viewerId;
        viewer.windowHandle = asSigned(fieldAt(own, 1)).value_or(0);
        if (const Value* map = fieldAt(own, 2))
            for (std::size_t n = 0; n + 1 < map->elements.size(); n += 2)
                viewer.configuration[map->elements[n].s] = map->elements[n + 1].s;
        m_viewers[viewerId] = viewer;
        fx.viewersCreated.push_back(viewerId);
        fx.replies.push_back({core("ViewerCreatedMessage"), viewerReply(viewerId, 0)});
        return fx;
    }
    if (type == core("DestroyViewerMessage")) {
        const auto viewerId = static_cast<std::int32_t>(asSigned(fieldAt(levelAt(body, 1), 0)).value_or(0));
        const bool known = m_viewers.erase(viewerId) != 0;
        if (known)
            fx.viewersDestroyed.push_back(viewerId);
        else
            fx.warnings.push_back("destroy of unknown viewer " + std::to_string(viewerId));
        fx.replies.push_back({core("ViewerDestroyedMessage"), viewerReply(viewerId, known ? 0 : 1)});
        return fx;
    }
    if (type == core("QueryNavigationStateMessage")) {
        const auto viewerId = static_cast<std::int32_t>(asSigned(fieldAt(levelAt(body, 1), 0)).value_or(0));
        const auto found = m_viewers.find(viewerId);
        if (found == m_viewers.end())
            fx.warnings.push_back("navigation query for unknown viewer " + std::to_string(viewerId));
        const Camera camera = found != m_viewers.end() ? found->second.camera : Camera();
        fx.replies.push_back({core("QueryNavigationStateResponseMessage"), navigationState(viewerId, camera)});
        return fx;
    }
    static const std::set<std::string> viewerMessages = {
        "ResizeViewerMessage", "UpdateConfigurationMessage", "CreateLayersMessage", "UpdateLayersVisibilityMessage",
        "SetCursorMessage", "SetInteractionModeMessage", "EnableDollyMessage", "EnableDoubleClickMessage",
        "SetInteractionActionsMessage", "SetNavigationPresetMessage", "SetCameraDataMessage",
        "SetProjectionModeMessage"};
    if (!isExtension && viewerMessages.count(name)) {
        Viewer* viewer = addressedViewer(body, name, fx);
        if (!viewer)
            return fx;
        const Level& own = levelAt(body, 2);
        if (name == "ResizeViewerMessage") {
            viewer->width = static_cast<std::int32_t>(asSigned(fieldAt(own, 1)).value_or(0));
            viewer->height = static_cast<std::int32_t>(asSigned(fieldAt(own, 2)).value_or(0));
        } else if (name == "UpdateConfigurationMessage") {
            viewer->configuration.clear();
            if (const Value* map = fieldAt(own, 0))
                for (std::size_t n = 0; n + 1 < map->elements.size(); n += 2)
                    viewer->configuration[map->elements[n].s] = map->elements[n + 1].s;
        } else if (name == "CreateLayersMessage" || name == "UpdateLayersVisibilityMessage") {
            const bool create = name == "CreateLayersMessage";
            if (create)
                viewer->layers.clear();
            if (const Value* list = fieldAt(own, 1)) {
                for (const Value& layer : list->elements) {
                    const std::string layerName = asString(fieldAt(ownFields(&layer), 1)).value_or(std::string());
                    const bool visible = asBool(fieldAt(ownFields(&layer), 2)).value_or(false);
                    auto existing = std::find_if(viewer->layers.begin(), viewer->layers.end(),
                                                 [&](const auto& l) { return l.first == layerName; });
                    if (existing != viewer->layers.end())
                        existing->second = visible;
                    else if (create)
                        viewer->layers.emplace_back(layerName, visible);
                    else
                        fx.warnings.push_back("visibility of unknown layer \"" + layerName + "\"");
                }
            }
        } else if (name == "SetCursorMessage") {
            viewer->cursor = asString(fieldAt(own, 0)).value_or(std::string());
        } else if (name == "SetInteractionModeMessage") {
            viewer->interactionMode = static_cast<std::int32_t>(asSigned(fieldAt(own, 0)).value_or(1));
        } else if (name == "EnableDollyMessage") {
            viewer->dolly = asBool(fieldAt(own, 0)).value_or(false);
        } else if (name == "EnableDoubleClickMessage") {
            viewer->doubleClick = asBool(fieldAt(own, 0)).value_or(false);
        } else if (name == "SetInteractionActionsMessage") {
            const auto mode = static_cast<std::int32_t>(asSigned(fieldAt(own, 0)).value_or(1));
            Bindings& bindings = viewer->bindings[mode];
            if (const auto mouse = actionList(fieldAt(own, 1))) {
                bindings.mouse.clear();
                for (const Value* action : *mouse) {
                    const Level& f = ownFields(action);
                    bindings.mouse.push_back({actionName(action), static_cast<std::int32_t>(asSigned(fieldAt(f, 1)).value_or(0)),
                                              static_cast<std::int32_t>(asSigned(fieldAt(f, 2)).value_or(0)),
                                              static_cast<std::int32_t>(asSigned(fieldAt(f, 3)).value_or(0))});
                }
            }
            if (const auto keys = actionList(fieldAt(own, 2))) {
                bindings.keys.clear();
                for (const Value* action : *keys) {
                    const Level& f = ownFields(action);
                    bindings.keys.push_back({actionName(action), static_cast<std::int32_t>(asSigned(fieldAt(f, 1)).value_or(0)),
                                             static_cast<std::int32_t>(asSigned(fieldAt(f, 2)).value_or(0))});
                }
            }
        } else if (name == "SetCameraDataMessage") {
            if (const Value* data = fieldAt(levelAt(body, 3), 0); isStruct(data))
                applyCameraData(viewer->camera, *data);
        } else if (name == "SetNavigationPresetMessage") {
            if (const Value* data = nullableElement(fieldAt(levelAt(body, 3), 1)); isStruct(data))
                applyCameraData(viewer->camera, *data);
        } else if (name == "SetProjectionModeMessage") {
            viewer->camera.projectionMode = static_cast<int>(asSigned(fieldAt(levelAt(body, 3), 0)).value_or(0));
        }
        return fx;
    }

    // Objects.
    if (name == "DestroyObjectMessage" && !isExtension) {
        const std::uint64_t id = asUnsigned(fieldAt(levelAt(body, 1), 0)).value_or(0);
        if (!m_objects.count(id))
            fx.warnings.push_back("destroy of unknown object " + std::to_string(id));
        destroyObject(id);
        return fx;
    }
    if (name == "CreateGraticuleMessage") {
        const Level& own = levelAt(body, 1);
        SceneObject object;
        object.id = asUnsigned(fieldAt(own, 0)).value_or(0);
        object.kind = "Graticule";
        object.visible = asBool(fieldAt(own, 1)).value_or(true);
        if (m_objects.count(object.id))
            fx.warnings.push_back("object " + std::to_string(object.id) + " created twice");
        else
            m_objects[object.id] = object;
        return fx;
    }
    if (name == "CreateOverlayLabelMessage") {
        createObject(kindOf(type), body, 3, fx);
        return fx;
    }
    if (name.compare(0, 6, "Create") == 0 || name == "CreateRasterSource") {
        createObject(kindOf(type), body, 2, fx);
        const std::uint64_t id = asUnsigned(fieldAt(levelAt(body, 1), 0)).value_or(0);
        const Level& own = levelAt(body, 2);
        if (name == "CreateGridEngineTerrainMessage") {
            const std::string path = asString(fieldAt(own, 0)).value_or(std::string());
            if (!m_extensions.count("Quennet")) {
                fx.warnings.push_back("grid-engine terrain before the Quennet extension was loaded; no survey reports");
                return fx;
            }
            const SurveyInfo info = m_surveyReader(path);
            if (auto found = m_objects.find(id); found != m_objects.end() && found->second.kind == "GridEngineTerrain") {
                found->second.colorMap = readColorMap(fieldAt(own, 3));
                found->second.zMin = info.zMin;
                found->second.zMax = info.zMax;
            }
            Level meta;
            putUInt64(meta, 0, id);
            putDouble(meta, 1, info.refX);
            putDouble(meta, 2, info.refY);
            putStrings(meta, 5, info.terrainNames);
            putStrings(meta, 6, info.propertyNames);
            fx.replies.push_back({quennet("SurveyStaticMetaInfoMessage"), structValue({Level(), meta})});
            Level extent;
            putUInt64(extent, 0, id);
            putDouble(extent, 1, info.minX);
            putDouble(extent, 2, info.minY);
            putDouble(extent, 3, info.maxX);
            putDouble(extent, 4, info.maxY);
            fx.replies.push_back({quennet("SurveyExtentUpdatedMessage"), structValue({Level(), extent})});
            Level range;
            putFloat(range, 0, info.zMin);
            putFloat(range, 1, info.zMax);
            Level zRange;
            putUInt64(zRange, 0, id);
            zRange.push_back({1, structValue({range})});
            fx.replies.push_back({quennet("SurveyZRangeUpdatedMessage"), structValue({Level(), zRange})});
        } else if (name == "CreateRasterSource") {
            const std::string definition = nullableString(fieldAt(own, 0)).value_or(std::string());
            const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(definition)).object();
            const std::string file = json.value(QStringLiteral("Filename")).toString().toStdString();
            const std::optional<RasterInfo> raster = file.empty() ? std::nullopt : m_rasterReader(file);
            Level common;
            if (auto found = m_objects.find(id); found != m_objects.end() && found->second.kind == "RasterSource")
                found->second.raster = raster;
            if (raster) {
                Level extents;
                putDouble(extents, 0, raster->minX);
                putDouble(extents, 1, raster->maxX);
                putDouble(extents, 2, raster->minY);
                putDouble(extents, 3, raster->maxY);
                common.push_back({0, nullableValue(structValue({extents}))});
            } else {
                const std::string text = "Cannot read the raster \"" + file + "\"";
                fx.warnings.push_back(text);
                Level error;
                putString(error, 0, text);
                putInt32(error, 1, 2);
                error.push_back({4, nullableValue(uintValue(WireType::UInt64, id))});
                fx.replies.push_back({core("ErrorMessage"), structValue({Level(), error})});
            }
            Level objectPart;
            putUInt64(objectPart, 0, id);
            Level own2;
            own2.push_back({0, structValue({common})});
            fx.replies.push_back({core("RasterCreatedMessage"), structValue({Level(), objectPart, own2})});
        }
        return fx;
    }
    if (name == "PositionUpdateMessage" || name == "RotationUpdateMessage") {
        const Value* ids = fieldAt(levelAt(body, 1), 0);
        const Value* values = fieldAt(levelAt(body, 2), 0);
        const std::size_t idCount = ids ? listSize(*ids) : 0;
        const std::size_t valueCount = values ? values->elements.size() : 0;
        if (idCount != valueCount)
            fx.warnings.push_back(name + " with " + std::to_string(idCount) + " ids and " + std::to_string(valueCount) + " values");
        for (std::size_t n = 0; n < idCount; ++n) {
            const std::uint64_t id = elementAt(*ids, n).u;
            const auto found = m_objects.find(id);
            if (found == m_objects.end()) {
                fx.warnings.push_back(name + " of unknown object " + std::to_string(id));
                continue;
            }
            if (n >= valueCount)
                continue;
            if (name == "PositionUpdateMessage")
                found->second.position = readVec3(&values->elements[n], 0, 0);
            else
                found->second.rotation = readQuat(&values->elements[n]);
        }
        return fx;
    }
    if (name.compare(0, 6, "Update") == 0 || name == "SetColorMapRangeMessage" || name == "AddToPointBufferMessage") {
        SceneObject* object = updatedObject(body, name.c_str(), fx);
        if (!object)
            return fx;
        const Level& own = levelAt(body, 2);
        if (name == "UpdateVisibilityMessage")
            object->visible = asBool(fieldAt(own, 0)).value_or(false);
        else if (name == "UpdateLineMessage") {
            object->points = floatTriples(fieldAt(ownFields(fieldAt(own, 0)), 1));
            object->indices = int32List(fieldAt(ownFields(fieldAt(own, 0)), 2));
        } else if (name == "UpdateMaterialMessage")
            readMaterial(*object, fieldAt(own, 0));
        else if (name == "UpdateLegendMessage" && object->legend)
            readLegendSettings(*object->legend, fieldAt(own, 0));
        else if (name == "UpdateScaleMessage")
            object->scale = readVec3(fieldAt(own, 0), 1, 1);
        else if (name == "UpdatePositionHistoryMessage")
            object->points = positionList(fieldAt(own, 0));
        else if (name == "UpdateOverlayLabelMessage") {
            object->text = asString(fieldAt(ownFields(fieldAt(levelAt(body, 3), 1)), 0)).value_or(std::string());
            object->label = readLabelStyle(fieldAt(levelAt(body, 3), 0));
            object->overlayAt = readOverlayPosition(fieldAt(own, 1));
        }
        else if (name == "SetColorMapRangeMessage")
            object->colorMap = readColorMap(fieldAt(own, 0));
        else if (name == "UpdatePointBufferMessage")
            readPointBufferSettings(*object, fieldAt(own, 0));
        else if (name == "AddToPointBufferMessage")
            appendToBuffer(*object, fieldAt(own, 0));
        return fx;
    }
    return fx;
}

void Scene::createObject(const std::string& kind, const Value& body, std::size_t ownLevel, Effects& fx)
{
    const Level& base = levelAt(body, 1);
    const Level& own = levelAt(body, ownLevel);
    SceneObject object;
    object.id = asUnsigned(fieldAt(base, 0)).value_or(0);
    object.kind = kind;
    if (const auto parent = asUnsigned(nullableElement(fieldAt(base, 1)))) {
        object.parent = *parent;
        if (!m_objects.count(*parent))
            fx.warnings.push_back(kind + " " + std::to_string(object.id) + " with unknown parent " + std::to_string(*parent));
    }
    object.name = nullableString(fieldAt(base, 2)).value_or(std::string());
    object.position = readVec3(fieldAt(base, 4), 0, 0);
    object.rotation = readQuat(fieldAt(base, 5));
    object.scale = readVec3(fieldAt(base, 6), 1, 1);
    object.layer = nullableString(fieldAt(base, 7)).value_or(std::string());
    object.visible = asBool(fieldAt(base, 8)).value_or(true);
    object.pickable = asBool(fieldAt(base, 9)).value_or(true);
    readMaterial(object, fieldAt(base, 10));
    if (kind == "Line") {
        object.points = floatTriples(fieldAt(ownFields(fieldAt(own, 0)), 1));
        object.indices = int32List(fieldAt(ownFields(fieldAt(own, 0)), 2));
    } else if (kind == "Label" || kind == "OverlayLabel") {
        object.text = asString(fieldAt(ownFields(fieldAt(own, 1)), 0)).value_or(std::string());
        object.label = readLabelStyle(fieldAt(own, 0));
        if (kind == "OverlayLabel")
            object.overlayAt = readOverlayPosition(fieldAt(levelAt(body, 2), 1));
    } else if (kind == "Legend") {
        LegendSpec legend;
        legend.source = asUnsigned(fieldAt(own, 0)).value_or(0);
        readLegendSettings(legend, fieldAt(own, 1));
        object.legend = legend;
    }
    else if (kind == "GridEngineTerrain" || kind == "TerrainFromJson")
        object.text = asString(fieldAt(own, 0)).value_or(std::string());
    else if (kind == "RasterSource")
        object.text = nullableString(fieldAt(own, 0)).value_or(std::string());
    else if (kind == "PointBuffer")
        readPointBufferSettings(object, fieldAt(own, 0));

    if (object.id == 0)
        fx.warnings.push_back(kind + " with object id 0");
    if (m_objects.count(object.id)) {
        fx.warnings.push_back("object " + std::to_string(object.id) + " created twice (" + m_objects[object.id].kind
                              + ", then " + kind + ")");
        return;
    }
    m_objects[object.id] = std::move(object);
}

void Scene::appendToBuffer(SceneObject& object, const Value* list)
{
    if (!list || list->type != WireType::List)
        return;
    const std::size_t count = listSize(*list);
    for (std::size_t n = 0; n + 2 < count; n += 3)
        object.buffer.push_back({numberAt(*list, n).value_or(0.0), numberAt(*list, n + 1).value_or(0.0),
                                 numberAt(*list, n + 2).value_or(0.0)});
    // The oldest points go in steps, so a full buffer is not moved for every message.
    if (object.buffer.size() > object.capacity + object.capacity / 8) {
        const std::size_t excess = object.buffer.size() - object.capacity;
        object.buffer.erase(object.buffer.begin(), object.buffer.begin() + static_cast<std::ptrdiff_t>(excess));
    }
}

SceneObject* Scene::updatedObject(const Value& body, const char* what, Effects& fx)
{
    const std::uint64_t id = asUnsigned(fieldAt(levelAt(body, 1), 0)).value_or(0);
    const auto found = m_objects.find(id);
    if (found == m_objects.end()) {
        fx.warnings.push_back(std::string(what) + " of unknown object " + std::to_string(id));
        return nullptr;
    }
    return &found->second;
}

Viewer* Scene::addressedViewer(const Value& body, const std::string& type, Effects& fx)
{
    const auto viewerId = static_cast<std::int32_t>(asSigned(fieldAt(levelAt(body, 1), 0)).value_or(0));
    const auto found = m_viewers.find(viewerId);
    if (found == m_viewers.end()) {
        fx.warnings.push_back(type + " for unknown viewer " + std::to_string(viewerId));
        return nullptr;
    }
    return &found->second;
}

void Scene::applyCameraData(Camera& camera, const Value& cameraData)
{
    const Level& fields = ownFields(&cameraData);
    std::optional<Vec3> target;
    if (const auto objectId = asUnsigned(nullableElement(fieldAt(fields, 0)))) {
        const auto found = m_objects.find(*objectId);
        if (found != m_objects.end())
            target = found->second.position;
    }
    if (const Value* position = nullableElement(fieldAt(fields, 1)); isStruct(position))
        target = readVec3(position, 0, 0);
    std::optional<Vec3> cameraPosition;
    if (const Value* position = nullableElement(fieldAt(fields, 3)); isStruct(position))
        cameraPosition = readVec3(position, 0, 0);
    if (const Value* orientation = nullableElement(fieldAt(fields, 4)); isStruct(orientation))
        camera.orientation = readQuat(orientation);
    if (const auto focal = asDouble(nullableElement(fieldAt(fields, 5))))
        camera.focalDistance = *focal;
    if (const auto height = asDouble(nullableElement(fieldAt(fields, 6))))
        camera.viewportHeight = *height;
    if (const auto fov = asDouble(nullableElement(fieldAt(fields, 7))))
        camera.fieldOfView = *fov;

    if (cameraPosition)
        camera.position = *cameraPosition;
    if (target) {
        camera.target = target;
        if (cameraPosition) {
            const double dx = camera.position[0] - (*target)[0];
            const double dy = camera.position[1] - (*target)[1];
            const double dz = camera.position[2] - (*target)[2];
            camera.focalDistance = std::sqrt(dx * dx + dy * dy + dz * dz);
        } else {
            // Look straight down at the target from the focal distance.
            camera.position = {(*target)[0], (*target)[1], (*target)[2] + camera.focalDistance};
        }
    }
}

void Scene::destroyObject(std::uint64_t id)
{
    m_objects.erase(id);
    std::vector<std::uint64_t> children;
    for (const auto& [childId, object] : m_objects)
        if (object.parent && *object.parent == id)
            children.push_back(childId);
    for (std::uint64_t child : children)
        destroyObject(child);
}

Value Scene::navigationState(std::int32_t viewerId, const Camera& camera)
{
    Level state;
    state.push_back({0, positionStruct(camera.position)});
    state.push_back({1, rotationStruct(camera.orientation)});
    putDouble(state, 2, camera.focalDistance);
    putDouble(state, 3, camera.viewportHeight);
    putDouble(state, 4, camera.fieldOfView);

    const Vec3 target = camera.target.value_or(Vec3{camera.position[0], camera.position[1], 0});
    Level data;
    data.push_back({1, nullableValue(positionStruct(target))});
    data.push_back({3, nullableValue(positionStruct(camera.position))});
    data.push_back({4, nullableValue(rotationStruct(camera.orientation))});
    data.push_back({5, nullableValue(doubleValue(camera.focalDistance))});
    data.push_back({6, nullableValue(doubleValue(camera.viewportHeight))});
    data.push_back({7, nullableValue(doubleValue(camera.fieldOfView))});

    Level own;
    own.push_back({1, structValue({state})});
    own.push_back({2, structValue({data})});
    return structValue({Level(), viewerPart(viewerId), own});
}

QJsonObject Scene::toJson() const
{
    QJsonArray viewers;
    for (const auto& [id, viewer] : m_viewers) {
        QJsonObject configuration;
        for (const auto& [key, value] : viewer.configuration)
            configuration.insert(QString::fromStdString(key), QString::fromStdString(value));
        QJsonArray layers;
        for (const auto& [name, visible] : viewer.layers)
            layers.append(QJsonObject{{QStringLiteral("name"), QString::fromStdString(name)}, {QStringLiteral("visible"), visible}});
        const Camera& c = viewer.camera;
        viewers.append(QJsonObject{
            {QStringLiteral("id"), id},
            {QStringLiteral("windowHandle"), QString::number(viewer.windowHandle)},
            {QStringLiteral("width"), viewer.width},
            {QStringLiteral("height"), viewer.height},
            {QStringLiteral("configuration"), configuration},
            {QStringLiteral("layers"), layers},
            {QStringLiteral("cursor"), QString::fromStdString(viewer.cursor)},
            {QStringLiteral("interactionMode"), viewer.interactionMode},
            {QStringLiteral("dolly"), viewer.dolly},
            {QStringLiteral("doubleClick"), viewer.doubleClick},
            {QStringLiteral("camera"), QJsonObject{{QStringLiteral("position"), vecJson(c.position)},
                                                   {QStringLiteral("orientation"), QJsonArray{c.orientation[0], c.orientation[1], c.orientation[2], c.orientation[3]}},
                                                   {QStringLiteral("focalDistance"), c.focalDistance},
                                                   {QStringLiteral("viewportHeight"), c.viewportHeight},
                                                   {QStringLiteral("fieldOfView"), c.fieldOfView},
                                                   {QStringLiteral("projectionMode"), c.projectionMode}}}});
    }
    QJsonArray objects;
    for (const auto& [id, object] : m_objects) {
        QJsonArray points;
        for (const Vec3& p : object.points)
            points.append(vecJson(p));
        QJsonObject json{{QStringLiteral("id"), QString::number(id)},
                         {QStringLiteral("kind"), QString::fromStdString(object.kind)},
                         {QStringLiteral("name"), QString::fromStdString(object.name)},
                         {QStringLiteral("layer"), QString::fromStdString(object.layer)},
                         {QStringLiteral("position"), vecJson(object.position)},
                         {QStringLiteral("rotation"), QJsonArray{object.rotation[0], object.rotation[1], object.rotation[2], object.rotation[3]}},
                         {QStringLiteral("scale"), vecJson(object.scale)},
                         {QStringLiteral("visible"), object.visible},
                         {QStringLiteral("points"), points},
                         {QStringLiteral("text"), QString::fromStdString(object.text)}};
        if (object.kind == "PointBuffer")
            json.insert(QStringLiteral("bufferPoints"), static_cast<qint64>(object.buffer.size()));
        if (object.raster)
            json.insert(QStringLiteral("extents"), QJsonArray{object.raster->minX, object.raster->maxX, object.raster->minY, object.raster->maxY});
        if (object.parent)
            json.insert(QStringLiteral("parent"), QString::number(*object.parent));
        objects.append(json);
    }
    QJsonArray extensions;
    for (const std::string& name : m_extensions)
        extensions.append(QString::fromStdString(name));
    return QJsonObject{{QStringLiteral("viewers"), viewers}, {QStringLiteral("objects"), objects},
                       {QStringLiteral("extensions"), extensions}};
}

Rgba colourAt(const ColorMapSpec& map, double value, double low, double high)
{
    const Rgba clear{0, 0, 0, 0};
    if (!std::isfinite(value))
        return clear;
    for (const ColorMapSpec::Band& band : map.bands)
        if (value >= band.min && value <= band.max)
            return band.color;
    double lo = map.autoRange ? low : map.min;
    double hi = map.autoRange ? high : map.max;
    if (lo > hi)
        std::swap(lo, hi);
    const double width = hi - lo;
    double t = value;
    if (value < lo || value > hi) {
        if (map.wrap == 2)
            return clear;
        if (map.wrap == 1 && width > 0) {
            t = lo + std::fmod(value - lo, width);
            if (t < lo)
                t += width;
        } else {
            t = std::clamp(value, lo, hi);
        }
    }
    const double f = width > 0 ? (t - lo) / width : 0.0;

    // Hue, saturation and value of both ends; the hue runs the map's way round.
    auto hsv = [](const Rgba& c) {
        const double r = c[0], g = c[1], b = c[2];
        const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
        double h = 0;
        if (d > 0) {
            if (mx == r)
                h = std::fmod((g - b) / d, 6.0);
            else if (mx == g)
                h = (b - r) / d + 2.0;
            else
                h = (r - g) / d + 4.0;
            h /= 6.0;
            if (h < 0)
                h += 1.0;
        }
        return std::array<double, 3>{h, mx > 0 ? d / mx : 0.0, mx};
    };
    const auto a = hsv(map.start), b = hsv(map.end);
    double h0 = a[0], h1 = b[0];
    if (map.clockwise) {
        if (h0 > h1)
            h1 += 1.0;
    } else if (h1 > h0) {
        h0 += 1.0;
    }
    double h = h0 + (h1 - h0) * f;
    h -= std::floor(h);
    const double sat = a[1] + (b[1] - a[1]) * f;
    const double val = a[2] + (b[2] - a[2]) * f;
    const double alpha = map.start[3] + (map.end[3] - map.start[3]) * f;
    const double c = val * sat;
    const double hp = h * 6.0;
    const double x = c * (1.0 - std::fabs(std::fmod(hp, 2.0) - 1.0));
    double r = 0, g = 0, bl = 0;
    switch (static_cast<int>(hp) % 6) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, bl = x; break;
    case 3: g = x, bl = c; break;
    case 4: r = x, bl = c; break;
    default: r = c, bl = x; break;
    }
    const double m = val - c;
    return {static_cast<float>(r + m), static_cast<float>(g + m), static_cast<float>(bl + m), static_cast<float>(alpha)};
}

SurveyInfo readSurveyInfo(const std::string& terrainPath)
{
    SurveyInfo info;
    QString folder = platform::toNativePath(QString::fromStdString(terrainPath));
    while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
        folder.chop(1);
    if (folder.isEmpty())
        return info;
    QFile file(QFileInfo(folder).dir().filePath(QStringLiteral("standin_survey.json")));
    if (!file.open(QIODevice::ReadOnly))
        return info;
    const QJsonObject json = QJsonDocument::fromJson(file.read(1 << 20)).object();
    auto number = [&](const char* key, double fallback) {
        const QJsonValue v = json.value(QLatin1String(key));
        return v.isDouble() ? v.toDouble() : fallback;
    };
    auto names = [&](const char* key, const std::vector<std::string>& fallback) {
        const QJsonValue v = json.value(QLatin1String(key));
        if (!v.isArray())
            return fallback;
        std::vector<std::string> result;
        for (const QJsonValue& item : v.toArray())
            result.push_back(item.toString().toStdString());
        return result;
    };
    info.minX = number("minX", info.minX);
    info.minY = number("minY", info.minY);
    info.maxX = number("maxX", info.maxX);
    info.maxY = number("maxY", info.maxY);
    info.refX = number("refX", (info.minX + info.maxX) / 2);
    info.refY = number("refY", (info.minY + info.maxY) / 2);
    info.zMin = number("zMin", info.zMin);
    info.zMax = number("zMax", info.zMax);
    info.terrainNames = names("terrainNames", info.terrainNames);
    info.propertyNames = names("propertyNames", info.propertyNames);
    return info;
}

} // namespace orlex_standin
