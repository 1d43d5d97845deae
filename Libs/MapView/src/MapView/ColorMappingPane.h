// The "Survey Items" pane: a tree of the open surveys and their colour targets, filled from the
// 3-D view controller's colour-mapping model.
#pragma once

#include <QWidget>

class QPushButton;
class QTreeView;

class CColorMappingPane : public QWidget {
    Q_OBJECT
public:
    explicit CColorMappingPane(QWidget* parent = nullptr);

    QTreeView* surveyItemsView() const { return m_poTree; }

public slots:
    // Shows the controller's colour-mapping model, which the controller rebuilds for it.
    void updateModel();
    void expandAll();
    void collapseAll();
    void onEditColorMap();

private:
    QTreeView* m_poTree = nullptr;
    QPushButton* m_poEditButton = nullptr;
};
