#include "OrlexObjs.h"

#include "ObjectEditDialog.h"
#include "ObjectReaders.h"
#include "ObjectStore.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "Projection/Projection.h"
#include "SurveyUtils/QelGeoJSON.h"

#include <platform/json_line_log.h>
#include <platform/paths.h>

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QtDebug>

#include <cmath>
#include <algorithm>
#include <deque>
#include <map>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_objects::ObjectStore;

namespace {

const char* const s_szLayer = "UserObjects";
constexpr int s_nMaxDynamicNameLength = 64;
// Dynamic objects kept at once; a new name beyond it removes the oldest.
constexpr std::size_t s_nMaxDynamicObjects = 1024;

enum Kind { Point = 0, Line = 1, Polygon = 2, Marker = 3, Dynamic = 4 };

const char* kindName(int nKind)
{
    static const char* const s_names[] = {"point", "line", "polygon", "marker", "dynamic"};
    return nKind >= 0 && nKind <= Dynamic ? s_names[nKind] : "unknown";
}

QJsonArray jsonPoints(const std::vector<float>& points)
{
    QJsonArray array;
    for (float f : points)
        array.append(static_cast<double>(f));
    return array;
}

O::Color protocolColor(const QColor& oColor)
{
    O::Color color;
    color.R = static_cast<float>(oColor.redF());
    color.G = static_cast<float>(oColor.greenF());
    color.B = static_cast<float>(oColor.blueF());
    color.A = 1.0f;
    return color;
}

// Pairs of finite longitude, latitude within range.
bool validPoints(const std::vector<float>& points, std::size_t nMinimumPairs)
{
    if (points.size() % 2 != 0 || points.size() / 2 < nMinimumPairs)
        return false;
    for (std::size_t i = 0; i < points.size(); i += 2) {
        if (!std::isfinite(points[i]) || !std::isfinite(points[i + 1]) || std::fabs(points[i]) > 180.0f
            || std::fabs(points[i + 1]) > 90.0f)
            return false;
    }
    return true;
}

// A dynamic object's name comes from the network: short, printable.
bool validDynamicName(const QString& strName)
{
    if (strName.isEmpty() || strName.size() > s_nMaxDynamicNameLength)
        return false;
    for (const QChar c : strName) {
        if (!c.isPrint())
            return false;
    }
    return true;
}

} // namespace

// One object of the library.
struct SUserObject
{
    int nKind = Point;
    std::vector<float> points; // longitude, latitude pairs
    double dZ = 0;
    QString strName;
    QColor oColor;
    int nWidth = 3;
    float fSize = 2.0f;
    QString strLink;
    bool bVisible = true;
    std::int64_t nStoreId = 0; // row of the database, 0 when not stored
    bool bSavedPosition = false;
};

class COrlexObjsPrivate
{
public:
    std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher;
    CProjection* pProjection = nullptr;
    std::map<std::uint64_t, SUserObject> objects;
    std::map<std::string, std::uint64_t> dynamicIds;
    std::deque<std::pair<std::string, std::uint64_t>> dynamicOrder; // oldest first; may hold gone ones
    bool bDynamicCapLogged = false;
    std::uint64_t nSelectedId = 0;
    QColor colors[4] = {QColor(Qt::darkMagenta), QColor(Qt::cyan), QColor(Qt::darkCyan), QColor(Qt::red)};
    ObjectStore store;

    template <typename T>
    void send(const T& payload) const
    {
        if (pDispatcher)
            pDispatcher->sendMessage(payload);
    }

    // Every call as one JSON line to the file named by CORV_OBJECTS_LOG.
    static void log(const char* szCall, QJsonObject args)
    {
        platform::appendJsonLine("CORV_OBJECTS_LOG", QLatin1String(szCall), std::move(args));
    }

    // View position (metres east, north) of a longitude, latitude pair.
    bool toView(double dLon, double dLat, double dZ, O::PositionData& position) const
    {
        double dNorth = 0;
        double dEast = 0;
        if (!pProjection || pProjection->toProjected(dLat, dLon, dNorth, dEast) != 0)
            return false;
        position.X = dEast / 100.0;
        position.Y = dNorth / 100.0;
        position.Z = dZ;
        return true;
    }

    O::MaterialData material(const SUserObject& object, bool bSelected) const
    {
        O::MaterialData data;
        data.OverrideColor = true;
        data.OverrideAlpha = true;
        const O::Color color = protocolColor(bSelected ? QColor(Qt::yellow) : object.oColor);
        data.Material.DiffuseColor = color;
        data.Material.EmissiveColor.set(color);
        if (object.nKind == Line || object.nKind == Polygon)
            data.Material.LineWidth.set(static_cast<float>(object.nWidth));
        return data;
    }

    bool lineData(const SUserObject& object, O::LineData& data) const
    {
        const std::size_t nVertices = object.points.size() / 2;
        for (std::size_t i = 0; i < nVertices; ++i) {
            O::PositionData position;
            if (!toView(object.points[2 * i], object.points[2 * i + 1], object.dZ, position))
                return false;
            data.Positions.push_back(static_cast<float>(position.X));
            data.Positions.push_back(static_cast<float>(position.Y));
            data.Positions.push_back(static_cast<float>(position.Z));
            data.Indices.push_back(static_cast<std::int32_t>(i));
        }
        if (object.nKind == Polygon)
            data.Indices.push_back(0);
        data.Indices.push_back(-1);
        return true;
    }

    void draw(std::uint64_t nId, const SUserObject& object) const
    {
        if (object.nKind == Line || object.nKind == Polygon) {
            O::CreateLineMessage message;
            fillBase(message, nId, object);
            if (!lineData(object, message.LineData))
                qWarning().noquote() << "COrlexObjs: no projection for object" << nId;
            send(message);
            return;
        }
        O::CreateCubeMessage message;
        fillBase(message, nId, object);
        if (!toView(object.points[0], object.points[1], object.dZ, message.PositionData))
            qWarning().noquote() << "COrlexObjs: no projection for object" << nId;
        message.Size = object.fSize;
        send(message);
    }

    template <typename T>
    void fillBase(T& message, std::uint64_t nId, const SUserObject& object) const
    {
        message.Id = nId;
        message.Name.set(object.strName.toStdString());
        message.Layer.set(std::string(s_szLayer));
        message.Visible = object.bVisible;
        message.MaterialData = material(object, nId == nSelectedId);
    }

    // Shows the object's new place.
    void redraw(std::uint64_t nId, const SUserObject& object) const
    {
        if (object.nKind == Line || object.nKind == Polygon) {
            O::UpdateLineMessage message;
            message.Id = nId;
            lineData(object, message.LineData);
            send(message);
            return;
        }
        O::PositionUpdateMessage message;
        message.ObjectIds.push_back(nId);
        O::PositionData position;
        toView(object.points[0], object.points[1], object.dZ, position);
        message.Positions.push_back(position);
        send(message);
    }

    void recolor(std::uint64_t nId, const SUserObject& object) const
    {
        O::UpdateMaterialMessage message;
        message.Id = nId;
        message.Material = material(object, nId == nSelectedId);
        send(message);
    }

    std::uint64_t add(SUserObject object, bool bStore)
    {
        if (bStore)
            object.nStoreId = store.insert(object.nKind, object.strName, object.oColor.name(), object.nWidth,
                                           object.points, object.strLink);
        const std::uint64_t nId = objectIdAllocator()->allocate();
        draw(nId, object);
        objects.emplace(nId, std::move(object));
        return nId;
    }

    // Takes the object out of the view and gives its id back.
    void remove(std::map<std::uint64_t, SUserObject>::iterator it)
    {
        O::DestroyObjectMessage message;
        message.Id = it->first;
        send(message);
        if (it->second.nKind == Dynamic) {
            for (auto dyn = dynamicIds.begin(); dyn != dynamicIds.end(); ++dyn) {
                if (dyn->second == it->first) {
                    dynamicIds.erase(dyn);
                    break;
                }
            }
        }
        if (nSelectedId == it->first)
            nSelectedId = 0;
        objectIdAllocator()->release(it->first);
        objects.erase(it);
    }

    // Removes the oldest dynamic object still shown (entries of removed ones are skipped).
    void removeOldestDynamic()
    {
        while (!dynamicOrder.empty()) {
            const auto oOldest = dynamicOrder.front();
            dynamicOrder.pop_front();
            const auto itName = dynamicIds.find(oOldest.first);
            if (itName == dynamicIds.end() || itName->second != oOldest.second)
                continue;
            const auto it = objects.find(oOldest.second);
            if (it != objects.end())
                remove(it);
            else
                dynamicIds.erase(itName);
            return;
        }
    }

    bool shownFromStore(std::int64_t nStoreId) const
    {
        for (const auto& entry : objects) {
            if (entry.second.nStoreId == nStoreId)
                return true;
        }
        return false;
    }
};

COrlexObjs::COrlexObjs(QObject* pParent) : QObject(pParent), d(std::make_unique<COrlexObjsPrivate>())
{
    COrlexObjsPrivate::log("COrlexObjs", {});
}

COrlexObjs::~COrlexObjs()
{
    // The view goes with the connection; the ids go back.
    for (const auto& entry : d->objects)
        objectIdAllocator()->release(entry.first);
}

void COrlexObjs::setDispatcher(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
{
    COrlexObjsPrivate::log("setDispatcher", {{QStringLiteral("dispatcher"), pDispatcher != nullptr},
                                             {QStringLiteral("antiAliasing"), m_strAntiAliasing},
                                             {QStringLiteral("quadBuffer"), m_bQuadBuffer}});
    d->pDispatcher = std::move(pDispatcher);
}

void COrlexObjs::setProjection(CProjection* pProjection)
{
    COrlexObjsPrivate::log("setProjection", {{QStringLiteral("projection"), pProjection != nullptr}});
    d->pProjection = pProjection;
}

bool COrlexObjs::addFromDatabase()
{
    int nAdded = 0;
    const std::vector<orlex_objects::StoredObject> rows = d->store.readAll();
    for (const orlex_objects::StoredObject& row : rows) {
        if (d->shownFromStore(row.nRowId))
            continue;
        if (!validPoints(row.points, row.nKind == Line ? 2 : row.nKind == Polygon ? 3 : 1)) {
            qWarning().noquote() << "COrlexObjs: stored object" << row.nRowId << "has unusable points";
            continue;
        }
        SUserObject object;
        object.nKind = row.nKind;
        object.points = row.points;
        object.strName = row.strName;
        object.oColor = QColor(row.strColor);
        if (!object.oColor.isValid())
            object.oColor = d->colors[row.nKind];
        object.nWidth = row.nWidth;
        object.strLink = row.strLink;
        object.nStoreId = row.nRowId;
        d->add(std::move(object), false);
        ++nAdded;
    }
    COrlexObjsPrivate::log("addFromDatabase", {{QStringLiteral("added"), nAdded}, {QStringLiteral("stored"), static_cast<int>(rows.size())}});
    return d->store.isOpen();
}

bool COrlexObjs::readGeoJsonFile(const QString& strPath)
{
    QJsonObject args{{QStringLiteral("path"), strPath}};
    QFile file(platform::toNativePath(strPath));
    QString strError;
    std::vector<CQelGeoJSON> features;
    int nSkipped = 0;
    if (strPath.isEmpty()) {
        strError = QStringLiteral("no file");
    } else if (!file.open(QIODevice::ReadOnly)) {
        strError = file.errorString();
    } else if (file.size() > orlex_objects::kMaxFileBytes) {
        strError = QStringLiteral("file too large");
    } else {
        features = orlex_objects::readGeoJson(file.read(orlex_objects::kMaxFileBytes), strError, &nSkipped);
    }
    for (const CQelGeoJSON& feature : features) {
        SUserObject object;
        object.nKind = feature.m_nType == CQelGeoJSON::LINE ? Line : feature.m_nType == CQelGeoJSON::POLYGON ? Polygon : Point;
        object.oColor = feature.m_strColorName.isEmpty() ? d->colors[object.nKind] : QColor(feature.m_strColorName);
        for (const auto& property : feature.m_vExtraProperties) {
            if (property.first == "name")
                object.strName = QString::fromStdString(property.second);
            else if (property.first == "link")
                object.strLink = QString::fromStdString(property.second);
        }
        if (feature.m_nType == CQelGeoJSON::POINT_SET) {
            // Each point of a set is a point of its own.
            for (std::size_t i = 0; i + 1 < feature.m_vfPoints.size(); i += 2) {
                SUserObject point = object;
                point.points = {feature.m_vfPoints[i], feature.m_vfPoints[i + 1]};
                d->add(std::move(point), false);
            }
            continue;
        }
        object.points = feature.m_vfPoints;
        d->add(std::move(object), false);
    }
    if (!strError.isEmpty()) {
        qWarning().noquote() << "COrlexObjs: cannot read" << strPath << ":" << strError;
        args.insert(QStringLiteral("error"), strError);
    }
    args.insert(QStringLiteral("features"), static_cast<int>(features.size()));
    args.insert(QStringLiteral("skipped"), nSkipped);
    COrlexObjsPrivate::log("readGeoJsonFile", args);
    return strError.isEmpty();
}

bool COrlexObjs::loadSavedPos()
{
    // Earlier saved positions make way for the file's current content.
    for (auto it = d->objects.begin(); it != d->objects.end();) {
        auto next = std::next(it);
        if (it->second.bSavedPosition)
            d->remove(it);
        it = next;
    }
    QFile file(platform::toNativePath(programDataPath() + QStringLiteral("savedpos.txt")));
    bool bOk = file.open(QIODevice::ReadOnly) && file.size() <= orlex_objects::kMaxFileBytes;
    int nSkipped = 0;
    int nShown = 0;
    if (bOk) {
        for (const orlex_objects::SavedPosition& position :
             orlex_objects::readSavedPositions(file.read(orlex_objects::kMaxFileBytes), &nSkipped)) {
            SUserObject object;
            object.nKind = Point;
            object.points = {static_cast<float>(position.dLongitude), static_cast<float>(position.dLatitude)};
            object.strName = position.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
            object.oColor = d->colors[Point];
            object.bSavedPosition = true;
            d->add(std::move(object), false);
            ++nShown;
        }
    }
    COrlexObjsPrivate::log("loadSavedPos", {{QStringLiteral("shown"), nShown}, {QStringLiteral("skipped"), nSkipped}});
    return bOk;
}

bool COrlexObjs::removeAll()
{
    const int nCount = static_cast<int>(d->objects.size());
    while (!d->objects.empty())
        d->remove(d->objects.begin());
    COrlexObjsPrivate::log("removeAll", {{QStringLiteral("removed"), nCount}});
    return true;
}

static std::uint64_t newShape(COrlexObjsPrivate& d, int nKind, const char* szCall, const std::vector<float>& points,
                              std::uint64_t nParent, bool bStore, const QString& strName, int nWidth)
{
    std::uint64_t nId = 0;
    if (validPoints(points, nKind == Line ? 2 : 3)) {
        SUserObject object;
        object.nKind = nKind;
        object.points = points;
        object.strName = strName;
        object.oColor = d.colors[nKind];
        object.nWidth = nWidth > 0 && nWidth <= 20 ? nWidth : 3;
        nId = d.add(std::move(object), bStore);
    }
    COrlexObjsPrivate::log(szCall, {{QStringLiteral("points"), jsonPoints(points)},
                                    {QStringLiteral("parent"), QString::number(nParent)},
                                    {QStringLiteral("store"), bStore},
                                    {QStringLiteral("name"), strName},
                                    {QStringLiteral("width"), nWidth},
                                    {QStringLiteral("id"), QString::number(nId)}});
    return nId;
}

std::uint64_t COrlexObjs::newDremmLine(const std::vector<float>& points, std::uint64_t nParent, bool bStore,
                                       const QString& strName, int nWidth)
{
    return newShape(*d, Line, "newDremmLine", points, nParent, bStore, strName, nWidth);
}

std::uint64_t COrlexObjs::newDremmPolygon(const std::vector<float>& points, std::uint64_t nParent, bool bStore,
                                          const QString& strName, int nWidth)
{
    return newShape(*d, Polygon, "newDremmPolygon", points, nParent, bStore, strName, nWidth);
}

std::uint64_t COrlexObjs::newDremmPoint(const std::vector<float>& points, bool bVisible, std::uint64_t nParent,
                                        bool bStore, const QString& strName, double dSize)
{
    std::uint64_t nId = 0;
    if (validPoints(points, 1)) {
        SUserObject object;
        object.nKind = Point;
        object.points = {points[0], points[1]};
        object.strName = strName;
        object.oColor = d->colors[Point];
        object.bVisible = bVisible;
        if (std::isfinite(dSize) && dSize > 0 && dSize < 1000)
            object.fSize = static_cast<float>(dSize);
        nId = d->add(std::move(object), bStore);
    }
    COrlexObjsPrivate::log("newDremmPoint", {{QStringLiteral("points"), jsonPoints(points)},
                                             {QStringLiteral("visible"), bVisible},
                                             {QStringLiteral("parent"), QString::number(nParent)},
                                             {QStringLiteral("store"), bStore},
                                             {QStringLiteral("name"), strName},
                                             {QStringLiteral("size"), dSize},
                                             {QStringLiteral("id"), QString::number(nId)}});
    return nId;
}

std::uint64_t COrlexObjs::addMarker(const std::vector<float>& points)
{
    std::uint64_t nId = 0;
    if (validPoints(points, 1)) {
        SUserObject object;
        object.nKind = Marker;
        // The marker is at the last point measured.
        object.points = {points[points.size() - 2], points[points.size() - 1]};
        object.oColor = d->colors[Marker];
        object.fSize = 3.0f;
        nId = d->add(std::move(object), false);
    }
    COrlexObjsPrivate::log("addMarker", {{QStringLiteral("points"), jsonPoints(points)}, {QStringLiteral("id"), QString::number(nId)}});
    return nId;
}

std::uint64_t COrlexObjs::updateDynObj(std::string strName, SDynObj oState)
{
    const QString strText = QString::fromStdString(strName);
    QJsonObject args{{QStringLiteral("name"), strText},      {QStringLiteral("x"), oState.X},
                     {QStringLiteral("y"), oState.Y},        {QStringLiteral("z"), oState.Z},
                     {QStringLiteral("size"), oState.nSize}, {QStringLiteral("color"), QString::fromStdString(oState.strColor)}};
    std::uint64_t nId = 0;
    const std::vector<float> point{static_cast<float>(oState.X), static_cast<float>(oState.Y)};
    if (!validDynamicName(strText) || !validPoints(point, 1) || !std::isfinite(oState.Z)) {
        qWarning().noquote() << "COrlexObjs: dynamic object refused";
    } else if (const auto found = d->dynamicIds.find(strName); found != d->dynamicIds.end()) {
        nId = found->second;
        SUserObject& object = d->objects.at(nId);
        object.points = point;
        object.dZ = oState.Z;
        d->redraw(nId, object);
    } else {
        if (d->dynamicIds.size() >= s_nMaxDynamicObjects) {
            if (!d->bDynamicCapLogged) {
                d->bDynamicCapLogged = true;
                qWarning().noquote() << "COrlexObjs: dynamic objects are kept to" << s_nMaxDynamicObjects
                                     << "- the oldest goes for each new name";
            }
            d->removeOldestDynamic();
        }
        SUserObject object;
        object.nKind = Dynamic;
        object.points = point;
        object.dZ = oState.Z;
        object.strName = strText;
        const QString strColor = QString::fromStdString(oState.strColor);
        object.oColor = orlex_objects::isColorText(strColor) ? QColor(strColor) : d->colors[Marker];
        object.fSize = oState.nSize > 0 && oState.nSize <= 1000 ? static_cast<float>(oState.nSize) : 10.0f;
        nId = d->add(std::move(object), false);
        d->dynamicIds.emplace(strName, nId);
        d->dynamicOrder.emplace_back(strName, nId);
        if (d->dynamicOrder.size() > 2 * s_nMaxDynamicObjects) {
            const auto gone = [this](const std::pair<std::string, std::uint64_t>& oEntry) {
                const auto it = d->dynamicIds.find(oEntry.first);
                return it == d->dynamicIds.end() || it->second != oEntry.second;
            };
            d->dynamicOrder.erase(std::remove_if(d->dynamicOrder.begin(), d->dynamicOrder.end(), gone), d->dynamicOrder.end());
        }
    }
    args.insert(QStringLiteral("id"), QString::number(nId));
    COrlexObjsPrivate::log("updateDynObj", args);
    return nId;
}

bool COrlexObjs::deleteObj(std::uint64_t nId, bool bFromView, bool bFromDatabase)
{
    const auto it = d->objects.find(nId);
    const bool bKnown = it != d->objects.end();
    if (bKnown) {
        if (bFromDatabase && it->second.nStoreId != 0) {
            d->store.remove(it->second.nStoreId);
            it->second.nStoreId = 0;
        }
        if (bFromView)
            d->remove(it);
    }
    COrlexObjsPrivate::log("deleteObj", {{QStringLiteral("id"), QString::number(nId)},
                                         {QStringLiteral("view"), bFromView},
                                         {QStringLiteral("database"), bFromDatabase},
                                         {QStringLiteral("result"), bKnown}});
    return bKnown;
}

bool COrlexObjs::editObject(std::uint64_t nId)
{
    const auto it = d->objects.find(nId);
    bool bChanged = false;
    if (it != d->objects.end()) {
        SUserObject& object = it->second;
        orlex_objects::ObjectEditValues values;
        values.strKind = QString::fromLatin1(kindName(object.nKind));
        values.strName = object.strName;
        values.oColor = object.oColor;
        values.strLink = object.strLink;
        values.bPoint = object.points.size() == 2;
        values.dLongitude = object.points[0];
        values.dLatitude = object.points[1];
        if (orlex_objects::editObjectValues(values)) {
            const bool bMoved = values.bPoint
                                    ? (static_cast<float>(values.dLongitude) != object.points[0]
                                       || static_cast<float>(values.dLatitude) != object.points[1])
                                    : (values.dShiftEast != 0 || values.dShiftNorth != 0);
            if (values.bPoint) {
                object.points = {static_cast<float>(values.dLongitude), static_cast<float>(values.dLatitude)};
            } else if (bMoved && d->pProjection) {
                // Every vertex moves by the same distance on the map.
                for (std::size_t i = 0; i + 1 < object.points.size(); i += 2) {
                    double dNorth = 0;
                    double dEast = 0;
                    double dLat = 0;
                    double dLon = 0;
                    if (d->pProjection->toProjected(object.points[i + 1], object.points[i], dNorth, dEast) == 0
                        && d->pProjection->toGeographic(dNorth + values.dShiftNorth * 100.0, dEast + values.dShiftEast * 100.0,
                                                        dLat, dLon)
                               == 0) {
                        object.points[i] = static_cast<float>(dLon);
                        object.points[i + 1] = static_cast<float>(dLat);
                    }
                }
            }
            const bool bRestyled = values.oColor != object.oColor;
            object.strName = values.strName;
            object.oColor = values.oColor;
            object.strLink = values.strLink;
            if (bMoved)
                d->redraw(nId, object);
            if (bRestyled)
                d->recolor(nId, object);
            O::UpdatePropertiesMessage properties;
            properties.Id = nId;
            properties.Properties["Name"] = object.strName.toStdString();
            d->send(properties);
            if (object.nStoreId != 0)
                d->store.update(object.nStoreId, object.strName, object.oColor.name(), object.points, object.strLink);
            bChanged = true;
        }
    }
    COrlexObjsPrivate::log("editObject", {{QStringLiteral("id"), QString::number(nId)}, {QStringLiteral("result"), bChanged}});
    return bChanged;
}

bool COrlexObjs::viewObject(std::uint64_t nId)
{
    const auto it = d->objects.find(nId);
    QUrl url;
    if (it != d->objects.end() && !it->second.strLink.isEmpty()) {
        const QString& strLink = it->second.strLink;
        const QUrl web(strLink, QUrl::StrictMode);
        if (web.isValid() && (web.scheme() == QLatin1String("http") || web.scheme() == QLatin1String("https")))
            url = web;
        else if (QFileInfo(platform::toNativePath(strLink)).isFile())
            url = QUrl::fromLocalFile(QFileInfo(platform::toNativePath(strLink)).absoluteFilePath());
    }
    const bool bOpened = url.isValid() && QDesktopServices::openUrl(url);
    COrlexObjsPrivate::log("viewObject", {{QStringLiteral("id"), QString::number(nId)},
                                          {QStringLiteral("url"), url.toString()},
                                          {QStringLiteral("result"), bOpened}});
    return bOpened;
}

bool COrlexObjs::selectedObject(std::uint64_t nId, int nX, int nY)
{
    const auto it = d->objects.find(nId);
    const bool bKnown = it != d->objects.end();
    if (bKnown) {
        const std::uint64_t nPrevious = d->nSelectedId;
        // A second pick on the selected object deselects it.
        d->nSelectedId = nPrevious == nId ? 0 : nId;
        if (nPrevious != 0 && nPrevious != nId)
            d->recolor(nPrevious, d->objects.at(nPrevious));
        d->recolor(nId, it->second);
    }
    COrlexObjsPrivate::log("selectedObject", {{QStringLiteral("id"), QString::number(nId)},
                                              {QStringLiteral("x"), nX},
                                              {QStringLiteral("y"), nY},
                                              {QStringLiteral("selected"), QString::number(d->nSelectedId)}});
    return bKnown;
}

bool COrlexObjs::isPlanObject(std::uint64_t nId) const
{
    const bool bOurs = d->objects.count(nId) != 0;
    COrlexObjsPrivate::log("isPlanObject", {{QStringLiteral("id"), QString::number(nId)}, {QStringLiteral("result"), bOurs}});
    return bOurs;
}

void COrlexObjs::setColor(int nIndex, const QColor& oColor)
{
    const bool bUsed = nIndex >= 8 && nIndex <= 11 && oColor.isValid();
    if (bUsed)
        d->colors[nIndex - 8] = oColor;
    COrlexObjsPrivate::log("setColor", {{QStringLiteral("index"), nIndex},
                                        {QStringLiteral("color"), oColor.name()},
                                        {QStringLiteral("used"), bUsed}});
}

bool COrlexObjs::setCorridorWidth(const std::vector<int>& line, float fWidth, std::vector<QPoint>& corners)
{
    bool bOk = false;
    if (line.size() >= 4 && std::isfinite(fWidth) && fWidth > 0) {
        const double dX0 = line[0];
        const double dY0 = line[1];
        const double dX1 = line[2];
        const double dY1 = line[3];
        const double dLength = std::hypot(dX1 - dX0, dY1 - dY0);
        if (dLength > 0) {
            // Half the width (metres to centimetres) on each side of the line.
            const double dHalf = static_cast<double>(fWidth) * 50.0;
            const double dNx = -(dY1 - dY0) / dLength * dHalf;
            const double dNy = (dX1 - dX0) / dLength * dHalf;
            corners = {QPoint(static_cast<int>(std::lround(dX0 + dNx)), static_cast<int>(std::lround(dY0 + dNy))),
                       QPoint(static_cast<int>(std::lround(dX1 + dNx)), static_cast<int>(std::lround(dY1 + dNy))),
                       QPoint(static_cast<int>(std::lround(dX1 - dNx)), static_cast<int>(std::lround(dY1 - dNy))),
                       QPoint(static_cast<int>(std::lround(dX0 - dNx)), static_cast<int>(std::lround(dY0 - dNy)))};
            bOk = true;
        }
    }
    QJsonArray lineArgs;
    for (int n : line)
        lineArgs.append(n);
    COrlexObjsPrivate::log("setCorridorWidth", {{QStringLiteral("line"), lineArgs},
                                                {QStringLiteral("width"), static_cast<double>(fWidth)},
                                                {QStringLiteral("result"), bOk}});
    return bOk;
}
