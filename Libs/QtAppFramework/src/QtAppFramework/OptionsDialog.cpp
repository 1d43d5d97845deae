#include "QtAppFramework/OptionsDialog.h"

#include "QtAppFramework/SettingsNodeComponent.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kFormName = "m_poFormDialogOptions";
constexpr int kPageColumn = 1;

} // namespace

COptionsDialog::COptionsDialog(QWidget* poParent) : QDialog(poParent)
{
    setupUi(this);
    m_poTreeWidget->setColumnCount(1);
    connect(m_poButtonBox, &QDialogButtonBox::clicked, this, &COptionsDialog::handleButtonClick);
}

COptionsDialog::~COptionsDialog() = default;

void COptionsDialog::setupUi(QDialog* poDialog)
{
    if (poDialog->objectName().isEmpty())
        poDialog->setObjectName(QLatin1String(kFormName));
    poDialog->resize(640, 480);

    m_poGridLayout = new QGridLayout(poDialog);
    m_poGridLayout->setObjectName(QStringLiteral("gridLayout"));
    m_poGridLayout->setContentsMargins(6, 6, 6, 6);

    m_poHorizontalLayout = new QHBoxLayout();
    m_poHorizontalLayout->setObjectName(QStringLiteral("m_poHorizontalLayout"));
    m_poHorizontalLayout->setSpacing(6);

    m_poTreeWidget = new QTreeWidget(poDialog);
    m_poTreeWidget->setObjectName(QStringLiteral("m_poTreeWidget"));
    auto* poHeader = new QTreeWidgetItem();
    poHeader->setText(0, QStringLiteral("1"));
    m_poTreeWidget->setHeaderItem(poHeader);
    m_poTreeWidget->setHeaderHidden(true);
    QSizePolicy oTreePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    oTreePolicy.setHorizontalStretch(1);
    m_poTreeWidget->setSizePolicy(oTreePolicy);
    m_poHorizontalLayout->addWidget(m_poTreeWidget);

    m_poVerticalLayout = new QVBoxLayout();
    m_poVerticalLayout->setObjectName(QStringLiteral("m_poVerticalLayout"));
    m_poVerticalLayout->setSpacing(3);
    m_poStackedWidget = new QStackedWidget(poDialog);
    m_poStackedWidget->setObjectName(QStringLiteral("m_poStackedWidget"));
    m_poStackedWidget->setFrameShape(QFrame::StyledPanel);
    for (const char* pszPage : {"page", "page_2"}) {
        auto* poPage = new QWidget();
        poPage->setObjectName(QLatin1String(pszPage));
        m_poStackedWidget->addWidget(poPage);
    }
    m_poVerticalLayout->addWidget(m_poStackedWidget);
    m_oDescription.setupUi(poDialog);
    m_poVerticalLayout->addWidget(m_oDescription.m_poFrameDescription);
    m_poHorizontalLayout->addLayout(m_poVerticalLayout);
    m_poHorizontalLayout->setStretch(0, 2);
    m_poHorizontalLayout->setStretch(1, 5);
    m_poGridLayout->addLayout(m_poHorizontalLayout, 0, 0);

    m_poButtonBox = new QDialogButtonBox(poDialog);
    m_poButtonBox->setObjectName(QStringLiteral("m_poButtonBox"));
    m_poButtonBox->setOrientation(Qt::Horizontal);
    m_poButtonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    m_poGridLayout->addWidget(m_poButtonBox, 1, 0);

    retranslateUi(poDialog);
    connect(m_poButtonBox, &QDialogButtonBox::accepted, poDialog, &QDialog::accept);
    connect(m_poButtonBox, &QDialogButtonBox::rejected, poDialog, &QDialog::reject);
    QMetaObject::connectSlotsByName(poDialog);
}

void COptionsDialog::retranslateUi(QDialog* poDialog)
{
    poDialog->setWindowTitle(QCoreApplication::translate(kFormName, "Options"));
    m_oDescription.retranslateUi(kFormName);
}

void COptionsDialog::addNode(CSettingsNodeComponent* poNode)
{
    if (!poNode)
        return;
    connect(poNode, &CSettingsNodeComponent::settingInfo, this, &COptionsDialog::setInfo,
            Qt::UniqueConnection);
    QTreeWidgetItem* poPrevious = m_poTreeWidget->currentItem();

    QTreeWidgetItem* poItem = nullptr;
    const QList<CSettingsNodeComponent*> lstChildren = poNode->children();
    if (lstChildren.isEmpty()) {
        poItem = new QTreeWidgetItem(m_poTreeWidget);
        poItem->setText(0, poNode->name());
        poItem->setExpanded(true);
        addPage(poNode, poItem, true);
    } else {
        poItem = new QTreeWidgetItem();
        poItem->setText(0, poNode->name());
        bool bFirst = true;
        for (CSettingsNodeComponent* poChild : lstChildren) {
            if (!poChild)
                continue;
            auto* poChildItem = new QTreeWidgetItem(poItem);
            poChildItem->setText(0, poChild->name());
            addPage(poChild, poChildItem, bFirst);
            if (bFirst && poChild->widget())
                poItem->setData(kPageColumn, Qt::UserRole, poChildItem->data(kPageColumn, Qt::UserRole));
            bFirst = false;
        }
        m_poTreeWidget->addTopLevelItem(poItem);
        poItem->setExpanded(true);
    }

    if (poPrevious) {
        m_poTreeWidget->setCurrentItem(nullptr);
        m_poTreeWidget->setCurrentItem(poPrevious);
    } else {
        m_poTreeWidget->setCurrentItem(poItem);
    }
}

void COptionsDialog::addPage(CSettingsNodeComponent* poNode, QTreeWidgetItem* poItem,
                             bool bCurrent)
{
    QWidget* poPage = poNode->widget();
    if (!poPage)
        return;
    m_oPages.insert(poPage, poNode);
    m_poStackedWidget->addWidget(poPage);
    if (bCurrent)
        m_poStackedWidget->setCurrentWidget(poPage);
    // The item keeps the page's address; it is only used after the stack confirms it holds it.
    poItem->setData(kPageColumn, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(poPage)));
}

QWidget* COptionsDialog::pageOf(QTreeWidgetItem* poItem) const
{
    if (!poItem)
        return nullptr;
    const QVariant vPage = poItem->data(kPageColumn, Qt::UserRole);
    if (!vPage.isValid())
        return nullptr;
    auto* poPage = reinterpret_cast<QWidget*>(vPage.value<quintptr>());
    return m_poStackedWidget->indexOf(poPage) >= 0 ? poPage : nullptr;
}

void COptionsDialog::init()
{
    m_oPages.initAll();
}

void COptionsDialog::apply(bool bForce)
{
    m_oPages.applyAll(bForce);
}

void COptionsDialog::cancel()
{
    m_oPages.cancelAll();
}

void COptionsDialog::activate()
{
    m_oPages.activateAll();
    connect(m_poTreeWidget, &QTreeWidget::currentItemChanged, this,
            &COptionsDialog::handleTreeItemChanged, Qt::UniqueConnection);
    connect(m_poStackedWidget, &QStackedWidget::currentChanged, this,
            &COptionsDialog::handleStackedWidgetChanged, Qt::UniqueConnection);
    m_poTreeWidget->setCurrentItem(nullptr);
    m_poTreeWidget->setCurrentItem(m_poTreeWidget->topLevelItem(0));
}

void COptionsDialog::deactivate()
{
    m_oPages.deactivateAll();
    disconnect(m_poTreeWidget, &QTreeWidget::currentItemChanged, this,
               &COptionsDialog::handleTreeItemChanged);
    disconnect(m_poStackedWidget, &QStackedWidget::currentChanged, this,
               &COptionsDialog::handleStackedWidgetChanged);
}

void COptionsDialog::handleTreeItemChanged(QTreeWidgetItem* poItemCurr, QTreeWidgetItem*)
{
    QWidget* poPage = pageOf(poItemCurr);
    if (!poPage)
        return;
    if (m_poStackedWidget->currentWidget() == poPage) {
        // The stack does not signal a page it already shows; its row is reported all the same.
        handleStackedWidgetChanged(m_poStackedWidget->currentIndex());
        return;
    }
    m_poStackedWidget->setCurrentWidget(poPage);
}

void COptionsDialog::handleStackedWidgetChanged(int nIndex)
{
    QWidget* poPage = m_poStackedWidget->widget(nIndex);
    m_oPages.showInfo(poPage);
}

void COptionsDialog::handleButtonClick(QAbstractButton* poButton)
{
    switch (m_poButtonBox->buttonRole(poButton)) {
    case QDialogButtonBox::AcceptRole:
    case QDialogButtonBox::ApplyRole:
        apply(false);
        break;
    case QDialogButtonBox::RejectRole:
        cancel();
        break;
    default:
        break;
    }
}

void COptionsDialog::setInfo(QString& strTitle, QString& strDescription)
{
    m_oDescription.setInfo(strTitle, strDescription);
}

void COptionsDialog::reject()
{
    // Reverting twice is harmless: the second pass finds nothing edited.
    cancel();
    QDialog::reject();
}
