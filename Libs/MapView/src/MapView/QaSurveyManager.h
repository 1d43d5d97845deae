// The one survey manager: the current survey folder, the projection hash of the loaded grids,
// the colour tables behind the position-line settings and the track-line colour.
#pragma once

#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class CQtLogger;

// The low 32 bits of the 64-bit FNV-1a hash of a file's text (UTF-8); -1 when it cannot be read.
int hashFileText(const QString& strPath);

class CQaSurveyManager : public QObject {
    Q_OBJECT
public:
    // Creates the manager on the first call (the loggers are not used) and returns it after.
    static CQaSurveyManager* instance(QObject* poParent = nullptr, CQtLogger* poLogger1 = nullptr,
                                      CQtLogger* poLogger2 = nullptr, bool bRealTime = false);

    void setRealTime(bool bRealTime) { m_bRealTime = bRealTime; }
    bool isRealTime() const { return m_bRealTime; }

    QString getCurrentSurvey() const { return m_strCurrentSurvey; }

    // Colour values are 0xRRGGBBxx. The getters give false when the entry exists; true and the
    // default (white, cyan, false) when it does not.
    bool getFlagColor(int nFlag, int& nColour) const;
    bool getSensorColor(int nSensorId, int& nColour) const;
    bool getSensorShowFlags(int nSensorId, bool& bShow) const;
    void setFlagColor(int nFlag, int nColour);
    void setSensorColor(int nSensorId, int nColour);
    void setSensorShowFlags(int nSensorId, bool bShow);

    // The track-line colour as alpha-red-green-blue.
    unsigned int getTrackLineColor() const { return m_nTrackLineColor; }
    void setTrackLineColor(unsigned int nColour) { m_nTrackLineColor = nColour; }

    // A line for the log router (sender 4) and the QA log.
    virtual void log(const QString& strText, int nType);

    // The folders of the surveys open in the view, in the registry's order; empty without the
    // 3-D view controller.
    QStringList getSurveyList() const;
    // Reads a projection file into the process-wide projection and keeps its hash; true on
    // failure. A missing file is first converted from the survey's older projection file.
    bool initProjection(QString strProjFile, QString strName, QString strSurveyPath);

    // Hash of the projection file of the loaded grids; 0 while none is loaded.
    int projectionHash = 0;

signals:
    void signalSurveyOpenCompleted(QString strSurveyPath);
    void signalCurrentSurveyChanged(QString strSurveyPath);
    void msgToFile(QString msg);
    void newProjection(QString strProjFile);

public slots:
    void setCurrentSurvey(QString strPath);
    // The last folder name of the current survey.
    QString getSurveyName();
    // Opens a survey grid folder in the view; false, with nothing opened, when its projection is
    // invalid. The end of the open is reported by signalSurveyOpenCompleted.
    bool surveyLoadGrid(QString strGridPath, bool bRealTimeGrid = false);
    // Closes an open survey; the active survey of a real-time grid is refused.
    bool surveyGridClose(QString strSurvey);
    // The survey registry's report on the last open.
    void openSurveyCompleted(bool bValue, bool bIsRT);

private:
    explicit CQaSurveyManager(QObject* poParent);

    QString m_strCurrentSurvey;
    QString m_strOpeningSurvey;
    QString m_strProjectionSurvey;
    bool m_bCompletionConnected = false;
    bool m_bRealTime = false;
    unsigned int m_nTrackLineColor = 0x7F7F7F00;
    QMap<int, int> m_mapFlagColors;
    QMap<int, QPair<int, bool>> m_mapSensors;
};
