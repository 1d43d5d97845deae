// The pages a container shows, each with the node that drives it. Operations over all nodes
// run in the map's order.
#pragma once

#include <QMap>

class CSettingsNodeComponent;
class QWidget;

class CSettingsPageMap
{
public:
    void insert(QWidget* poPage, CSettingsNodeComponent* poNode);
    CSettingsNodeComponent* node(QWidget* poPage) const { return m_mapPages.value(poPage); }
    const QMap<QWidget*, CSettingsNodeComponent*>& pages() const { return m_mapPages; }

    void initAll() const;
    void applyAll(bool bForce) const;
    void cancelAll() const;
    void activateAll() const;
    void deactivateAll() const;
    // The node of the page, if any, reports the page's current row.
    void showInfo(QWidget* poPage) const;

private:
    QMap<QWidget*, CSettingsNodeComponent*> m_mapPages;
};
