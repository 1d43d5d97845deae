// The application's side of the survey-line planning library: line and job requests, the active
// plan line and plan sharing.
#pragma once

#include <QObject>
#include <QString>

class CPlanningInterf : public QObject
{
    Q_OBJECT
public:
    explicit CPlanningInterf(bool bMode);
    ~CPlanningInterf() override;

    // Heading of the active plan line in hundredths of a degree; -1 without a planning library.
    int getActiveLineHeading() const;

signals:
    void sigPlanToVessel(QString strPlanFile);
    void sigPlanToMain(QString strText);

private:
    bool m_bMode;
};
