// Hand-written protocol bytes for tests that play the client, kept apart from the stand-in's own
// codec so that a fault of the codec cannot hide on both sides.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstring>

namespace clientbytes {

class Bytes {
public:
    // Hex digits, blanks between bytes allowed: "01 06 AC 02 00".
    Bytes& hex(const char* digits)
    {
        m_bytes += QByteArray::fromHex(QByteArray(digits).replace(' ', ""));
        return *this;
    }
    Bytes& f64(double v)
    {
        char raw[8];
        std::memcpy(raw, &v, 8);
        m_bytes.append(raw, 8);
        return *this;
    }
    Bytes& f32(float v)
    {
        char raw[4];
        std::memcpy(raw, &v, 4);
        m_bytes.append(raw, 4);
        return *this;
    }
    Bytes& text(const char* s) // length byte (below 128) and the bytes
    {
        m_bytes += static_cast<char>(std::strlen(s));
        m_bytes += s;
        return *this;
    }
    Bytes& raw(const QByteArray& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    operator QByteArray() const { return m_bytes; }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// A header naming "Tavrin.Dremm.Orlex." + 'name', then the body.
inline QByteArray message(const char* name, const QByteArray& body)
{
    const QByteArray type = QByteArray("Tavrin.Dremm.Orlex.") + name;
    return Bytes().hex("09").text(type.constData()).hex("00").raw(body).bytes();
}

inline QByteArray versionMessage()
{
    return message("OrlexVersionMessage", Bytes().hex("01 00"));
}

} // namespace clientbytes
