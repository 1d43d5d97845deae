#include "sketch_window.h"

#include "scene.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace orlex_standin {

SketchWindow::SketchWindow(const Scene& scene, std::int32_t viewerId)
    : m_scene(scene), m_viewerId(viewerId)
{
    setAttribute(Qt::WA_NativeWindow);
    setAutoFillBackground(false);
}

void SketchWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(236, 240, 244));
    painter.setRenderHint(QPainter::Antialiasing);

    const auto viewer = m_scene.viewers().find(m_viewerId);
    const Camera camera = viewer != m_scene.viewers().end() ? viewer->second.camera : Camera();
    const double span = camera.viewportHeight > 0 ? camera.viewportHeight : 1000.0;
    const double scale = std::max(1, height()) / span; // pixels per metre, north up
    auto toScreen = [&](double x, double y) {
        return QPointF(width() / 2.0 + (x - camera.position[0]) * scale, height() / 2.0 - (y - camera.position[1]) * scale);
    };
    auto layerVisible = [&](const std::string& layer) {
        if (viewer == m_scene.viewers().end() || layer.empty())
            return true;
        for (const auto& [name, visible] : viewer->second.layers)
            if (name == layer)
                return visible;
        return true;
    };

    int drawn = 0;
    for (const auto& [id, object] : m_scene.objects()) {
        if (!object.visible || !layerVisible(object.layer))
            continue;
        ++drawn;
        const QPointF anchor = toScreen(object.position[0], object.position[1]);
        if (object.points.size() >= 2) {
            QPainterPath path;
            for (std::size_t n = 0; n < object.points.size(); ++n) {
                const Vec3& p = object.points[n];
                const QPointF point = toScreen(object.position[0] + p[0] * object.scale[0],
                                               object.position[1] + p[1] * object.scale[1]);
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
                     QStringLiteral("Viewer stand-in: top-down sketch, no terrain\n"
                                    "viewer %1, centre %2 / %3, %4 m high, %5 objects drawn")
                         .arg(m_viewerId)
                         .arg(camera.position[0], 0, 'f', 1)
                         .arg(camera.position[1], 0, 'f', 1)
                         .arg(span, 0, 'f', 1)
                         .arg(drawn));
}

} // namespace orlex_standin
