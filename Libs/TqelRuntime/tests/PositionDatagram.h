// Builds vessel position datagrams for tests: the fixed layout, the source name, and the optional
// ETX and 16-bit sum trailer.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>

namespace corvtest {

struct PositionFix
{
    char cType = 'Q';
    std::uint16_t nModel = 2040;
    std::uint32_t nDate = 20240101;
    std::uint32_t nTimeMs = 43200000;
    std::uint16_t nCount = 1;
    std::uint16_t nSerial = 17;
    std::int32_t nLatitude = 0;  // degrees x 20,000,000
    std::int32_t nLongitude = 0; // degrees x 10,000,000
    std::uint16_t nQuality = 0xFFFF;
    std::uint16_t nSpeed = 0;
    std::uint16_t nCourse = 0;
    std::uint16_t nHeading = 0;
    std::uint8_t nDescriptor = 0x81;
    std::string strSource = "GPS1";
    bool bTrailer = true; // ETX and the byte sum after the name
};

inline void putLe(QByteArray& bytes, int nOffset, std::uint32_t nValue, int nSize)
{
    for (int n = 0; n < nSize; ++n)
        bytes[nOffset + n] = static_cast<char>((nValue >> (8 * n)) & 0xFF);
}

inline QByteArray positionDatagram(const PositionFix& fix)
{
    QByteArray bytes(34, '\0');
    bytes[0] = 0x02;
    bytes[1] = fix.cType;
    putLe(bytes, 2, fix.nModel, 2);
    putLe(bytes, 4, fix.nDate, 4);
    putLe(bytes, 8, fix.nTimeMs, 4);
    putLe(bytes, 12, fix.nCount, 2);
    putLe(bytes, 14, fix.nSerial, 2);
    putLe(bytes, 16, static_cast<std::uint32_t>(fix.nLatitude), 4);
    putLe(bytes, 20, static_cast<std::uint32_t>(fix.nLongitude), 4);
    putLe(bytes, 24, fix.nQuality, 2);
    putLe(bytes, 26, fix.nSpeed, 2);
    putLe(bytes, 28, fix.nCourse, 2);
    putLe(bytes, 30, fix.nHeading, 2);
    bytes[32] = static_cast<char>(fix.nDescriptor);
    bytes.append(fix.strSource.c_str(), static_cast<int>(fix.strSource.size()));
    bytes.append('\0');
    if (fix.bTrailer) {
        std::uint16_t nSum = 0;
        for (int n = 1; n < bytes.size(); ++n)
            nSum = static_cast<std::uint16_t>(nSum + static_cast<unsigned char>(bytes[n]));
        bytes.append('\x03');
        bytes.append(static_cast<char>(nSum & 0xFF));
        bytes.append(static_cast<char>(nSum >> 8));
    }
    return bytes;
}

} // namespace corvtest
