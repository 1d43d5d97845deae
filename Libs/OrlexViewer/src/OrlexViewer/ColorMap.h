// A colour gradient that turns survey values into colours; its saved bytes are the palette format.
#pragma once

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QVariantList>

class ColorMap : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor startColor READ getStartColor WRITE setStartColor)
    Q_PROPERTY(QColor stopColor READ getStopColor WRITE setStopColor)
    Q_PROPERTY(double min READ getMin WRITE setMin)
    Q_PROPERTY(double max READ getMax WRITE setMax)
    Q_PROPERTY(bool autoMin READ getAutoMin WRITE setAutoMin)
    Q_PROPERTY(bool autoMax READ getAutoMax WRITE setAutoMax)
    Q_PROPERTY(EndMode endMode READ getEndMode WRITE setEndMode)
    Q_PROPERTY(Direction direction READ getDirection WRITE setDirection)
    Q_PROPERTY(QVariantList startList READ startList WRITE setStartList)
    Q_PROPERTY(QVariantList stopList READ stopList WRITE setStopList)
    Q_PROPERTY(QVariantList colorList READ colorList WRITE setColorList)
    Q_PROPERTY(bool isStatic READ isStatic WRITE setStatic)

public:
    enum EndMode { CLAMP = 0, WRAP = 1, CUT = 2 };
    Q_ENUM(EndMode)
    enum Direction { CW = 0, CCW = 1 };
    Q_ENUM(Direction)

    explicit ColorMap(QObject* poParent = nullptr);
    ~ColorMap() override;

public slots:
    // The colour of t; dMin and dMax are the data range that the automatic ends take.
    QColor eval(double t, double dMin = 0.0, double dMax = 0.0) const;
    // The gradient from tmin (left) to tmax (right), one evaluation per column.
    QPixmap render(const QSize& size, double tmin, double tmax) const;

    // The palette bytes.
    QByteArray save() const;
    // Takes every property from palette bytes. Damaged bytes change nothing: false, and the reason
    // in *pstrError.
    bool load(const QByteArray& b, QString* pstrError = nullptr);
    // A new parentless map equal to this one; the caller owns it.
    ColorMap* copy() const;

    QColor getStartColor() const { return m_startColor; }
    void setStartColor(const QColor& color);
    QColor getStopColor() const { return m_stopColor; }
    void setStopColor(const QColor& color);
    double getMin() const { return m_dMin; }
    void setMin(double d) { m_dMin = d; }
    double getMax() const { return m_dMax; }
    void setMax(double d) { m_dMax = d; }
    bool getAutoMin() const { return m_bAutoMin; }
    void setAutoMin(bool b) { m_bAutoMin = b; }
    bool getAutoMax() const { return m_bAutoMax; }
    void setAutoMax(bool b) { m_bAutoMax = b; }
    EndMode getEndMode() const { return m_eEndMode; }
    void setEndMode(EndMode e) { m_eEndMode = e; }
    Direction getDirection() const { return m_eDirection; }
    void setDirection(Direction e) { m_eDirection = e; }
    // The fixed colour bands: entry i of the three lists is band i, [start, stop) in its colour.
    QVariantList startList() const { return m_startList; }
    void setStartList(const QVariantList& list) { m_startList = list; }
    QVariantList stopList() const { return m_stopList; }
    void setStopList(const QVariantList& list) { m_stopList = list; }
    QVariantList colorList() const { return m_colorList; }
    void setColorList(const QVariantList& list) { m_colorList = list; }
    // Every value takes the start colour.
    bool isStatic() const { return m_bStatic; }
    void setStatic(bool b) { m_bStatic = b; }

private:
    QColor m_startColor{Qt::red};
    QColor m_stopColor{Qt::blue};
    double m_dMin = 0.0;
    double m_dMax = 1.0;
    bool m_bAutoMin = false;
    bool m_bAutoMax = false;
    EndMode m_eEndMode = CUT;
    Direction m_eDirection = CW;
    QVariantList m_startList;
    QVariantList m_stopList;
    QVariantList m_colorList;
    double m_aStartHsva[4] = {};
    double m_aStopHsva[4] = {};
    bool m_bStatic = false;
};
