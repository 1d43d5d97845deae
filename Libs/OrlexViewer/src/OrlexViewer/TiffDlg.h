// "GeoTIFF position": where a new GeoTIFF layer goes among the loaded ones.
#pragma once

#include <QDialog>

class QRadioButton;
class QSpinBox;

class CTiffDlg : public QDialog
{
    Q_OBJECT
public:
    CTiffDlg();

    // Read by the caller after an accepted dialog.
    QRadioButton* radioTop = nullptr;
    QRadioButton* radioBottom = nullptr;
    QRadioButton* radioCust = nullptr;
    QSpinBox* spinBox = nullptr;
};
