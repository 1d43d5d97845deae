#include "interaction.h"

#include "body_builder.h"
#include "protocol.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace orlex_standin {

namespace {

// A press that moves further than this (pixels) is a drag, not a click.
constexpr double kClickSlop = 4.0;
constexpr double kZoomStep = 1.25;
constexpr double kRotateStep = 5.0 * 3.14159265358979323846 / 180.0;

std::string core(const char* name)
{
    return std::string(kCore) + name;
}

Value viewerBody(std::int32_t viewerId, Level own)
{
    return structValue({Level(), viewerPart(viewerId), std::move(own)});
}

Value nullableId(std::uint64_t id)
{
    return nullableValue(uintValue(WireType::UInt64, id));
}

// The bindings the program sends for the 2-D presentation, until it sends its own.
const Bindings& defaultBindings()
{
    static const Bindings bindings{
        {{"Pan", input::kLeft, input::kDrag, 0}, {"WheelZoom", 0, input::kWheel, 0}},
        {{"ZoomIn", input::kKeyUp, input::kControl}, {"ZoomOut", input::kKeyDown, input::kControl},
         {"PanLeft", input::kKeyLeft, input::kShift}, {"PanRight", input::kKeyRight, input::kShift},
         {"PanUp", input::kKeyUp, input::kShift}, {"PanDown", input::kKeyDown, input::kShift},
         {"RotateLeft", input::kKeyLeft, input::kControl}, {"RotateRight", input::kKeyRight, input::kControl}}};
    return bindings;
}

Quat multiply(const Quat& a, const Quat& b)
{
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

double planeDistance(const Vec3& a, const Vec3& b)
{
    return std::hypot(b[0] - a[0], b[1] - a[1]);
}

} // namespace

Interaction::Interaction(Scene& scene, std::int32_t viewerId)
    : m_scene(scene), m_viewerId(viewerId)
{
}

void Interaction::resize(int width, int height)
{
    m_width = std::max(1, width);
    m_height = std::max(1, height);
}

Viewer* Interaction::viewer() const
{
    return m_scene.viewer(m_viewerId);
}

ViewTransform Interaction::view() const
{
    const Viewer* v = viewer();
    return ViewTransform(v ? v->camera : Camera(), m_width, m_height);
}

std::string Interaction::setting(const char* key) const
{
    const Viewer* v = viewer();
    if (!v)
        return std::string();
    const auto found = v->configuration.find(key);
    return found != v->configuration.end() ? found->second : std::string();
}

std::int32_t Interaction::mode() const
{
    const Viewer* v = viewer();
    return v ? v->interactionMode : 1;
}

const Bindings& Interaction::bindings() const
{
    const Viewer* v = viewer();
    if (v) {
        for (const std::int32_t m : {mode(), 1})
            if (const auto found = v->bindings.find(m); found != v->bindings.end())
                return found->second;
    }
    return defaultBindings();
}

Hit Interaction::hitAt(const QPointF& at) const
{
    auto size = [this](const char* key) {
        bool ok = false;
        const double value = QString::fromStdString(setting(key)).toDouble(&ok);
        return ok && value > 0 ? value : 10.0;
    };
    Hit hit = hitTest(m_scene, m_viewerId, view(), at, size("scene.rayPick.size.x"), size("scene.rayPick.size.y"), m_heightAt);
    // The position is under the pointer; what was met gives its height.
    const Vec3 ground = view().toWorld(at);
    hit.position[0] = ground[0];
    hit.position[1] = ground[1];
    return hit;
}

void Interaction::mouseEvent(PointerEffects& fx, std::int32_t kind, std::int32_t buttons, std::int32_t modifiers,
                             const QPointF& at) const
{
    Level own;
    putInt32(own, 1, kind);
    putInt32(own, 2, buttons);
    putInt32(own, 3, modifiers);
    own.push_back({4, floatValue(static_cast<float>(at.x()))});
    own.push_back({5, floatValue(static_cast<float>(at.y()))});
    fx.messages.push_back({core("MouseEventMessage"), viewerBody(m_viewerId, std::move(own))});
}

void Interaction::reportMove(PointerEffects& fx, const QPointF& at, std::int64_t nowMs)
{
    if (setting("NotifyMouseMove") != "true") {
        m_heldMove.reset();
        return;
    }
    const std::int64_t interval = std::max(0, QString::fromStdString(setting("NotifyMouseMoveMinIntervalMs")).toInt());
    if (m_lastMoveSentMs >= 0 && nowMs - m_lastMoveSentMs < interval) {
        m_heldMove = at;
        return;
    }
    m_heldMove.reset();
    m_lastMoveSentMs = nowMs;
    const Hit hit = hitAt(at);
    Level own;
    if (hit.objectId)
        own.push_back({0, nullableId(*hit.objectId)});
    own.push_back({1, nullableValue(positionStruct(hit.position))});
    fx.messages.push_back({core("MouseMovedMessage"), viewerBody(m_viewerId, std::move(own))});
}

std::optional<std::int64_t> Interaction::heldMoveDue() const
{
    if (!m_heldMove)
        return std::nullopt;
    return m_lastMoveSentMs + std::max(0, QString::fromStdString(setting("NotifyMouseMoveMinIntervalMs")).toInt());
}

PointerEffects Interaction::sendHeldMove(std::int64_t nowMs)
{
    PointerEffects fx;
    if (m_heldMove) {
        const QPointF at = *m_heldMove;
        m_heldMove.reset();
        m_lastMoveSentMs = -1;
        reportMove(fx, at, nowMs);
    }
    return fx;
}

void Interaction::zoomAbout(PointerEffects& fx, const QPointF& at, double factor)
{
    Viewer* v = viewer();
    if (!v || !(factor > 0))
        return;
    Camera& camera = v->camera;
    const Vec3 fixed = view().toWorld(at);
    const double height = std::clamp(camera.viewportHeight * factor, 0.5, 5.0e7);
    factor = height / camera.viewportHeight;
    camera.viewportHeight = height;
    camera.focalDistance *= factor;
    camera.position[0] = fixed[0] + (camera.position[0] - fixed[0]) * factor;
    camera.position[1] = fixed[1] + (camera.position[1] - fixed[1]) * factor;
    camera.target.reset();
    fx.cameraChanged = fx.redraw = true;
}

void Interaction::navigate(PointerEffects& fx, const std::string& action, const QPointF& from, const QPointF& to)
{
    Viewer* v = viewer();
    if (!v)
        return;
    Camera& camera = v->camera;
    if (action == "Pan") {
        const ViewTransform transform = view();
        const Vec3 a = transform.toWorld(from), b = transform.toWorld(to);
        camera.position[0] += a[0] - b[0];
        camera.position[1] += a[1] - b[1];
        camera.target.reset();
        fx.cameraChanged = fx.redraw = true;
    } else if (action == "Zoom") {
        zoomAbout(fx, QPointF(m_width / 2.0, m_height / 2.0), std::exp((to.y() - from.y()) / 200.0));
    } else if (action == "Rotate") {
        camera.orientation = multiply(yawRotation((to.x() - from.x()) * 0.01), camera.orientation);
        fx.cameraChanged = fx.redraw = true;
    }
}

void Interaction::beginPress(PointerEffects& fx, std::int32_t kind, const QPointF& at, std::int32_t button,
                             std::int32_t modifiers)
{
    mouseEvent(fx, kind, button, modifiers, at);
    m_pressButton = button;
    m_pressModifiers = modifiers;
    m_pressAt = m_lastAt = at;
    m_dragging = false;
    m_gesturePress = false;
}

PointerEffects Interaction::press(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t)
{
    PointerEffects fx;
    leaveStaleMeasurement(fx);
    beginPress(fx, input::kPress, at, button, modifiers);
    const std::int32_t m = mode();
    if (button != input::kLeft || modifiers != 0 || (m != 2 && m != 3))
        return fx;
    m_gesturePress = true;
    if (!m_measuring) {
        startMeasuring(fx, at);
    } else if (m_measureMode == 2) {
        // The second click of a click-and-click measurement ends it there.
        updateLine(at);
        finishMeasuring(fx);
    } else {
        m_points.push_back(hitAt(at).position);
        updateLine(at);
        fx.redraw = true;
    }
    return fx;
}

PointerEffects Interaction::move(const QPointF& at, std::int64_t nowMs)
{
    PointerEffects fx;
    leaveStaleMeasurement(fx);
    if (m_pressButton && !m_dragging && std::hypot(at.x() - m_pressAt.x(), at.y() - m_pressAt.y()) > kClickSlop)
        m_dragging = true;
    if (m_dragging && !m_gesturePress) {
        for (const MouseBinding& binding : bindings().mouse)
            if (binding.event == input::kDrag && binding.buttons == m_pressButton && binding.modifiers == m_pressModifiers) {
                navigate(fx, binding.action, m_lastAt, at);
                break;
            }
    }
    if (m_measuring) {
        updateLine(at);
        fx.redraw = true;
    }
    m_lastAt = at;
    reportMove(fx, at, nowMs);
    return fx;
}

PointerEffects Interaction::release(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t)
{
    PointerEffects fx;
    mouseEvent(fx, input::kRelease, button, modifiers, at);
    if (button != m_pressButton)
        return fx;
    const bool click = !m_dragging;
    const bool gesture = m_gesturePress;
    m_pressButton = 0;
    m_dragging = false;
    m_gesturePress = false;
    if (gesture) {
        if (m_measuring && m_measureMode == 2) {
            if (click)
                m_waitSecondClick = true; // the end comes with the next click
            else {
                updateLine(at);
                finishMeasuring(fx);
            }
        }
        return fx;
    }
    if (!click)
        return fx;
    if (button == input::kLeft && !m_measuring) {
        const Hit hit = hitAt(at);
        Level own;
        if (hit.objectId)
            own.push_back({0, nullableId(*hit.objectId)});
        own.push_back({1, nullableValue(positionStruct(hit.position))});
        fx.messages.push_back({core("ObjectPickedMessage"), viewerBody(m_viewerId, std::move(own))});
    } else if (button == input::kRight && setting("ContextMenuEnabled") == "true") {
        const Hit hit = hitAt(at);
        Level own;
        if (hit.objectId)
            own.push_back({0, nullableId(*hit.objectId)});
        fx.messages.push_back({core("ShowContextMenuMessage"), viewerBody(m_viewerId, std::move(own))});
    }
    return fx;
}

PointerEffects Interaction::doubleClick(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t nowMs)
{
    PointerEffects fx;
    beginPress(fx, input::kDoubleClick, at, button, modifiers);
    const std::int32_t m = mode();
    if (button == input::kLeft && modifiers == 0 && (m == 2 || m == 3)) {
        m_gesturePress = true;
        if (m == 3 && m_measuring) {
            // The first click of the two placed the last point.
            finishMeasuring(fx);
        } else {
            m_pressButton = 0;
            PointerEffects pressed = press(at, button, modifiers, nowMs);
            pressed.messages.erase(pressed.messages.begin()); // its press event is this double-click
            fx.messages.insert(fx.messages.end(), pressed.messages.begin(), pressed.messages.end());
            fx.redraw = fx.redraw || pressed.redraw;
        }
        return fx;
    }
    if (button == input::kLeft && viewer() && viewer()->doubleClick) {
        // The viewer's own double-click: centre on the point.
        const Vec3 point = view().toWorld(at);
        viewer()->camera.position[0] = point[0];
        viewer()->camera.position[1] = point[1];
        viewer()->camera.target.reset();
        fx.cameraChanged = fx.redraw = true;
    }
    return fx;
}

PointerEffects Interaction::wheel(const QPointF& at, double steps, std::int32_t modifiers)
{
    PointerEffects fx;
    for (const MouseBinding& binding : bindings().mouse)
        if (binding.event == input::kWheel && binding.modifiers == modifiers && binding.action == "WheelZoom") {
            zoomAbout(fx, at, std::pow(kZoomStep, -steps));
            break;
        }
    return fx;
}

PointerEffects Interaction::key(std::int32_t keyCode, std::int32_t modifiers, bool down)
{
    PointerEffects fx;
    // Return ends the object being drawn, Escape drops it (a measurement the program follows is
    // left to end by the pointer).
    if (m_measuring && m_measureMode == 3 && (keyCode == input::kKeyEscape || keyCode == input::kKeyReturn)) {
        if (down) {
            if (keyCode == input::kKeyEscape)
                cancelMeasuring(fx);
            else
                finishMeasuring(fx);
        }
        return fx;
    }
    for (const KeyBinding& binding : bindings().keys) {
        if (binding.key != keyCode || binding.modifiers != modifiers)
            continue;
        if (!down)
            return fx;
        const QPointF centre(m_width / 2.0, m_height / 2.0);
        const double step = m_height / 10.0;
        const std::string& a = binding.action;
        Viewer* v = viewer();
        if (a == "ZoomIn" || a == "ZoomOut")
            zoomAbout(fx, centre, a == "ZoomIn" ? 1.0 / kZoomStep : kZoomStep);
        else if (a == "PanLeft")
            navigate(fx, "Pan", centre, centre + QPointF(step, 0));
        else if (a == "PanRight")
            navigate(fx, "Pan", centre, centre - QPointF(step, 0));
        else if (a == "PanUp")
            navigate(fx, "Pan", centre, centre + QPointF(0, step));
        else if (a == "PanDown")
            navigate(fx, "Pan", centre, centre - QPointF(0, step));
        else if ((a == "RotateLeft" || a == "RotateRight") && v) {
            v->camera.orientation = multiply(yawRotation(a == "RotateLeft" ? kRotateStep : -kRotateStep), v->camera.orientation);
            fx.cameraChanged = fx.redraw = true;
        }
        return fx;
    }
    Level own;
    putInt32(own, 1, keyCode);
    putInt32(own, 2, modifiers);
    putBool(own, 3, down);
    fx.messages.push_back({core("KeyboardEventMessage"), viewerBody(m_viewerId, std::move(own))});
    return fx;
}

void Interaction::startMeasuring(PointerEffects& fx, const QPointF& at)
{
    const Hit hit = hitAt(at);
    m_measuring = true;
    m_measureMode = mode();
    m_waitSecondClick = false;
    m_startTarget = hit.objectId;
    m_points = m_measureMode == 2 ? std::vector<Vec3>{hit.position, hit.position} : std::vector<Vec3>{hit.position};
    Rgba colour{1.0f, 0.1f, 0.1f, 1.0f};
    const QStringList parts = QString::fromStdString(setting("LineMeasurementColor"))
                                  .split(QRegExp(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    if (parts.size() >= 3)
        for (int n = 0; n < std::min(4, static_cast<int>(parts.size())); ++n)
            colour[static_cast<std::size_t>(n)] = parts[n].toFloat();
    m_lineId = m_scene.addOwnLine(m_points, colour);
    updateLine(at);
    measurementMessage(fx, true, std::nullopt);
    fx.redraw = true;
}

void Interaction::updateLine(const QPointF& pointer)
{
    if (!m_measuring)
        return;
    const Vec3 at = hitAt(pointer).position;
    std::vector<Vec3> shown = m_points;
    if (m_measureMode == 2)
        shown.back() = m_points.back() = at;
    else
        shown.push_back(at); // the next side follows the pointer
    std::string text;
    if (m_measureMode == 2 && setting("ShowLineMeasurementLabel") == "true")
        text = QString::number(planeDistance(m_points.front(), m_points.back()), 'f', 1).toStdString() + " m";
    m_scene.setOwnLine(m_lineId, std::move(shown), std::move(text));
}

void Interaction::finishMeasuring(PointerEffects& fx)
{
    if (!m_measuring)
        return;
    if (m_measureMode == 3 && m_points.size() < 2) {
        cancelMeasuring(fx);
        return;
    }
    const std::optional<std::uint64_t> endTarget = hitAt(m_lastAt).objectId;
    m_scene.setOwnLine(m_lineId, m_points, std::string());
    measurementMessage(fx, false, endTarget);
    m_measuring = false;
    m_waitSecondClick = false;
    fx.redraw = true;
}

void Interaction::leaveStaleMeasurement(PointerEffects& fx)
{
    // The program left the mode the line was begun in.
    if (m_measuring && mode() != m_measureMode)
        cancelMeasuring(fx);
}

void Interaction::cancelMeasuring(PointerEffects& fx)
{
    m_scene.removeOwn(m_lineId);
    m_measuring = false;
    m_waitSecondClick = false;
    m_points.clear();
    fx.redraw = true;
}

void Interaction::measurementMessage(PointerEffects& fx, bool active, std::optional<std::uint64_t> endTarget)
{
    Level own;
    putUInt64(own, 0, m_lineId);
    if (m_startTarget)
        own.push_back({1, nullableId(*m_startTarget)});
    if (endTarget)
        own.push_back({2, nullableId(*endTarget)});
    std::vector<Value> positions;
    for (const Vec3& p : m_points)
        positions.push_back(positionStruct(p));
    own.push_back({3, listValue(WireType::Struct, std::move(positions))});
    putBool(own, 4, active);
    putInt32(own, 5, m_measureMode == 3 ? 1 : 0);
    fx.messages.push_back({core("MeasurementMessage"), viewerBody(m_viewerId, std::move(own))});
}

} // namespace orlex_standin
