// The installation's configuration tokens: typed look-up by name, read through the shared cache
// "QelTokens.json" (built from the installation database when missing).
#pragma once

#include <QFile>
#include <QSqlDatabase>

#include <map>
#include <mutex>
#include <string>

// The value of one token.
struct TokenRecord {
    std::string description; // UTF-8, empty when none
    int type = 0;            // 1 double, 2 integer, 3 string
    int intValue = 0;
    double doubleValue = 0;
    std::string stringValue; // local 8-bit encoding
};

// The process-wide token store; use the global g_getToken. Every getter re-reads the cache under
// the lock file "c:\temp\token.lck" and may be called from any thread.
class CGetToken : public QSqlDatabase {
public:
    CGetToken();
    ~CGetToken();
    CGetToken(const CGetToken&) = delete;
    CGetToken& operator=(const CGetToken&) = delete;

    // The value of a token of the getter's type; 0 or empty when missing, of another type, or
    // when the cache cannot be read.
    double getTokValueDouble(const char* szName);
    int getTokValueInt(const char* szName);
    std::string getTokValueStr(const char* szName);

    // 0 and the whole record in *pRecord when the token exists (any type); -1 otherwise, with
    // *pRecord untouched.
    int get_token_value(const char* szName, TokenRecord* pRecord);

private:
    int init();
    bool readJson();
    bool saveJson();
    int loadFromDatabase();
    int getDescription(const std::string& strToken, int nLanguage, std::string& strDescription, int& nStatus);
    int checkSqlError(int nCode);
    bool lookup(const char* szName, int nType, TokenRecord& record, const char* szGetter);
    void logMissing(const char* szGetter, const char* szName);

    QFile m_fileMissing;
    std::map<std::string, TokenRecord> m_mapTokens;
    std::mutex m_mutex;
    QString m_strCachePath;
};

// The one token store, built before main.
extern CGetToken g_getToken;
