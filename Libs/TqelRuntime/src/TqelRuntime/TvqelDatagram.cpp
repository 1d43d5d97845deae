#include "TqelRuntime/TvqelDatagram.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

CTvqelDatagram::CTvqelDatagram(const char* szLine, bool bLineFeedMode)
{
    if (!szLine)
        return;
    const char cStop = bLineFeedMode ? '\n' : '\r';
    const char* szStop = std::strchr(szLine, cStop);
    // Without a stop byte the terminating zero byte is copied and counted.
    const std::size_t nTaken = szStop ? static_cast<std::size_t>(szStop - szLine) + 1 : std::strlen(szLine) + 1;
    m_strText.assign(szLine, nTaken);
    m_nLength = static_cast<int>(nTaken);

    const std::string& s = m_strText;
    const std::size_t n = s.size();
    m_nDataEnd = n;
    if (n < 3 || s[0] != '$')
        return;
    if (s[n - 2] == '\n' && s[n - 1] == '\r')
        m_bValid = s.find("$TVQEL") != std::string::npos;
    else
        m_bValid = bLineFeedMode;
    if (!m_bValid)
        return;

    if (n >= 5 && s[n - 5] == '*') {
        m_bHasChecksum = true;
        m_nDataEnd = n - 5;
        const int nHigh = hexDigit(s[n - 4]);
        const int nLow = hexDigit(s[n - 3]);
        unsigned char nSum = 0;
        for (std::size_t i = 1; i < m_nDataEnd; ++i)
            nSum ^= static_cast<unsigned char>(s[i]);
        m_bChecksumOk = nHigh >= 0 && nLow >= 0 && nHigh * 16 + nLow == nSum;
    } else {
        m_nDataEnd = n - 2;
    }
}

CTvqelDatagram::~CTvqelDatagram() = default;

bool CTvqelDatagram::findField(int nIndex, std::size_t& nStart, std::size_t& nLength) const
{
    if (!m_bValid || nIndex < 1)
        return false;
    std::size_t nPos = 0;
    int nCommas = 0;
    while (nPos < m_nDataEnd && nCommas < nIndex) {
        if (m_strText[nPos] == ',')
            ++nCommas;
        ++nPos;
    }
    if (nCommas < nIndex)
        return false;
    std::size_t nEnd = nPos;
    while (nEnd < m_nDataEnd && m_strText[nEnd] != ',')
        ++nEnd;
    nStart = nPos;
    nLength = nEnd - nPos;
    return true;
}

bool CTvqelDatagram::copyField(int nIndex)
{
    m_szField[0] = '\0';
    std::size_t nStart = 0;
    std::size_t nLength = 0;
    if (!findField(nIndex, nStart, nLength) || nLength == 0 || nLength >= FieldBufferSize)
        return false;
    std::memcpy(m_szField, m_strText.data() + nStart, nLength);
    m_szField[nLength] = '\0';
    return true;
}

bool CTvqelDatagram::getInt(int nIndex, int* pnValue)
{
    *pnValue = 0;
    if (!copyField(nIndex))
        return true;
    const long nValue = std::strtol(m_szField, nullptr, 10);
    // Out-of-range values are held at the ends of int.
    *pnValue = nValue > INT_MAX ? INT_MAX : nValue < INT_MIN ? INT_MIN : static_cast<int>(nValue);
    return false;
}

bool CTvqelDatagram::getFloat(int nIndex, float* pfValue)
{
    *pfValue = 0;
    if (!copyField(nIndex))
        return true;
    *pfValue = std::strtof(m_szField, nullptr);
    return false;
}

bool CTvqelDatagram::getString(int nIndex, std::string& strText)
{
    std::size_t nStart = 0;
    std::size_t nLength = 0;
    if (!findField(nIndex, nStart, nLength) || nLength == 0)
        return true;
    for (std::size_t i = nStart; i < nStart + nLength; ++i) {
        if (m_strText[i] == '\r' && i > 0 && m_strText[i - 1] == '\n')
            break;
        strText += m_strText[i];
    }
    return false;
}
