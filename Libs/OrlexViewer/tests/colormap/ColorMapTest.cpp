// Colour evaluation, the gradient image and the palette bytes of a colour map.
#include "OrlexViewer/ColorMap.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QSignalSpy>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// A palette as bytes: name "Ab", red to blue, range 0.5 to 10, autoMin, WRAP, CCW, one green
// band [2, 4), not static.
const char* const s_szGoldenHex =
    "0000000a00" "00000004" "00410062"
    "0000004300" "01" "ffff" "ffff" "0000" "0000" "0000"
    "0000004300" "01" "ffff" "0000" "0000" "ffff" "0000"
    "0000000600" "3fe0000000000000"
    "0000000600" "4024000000000000"
    "0000000100" "01"
    "0000000100" "00"
    "0000000200" "00000001"
    "0000000200" "00000001"
    "0000000900" "00000001" "0000000600" "4000000000000000"
    "0000000900" "00000001" "0000000600" "4010000000000000"
    "0000000900" "00000001" "0000004300" "01" "ffff" "0000" "ffff" "0000" "0000"
    "0000000100" "00";

QByteArray golden()
{
    return QByteArray::fromHex(s_szGoldenHex);
}

void makeGoldenMap(ColorMap& map)
{
    map.setObjectName(QStringLiteral("Ab"));
    map.setMin(0.5);
    map.setMax(10);
    map.setAutoMin(true);
    map.setEndMode(ColorMap::WRAP);
    map.setDirection(ColorMap::CCW);
    map.setStartList({2.0});
    map.setStopList({4.0});
    map.setColorList({QColor(Qt::green)});
}

QColor hsv(double h, double s = 1, double v = 1, double a = 1)
{
    return QColor::fromHsvF(h, s, v, a);
}

::testing::AssertionResult sameColour(const QColor& actual, const QColor& expected)
{
    const auto fail = [&] {
        return ::testing::AssertionFailure() << "got " << actual.name(QColor::HexArgb).toStdString() << " (hue "
                                             << actual.hsvHueF() << "), expected "
                                             << expected.name(QColor::HexArgb).toStdString() << " (hue "
                                             << expected.hsvHueF() << ")";
    };
    if (!actual.isValid() || !expected.isValid())
        return actual.isValid() == expected.isValid() ? ::testing::AssertionSuccess() : fail();
    if (expected.alpha() == 0)
        return actual.alpha() == 0 ? ::testing::AssertionSuccess() : fail();
    const double dHue = std::fabs(actual.hsvHueF() - expected.hsvHueF());
    const bool bHue = expected.hsvHueF() < 0 || std::min(dHue, 1.0 - dHue) < 2e-3;
    if (bHue && std::fabs(actual.hsvSaturationF() - expected.hsvSaturationF()) < 2e-3
        && std::fabs(actual.valueF() - expected.valueF()) < 2e-3 && std::fabs(actual.alphaF() - expected.alphaF()) < 2e-3)
        return ::testing::AssertionSuccess();
    return fail();
}

} // namespace

TEST(ColorMapEval, BandsRangesEndModesAndHueDirections)
{
    const QColor transparent(Qt::transparent);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto range = [](double lo, double hi, ColorMap::EndMode e) {
        return [=](ColorMap& m) {
            m.setMin(lo);
            m.setMax(hi);
            m.setEndMode(e);
        };
    };
    const auto hues = [](double h0, double h1, ColorMap::Direction d) {
        return [=](ColorMap& m) {
            m.setStartColor(hsv(h0));
            m.setStopColor(hsv(h1));
            m.setDirection(d);
        };
    };
    const auto band = [](ColorMap& m) {
        m.setStartList({2.0});
        m.setStopList({4});
        m.setColorList({QColor(Qt::yellow)});
        m.setMax(10);
    };
    struct Case {
        const char* szName;
        std::function<void(ColorMap&)> setUp;
        double t, dMin, dMax;
        QColor expected;
    };
    const Case aCases[] = {
        {"new map, halfway red to blue clockwise", [](ColorMap&) {}, 0.5, 0, 0, hsv(1.0 / 3)},
        {"new map, low end", [](ColorMap&) {}, 0, 0, 0, hsv(0)},
        {"new map, high end", [](ColorMap&) {}, 1, 0, 0, hsv(2.0 / 3)},
        {"new map cuts above", [](ColorMap&) {}, 1.5, 0, 0, transparent},
        {"new map cuts below", [](ColorMap&) {}, -0.1, 0, 0, transparent},
        {"auto ends with no data range", [](ColorMap& m) { m.setAutoMin(true); m.setAutoMax(true); }, 0.3, 0, 0, transparent},
        {"auto ends take the data range", [](ColorMap& m) { m.setAutoMin(true); m.setAutoMax(true); }, 15, 10, 20, hsv(1.0 / 3)},
        {"empty range with an auto end: start colour",
         [](ColorMap& m) { m.setMin(5); m.setMax(5); m.setAutoMin(true); }, 5, 5, 0, QColor(Qt::red)},
        {"empty fixed range", [](ColorMap& m) { m.setMin(5); m.setMax(5); }, 5, 0, 0, transparent},
        {"inverted range", [](ColorMap& m) { m.setMin(5); m.setMax(1); }, 3, 0, 0, transparent},
        {"clamp below", range(0, 10, ColorMap::CLAMP), -5, 0, 0, hsv(0)},
        {"clamp above", range(0, 10, ColorMap::CLAMP), 15, 0, 0, hsv(2.0 / 3)},
        {"clamp infinity", range(0, 10, ColorMap::CLAMP), inf, 0, 0, hsv(2.0 / 3)},
        {"wrap below", range(0, 10, ColorMap::WRAP), -3, 0, 0, hsv(0.7 * 2 / 3)},
        {"wrap above", range(0, 10, ColorMap::WRAP), 23, 0, 0, hsv(0.3 * 2 / 3)},
        {"wrap far below", range(0, 10, ColorMap::WRAP), -1e12 - 3, 0, 0, hsv(0.7 * 2 / 3)},
        {"wrap whole widths above", range(0, 10, ColorMap::WRAP), 20, 0, 0, hsv(2.0 / 3)},
        {"wrap the high end stays", range(0, 10, ColorMap::WRAP), 10, 0, 0, hsv(2.0 / 3)},
        {"wrap infinity", range(0, 10, ColorMap::WRAP), -inf, 0, 0, transparent},
        {"not a number", range(0, 10, ColorMap::CLAMP), nan, 0, 0, transparent},
        {"clockwise through red", hues(0.9, 0.1, ColorMap::CW), 0.25, 0, 0, hsv(0.95)},
        {"clockwise through red, past it", hues(0.9, 0.1, ColorMap::CW), 0.75, 0, 0, hsv(0.05)},
        {"counter-clockwise through red", hues(0.1, 0.9, ColorMap::CCW), 0.25, 0, 0, hsv(0.05)},
        {"counter-clockwise without wrapping", hues(0.9, 0.1, ColorMap::CCW), 0.5, 0, 0, hsv(0.5)},
        {"achromatic start", [](ColorMap& m) { m.setStartColor(Qt::white); }, 0.5, 0, 0,
         hsv(5.0 / 6, 0.5, 1)},
        {"alpha is interpolated", [](ColorMap& m) { m.setStopColor(hsv(2.0 / 3, 1, 1, 0)); }, 0.5, 0, 0, hsv(1.0 / 3, 1, 1, 0.5)},
        {"band hit at its start", band, 2, 0, 0, QColor(Qt::yellow)},
        {"band hit below its stop", band, 3.999, 0, 0, QColor(Qt::yellow)},
        {"band stop is outside", band, 4, 0, 0, hsv(0.4 * 2 / 3)},
        {"band wins over cut", [&](ColorMap& m) { band(m); m.setMax(1); }, 3, 0, 0, QColor(Qt::yellow)},
        {"band with a named colour", [&](ColorMap& m) { band(m); m.setColorList({QStringLiteral("#00ff00")}); }, 3, 0, 0,
         QColor(Qt::green)},
        {"band with no colour", [&](ColorMap& m) { band(m); m.setColorList({QVariant()}); }, 3, 0, 0, QColor()},
        {"band lists of unequal length", [&](ColorMap& m) { band(m); m.setStopList({}); }, 3, 0, 0, hsv(0.3 * 2 / 3)},
        {"static ignores bands and range", [&](ColorMap& m) { band(m); m.setStatic(true); }, 3, 0, 0, QColor(Qt::red)},
        {"static outside the range", [](ColorMap& m) { m.setStatic(true); }, 99, 0, 0, QColor(Qt::red)},
    };
    for (const Case& c : aCases) {
        ColorMap map;
        c.setUp(map);
        EXPECT_TRUE(sameColour(map.eval(c.t, c.dMin, c.dMax), c.expected)) << c.szName;
    }
}

TEST(ColorMapRender, OneEvaluationPerColumnStretchedToTheHeight)
{
    ColorMap map;
    map.setMax(4);
    const QImage image = map.render(QSize(4, 3), 0, 4).toImage();
    ASSERT_EQ(image.size(), QSize(4, 3));
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y)
            EXPECT_TRUE(sameColour(image.pixelColor(x, y), map.eval(x, 0, 4))) << x << "," << y;
    // The last column is one step short of the high end.
    EXPECT_FALSE(sameColour(image.pixelColor(3, 0), map.eval(4, 0, 4)));
    EXPECT_TRUE(map.render(QSize(0, 10), 0, 1).isNull());
}

TEST(ColorMapPalette, GoldenBytesBothWays)
{
    ColorMap written;
    makeGoldenMap(written);
    EXPECT_EQ(written.save().toHex(), golden().toHex());

    ColorMap read;
    QString strError;
    ASSERT_TRUE(read.load(golden(), &strError)) << strError.toStdString();
    EXPECT_EQ(read.objectName(), QStringLiteral("Ab"));
    EXPECT_EQ(read.getStartColor(), QColor(Qt::red));
    EXPECT_EQ(read.getStopColor(), QColor(Qt::blue));
    EXPECT_EQ(read.getMin(), 0.5);
    EXPECT_EQ(read.getMax(), 10.0);
    EXPECT_TRUE(read.getAutoMin());
    EXPECT_FALSE(read.getAutoMax());
    EXPECT_EQ(read.getEndMode(), ColorMap::WRAP);
    EXPECT_EQ(read.getDirection(), ColorMap::CCW);
    EXPECT_EQ(read.startList(), QVariantList{2.0});
    EXPECT_EQ(read.stopList(), QVariantList{4.0});
    EXPECT_EQ(read.colorList(), QVariantList{QColor(Qt::green)});
    EXPECT_FALSE(read.isStatic());
    // The colours' hue caches come back with them: the counter-clockwise halfway colour.
    EXPECT_TRUE(sameColour(read.eval(0.5 + 9.5 / 2, 0.5, 0), hsv(5.0 / 6)));

    // The sample palettes load and save to the same bytes.
    for (const char* szFile : {"golden.pal", "safety_band.pal"}) {
        QFile file(QStringLiteral(PALETTE_DIR "/") + QLatin1String(szFile));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << szFile;
        const QByteArray baFile = file.readAll();
        ColorMap map;
        EXPECT_TRUE(map.load(baFile, &strError)) << szFile << ": " << strError.toStdString();
        EXPECT_EQ(map.save(), baFile) << szFile;
    }
}

TEST(ColorMapPalette, CopyAndRoundTripKeepEverything)
{
    ColorMap original;
    makeGoldenMap(original);
    original.setStatic(true);
    // The safety-contour band is written as an int start and a float stop.
    original.setStartList({2.0, 0});
    original.setStopList({4.0, 12.5f});
    original.setColorList({QColor(Qt::green), QColor(10, 20, 30, 40)});
    original.setStopColor(QColor::fromHsvF(0.25, 0.5, 0.75, 0.5));

    std::unique_ptr<ColorMap> copy(original.copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_EQ(copy->save(), original.save());
    EXPECT_EQ(copy->objectName(), QStringLiteral("Ab"));
    EXPECT_TRUE(copy->isStatic());
    EXPECT_EQ(copy->stopList().at(1).toDouble(), 12.5);
    EXPECT_EQ(copy->colorList().at(1).value<QColor>(), QColor(10, 20, 30, 40));
    EXPECT_EQ(copy->getStopColor(), original.getStopColor());
}

TEST(ColorMapPalette, DamagedBytesAreRefusedAndChangeNothing)
{
    const QByteArray baGolden = golden();
    // Offsets into the golden bytes.
    const int nNameLength = 5;
    const int nStartSpec = 18;
    const int nMinValue = 50;
    const int nEndMode = 83;
    const int nStartCount = 106;
    struct Case {
        const char* szName;
        QByteArray bytes;
        const char* szReason;
    };
    const auto patched = [&](int nAt, const char* szHex) {
        QByteArray b = baGolden;
        const QByteArray baPatch = QByteArray::fromHex(szHex);
        b.replace(nAt, baPatch.size(), baPatch);
        return b;
    };
    const Case aCases[] = {
        {"empty", QByteArray(), "name ends early"},
        {"text file", QByteArray("not a palette\n"), "name"},
        {"huge name", patched(nNameLength, "7ffffffe"), "announces"},
        {"odd name length", patched(nNameLength, "00000003"), "announces"},
        {"huge band count", patched(nStartCount, "ffffffff"), "band starts announces"},
        {"band count past the end", patched(nStartCount, "00000100"), "band starts announces"},
        {"min is text", patched(nMinValue - 5, "0000000a00"), "min has type 10"},
        {"end mode unknown", patched(nEndMode + 5, "00000007"), "end mode 7 is not known"},
        {"end mode is a double", patched(nEndMode, "00000006"), "end mode has type 6"},
        {"band start is a list", patched(nStartCount + 4, "00000009"), "band starts has type 9"},
        {"band start is a colour", patched(nStartCount + 4, "00000043"), "band starts has type 67"},
        {"colour spec unknown", patched(nStartSpec, "09"), "start colour has colour spec"},
        {"min not a number", patched(nMinValue, "7ff8000000000000"), "range is not finite"},
    };
    for (const Case& c : aCases) {
        ColorMap map;
        const QByteArray baBefore = map.save();
        QString strError;
        EXPECT_FALSE(map.load(c.bytes, &strError)) << c.szName;
        EXPECT_TRUE(strError.contains(QLatin1String(c.szReason))) << c.szName << ": " << strError.toStdString();
        EXPECT_EQ(map.save(), baBefore) << c.szName;
    }
    // Every truncation is refused.
    for (int n = 0; n < baGolden.size(); ++n) {
        ColorMap map;
        QString strError;
        EXPECT_FALSE(map.load(baGolden.left(n), &strError)) << n;
        EXPECT_FALSE(strError.isEmpty()) << n;
    }
}
