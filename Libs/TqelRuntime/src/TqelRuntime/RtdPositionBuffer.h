// The most recent vessel position datagrams that carry the keep flag, in a ring of records.
#pragma once

#include "TqelRuntime/RtdBuffer.h"
#include "TqelRuntime/RtdRingBuffer.h"

#include <cstdint>

// The fields of one position datagram.
class CRtdPositionRecord
{
public:
    virtual ~CRtdPositionRecord() = default;
    void clear() { *this = CRtdPositionRecord(); }

    std::uint16_t m_nModelNumber = 0;
    std::uint32_t m_nDate = 0;
    std::uint32_t m_nTime = 0; // milliseconds since midnight
    std::uint16_t m_nSequentialCount = 0;
    std::uint16_t m_nSerialNumber = 0;
    std::int32_t m_nLatitude = 0;  // degrees x 20,000,000
    std::int32_t m_nLongitude = 0; // degrees x 10,000,000
    std::uint16_t m_nPositionQuality = 0;
    std::uint16_t m_nSpeed = 0;
    std::uint16_t m_nCourse = 0;
    std::uint16_t m_nHeading = 0; // hundredths of a degree
};

class CRtdPositionBuffer : public CRtdBuffer, public CRtdRingBuffer<CRtdPositionRecord>
{
public:
    // Bytes a datagram needs for its fields and the keep flag (byte 32).
    static constexpr long kMinimumLength = 33;

    CRtdPositionBuffer(unsigned nCapacity, const char* szName, IRtdTextSink* pSink, int nFlags);
    ~CRtdPositionBuffer() override;

    void clear() override;
    void dump() override;
    bool isDirty(unsigned nCount) override;
    // Keeps a 'P' or 'Q' datagram of at least 33 bytes whose byte 32 has bit 7 set; always true.
    bool store(const void* pDatagram, long nLength) override;

    void dumpBuffer();
    void dumpRecord(unsigned nIndex);

    // For readers on another thread than the one that stores.
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

    // Switches the 16-bit sum check of store on or off (off at construction).
    void setCheckSum(bool bOn) { m_bCheckSum = bOn; }

private:
    void reportDiscard(const char* szReason) const;

    bool m_bCheckSum = false;
};
