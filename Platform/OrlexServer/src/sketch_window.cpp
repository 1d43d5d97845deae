#include "sketch_window.h"

#include "scene.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orlex_standin {

namespace {

constexpr std::uint64_t kFirstVesselId = 40000;
constexpr std::uint64_t kLastVesselId = 44999;
constexpr std::size_t kMaxPointsDrawn = 60000;
constexpr int kRescanMs = 1000;
constexpr int kFrameMs = 200;

QColor toQColor(const Rgba& c)
{
    auto unit = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    return QColor::fromRgbF(unit(c[0]), unit(c[1]), unit(c[2]), unit(c[3]));
}

QRgb toRgb(const Rgba& c)
{
    return toQColor(c).rgba();
}

// The angle (radians, counter-clockwise) of a rotation about the vertical axis.
double yawOf(const Quat& q)
{
    return std::atan2(2.0 * (q[3] * q[2] + q[0] * q[1]), 1.0 - 2.0 * (q[1] * q[1] + q[2] * q[2]));
}

std::string colouringKey(const ColorMapSpec& map, double low, double high)
{
    std::string key;
    for (float v : map.start)
        key += std::to_string(v) + ",";
    for (float v : map.end)
        key += std::to_string(v) + ",";
    key += std::to_string(map.clockwise) + std::to_string(map.autoRange) + std::to_string(map.wrap) + ","
           + std::to_string(map.min) + "," + std::to_string(map.max) + "," + std::to_string(low) + ","
           + std::to_string(high);
    for (const ColorMapSpec::Band& b : map.bands)
        key += ";" + std::to_string(b.min) + "," + std::to_string(b.max) + "," + std::to_string(b.color[0])
               + std::to_string(b.color[1]) + std::to_string(b.color[2]);
    return key;
}

qint64 modifiedOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() * 1000 + info.size() % 1000 : -1;
}

} // namespace

SketchWindow::SketchWindow(const Scene& scene, std::int32_t viewerId)
    : m_scene(scene), m_viewerId(viewerId), m_refresh(new QTimer(this)), m_renderLater(new QTimer(this))
{
    m_renderLater->setSingleShot(true);
    connect(m_renderLater, &QTimer::timeout, this, [this] { update(); });
    setAttribute(Qt::WA_NativeWindow);
    setAutoFillBackground(false);
    // Terrains grow on disk without a message: look again now and then.
    connect(m_refresh, &QTimer::timeout, this, [this] {
        if (!m_terrains.empty())
            update();
    });
    m_refresh->start(kRescanMs);
}

const std::vector<std::string>& SketchWindow::tilesOf(const std::string& terrainPath)
{
    TerrainFolder& folder = m_terrains[terrainPath];
    if (!folder.scanned.isValid() || folder.scanned.elapsed() >= kRescanMs) {
        folder.tiles = terrainTiles(terrainPath);
        folder.scanned.start();
    }
    return folder.tiles;
}

const SketchWindow::Picture* SketchWindow::raster(const std::string& fileName)
{
    Picture& picture = m_rasters[fileName];
    const qint64 modified = modifiedOf(QString::fromStdString(fileName));
    if (picture.modified != modified || picture.image.isNull()) {
        picture.modified = modified;
        picture.image = QImage();
        if (const std::optional<RasterImage> image = readRasterImage(fileName)) {
            QImage converted(static_cast<int>(image->width), static_cast<int>(image->height), QImage::Format_ARGB32);
            for (std::uint32_t y = 0; y < image->height; ++y) {
                auto* line = reinterpret_cast<QRgb*>(converted.scanLine(static_cast<int>(y)));
                for (std::uint32_t x = 0; x < image->width; ++x) {
                    const std::uint32_t p = image->pixels[static_cast<std::size_t>(y) * image->width + x];
                    line[x] = qRgba(static_cast<int>(p & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                                    static_cast<int>((p >> 16) & 0xFF), static_cast<int>(p >> 24));
                }
            }
            picture.image = converted;
            picture.minX = image->extents.minX, picture.maxX = image->extents.maxX;
            picture.minY = image->extents.minY, picture.maxY = image->extents.maxY;
        }
    }
    return picture.image.isNull() ? nullptr : &picture;
}

const SketchWindow::Picture* SketchWindow::tile(const std::string& localPath, const std::string& colouring,
                                                const ColorMapSpec& map, double low, double high)
{
    Picture& picture = m_tiles[localPath];
    const qint64 modified = modifiedOf(QString::fromStdString(localPath));
    if (picture.modified != modified) {
        picture.modified = modified;
        picture.heights.clear();
        picture.image = QImage();
        picture.colouring.clear();
        if (std::optional<ElevationTile> elevation = readElevationTile(localPath)) {
            picture.heights = std::move(elevation->heights);
            picture.image = QImage(static_cast<int>(elevation->width), static_cast<int>(elevation->height), QImage::Format_ARGB32);
            picture.minX = elevation->extents.minX, picture.maxX = elevation->extents.maxX;
            picture.minY = elevation->extents.minY, picture.maxY = elevation->extents.maxY;
        }
    }
    if (picture.image.isNull())
        return nullptr;
    if (picture.colouring != colouring) {
        const int width = picture.image.width();
        for (int y = 0; y < picture.image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.image.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = toRgb(colourAt(map, picture.heights[static_cast<std::size_t>(y * width + x)], low, high));
        }
        picture.colouring = colouring;
    }
    return &picture;
}

void SketchWindow::paintEvent(QPaintEvent*)
{
    // A frame younger than kFrameMs is shown again; the next one is drawn once it is due.
    const bool due = !m_rendered.isValid() || m_rendered.elapsed() >= kFrameMs;
    if (due || m_frame.size() != size()) {
        render();
        m_rendered.start();
    } else if (!m_renderLater->isActive()) {
        m_renderLater->start(static_cast<int>(kFrameMs - m_rendered.elapsed()));
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
}

void SketchWindow::render()
{
    if (m_frame.size() != size())
        m_frame = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    m_frame.fill(QColor(236, 240, 244));
    QPainter painter(&m_frame);

    const auto viewer = m_scene.viewers().find(m_viewerId);
    const Camera camera = viewer != m_scene.viewers().end() ? viewer->second.camera : Camera();
    const double span = camera.viewportHeight > 0 ? camera.viewportHeight : 1000.0;
    const double scale = std::max(1, height()) / span; // pixels per metre, north up
    auto toScreen = [&](double x, double y) {
        return QPointF(width() / 2.0 + (x - camera.position[0]) * scale, height() / 2.0 - (y - camera.position[1]) * scale);
    };
    auto area = [&](double minX, double minY, double maxX, double maxY) {
        return QRectF(toScreen(minX, maxY), toScreen(maxX, minY));
    };
    auto layerVisible = [&](const std::string& layer) {
        if (viewer == m_scene.viewers().end() || layer.empty())
            return true;
        for (const auto& [name, visible] : viewer->second.layers)
            if (name == layer)
                return visible;
        return true;
    };
    const auto& objects = m_scene.objects();
    auto shown = [&](const SceneObject& object) {
        for (const SceneObject* o = &object; o;) {
            if (!o->visible || !layerVisible(o->layer))
                return false;
            const auto parent = o->parent ? objects.find(*o->parent) : objects.end();
            o = parent != objects.end() ? &parent->second : nullptr;
        }
        return true;
    };
    // Where an object's own frame lies: its parents' positions and turns added up.
    struct Frame {
        double x = 0, y = 0, yaw = 0;
    };
    auto frameOf = [&](const SceneObject& object) {
        std::vector<const SceneObject*> chain;
        for (const SceneObject* o = &object; o && chain.size() < 16;) {
            chain.push_back(o);
            const auto parent = o->parent ? objects.find(*o->parent) : objects.end();
            o = parent != objects.end() ? &parent->second : nullptr;
        }
        Frame frame;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const SceneObject& o = **it;
            const double c = std::cos(frame.yaw), s = std::sin(frame.yaw);
            frame.x += c * o.position[0] - s * o.position[1];
            frame.y += s * o.position[0] + c * o.position[1];
            frame.yaw += yawOf(o.rotation);
        }
        return frame;
    };

    int drawn = 0;
    // Rasters, then terrains, under everything else.
    for (const auto& [id, object] : objects) {
        if (object.kind != "RasterSource" || !object.raster || !shown(object))
            continue;
        const std::string file = QJsonDocument::fromJson(QByteArray::fromStdString(object.text))
                                     .object()
                                     .value(QStringLiteral("Filename"))
                                     .toString()
                                     .toStdString();
        if (const Picture* picture = raster(file)) {
            painter.drawImage(area(object.raster->minX, object.raster->minY, object.raster->maxX, object.raster->maxY),
                              picture->image);
            ++drawn;
        }
    }
    for (const auto& [id, object] : objects) {
        if (object.kind != "GridEngineTerrain" || !shown(object))
            continue;
        const ColorMapSpec map = object.colorMap.value_or(ColorMapSpec());
        const std::string colouring = colouringKey(map, object.zMin, object.zMax);
        for (const std::string& path : tilesOf(object.text))
            if (const Picture* picture = tile(path, colouring, map, object.zMin, object.zMax))
                painter.drawImage(area(picture->minX, picture->minY, picture->maxX, picture->maxY), picture->image);
        ++drawn;
    }

    // Point buffers: the newest points, coloured by depth.
    for (const auto& [id, object] : objects) {
        if (object.kind != "PointBuffer" || object.buffer.empty() || !shown(object))
            continue;
        ++drawn;
        const ColorMapSpec map = object.colorMap.value_or(ColorMapSpec());
        double low = 0, high = 0;
        const auto source = object.rangeSource ? objects.find(*object.rangeSource) : objects.end();
        if (source != objects.end() && source->second.zMax > source->second.zMin) {
            low = source->second.zMin, high = source->second.zMax;
        } else {
            low = high = object.buffer.front()[2];
            for (const Vec3& p : object.buffer)
                low = std::min(low, p[2]), high = std::max(high, p[2]);
        }
        // Two by two pixels each, written straight into the frame.
        const std::size_t first = object.buffer.size() > kMaxPointsDrawn ? object.buffer.size() - kMaxPointsDrawn : 0;
        painter.end();
        const int w = m_frame.width(), h = m_frame.height();
        for (std::size_t n = first; n < object.buffer.size(); ++n) {
            const Vec3& p = object.buffer[n];
            const QPointF at = toScreen(p[0], p[1]);
            if (!(at.x() >= 1 && at.y() >= 1 && at.x() < w && at.y() < h))
                continue;
            const Rgba c = colourAt(map, p[2], low, high);
            if (c[3] <= 0)
                continue;
            const QRgb rgb = toRgb(c) | 0xFF000000u;
            const int x = static_cast<int>(at.x()), y = static_cast<int>(at.y());
            for (int row = y - 1; row <= y; ++row) {
                auto* line = reinterpret_cast<QRgb*>(m_frame.scanLine(row));
                line[x - 1] = rgb;
                line[x] = rgb;
            }
        }
        painter.begin(&m_frame);
    }

    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [id, object] : objects) {
        if (object.kind == "RasterSource" || object.kind == "GridEngineTerrain" || object.kind == "PointBuffer"
            || !shown(object))
            continue;
        ++drawn;
        const Frame frame = frameOf(object);
        const QPointF anchor = toScreen(frame.x, frame.y);
        if (object.points.size() >= 2) {
            const double c = std::cos(frame.yaw), s = std::sin(frame.yaw);
            QPainterPath path;
            for (std::size_t n = 0; n < object.points.size(); ++n) {
                const double px = object.points[n][0] * object.scale[0], py = object.points[n][1] * object.scale[1];
                const QPointF point = toScreen(frame.x + c * px - s * py, frame.y + s * px + c * py);
                if (n == 0)
                    path.moveTo(point);
                else
                    path.lineTo(point);
            }
            painter.setPen(QPen(QColor(30, 70, 160), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
        } else if (!object.text.empty() && (object.kind == "Label" || object.kind == "OverlayLabel")) {
            painter.setPen(QColor(20, 20, 20));
            painter.drawText(anchor + QPointF(4, -4), QString::fromStdString(object.text));
            painter.drawEllipse(anchor, 2, 2);
        } else if (id >= kFirstVesselId && id <= kLastVesselId && !object.parent) {
            // A vessel: a bow-first triangle along its heading.
            painter.save();
            painter.translate(anchor);
            painter.rotate(-frame.yaw * 180.0 / 3.14159265358979323846);
            QPolygonF hull;
            hull << QPointF(0, -14) << QPointF(7, 8) << QPointF(0, 4) << QPointF(-7, 8);
            painter.setPen(QPen(QColor(20, 20, 20), 1.5));
            painter.setBrush(QColor(250, 200, 40));
            painter.drawPolygon(hull);
            painter.restore();
            painter.setPen(QColor(20, 20, 20));
            painter.drawText(anchor + QPointF(10, -8), QString::fromStdString(object.name.empty() ? std::to_string(id) : object.name));
        } else {
            painter.setPen(QPen(QColor(150, 60, 20), 1));
            painter.setBrush(QColor(240, 160, 60));
            painter.drawEllipse(anchor, 4, 4);
            painter.setPen(QColor(90, 90, 90));
            painter.drawText(anchor + QPointF(6, 4), QStringLiteral("%1 %2").arg(QString::fromStdString(object.kind)).arg(id));
        }
    }

    const QPointF centre = toScreen(camera.position[0], camera.position[1]);
    painter.setPen(QPen(QColor(200, 30, 30), 1.5));
    painter.drawLine(centre + QPointF(-8, 0), centre + QPointF(8, 0));
    painter.drawLine(centre + QPointF(0, -8), centre + QPointF(0, 8));

    painter.setPen(QColor(60, 60, 60));
    painter.drawText(QRectF(8, 6, width() - 16, 40), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Viewer stand-in: top-down sketch\n"
                                    "viewer %1, centre %2 / %3, %4 m high, %5 objects drawn")
                         .arg(m_viewerId)
                         .arg(camera.position[0], 0, 'f', 1)
                         .arg(camera.position[1], 0, 'f', 1)
                         .arg(span, 0, 'f', 1)
                         .arg(drawn));
}

} // namespace orlex_standin
