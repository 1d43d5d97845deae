#include "ObjectEditDialog.h"

#include "ObjectReaders.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace orlex_objects {

namespace {

QDoubleSpinBox* spinBox(QWidget* pParent, const QString& strName, double dLimit, int nDecimals, double dValue)
{
    auto* pBox = new QDoubleSpinBox(pParent);
    pBox->setObjectName(strName);
    pBox->setRange(-dLimit, dLimit);
    pBox->setDecimals(nDecimals);
    pBox->setValue(dValue);
    return pBox;
}

} // namespace

bool editObjectValues(ObjectEditValues& values)
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("ObjectEditDialog"));
    dialog.setWindowTitle(QStringLiteral("Edit object"));
    auto* pForm = new QFormLayout(&dialog);
    pForm->addRow(QStringLiteral("Kind"), new QLabel(values.strKind, &dialog));

    auto* pName = new QLineEdit(values.strName, &dialog);
    pName->setObjectName(QStringLiteral("name"));
    pName->setMaxLength(256);
    pForm->addRow(QStringLiteral("Name"), pName);

    auto* pColor = new QLineEdit(values.oColor.name(), &dialog);
    pColor->setObjectName(QStringLiteral("color"));
    pColor->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("#[0-9A-Fa-f]{6}")), pColor));
    pForm->addRow(QStringLiteral("Colour (#rrggbb)"), pColor);

    auto* pLink = new QLineEdit(values.strLink, &dialog);
    pLink->setObjectName(QStringLiteral("link"));
    pLink->setMaxLength(1024);
    pForm->addRow(QStringLiteral("Media file or URL"), pLink);

    QDoubleSpinBox* pFirst = nullptr;
    QDoubleSpinBox* pSecond = nullptr;
    if (values.bPoint) {
        pFirst = spinBox(&dialog, QStringLiteral("latitude"), 90, 7, values.dLatitude);
        pSecond = spinBox(&dialog, QStringLiteral("longitude"), 180, 7, values.dLongitude);
        pForm->addRow(QStringLiteral("Latitude (degrees)"), pFirst);
        pForm->addRow(QStringLiteral("Longitude (degrees)"), pSecond);
    } else {
        pFirst = spinBox(&dialog, QStringLiteral("shiftNorth"), 100000, 2, 0);
        pSecond = spinBox(&dialog, QStringLiteral("shiftEast"), 100000, 2, 0);
        pForm->addRow(QStringLiteral("Move north (m)"), pFirst);
        pForm->addRow(QStringLiteral("Move east (m)"), pSecond);
    }

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    pForm->addRow(pButtons);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // OK only with a complete colour.
    QObject::connect(pColor, &QLineEdit::textChanged, &dialog, [pButtons, pColor]() {
        pButtons->button(QDialogButtonBox::Ok)->setEnabled(isColorText(pColor->text()));
    });

    if (dialog.exec() != QDialog::Accepted || !isColorText(pColor->text()))
        return false;
    values.strName = pName->text();
    values.oColor = QColor(pColor->text());
    values.strLink = pLink->text().trimmed();
    if (values.bPoint) {
        values.dLatitude = pFirst->value();
        values.dLongitude = pSecond->value();
    } else {
        values.dShiftNorth = pFirst->value();
        values.dShiftEast = pSecond->value();
    }
    return true;
}

} // namespace orlex_objects
