#include "MapView/QaDatagram.h"

#include <cstring>
#include <utility>

namespace {

struct KeywordEntry {
    int id;
    const char* keyword;
};

// Ascending by id; ids 2, 31 and 44 have no keyword.
constexpr KeywordEntry s_aKeywords[] = {
    {0, "MAIN_APP_STARTED"},
    {1, "NO_SURVEY_LOADED"},
    {3, "QEL_REZAR_STARTED"},
    {4, "GET_LAST_FIVE_SURVEYS"},
    {5, "LAST_SURVEYS"},
    {6, "OPEN_SURVEY"},
    {7, "SURVEY_OPENING"},
    {8, "SURVEY_IS_OPEN"},
    {9, "SHARED_MEMORY_INFO"},
    {10, "SHARED_MEMORY_ACK"},
    {11, "UPDATE_SURVEY"},
    {12, "SURVEY_UPDATING"},
    {13, "SURVEY_IS_UPDATED"},
    {14, "CLOSE_SURVEY"},
    {15, "SURVEY_IS_CLOSED"},
    {16, "ENTER_DISPLAYING_SURVEY_GRID"},
    {17, "LEAVE_DISPLAYING_SURVEY_GRID"},
    {18, "ENTER_POSPROC"},
    {19, "LEAVE_POSPROC"},
    {20, "ENTER_DEPTHPROC"},
    {21, "LEAVE_DEPTHPROC"},
    {22, "REQUEST_DEPTH_SELECTION"},
    {23, "DEPTHPROC_RESULTS"},
    {24, "DEFSURV_DEFINE_SURVEY"},
    {25, "TOGGLE_LINE"},
    {26, "DO_GLOBAL_SHUTDOWN"},
    {27, "PROGRESS_UPDATE"},
    {28, "REQUEST_POINT_SELECTION"},
    {29, "DEFSURV_CLOSE"},
    {30, "TVGPL_TGM"},
    {32, "MAP_ROTATION"},
    {33, "ENABLE_RT"},
    {34, "POSITION_TRACK_SELECTION"},
    {35, "SHOW_GRID"},
    {36, "SURVEY_RAW_FILES"},
    {37, "CVN_OPEN_GRID"},
    {38, "CVN_CLOSE_GRID"},
    {39, "CVN_SHOW_PLAN"},
    {40, "CVN_HIDE_PLAN"},
    {41, "CVN_ACT_LINE"},
    {42, "CVN_DEACT_LINE"},
    {43, "CVN_LOGSTATE"},
    {45, "DYN_OBJ"},
    {46, "CORR_WIDTH"},
};

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

CQaDatagram::CQaDatagram(const char* szDatagram)
{
    const char* szText = szDatagram ? szDatagram : "";
    const char* szCr = std::strchr(szText, '\r');
    const std::size_t nTaken = szCr ? static_cast<std::size_t>(szCr - szText) + 1 : std::strlen(szText);
    m_strText.assign(szText, nTaken);

    const std::string& s = m_strText;
    const std::size_t n = s.size();
    m_bValid = n >= 3 && s[0] == '$' && s[n - 2] == '\n' && s[n - 1] == '\r' && s.find("$PQQEL") != std::string::npos;
    m_nDataEnd = n;
    if (!m_bValid)
        return;
    m_nDataEnd = n - 2;
    if (n >= 5 && s[n - 5] == '*') {
        m_bHasChecksum = true;
        m_nDataEnd = n - 5;
        const int nHigh = hexDigit(s[n - 4]);
        const int nLow = hexDigit(s[n - 3]);
        unsigned char nSum = 0;
        for (std::size_t i = 1; i + 5 < n; ++i)
            nSum ^= static_cast<unsigned char>(s[i]);
        m_bChecksumOk = nHigh >= 0 && nLow >= 0 && (nHigh * 16 + nLow) == nSum;
    }
}

CQaDatagram::~CQaDatagram() = default;

const char* CQaDatagram::keyword(int nId)
{
    for (const KeywordEntry& oEntry : s_aKeywords)
        if (oEntry.id == nId)
            return oEntry.keyword;
    return nullptr;
}

bool CQaDatagram::getField(int nIndex, std::string& strOut) const
{
    strOut.clear();
    if (nIndex < 1 || !m_bValid)
        return true;
    std::size_t nPos = 0;
    int nCommas = 0;
    while (nPos < m_nDataEnd && nCommas < nIndex) {
        if (m_strText[nPos] == ',')
            ++nCommas;
        ++nPos;
    }
    if (nCommas < nIndex)
        return true;
    std::size_t nEnd = nPos;
    while (nEnd < m_nDataEnd && m_strText[nEnd] != ',') {
        if (m_strText[nEnd] == '\r' && nEnd > 0 && m_strText[nEnd - 1] == '\n')
            break;
        ++nEnd;
    }
    if (nEnd == nPos)
        return true;
    strOut.assign(m_strText, nPos, nEnd - nPos);
    return false;
}

int CQaDatagram::getCommandId() const
{
    std::string strKeyword;
    getField(1, strKeyword);
    if (strKeyword.empty())
        return -1;
    for (const KeywordEntry& oEntry : s_aKeywords)
        if (strKeyword == oEntry.keyword)
            return oEntry.id;
    return -1;
}
