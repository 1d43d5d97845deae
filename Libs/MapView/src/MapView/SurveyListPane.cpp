#include "MapView/SurveyListPane.h"

#include <QListWidget>
#include <QVBoxLayout>

CSurveyListPane::CSurveyListPane(QWidget* parent) : QWidget(parent), m_poList(new QListWidget(this))
{
    auto* poLayout = new QVBoxLayout(this);
    poLayout->setContentsMargins(0, 0, 0, 0);
    poLayout->addWidget(m_poList);
}

void CSurveyListPane::closeSurvey()
{
    if (m_poList->selectedItems().isEmpty())
        return;
    QListWidgetItem* poItem = m_poList->currentItem();
    if (!poItem)
        return;
    emit closeSurvey(poItem->text());
    delete m_poList->takeItem(m_poList->row(poItem));
}
