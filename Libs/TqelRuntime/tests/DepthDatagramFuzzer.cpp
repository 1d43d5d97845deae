// libFuzzer entry: real-time depth datagrams of any shape through both readers; every point read
// must come from a record that lies within the datagram.
#include "TqelRuntime/DepthDatagram.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    // An exact-size copy, so that any read past the end is caught.
    const std::vector<char> bytes(pData, pData + nSize);
    const QByteArray baDatagram = QByteArray::fromRawData(bytes.data(), static_cast<int>(bytes.size()));
    std::vector<double> adPoints;
    QString strTail;
    int nRecords = 0;
    if (depth_datagram::isProjectedForm(baDatagram)) {
        if (depth_datagram::readProjected(baDatagram, adPoints, strTail, nRecords) == depth_datagram::Status::Used
            && (adPoints.size() != 3 * static_cast<std::size_t>(nRecords) || nRecords > depth_datagram::MaxRecords
                || static_cast<std::size_t>(nRecords) * depth_datagram::ProjectedRecordBytes > nSize))
            __builtin_trap();
    } else {
        quint16 nSequence = 0;
        std::vector<double> adLatitudes;
        std::vector<double> adLongitudes;
        std::vector<double> adDepths;
        if (depth_datagram::readPosition(baDatagram, nSequence, nRecords, adLatitudes, adLongitudes, adDepths)
                == depth_datagram::Status::Used
            && (adDepths.size() != static_cast<std::size_t>(nRecords)
                || depth_datagram::PositionHeaderBytes + static_cast<std::size_t>(nRecords) * depth_datagram::PositionRecordBytes > nSize))
            __builtin_trap();
    }
    return 0;
}
