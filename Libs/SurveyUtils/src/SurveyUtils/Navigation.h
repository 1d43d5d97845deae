// Navigation helpers: distance and heading between projected points, packed degree-minute
// forms, scales of the ellipsoid, sentence fields, process look-ups and datagram types.
#pragma once

#include <QByteArray>
#include <QString>

// The most fields splitSentenceFields returns by default; also the row count callers allocate.
inline constexpr int kMaxSentenceFields = 200;
inline constexpr int kSentenceFieldSize = 50;

// Distance (cm) and heading (degrees, 0 to 360) from point 1 to point 2, given as projected north
// and east in centimetres. The token "ROZOVED_COMPASS_USE_GEODESY_LIB" chooses the geodesic on
// WGS 84 (a whole number of centimetres, through the process-wide projection) or the plane.
// A zero distance leaves the heading as it was; a geodesic the projection cannot give sets the
// distance to NaN and leaves the heading as it was.
void computeDistanceHeading(double dNorth1, double dEast1, double dNorth2, double dEast2,
                            double* pdDistance, double* pdHeading);

// Decimal degrees to ddmm.mmmm (sign kept: -10.5 gives -1030).
void degreesToDdmm(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude);
// Decimal degrees to ddmmss.ss (10.5125 gives 103045).
void degreesToDdmmss(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude);
// ddmm.mmmm to decimal degrees (sign kept).
void ddmmToDegrees(double dLatitude, double dLongitude, double* pdLatitude, double* pdLongitude);

// Centimetres per degree of latitude and of longitude at the latitude (degrees) on the ellipsoid
// of the semi-major axis (m) and inverse flattening. Returns 0.
int cmPerDegree(double dLatitude, double dLongitude, double dSemiMajorAxis, double dInverseFlattening,
                double* pdCmPerDegreeLatitude, double* pdCmPerDegreeLongitude);

// Splits a sentence of at most 198 characters, ended by NUL, CR or LF, at its first '*' and then
// at ',' into rows of at most 49 characters; the text after the last comma counts only when not
// empty. At most nMaxFields rows are written, further fields are ignored. Returns 0, or -1 (and
// writes nothing) for a null argument or an unterminated or too long sentence. The sentence's
// CR or LF is replaced by NUL.
int splitSentenceFields(char* szSentence, char aszFields[][kSentenceFieldSize], int* pnCount,
                        int nMaxFields = kMaxSentenceFields);

// True when a process of this user with that image name (compared without case) runs.
bool isProcessRunning(const wchar_t* wszImageName);

// Ends one process of this user at once; non-zero when it was ended, 0 when it could not be.
int killProcessById(int nProcessId);

// The four type characters after the 4-byte length of a fixed-layout datagram; empty when the
// datagram is shorter than 8 bytes.
QString datagramTypeName(const QByteArray& baDatagram);
