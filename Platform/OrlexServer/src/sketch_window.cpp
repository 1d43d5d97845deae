#include "sketch_window.h"

#include "scene.h"

#include "view.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWindow>

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

SketchWindow::SketchWindow(Scene& scene, std::int32_t viewerId, Sink sink)
    : m_scene(scene), m_viewerId(viewerId), m_interaction(scene, viewerId), m_sink(std::move(sink)),
      m_heldMove(new QTimer(this)), m_refresh(new QTimer(this)), m_renderLater(new QTimer(this))
{
    m_clock.start();
    m_interaction.setHeightAt([this](const SceneObject& terrain, double x, double y) { return heightAt(terrain, x, y); });
    m_heldMove->setSingleShot(true);
    connect(m_heldMove, &QTimer::timeout, this, [this] { apply(m_interaction.sendHeldMove(m_clock.elapsed())); });
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
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


namespace {

std::int32_t buttonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return input::kLeft;
    case Qt::MiddleButton: return input::kMiddle;
    case Qt::RightButton: return input::kRight;
    default: return 0;
    }
}

std::int32_t modifiersOf(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? input::kShift : 0) | (modifiers & Qt::ControlModifier ? input::kControl : 0)
         | (modifiers & Qt::AltModifier ? input::kAlt : 0);
}

// The server's key code of a key: the arrows 23 to 26, letters and digits as their capital
// characters, F1 to F12 from 112, and the ASCII controls.
std::int32_t keyCodeOf(int key)
{
    switch (key) {
    case Qt::Key_Left: return input::kKeyLeft;
    case Qt::Key_Up: return input::kKeyUp;
    case Qt::Key_Right: return input::kKeyRight;
    case Qt::Key_Down: return input::kKeyDown;
    case Qt::Key_Return:
    case Qt::Key_Enter: return input::kKeyReturn;
    case Qt::Key_Escape: return input::kKeyEscape;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Delete: return 127;
    default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 112 + (key - Qt::Key_F1);
    if (key >= 0x20 && key < 0x7F)
        return key;
    return 0;
}

QColor penColour(const std::optional<Rgba>& colour, const QColor& fallback)
{
    if (!colour)
        return fallback;
    QColor c = toQColor(*colour);
    c.setAlpha(255);
    return c;
}

// A label's text in its colour, ringed in its outline colour where that differs.
void drawOutlinedText(QPainter& painter, const QRectF& box, int flags, const QString& text, const LabelLook& look)
{
    const QColor colour = penColour(look.text, QColor(20, 20, 20));
    const QColor outline = penColour(look.outline, colour);
    if (outline != colour) {
        painter.setPen(outline);
        for (const QPointF& step : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
            painter.drawText(box.translated(step), flags, text);
    }
    painter.setPen(colour);
    painter.drawText(box, flags, text);
}

} // namespace

void SketchWindow::apply(PointerEffects effects)
{
    if (effects.redraw) {
        m_rendered.invalidate(); // the pointer wants its answer drawn now
        update();
    }
    scheduleHeldMove();
    if (m_sink && (!effects.messages.empty() || effects.cameraChanged))
        m_sink(std::move(effects));
}

void SketchWindow::scheduleHeldMove()
{
    if (const std::optional<std::int64_t> due = m_interaction.heldMoveDue())
        if (!m_heldMove->isActive())
            m_heldMove->start(static_cast<int>(std::max<std::int64_t>(0, *due - m_clock.elapsed())));
}

void SketchWindow::resizeEvent(QResizeEvent*)
{
    m_interaction.resize(width(), height());
}

void SketchWindow::mousePressEvent(QMouseEvent* event)
{
    if (windowHandle())
        windowHandle()->requestActivate(); // keys come here once the view was clicked
    setFocus(Qt::MouseFocusReason);
    apply(m_interaction.press(event->localPos(), buttonOf(event->button()), modifiersOf(event->modifiers()), m_clock.elapsed()));
}

void SketchWindow::mouseMoveEvent(QMouseEvent* event)
{
    apply(m_interaction.move(event->localPos(), m_clock.elapsed()));
}

void SketchWindow::mouseReleaseEvent(QMouseEvent* event)
{
    apply(m_interaction.release(event->localPos(), buttonOf(event->button()), modifiersOf(event->modifiers()), m_clock.elapsed()));
}

void SketchWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    apply(m_interaction.doubleClick(event->localPos(), buttonOf(event->button()), modifiersOf(event->modifiers()), m_clock.elapsed()));
}

void SketchWindow::wheelEvent(QWheelEvent* event)
{
    apply(m_interaction.wheel(event->position(), event->angleDelta().y() / 120.0, modifiersOf(event->modifiers())));
}

void SketchWindow::keyPressEvent(QKeyEvent* event)
{
    if (const std::int32_t code = keyCodeOf(event->key()))
        apply(m_interaction.key(code, modifiersOf(event->modifiers()), true));
}

void SketchWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    if (const std::int32_t code = keyCodeOf(event->key()))
        apply(m_interaction.key(code, modifiersOf(event->modifiers()), false));
}

std::optional<double> SketchWindow::heightAt(const SceneObject& terrain, double x, double y)
{
    for (const std::string& path : tilesOf(terrain.text)) {
        const auto found = m_tiles.find(path);
        if (found == m_tiles.end() || found->second.image.isNull())
            continue;
        const Picture& p = found->second;
        if (x < p.minX || x >= p.maxX || y <= p.minY || y > p.maxY)
            continue;
        const int w = p.image.width(), h = p.image.height();
        const int column = std::clamp(static_cast<int>((x - p.minX) / (p.maxX - p.minX) * w), 0, w - 1);
        const int row = std::clamp(static_cast<int>((p.maxY - y) / (p.maxY - p.minY) * h), 0, h - 1);
        const float value = p.heights[static_cast<std::size_t>(row) * static_cast<std::size_t>(w) + static_cast<std::size_t>(column)];
        if (std::isfinite(value))
            return value;
    }
    return std::nullopt;
}

void SketchWindow::render()
{
    if (m_frame.size() != size())
        m_frame = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    m_frame.fill(QColor(236, 240, 244));
    QPainter painter(&m_frame);

    const auto viewerFound = m_scene.viewers().find(m_viewerId);
    const Viewer* viewer = viewerFound != m_scene.viewers().end() ? &viewerFound->second : nullptr;
    const Camera camera = viewer ? viewer->camera : Camera();
    const ViewTransform view(camera, width(), height());
    auto toScreen = [&](double x, double y) { return view.toScreen(x, y); };
    // World to screen as a painter transform, for pictures.
    const Vec3 c0 = view.toWorld(QPointF(width() / 2.0, height() / 2.0));
    const QPointF o = toScreen(c0[0], c0[1]);
    const QPointF ex = toScreen(c0[0] + 1, c0[1]) - o, ey = toScreen(c0[0], c0[1] + 1) - o;
    const QTransform world(ex.x(), ex.y(), ey.x(), ey.y(), o.x() - ex.x() * c0[0] - ey.x() * c0[1], o.y() - ex.y() * c0[0] - ey.y() * c0[1]);
    auto drawPicture = [&](const QImage& image, double minX, double minY, double maxX, double maxY) {
        const QTransform onWorld((maxX - minX) / image.width(), 0, 0, -(maxY - minY) / image.height(), minX, maxY);
        painter.setTransform(onWorld * world);
        painter.drawImage(0, 0, image);
        painter.resetTransform();
    };
    const QRectF screen(-50, -50, width() + 100, height() + 100);

    const auto& objects = m_scene.objects();
    auto shown = [&](const SceneObject& object) { return objectShown(m_scene, viewer, object); };

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
            drawPicture(picture->image, object.raster->minX, object.raster->minY, object.raster->maxX, object.raster->maxY);
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
                drawPicture(picture->image, picture->minX, picture->minY, picture->maxX, picture->maxY);
        ++drawn;
    }

    // The range a point buffer's colours span.
    auto bufferRange = [&](const SceneObject& object) {
        double low = 0, high = 0;
        const auto source = object.rangeSource ? objects.find(*object.rangeSource) : objects.end();
        if (source != objects.end() && source->second.zMax > source->second.zMin) {
            low = source->second.zMin, high = source->second.zMax;
        } else if (!object.buffer.empty()) {
            low = high = object.buffer.front()[2];
            for (const Vec3& p : object.buffer)
                low = std::min(low, p[2]), high = std::max(high, p[2]);
        }
        return std::make_pair(low, high);
    };

    // Point buffers: the newest points, coloured by depth.
    for (const auto& [id, object] : objects) {
        if (object.kind != "PointBuffer" || object.buffer.empty() || !shown(object))
            continue;
        ++drawn;
        const ColorMapSpec map = object.colorMap.value_or(ColorMapSpec());
        const auto [low, high] = bufferRange(object);
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

    // Thousands of objects are drawn without smoothing.
    painter.setRenderHint(QPainter::Antialiasing, objects.size() < 2000);
    std::vector<const SceneObject*> overlays, legends;
    for (const auto& [id, object] : objects) {
        if (object.kind == "RasterSource" || object.kind == "GridEngineTerrain" || object.kind == "PointBuffer"
            || object.kind == "Graticule" || !shown(object))
            continue;
        if (object.kind == "OverlayLabel") {
            overlays.push_back(&object);
            continue;
        }
        if (object.kind == "Legend") {
            legends.push_back(&object);
            continue;
        }
        const WorldFrame frame = worldFrame(m_scene, object);
        const QPointF anchor = toScreen(frame.x, frame.y);
        if (object.points.size() >= 2) {
            QPainterPath path;
            for (const std::vector<std::size_t>& strip : lineStrips(object)) {
                for (std::size_t n = 0; n < strip.size(); ++n) {
                    const Vec3 w = frame.apply(object.points[strip[n]], object.scale);
                    const QPointF point = toScreen(w[0], w[1]);
                    if (n == 0)
                        path.moveTo(point);
                    else
                        path.lineTo(point);
                }
            }
            // (A level or upright line has a bounding box of no height or width.)
            if (!path.controlPointRect().adjusted(-1, -1, 1, 1).intersects(screen))
                continue;
            ++drawn;
            const double width = std::clamp(object.lineWidth, 1.0, 8.0);
            painter.setBrush(Qt::NoBrush);
            if (object.id >= (std::uint64_t(1) << 48)) {
                // The server's own line (measuring, drawing): cased so that any colour shows.
                painter.setPen(QPen(QColor(20, 20, 20), width + 2));
                painter.drawPath(path);
            }
            painter.setPen(QPen(penColour(object.colour, QColor(30, 70, 160)), width));
            painter.drawPath(path);
            if (!object.text.empty()) {
                painter.setPen(QColor(20, 20, 20));
                painter.drawText(path.pointAtPercent(0.5) + QPointF(6, -6), QString::fromStdString(object.text));
            }
            continue;
        }
        if (!screen.contains(anchor))
            continue;
        ++drawn;
        if (!object.text.empty() && object.kind == "Label") {
            QFont font = painter.font();
            font.setPixelSize(static_cast<int>(std::clamp(object.label.size * 0.7, 8.0, 28.0)));
            painter.setFont(font);
            const QString text = QString::fromStdString(object.text);
            QRectF box = painter.fontMetrics().boundingRect(text);
            box.moveBottomLeft(anchor + QPointF(4, -4));
            if (object.label.withBackground)
                painter.fillRect(box.adjusted(-2, -1, 2, 1), toQColor(object.label.background));
            drawOutlinedText(painter, box, Qt::AlignLeft | Qt::AlignVCenter, text, object.label);
            painter.setFont(QFont());
            painter.drawEllipse(anchor, 2, 2);
        } else if (id >= kFirstVesselId && id <= kLastVesselId && !object.parent) {
            // A vessel: a bow-first triangle along its heading, turned with the view.
            painter.save();
            painter.translate(anchor);
            painter.rotate(-(frame.yaw - view.yaw()) * 180.0 / 3.14159265358979323846);
            QPolygonF hull;
            hull << QPointF(0, -14) << QPointF(7, 8) << QPointF(0, 4) << QPointF(-7, 8);
            painter.setPen(QPen(QColor(20, 20, 20), 1.5));
            painter.setBrush(QColor(250, 200, 40));
            painter.drawPolygon(hull);
            painter.restore();
            painter.setPen(QColor(20, 20, 20));
            painter.drawText(anchor + QPointF(10, -8), QString::fromStdString(object.name.empty() ? std::to_string(id) : object.name));
        } else if (object.colour) {
            // A marker in its own colour (vertex and user markers, selections).
            painter.setPen(QPen(QColor(20, 20, 20), 1));
            painter.setBrush(penColour(object.colour, Qt::gray));
            painter.drawRect(QRectF(anchor - QPointF(4, 4), QSizeF(8, 8)));
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

    // Legends: a colour bar of the source's map, top the high end, with the texts as sent.
    int right = width() - 12;
    for (const SceneObject* object : legends) {
        const LegendSpec& legend = *object->legend;
        const auto source = objects.find(legend.source);
        if (source == objects.end() || !source->second.colorMap)
            continue;
        const SceneObject& s = source->second;
        const ColorMapSpec& map = *s.colorMap;
        double low = s.zMin, high = s.zMax;
        if (s.kind == "PointBuffer")
            std::tie(low, high) = bufferRange(s);
        const double lo = map.autoRange ? low : map.min, hi = map.autoRange ? high : map.max;
        auto shownValue = [&](double v) { return (legend.negate ? -v : v) * legend.valueScale; };
        const int barHeight = std::clamp(height() / 3, 60, 240);
        const QString unit = QString::fromStdString(legend.unit);
        const QString top = QString::number(shownValue(hi), 'f', 1) + (unit.isEmpty() ? QString() : QStringLiteral(" ") + unit);
        const QString bottom = QString::number(shownValue(lo), 'f', 1) + (unit.isEmpty() ? QString() : QStringLiteral(" ") + unit);
        const QString title = QString::fromStdString(legend.title);
        const QFontMetrics metrics = painter.fontMetrics();
        const int textWidth = std::max({metrics.horizontalAdvance(top), metrics.horizontalAdvance(bottom), metrics.horizontalAdvance(title) - 22});
        const QRect box(right - (textWidth + 36), 50, textWidth + 36, barHeight + 2 * metrics.height() + 12);
        painter.fillRect(box, toQColor(legend.background));
        const QRect bar(box.left() + 6, box.top() + metrics.height() + 6, 18, barHeight);
        for (int y = 0; y < bar.height(); ++y) {
            const double v = hi - (hi - lo) * (y + 0.5) / bar.height();
            painter.fillRect(QRect(bar.left(), bar.top() + y, bar.width(), 1), toQColor(colourAt(map, v, low, high)));
        }
        painter.setPen(penColour(legend.text, QColor(20, 20, 20)));
        painter.drawText(QPoint(box.left() + 6, box.top() + metrics.ascent() + 3), title);
        painter.drawText(QPoint(bar.right() + 6, bar.top() + metrics.ascent() / 2), top);
        painter.drawText(QPoint(bar.right() + 6, bar.bottom() + metrics.ascent() / 2), bottom);
        painter.setPen(QColor(20, 20, 20));
        painter.drawRect(bar);
        right = box.left() - 8;
    }

    // Overlay labels at their pixel places (the mode label among them); one that would cover
    // another goes above it.
    std::vector<QRectF> placed;
    for (const SceneObject* object : overlays) {
        if (object->text.empty() || !object->overlayAt)
            continue;
        QFont font = painter.font();
        font.setPixelSize(static_cast<int>(std::clamp(object->label.size, 8.0, 28.0)));
        painter.setFont(font);
        const QString text = QString::fromStdString(object->text);
        QRectF box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
        box.moveTopLeft(QPointF((*object->overlayAt)[0], (*object->overlayAt)[1]));
        for (int tries = 0; tries < 8 && std::any_of(placed.begin(), placed.end(), [&](const QRectF& r) { return r.intersects(box); }); ++tries)
            box.translate(0, -box.height() - 2);
        placed.push_back(box);
        if (object->label.withBackground)
            painter.fillRect(box, toQColor(object->label.background));
        drawOutlinedText(painter, box, Qt::AlignCenter, text, object->label);
        painter.setFont(QFont());
    }

    painter.setPen(QColor(60, 60, 60));
    painter.drawText(QRectF(8, 6, width() - 16, 40), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Viewer stand-in: top-down sketch\n"
                                    "viewer %1, centre %2 / %3, %4 m high, %5 objects drawn")
                         .arg(m_viewerId)
                         .arg(camera.position[0], 0, 'f', 1)
                         .arg(camera.position[1], 0, 'f', 1)
                         .arg(camera.viewportHeight > 0 ? camera.viewportHeight : 1000.0, 0, 'f', 1)
                         .arg(drawn));
}

} // namespace orlex_standin
