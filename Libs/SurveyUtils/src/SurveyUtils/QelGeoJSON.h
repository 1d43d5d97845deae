// One user object as a GeoJSON feature: a point, line, polygon or point set with its style and
// the string properties written with it.
#pragma once

#include <QString>

#include <QtGlobal>

#include <string>
#include <utility>
#include <vector>

class CQelGeoJSON {
public:
    enum { POINT = 0, LINE = 1, POLYGON = 2, POINT_SET = 3, NONE = 5 };

    // Takes the next number of the process-wide serial counter.
    CQelGeoJSON();
    CQelGeoJSON(const CQelGeoJSON&) = default;
    CQelGeoJSON& operator=(const CQelGeoJSON&) = default;
    virtual ~CQelGeoJSON();

    int m_nType = NONE;                 // POINT, LINE, POLYGON, POINT_SET; others have no geometry
    std::vector<float> m_vfPoints;      // x, y pairs, x first
    QString m_strTimestamp;
    QString m_strColorName;             // written unchanged
    quint64 m_nObjectId = 0;            // "DREMM_ID"
    int m_nReserved = 0;
    int m_nSerial = 0;                  // from the process-wide counter; a copy keeps it
    bool m_bReserved = false;
    int m_nStyle = 3;
    std::vector<std::pair<std::string, std::string>> m_vExtraProperties; // written as strings
};
