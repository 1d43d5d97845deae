#include "encoders.h"

#include <cmath>
#include <cstring>

namespace livefeed {

namespace {

void put8(Bytes& out, std::uint8_t v)
{
    out.push_back(v);
}

void put16(Bytes& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v)
{
    for (int n = 0; n < 4; ++n)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * n)));
}

void putDouble(Bytes& out, double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int n = 0; n < 8; ++n)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * n)));
}

std::int32_t scaled(double degrees, double factor)
{
    const double v = std::round(degrees * factor);
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

// CBOR head of a major type with the shortest length form.
void cborHead(Bytes& out, std::uint8_t major, std::uint64_t length)
{
    const std::uint8_t m = static_cast<std::uint8_t>(major << 5);
    if (length < 24) {
        out.push_back(static_cast<std::uint8_t>(m | length));
    } else if (length <= 0xFF) {
        out.push_back(m | 24);
        out.push_back(static_cast<std::uint8_t>(length));
    } else if (length <= 0xFFFF) {
        out.push_back(m | 25);
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(length));
    } else if (length <= 0xFFFFFFFFu) {
        out.push_back(m | 26);
        for (int n = 3; n >= 0; --n)
            out.push_back(static_cast<std::uint8_t>(length >> (8 * n)));
    } else {
        out.push_back(m | 27);
        for (int n = 7; n >= 0; --n)
            out.push_back(static_cast<std::uint8_t>(length >> (8 * n)));
    }
}

void cborText(Bytes& out, const std::string& text)
{
    cborHead(out, 3, text.size());
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

Bytes encodePosition(const PositionFix& fix)
{
    Bytes out;
    out.reserve(40 + fix.source.size());
    put8(out, 0x02);
    put8(out, 'Q');
    put16(out, fix.model);
    put32(out, fix.date);
    put32(out, fix.timeOfDayMs);
    put16(out, fix.count);
    put16(out, fix.serial);
    put32(out, static_cast<std::uint32_t>(scaled(fix.latitude, 20000000.0)));
    put32(out, static_cast<std::uint32_t>(scaled(fix.longitude, 10000000.0)));
    put16(out, fix.quality);
    put16(out, fix.speed);
    put16(out, fix.course);
    put16(out, fix.heading);
    put8(out, fix.descriptor);
    put8(out, 0);
    for (char c : fix.source)
        if (c != '\0')
            out.push_back(static_cast<std::uint8_t>(c));
    put8(out, 0);
    std::uint16_t sum = 0;
    for (std::size_t n = 1; n < out.size(); ++n)
        sum = static_cast<std::uint16_t>(sum + out[n]);
    put8(out, 0x03);
    put16(out, sum);
    return out;
}

Bytes encodeGeoDepths(std::uint16_t sequence, const std::vector<GeoSounding>& soundings)
{
    Bytes out;
    out.reserve(32 + 40 * soundings.size());
    static const char head[] = "#RTD feed";
    out.insert(out.end(), head, head + sizeof head - 1);
    out.resize(24, 0);
    put16(out, sequence);
    put16(out, static_cast<std::uint16_t>(soundings.size()));
    put32(out, 0);
    for (const GeoSounding& s : soundings) {
        putDouble(out, s.latitude);
        putDouble(out, s.longitude);
        put32(out, static_cast<std::uint32_t>(s.depthCm));
        out.resize(out.size() + 20, 0);
    }
    return out;
}

Bytes encodeGridDepths(const std::string& tailName, int a, int b, int c, const std::vector<GridSounding>& soundings)
{
    const std::string head = "$TVQEL,30," + tailName + "," + std::to_string(a) + "," + std::to_string(b) + ","
                             + std::to_string(c) + "," + std::to_string(soundings.size()) + ",";
    Bytes out(head.begin(), head.end());
    out.reserve(head.size() + 28 * soundings.size());
    for (const GridSounding& s : soundings) {
        put32(out, static_cast<std::uint32_t>(s.eastCm));
        put32(out, static_cast<std::uint32_t>(s.northCm));
        put32(out, static_cast<std::uint32_t>(s.depthCm));
        out.resize(out.size() + 16, 0);
    }
    return out;
}

std::uint8_t sentenceChecksum(const std::string& body)
{
    std::uint8_t sum = 0;
    for (char c : body)
        sum ^= static_cast<std::uint8_t>(c);
    return sum;
}

std::string tvqelSentence(const std::vector<std::string>& fields, bool checksum)
{
    std::string body = "TVQEL";
    for (const std::string& field : fields)
        body += "," + field;
    if (!checksum)
        return "$" + body;
    static const char hex[] = "0123456789ABCDEF";
    const std::uint8_t sum = sentenceChecksum(body);
    return "$" + body + "*" + hex[sum >> 4] + hex[sum & 15];
}

std::string pqqelSentence(const std::string& keyword, const std::string& argument)
{
    std::string text = "$PQQEL," + keyword;
    if (!argument.empty())
        text += "," + argument;
    return text;
}

std::string base64(const Bytes& bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t n = 0;
    for (; n + 2 < bytes.size(); n += 3) {
        const std::uint32_t v = (bytes[n] << 16) | (bytes[n + 1] << 8) | bytes[n + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (n + 1 == bytes.size()) {
        const std::uint32_t v = bytes[n] << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (n + 2 == bytes.size()) {
        const std::uint32_t v = (bytes[n] << 16) | (bytes[n + 1] << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

Bytes encodeFileRecord(const std::string& fileName, const std::string& folder, const std::string& vessel,
                       const Bytes& contents)
{
    std::string source = folder;
    for (char& c : source)
        if (c == '\\')
            c = '/';
    while (source.size() > 1 && source.back() == '/')
        source.pop_back();
    Bytes out;
    out.reserve(contents.size() * 4 / 3 + 64 + fileName.size() + source.size());
    cborHead(out, 5, 5);
    cborText(out, "Data");
    cborText(out, base64(contents));
    cborText(out, "MessageType");
    cborText(out, fileName);
    cborText(out, "MetaData");
    cborText(out, std::string());
    cborText(out, "SourcePath");
    cborText(out, source);
    cborText(out, "VesselID");
    cborText(out, vessel);
    return out;
}

Bytes frame(const Bytes& record)
{
    Bytes out;
    out.reserve(record.size() + 4);
    put32(out, static_cast<std::uint32_t>(record.size()));
    out.insert(out.end(), record.begin(), record.end());
    return out;
}

} // namespace livefeed
