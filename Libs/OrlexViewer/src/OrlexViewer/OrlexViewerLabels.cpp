// Label and highlight colours the survey grids share with the graticule and the line picks.
#include "OrlexViewer/OrlexViewer.h"

namespace {

QColor toQColor(const ::Tavrin::Dremm::Orlex::Color& colour)
{
    return QColor::fromRgbF(static_cast<qreal>(colour.R), static_cast<qreal>(colour.G), static_cast<qreal>(colour.B),
                            static_cast<qreal>(colour.A));
}

} // namespace

void COrlexViewer::getLabelColors(QColor& oText, QColor& oBackground) const
{
    oText = toQColor(m_graticuleColor2);
    oBackground = toQColor(m_graticuleColor3);
}

void COrlexViewer::setHighlightColor(const QColor& oColour)
{
    m_highlightColor = oColour;
}
