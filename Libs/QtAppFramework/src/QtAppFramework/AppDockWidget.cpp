#include "QtAppFramework/AppDockWidget.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

CAppDockWidget::CAppDockWidget(const QString& strTitle, QWidget* parent, Qt::WindowFlags flags,
                               Qt::DockWidgetAreas areas)
    : QDockWidget(strTitle, parent, flags)
{
    createActions();
    setContentsMargins(1, 0, 0, 6);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    setAllowedAreas(areas);
}

void CAppDockWidget::createActions()
{
    m_poActionTop = new QAction(tr("Top"), this);
    m_poActionRight = new QAction(tr("Right"), this);
    m_poActionBottom = new QAction(tr("Bottom"), this);
    m_poActionLeft = new QAction(tr("Left"), this);
    connect(m_poActionTop, &QAction::triggered, this, &CAppDockWidget::onActionTop);
    connect(m_poActionRight, &QAction::triggered, this, &CAppDockWidget::onActionRight);
    connect(m_poActionBottom, &QAction::triggered, this, &CAppDockWidget::onActionBottom);
    connect(m_poActionLeft, &QAction::triggered, this, &CAppDockWidget::onActionLeft);

    m_poActionClosable = new QAction(tr("Closable"), this);
    m_poActionMovable = new QAction(tr("Movable"), this);
    m_poActionFloatable = new QAction(tr("Floatable"), this);
    m_poActionVerticalTitleBar = new QAction(tr("VerticalTitleBar"), this);
    connect(m_poActionClosable, &QAction::triggered, this, &CAppDockWidget::onActionClosable);
    connect(m_poActionMovable, &QAction::triggered, this, &CAppDockWidget::onActionMovable);
    connect(m_poActionFloatable, &QAction::triggered, this, &CAppDockWidget::onActionFloatable);
    connect(m_poActionVerticalTitleBar, &QAction::triggered, this, &CAppDockWidget::onActionVerticalTitleBar);
}

void CAppDockWidget::contextMenuEvent(QContextMenuEvent* poEvent)
{
    // Held by a guard: the dock (its parent) may go away while the menu runs.
    QPointer<QMenu> poMenu = new QMenu(this);

    const Qt::DockWidgetAreas areas = allowedAreas();
    const std::pair<QAction*, Qt::DockWidgetArea> aAreas[] = {
        {m_poActionTop, Qt::TopDockWidgetArea},
        {m_poActionRight, Qt::RightDockWidgetArea},
        {m_poActionBottom, Qt::BottomDockWidgetArea},
        {m_poActionLeft, Qt::LeftDockWidgetArea},
    };
    QMenu* poAreaMenu = poMenu->addMenu(tr("Allowed Areas"));
    for (const auto& oArea : aAreas) {
        oArea.first->setCheckable(true);
        oArea.first->setChecked(areas.testFlag(oArea.second));
        poAreaMenu->addAction(oArea.first);
    }

    const QDockWidget::DockWidgetFeatures eFeatures = features();
    const std::pair<QAction*, QDockWidget::DockWidgetFeature> aFeatures[] = {
        {m_poActionClosable, QDockWidget::DockWidgetClosable},
        {m_poActionMovable, QDockWidget::DockWidgetMovable},
        {m_poActionFloatable, QDockWidget::DockWidgetFloatable},
        {m_poActionVerticalTitleBar, QDockWidget::DockWidgetVerticalTitleBar},
    };
    QMenu* poFeatureMenu = poMenu->addMenu(tr("Features"));
    for (const auto& oFeature : aFeatures) {
        oFeature.first->setCheckable(true);
        oFeature.first->setChecked(eFeatures.testFlag(oFeature.second));
        poFeatureMenu->addAction(oFeature.first);
    }

    poMenu->exec(poEvent->globalPos());
    delete poMenu;
}

void CAppDockWidget::toggleArea(QAction* poAction, Qt::DockWidgetArea eArea)
{
    if (!poAction)
        return;
    Qt::DockWidgetAreas areas = allowedAreas();
    areas.setFlag(eArea, poAction->isChecked());
    setAllowedAreas(areas);
}

void CAppDockWidget::toggleFeature(QAction* poAction, QDockWidget::DockWidgetFeature eFeature)
{
    if (!poAction)
        return;
    QDockWidget::DockWidgetFeatures eFeatures = features();
    eFeatures.setFlag(eFeature, poAction->isChecked());
    setFeatures(eFeatures);
}

void CAppDockWidget::onActionTop()
{
    toggleArea(m_poActionTop, Qt::TopDockWidgetArea);
}

void CAppDockWidget::onActionRight()
{
    toggleArea(m_poActionRight, Qt::RightDockWidgetArea);
}

void CAppDockWidget::onActionBottom()
{
    toggleArea(m_poActionBottom, Qt::BottomDockWidgetArea);
}

void CAppDockWidget::onActionLeft()
{
    toggleArea(m_poActionLeft, Qt::LeftDockWidgetArea);
}

void CAppDockWidget::onActionClosable()
{
    toggleFeature(m_poActionClosable, QDockWidget::DockWidgetClosable);
}

void CAppDockWidget::onActionMovable()
{
    toggleFeature(m_poActionMovable, QDockWidget::DockWidgetMovable);
}

void CAppDockWidget::onActionFloatable()
{
    toggleFeature(m_poActionFloatable, QDockWidget::DockWidgetFloatable);
}

void CAppDockWidget::onActionVerticalTitleBar()
{
    toggleFeature(m_poActionVerticalTitleBar, QDockWidget::DockWidgetVerticalTitleBar);
}
