// Where a viewer's scene lies on its window: the top-down projection of the camera (centre, metres
// per pixel, turn about the vertical), the objects' places in the world, and what lies under a
// pixel.
#pragma once

#include "scene.h"

#include <QPointF>

#include <functional>
#include <optional>

namespace orlex_standin {

// The camera seen from above: the camera's position at the window's centre, its viewport height
// over the window's height, and screen up along the camera's up direction (north for the
// identity orientation).
class ViewTransform {
public:
    ViewTransform(const Camera& camera, int width, int height);

    QPointF toScreen(double x, double y) const;
    Vec3 toWorld(const QPointF& pixel) const; // Z 0
    double pixelsPerMetre() const { return m_scale; }
    double yaw() const { return m_yaw; } // radians, counter-clockwise from north-up

private:
    double m_cx, m_cy;    // window centre, pixels
    double m_ex, m_ey;    // camera centre, metres
    double m_scale;       // pixels per metre
    double m_yaw;
    double m_cos, m_sin;
};

// The angle (radians, counter-clockwise) of a rotation about the vertical axis.
double yawOf(const Quat& q);
// A rotation about the vertical axis by 'angle' radians.
Quat yawRotation(double angle);

// An object's own frame in the world: its parents' positions and turns added up.
struct WorldFrame {
    double x = 0, y = 0, z = 0, yaw = 0;
    Vec3 apply(const Vec3& local, const Vec3& scale) const;
};
WorldFrame worldFrame(const Scene& scene, const SceneObject& object);

// A line's strips as point indices: its index list cut at -1 (indices outside its points left
// out), or all its points in order when it has no index list.
std::vector<std::vector<std::size_t>> lineStrips(const SceneObject& line);

// Whether an object is drawn in a viewer: it and its parents visible, their layers not hidden.
bool objectShown(const Scene& scene, const Viewer* viewer, const SceneObject& object);

// The height of a terrain at a world point, when one of its tiles covers it.
using HeightAt = std::function<std::optional<double>(const SceneObject& terrain, double x, double y)>;

struct Hit {
    std::optional<std::uint64_t> objectId;
    Vec3 position{0, 0, 0};
};

// What a ray through 'pixel' meets first: points and lines within the pick box (pixels a side),
// then the surface of a terrain (its height) or raster; the position is on what was met, or
// on the plane Z 0.
Hit hitTest(const Scene& scene, std::int32_t viewerId, const ViewTransform& view, const QPointF& pixel,
            double boxWidth, double boxHeight, const HeightAt& heightAt);

} // namespace orlex_standin
