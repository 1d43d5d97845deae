// The registry of the survey grids open in the 3-D view and of the loaded GeoTIFF overlays.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

class COrlexGrid;

// One GeoTIFF overlay in the view; 0 means no such viewer object.
struct TiffOverlay
{
    quint64 terrainId = 0;
    quint64 rasterSourceId = 0;
    QString path;
    quint64 labelId = 0;
    quint64 lineId = 0;
    double height = 0; // of the image plane, metres
};

class COrlexDataManager : public QObject
{
    Q_OBJECT
public:
    explicit COrlexDataManager(QObject* poParent = nullptr);
    ~COrlexDataManager() override;

    // The active survey's grid; null when none.
    COrlexGrid* getActiveSurvey();
    // The grid of that survey folder; null when none.
    COrlexGrid* getSurvey(const QString& strId);
    // The grid whose terrain has that viewer object id; null when none.
    COrlexGrid* getSurvey(int nId);
    QStringList getSurveys() const;
    // The name under which the survey of that folder is open, however the folder is written
    // (the system's drive path or the mapped one); empty when it is not open.
    QString findSurvey(const QString& strPath) const;
    // The survey folder last given to openSurvey.
    QString getOpeningSurvey() const { return m_strOpeningSurvey; }
    // Open requests whose load completion is awaited, oldest first.
    QStringList getPendingSurveys() const { return m_lstPendingOpens; }
    // The viewer has reported the terrain loaded: the next completion is that survey's.
    void surveyReported(std::uint64_t nTerrainId) { m_nReportedTerrain = nTerrainId; }
    // The active survey's terrain id; 0 when none.
    std::uint64_t getActiveTerrainId();
    // The survey folder last opened as the real-time grid.
    QString getRealTimeSurvey() const { return m_strRealTimeSurvey; }

    void onPropertyRangeUpdated(std::uint64_t nTerrainId, float fMin, float fMax, const std::string& strProperty);
    void onZRangeUpdated(std::uint64_t nTerrainId, double dZMin, double dZMax);

    void addTiff(const TiffOverlay& overlay);
    // The overlay whose terrain id is nRasterId + 1 takes the label and outline ids.
    void setTiffMarkerIds(std::uint64_t nRasterId, std::uint64_t nLabelId, std::uint64_t nLineId);
    const QList<TiffOverlay>& getTiffOverlays() const { return m_tiffOverlays; }
    // Appends the path of every overlay, in loading order.
    void getTiffPaths(QStringList& lstOut) const;
    // Destroys the viewer objects of the first overlay loaded from that path and forgets it;
    // "lastTiffs.txt" is written again in every case.
    void unloadTiff(const QString& strPath);

    // Keeps the text for the planning connection; false.
    bool sendToPlanning(const QString& strText);

public slots:
    void openSurvey(QString strPath, bool bMoveCamera = true, bool bRealTimeGrid = false, bool bRealTimeMode = false,
                    QString strOpVar = QStringLiteral("zMin"));
    // Completes the reported survey, else the oldest awaited one; a completion that matches no
    // open survey is passed on as a failure.
    void openSurveyCompleted(bool bValue, bool bIsRT);
    void setActiveSurvey(QString strId);
    // Removes the survey's grid and its viewer objects; the survey names stay as they are.
    void closeSurvey(QString strPath);
    void closeAllSurveys();
    void refreshSurvey() {}

signals:
    void openSurveyCompletedSig(bool bValue, bool bIsRT);
    void msgToFile(QString strMsg);
    void loadProgress(QString strStatus, int nLoaded, int nTotal);
    void surveyOpened(QRect rect);
    void gridChanged();
    void onNewTGPLConn();

private:
    void writeTiffList() const;

    QString m_strActiveSurvey;
    bool m_bMoveCameraOnCompletion = false;
    QString m_strOpeningSurvey;
    QHash<QString, COrlexGrid*> m_surveys;
    QList<TiffOverlay> m_tiffOverlays;
    QString m_strPlanningText;
    QString m_strRealTimeSurvey;
    QStringList m_lstPendingOpens;
    std::uint64_t m_nReportedTerrain = 0;
};
