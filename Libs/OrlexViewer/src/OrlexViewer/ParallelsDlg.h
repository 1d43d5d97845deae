// Asks for parallel lines (count and spacing to port and to starboard, reversed or not); also used
// to fill a polygon.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

class CParallelsDlg : public QDialog
{
    Q_OBJECT
public:
    CParallelsDlg();

    QLineEdit* linesPort = nullptr;
    QLineEdit* linesStbd = nullptr;
    QLineEdit* distPort = nullptr;
    QLineEdit* distStbd = nullptr;
    QCheckBox* cmbReverse = nullptr;
};
