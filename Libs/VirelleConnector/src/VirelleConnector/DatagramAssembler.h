// Cuts a TCP byte stream into length-prefixed datagrams (uint32 little-endian total length first).
#pragma once

#include <QByteArray>
#include <QList>

class CDatagramAssembler {
public:
    // Largest datagram accepted; a longer announced length breaks the stream.
    static constexpr quint32 s_nMaxLength = 4 * 1024 * 1024;
    // Smallest: the length word and the four type characters.
    static constexpr quint32 s_nMinLength = 8;

    // Appends bytes and returns every datagram they complete, in order. False when the stream
    // announced a length out of bounds: the buffer is then dropped and the stream is unusable.
    bool feed(const QByteArray& bytes, QList<QByteArray>& complete);
    int buffered() const { return m_baBuffer.size(); }

private:
    QByteArray m_baBuffer;
};
