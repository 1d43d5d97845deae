#include "StatusInformationWidget.h"

#include <QLabel>
#include <QLineEdit>

StatusInformationWidget::StatusInformationWidget(QObject* parent) : QObject(parent)
{
}

StatusInformationWidget::~StatusInformationWidget()
{
    for (const auto& oItem : qAsConst(m_mapItems)) {
        delete oItem.first;
        delete oItem.second;
    }
}

void StatusInformationWidget::addItem(int nItem, const QString& strLabel, QWidget* poParent)
{
    if (m_mapItems.contains(nItem))
        return;
    auto* poEdit = new QLineEdit(poParent);
    poEdit->setReadOnly(true);
    m_mapItems.insert(nItem, qMakePair(QPointer<QLineEdit>(poEdit), QPointer<QWidget>(new QLabel(strLabel, poParent))));
}

QLineEdit* StatusInformationWidget::itemEdit(int nItem) const
{
    return m_mapItems.value(nItem).first;
}

QWidget* StatusInformationWidget::itemLabel(int nItem) const
{
    return m_mapItems.value(nItem).second;
}

void StatusInformationWidget::setItemVisible(int nItem, bool bVisible)
{
    const auto it = m_mapItems.constFind(nItem);
    if (it == m_mapItems.cend())
        return;
    if (it.value().second)
        it.value().second->setVisible(bVisible);
    if (it.value().first)
        it.value().first->setVisible(bVisible);
}

void StatusInformationWidget::setItemText(int nItem, QString strText)
{
    const auto it = m_mapItems.constFind(nItem);
    if (it == m_mapItems.cend() || !it.value().first)
        return;
    QLineEdit* poEdit = it.value().first;
    poEdit->setText(strText);
    // A line edit's size hint ignores its text: make room for the whole text.
    const QMargins oMargins = poEdit->textMargins() + poEdit->contentsMargins();
    const int nNeeded = poEdit->fontMetrics().horizontalAdvance(strText) + oMargins.left() + oMargins.right() + 12;
    poEdit->setMinimumWidth(nNeeded);
    poEdit->adjustSize();
}
