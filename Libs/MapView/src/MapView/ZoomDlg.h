// The "Zoom To Area" dialog: a centre coordinate in degrees and a scale.
#pragma once

#include <QDialog>

class QLineEdit;
class QSpinBox;

class CZoomDlg : public QDialog {
    Q_OBJECT
public:
    explicit CZoomDlg(QWidget* parent = nullptr);

    QSpinBox* spnScale = nullptr;
    QLineEdit* edtLat = nullptr;
    QLineEdit* edtLon = nullptr;
};
