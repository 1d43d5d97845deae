#include "TqelRuntime/RtdPositionBuffer.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <exception>

namespace {

log4cplus::Logger bufferLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("RTDPINGDISP_BUF"));
}

void logException()
{
    LOG4CPLUS_WARN(bufferLogger(), LOG4CPLUS_TEXT("***EXCEPTION***"));
}

} // namespace

CRtdPositionBuffer::CRtdPositionBuffer(unsigned nCapacity, const char* szName, IRtdTextSink* pSink, int nFlags)
    : CRtdBuffer(szName, pSink, nFlags), CRtdRingBuffer<CRtdPositionRecord>(nCapacity)
{
}

CRtdPositionBuffer::~CRtdPositionBuffer() = default;

void CRtdPositionBuffer::clear()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    try {
        m_nLastTime = 0;
        m_nStoreCount = 0;
        clearRing();
    } catch (const std::exception&) {
        logException();
    }
}

void CRtdPositionBuffer::dump()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (flags() & RTD_DUMP_RECORD)
        dumpRecord(size() - 1);
    if (flags() & RTD_DUMP_BUFFER)
        dumpBuffer();
}

bool CRtdPositionBuffer::isDirty(unsigned nCount)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return nCount != m_nStoreCount;
}

void CRtdPositionBuffer::reportDiscard(const char* szReason) const
{
    if (!(flags() & RTD_REPORT_DISCARDS) || !sink())
        return;
    print("\n");
    print("\n*RTD: %-13.13s: Buffer", name());
    print("\n");
    print("\n %s: Datagram Discarded.", szReason);
}

bool CRtdPositionBuffer::store(const void* pDatagram, long nLength)
{
    if (!pDatagram)
        return true;
    const auto* pData = static_cast<const char*>(pDatagram);
    const unsigned nCheckLength = nLength < 0 ? 0u : nLength > 0x7fffffffL ? 0x7fffffffu : static_cast<unsigned>(nLength);
    // A datagram too short to hold its fields is discarded like a bad frame.
    if ((!isType('P', pData, nCheckLength) && !isType('Q', pData, nCheckLength)) || nLength < kMinimumLength) {
        reportDiscard("BAD FORMAT");
        return true;
    }
    if (m_bCheckSum && !checkSum16(pData, static_cast<int>(nCheckLength))) {
        reportDiscard("BAD CHECKSUM");
        return true;
    }

    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    try {
        m_nLastTime = rtd::readU32(pData, 8);
        if (!(static_cast<unsigned char>(pData[32]) & 0x80))
            return true;
        CRtdPositionRecord& record = push();
        record.m_nModelNumber = rtd::readU16(pData, 2);
        record.m_nDate = rtd::readU32(pData, 4);
        record.m_nTime = rtd::readU32(pData, 8);
        record.m_nSequentialCount = rtd::readU16(pData, 12);
        record.m_nSerialNumber = rtd::readU16(pData, 14);
        record.m_nLatitude = rtd::readI32(pData, 16);
        record.m_nLongitude = rtd::readI32(pData, 20);
        record.m_nPositionQuality = rtd::readU16(pData, 24);
        record.m_nSpeed = rtd::readU16(pData, 26);
        record.m_nCourse = rtd::readU16(pData, 28);
        record.m_nHeading = rtd::readU16(pData, 30);
        ++m_nStoreCount;
    } catch (const std::exception&) {
        logException();
    }
    return true;
}

void CRtdPositionBuffer::dumpBuffer()
{
    if (!sink())
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    try {
        const unsigned nSize = size();
        const unsigned nCapacity = capacity();
        print("\n");
        print("\n*RTD: %-12.12s: Buffer", name());
        print("\n");
        // The space flag of "% 9u" does nothing for unsigned numbers: "%9u" prints the same.
        print("\n Buf Size:    %9u", nSize);
        print("\n Buf Cap:     %9u", nCapacity);
        print("\n");
    } catch (const std::exception&) {
        logException();
    }
}

void CRtdPositionBuffer::dumpRecord(unsigned nIndex)
{
    if (!sink())
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    try {
        const CRtdPositionRecord* pRecord = at(nIndex);
        if (!pRecord)
            return;
        print("\n");
        print("\n*RTD: %-12.12s: Record: %u", name(), nIndex);
        print("\n");
        print("\n Model Number:           %10u", static_cast<unsigned>(pRecord->m_nModelNumber));
        print("\n Date:                   %10u", static_cast<unsigned>(pRecord->m_nDate));
        print("\n Time:                   %10u", static_cast<unsigned>(pRecord->m_nTime));
        print("\n Sequential Count:       %10u", static_cast<unsigned>(pRecord->m_nSequentialCount));
        print("\n Serial Number:          %10u", static_cast<unsigned>(pRecord->m_nSerialNumber));
        print("\n Latitude:               %10u", static_cast<unsigned>(pRecord->m_nLatitude));
        print("\n Longitude:              %10u", static_cast<unsigned>(pRecord->m_nLongitude));
        print("\n Position Quality:       %10u", static_cast<unsigned>(pRecord->m_nPositionQuality));
        print("\n Vessel Speed:           %10u", static_cast<unsigned>(pRecord->m_nSpeed));
        print("\n Vessel Course:          %10u", static_cast<unsigned>(pRecord->m_nCourse));
        print("\n Vessel Heading:         %10u", static_cast<unsigned>(pRecord->m_nHeading));
        print("\n");
    } catch (const std::exception&) {
        logException();
    }
}
