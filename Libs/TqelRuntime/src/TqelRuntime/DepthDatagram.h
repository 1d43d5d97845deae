// Reading the real-time depth datagrams of the sounder runtime in their two forms (not part of the
// library's interface). Every read stays within the datagram.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace depth_datagram {

// Records of the projected form used; counts up to WarnRecords draw a warning, larger ones are
// ignored silently.
constexpr int MaxRecords = 1199;
constexpr int WarnRecords = 1600;
constexpr int PositionHeaderBytes = 32;
constexpr int PositionRecordBytes = 40;
constexpr int ProjectedRecordBytes = 28;

enum class Status {
    Used,
    Ignored,      // silently
    CountWarning, // projected form, 1200 to 1600 records
    BadCount,     // position form, count outside 1 to 1199
    Short,        // fewer bytes than the records need
};

// Whether the datagram is in the projected form ("$TVQEL" anywhere in it).
bool isProjectedForm(const QByteArray& baDatagram);

// Projected form: x/100, y/100 and -(depth/100) of each record appended to adPoints, and the tail
// name (name field, ':', A + B).
Status readProjected(const QByteArray& baDatagram, std::vector<double>& adPoints, QString& strTailName, int& nRecords);

// Position form: the sequence counter and record count (both 0 when the header is short), and the
// latitude, longitude and depth in metres of each record appended to the lists.
Status readPosition(const QByteArray& baDatagram, quint16& nSequence, int& nRecords, std::vector<double>& adLatitudes,
                    std::vector<double>& adLongitudes, std::vector<double>& adDepths);

// Projected centimetres rounded to the nearest whole centimetre, halves upward.
double roundCentimetres(double dValue);

} // namespace depth_datagram
