#include "OrlexViewer/TiffDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

CTiffDlg::CTiffDlg()
{
    setObjectName(QStringLiteral("TiffDlg"));
    setWindowTitle(tr("GeoTIFF position"));
    resize(255, 175);

    auto* pGroup = new QGroupBox(tr("Layer of the image"), this);
    pGroup->setObjectName(QStringLiteral("groupPosition"));
    auto* pGrid = new QGridLayout(pGroup);
    radioTop = new QRadioButton(tr("Send to top"), pGroup);
    radioTop->setObjectName(QStringLiteral("radioTop"));
    radioBottom = new QRadioButton(tr("Send to bottom"), pGroup);
    radioBottom->setObjectName(QStringLiteral("radioBottom"));
    radioBottom->setChecked(true);
    radioCust = new QRadioButton(tr("Custom location"), pGroup);
    radioCust->setObjectName(QStringLiteral("radioCust"));
    spinBox = new QSpinBox(pGroup);
    spinBox->setObjectName(QStringLiteral("spinBox"));
    spinBox->setMinimumWidth(90);
    pGrid->addWidget(radioTop, 0, 0, 1, 2);
    pGrid->addWidget(radioBottom, 1, 0, 1, 2);
    pGrid->addWidget(radioCust, 2, 0, 1, 2);
    pGrid->addWidget(new QLabel(tr("Offset from top layer"), pGroup), 3, 0);
    pGrid->addWidget(spinBox, 3, 1);
    // The offset only counts for a custom location.
    spinBox->setEnabled(false);
    connect(radioCust, &QRadioButton::toggled, spinBox, &QSpinBox::setEnabled);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pGroup);
    pLayout->addWidget(pButtons);
}
