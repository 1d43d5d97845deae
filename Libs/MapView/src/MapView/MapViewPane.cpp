#include "MapView/MapViewPane.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int HideAfterTicks = 5;

// Phases of the viewer's grid engine: reported by the viewer itself.
bool isGridEnginePhase(const QString& strStatus)
{
    static const char* const aPhases[] = {"Waiting for Grid Engine", "Parsing data", "Extracting coordinates",
                                          "Generating geometry", "Generating normals", "Creating node", "Ready"};
    for (const char* szPhase : aPhases)
        if (strStatus.contains(QLatin1String(szPhase), Qt::CaseSensitive))
            return true;
    return strStatus == QLatin1String("error");
}

} // namespace

CMapViewPane::CMapViewPane(QWidget* parent)
    : QWidget(parent)
    , m_poLayout(new QGridLayout(this))
    , m_poToolBar(new QToolBar(this))
    , m_poFrame(new QFrame(this))
{
    m_poLayout->setSpacing(0);
    m_poLayout->setContentsMargins(0, 0, 0, 0);
    m_poToolBar->hide();
    m_poLayout->addWidget(m_poToolBar, 0, 0, 1, 2);
    m_poFrame->setCursor(Qt::ArrowCursor);
    m_poFrame->setFrameShape(QFrame::StyledPanel);
    m_poFrame->setFrameShadow(QFrame::Sunken);
    m_poLayout->addWidget(m_poFrame, 1, 0, 1, 2);
}

void CMapViewPane::setStatusWidgets(QLabel* poLabel, QProgressBar* poProgress)
{
    m_poStatusLabel = poLabel;
    m_poProgressBar = poProgress;
}

void CMapViewPane::setStatusText(QString strStatus)
{
    if (!m_poStatusLabel)
        return;
    if (m_poStatusLabel->isHidden()) {
        m_poStatusLabel->setMaximumHeight(20);
        m_poStatusLabel->show();
    }
    m_poStatusLabel->setText(strStatus);
}

void CMapViewPane::updateStatus(QString strStatus, int nCompleted, int nTotal)
{
    if (isGridEnginePhase(strStatus))
        return;
    if (m_poStatusLabel) {
        m_poStatusLabel->setText(strStatus);
        m_poStatusLabel->setVisible(true);
    }
    if (m_poProgressBar) {
        m_poProgressBar->setMaximum(nTotal);
        m_poProgressBar->setValue(nCompleted);
        m_poProgressBar->setVisible(true);
    }
    const bool bDone = nCompleted >= nTotal || nTotal <= 0
                       || strStatus.trimmed().toLower() == QLatin1String("ready");
    if (!bDone)
        return;
    m_nHideCountdown = HideAfterTicks;
    if (!m_poStatusTimer) {
        m_poStatusTimer = new QTimer(this);
        connect(m_poStatusTimer, &QTimer::timeout, this, &CMapViewPane::timeout);
    }
    if (!m_poStatusTimer->isActive())
        m_poStatusTimer->start(1000);
}

bool CMapViewPane::noAction()
{
    return true;
}

void CMapViewPane::timeout()
{
    if (--m_nHideCountdown > 0)
        return;
    if (m_poStatusTimer)
        m_poStatusTimer->stop();
    if (m_poProgressBar)
        m_poProgressBar->hide();
    if (m_poStatusLabel)
        m_poStatusLabel->hide();
}
