// A colour gradient that turns survey values into colours.
#pragma once

#include <QColor>
#include <QObject>
#include <QVariantList>

class ColorMap : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor startColor READ startColor WRITE setStartColor)
    Q_PROPERTY(QColor stopColor READ stopColor WRITE setStopColor)
    Q_PROPERTY(double min READ getMin WRITE setMin)
    Q_PROPERTY(double max READ getMax WRITE setMax)
    Q_PROPERTY(bool autoMin READ autoMin WRITE setAutoMin)
    Q_PROPERTY(bool autoMax READ autoMax WRITE setAutoMax)
    Q_PROPERTY(EndMode endMode READ endMode WRITE setEndMode)
    Q_PROPERTY(Direction direction READ direction WRITE setDirection)
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
    QColor startColor() const { return m_startColor; }
    QColor stopColor() const { return m_stopColor; }
    double getMin() const { return m_dMin; }
    double getMax() const { return m_dMax; }
    bool autoMin() const { return m_bAutoMin; }
    bool autoMax() const { return m_bAutoMax; }
    EndMode endMode() const { return m_eEndMode; }
    Direction direction() const { return m_eDirection; }
    QVariantList startList() const { return m_startList; }
    QVariantList stopList() const { return m_stopList; }
    QVariantList colorList() const { return m_colorList; }
    bool isStatic() const { return m_bStatic; }

    void setStartColor(QColor color);
    void setStopColor(QColor color);
    void setMin(double d) { m_dMin = d; }
    void setMax(double d) { m_dMax = d; }
    void setAutoMin(bool b) { m_bAutoMin = b; }
    void setAutoMax(bool b) { m_bAutoMax = b; }
    void setEndMode(EndMode e) { m_eEndMode = e; }
    void setDirection(Direction e) { m_eDirection = e; }
    void setStartList(QVariantList list) { m_startList = std::move(list); }
    void setStopList(QVariantList list) { m_stopList = std::move(list); }
    void setColorList(QVariantList list) { m_colorList = std::move(list); }
    void setStatic(bool b) { m_bStatic = b; }

    // A new parentless map equal to this one, name included; the caller owns it.
    ColorMap* copy() const;

private:
    QColor m_startColor;
    QColor m_stopColor;
    double m_dMin = 0.0;
    double m_dMax = 1.0;
    bool m_bAutoMin = false;
    bool m_bAutoMax = false;
    EndMode m_eEndMode = CUT;
    Direction m_eDirection = CW;
    QVariantList m_startList;
    QVariantList m_stopList;
    QVariantList m_colorList;
    double m_adStartHsva[4] = {0, 0, 0, 0};
    double m_adStopHsva[4] = {0, 0, 0, 0};
    bool m_bStatic = false;
};
