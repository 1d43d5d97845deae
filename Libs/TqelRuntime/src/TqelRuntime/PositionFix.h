// Reading the fixed-layout vessel position datagram, and the rules the runtime link applies to it
// (not part of the library's interface).
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace position_datagram {

// Bytes before the source name.
constexpr int FixedBytes = 34;

struct Fix {
    char cType = 0;
    quint16 nModel = 0;
    quint16 nSerial = 0;
    qint32 nLatitude = 0;  // degrees x 20,000,000
    qint32 nLongitude = 0; // degrees x 10,000,000
    quint16 nQuality = 0;
    quint16 nHeading = 0; // hundredths of a degree
    quint8 nDescriptor = 0;
    QString strSource;
};

// False when the datagram is too short for its fixed fields.
bool parse(const QByteArray& baDatagram, Fix& oFix);
// "source:model_serial", the ship model's key of the vessel.
QString vesselLabel(const Fix& oFix);
// Projected centimetres as a whole number, the fraction dropped; values beyond int are held at
// its ends, NaN gives 0.
int toWholeCentimetres(double dValue);
// The host the remote-station client connects to for the first position's sender (an IPv4 text,
// "::ffff:" prefix allowed): empty for an address of this computer or a text that is no IPv4
// address.
QString remoteClientTarget(QString strSender, const QList<QHostAddress>& lstLocal);

} // namespace position_datagram
