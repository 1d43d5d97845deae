#include "QtAppFramework/SettingsNodeComponent.h"

CSettingsNodeComponent::CSettingsNodeComponent(QString strName, QWidget* poPage,
                                               QObject* poParent)
    : QObject(poParent), m_strName(std::move(strName)), m_poPage(poPage)
{
}

CSettingsNodeComponent::~CSettingsNodeComponent() = default;

QString CSettingsNodeComponent::name() const
{
    return m_strName;
}

void CSettingsNodeComponent::setName(QString strName)
{
    m_strName = std::move(strName);
}

QWidget* CSettingsNodeComponent::widget() const
{
    return m_poPage;
}

void CSettingsNodeComponent::setWidget(QWidget* poPage)
{
    m_poPage = poPage;
}

QList<CSettingsNodeComponent*> CSettingsNodeComponent::children() const
{
    return {};
}

CSettingsNodeComposite::CSettingsNodeComposite(QString strName, QObject* poParent)
    : CSettingsNodeComponent(std::move(strName), nullptr, poParent)
{
}

void CSettingsNodeComposite::addChild(CSettingsNodeComponent* poChild)
{
    if (!poChild || children().contains(poChild))
        return;
    m_lstChildren.append(poChild);
    connect(poChild, &CSettingsNodeComponent::settingInfo, this,
            &CSettingsNodeComponent::settingInfo);
    connect(poChild, &CSettingsNodeComponent::settingValueChanged, this,
            &CSettingsNodeComponent::settingValueChanged);
}

QList<CSettingsNodeComponent*> CSettingsNodeComposite::children() const
{
    QList<CSettingsNodeComponent*> lstChildren;
    for (const auto& poChild : m_lstChildren) {
        if (poChild)
            lstChildren.append(poChild);
    }
    return lstChildren;
}

void CSettingsNodeComposite::showInfo(QWidget* poPage)
{
    for (CSettingsNodeComponent* poChild : children()) {
        if (poChild->widget() == poPage)
            poChild->showInfo(poPage);
    }
}

void CSettingsNodeComposite::init()
{
    for (CSettingsNodeComponent* poChild : children())
        poChild->init();
}

void CSettingsNodeComposite::apply(bool bForce)
{
    for (CSettingsNodeComponent* poChild : children())
        poChild->apply(bForce);
}

void CSettingsNodeComposite::cancel()
{
    for (CSettingsNodeComponent* poChild : children())
        poChild->cancel();
}

void CSettingsNodeComposite::activate()
{
    for (CSettingsNodeComponent* poChild : children())
        poChild->activate();
}

void CSettingsNodeComposite::deactivate()
{
    for (CSettingsNodeComponent* poChild : children())
        poChild->deactivate();
}
