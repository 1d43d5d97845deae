// An HSV colour picker: a hue ring around a triangle of saturation and value.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>

namespace platform {

class ColorTriangle : public QWidget
{
    Q_OBJECT
public:
    explicit ColorTriangle(QWidget* parent = nullptr);

    // The chosen colour, opaque.
    QColor color() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

public slots:
    // Emits colorChanged when the colour differs from the current one; the alpha is dropped.
    void setColor(const QColor& color);

signals:
    void colorChanged(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Drag { None, Hue, Triangle };

    struct Geometry {
        QPointF centre;
        double outer = 0;
        double inner = 0;
        QPointF hueCorner, whiteCorner, blackCorner;
    };
    Geometry geometry() const;
    void pickHue(const QPointF& point);
    void pickSaturationValue(const QPointF& point);
    void changeTo(double hue, double saturation, double value);

    QColor m_color{Qt::red};
    double m_hue = 0;        // 0..1, kept for colours without a hue
    double m_saturation = 1; // 0..1
    double m_value = 1;      // 0..1
    Drag m_drag = Drag::None;
    QImage m_triangleCache;
    double m_cachedHue = -1;
};

} // namespace platform
