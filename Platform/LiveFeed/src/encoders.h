// Byte encoders for what the stand-in main station and sounder runtime send: the position
// datagram, the two real-time depth forms, "$TVQEL" and "$PQQEL" sentences and the file record
// of the remote-station link with its frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace livefeed {

using Bytes = std::vector<std::uint8_t>;

struct PositionFix {
    std::uint16_t model = 2200;
    std::uint16_t serial = 101;
    std::uint32_t date = 0;           // yyyymmdd
    std::uint32_t timeOfDayMs = 0;
    std::uint16_t count = 0;
    double latitude = 0;              // degrees
    double longitude = 0;             // degrees
    std::uint16_t quality = 0xFFFF;   // 0xFFFF: the display keeps it in the position history
    std::uint16_t speed = 0;          // cm/s
    std::uint16_t course = 0;         // hundredths of a degree
    std::uint16_t heading = 0;        // hundredths of a degree
    std::uint8_t descriptor = 0x81;
    std::string source = "SIM";
};

// STX "Q" ... source name, NUL, ETX and the 16-bit sum of the bytes from offset 1 to the ETX.
Bytes encodePosition(const PositionFix& fix);

struct GeoSounding {
    double latitude = 0;   // degrees
    double longitude = 0;  // degrees
    std::int32_t depthCm = 0; // positive down
};

// Position form: 32-byte head (sequence at 24, count at 26), 40-byte records.
Bytes encodeGeoDepths(std::uint16_t sequence, const std::vector<GeoSounding>& soundings);

struct GridSounding {
    std::int32_t eastCm = 0;
    std::int32_t northCm = 0;
    std::int32_t depthCm = 0; // positive down
};

// Projected form: "$TVQEL,30,<tail>,<a>,<b>,<c>,<n>," then 28-byte records.
Bytes encodeGridDepths(const std::string& tailName, int a, int b, int c, const std::vector<GridSounding>& soundings);

// "$TVQEL," fields joined by ',' and, when asked, "*hh"; no line end (the receiver appends one).
std::string tvqelSentence(const std::vector<std::string>& fields, bool checksum = true);

// "$PQQEL,<keyword>[,<argument>]" without checksum or line end.
std::string pqqelSentence(const std::string& keyword, const std::string& argument = std::string());

// The exclusive or of the bytes between '$' and '*'.
std::uint8_t sentenceChecksum(const std::string& body);

// The file record: a CBOR map of five text strings in key order, "Data" in base64.
Bytes encodeFileRecord(const std::string& fileName, const std::string& folder, const std::string& vessel,
                       const Bytes& contents);

// A 32-bit little-endian length, then the record.
Bytes frame(const Bytes& record);

std::string base64(const Bytes& bytes);

} // namespace livefeed
