// The colour triangle: colours set and read back, and colours picked with the mouse.
#include "platform/color_triangle.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <cmath>

TEST(ColorTriangle, SetColourEmitsOnceAndReadsBackOpaque)
{
    platform::ColorTriangle triangle;
    EXPECT_GE(triangle.minimumSizeHint().width(), 100);
    EXPECT_EQ(triangle.minimumSize(), QSize(100, 100));
    QSignalSpy changed(&triangle, &platform::ColorTriangle::colorChanged);

    const QColor aColours[] = {QColor(10, 20, 30), QColor(Qt::white), QColor(Qt::black), QColor::fromHsvF(0.75, 1, 1)};
    for (const QColor& colour : aColours) {
        changed.clear();
        triangle.setColor(colour);
        EXPECT_EQ(triangle.color(), colour.toRgb()) << colour.name().toStdString();
        ASSERT_EQ(changed.size(), 1) << colour.name().toStdString();
        EXPECT_EQ(changed.first().first().value<QColor>(), colour.toRgb());
        // The same colour again, or an invalid one, changes nothing.
        triangle.setColor(colour);
        triangle.setColor(QColor());
        EXPECT_EQ(changed.size(), 1) << colour.name().toStdString();
    }
    // The alpha is not the triangle's business.
    triangle.setColor(QColor(10, 20, 30, 40));
    EXPECT_EQ(triangle.color(), QColor(10, 20, 30));
}

TEST(ColorTriangle, MousePicksHueOnTheRingAndValueInTheTriangle)
{
    platform::ColorTriangle triangle;
    triangle.resize(200, 200);
    triangle.show();
    triangle.setColor(Qt::red);
    QSignalSpy changed(&triangle, &platform::ColorTriangle::colorChanged);

    // The ring straight above the centre is hue 0.25; the colour keeps full saturation and value.
    QTest::mouseClick(&triangle, Qt::LeftButton, {}, QPoint(100, 6));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_NEAR(triangle.color().hsvHueF(), 0.25, 0.01);
    EXPECT_NEAR(triangle.color().valueF(), 1.0, 0.01);

    // The hue corner now points up; the middle of the opposite edge is half white, half black,
    // and a click far outside the triangle's edge lands on it.
    QTest::mouseClick(&triangle, Qt::LeftButton, {}, QPoint(100, 100));
    const QColor centre = triangle.color();
    EXPECT_NEAR(centre.valueF(), 2.0 / 3.0, 0.03);
    EXPECT_NEAR(centre.hsvSaturationF(), 0.5, 0.03);
    QTest::mousePress(&triangle, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&triangle, QPoint(100, 140));
    QTest::mouseRelease(&triangle, Qt::LeftButton, {}, QPoint(100, 140));
    EXPECT_NEAR(triangle.color().valueF(), 0.5, 0.03);
    EXPECT_NEAR(triangle.color().hsvSaturationF(), 0.0, 0.03);
}
