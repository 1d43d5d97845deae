// The one survey manager: the current survey folder, the projection hash of the loaded grids,
// the colour tables behind the position-line settings and the track-line colour.
#pragma once

#include <QColor>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRect>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>

class COrlexDataManager;

// The low 32 bits of the 64-bit FNV-1a hash of a file's text (UTF-8); -1 when it cannot be read.
int hashFileText(const QString& strPath);

class CQaSurveyManager : public QObject {
    Q_OBJECT
public:
    // The kind of shared-memory key asked for.
    enum ESharedMemory { SharedMemoryKey0 = 0, SharedMemoryKey1 = 1, SelectedDepths = 2 };

    // Creates the manager on the first call (real-time mode off) and returns it after.
    static CQaSurveyManager* instance(QObject* poParent = nullptr);

    void setRealTime(bool bRealTime) { m_bRealTime = bRealTime; }
    bool isRealTime() const { return m_bRealTime; }

    QString getCurrentSurvey() const { return m_strCurrentSurvey; }
    // The folder last passed to surveyLoadGrid or surveyGridOpen.
    QString getOpeningSurvey() const { return m_strOpeningSurvey; }
    // The last text given to onSharedMemoryInfo that named the ship tracks.
    QString getLastShipTrackNotice() const { return m_strLastShipTrackNotice; }
    QStringList getRawFiles() const { return m_lstRawFiles; }

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
    // Colours the track lines of every open survey grid with the track-line colour.
    void updateTrackLineColor();
    // Asks the survey registry to close every survey; the current survey and the projection
    // hash are cleared with them. Nothing without the 3-D view controller.
    void closeAllSurveys();

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
    // True while grids are loaded and the projection file gives another projection than theirs,
    // however either is written (PROJ compares them).
    bool differsFromLoadedProjection(const QString& strProjFile) const;

    QString getSharedMemoryKey(ESharedMemory eKind);
    int getSharedMemorySize(QString strKey);
    int writeTrackLineSet(QString& strKey);
    int writeTrackLineSet();
    int writePositionLineSet(QString& strKey);
    int writePositionLineSet();
    int writeSelectedDepths(QString& strKey);
    int writeSelectedDepths();

signals:
    void rubberBandRequested();
    void signalSurveyOpenCompleted(QString strSurveyPath);
    void signalSurveyUpdateCompleted(QString strSurveyPath);
    void signalSurveyCloseCompleted(QString strSurveyPath);
    void signalCurrentSurveyChanged(QString strSurveyPath);
    void signalRecentSurveyList(QStringList listSurveys);
    void updatePreviousRubberbandSectionSig();
    void toggleLine(bool onOrOff, QString lineName);
    void msgToFile(QString msg);
    void updateStatus(QString status, int curr, int max, bool on2D, bool on3D);
    void updateStatus(QString status, int curr, int max, bool on2D);
    void updateStatus(QString status, int curr, int max);
    void updateTaskProgress(QString taskName, int curr, int max, QString error, QString info);
    void updateTaskProgress(QString taskName, int curr, int max, QString error);
    void updateTaskProgress(QString taskName, int curr, int max);
    void updateTaskError(QString taskName, QString error);
    void updateTaskInfo(QString taskName, QString info);
    void showTaskProgress(bool);
    void setGraticuleColorSignal(QColor&);
    void setEnabledGeoSelection();
    void positionTrackSelection(qlonglong, qlonglong);
    void newProjection(QString strProjFile);

public slots:
    void setCurrentSurvey(QString strPath);
    // The last folder name of the current survey.
    QString getSurveyName();
    // Opens a survey grid folder in the view; false, with nothing opened, when its projection is
    // invalid. The end of the open is reported by signalSurveyOpenCompleted.
    bool surveyLoadGrid(QString strGridPath, bool bRealTimeGrid = false);
    // Opens a survey with the layer "zMin", leaving the projection alone; always true.
    bool surveyGridOpen(QString strSurvey);
    // Closes an open survey (its folder path, or its folder name); the active survey of a
    // real-time grid is refused.
    bool surveyGridClose(QString strSurvey);
    // The survey registry's report on the last open.
    void openSurveyCompleted(bool bValue, bool bIsRT);
    void onShowGrid(QString strGridPath);
    void surveyRawFiles(QStringList lstRawFiles);
    void onSharedMemoryInfo(QString strDatagram);
    void hereIsTheRubberband(QList<int> lstRubberband);
    void requestUpdatedProcPoints();
    void writePositionLineSetSlot();
    // QA commands of other parts. The system has no transport for them: they are logged and
    // dropped.
    void sendQaDatagram(QString strText);
    void regionToFile(QRect oArea, QString strPath);
    void fileToRegion(QString strPath);

    // Part of the QA datagram vocabulary without an effect in this system.
    void surveyProcOpen(QString) {}
    void surveyProcUpdate() {}
    void surveyProcClose() {}
    void shutDown() {}
    void requestExtAppsDialog() {}
    void surveyProcDefine() {}
    void notifyRezarToggledLine(int, QString) {}
    void onSurveyOpenCompleted(QString) {}
    void onSurveyUpdateCompleted(QString) {}
    void onSurveyCloseCompleted(QString) {}
    void onSharedMemoryAck(QString) {}
    void handleSharedMemoryInfoShipstracks(QString) {}
    void handleSharedMemoryInfoPositions(QString) {}
    void sendSharedMemoryInfo(ESharedMemory, QString = QString()) {}
    void sendSharedMemoryInfoWithPolygon(ESharedMemory, QList<int>, QString = QString()) {}
    void onPositionTrackSelection(qlonglong, qlonglong) {}

private slots:
    void ccuReady() {}

private:
    explicit CQaSurveyManager(QObject* poParent);
    // Where the survey registry's completion reaches this manager; made once.
    void connectCompletion(COrlexDataManager* poData);
    // No survey left open: no current survey and no projection hash.
    void forgetSurveys();

    QString m_strCurrentSurvey;
    QString m_strOpeningSurvey;
    QString m_strProjectionSurvey;
    // The CRS of the loaded grids' projection file; empty while none is loaded.
    std::string m_strLoadedSourceCrs;
    std::string m_strLoadedTargetCrs;
    QString m_strLastShipTrackNotice;
    QString m_strSharedMemoryKeys[2];
    QStringList m_lstRawFiles;
    int m_nSelectedDepths = 0;
    bool m_bCompletionConnected = false;
    bool m_bRealTime = false;
    unsigned int m_nTrackLineColor = 0x7F7F7F00;
    QMap<int, int> m_mapFlagColors;
    QMap<int, QPair<int, bool>> m_mapSensors;
};
