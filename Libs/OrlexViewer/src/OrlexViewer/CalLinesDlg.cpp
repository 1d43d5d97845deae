#include "OrlexViewer/CalLinesDlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

CCalLinesDlg::CCalLinesDlg() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("CalLines"));
    setWindowTitle(QCoreApplication::translate("CalLines", "Select Lines"));
    resize(337, 272);
    auto* pLayout = new QVBoxLayout(this);
    m_pLines = new QListWidget(this);
    m_pLines->setObjectName(QStringLiteral("lines"));
    m_pLines->setSelectionMode(QAbstractItemView::ExtendedSelection);
    pLayout->addWidget(m_pLines);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    pButtons->setCenterButtons(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pLayout->addWidget(pButtons);
    pButtons->hide();
}
