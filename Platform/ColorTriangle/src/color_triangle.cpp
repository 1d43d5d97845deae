#include "platform/color_triangle.h"

#include <QConicalGradient>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace platform {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Barycentric {
    double hue = 0, white = 0, black = 0;
};

Barycentric barycentric(const QPointF& p, const QPointF& a, const QPointF& b, const QPointF& c)
{
    const double det = (b.y() - c.y()) * (a.x() - c.x()) + (c.x() - b.x()) * (a.y() - c.y());
    if (std::fabs(det) < 1e-12)
        return {};
    Barycentric r;
    r.hue = ((b.y() - c.y()) * (p.x() - c.x()) + (c.x() - b.x()) * (p.y() - c.y())) / det;
    r.white = ((c.y() - a.y()) * (p.x() - c.x()) + (a.x() - c.x()) * (p.y() - c.y())) / det;
    r.black = 1.0 - r.hue - r.white;
    return r;
}

QPointF nearestOnSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
    return a + t * ab;
}

double distance2(const QPointF& a, const QPointF& b)
{
    const QPointF d = a - b;
    return QPointF::dotProduct(d, d);
}

} // namespace

ColorTriangle::ColorTriangle(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(100, 100);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setFocusPolicy(Qt::StrongFocus);
}

QColor ColorTriangle::color() const
{
    return m_color;
}

QSize ColorTriangle::sizeHint() const
{
    return {150, 150};
}

QSize ColorTriangle::minimumSizeHint() const
{
    return {100, 100};
}

void ColorTriangle::setColor(const QColor& color)
{
    if (!color.isValid())
        return;
    QColor opaque = color.toRgb();
    opaque.setAlpha(255);
    if (opaque == m_color)
        return;
    qreal h = 0, s = 0, v = 0;
    opaque.getHsvF(&h, &s, &v);
    if (h >= 0)
        m_hue = h;
    m_saturation = s;
    m_value = v;
    m_color = opaque;
    update();
    emit colorChanged(m_color);
}

void ColorTriangle::changeTo(double hue, double saturation, double value)
{
    m_hue = hue;
    m_saturation = saturation;
    m_value = value;
    const QColor next = QColor::fromHsvF(hue, saturation, value).toRgb();
    update();
    if (next == m_color)
        return;
    m_color = next;
    emit colorChanged(m_color);
}

ColorTriangle::Geometry ColorTriangle::geometry() const
{
    Geometry g;
    const double side = std::min(width(), height());
    g.centre = QPointF(width() / 2.0, height() / 2.0);
    g.outer = side / 2.0 - 1.0;
    g.inner = g.outer - std::max(8.0, g.outer * 0.16);
    const double r = std::max(1.0, g.inner - 3.0);
    const auto corner = [&](double turns) {
        const double angle = turns * 2.0 * kPi;
        return g.centre + QPointF(r * std::cos(angle), -r * std::sin(angle));
    };
    g.hueCorner = corner(m_hue);
    g.whiteCorner = corner(m_hue + 1.0 / 3.0);
    g.blackCorner = corner(m_hue + 2.0 / 3.0);
    return g;
}

void ColorTriangle::pickHue(const QPointF& point)
{
    const Geometry g = geometry();
    const QPointF d = point - g.centre;
    if (d.isNull())
        return;
    double hue = std::atan2(-d.y(), d.x()) / (2.0 * kPi);
    if (hue < 0)
        hue += 1.0;
    changeTo(hue, m_saturation, m_value);
}

void ColorTriangle::pickSaturationValue(const QPointF& point)
{
    const Geometry g = geometry();
    QPointF p = point;
    Barycentric b = barycentric(p, g.hueCorner, g.whiteCorner, g.blackCorner);
    if (b.hue < 0 || b.white < 0 || b.black < 0) {
        const std::array<QPointF, 3> candidates = {nearestOnSegment(p, g.hueCorner, g.whiteCorner),
                                                   nearestOnSegment(p, g.whiteCorner, g.blackCorner),
                                                   nearestOnSegment(p, g.blackCorner, g.hueCorner)};
        p = *std::min_element(candidates.begin(), candidates.end(),
                              [&](const QPointF& x, const QPointF& y) { return distance2(x, point) < distance2(y, point); });
        b = barycentric(p, g.hueCorner, g.whiteCorner, g.blackCorner);
    }
    const double value = std::clamp(b.hue + b.white, 0.0, 1.0);
    const double saturation = value > 1e-9 ? std::clamp(b.hue / value, 0.0, 1.0) : 0.0;
    changeTo(m_hue, saturation, value);
}

void ColorTriangle::paintEvent(QPaintEvent*)
{
    const Geometry g = geometry();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The hue ring, hue rising anticlockwise from the right.
    QConicalGradient ring(g.centre, 0);
    for (int i = 0; i <= 6; ++i)
        ring.setColorAt(i / 6.0, QColor::fromHsvF(std::fmod(i / 6.0, 1.0), 1, 1));
    QPainterPath ringPath;
    ringPath.addEllipse(g.centre, g.outer, g.outer);
    ringPath.addEllipse(g.centre, g.inner, g.inner);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(ring);
    painter.drawPath(ringPath);

    // The triangle: full colour, white and black corners, drawn once per hue and size.
    if (m_triangleCache.size() != size() || m_cachedHue != m_hue) {
        m_triangleCache = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        m_triangleCache.fill(Qt::transparent);
        const QRectF box = QPolygonF({g.hueCorner, g.whiteCorner, g.blackCorner}).boundingRect();
        const int x0 = std::max(0, static_cast<int>(box.left()));
        const int x1 = std::min(width() - 1, static_cast<int>(box.right()) + 1);
        const int y0 = std::max(0, static_cast<int>(box.top()));
        const int y1 = std::min(height() - 1, static_cast<int>(box.bottom()) + 1);
        for (int y = y0; y <= y1; ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_triangleCache.scanLine(y));
            for (int x = x0; x <= x1; ++x) {
                const Barycentric b = barycentric(QPointF(x + 0.5, y + 0.5), g.hueCorner, g.whiteCorner, g.blackCorner);
                if (b.hue < -0.01 || b.white < -0.01 || b.black < -0.01)
                    continue;
                const double value = std::clamp(b.hue + b.white, 0.0, 1.0);
                const double saturation = value > 1e-9 ? std::clamp(b.hue / value, 0.0, 1.0) : 0.0;
                line[x] = QColor::fromHsvF(m_hue, saturation, value).rgba();
            }
        }
        m_cachedHue = m_hue;
    }
    QPainterPath triangle;
    triangle.addPolygon(QPolygonF({g.hueCorner, g.whiteCorner, g.blackCorner}));
    triangle.closeSubpath();
    painter.save();
    painter.setClipPath(triangle);
    painter.drawImage(0, 0, m_triangleCache);
    painter.restore();
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(triangle);

    // Markers: the hue on the ring, the colour in the triangle.
    const double angle = m_hue * 2.0 * kPi;
    const QPointF dir(std::cos(angle), -std::sin(angle));
    painter.setPen(QPen(Qt::black, 3));
    painter.drawLine(g.centre + dir * g.inner, g.centre + dir * g.outer);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLine(g.centre + dir * g.inner, g.centre + dir * g.outer);
    const double a = m_saturation * m_value;
    const double w = m_value - a;
    const QPointF marker = a * g.hueCorner + w * g.whiteCorner + (1.0 - m_value) * g.blackCorner;
    painter.setPen(QPen(m_value > 0.5 && m_saturation < 0.5 ? Qt::black : Qt::white, 1.5));
    painter.drawEllipse(marker, 4, 4);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void ColorTriangle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Geometry g = geometry();
    const double d = std::sqrt(distance2(event->localPos(), g.centre));
    if (d >= g.inner && d <= g.outer + 2) {
        m_drag = Drag::Hue;
        pickHue(event->localPos());
    } else if (d < g.inner) {
        m_drag = Drag::Triangle;
        pickSaturationValue(event->localPos());
    }
}

void ColorTriangle::mouseMoveEvent(QMouseEvent* event)
{
    if (m_drag == Drag::Hue)
        pickHue(event->localPos());
    else if (m_drag == Drag::Triangle)
        pickSaturationValue(event->localPos());
}

void ColorTriangle::mouseReleaseEvent(QMouseEvent* event)
{
    mouseMoveEvent(event);
    m_drag = Drag::None;
}

void ColorTriangle::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        changeTo(std::fmod(m_hue + 1.0 / 360.0, 1.0), m_saturation, m_value);
        break;
    case Qt::Key_Right:
        changeTo(std::fmod(m_hue + 359.0 / 360.0, 1.0), m_saturation, m_value);
        break;
    case Qt::Key_Up:
        changeTo(m_hue, m_saturation, std::min(1.0, m_value + 0.01));
        break;
    case Qt::Key_Down:
        changeTo(m_hue, m_saturation, std::max(0.0, m_value - 0.01));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ColorTriangle::resizeEvent(QResizeEvent* event)
{
    m_cachedHue = -1;
    QWidget::resizeEvent(event);
}

} // namespace platform
