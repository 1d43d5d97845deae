#include "MapView/ZoomDlg.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Refuses outright what QDoubleValidator lets through as unfinished: a number beyond the limit
// and a comma.
class CDegreeValidator : public QDoubleValidator {
public:
    CDegreeValidator(double dLimit, QObject* poParent) : QDoubleValidator(-dLimit, dLimit, 6, poParent) {}

    State validate(QString& strInput, int& nPos) const override
    {
        const State eState = QDoubleValidator::validate(strInput, nPos);
        if (eState != Intermediate)
            return eState;
        if (strInput.contains(QLatin1Char(',')))
            return Invalid;
        bool bNumber = false;
        const double dValue = QLocale::c().toDouble(strInput, &bNumber);
        return bNumber && (dValue > top() || dValue < bottom()) ? Invalid : Intermediate;
    }
};

QDoubleValidator* degreeValidator(double dLimit, QObject* poParent)
{
    auto* poValidator = new CDegreeValidator(dLimit, poParent);
    poValidator->setNotation(QDoubleValidator::StandardNotation);
    // "." is the decimal separator whatever the system's locale.
    poValidator->setLocale(QLocale::c());
    return poValidator;
}

} // namespace

CZoomDlg::CZoomDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ZoomDlg"));
    resize(334, 136);
    setWindowTitle(tr("Zoom To Area"));

    auto* poOuter = new QVBoxLayout(this);
    auto* poGroup = new QFrame(this);
    poGroup->setFrameShape(QFrame::StyledPanel);
    auto* poGrid = new QGridLayout(poGroup);
    poGrid->addWidget(new QLabel(tr("Enter Center Coordinate and Scale"), poGroup), 0, 0, 1, 2);

    spnScale = new QSpinBox(poGroup);
    spnScale->setObjectName(QStringLiteral("spnScale"));
    spnScale->setMinimumWidth(100);
    spnScale->setRange(10, 1000000);
    spnScale->setValue(10000);
    poGrid->addWidget(new QLabel(tr("Scale:"), poGroup), 1, 0);
    poGrid->addWidget(spnScale, 1, 1);

    edtLat = new QLineEdit(poGroup);
    edtLat->setToolTip(tr("Latitude in dec. degrees (59.10)"));
    edtLat->setPlaceholderText(tr("59.100000 (- for south)"));
    edtLat->setValidator(degreeValidator(90.0, edtLat));
    poGrid->addWidget(new QLabel(tr("Latitude (North:)"), poGroup), 2, 0);
    poGrid->addWidget(edtLat, 2, 1);

    edtLon = new QLineEdit(poGroup);
    edtLon->setToolTip(tr("Longitude in dec. degrees (10.25)"));
    edtLon->setPlaceholderText(tr("10.250000 (- for west)"));
    edtLon->setValidator(degreeValidator(180.0, edtLon));
    poGrid->addWidget(new QLabel(tr("Longitude (East)"), poGroup), 3, 0);
    poGrid->addWidget(edtLon, 3, 1);

    // Both edits take the style of status fields.
    edtLat->setObjectName(QStringLiteral("edtStatus"));
    edtLon->setObjectName(QStringLiteral("edtStatus"));

    auto* poButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(poButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(poButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    poOuter->addWidget(poGroup);
    poOuter->addWidget(poButtons);
}
