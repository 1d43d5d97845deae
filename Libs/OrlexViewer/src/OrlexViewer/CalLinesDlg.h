// A multi-selection list of survey track lines to calibrate on.
#pragma once

#include <QDialog>

class QListWidget;

class CCalLinesDlg : public QDialog
{
    Q_OBJECT
public:
    CCalLinesDlg();
    QListWidget* lineList() const { return m_pLines; }

private:
    QListWidget* m_pLines = nullptr;
};
