#include "QtAppFramework/ControlPane.h"

#include "QtAppFramework/SettingsNodeComponent.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char* const kFormName = "m_poFormControlPane";

} // namespace

CControlPane::CControlPane(QWidget* poParent) : QFrame(poParent)
{
    setupUi(this);
    m_poHorizontalLayoutForm->setContentsMargins(0, 0, 1, 2);
    m_poHorizontalLayoutGroupBox->setContentsMargins(4, 4, 4, 4);
    m_poVerticalLayoutMain->setSpacing(4);
    m_poTabWidget->removeTab(1);
    m_poTabWidget->removeTab(0);
}

CControlPane::~CControlPane() = default;

void CControlPane::setupUi(QFrame* poForm)
{
    if (poForm->objectName().isEmpty())
        poForm->setObjectName(QLatin1String(kFormName));
    poForm->resize(273, 945);

    m_poHorizontalLayoutForm = new QHBoxLayout(poForm);
    m_poHorizontalLayoutForm->setObjectName(QStringLiteral("m_poHorizontalLayoutForm"));
    m_poGroupBox = new QGroupBox(poForm);
    m_poGroupBox->setObjectName(QStringLiteral("m_poGroupBox"));
    m_poHorizontalLayoutGroupBox = new QHBoxLayout(m_poGroupBox);
    m_poHorizontalLayoutGroupBox->setObjectName(QStringLiteral("m_poHorizontalLayoutGroupBox"));
    m_poVerticalLayoutMain = new QVBoxLayout();
    m_poVerticalLayoutMain->setObjectName(QStringLiteral("m_poVerticalLayoutMain"));

    m_poTabWidget = new QTabWidget(m_poGroupBox);
    m_poTabWidget->setObjectName(QStringLiteral("m_poTabWidget"));
    for (const char* pszTab : {"tab", "tab_2"}) {
        auto* poTab = new QWidget();
        poTab->setObjectName(QLatin1String(pszTab));
        m_poTabWidget->addTab(poTab, QString());
    }
    m_poVerticalLayoutMain->addWidget(m_poTabWidget);
    m_oDescription.setupUi(m_poGroupBox);
    m_poVerticalLayoutMain->addWidget(m_oDescription.m_poFrameDescription);
    m_poHorizontalLayoutGroupBox->addLayout(m_poVerticalLayoutMain);
    m_poHorizontalLayoutForm->addWidget(m_poGroupBox);

    retranslateUi(poForm);
    QMetaObject::connectSlotsByName(poForm);
}

void CControlPane::retranslateUi(QFrame* poForm)
{
    poForm->setWindowTitle(QCoreApplication::translate(kFormName, "Form"));
    m_poGroupBox->setTitle(QString());
    if (m_poTabWidget->count() == 2) {
        m_poTabWidget->setTabText(0, QCoreApplication::translate(kFormName, "Tab 1"));
        m_poTabWidget->setTabText(1, QCoreApplication::translate(kFormName, "Tab 2"));
    }
    m_oDescription.retranslateUi(kFormName);
}

void CControlPane::addNode(CSettingsNodeComponent* poNode)
{
    if (!poNode)
        return;
    connect(poNode, &CSettingsNodeComponent::settingInfo, this, &CControlPane::setInfo,
            Qt::UniqueConnection);
    connect(poNode, &CSettingsNodeComponent::settingValueChanged, this,
            qOverload<>(&CControlPane::apply), Qt::UniqueConnection);
    if (!poNode->children().isEmpty())
        return;

    const int nPrevious = m_poTabWidget->currentIndex();
    if (QWidget* poPage = poNode->widget()) {
        m_oPages.insert(poPage, poNode);
        m_poTabWidget->insertTab(0, poPage, poNode->name());
    }
    // The remembered index now holds the new first tab, so the new page is the one shown.
    const int nCurrent = nPrevious >= 0 ? nPrevious : 0;
    m_poTabWidget->setCurrentIndex(nCurrent);
    handleTabPageChanged(nCurrent);
}

void CControlPane::init()
{
    m_oPages.initAll();
}

void CControlPane::apply(bool bForce)
{
    m_oPages.applyAll(bForce);
}

void CControlPane::cancel()
{
    m_oPages.cancelAll();
}

void CControlPane::activate()
{
    m_oPages.activateAll();
    connect(m_poTabWidget, &QTabWidget::currentChanged, this,
            &CControlPane::handleTabPageChanged, Qt::UniqueConnection);
}

void CControlPane::deactivate()
{
    m_oPages.deactivateAll();
    disconnect(m_poTabWidget, &QTabWidget::currentChanged, this,
               &CControlPane::handleTabPageChanged);
}

void CControlPane::setCurrentPane()
{
    const QObject* poSender = sender();
    if (!poSender)
        return;
    QWidget* poFound = nullptr;
    const QMap<QWidget*, CSettingsNodeComponent*>& mapPages = m_oPages.pages();
    for (auto it = mapPages.constBegin(); it != mapPages.constEnd(); ++it) {
        if (it.value()->name() == poSender->objectName())
            poFound = it.key();
    }
    if (poFound)
        m_poTabWidget->setCurrentWidget(poFound);
}

void CControlPane::handleTabPageChanged(int iNewPage)
{
    QWidget* poPage = m_poTabWidget->widget(iNewPage);
    m_oPages.showInfo(poPage);
}

void CControlPane::setInfo(QString& strTitle, QString& strDescription)
{
    m_oDescription.setInfo(strTitle, strDescription);
}
