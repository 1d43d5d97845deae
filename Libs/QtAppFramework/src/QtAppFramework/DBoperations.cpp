#include "DBoperations.h"

#include <sqlite3.h>

#include <cstring>

CTranslateChar::CTranslateChar(const char* szFileName)
{
    if (!szFileName)
        return;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> poFile(std::fopen(szFileName, "rb"), &std::fclose);
    if (!poFile)
        return;
    const std::size_t nRead = std::fread(m_aTable, 1, FileBytes, poFile.get());
    m_bLoaded = (nRead == FileBytes);
}

void CDBoperations::FileCloser::operator()(std::FILE* poFile) const
{
    if (poFile)
        std::fclose(poFile);
}

void CDBoperations::SqliteCloser::operator()(sqlite3* poDb) const
{
    if (poDb)
        sqlite3_close(poDb);
}

CDBoperations::CDBoperations(const char* szName, const char* szTranslateFile)
    : m_poTranslate(std::make_unique<CTranslateChar>(szTranslateFile))
{
    if (szName) {
        // Up to 31 characters; longer names are cut, never overrun.
        std::strncpy(m_szName, szName, NameSize - 1);
        m_szName[NameSize - 1] = '\0';
    }
}

CDBoperations::~CDBoperations() = default;
