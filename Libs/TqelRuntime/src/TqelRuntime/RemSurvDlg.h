// The "Remove Surveys" dialog: the operator picks surveys of the installation's survey database;
// the caller asks the sounder runtime to delete them. The dialog itself deletes nothing.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QStringList>

class QDialogButtonBox;
class QLabel;
class QListWidget;

class CRemSurvDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRemSurvDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    virtual void applySelection();
    virtual void cancelSelection();

    QListWidget* surveyList() const { return m_poList; }

    // The surveys chosen with OK, in list order; empty until then.
    QStringList m_lstSurveys;

signals:
    void applyClicked();
    void cancelClicked();

private slots:
    void handleButtonClick(QAbstractButton* poButton);

private:
    void loadSurveyList();

    QLabel* m_poLabel = nullptr;
    QListWidget* m_poList = nullptr;
    QDialogButtonBox* m_poButtonBox = nullptr;
};
