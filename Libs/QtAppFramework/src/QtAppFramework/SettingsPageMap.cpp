#include "QtAppFramework/SettingsPageMap.h"

#include "QtAppFramework/SettingsNodeComponent.h"

void CSettingsPageMap::insert(QWidget* poPage, CSettingsNodeComponent* poNode)
{
    m_mapPages.insert(poPage, poNode);
}

void CSettingsPageMap::initAll() const
{
    for (CSettingsNodeComponent* poNode : m_mapPages)
        poNode->init();
}

void CSettingsPageMap::applyAll(bool bForce) const
{
    for (CSettingsNodeComponent* poNode : m_mapPages)
        poNode->apply(bForce);
}

void CSettingsPageMap::cancelAll() const
{
    for (CSettingsNodeComponent* poNode : m_mapPages)
        poNode->cancel();
}

void CSettingsPageMap::activateAll() const
{
    for (CSettingsNodeComponent* poNode : m_mapPages)
        poNode->activate();
}

void CSettingsPageMap::deactivateAll() const
{
    for (CSettingsNodeComponent* poNode : m_mapPages)
        poNode->deactivate();
}

void CSettingsPageMap::showInfo(QWidget* poPage) const
{
    if (CSettingsNodeComponent* poNode = m_mapPages.value(poPage))
        poNode->showInfo(poPage);
}
