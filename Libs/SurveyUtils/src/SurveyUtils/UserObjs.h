// A collection of user objects written as a GeoJSON feature collection.
#pragma once

#include "SurveyUtils/QelGeoJSON.h"
#include "SurveyUtils/UserObjDB.h"

#include <QColor>
#include <QObject>
#include <QVector>

class CUserObjs : public QObject {
    Q_OBJECT
public:
    // Also opens the user-object database (once per process).
    explicit CUserObjs(QObject* poParent = nullptr);

    void addObject(const CQelGeoJSON& oObject);

    // Writes every feature as a "FeatureCollection"; the file is replaced only by a complete
    // document. False when there is nothing to write (the file is left as it was) or the file
    // cannot be written. A feature that would not be valid GeoJSON (a coordinate that is not
    // finite, a line of one position, a polygon of two) is left out with a warning; an extra
    // property never replaces the object's "DREMM_ID".
    bool writeGeoJson(const QString& strFileName);

    bool isModified() const { return m_bModified; }

private:
    QColor m_oPointColor;
    QColor m_oLineColor;
    QColor m_oPolygonColor;
    QVector<CQelGeoJSON> m_voObjects;
    CUserObjDB m_oDatabase;
    bool m_bModified = false;
};
