// The viewer object library: keeps the operator's user objects (points, lines, polygons, markers,
// dynamic objects), stores them in the user-object database and draws them in the viewer.
#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CProjection;

namespace Dremm::Orlex::QtClient {
class MessageDispatcher;
} // namespace Dremm::Orlex::QtClient

// State of a dynamic object; X longitude and Y latitude in degrees, Z metres.
struct SDynObj
{
    std::uint64_t nId = 0;     // 0: the library's own id
    std::uint64_t nParent = 0; // not used
    double X = 0;
    double Y = 0;
    double Z = 0;
    std::int32_t nSize = 10;
    std::string strColor = "#ff0000";
};

class COrlexObjsPrivate;

class COrlexObjs : public QObject
{
    Q_OBJECT
public:
    explicit COrlexObjs(QObject* pParent = nullptr);
    ~COrlexObjs() override;

    // Set once after construction: the anti-aliasing setting as text and quad buffering.
    QString m_strAntiAliasing;
    bool m_bQuadBuffer = false;

    void setDispatcher(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher);
    // Used until the next call; null stops every conversion.
    void setProjection(CProjection* pProjection);

    // Every object of the user-object database.
    bool addFromDatabase();
    bool readGeoJsonFile(const QString& strPath);
    // A point for each line of the data folder's "savedpos.txt".
    bool loadSavedPos();
    // Removes every object from the view (the database keeps them).
    bool removeAll();

    // Point lists hold (longitude, latitude) pairs in degrees. bStore keeps the object in the
    // user-object database. The result is the new object's id, 0 when the list is unusable.
    std::uint64_t newDremmLine(const std::vector<float>& points, std::uint64_t nParent, bool bStore,
                               const QString& strName, int nWidth);
    std::uint64_t newDremmPolygon(const std::vector<float>& points, std::uint64_t nParent, bool bStore,
                                  const QString& strName, int nWidth);
    // dSize: the point's size in metres, 0 for the default.
    std::uint64_t newDremmPoint(const std::vector<float>& points, bool bVisible, std::uint64_t nParent,
                                bool bStore, const QString& strName, double dSize);
    std::uint64_t addMarker(const std::vector<float>& points);
    // Creates the named dynamic object or moves it.
    std::uint64_t updateDynObj(std::string strName, SDynObj oState);

    // bFromView removes it from the view, bFromDatabase from the database; false for an unknown id.
    bool deleteObj(std::uint64_t nId, bool bFromView, bool bFromDatabase);
    // Opens the object's dialog; false for an unknown id or when cancelled.
    bool editObject(std::uint64_t nId);
    // Opens the object's media file or URL; false when it has none.
    bool viewObject(std::uint64_t nId);
    // A pick on an object (x, y projected centimetres): selects it; a second pick deselects it.
    bool selectedObject(std::uint64_t nId, int nX, int nY);
    // True for an object of this library.
    bool isPlanObject(std::uint64_t nId) const;
    // Colour of later objects: index 8 points, 9 lines, 10 polygons, 11 markers.
    void setColor(int nIndex, const QColor& oColor);

    // The corridor of that width (metres) around the line x0, y0, x1, y1 (centimetres): its four
    // corners in centimetres. False for a line of no length or a width not above 0.
    static bool setCorridorWidth(const std::vector<int>& line, float fWidth, std::vector<QPoint>& corners);

private:
    std::unique_ptr<COrlexObjsPrivate> d;
};
