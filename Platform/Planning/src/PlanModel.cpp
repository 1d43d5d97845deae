#include "PlanModel.h"

#include "PlanningLib.h"

#include <QList>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace planning {

namespace {

constexpr int kMaxLineBytes = 4096;
constexpr int kMaxParallels = 50;
constexpr double kPi = 3.14159265358979323846;

bool validPoints(const PlanObject& object)
{
    const std::size_t nMin = object.polygon ? 3 : 2;
    if (object.points.size() < nMin || object.points.size() > static_cast<std::size_t>(plan_ids::kMaxVertices))
        return false;
    return std::all_of(object.points.begin(), object.points.end(), [](const PlanPoint& p) {
        return std::isfinite(p.east) && std::isfinite(p.north) && std::fabs(p.east) < 1e9 && std::fabs(p.north) < 1e9;
    });
}

bool insidePolygon(const std::vector<PlanPoint>& polygon, const PlanPoint& p)
{
    bool bInside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const PlanPoint& a = polygon[i];
        const PlanPoint& b = polygon[j];
        if ((a.north > p.north) != (b.north > p.north)
            && p.east < (b.east - a.east) * (p.north - a.north) / (b.north - a.north) + a.east)
            bInside = !bInside;
    }
    return bInside;
}

double cross(const PlanPoint& o, const PlanPoint& a, const PlanPoint& b)
{
    return (a.east - o.east) * (b.north - o.north) - (a.north - o.north) * (b.east - o.east);
}

bool segmentsCross(const PlanPoint& a, const PlanPoint& b, const PlanPoint& c, const PlanPoint& d)
{
    const double d1 = cross(c, d, a);
    const double d2 = cross(c, d, b);
    const double d3 = cross(a, b, c);
    const double d4 = cross(a, b, d);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

bool linesCross(const PlanObject& a, const PlanObject& b)
{
    for (std::size_t i = 1; i < a.points.size(); ++i)
        for (std::size_t j = 1; j < b.points.size(); ++j)
            if (segmentsCross(a.points[i - 1], a.points[i], b.points[j - 1], b.points[j]))
                return true;
    return false;
}

// The line moved sideways by dOffset metres (positive: to the right of its direction).
std::vector<PlanPoint> offsetLine(const std::vector<PlanPoint>& points, double dOffset)
{
    std::vector<PlanPoint> result;
    result.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PlanPoint& from = points[i == 0 ? 0 : i - 1];
        const PlanPoint& to = points[i == 0 ? 1 : i];
        const double dE = to.east - from.east;
        const double dN = to.north - from.north;
        const double dLength = std::hypot(dE, dN);
        if (dLength <= 0) {
            result.push_back(points[i]);
            continue;
        }
        // Right of (dE, dN) is (dN, -dE).
        result.push_back({points[i].east + dN / dLength * dOffset, points[i].north - dE / dLength * dOffset});
    }
    return result;
}

} // namespace

std::map<QString, QString> requestParameters(const QString& strText)
{
    std::map<QString, QString> parameters;
    const QStringList parts = strText.split(QLatin1Char('&'), Qt::SkipEmptyParts);
    for (const QString& strPart : parts) {
        const int nEquals = strPart.indexOf(QLatin1Char('='));
        if (nEquals <= 0)
            continue;
        parameters[strPart.left(nEquals).trimmed()] = strPart.mid(nEquals + 1).trimmed();
    }
    return parameters;
}

int PlanModel::freeNumber(int nWanted) const
{
    if (nWanted >= plan_ids::kFirstNumber && nWanted <= plan_ids::kLastNumber && !m_objects.count(nWanted))
        return nWanted;
    for (int n = plan_ids::kFirstNumber; n <= plan_ids::kLastNumber; ++n)
        if (!m_objects.count(n))
            return n;
    return 0;
}

int PlanModel::add(PlanObject object, int nWanted)
{
    if (!validPoints(object))
        return 0;
    const int nNumber = freeNumber(nWanted);
    if (nNumber != 0)
        m_objects[nNumber] = std::move(object);
    return nNumber;
}

bool PlanModel::remove(int nNumber)
{
    if (m_nActiveLine == nNumber)
        m_nActiveLine = -1;
    return m_objects.erase(nNumber) > 0;
}

const PlanObject* PlanModel::find(int nNumber) const
{
    const auto it = m_objects.find(nNumber);
    return it == m_objects.end() ? nullptr : &it->second;
}

PlanObject* PlanModel::find(int nNumber)
{
    const auto it = m_objects.find(nNumber);
    return it == m_objects.end() ? nullptr : &it->second;
}

std::vector<int> PlanModel::selected(bool bPolygons) const
{
    std::vector<int> numbers;
    for (const auto& [nNumber, object] : m_objects)
        if (object.selected && object.polygon == bPolygons)
            numbers.push_back(nNumber);
    return numbers;
}

void PlanModel::clear()
{
    m_objects.clear();
    m_nActiveLine = -1;
}

bool PlanModel::activate(int nNumber)
{
    const PlanObject* pObject = find(nNumber);
    if (!pObject || pObject->polygon)
        return false;
    m_nActiveLine = nNumber;
    return true;
}

int PlanModel::heading(int nNumber) const
{
    const PlanObject* pObject = find(nNumber);
    if (!pObject || pObject->points.size() < 2)
        return -1;
    const PlanPoint& a = pObject->points.front();
    const PlanPoint& b = pObject->points.back();
    double dDegrees = std::atan2(b.east - a.east, b.north - a.north) * 180.0 / kPi;
    if (dDegrees < 0)
        dDegrees += 360.0;
    return static_cast<int>(std::lround(dDegrees * 100.0)) % 36000;
}

std::vector<int> PlanModel::reverseSelected()
{
    std::vector<int> changed = selected(false);
    for (int n : changed)
        std::reverse(m_objects[n].points.begin(), m_objects[n].points.end());
    return changed;
}

std::vector<int> PlanModel::connectSelected()
{
    const std::vector<int> lines = selected(false);
    if (lines.size() < 2)
        return {};
    PlanObject joined = m_objects[lines.front()];
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<PlanPoint>& next = m_objects[lines[i]].points;
        if (joined.points.size() + next.size() > static_cast<std::size_t>(plan_ids::kMaxVertices))
            return {};
        joined.points.insert(joined.points.end(), next.begin(), next.end());
    }
    for (std::size_t i = 1; i < lines.size(); ++i)
        remove(lines[i]);
    m_objects[lines.front()] = joined;
    return lines;
}

std::vector<int> PlanModel::deleteSelected()
{
    std::vector<int> removed = selected(false);
    const std::vector<int> polygons = selected(true);
    removed.insert(removed.end(), polygons.begin(), polygons.end());
    for (int n : removed)
        remove(n);
    return removed;
}

std::vector<int> PlanModel::keepLines(bool bInside)
{
    const std::vector<int> polygons = selected(true);
    if (polygons.size() != 1)
        return {};
    const std::vector<PlanPoint> area = m_objects[polygons.front()].points;
    std::vector<int> removed;
    for (int n : selected(false)) {
        const std::vector<PlanPoint>& points = m_objects[n].points;
        const bool bAllInside =
            std::all_of(points.begin(), points.end(), [&](const PlanPoint& p) { return insidePolygon(area, p); });
        const bool bAllOutside =
            std::none_of(points.begin(), points.end(), [&](const PlanPoint& p) { return insidePolygon(area, p); });
        if (bInside ? !bAllInside : !bAllOutside)
            removed.push_back(n);
    }
    for (int n : removed)
        remove(n);
    return removed;
}

std::vector<int> PlanModel::selectCrossings()
{
    const std::vector<int> lines = selected(false);
    std::vector<int> changed;
    for (auto& [nNumber, object] : m_objects) {
        if (object.polygon || object.selected)
            continue;
        for (int n : lines)
            if (linesCross(object, m_objects[n])) {
                object.selected = true;
                changed.push_back(nNumber);
                break;
            }
    }
    return changed;
}

bool PlanModel::editSelected(const std::vector<PlanPoint>& points, const QString& strRuntime, int& nNumber)
{
    std::vector<int> all = selected(false);
    const std::vector<int> polygons = selected(true);
    all.insert(all.end(), polygons.begin(), polygons.end());
    if (all.size() != 1)
        return false;
    PlanObject edited = m_objects[all.front()];
    edited.points = points;
    edited.runtime = strRuntime;
    if (!validPoints(edited))
        return false;
    m_objects[all.front()] = edited;
    nNumber = all.front();
    return true;
}

std::vector<int> PlanModel::makeParallels(double dStbd, double dPort, int nStbd, int nPort, bool bReverse)
{
    const std::vector<int> lines = selected(false);
    if (lines.size() != 1 || !std::isfinite(dStbd) || !std::isfinite(dPort))
        return {};
    const std::vector<PlanPoint> base = m_objects[lines.front()].points;
    std::vector<int> added;
    auto addSide = [&](int nCount, double dSpacing, double dSign) {
        for (int k = 1; k <= std::clamp(nCount, 0, kMaxParallels); ++k) {
            PlanObject line;
            line.points = offsetLine(base, dSign * dSpacing * k);
            if (bReverse)
                std::reverse(line.points.begin(), line.points.end());
            if (const int n = add(line))
                added.push_back(n);
        }
    };
    addSide(nStbd, dStbd, 1.0);
    addSide(nPort, dPort, -1.0);
    return added;
}

std::vector<int> PlanModel::fillPolygon(double dSpacing, bool bReverse)
{
    const std::vector<int> polygons = selected(true);
    if (polygons.size() != 1 || !std::isfinite(dSpacing) || dSpacing <= 0)
        return {};
    const std::vector<PlanPoint> area = m_objects[polygons.front()].points;
    const std::vector<int> lines = selected(false);
    PlanPoint a = area[0];
    PlanPoint b = area[1];
    if (lines.size() == 1) {
        a = m_objects[lines.front()].points.front();
        b = m_objects[lines.front()].points.back();
    }
    const double dLength = std::hypot(b.east - a.east, b.north - a.north);
    if (dLength <= 0)
        return {};
    // Unit direction u and its right-hand normal v; lines run along u at offsets along v.
    const double uE = (b.east - a.east) / dLength;
    const double uN = (b.north - a.north) / dLength;
    const double vE = uN;
    const double vN = -uE;
    double dMin = 1e300;
    double dMax = -1e300;
    for (const PlanPoint& p : area) {
        const double d = (p.east - a.east) * vE + (p.north - a.north) * vN;
        dMin = std::min(dMin, d);
        dMax = std::max(dMax, d);
    }
    std::vector<int> added;
    int nIndex = 0;
    for (double dOffset = std::ceil(dMin / dSpacing) * dSpacing; dOffset <= dMax; dOffset += dSpacing, ++nIndex) {
        // Where the line at this offset enters and leaves the polygon, along u.
        std::vector<double> hits;
        for (std::size_t i = 0, j = area.size() - 1; i < area.size(); j = i++) {
            const double d1 = (area[j].east - a.east) * vE + (area[j].north - a.north) * vN - dOffset;
            const double d2 = (area[i].east - a.east) * vE + (area[i].north - a.north) * vN - dOffset;
            if ((d1 > 0) == (d2 > 0) || d1 == d2)
                continue;
            const double t = d1 / (d1 - d2);
            const double e = area[j].east + t * (area[i].east - area[j].east);
            const double n = area[j].north + t * (area[i].north - area[j].north);
            hits.push_back((e - a.east) * uE + (n - a.north) * uN);
        }
        if (hits.size() < 2)
            continue;
        const auto [itMin, itMax] = std::minmax_element(hits.begin(), hits.end());
        PlanObject line;
        for (double s : {*itMin, *itMax})
            line.points.push_back({a.east + s * uE + dOffset * vE, a.north + s * uN + dOffset * vN});
        if (bReverse != (nIndex % 2 == 1))
            std::reverse(line.points.begin(), line.points.end());
        if (const int n = add(line))
            added.push_back(n);
        if (added.size() >= static_cast<std::size_t>(plan_ids::kLastNumber))
            break;
    }
    return added;
}

QByteArray PlanModel::toText() const
{
    QByteArray text("ASCIIPLAN 1\n");
    for (const auto& [nNumber, object] : m_objects) {
        text += object.polygon ? "POLYGON " : "LINE ";
        text += QByteArray::number(nNumber);
        if (nNumber == m_nActiveLine)
            text += " ACTIVE";
        text += '\n';
        if (!object.runtime.isEmpty())
            text += "RT " + QUrl::toPercentEncoding(object.runtime) + '\n';
        for (const PlanPoint& p : object.points)
            text += "P " + QByteArray::number(p.east, 'f', 3) + ' ' + QByteArray::number(p.north, 'f', 3) + '\n';
        text += "END\n";
    }
    return text;
}

std::optional<PlanModel> PlanModel::fromText(const QByteArray& text, QString* pError)
{
    auto fail = [pError](int nLine, const char* szWhat) -> std::optional<PlanModel> {
        if (pError)
            *pError = QStringLiteral("line %1: %2").arg(nLine).arg(QLatin1String(szWhat));
        return std::nullopt;
    };
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.front().trimmed() != "ASCIIPLAN 1")
        return fail(1, "not a plan file");
    PlanModel model;
    std::optional<PlanObject> current;
    int nCurrent = 0;
    bool bActive = false;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.size() > kMaxLineBytes)
            return fail(i + 1, "line too long");
        if (line.isEmpty())
            continue;
        const QList<QByteArray> words = line.split(' ');
        const QByteArray& keyword = words.front();
        if (keyword == "LINE" || keyword == "POLYGON") {
            if (current || words.size() < 2 || words.size() > 3)
                return fail(i + 1, "bad object header");
            bool bOk = false;
            nCurrent = words[1].toInt(&bOk);
            if (!bOk || nCurrent < plan_ids::kFirstNumber || nCurrent > plan_ids::kLastNumber || model.find(nCurrent))
                return fail(i + 1, "bad object number");
            bActive = words.size() == 3;
            if (bActive && (words[2] != "ACTIVE" || keyword != "LINE"))
                return fail(i + 1, "bad object header");
            current = PlanObject();
            current->polygon = keyword == "POLYGON";
        } else if (keyword == "RT") {
            if (!current || words.size() != 2)
                return fail(i + 1, "bad runtime text");
            current->runtime = QString::fromUtf8(QByteArray::fromPercentEncoding(words[1]));
        } else if (keyword == "P") {
            if (!current || words.size() != 3)
                return fail(i + 1, "bad point");
            if (current->points.size() >= static_cast<std::size_t>(plan_ids::kMaxVertices))
                return fail(i + 1, "too many points");
            bool bEast = false;
            bool bNorth = false;
            current->points.push_back({words[1].toDouble(&bEast), words[2].toDouble(&bNorth)});
            if (!bEast || !bNorth)
                return fail(i + 1, "bad point");
        } else if (keyword == "END") {
            if (!current || words.size() != 1)
                return fail(i + 1, "END without object");
            if (model.add(*current, nCurrent) != nCurrent)
                return fail(i + 1, "bad object points");
            if (bActive)
                model.m_nActiveLine = nCurrent;
            current.reset();
        } else {
            return fail(i + 1, "unknown keyword");
        }
    }
    if (current)
        return fail(lines.size(), "object without END");
    return model;
}

std::vector<PlanPoint> parseTvgplPoints(const QString& strText)
{
    const QStringList parts = strText.trimmed().split(QLatin1Char(','));
    if (parts.size() < 3 || parts.size() % 2 != 1 || parts.size() > 2 * plan_ids::kMaxVertices + 1)
        return {};
    std::vector<PlanPoint> points;
    for (int i = 1; i + 1 < parts.size(); i += 2) {
        bool bEast = false;
        bool bNorth = false;
        const PlanPoint p{parts[i].trimmed().toDouble(&bEast), parts[i + 1].trimmed().toDouble(&bNorth)};
        if (!bEast || !bNorth || !std::isfinite(p.east) || !std::isfinite(p.north))
            return {};
        points.push_back(p);
    }
    return points;
}

} // namespace planning
