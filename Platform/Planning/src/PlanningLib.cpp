#include "PlanningLib.h"

#include "PlanModel.h"

#include "OrlexProtocol/codec/Color.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "platform/json_line_log.h"
#include "platform/paths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <array>
#include <set>

namespace O = ::Tavrin::Dremm::Orlex;
using planning::PlanModel;
using planning::PlanObject;
using planning::PlanPoint;

namespace {

const QString s_strLinesPrefix = QStringLiteral("PAGE_DESCRIPTOR=PLANNING_LINES,ACTION=/planning_");
const QString s_strJobsPrefix = QStringLiteral("PAGE_DESCRIPTOR=PLANNING_JOBS,ACTION=/planning");
const QString s_strJobName = QStringLiteral("JOBNAME=");
const std::string s_strLayer = "Planning";

// Appends one JSON line to the file named by CORV_PLANNING_LOG, when it is set.
void logCall(const QString& strCall, const QJsonObject& arguments)
{
    platform::appendJsonLine("CORV_PLANNING_LOG", strCall, arguments);
}

QJsonArray floatArray(const std::vector<float>& values)
{
    QJsonArray array;
    for (float f : values)
        array.append(static_cast<double>(f));
    return array;
}

O::Color toColor(const QColor& oColor)
{
    return O::makeColor(static_cast<float>(oColor.redF()), static_cast<float>(oColor.greenF()),
                        static_cast<float>(oColor.blueF()), 1.0f);
}

// A job name fit for a file: absolute, no parent references, the plan extension.
bool acceptableJobPath(const QString& strPath)
{
    if (strPath.isEmpty() || strPath.contains(QLatin1Char('\0')))
        return false;
    QString strClean = strPath;
    strClean.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (strClean.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return false;
    return strClean.endsWith(QStringLiteral(".asciiplan"), Qt::CaseInsensitive)
           || strClean.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

// Windows-style "C:\dir\file" as given by the program becomes a local path on this platform.
QString localPath(const QString& strPath)
{
    return platform::toNativePath(strPath);
}

} // namespace

struct CPlanningLib::Impl
{
    PlanModel model;
    std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher;
    std::array<QColor, 8> colors{QColor(Qt::magenta), QColor(Qt::cyan), QColor(Qt::green), QColor(Qt::red),
                                 QColor(Qt::white), QColor(Qt::white), QColor(Qt::white), QColor(Qt::white)};
    // Viewer ids drawn for each plan number.
    std::map<int, std::vector<std::uint64_t>> drawn;
    QString strLastJob;
    QString strProjectionPath;

    template <typename T>
    void send(const T& message)
    {
        if (pDispatcher)
            pDispatcher->sendMessage(message);
    }

    void erase(int nNumber)
    {
        const auto it = drawn.find(nNumber);
        if (it == drawn.end())
            return;
        for (std::uint64_t nId : it->second) {
            O::DestroyObjectMessage destroy;
            destroy.Id = nId;
            send(destroy);
        }
        drawn.erase(it);
    }

    QColor colorOf(int nNumber, const PlanObject& object) const
    {
        if (object.selected)
            return colors[3];
        if (nNumber == model.activeLine())
            return colors[2];
        return object.polygon ? colors[1] : colors[0];
    }

    void draw(int nNumber)
    {
        erase(nNumber);
        const PlanObject* pObject = model.find(nNumber);
        if (!pObject)
            return;
        std::vector<std::uint64_t>& ids = drawn[nNumber];
        O::CreateLineMessage line;
        line.Id = static_cast<std::uint64_t>(nNumber);
        line.Layer.set(s_strLayer);
        line.MaterialData.Material.DiffuseColor = toColor(colorOf(nNumber, *pObject));
        line.MaterialData.Material.LineWidth.set(2.0f);
        std::int32_t nIndex = 0;
        for (const PlanPoint& p : pObject->points) {
            line.LineData.Positions.push_back(static_cast<float>(p.east));
            line.LineData.Positions.push_back(static_cast<float>(p.north));
            line.LineData.Positions.push_back(0.0f);
            line.LineData.Indices.push_back(nIndex++);
        }
        if (pObject->polygon)
            line.LineData.Indices.push_back(0);
        line.LineData.Indices.push_back(-1);
        send(line);
        ids.push_back(line.Id);
        if (pObject->polygon)
            return;
        // Vertex markers: first, inner (index i: 400000 + 1000 number + i - 1), last.
        const std::size_t nCount = pObject->points.size();
        for (std::size_t i = 0; i < nCount; ++i) {
            std::uint64_t nId = 0;
            if (i == 0)
                nId = plan_ids::kFirstVertexBase + static_cast<std::uint64_t>(nNumber);
            else if (i + 1 == nCount)
                nId = plan_ids::kLastVertexBase + static_cast<std::uint64_t>(nNumber);
            else
                nId = plan_ids::kInnerVertexBase + 1000u * static_cast<std::uint64_t>(nNumber) + (i - 1);
            O::CreateCubeMessage marker;
            marker.Id = nId;
            marker.Layer.set(s_strLayer);
            marker.PositionData.X = pObject->points[i].east;
            marker.PositionData.Y = pObject->points[i].north;
            marker.PositionData.Z = 0;
            marker.Size = 2.0f;
            marker.MaterialData.Material.DiffuseColor = toColor(colorOf(nNumber, *pObject));
            send(marker);
            ids.push_back(nId);
        }
    }

    void redraw(const std::vector<int>& numbers)
    {
        for (int n : numbers)
            draw(n);
    }

    void redrawAll()
    {
        std::set<int> numbers;
        for (const auto& entry : drawn)
            numbers.insert(entry.first);
        for (const auto& entry : model.objects())
            numbers.insert(entry.first);
        for (int n : numbers)
            draw(n);
    }
};

CPlanningLib::CPlanningLib(QObject* pParent) : QObject(pParent), m_pImpl(std::make_unique<Impl>())
{
    logCall(QStringLiteral("construct"), {});
}

CPlanningLib::~CPlanningLib() = default;

void CPlanningLib::openSockets(int nMode)
{
    logCall(QStringLiteral("openSockets"), {{QStringLiteral("mode"), nMode}});
}

void CPlanningLib::setDispatcher(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
{
    logCall(QStringLiteral("setDispatcher"), {{QStringLiteral("set"), pDispatcher != nullptr}});
    m_pImpl->pDispatcher = std::move(pDispatcher);
    m_pImpl->redrawAll();
}

int CPlanningLib::isPlanObject(std::uint64_t nId) const
{
    if (nId < static_cast<std::uint64_t>(plan_ids::kFirstNumber) || nId > static_cast<std::uint64_t>(plan_ids::kLastNumber))
        return -1;
    const PlanObject* pObject = m_pImpl->model.find(static_cast<int>(nId));
    if (!pObject)
        return -1;
    return pObject->polygon ? 5 : 0;
}

void CPlanningLib::selectPlanObject(std::uint64_t nId)
{
    logCall(QStringLiteral("selectPlanObject"), {{QStringLiteral("id"), QString::number(nId)}});
    if (isPlanObject(nId) < 0)
        return;
    PlanObject* pObject = m_pImpl->model.find(static_cast<int>(nId));
    pObject->selected = !pObject->selected;
    m_pImpl->draw(static_cast<int>(nId));
}

bool CPlanningLib::isSelected(std::uint64_t nId) const
{
    if (isPlanObject(nId) < 0)
        return false;
    return m_pImpl->model.find(static_cast<int>(nId))->selected;
}

int CPlanningLib::getNumSelected(int nKind) const
{
    return static_cast<int>(m_pImpl->model.selected(nKind != 1).size());
}

void CPlanningLib::resetSelections()
{
    logCall(QStringLiteral("resetSelections"), {});
    std::vector<int> changed;
    for (const auto& entry : m_pImpl->model.objects())
        if (entry.second.selected)
            changed.push_back(entry.first);
    for (int n : changed)
        m_pImpl->model.find(n)->selected = false;
    m_pImpl->redraw(changed);
}

bool CPlanningLib::getPoints(std::uint64_t nId, std::vector<float>& points, QString& strRuntime) const
{
    points.clear();
    strRuntime.clear();
    if (isPlanObject(nId) < 0)
        return false;
    const PlanObject* pObject = m_pImpl->model.find(static_cast<int>(nId));
    for (const PlanPoint& p : pObject->points) {
        points.push_back(static_cast<float>(p.east));
        points.push_back(static_cast<float>(p.north));
    }
    strRuntime = pObject->runtime;
    return true;
}

namespace {

std::vector<PlanPoint> fromTriples(const std::vector<float>& values)
{
    std::vector<PlanPoint> points;
    for (std::size_t i = 0; i + 2 < values.size(); i += 3)
        points.push_back({values[i], values[i + 1]});
    return points;
}

} // namespace

void CPlanningLib::newDremmLine(std::vector<float> points, std::uint64_t nId)
{
    logCall(QStringLiteral("newDremmLine"), {{QStringLiteral("id"), QString::number(nId)}, {QStringLiteral("points"), floatArray(points)}});
    PlanObject line;
    line.points = fromTriples(points);
    const int nWanted = nId <= static_cast<std::uint64_t>(plan_ids::kLastNumber) ? static_cast<int>(nId) : 0;
    const int nNumber = m_pImpl->model.add(line, nWanted);
    if (nNumber == 0) {
        qWarning() << "Planning: line refused (plan full or bad points)";
        return;
    }
    m_pImpl->draw(nNumber);
}

void CPlanningLib::newDremmPolygon(std::vector<float> points, std::uint64_t nId)
{
    logCall(QStringLiteral("newDremmPolygon"), {{QStringLiteral("id"), QString::number(nId)}, {QStringLiteral("points"), floatArray(points)}});
    PlanObject polygon;
    polygon.polygon = true;
    polygon.points = fromTriples(points);
    const int nWanted = nId <= static_cast<std::uint64_t>(plan_ids::kLastNumber) ? static_cast<int>(nId) : 0;
    const int nNumber = m_pImpl->model.add(polygon, nWanted);
    if (nNumber == 0) {
        qWarning() << "Planning: polygon refused (plan full or bad points)";
        return;
    }
    m_pImpl->draw(nNumber);
}

void CPlanningLib::setColor(int nIndex, const QColor& oColor)
{
    logCall(QStringLiteral("setColor"), {{QStringLiteral("index"), nIndex}, {QStringLiteral("color"), oColor.name()}});
    if (nIndex < 0 || nIndex >= static_cast<int>(m_pImpl->colors.size()))
        return;
    m_pImpl->colors[static_cast<std::size_t>(nIndex)] = oColor;
    m_pImpl->redrawAll();
}

void CPlanningLib::Planning_request(const QString& strRequest)
{
    logCall(QStringLiteral("Planning_request"), {{QStringLiteral("text"), strRequest}});
    PlanModel& model = m_pImpl->model;

    if (strRequest.startsWith(QLatin1String("$NEW_PROJECTION_PATH="))) {
        m_pImpl->strProjectionPath = strRequest.mid(21).trimmed();
        return;
    }
    if (strRequest.startsWith(s_strJobsPrefix)) {
        const QString strAction = strRequest.mid(s_strJobsPrefix.size());
        const int nName = strAction.indexOf(s_strJobName);
        const QString strName = nName < 0 ? QString() : strAction.mid(nName + s_strJobName.size()).trimmed();
        if (strAction.startsWith(QLatin1String("___clearJob__"))) {
            model.clear();
            m_pImpl->redrawAll();
            m_nActiveLine = -1;
            m_nActiveLineHeading = -1;
            return;
        }
        if (!strAction.startsWith(QLatin1String("__openjob__")) && !strAction.startsWith(QLatin1String("___saveas__")))
            return;
        if (!acceptableJobPath(strName)) {
            qWarning().noquote() << "Planning: job name refused:" << strName;
            return;
        }
        const QString strPath = localPath(strName);
        if (strAction.startsWith(QLatin1String("___saveas__"))) {
            QDir().mkpath(QFileInfo(strPath).absolutePath());
            QSaveFile file(strPath);
            if (!file.open(QIODevice::WriteOnly) || file.write(model.toText()) < 0 || !file.commit()) {
                qWarning().noquote() << "Planning: cannot write" << strPath;
                return;
            }
            m_pImpl->strLastJob = strPath;
            return;
        }
        QFile file(strPath);
        if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024) {
            qWarning().noquote() << "Planning: cannot read" << strPath;
            return;
        }
        QString strError;
        std::optional<PlanModel> loaded = PlanModel::fromText(file.readAll(), &strError);
        if (!loaded) {
            qWarning().noquote() << "Planning: job" << strPath << "refused," << strError;
            return;
        }
        model = std::move(*loaded);
        m_pImpl->redrawAll();
        m_nActiveLine = model.activeLine();
        m_nActiveLineHeading = model.heading(m_nActiveLine);
        m_pImpl->strLastJob = strPath;
        return;
    }
    if (!strRequest.startsWith(s_strLinesPrefix))
        return;

    const QString strCommand = strRequest.mid(s_strLinesPrefix.size());
    const int nComma = strCommand.indexOf(QLatin1Char(','));
    const QString strWord = nComma < 0 ? strCommand : strCommand.left(nComma);
    const QString strRest = nComma < 0 ? QString() : strCommand.mid(nComma + 1);
    std::vector<int> changed;
    if (strWord == QLatin1String("__reverseLine__")) {
        changed = model.reverseSelected();
    } else if (strWord == QLatin1String("__extendLine__")) {
        changed = model.connectSelected();
    } else if (strWord == QLatin1String("__deleteSelection__")) {
        changed = model.deleteSelected();
    } else if (strWord == QLatin1String("__keepInside__") || strWord == QLatin1String("__keepOutside__")) {
        changed = model.keepLines(strWord == QLatin1String("__keepInside__"));
    } else if (strWord == QLatin1String("__selectCrossings__")) {
        changed = model.selectCrossings();
    } else if (strWord == QLatin1String("__resetSelection__")) {
        resetSelections();
    } else if (strWord == QLatin1String("__activateLine__")) {
        const std::vector<int> lines = model.selected(false);
        if (lines.size() != 1) {
            qWarning() << "Planning: activate needs one selected line";
            return;
        }
        const int nPrevious = model.activeLine();
        model.activate(lines.front());
        m_nActiveLine = lines.front();
        m_nActiveLineHeading = model.heading(m_nActiveLine);
        m_pImpl->redraw({nPrevious, m_nActiveLine});
        emit sigNotifyGUI(QStringLiteral("ACTIVATE:%1").arg(m_nActiveLine));
    } else if (strWord == QLatin1String("__deactivateLine__")) {
        const int nPrevious = model.activeLine();
        model.deactivate();
        m_nActiveLine = -1;
        m_nActiveLineHeading = -1;
        m_pImpl->redraw({nPrevious});
    } else if (strWord == QLatin1String("__editpoly__")) {
        // "x_rowN=<north>&y_rowN=<east>&...", then ",RT:<text>".
        const int nRuntime = strRest.indexOf(QLatin1String(",RT:"));
        const QString strRows = nRuntime < 0 ? strRest : strRest.left(nRuntime);
        const QString strRuntime = nRuntime < 0 ? QString() : strRest.mid(nRuntime + 4);
        const std::map<QString, QString> rows = planning::requestParameters(strRows);
        std::vector<PlanPoint> points;
        for (int j = 1; j <= plan_ids::kMaxVertices; ++j) {
            const auto itX = rows.find(QStringLiteral("x_row%1").arg(j));
            const auto itY = rows.find(QStringLiteral("y_row%1").arg(j));
            if (itX == rows.end() || itY == rows.end())
                break;
            bool bNorth = false;
            bool bEast = false;
            const PlanPoint p{itY->second.toDouble(&bEast), itX->second.toDouble(&bNorth)};
            if (!bNorth || !bEast) {
                qWarning() << "Planning: edited point is not a number";
                return;
            }
            points.push_back(p);
        }
        int nNumber = 0;
        if (model.editSelected(points, strRuntime, nNumber))
            changed.push_back(nNumber);
        else
            qWarning() << "Planning: edit refused";
    } else if (strWord == QLatin1String("__makeParallels__")) {
        const std::map<QString, QString> p = planning::requestParameters(strRest);
        auto number = [&p](const char* szKey) {
            const auto it = p.find(QLatin1String(szKey));
            return it == p.end() ? 0.0 : it->second.toDouble();
        };
        changed = model.makeParallels(number("__parallels_meters_starboard__"), number("__parallels_meters_port__"),
                                      static_cast<int>(number("__no_parallels_starboard__")),
                                      static_cast<int>(number("__no_parallels_port__")), number("__reverse__") != 0);
    } else if (strWord == QLatin1String("__createFilledPolygon__")) {
        const std::map<QString, QString> p = planning::requestParameters(strRest);
        const auto it = p.find(QStringLiteral("__fill_polygon_meters_starboard__"));
        const auto itReverse = p.find(QStringLiteral("__reverse__"));
        changed = model.fillPolygon(it == p.end() ? 0.0 : it->second.toDouble(),
                                    itReverse != p.end() && itReverse->second.toInt() != 0);
    }
    if (model.activeLine() != m_nActiveLine) {
        m_nActiveLine = model.activeLine();
        m_nActiveLineHeading = model.heading(m_nActiveLine);
    }
    m_pImpl->redraw(changed);
}

void CPlanningLib::newLineArrived(const QString& strText)
{
    logCall(QStringLiteral("newLineArrived"), {{QStringLiteral("text"), strText}});
    PlanObject line;
    line.points = planning::parseTvgplPoints(strText);
    if (const int n = m_pImpl->model.add(line))
        m_pImpl->draw(n);
    else
        qWarning() << "Planning: new line refused";
}

void CPlanningLib::newPolygonArrived(const QString& strText)
{
    logCall(QStringLiteral("newPolygonArrived"), {{QStringLiteral("text"), strText}});
    PlanObject polygon;
    polygon.polygon = true;
    polygon.points = planning::parseTvgplPoints(strText);
    if (const int n = m_pImpl->model.add(polygon))
        m_pImpl->draw(n);
    else
        qWarning() << "Planning: new polygon refused";
}

void CPlanningLib::exportPlan()
{
    logCall(QStringLiteral("exportPlan"), {});
    if (m_pImpl->strLastJob.isEmpty())
        return;
    QSaveFile file(m_pImpl->strLastJob + QStringLiteral(".export"));
    if (!file.open(QIODevice::WriteOnly) || file.write(m_pImpl->model.toText()) < 0 || !file.commit())
        qWarning().noquote() << "Planning: cannot export to" << file.fileName();
}
