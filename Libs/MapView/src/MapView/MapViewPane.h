// The base of the 2-D map view: a tool bar over a sunken frame that receives the embedded view,
// and the status handling of progress reports.
#pragma once

#include <QWidget>

class QFrame;
class QGridLayout;
class QLabel;
class QProgressBar;
class QTimer;
class QToolBar;

class CMapViewPane : public QWidget {
    Q_OBJECT
public:
    explicit CMapViewPane(QWidget* parent = nullptr);

    QToolBar* toolBar() const { return m_poToolBar; }
    QFrame* frame() const { return m_poFrame; }
    // Where the status is shown; the pane uses them when they are given.
    void setStatusWidgets(QLabel* poLabel, QProgressBar* poProgress);

signals:
    void msgToFile(QString msg);

public slots:
    void setStatusText(QString strStatus);
    void updateStatus(QString strStatus, int nCompleted, int nTotal);
    bool noAction();
    void timeout();

private:
    QGridLayout* m_poLayout;
    QToolBar* m_poToolBar;
    QFrame* m_poFrame;
    QLabel* m_poStatusLabel = nullptr;
    QProgressBar* m_poProgressBar = nullptr;
    int m_nHideCountdown = 5;
    QTimer* m_poStatusTimer = nullptr;
};
