// One open survey grid as the 3-D view shows it: its terrain, colour maps and depth range.
#pragma once

#include "OrlexViewer/TrackRecord.h"

#include <QColor>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
}
class COrlexViewer;
class ColorMap;

// One cell or point attribute of a survey grid.
struct GridPropertyInfo
{
    QString operation;
    QString name;
    QString unit;
    int scale = 1;
    int size = 4;
};

// One ship-track or coverage line of the grid in the view.
struct TrackLineInfo
{
    int kind = 0; // 0 track line, 1 coverage line
    std::uint64_t objectId = 0;
    QString name;
    std::int32_t heading = 0;
    std::int32_t speed = 0;
};

class COrlexGrid
{
public:
    explicit COrlexGrid(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);
    ~COrlexGrid();
    COrlexGrid(const COrlexGrid&) = delete;
    COrlexGrid& operator=(const COrlexGrid&) = delete;

    // Binds the grid to a survey folder and creates its terrain in the view.
    void init(const QString& strPath, const QString& strTerrainName, bool bNotRealTime);
    // (Re)creates the terrain for a colour slot; 10 means slot 0, even when it is current.
    void createTerrain(int nSlot);
    // Destroys the terrain in the view (once).
    void removeTerrain();
    void removeViewerObjects();

    // Draws the tracks of the set as lines in the layers "Tracks" and "Coverage"; lines are
    // added to those the grid has.
    void setTrackLines(const TrackSet& tracks);
    const std::vector<TrackLineInfo>& trackLines() const { return m_trackLines; }
    const std::vector<TrackLineInfo>& coverageLines() const { return m_coverageLines; }

    // Null for any target but 0. The grid owns the map it returns.
    ColorMap* getColorMap(int nTarget, int nKind, int nIndex);
    // Installs the map's colours for that slot and shows them; the grid keeps its own map (a map
    // of another owner is copied in, never kept).
    void setColorMap(ColorMap* poMap, int nKind, int nTarget, int nIndex);
    QList<GridPropertyInfo> getGridAttributes() const { return m_gridAttributes; }
    QList<GridPropertyInfo> getPointAttributes() const { return m_pointAttributes; }

    void setActive(bool bActive);
    void setZRange(double dZMin, double dZMax);
    void getZRange(double& dZMin, double& dZMax) const;
    void onPropertyRangeUpdated(float fMin, float fMax, const std::string& strProperty);

    std::uint64_t getTerrainId() const { return m_nTerrainId; }
    QString getPath() const { return m_strPath; }
    QString getSurveyName() const { return m_strSurveyName; }
    // Opened as an ordinary (not real-time) grid and not deactivated since: the first load
    // report of such a grid may move the camera.
    bool isNotRealTime() const { return m_bNotRealTime; }
    bool isActive() const { return m_bActive; }

private:
    std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> m_pDispatcher;
    bool m_bTerrainCreated = false;
    std::uint64_t m_nTerrainId = 0;
    COrlexViewer* m_poViewer;
    QString m_strPath;
    QString m_strTerrainName;
    QString m_strPropertyName;
    QString m_strSurveyName;
    bool m_bNotRealTime = false;
    bool m_bActive = false;
    double m_dZMin = 0;
    double m_dZMax = 0;
    double m_dDataMin = 0;
    double m_dDataMax = 0;
    bool m_bTerrainRemoved = false;
    int m_nColourSlot = -1;
    std::unique_ptr<ColorMap> m_poTarget0Map;
    QList<GridPropertyInfo> m_gridAttributes;
    QList<GridPropertyInfo> m_pointAttributes;
    std::vector<TrackLineInfo> m_trackLines;
    std::vector<TrackLineInfo> m_coverageLines;
    QColor m_trackLineColour;
    int m_nTrackLineWidth = 2;
};
