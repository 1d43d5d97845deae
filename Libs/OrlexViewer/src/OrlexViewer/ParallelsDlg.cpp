#include "OrlexViewer/ParallelsDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

CParallelsDlg::CParallelsDlg() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("dlgParallels"));
    setWindowTitle(QCoreApplication::translate("dlgParallels", "Make Parallels"));
    resize(260, 162);
    auto* pGrid = new QGridLayout(this);
    linesPort = new QLineEdit(this);
    linesStbd = new QLineEdit(this);
    distPort = new QLineEdit(this);
    distStbd = new QLineEdit(this);
    linesPort->setObjectName(QStringLiteral("linesPort"));
    linesStbd->setObjectName(QStringLiteral("linesStbd"));
    distPort->setObjectName(QStringLiteral("distPort"));
    distStbd->setObjectName(QStringLiteral("distStbd"));
    pGrid->addWidget(new QLabel(QCoreApplication::translate("dlgParallels", "Lines to port:"), this), 0, 0);
    pGrid->addWidget(linesPort, 0, 1);
    pGrid->addWidget(new QLabel(QCoreApplication::translate("dlgParallels", "Distance:"), this), 0, 2);
    pGrid->addWidget(distPort, 0, 3);
    pGrid->addWidget(new QLabel(QCoreApplication::translate("dlgParallels", "Lines to stbd:"), this), 1, 0);
    pGrid->addWidget(linesStbd, 1, 1);
    pGrid->addWidget(new QLabel(QCoreApplication::translate("dlgParallels", "Distance:"), this), 1, 2);
    pGrid->addWidget(distStbd, 1, 3);
    cmbReverse = new QCheckBox(QCoreApplication::translate("dlgParallels", "Reverse Lines"), this);
    cmbReverse->setObjectName(QStringLiteral("cmbReverse"));
    pGrid->addWidget(cmbReverse, 2, 0, 1, 2);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pGrid->addWidget(pButtons, 3, 0, 1, 4);
}
