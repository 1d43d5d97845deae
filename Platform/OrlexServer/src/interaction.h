// The pointer and keys on one viewer's window, turned into what a viewer server does: navigation
// by the bound gestures, picks, distance measuring (interaction mode 2), drawing of lines and
// polygons (mode 3), context menus and the event messages, as the program asked in its
// interaction mode, bindings and configuration.
#pragma once

#include "scene.h"
#include "view.h"

#include <QPointF>

#include <cstdint>
#include <optional>
#include <vector>

namespace orlex_standin {

namespace input {
// Buttons, modifiers and mouse event kinds as the server reports and binds them.
constexpr std::int32_t kLeft = 1, kMiddle = 2, kRight = 4;
constexpr std::int32_t kShift = 1, kControl = 2, kAlt = 4;
constexpr std::int32_t kPress = 1, kDrag = 2, kRelease = 3, kWheel = 4, kDoubleClick = 6;
// Key codes: the arrows, then the keys the drawing modes use.
constexpr std::int32_t kKeyLeft = 23, kKeyUp = 24, kKeyRight = 25, kKeyDown = 26;
constexpr std::int32_t kKeyReturn = 13, kKeyEscape = 27;
} // namespace input

struct PointerEffects {
    std::vector<Reply> messages; // to the client, in order
    bool cameraChanged = false;
    bool redraw = false;
};

class Interaction {
public:
    Interaction(Scene& scene, std::int32_t viewerId);

    void setHeightAt(HeightAt heightAt) { m_heightAt = std::move(heightAt); }
    void resize(int width, int height);
    ViewTransform view() const;

    // Times are milliseconds of one steady clock.
    PointerEffects press(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t nowMs);
    PointerEffects move(const QPointF& at, std::int64_t nowMs); // a drag keeps the press's modifiers
    PointerEffects release(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t nowMs);
    PointerEffects doubleClick(const QPointF& at, std::int32_t button, std::int32_t modifiers, std::int64_t nowMs);
    PointerEffects wheel(const QPointF& at, double steps, std::int32_t modifiers); // steps > 0: away from the user
    PointerEffects key(std::int32_t keyCode, std::int32_t modifiers, bool down);

    // A pointer report held back by the minimum interval: when it is due, and sending it.
    std::optional<std::int64_t> heldMoveDue() const;
    PointerEffects sendHeldMove(std::int64_t nowMs);

private:
    Scene& m_scene;
    std::int32_t m_viewerId;
    int m_width = 640, m_height = 480;
    HeightAt m_heightAt;

    std::int32_t m_pressButton = 0;
    std::int32_t m_pressModifiers = 0;
    QPointF m_pressAt, m_lastAt;
    bool m_dragging = false;
    bool m_gesturePress = false; // the press belongs to a measurement or drawing

    // The line being measured (mode 2) or drawn (mode 3): its points and the server's line.
    bool m_measuring = false;
    std::int32_t m_measureMode = 0;
    bool m_waitSecondClick = false;
    std::vector<Vec3> m_points;
    std::optional<std::uint64_t> m_startTarget;
    std::uint64_t m_lineId = 0;

    std::optional<QPointF> m_heldMove;
    std::int64_t m_lastMoveSentMs = -1;

    Viewer* viewer() const;
    std::string setting(const char* key) const;
    std::int32_t mode() const;
    Hit hitAt(const QPointF& at) const;
    const Bindings& bindings() const;

    void beginPress(PointerEffects& fx, std::int32_t kind, const QPointF& at, std::int32_t button, std::int32_t modifiers);
    void mouseEvent(PointerEffects& fx, std::int32_t kind, std::int32_t buttons, std::int32_t modifiers, const QPointF& at) const;
    void reportMove(PointerEffects& fx, const QPointF& at, std::int64_t nowMs);
    void navigate(PointerEffects& fx, const std::string& action, const QPointF& from, const QPointF& to);
    void zoomAbout(PointerEffects& fx, const QPointF& at, double factor);

    void startMeasuring(PointerEffects& fx, const QPointF& at);
    void updateLine(const QPointF& pointer);
    void finishMeasuring(PointerEffects& fx);
    void cancelMeasuring(PointerEffects& fx);
    void leaveStaleMeasurement(PointerEffects& fx);
    void measurementMessage(PointerEffects& fx, bool active, std::optional<std::uint64_t> endTarget);
};

} // namespace orlex_standin
