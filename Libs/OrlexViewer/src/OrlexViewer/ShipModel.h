// The vessels in the 3-D view: symbols, spears, course vector, position history and depth tails.
// Every call may come from any thread (the runtime's receiving thread moves the vessels and feeds
// the tails, the GUI thread changes settings); the calls that reach the controller (boat models,
// making a depth tail, the colour map and grid links) are the GUI thread's.
#pragma once

#include "OrlexProtocol/Structs.h"

#include <QColor>
#include <QMap>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
}
class CShipPositionHistory;
class ColorMap;

class CShipModel
{
public:
    // Vessels shown at most; vessel n uses the object ids kVesselIdBase + kVesselIdStep * n + 0..3.
    static constexpr int kMaxVessels = 5;
    static constexpr std::uint64_t kVesselIdBase = 40000;
    static constexpr std::uint64_t kVesselIdStep = 1000;
    // Vessel labels and source names longer than this are refused.
    static constexpr int kMaxLabelLength = 256;
    // A vessel silent this long gives its slot to a new label when all slots are taken.
    static constexpr qint64 kSlotSilenceMs = 30000;
    // Refused labels are logged at most once in this time, with their count.
    static constexpr qint64 kRefusalLogIntervalMs = 60000;

    explicit CShipModel(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);
    virtual ~CShipModel();
    CShipModel(const CShipModel&) = delete;
    CShipModel& operator=(const CShipModel&) = delete;

    // A new position (projected centimetres) and heading (hundredths of a degree) for the vessel
    // of that label; "#INIT#" stands for the first vessel (GUI thread).
    void updateVessel(int nEast, int nNorth, int nHeading, const QString& strName);
    // A position datagram whose quality marks it for the position history.
    void addPositionDatagram(const char* pDatagram, int nLength);

    // A new viewer server replaced the one that held the vessels: sends from now on go to that
    // connection, and every vessel shown before is made again there at its last position.
    void showOnNewViewer(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);

    // Creation steps of vessel n.
    void createShipMesh(int nVessel, int nEast, int nNorth);
    // Shows the vessel symbols as markers (zoomed out) or as outlines or models (zoomed in).
    void switchVesselSymbol(int nVessel, bool bAsMarkers, int nEast, int nNorth);
    void createPositionMarkers(int nVessel);
    void createBoatModel(int nVessel, int nEast, int nNorth);
    void createCogVector(int nVessel);
    void readViewParameters();
    // Resizes the markers to the map scale while they are shown.
    void onNavigationState(int nVessel, int nScale, bool bAsMarkers);

    void setShipColor(int nVessel, const QColor& colour);
    void setCogVectorColor(const QColor& colour);
    void setTrackColor(const QColor& colour);
    // The course vector's look-ahead, seconds.
    void setVectorLength(int nSeconds);

    // The position of the last update, centimetres.
    void getVesselPosition(int& nEast, int& nNorth) const;
    // The last position of the source strSourceName (a label counts up to its ":");
    // (0, 0) for a source never seen.
    void getVesselPositionByName(const QString& strSourceName, int& nEast, int& nNorth) const;
    // The heading of the last update, hundredths of a degree.
    int getVesselHeading() const;
    // Set once the first vessel has been created.
    bool isVesselCreated() const;
    bool hasVesselModel() const { return isVesselCreated(); }
    // Vessels shown (labels taken, at least the first vessel).
    int vesselCount() const;
    // The history line is shown (kept for the viewer's track setting).
    void setShowTrack(bool bShow);
    // 0 until the course vector exists.
    std::uint64_t getCogVectorId() const;
    bool isMarkerShown() const;

    // Depth tails: the soundings of one ping (x, y, z per point) for the named tail; they are
    // moved into the message sent.
    void pushDepthTail(std::vector<double>& points, const QString& strTailName);
    // pushDepthTail for a tail whose point buffer exists; soundings are dropped while the tails
    // are off (colour mode 0). False, with points untouched, when the buffer is still to be made.
    bool pushToExistingTail(std::vector<double>& points, const QString& strTailName);
    void setDepthTailCount(int nCount);
    void setTailPointSize(int nSize);
    // Mode 3 keeps the mode; with bApply the first tail is re-created by the next soundings.
    void setTailColorMode(int nMode, bool bApply);
    // 0 switches the depth tails off.
    int tailColorMode() const;
    // Makes the active survey's terrain the colour-range source of the depth tails (or not).
    void linkTailToActiveGrid(bool bLink);
    void setTailIncludeInRange(bool bInclude);
    // Colours the depth tails from the map (kinds other than 1).
    void applyTailColorMap(ColorMap* pMap, int nKind);
    // The named tail's point buffer; the first tail for an empty name; 0 when there is none.
    std::uint64_t getTailBufferId(const QString& strName) const;

    // Not guarded: for a thread that is the only one using the ship model.
    CShipPositionHistory* history() const { return m_pHistory.get(); }
    // The clock of the vessel slots, milliseconds (steady by default; tests set their own).
    void setClock(std::function<qint64()> fnNowMs);

private:
    template <typename T>
    void send(const T& payload) const;
    // The vessel index of a label, given a slot on its first appearance (bNew); -1 when refused.
    int vesselIndex(const QString& strName, bool& bNew);
    void logRefusedLabel(const QString& strName, qint64 nNow);
    void sendTailSettings(std::uint64_t nId) const;

    std::map<QString, std::uint64_t> m_tailIds;
    // The ship model outlives the controller; it must not keep the connection open after the
    // controller has released it (the close handshake runs when the last owner lets go).
    std::weak_ptr<Dremm::Orlex::QtClient::MessageDispatcher> m_pDispatcher;
    int m_nTailCapacity = 1000000;
    int m_nLastEast = 0;
    int m_nLastNorth = 0;
    int m_nLastHeading = 0;
    QMap<QString, int> m_eastBySource;
    QMap<QString, int> m_northBySource;
    int m_nTailColorMode = 1;
    int m_nTailPointSize = 2;
    std::int64_t m_nVectorId = 0;
    bool m_bVesselCreated = false;
    float m_fForeDist = 5.0f;
    float m_fAftDist = 3.5f;
    float m_fPortDist = 1.5f;
    float m_fStbdDist = 1.5f;
    float m_fSpearLength = 8.5f;
    float m_fMarkerBodyLength = 0;
    float m_fMarkerSpearLength = 0;
    int m_nMarkerLineWidth = 0;
    float m_fMinHullLength = 0;
    QString m_strModelFile;
    bool m_bModelAvailable = false;
    std::unique_ptr<CShipPositionHistory> m_pHistory;
    QColor m_vesselColor;
    bool m_bMarkerShown = false;
    bool m_bShowTrack = false;
    ::Tavrin::Dremm::Orlex::Extensions::Quennet::PointBufferSettings m_tailSettings;
    QStringList m_labels;
    std::array<QString, kMaxVessels> m_sources; // per vessel: the label's part before ":", or null
    std::array<int, kMaxVessels> m_vesselIds{};
    std::array<qint64, kMaxVessels> m_lastUpdateMs{}; // per slot: the label's last update
    std::function<qint64()> m_fnNowMs;
    quint64 m_nRefusedSinceLog = 0;
    qint64 m_nLastRefusalLogMs = 0;
    bool m_bRefusalLogged = false;

    // Messages of the position road, kept so that their lists are reused.
    ::Tavrin::Dremm::Orlex::PositionUpdateMessage m_positionUpdate;
    ::Tavrin::Dremm::Orlex::RotationUpdateMessage m_rotationUpdate;
    ::Tavrin::Dremm::Orlex::UpdateLineMessage m_vectorUpdate;
};
