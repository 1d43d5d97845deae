// Database-operations object of the framework with its character translation table.
#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

struct sqlite3;

// The first 100 bytes of a translation file; "loaded" only when all 100 were there.
class CTranslateChar {
public:
    static constexpr std::size_t TableSize = 4096;
    static constexpr std::size_t FileBytes = 100;

    explicit CTranslateChar(const char* szFileName);
    virtual ~CTranslateChar() = default;

    bool isLoaded() const { return m_bLoaded; }
    const unsigned char* table() const { return m_aTable; }

private:
    bool m_bLoaded = false;
    unsigned char m_aTable[TableSize] = {};
};

class CDBoperations {
public:
    static constexpr std::size_t NameSize = 32;

    // Reads the translation table from szTranslateFile (relative to the working folder).
    explicit CDBoperations(const char* szName, const char* szTranslateFile = "translate.bin");
    virtual ~CDBoperations();

    const char* getName() const { return m_szName; }
    const CTranslateChar& getTranslation() const { return *m_poTranslate; }

private:
    struct FileCloser {
        void operator()(std::FILE* poFile) const;
    };
    struct SqliteCloser {
        void operator()(sqlite3* poDb) const;
    };

    char m_szName[NameSize] = {};
    std::unique_ptr<CTranslateChar> m_poTranslate;
    std::unique_ptr<void, void (*)(void*)> m_poConnection{nullptr, [](void*) {}};
    std::unique_ptr<std::FILE, FileCloser> m_poFile;
    std::unique_ptr<sqlite3, SqliteCloser> m_poDb;
    std::map<std::string, std::string> m_mapFirst;
    std::map<std::string, std::string> m_mapSecond;
};
