// An icon engine that draws the shape of an icon in the colours of the current style mode.
#pragma once

#include <QBitmap>
#include <QColor>
#include <QIcon>
#include <QIconEngine>

class SvgIconEngine : public QIconEngine
{
public:
    // bGP selects the colours of icons on the dark "GP" bars.
    SvgIconEngine(const QIcon& oIcon, bool bGP);
    ~SvgIconEngine() override;

    void paint(QPainter* poPainter, const QRect& oRect, QIcon::Mode eMode,
               QIcon::State eState) override;
    QPixmap pixmap(const QSize& oSize, QIcon::Mode eMode, QIcon::State eState) override;
    QIconEngine* clone() const override;

    // The colour an icon of the kind is drawn with in the mode and state.
    static QColor colour(bool bGP, QIcon::Mode eMode, QIcon::State eState);

private:
    QIcon m_oIcon;
    bool m_bGP;
    QBitmap m_oMask;
};
