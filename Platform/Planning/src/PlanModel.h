// The plan kept by the planning stand-in: numbered lines and polygons with their selection, the
// edits the planning requests ask for, and the job file.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace planning {

struct PlanPoint
{
    double east = 0;
    double north = 0;
};

struct PlanObject
{
    bool polygon = false;
    bool selected = false;
    std::vector<PlanPoint> points;
    QString runtime;
};

// Parameters of a request: "key=value&key=value".
std::map<QString, QString> requestParameters(const QString& strText);

class PlanModel
{
public:
    // The new object's number, or 0 when the plan is full or the points are too few or too many.
    // A wanted number that is free is kept.
    int add(PlanObject object, int nWanted = 0);
    bool remove(int nNumber);
    const PlanObject* find(int nNumber) const;
    PlanObject* find(int nNumber);
    const std::map<int, PlanObject>& objects() const { return m_objects; }
    std::vector<int> selected(bool bPolygons) const;
    void clear();

    int activeLine() const { return m_nActiveLine; }
    // False (nothing changes) for a number that is not a line.
    bool activate(int nNumber);
    void deactivate() { m_nActiveLine = -1; }
    // Hundredths of a degree from the first to the last vertex, 0 to 35999; -1 for no line.
    int heading(int nNumber) const;

    // Edits on the selection; each returns the numbers of the objects it changed, added or removed.
    std::vector<int> reverseSelected();
    std::vector<int> connectSelected();
    std::vector<int> deleteSelected();
    std::vector<int> keepLines(bool bInside);
    std::vector<int> selectCrossings();
    // The one selected object gets these points; false when not exactly one is selected.
    bool editSelected(const std::vector<PlanPoint>& points, const QString& strRuntime, int& nNumber);
    // nStbd lines at dStbd spacing to starboard (right of the line's direction), nPort at dPort.
    std::vector<int> makeParallels(double dStbd, double dPort, int nStbd, int nPort, bool bReverse);
    // Lines across the one selected polygon parallel to the selected line (or its first edge).
    std::vector<int> fillPolygon(double dSpacing, bool bReverse);

    QByteArray toText() const;
    // The whole plan or nothing: an error names the line that failed.
    static std::optional<PlanModel> fromText(const QByteArray& text, QString* pError);

private:
    int freeNumber(int nWanted) const;
    std::map<int, PlanObject> m_objects;
    int m_nActiveLine = -1;
};

// Points of a "$TVGPL_NEW_LINE,e1,n1,..." text; empty when malformed.
std::vector<PlanPoint> parseTvgplPoints(const QString& strText);

} // namespace planning
