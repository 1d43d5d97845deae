// Position datagrams of any shape through the frame checks and the ring buffer's store, with the
// sum check and the discard reports switched by the first byte.
#include "TqelRuntime/PositionFix.h"
#include "TqelRuntime/RtdPositionBuffer.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class NullSink : public IRtdTextSink
{
public:
    void write(const char* szText) override { m_nBytes += std::strlen(szText); }
    std::size_t m_nBytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    static NullSink s_sink;
    static CRtdPositionBuffer s_buffer(3, "FUZZ_POS_BUF_NAME", &s_sink,
                                       CRtdBuffer::RTD_REPORT_DISCARDS | CRtdBuffer::RTD_DUMP_BUFFER | CRtdBuffer::RTD_DUMP_RECORD);
    if (nSize == 0)
        return 0;
    const bool bCheckSum = pData[0] & 1;
    // An exact-size copy, so that any read past the end is caught.
    std::vector<char> datagram(pData + 1, pData + nSize);
    const char* p = datagram.empty() ? nullptr : datagram.data();
    const auto nLength = static_cast<long>(datagram.size());

    s_buffer.setCheckSum(bCheckSum);
    s_buffer.store(p, nLength);
    s_buffer.dump();
    const auto nUnsigned = static_cast<unsigned>(datagram.size());
    s_buffer.isType('Q', p, nUnsigned);
    s_buffer.isNamed("GPS", p, nUnsigned);
    s_buffer.hasValueAt8(0, p, nUnsigned);
    s_buffer.checkSum16(p, static_cast<int>(nLength));
    s_buffer.checkLengthTrailer(p, static_cast<int>(nLength));
    for (unsigned n = 0; n < s_buffer.size(); ++n)
        if (!s_buffer.at(n))
            __builtin_trap();

    // The runtime link's reading of the datagram, also from an exact-size copy.
    const QByteArray baDatagram = QByteArray(datagram.data(), static_cast<int>(datagram.size()));
    position_datagram::Fix oFix;
    if (position_datagram::parse(baDatagram, oFix)) {
        const QString strLabel = position_datagram::vesselLabel(oFix);
        if (!strLabel.contains(QLatin1Char(':')))
            __builtin_trap();
        position_datagram::toWholeCentimetres(oFix.nLatitude * 1e10 / (oFix.nHeading + 1));
    }
    return 0;
}
