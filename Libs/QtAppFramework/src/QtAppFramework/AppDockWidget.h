// Dock widget whose context menu chooses its allowed areas and its features.
#pragma once

#include <QDockWidget>

class QAction;
class QContextMenuEvent;

class CAppDockWidget : public QDockWidget {
    Q_OBJECT
public:
    CAppDockWidget(const QString& strTitle, QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags(),
                   Qt::DockWidgetAreas areas = Qt::AllDockWidgetAreas);

protected:
    void contextMenuEvent(QContextMenuEvent* poEvent) override;

private slots:
    void onActionTop();
    void onActionRight();
    void onActionBottom();
    void onActionLeft();
    void onActionClosable();
    void onActionMovable();
    void onActionFloatable();
    void onActionVerticalTitleBar();

private:
    void createActions();
    void toggleArea(QAction* poAction, Qt::DockWidgetArea eArea);
    void toggleFeature(QAction* poAction, QDockWidget::DockWidgetFeature eFeature);

    QAction* m_poActionTop = nullptr;
    QAction* m_poActionRight = nullptr;
    QAction* m_poActionBottom = nullptr;
    QAction* m_poActionLeft = nullptr;
    QAction* m_poActionClosable = nullptr;
    QAction* m_poActionMovable = nullptr;
    QAction* m_poActionFloatable = nullptr;
    QAction* m_poActionVerticalTitleBar = nullptr;
};
