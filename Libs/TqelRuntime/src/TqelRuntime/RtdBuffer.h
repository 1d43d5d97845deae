// Base of the real-time display buffers: name, text sink, option flags, store counter, recursive
// lock and the frame checks the buffers share.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

// Where a buffer's dumps and reports go; the buffer never owns it.
class IRtdTextSink
{
public:
    virtual ~IRtdTextSink() = default;
    virtual void write(const char* szText) = 0;
};

class CRtdBuffer
{
public:
    // Option flags.
    enum : int
    {
        RTD_LOG_DATA = 0x01,        // logData prints
        RTD_DUMP_BUFFER = 0x02,     // dump prints the summary
        RTD_DUMP_RECORD = 0x04,     // dump prints the newest record
        RTD_REPORT_DISCARDS = 0x10, // store reports each discarded datagram
    };

    CRtdBuffer(const char* szName, IRtdTextSink* pSink, int nFlags);
    virtual ~CRtdBuffer();
    CRtdBuffer(const CRtdBuffer&) = delete;
    CRtdBuffer& operator=(const CRtdBuffer&) = delete;

    virtual void clear();
    virtual void dump();
    // True when nCount differs from the number of records stored.
    virtual bool isDirty(unsigned nCount);
    virtual bool store(const void* pDatagram, long nLength);
    virtual void logData(const char* szFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // Frame checks; none reads outside [pData, pData + nLength).
    virtual bool isType(char cType, const char* pData, unsigned nLength) const;
    virtual bool isNamed(const char* szName, const char* pData, unsigned nLength) const;
    virtual bool hasValueAt8(int nValue, const char* pData, unsigned nLength) const;
    // The 16-bit value at nLength - 2 equals the byte sum from offset 1 up to nLength - 3.
    virtual bool checkSum16(const char* pData, int nLength) const;
    // The 32-bit value at nLength - 4 equals the one at offset 0.
    virtual bool checkLengthTrailer(const char* pData, int nLength) const;

    std::uint32_t lastTime() const;
    std::uint32_t storeCount() const;

protected:
    // The name as printed: empty when there is none.
    const char* name() const { return m_pName ? m_pName.get() : ""; }
    IRtdTextSink* sink() const { return m_pSink; }
    int flags() const { return m_nFlags; }
    // Formats one text into a fixed buffer and writes it to the sink (when there is one).
    void print(const char* szFormat, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    std::unique_ptr<char[]> m_pName;
    IRtdTextSink* m_pSink = nullptr;
    int m_nFlags = 0;
    std::uint32_t m_nLastTime = 0;
    std::uint32_t m_nStoreCount = 0;
    mutable std::recursive_mutex m_mutex;
};

// Little-endian reads of a datagram's fields; the caller has checked the length.
namespace rtd {
std::uint16_t readU16(const char* pData, unsigned nOffset);
std::uint32_t readU32(const char* pData, unsigned nOffset);
std::int32_t readI32(const char* pData, unsigned nOffset);
} // namespace rtd
