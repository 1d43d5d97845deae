#include "MapView/ColorMappingPane.h"

#include "OrlexViewer/OrlexViewer.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStandardItemModel>
#include <QSpacerItem>
#include <QTreeView>
#include <QVBoxLayout>

CColorMappingPane::CColorMappingPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("m_poPaneColorMapping"));
    resize(250, 439);
    auto* poOuter = new QVBoxLayout(this);
    poOuter->setContentsMargins(0, 0, 1, 2);
    auto* poGroup = new QGroupBox(tr("Survey Items"), this);
    auto* poGroupLayout = new QVBoxLayout(poGroup);
    poGroupLayout->setContentsMargins(4, 4, 4, 4);
    poGroupLayout->setSpacing(6);
    m_poTree = new QTreeView(poGroup);
    m_poTree->setHeaderHidden(true);
    poGroupLayout->addWidget(m_poTree);
    auto* poButtons = new QHBoxLayout();
    poButtons->addItem(new QSpacerItem(148, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_poEditButton = new QPushButton(tr("Edit Colour Map..."), poGroup);
    poButtons->addWidget(m_poEditButton);
    poGroupLayout->addLayout(poButtons);
    poOuter->addWidget(poGroup);
    connect(m_poEditButton, &QPushButton::clicked, this, &CColorMappingPane::onEditColorMap);
}

void CColorMappingPane::updateModel()
{
    if (!m_poTree)
        return;
    COrlexViewer* poViewer = COrlexViewer::instance(QStringLiteral("dremm"));
    if (!poViewer)
        return;
    m_poTree->setModel(poViewer->getColorMappingModel());
}

void CColorMappingPane::expandAll()
{
    if (m_poTree)
        m_poTree->expandAll();
}

void CColorMappingPane::collapseAll()
{
    if (m_poTree)
        m_poTree->collapseAll();
}

void CColorMappingPane::onEditColorMap()
{
}
