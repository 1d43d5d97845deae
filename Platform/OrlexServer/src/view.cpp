#include "view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orlex_standin {

ViewTransform::ViewTransform(const Camera& camera, int width, int height)
    : m_cx(std::max(1, width) / 2.0), m_cy(std::max(1, height) / 2.0), m_ex(camera.position[0]),
      m_ey(camera.position[1]), m_scale(std::max(1, height) / (camera.viewportHeight > 0 ? camera.viewportHeight : 1000.0)),
      m_yaw(yawOf(camera.orientation)), m_cos(std::cos(m_yaw)), m_sin(std::sin(m_yaw))
{
}

QPointF ViewTransform::toScreen(double x, double y) const
{
    // Screen right is the camera's (cos, sin), screen up its (-sin, cos).
    const double dx = x - m_ex, dy = y - m_ey;
    const double right = dx * m_cos + dy * m_sin;
    const double up = -dx * m_sin + dy * m_cos;
    return QPointF(m_cx + right * m_scale, m_cy - up * m_scale);
}

Vec3 ViewTransform::toWorld(const QPointF& pixel) const
{
    const double right = (pixel.x() - m_cx) / m_scale;
    const double up = (m_cy - pixel.y()) / m_scale;
    return {m_ex + right * m_cos - up * m_sin, m_ey + right * m_sin + up * m_cos, 0.0};
}

double yawOf(const Quat& q)
{
    return std::atan2(2.0 * (q[3] * q[2] + q[0] * q[1]), 1.0 - 2.0 * (q[1] * q[1] + q[2] * q[2]));
}

Quat yawRotation(double angle)
{
    return {0, 0, std::sin(angle / 2), std::cos(angle / 2)};
}

Vec3 WorldFrame::apply(const Vec3& local, const Vec3& scale) const
{
    const double c = std::cos(yaw), s = std::sin(yaw);
    const double px = local[0] * scale[0], py = local[1] * scale[1];
    return {x + c * px - s * py, y + s * px + c * py, z + local[2] * scale[2]};
}

WorldFrame worldFrame(const Scene& scene, const SceneObject& object)
{
    const auto& objects = scene.objects();
    std::vector<const SceneObject*> chain;
    for (const SceneObject* o = &object; o && chain.size() < 16;) {
        chain.push_back(o);
        const auto parent = o->parent ? objects.find(*o->parent) : objects.end();
        o = parent != objects.end() ? &parent->second : nullptr;
    }
    WorldFrame frame;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const SceneObject& o = **it;
        const double c = std::cos(frame.yaw), s = std::sin(frame.yaw);
        frame.x += c * o.position[0] - s * o.position[1];
        frame.y += s * o.position[0] + c * o.position[1];
        frame.z += o.position[2];
        frame.yaw += yawOf(o.rotation);
    }
    return frame;
}

std::vector<std::vector<std::size_t>> lineStrips(const SceneObject& line)
{
    std::vector<std::vector<std::size_t>> strips;
    if (line.indices.empty()) {
        strips.emplace_back();
        for (std::size_t n = 0; n < line.points.size(); ++n)
            strips.back().push_back(n);
        return strips;
    }
    strips.emplace_back();
    for (const std::int32_t index : line.indices) {
        if (index < 0) {
            if (!strips.back().empty())
                strips.emplace_back();
        } else if (static_cast<std::size_t>(index) < line.points.size()) {
            strips.back().push_back(static_cast<std::size_t>(index));
        }
    }
    if (strips.back().empty())
        strips.pop_back();
    return strips;
}

bool objectShown(const Scene& scene, const Viewer* viewer, const SceneObject& object)
{
    auto layerVisible = [&](const std::string& layer) {
        if (!viewer || layer.empty())
            return true;
        for (const auto& [name, visible] : viewer->layers)
            if (name == layer)
                return visible;
        return true;
    };
    const auto& objects = scene.objects();
    int depth = 0;
    for (const SceneObject* o = &object; o && depth < 16; ++depth) {
        if (!o->visible || !layerVisible(o->layer))
            return false;
        const auto parent = o->parent ? objects.find(*o->parent) : objects.end();
        o = parent != objects.end() ? &parent->second : nullptr;
    }
    return true;
}

namespace {

// Distance from p to the segment a-b, pixels.
double segmentDistance(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF d = b - a;
    const double length2 = d.x() * d.x() + d.y() * d.y();
    double t = length2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF q = a + d * t - p;
    return std::hypot(q.x(), q.y());
}

bool isSurface(const std::string& kind)
{
    return kind == "RasterSource" || kind == "GridEngineTerrain" || kind == "PointBuffer" || kind == "Graticule"
        || kind == "Legend" || kind == "OverlayLabel";
}

} // namespace

Hit hitTest(const Scene& scene, std::int32_t viewerId, const ViewTransform& view, const QPointF& pixel,
            double boxWidth, double boxHeight, const HeightAt& heightAt)
{
    const Viewer* viewer = nullptr;
    if (const auto found = scene.viewers().find(viewerId); found != scene.viewers().end())
        viewer = &found->second;
    const Vec3 ground = view.toWorld(pixel);
    Hit hit;
    hit.position = ground;

    // Within the pick box: half its width and height round the pointer.
    const double halfW = std::max(1.0, boxWidth / 2), halfH = std::max(1.0, boxHeight / 2);
    auto inBox = [&](const QPointF& at) {
        return std::fabs(at.x() - pixel.x()) <= halfW && std::fabs(at.y() - pixel.y()) <= halfH;
    };
    const double reach = std::max(halfW, halfH);
    double best = std::numeric_limits<double>::max();
    for (const auto& [id, object] : scene.objects()) {
        if (!object.pickable || isSurface(object.kind) || !objectShown(scene, viewer, object))
            continue;
        const WorldFrame frame = worldFrame(scene, object);
        if (object.points.size() >= 2) {
            for (const std::vector<std::size_t>& strip : lineStrips(object)) {
                for (std::size_t n = 0; n + 1 < strip.size(); ++n) {
                    const Vec3 a = frame.apply(object.points[strip[n]], object.scale);
                    const Vec3 b = frame.apply(object.points[strip[n + 1]], object.scale);
                    const QPointF sa = view.toScreen(a[0], a[1]), sb = view.toScreen(b[0], b[1]);
                    const double d = segmentDistance(pixel, sa, sb);
                    if (d <= reach && d < best) {
                        best = d;
                        // The point on the line nearest the pointer, its height between the ends.
                        const QPointF ab = sb - sa;
                        const double length2 = ab.x() * ab.x() + ab.y() * ab.y();
                        const double t = length2 > 0 ? std::clamp(((pixel.x() - sa.x()) * ab.x() + (pixel.y() - sa.y()) * ab.y()) / length2, 0.0, 1.0) : 0.0;
                        hit.objectId = id;
                        hit.position = {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
                    }
                }
            }
        } else if (object.points.empty()) {
            const QPointF at = view.toScreen(frame.x, frame.y);
            if (inBox(at)) {
                const double d = std::hypot(at.x() - pixel.x(), at.y() - pixel.y());
                if (d < best) {
                    best = d;
                    hit.objectId = id;
                    hit.position = {frame.x, frame.y, frame.z};
                }
            }
        }
    }
    if (hit.objectId)
        return hit;

    // Surfaces: the terrain with a height here wins over a raster.
    std::optional<std::uint64_t> raster;
    for (const auto& [id, object] : scene.objects()) {
        if (!object.pickable || !objectShown(scene, viewer, object))
            continue;
        if (object.kind == "GridEngineTerrain" && heightAt) {
            if (const std::optional<double> height = heightAt(object, ground[0], ground[1])) {
                hit.objectId = id;
                hit.position[2] = *height;
                return hit;
            }
        } else if (object.kind == "RasterSource" && object.raster && !raster) {
            const RasterInfo& r = *object.raster;
            if (ground[0] >= r.minX && ground[0] <= r.maxX && ground[1] >= r.minY && ground[1] <= r.maxY)
                raster = id;
        }
    }
    hit.objectId = raster;
    return hit;
}

} // namespace orlex_standin
