#include "TqelRuntime/RtdBuffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace rtd {

std::uint16_t readU16(const char* pData, unsigned nOffset)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pData) + nOffset;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const char* pData, unsigned nOffset)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pData) + nOffset;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
           | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t readI32(const char* pData, unsigned nOffset)
{
    return static_cast<std::int32_t>(readU32(pData, nOffset));
}

} // namespace rtd

namespace {

constexpr std::size_t kLogDataSize = 1024;
constexpr std::size_t kTextSize = 256;

} // namespace

CRtdBuffer::CRtdBuffer(const char* szName, IRtdTextSink* pSink, int nFlags) : m_pSink(pSink), m_nFlags(nFlags)
{
    if (szName) {
        const std::size_t nLength = std::strlen(szName);
        m_pName = std::make_unique<char[]>(nLength + 1);
        std::memcpy(m_pName.get(), szName, nLength + 1);
    }
}

CRtdBuffer::~CRtdBuffer() = default;

void CRtdBuffer::clear()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_nLastTime = 0;
    m_nStoreCount = 0;
}

void CRtdBuffer::dump()
{
}

bool CRtdBuffer::isDirty(unsigned nCount)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return nCount != m_nStoreCount;
}

bool CRtdBuffer::store(const void*, long)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ++m_nStoreCount;
    return true;
}

void CRtdBuffer::logData(const char* szFormat, ...)
{
    if (!(m_nFlags & RTD_LOG_DATA) || !m_pSink || !szFormat)
        return;
    char szText[kLogDataSize];
    const int nPrefix = std::snprintf(szText, sizeof szText, "\n*RTD: %-12.12s::logData(): ", name());
    if (nPrefix < 0)
        return;
    std::va_list args;
    va_start(args, szFormat);
    // vsnprintf cuts an overlong text at the end of the buffer.
    std::vsnprintf(szText + nPrefix, sizeof szText - static_cast<std::size_t>(nPrefix), szFormat, args);
    va_end(args);
    m_pSink->write(szText);
}

void CRtdBuffer::print(const char* szFormat, ...) const
{
    if (!m_pSink)
        return;
    char szText[kTextSize];
    std::va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szText, sizeof szText, szFormat, args);
    va_end(args);
    m_pSink->write(szText);
}

bool CRtdBuffer::isType(char cType, const char* pData, unsigned nLength) const
{
    return nLength > 16 && pData && pData[0] == 0x02 && pData[1] == cType;
}

bool CRtdBuffer::isNamed(const char* szName, const char* pData, unsigned nLength) const
{
    if (nLength <= 20 || !pData || !szName)
        return false;
    char name[4] = {0, 0, 0, 0};
    std::memcpy(name, szName, strnlen(szName, sizeof name));
    return std::memcmp(pData + 4, name, sizeof name) == 0;
}

bool CRtdBuffer::hasValueAt8(int nValue, const char* pData, unsigned nLength) const
{
    return nLength > 20 && pData && rtd::readI32(pData, 8) == nValue;
}

bool CRtdBuffer::checkSum16(const char* pData, int nLength) const
{
    if (!pData || nLength < 4)
        return false;
    std::uint16_t nSum = 0;
    for (int i = 1; i < nLength - 3; ++i)
        nSum = static_cast<std::uint16_t>(nSum + static_cast<unsigned char>(pData[i]));
    return rtd::readU16(pData, static_cast<unsigned>(nLength - 2)) == nSum;
}

bool CRtdBuffer::checkLengthTrailer(const char* pData, int nLength) const
{
    if (!pData || nLength < 4)
        return false;
    return rtd::readU32(pData, static_cast<unsigned>(nLength - 4)) == rtd::readU32(pData, 0);
}

std::uint32_t CRtdBuffer::lastTime() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_nLastTime;
}

std::uint32_t CRtdBuffer::storeCount() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_nStoreCount;
}
