// The library's dialog for editing one user object.
#pragma once

#include <QColor>
#include <QString>

namespace orlex_objects {

struct ObjectEditValues
{
    QString strKind;
    QString strName;
    QColor oColor;
    QString strLink; // media file or web address
    bool bPoint = false;
    // A point's place; degrees.
    double dLongitude = 0;
    double dLatitude = 0;
    // A line or polygon moves by this many metres.
    double dShiftEast = 0;
    double dShiftNorth = 0;
};

// Shows the modal dialog "Edit object"; true and the new values after OK.
bool editObjectValues(ObjectEditValues& values);

} // namespace orlex_objects
