// Stand-in of the installation's planning library: keeps the survey plan (lines, polygons, their
// selection and the active line), draws it in the 3-D view and answers planning requests.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#if defined(PLANNING_LIBRARY_BUILD)
#define PLANNING_EXPORT __attribute__((visibility("default")))
#else
#define PLANNING_EXPORT
#endif

class CProjection;

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
}

// Viewer object ids of the plan. Plan numbers stay below the object-id allocator's base (100),
// so plan objects never meet allocated ids; every vertex-marker id lies above 100000, beyond the
// ship model's fixed ids 40000 + 1000 n + 0..3.
namespace plan_ids {
constexpr int kFirstNumber = 1;
constexpr int kLastNumber = 99;
constexpr std::uint64_t kFirstVertexBase = 100000; // number + 100000: first vertex
constexpr std::uint64_t kLastVertexBase = 200000;  // number + 200000: last vertex
constexpr std::uint64_t kInnerVertexBase = 400000; // 400000 + 1000 number + (index - 1)
constexpr std::uint64_t kAltFirstVertexBase = 500000;
// Inner vertices that get a marker: indices 1 to 1000 (a line keeps at most kMaxVertices).
constexpr int kMaxVertices = 1001;
} // namespace plan_ids

class PLANNING_EXPORT CPlanningLib : public QObject
{
    Q_OBJECT
public:
    explicit CPlanningLib(QObject* pParent = nullptr);
    ~CPlanningLib() override;
    CPlanningLib(const CPlanningLib&) = delete;
    CPlanningLib& operator=(const CPlanningLib&) = delete;

    // 1: the planning service's sockets; the stand-in only records the call.
    void openSockets(int nMode);
    void setDispatcher(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);

    // 0 plan line, 5 plan polygon, -1 none.
    int isPlanObject(std::uint64_t nId) const;
    // Toggles the selection of a plan line or polygon.
    void selectPlanObject(std::uint64_t nId);
    bool isSelected(std::uint64_t nId) const;
    // 1: selected lines; any other kind: selected polygons.
    int getNumSelected(int nKind) const;
    void resetSelections();
    // (east, north) pairs and the runtime text; false for an unknown id.
    bool getPoints(std::uint64_t nId, std::vector<float>& points, QString& strRuntime) const;
    // (east, north, 0) triples. An id that is a free plan number keeps that number; any other id
    // (0 included) gets the lowest free one.
    void newDremmLine(std::vector<float> points, std::uint64_t nId);
    void newDremmPolygon(std::vector<float> points, std::uint64_t nId);
    // 0 lines, 1 polygons, 2 the active line, 3 selected objects; indices 4 to 7 are kept unused.
    void setColor(int nIndex, const QColor& oColor);

    void Planning_request(const QString& strRequest);
    // "$TVGPL_NEW_LINE,e1,n1,e2,n2,..." and "$TVGPL_NEW_POLYGON,...", projected metres.
    void newLineArrived(const QString& strText);
    void newPolygonArrived(const QString& strText);
    // Writes the plan beside the last saved job as "<job>.export".
    void exportPlan();

    // Number of the active plan line; -1 when none.
    int m_nActiveLine = -1;
    // Heading of the active line, hundredths of a degree; -1 when no line is active.
    std::int32_t m_nActiveLineHeading = -1;
    CProjection* m_poProjection = nullptr;

signals:
    // "ACTIVATE:<number>" after a line was activated.
    void sigNotifyGUI(const QString& strText);

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
