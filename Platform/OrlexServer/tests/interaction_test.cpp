// The pointer on a viewer's window as the viewer server answers it: the world position under a
// pixel at several zooms and turns, pointer reports and their interval, picks, navigation,
// measuring, drawing, context menus and keys.
#include "interaction.h"
#include "scene.h"
#include "view.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orlex_standin;

namespace {

const std::string kCorePrefix = "Tavrin.Dremm.Orlex.";
const double kPi = std::acos(-1.0);

Value position(double x, double y, double z)
{
    return structValue({{{0, doubleValue(x)}, {1, doubleValue(y)}, {2, doubleValue(z)}}});
}

Level viewerLevel()
{
    return {{0, intValue(WireType::Int32, 1)}};
}

// The fields of a sent message's own part, and its name without the namespace.
const Level& own(const Reply& reply)
{
    return reply.body.levels.back();
}

std::string nameOf(const Reply& reply)
{
    return reply.type.substr(kCorePrefix.size());
}

Vec3 positionOf(const Value& data)
{
    const Level& f = data.levels.back();
    auto at = [&](std::uint16_t id) { return asDouble(findField(f, id) ? &findField(f, id)->value : nullptr).value_or(0); };
    return Vec3{at(0), at(1), at(2)};
}

std::optional<Vec3> positionIn(const Value* nullable)
{
    const Value* p = nullableElement(nullable);
    return p ? std::optional<Vec3>(positionOf(*p)) : std::nullopt;
}

const Value* field(const Reply& reply, std::uint16_t id)
{
    const Field* f = findField(own(reply), id);
    return f ? &f->value : nullptr;
}

std::vector<Vec3> positionsOf(const Reply& measurement)
{
    std::vector<Vec3> points;
    for (const Value& element : field(measurement, 3)->elements)
        points.push_back(positionOf(element));
    return points;
}

std::vector<std::string> names(const PointerEffects& fx)
{
    std::vector<std::string> result;
    for (const Reply& reply : fx.messages)
        result.push_back(nameOf(reply));
    return result;
}

const Reply* find(const PointerEffects& fx, const std::string& name)
{
    for (const Reply& reply : fx.messages)
        if (nameOf(reply) == name)
            return &reply;
    return nullptr;
}

// Viewer 1 on a 400 x 300 window, camera over (1000, 2000) with 300 m in view: one pixel a metre.
class InteractionTest : public ::testing::Test {
protected:
    Scene scene;
    Interaction pointer{scene, 1};

    void SetUp() override
    {
        configure({{"NotifyMouseMove", "true"}, {"NotifyMouseMoveMinIntervalMs", "0"}});
        camera(1000, 2000, 300, 0);
        pointer.resize(400, 300);
    }

    void send(const std::string& shortName, std::vector<Level> levels)
    {
        const Effects fx = scene.handle(kCorePrefix + shortName, structValue(std::move(levels)));
        ASSERT_TRUE(fx.warnings.empty()) << fx.warnings.front();
    }

    void configure(const std::vector<std::pair<std::string, std::string>>& settings)
    {
        std::vector<Value> map;
        for (const auto& [key, value] : settings) {
            map.push_back(stringValue(key));
            map.push_back(stringValue(value));
        }
        if (!scene.viewer(1))
            send("CreateViewerMessage", {Level(), viewerLevel(), Level()});
        send("UpdateConfigurationMessage", {Level(), viewerLevel(), {{0, mapValue(WireType::String, WireType::String, map)}}});
    }

    void camera(double x, double y, double height, double yawDegrees)
    {
        const double half = yawDegrees * kPi / 360;
        const Value rotation = structValue({{{2, floatValue(static_cast<float>(std::sin(half)))}, {3, floatValue(static_cast<float>(std::cos(half)))}}});
        const Value data = structValue({{{3, nullableValue(position(x, y, 1000))}, {4, nullableValue(rotation)},
                                         {6, nullableValue(doubleValue(height))}}});
        send("SetCameraDataMessage", {Level(), viewerLevel(), Level(), {{0, data}}});
    }

    void mode(std::int32_t interactionMode)
    {
        send("SetInteractionModeMessage", {Level(), viewerLevel(), {{0, intValue(WireType::Int32, interactionMode)}}});
    }

    // A line from (x0, y0) to (x1, y1), pickable or not.
    void line(std::uint64_t id, double x0, double y0, double x1, double y1, bool pickable = true)
    {
        std::vector<Value> points;
        for (double v : {x0, y0, 0.0, x1, y1, 0.0})
            points.push_back(floatValue(static_cast<float>(v)));
        Level object{{0, uintValue(WireType::UInt64, id)}, {9, boolValue(pickable)}};
        send("CreateLineMessage", {Level(), object, {{0, structValue({{{1, listValue(WireType::Float, points)}}})}}});
    }

    PointerEffects click(const QPointF& at, std::int32_t button = input::kLeft, std::int64_t t = 0)
    {
        PointerEffects fx = pointer.press(at, button, 0, t);
        PointerEffects up = pointer.release(at, button, 0, t);
        fx.messages.insert(fx.messages.end(), up.messages.begin(), up.messages.end());
        return fx;
    }
};

struct MappingCase {
    const char* name;
    double centreX, centreY, height, yawDegrees;
    QPointF pixel;
    double worldX, worldY;
};

} // namespace

TEST_F(InteractionTest, PointerReportGivesTheWorldPositionUnderThePixelAtEveryZoomAndTurn)
{
    const MappingCase cases[] = {
        {"centre", 1000, 2000, 300, 0, {200, 150}, 1000, 2000},
        {"north up, right and up", 1000, 2000, 300, 0, {300, 50}, 1100, 2100},
        {"zoomed in 10 times", 1000, 2000, 30, 0, {300, 50}, 1010, 2010},
        {"zoomed out to 30 km", 500000, 6000000, 30000, 0, {0, 300}, 480000, 5985000},
        // Turned a quarter left: screen up looks west, screen right north.
        {"turned 90 degrees", 1000, 2000, 300, 90, {200, 50}, 900, 2000},
        {"turned 90 degrees, right", 1000, 2000, 300, 90, {300, 150}, 1000, 2100},
        {"turned 180 degrees", 1000, 2000, 300, 180, {300, 50}, 900, 1900},
        {"turned -45 degrees", 0, 0, 300, -45, {200, 150 - 100 * std::sqrt(2.0)}, 100, 100},
    };
    for (const MappingCase& c : cases) {
        SCOPED_TRACE(c.name);
        camera(c.centreX, c.centreY, c.height, c.yawDegrees);
        const PointerEffects fx = pointer.move(c.pixel, 0);
        const Reply* moved = find(fx, "MouseMovedMessage");
        ASSERT_NE(moved, nullptr);
        const std::optional<Vec3> at = positionIn(field(*moved, 1));
        ASSERT_TRUE(at);
        EXPECT_NEAR((*at)[0], c.worldX, 1e-3 * c.height);
        EXPECT_NEAR((*at)[1], c.worldY, 1e-3 * c.height);
        // And the sketch draws that point at that pixel.
        const QPointF back = pointer.view().toScreen(c.worldX, c.worldY);
        EXPECT_NEAR(back.x(), c.pixel.x(), 0.01);
        EXPECT_NEAR(back.y(), c.pixel.y(), 0.01);
    }
}

TEST_F(InteractionTest, PointerReportsFollowTheSettingAndItsMinimumInterval)
{
    configure({{"NotifyMouseMove", "false"}});
    EXPECT_TRUE(pointer.move({10, 10}, 0).messages.empty());

    configure({{"NotifyMouseMove", "true"}, {"NotifyMouseMoveMinIntervalMs", "100"}});
    EXPECT_EQ(names(pointer.move({10, 10}, 1000)), std::vector<std::string>{"MouseMovedMessage"});
    // Moves within the interval are held; the newest goes out when it is due.
    EXPECT_TRUE(pointer.move({20, 10}, 1030).messages.empty());
    EXPECT_TRUE(pointer.move({30, 10}, 1060).messages.empty());
    ASSERT_EQ(pointer.heldMoveDue(), std::optional<std::int64_t>(1100));
    const PointerEffects held = pointer.sendHeldMove(1100);
    ASSERT_EQ(names(held), std::vector<std::string>{"MouseMovedMessage"});
    EXPECT_NEAR((*positionIn(field(held.messages[0], 1)))[0], 830, 1e-6);
    EXPECT_FALSE(pointer.heldMoveDue());
}

TEST_F(InteractionTest, ClickPicksTheNearestPickableObjectWithinThePickBox)
{
    configure({{"scene.rayPick.size.x", "20"}, {"scene.rayPick.size.y", "20"}});
    line(200, 900, 1990, 1100, 1990);              // 10 px below the centre
    line(201, 900, 1996, 1100, 1996, false);       // nearer, not pickable
    line(202, 900, 2030, 1100, 2030);              // outside the box

    PointerEffects fx = click({200, 150});
    EXPECT_EQ(names(fx), (std::vector<std::string>{"MouseEventMessage", "MouseEventMessage", "ObjectPickedMessage"}));
    const Reply& picked = fx.messages.back();
    EXPECT_EQ(asUnsigned(nullableElement(field(picked, 0))), std::optional<std::uint64_t>(200));
    EXPECT_NEAR((*positionIn(field(picked, 1)))[1], 2000, 1e-6);

    // Nothing there: the position on the ground, no id.
    fx = click({50, 20});
    EXPECT_EQ(field(fx.messages.back(), 0), nullptr);
    EXPECT_NEAR((*positionIn(field(fx.messages.back(), 1)))[0], 850, 1e-6);

    // Press and release report the button, its kind and the pixel.
    const Reply& press = fx.messages.front();
    EXPECT_EQ(asSigned(field(press, 1)), std::optional<std::int64_t>(input::kPress));
    EXPECT_EQ(asSigned(field(press, 2)), std::optional<std::int64_t>(input::kLeft));
    EXPECT_EQ(asDouble(field(press, 4)), std::optional<double>(50));
}

TEST_F(InteractionTest, LeftDragPansWithoutPickAndWheelZoomsAboutThePointer)
{
    configure({{"NotifyMouseMove", "false"}});
    const Vec3 grabbed = pointer.view().toWorld({200, 150});
    pointer.press({200, 150}, input::kLeft, 0, 0);
    EXPECT_TRUE(pointer.move({250, 150}, 10).cameraChanged);
    pointer.move({250, 100}, 15);
    const PointerEffects up = pointer.release({250, 100}, input::kLeft, 0, 20);
    EXPECT_EQ(names(up), std::vector<std::string>{"MouseEventMessage"}); // no pick after a drag
    EXPECT_FALSE(pointer.move({300, 50}, 30).cameraChanged);          // released: no more panning
    // The ground point pressed on stays under the pointer.
    const Vec3 now = pointer.view().toWorld({250, 100});
    EXPECT_NEAR(now[0], grabbed[0], 1e-6);
    EXPECT_NEAR(now[1], grabbed[1], 1e-6);

    const Vec3 under = pointer.view().toWorld({100, 100});
    const PointerEffects wheel = pointer.wheel({100, 100}, 1, 0);
    EXPECT_TRUE(wheel.cameraChanged);
    EXPECT_NEAR(scene.viewers().at(1).camera.viewportHeight, 300 / 1.25, 1e-9);
    const Vec3 still = pointer.view().toWorld({100, 100});
    EXPECT_NEAR(still[0], under[0], 1e-6);
    EXPECT_NEAR(still[1], under[1], 1e-6);
}

TEST_F(InteractionTest, MeasuringByDragOrTwoClicksSendsStartEndAndDrawsTheLine)
{
    mode(2);
    configure({{"NotifyMouseMove", "false"}, {"LineMeasurementColor", "0.9, 0.9, 0.9, 1"}});
    for (const bool byClicks : {false, true}) {
        SCOPED_TRACE(byClicks ? "two clicks" : "drag");
        const PointerEffects start = pointer.press({200, 150}, input::kLeft, 0, 0);
        const Reply* active = find(start, "MeasurementMessage");
        ASSERT_NE(active, nullptr);
        EXPECT_EQ(asBool(field(*active, 4)), std::optional<bool>(true));
        const std::uint64_t lineId = asUnsigned(field(*active, 0)).value_or(0);
        ASSERT_TRUE(scene.objects().count(lineId));
        EXPECT_FLOAT_EQ(scene.objects().at(lineId).colour.value()[0], 0.9f);

        PointerEffects end;
        if (byClicks) {
            EXPECT_FALSE(find(pointer.release({200, 150}, input::kLeft, 0, 10), "MeasurementMessage"));
            pointer.move({260, 70}, 20);
            end = click({230, 110}, input::kLeft, 30);
        } else {
            pointer.move({260, 70}, 20);
            // The line follows the pointer while dragging.
            EXPECT_NEAR(scene.objects().at(lineId).points.back()[0], 1060, 1e-6);
            pointer.move({230, 110}, 25);
            end = pointer.release({230, 110}, input::kLeft, 0, 30);
        }
        const Reply* done = find(end, "MeasurementMessage");
        ASSERT_NE(done, nullptr);
        EXPECT_FALSE(asBool(field(*done, 4)).value_or(false));
        EXPECT_EQ(asUnsigned(field(*done, 0)), std::optional<std::uint64_t>(lineId));
        const std::vector<Vec3> points = positionsOf(*done);
        ASSERT_EQ(points.size(), 2u);
        EXPECT_NEAR(points[0][0], 1000, 1e-6);
        EXPECT_NEAR(points[0][1], 2000, 1e-6);
        EXPECT_NEAR(points[1][0], 1030, 1e-6);
        EXPECT_NEAR(points[1][1], 2040, 1e-6);
        EXPECT_FALSE(find(end, "ObjectPickedMessage")); // measuring clicks are no picks
        // The program removes the measured line with the next pick.
        send("DestroyObjectMessage", {Level(), {{0, uintValue(WireType::UInt64, lineId)}}});
    }
}

TEST_F(InteractionTest, DrawingModeCollectsClicksUntilADoubleClickAndEscapeDropsIt)
{
    mode(3);
    configure({{"NotifyMouseMove", "false"}});
    const PointerEffects first = click({100, 100});
    ASSERT_TRUE(find(first, "MeasurementMessage"));
    click({200, 100});
    pointer.press({200, 200}, input::kLeft, 0, 0);
    pointer.release({200, 200}, input::kLeft, 0, 0);
    const PointerEffects twice = pointer.doubleClick({200, 200}, input::kLeft, 0, 0);
    const Reply* done = find(twice, "MeasurementMessage");
    ASSERT_NE(done, nullptr);
    EXPECT_FALSE(asBool(field(*done, 4)).value_or(false));
    const std::vector<Vec3> points = positionsOf(*done);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_NEAR(points[2][1], 1950, 1e-6);
    EXPECT_EQ(asSigned(field(twice.messages.front(), 1)), std::optional<std::int64_t>(input::kDoubleClick));

    // A second object begun and dropped: its line goes, nothing is sent.
    const PointerEffects again = click({50, 50});
    const std::uint64_t lineId = asUnsigned(field(*find(again, "MeasurementMessage"), 0)).value_or(0);
    EXPECT_TRUE(pointer.key(input::kKeyEscape, 0, true).messages.empty());
    EXPECT_FALSE(scene.objects().count(lineId));
}

TEST_F(InteractionTest, RightClickAsksForAContextMenuOnlyWhereTheProgramEnabledThem)
{
    line(300, 900, 2000, 1100, 2000);
    EXPECT_FALSE(find(click({200, 150}, input::kRight), "ShowContextMenuMessage"));
    configure({{"ContextMenuEnabled", "true"}});
    const PointerEffects fx = click({200, 152}, input::kRight);
    const Reply* menu = find(fx, "ShowContextMenuMessage");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(asUnsigned(nullableElement(field(*menu, 0))), std::optional<std::uint64_t>(300));
    EXPECT_FALSE(find(fx, "ObjectPickedMessage"));
}

TEST_F(InteractionTest, BoundKeysNavigateAndOtherKeysAreReported)
{
    EXPECT_TRUE(pointer.key(input::kKeyUp, input::kControl, true).cameraChanged); // ZoomIn
    EXPECT_NEAR(scene.viewers().at(1).camera.viewportHeight, 240, 1e-9);
    EXPECT_TRUE(pointer.key(input::kKeyLeft, input::kControl, true).cameraChanged); // RotateLeft
    EXPECT_NEAR(yawOf(scene.viewers().at(1).camera.orientation), 5 * kPi / 180, 1e-6);

    const PointerEffects down = pointer.key('A', input::kShift, true);
    ASSERT_EQ(names(down), std::vector<std::string>{"KeyboardEventMessage"});
    EXPECT_EQ(asSigned(field(down.messages[0], 1)), std::optional<std::int64_t>('A'));
    EXPECT_EQ(asSigned(field(down.messages[0], 2)), std::optional<std::int64_t>(input::kShift));
    EXPECT_EQ(asBool(field(down.messages[0], 3)), std::optional<bool>(true));
}
