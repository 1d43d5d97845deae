#include "TqelRuntime/PositionFix.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QLatin1String s_strMappedPrefix("::ffff:");

} // namespace

int position_datagram::toWholeCentimetres(double dValue)
{
    if (std::isnan(dValue))
        return 0;
    constexpr double dMax = std::numeric_limits<int>::max();
    constexpr double dMin = std::numeric_limits<int>::min();
    return static_cast<int>(std::trunc(std::min(std::max(dValue, dMin), dMax)));
}

bool position_datagram::parse(const QByteArray& baDatagram, Fix& oFix)
{
    if (baDatagram.size() < FixedBytes)
        return false;
    const auto* pBytes = reinterpret_cast<const unsigned char*>(baDatagram.constData());
    auto u16 = [pBytes](int n) { return static_cast<quint16>(pBytes[n] | (pBytes[n + 1] << 8)); };
    auto u32 = [pBytes](int n) {
        return static_cast<quint32>(pBytes[n]) | (static_cast<quint32>(pBytes[n + 1]) << 8) | (static_cast<quint32>(pBytes[n + 2]) << 16)
               | (static_cast<quint32>(pBytes[n + 3]) << 24);
    };
    oFix.cType = static_cast<char>(pBytes[1]);
    oFix.nModel = u16(2);
    oFix.nSerial = u16(14);
    oFix.nLatitude = static_cast<qint32>(u32(16));
    oFix.nLongitude = static_cast<qint32>(u32(20));
    oFix.nQuality = u16(24);
    oFix.nHeading = u16(30);
    oFix.nDescriptor = pBytes[32];
    // The source name ends at its NUL byte or at the end of the datagram.
    const int nNameEnd = baDatagram.indexOf('\0', FixedBytes);
    const int nNameLength = (nNameEnd < 0 ? baDatagram.size() : nNameEnd) - FixedBytes;
    oFix.strSource = QString::fromLatin1(baDatagram.constData() + FixedBytes, nNameLength);
    return true;
}

QString position_datagram::vesselLabel(const Fix& oFix)
{
    return QStringLiteral("%3:%1_%2").arg(oFix.nModel).arg(oFix.nSerial).arg(oFix.strSource);
}

QString position_datagram::remoteClientTarget(QString strSender, const QList<QHostAddress>& lstLocal)
{
    if (strSender.startsWith(s_strMappedPrefix))
        strSender.remove(s_strMappedPrefix);
    // Only a plain IPv4 sender is a station the client can be pointed at.
    const QHostAddress oSender(strSender);
    if (oSender.protocol() != QAbstractSocket::IPv4Protocol || oSender.toString() != strSender)
        return QString();
    for (const QHostAddress& oLocal : lstLocal) {
        if (oLocal.protocol() != QAbstractSocket::IPv4Protocol || oLocal == QHostAddress(QHostAddress::LocalHost))
            continue;
        qDebug().noquote() << oLocal.toString();
        if (oLocal.toString() == strSender) {
            qDebug() << "From my PC";
            return QString();
        }
    }
    return strSender;
}
