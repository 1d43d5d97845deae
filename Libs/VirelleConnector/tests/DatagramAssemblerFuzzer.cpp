// The command-stream reassembly on arbitrary bytes, fed in pieces whose sizes come from the input.
#include "VirelleConnector/DatagramAssembler.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::size_t nPiece = std::size_t(pData[0] % 64) + 1;
    const QByteArray baStream(reinterpret_cast<const char*>(pData + 1), int(nSize - 1));
    CDatagramAssembler oAssembler;
    int nConsumed = 0;
    for (int nOffset = 0; nOffset < baStream.size(); nOffset += int(nPiece)) {
        QList<QByteArray> lstComplete;
        const bool bOk = oAssembler.feed(baStream.mid(nOffset, int(nPiece)), lstComplete);
        for (const QByteArray& baDatagram : lstComplete) {
            // Every datagram is exactly as long as it says, within bounds, and cut from the stream.
            if (baDatagram.size() < int(CDatagramAssembler::s_nMinLength)
                || quint32(baDatagram.size()) != qFromLittleEndian<quint32>(baDatagram.constData())
                || baDatagram.size() > int(CDatagramAssembler::s_nMaxLength)
                || baStream.mid(nConsumed, baDatagram.size()) != baDatagram)
                __builtin_trap();
            nConsumed += baDatagram.size();
        }
        if (oAssembler.buffered() > int(CDatagramAssembler::s_nMaxLength))
            __builtin_trap();
        if (!bOk)
            break;
    }
    return 0;
}
