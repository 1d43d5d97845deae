#include "SvgIconEngine.h"

#include "UiStyle.h"

#include <QPainter>
#include <QPixmap>

namespace {

struct IconColours
{
    QColor oNormal;
    QColor oDisabled;
    QColor oOn;
};

// Process-wide: icons take the colours of the mode the next time they are drawn.
IconColours g_oGPColours;
IconColours g_oColours;

constexpr int kMaskExtent = 300;

} // namespace

void initStylePalette()
{
    g_oGPColours = {QColor(163, 163, 163, 255), QColor(245, 245, 245, 128),
                    QColor(74, 144, 226, 255)};
}

void setDayPalette()
{
    g_oColours = {QColor(97, 97, 97, 255), QColor(97, 97, 97, 128), QColor(74, 144, 226, 255)};
}

void setBrightDayPalette()
{
    // The logo tool bar is light in this mode: its icons are drawn dark, like its text.
    g_oGPColours = {QColor(86, 89, 92, 255), QColor(86, 89, 92, 100), QColor(74, 144, 226, 255)};
    setDayPalette();
}

void setDuskPalette()
{
    g_oColours = {QColor(163, 163, 163, 255), QColor(234, 234, 234, 128),
                  QColor(74, 144, 226, 255)};
}

SvgIconEngine::SvgIconEngine(const QIcon& oIcon, bool bGP)
    : m_oIcon(oIcon), m_bGP(bGP),
      m_oMask(oIcon.pixmap(kMaskExtent, QIcon::Normal, QIcon::Off).mask())
{
}

SvgIconEngine::~SvgIconEngine() = default;

QColor SvgIconEngine::colour(bool bGP, QIcon::Mode eMode, QIcon::State eState)
{
    const IconColours& oColours = bGP ? g_oGPColours : g_oColours;
    if (eState == QIcon::On && (eMode == QIcon::Normal || eMode == QIcon::Active))
        return oColours.oOn;
    if (eMode == QIcon::Disabled && eState == QIcon::Off)
        return oColours.oDisabled;
    return oColours.oNormal;
}

void SvgIconEngine::paint(QPainter* poPainter, const QRect& oRect, QIcon::Mode eMode,
                          QIcon::State eState)
{
    // Views draw their icons through paint rather than pixmap.
    poPainter->drawPixmap(oRect, pixmap(oRect.size(), eMode, eState));
}

QPixmap SvgIconEngine::pixmap(const QSize& oSize, QIcon::Mode eMode, QIcon::State eState)
{
    if (m_oMask.isNull() || oSize.isEmpty())
        return QPixmap();
    QPixmap oPixmap(m_oMask.size());
    oPixmap.fill(colour(m_bGP, eMode, eState));
    oPixmap.setMask(m_oMask);
    return oPixmap.scaled(oSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QIconEngine* SvgIconEngine::clone() const
{
    return new SvgIconEngine(m_oIcon, m_bGP);
}
