#include "OrlexViewer/ColorMap.h"

#include <QMetaProperty>

ColorMap::ColorMap(QObject* poParent) : QObject(poParent)
{
    setStartColor(QColor(Qt::red));
    setStopColor(QColor(Qt::blue));
}

ColorMap::~ColorMap() = default;

void ColorMap::setStartColor(QColor color)
{
    m_startColor = color;
    color.getHsvF(&m_adStartHsva[0], &m_adStartHsva[1], &m_adStartHsva[2], &m_adStartHsva[3]);
}

void ColorMap::setStopColor(QColor color)
{
    m_stopColor = color;
    color.getHsvF(&m_adStopHsva[0], &m_adStopHsva[1], &m_adStopHsva[2], &m_adStopHsva[3]);
}

ColorMap* ColorMap::copy() const
{
    auto* poCopy = new ColorMap(nullptr);
    const QMetaObject* poMeta = metaObject();
    for (int i = 0; i < poMeta->propertyCount(); ++i) {
        const QMetaProperty property = poMeta->property(i);
        property.write(poCopy, property.read(this));
    }
    return poCopy;
}
