// A list of survey names from which the selected one can be closed; nothing in this system
// creates one.
#pragma once

#include <QStringList>
#include <QWidget>

class QListWidget;

class CSurveyListPane : public QWidget {
    Q_OBJECT
public:
    explicit CSurveyListPane(QWidget* parent = nullptr);

    QListWidget* listWidget() const { return m_poList; }

signals:
    void closeSurvey(QString strSurvey);

public slots:
    void updateSurveyList(QStringList) {}
    // Emits closeSurvey with the selected survey and removes it from the list.
    void closeSurvey();

private:
    QListWidget* m_poList;
};
