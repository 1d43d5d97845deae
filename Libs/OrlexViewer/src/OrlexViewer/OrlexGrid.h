// One open survey grid as the 3-D view shows it: its terrain, colour maps, the view's shared
// legend, its attribute descriptors and its track and coverage lines.
#pragma once

#include "OrlexViewer/TrackRecord.h"

#include "OrlexProtocol/Structs.h"

#include <QColor>
#include <QList>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
}
class COrlexViewer;
class ColorMap;

// One ship-track or coverage line of the grid in the view.
struct TrackLineInfo
{
    int kind = 0; // 0 track line, 1 coverage line
    std::uint64_t objectId = 0;
    QString name;
    std::int32_t heading = 0;
    std::int32_t speed = 0;
};

// A cell or point attribute of a survey.
struct GridPropertyInfo
{
    QString operation;
    QString name;
    QString unit;
    int scale = 1;
    int size = 4; // bytes
};

class COrlexGrid
{
public:
    using ColorMapData = ::Tavrin::Dremm::Orlex::Extensions::Quennet::ColorMapData;

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
    // The terrain and every track and coverage line leave the view.
    void removeViewerObjects();

    // The map of a colour slot, made on demand from the target-0 map; null for any target but 0.
    // The grid keeps ownership.
    ColorMap* getColorMap(int nTarget, int nKind, int nIndex);
    // Copies the map into the grid's own maps, whose addresses stay (the caller keeps its map),
    // and re-applies colours and legend.
    void setColorMap(ColorMap* poMap, int nKind, int nTarget, int nIndex);
    // Sends the target-0 map as the terrain's colour range.
    void applyColorMap(int nSlot);
    void updateLegend(int nSlot);
    // Sends the shared legend again with the controller's label colours.
    static void updateLegendColors();
    // The id of the legend all grids share; 0 before the first terrain made it.
    static std::uint64_t legendId();
    // Removes the shared legend (the next terrain made makes it again); its settings are kept.
    static void removeLegend();
    // A value range measured by the viewer for the property that colours the terrain.
    void onPropertyRangeUpdated(float fMin, float fMax, const std::string& strProperty);

    // Height variable ("z", ...) and aggregate ("Min", ...) that give the terrain its height.
    void setGridVariable(const QString& strVariable);
    void setGridOperation(const QString& strOperation);
    // Vertical exaggeration choice (1: 2x, 2: 5x, 3: 10x, else 1x) and level-of-detail bias.
    void setScale(int nDepthFactor, int nLodBias);
    void setHighlightColor(const QColor& oColour);
    void buildPropertyLists();

    // Draws the tracks of the set as lines in the layers "Tracks" and "Coverage". A track whose
    // name the grid draws already is drawn again in place of the old line.
    void setTrackLines(const TrackSet& tracks);
    void setTracksVisible(bool bVisible);
    void setCoverageVisible(bool bVisible);
    // The number of track lines.
    int setTrackLineWidth(int nWidth);
    // The number of coverage lines.
    int setTrackLineColor(const QColor& oColour);
    // The first track line whose name contains the text; 0 when none.
    std::uint64_t findTrackLineId(const QString& strText) const;
    // Name, heading and speed of the track line with that id; empty and zeros when none.
    QString getTrackLineInfo(std::uint64_t nObjectId, int& nHeading, int& nSpeed) const;
    const std::vector<TrackLineInfo>& trackLines() const { return m_trackLines; }
    const std::vector<TrackLineInfo>& coverageLines() const { return m_coverageLines; }
    QColor getTrackLineColor() const { return m_trackLineColour; }
    int getTrackLineWidth() const { return m_nTrackLineWidth; }

    void setActive(bool bActive);
    void setZRange(double dZMin, double dZMax);
    void getZRange(double& dZMin, double& dZMax) const;
    // The last height range reported, as depths.
    void getDataRange(float& fMin, float& fMax) const;
    // The range of the values a colour slot shows (kind and index as for getColorMap), as the
    // viewer reported it; depths are positive. False before the viewer reported one.
    bool getSlotDataRange(int nKind, int nIndex, double& dMin, double& dMax) const;
    QList<GridPropertyInfo> getGridAttributes() const { return m_gridAttributes; }
    QList<GridPropertyInfo> getPointAttributes() const { return m_pointAttributes; }
    ColorMapData colorMapData() const { return m_lastColorMapData; }

    std::uint64_t getTerrainId() const { return m_nTerrainId; }
    QString getPath() const { return m_strPath; }
    QString getSurveyName() const { return m_strSurveyName; }
    QString getTerrainName() const { return m_strTerrainName; }
    QString getPropertyName() const { return m_strPropertyName; }
    // Opened as an ordinary (not real-time) grid and not deactivated since: the first load
    // report of such a grid may move the camera.
    bool isNotRealTime() const { return m_bNotRealTime; }
    bool isActive() const { return m_bActive; }

private:
    ColorMapData makeColorMapData(const ColorMap& oMap, bool bHeight, bool bAutoRange) const;
    void sendLegend(const QString& strTitle, const QString& strUnit, bool bNegate);
    void removeLine(std::uint64_t nObjectId);
    template <typename T>
    void send(const T& payload) const;

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
    bool m_bTerrainRemoved = false;
    int m_nColourSlot = -1;
    QString m_strHeightVariable = QStringLiteral("z");
    QString m_strHeightAggregate = QStringLiteral("Min");
    QList<GridPropertyInfo> m_gridAttributes;
    QList<GridPropertyInfo> m_pointAttributes;
    std::vector<TrackLineInfo> m_trackLines;
    std::vector<TrackLineInfo> m_coverageLines;
    QColor m_trackLineColour;
    int m_nTrackLineWidth = 2;
    // Every map is the grid's own: installs copy into them, nothing is shared between entries.
    std::unique_ptr<ColorMap> m_poTarget0Map;
    std::vector<std::unique_ptr<ColorMap>> m_slotMaps;
    std::unique_ptr<ColorMap> m_poTarget1Map;
    std::unique_ptr<ColorMap> m_poTarget2Map;
    int m_anTargetKind[3] = {0, 0, 0};
    int m_anTargetIndex[3] = {0, 0, 0};
    float m_fDataMin = 0;
    float m_fDataMax = 0;
    // The last range the viewer reported per terrain property.
    std::map<std::string, std::pair<float, float>> m_propertyRanges;
    ColorMapData m_lastColorMapData;
};
