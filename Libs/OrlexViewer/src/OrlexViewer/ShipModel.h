// The vessels in the 3-D view: symbols, markers, course vector, position history and depth tails.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
}
class ColorMap;
class QColor;

class CShipModel
{
public:
    explicit CShipModel(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);
    virtual ~CShipModel();
    CShipModel(const CShipModel&) = delete;
    CShipModel& operator=(const CShipModel&) = delete;

    // A new position (projected centimetres) and heading (hundredths of a degree) for the vessel
    // of that label; "#INIT#" stands for the first vessel.
    void updateVessel(int nEast, int nNorth, int nHeading, const QString& strName);
    // The position of the last update, centimetres.
    void getVesselPosition(int& nEast, int& nNorth) const;
    // The last position of the vessel whose label begins with strVesselId (the part before ":");
    // an id not seen yet is entered with (0, 0).
    void getNamedVesselPosition(const QString& strVesselId, int& nEast, int& nNorth);
    // The heading of the last update, hundredths of a degree.
    int getVesselHeading() const { return m_nLastHeading; }

    // Shows the vessel as a marker (zoomed out) or as its outline or model (zoomed in).
    void switchVesselSymbol(int nVessel, bool bAsMarkers, int nUnused1, int nUnused2);
    // Resizes the markers to the map scale while they are shown.
    void onNavigationState(int nVessel, int nScale, bool bAsMarkers);
    bool isMarkerShown() const { return m_bMarkerShown; }

    // Makes the active survey's terrain the colour-range source of the depth tails (or not).
    void linkTailToActiveGrid(bool bLink);
    // Colours the depth tails from the map (kinds other than 1).
    void applyTailColorMap(ColorMap* poMap, int nKind);

    // Display settings.
    // The first vessel mesh has been made.
    bool hasVesselModel() const { return m_bSymbolMade; }
    int vesselCount() const { return m_labels.size() + 1; }
    void setShipColor(int nVessel, const QColor& oColor);
    void setCogVectorColor(const QColor& oColor);
    void setTrackColor(const QColor& oColor);
    void setShowTrack(bool bShow) { m_bShowTrack = bShow; }
    void createCogVector(int nVessel);
    // The course vector's span in seconds.
    void setVectorLength(int nSeconds);
    // 0 until the course vector exists.
    std::uint64_t getCogVectorId() const { return m_nCogVectorId; }
    void setDepthTailCount(int nCount);
    void setTailPointSize(int nSize);
    void setTailColorMode(int nMode, bool bApply);
    // The point buffer of the named depth tail (the first for an empty name); 0 without one.
    std::uint64_t getTailBufferId(const QString& strName) const;

private:
    static QString sourceName(const QString& strLabel);

    // The ship model outlives the controller; it must not keep the connection open after the
    // controller has released it (the close handshake runs when the last owner lets go).
    std::weak_ptr<Dremm::Orlex::QtClient::MessageDispatcher> m_pDispatcher;
    int m_nLastEast = 0;
    int m_nLastNorth = 0;
    int m_nLastHeading = 0;
    QMap<QString, int> m_eastBySource;
    QMap<QString, int> m_northBySource;
    bool m_bMarkerShown = false;
    bool m_bSymbolMade = false;
    bool m_bTailLinked = false;
    QStringList m_labels;
    bool m_bShowTrack = false;
    std::uint64_t m_nCogVectorId = 0;
};
