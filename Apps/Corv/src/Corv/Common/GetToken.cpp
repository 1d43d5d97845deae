#include "Common/GetToken.h"

#include "Common/CorvPaths.h"

#include <platform/lock_file.h>
#include <platform/paths.h>

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <chrono>
#include <exception>
#include <memory>
#include <thread>

CGetToken g_getToken;

namespace {

const char* const DatabasePath = "C:\\ProgramData\\Tavrin Nautic\\tqel\\tqel.db";
const char* const CacheName = "QelTokens.json";
const char* const LockPath = "c:\\temp\\token.lck";
const char* const MissingLogPath = "c:/temp/missingtokens.txt";

const int LockAttempts = 100;
const auto LockRetryDelay = std::chrono::milliseconds(100);
const std::uint64_t LockLength = 256;

// The cache is a small file; anything far larger is not one we wrote.
const qint64 MaxCacheBytes = 64 * 1024 * 1024;

const int DescriptionLanguage = 3;

const char* safeName(const char* szName)
{
    return szName ? szName : "";
}

// Opens the cross-process lock file and locks its first bytes, retrying as long as another
// handle (another process or thread) holds them. Returns an unlocked file on failure.
std::unique_ptr<platform::LockFile> acquireCacheLock()
{
    auto lock = std::make_unique<platform::LockFile>(platform::toNativePath(QString::fromLatin1(LockPath)));
    if (!lock->isOpen()) {
        qWarning("Error creating handle to new file.");
        return nullptr;
    }
    for (int nAttempt = 1; nAttempt <= LockAttempts; ++nAttempt) {
        if (lock->tryLock(0, LockLength)) {
            qDebug("File lock secured");
            return lock;
        }
        qDebug("File lock failed. Sleep some");
        if (nAttempt < LockAttempts)
            std::this_thread::sleep_for(LockRetryDelay);
    }
    qWarning("File lock failed. Giving up after 100 tries");
    return nullptr;
}

QString valueText(const TokenRecord& record)
{
    switch (record.type) {
    case 1:
        return QString::number(record.doubleValue, 'g', 6);
    case 2:
        return QString::number(record.intValue);
    case 3:
        return QString::fromLocal8Bit(record.stringValue.data(), static_cast<int>(record.stringValue.size()));
    default:
        return QString();
    }
}

} // namespace

CGetToken::CGetToken()
{
    if (init() == -1)
        init();
}

CGetToken::~CGetToken()
{
    if (!isValid())
        return;
    const QString strConnection = connectionName();
    const bool bStillRegistered = QSqlDatabase::database(strConnection, false).driver() == driver();
    close();
    static_cast<QSqlDatabase&>(*this) = QSqlDatabase();
    if (bStillRegistered)
        QSqlDatabase::removeDatabase(strConnection);
}

int CGetToken::init()
{
    // Built before main: give the data folder its Windows environment first.
    platform::ensureWindowsEnvironment();

    if (!m_fileMissing.isOpen()) {
        m_fileMissing.setFileName(platform::toNativePath(QString::fromLatin1(MissingLogPath)));
        m_fileMissing.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }

    m_strCachePath = programDataPath() + QLatin1String(CacheName);

    if (!QFileInfo::exists(platform::toNativePath(m_strCachePath))) {
        if (!isValid())
            static_cast<QSqlDatabase&>(*this) = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        // Read only: the installation owns the database, and a missing file must not be created.
        setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        setDatabaseName(platform::toNativePath(QString::fromLatin1(DatabasePath)));
        if (!isOpen() && !open())
            return -1;
        if (m_mapTokens.empty()) {
            qDebug("Init tokens. Empty list");
            if (loadFromDatabase() == 0) {
                qWarning("No tokens in database");
                return -1;
            }
            saveJson();
        }
    }
    return readJson() ? 0 : -1;
}

int CGetToken::loadFromDatabase()
{
    struct Pass {
        int nType;
        const char* szSql;
    };
    static const Pass passes[] = {
        {1, "select value_id, token, float_values.value from token_value inner join float_values on token_value.value_id = float_values.id"},
        {2, "select value_id, token, integer_values.value from token_value inner join integer_values on token_value.value_id = integer_values.id"},
        {3, "select value_id, token, varchar_values.value from token_value inner join varchar_values on token_value.value_id = varchar_values.id"},
    };
    for (const Pass& pass : passes) {
        QSqlQuery query(*this);
        if (!query.exec(QString::fromLatin1(pass.szSql))) {
            qWarning().noquote() << QStringLiteral("CGetToken - token query failed: ") + query.lastError().text();
            continue;
        }
        while (query.next()) {
            TokenRecord record;
            const std::string strName = query.value(1).toString().toStdString();
            record.type = pass.nType;
            const QVariant value = query.value(2);
            if (pass.nType == 1)
                record.doubleValue = static_cast<double>(value.toFloat());
            else if (pass.nType == 2)
                record.intValue = value.toInt();
            else
                record.stringValue = value.toString().toLocal8Bit().toStdString();
            std::string strDescription;
            int nStatus = -1;
            getDescription(strName, DescriptionLanguage, strDescription, nStatus);
            if (nStatus == 0)
                record.description = strDescription;
            m_mapTokens[strName] = record;
        }
    }
    return static_cast<int>(m_mapTokens.size());
}

int CGetToken::getDescription(const std::string& strToken, int nLanguage, std::string& strDescription, int& nStatus)
{
    nStatus = -1;

    // Runs one look-up with its values bound; the result is column 0 of the last row.
    auto lastValue = [this](const QString& strSql, const QVariantList& values, int nFailCode, QVariant& result) {
        QSqlQuery query(*this);
        bool bOk = query.prepare(strSql);
        if (bOk) {
            for (const QVariant& value : values)
                query.addBindValue(value);
            bOk = query.exec();
        }
        if (!bOk) {
            qDebug().noquote() << QStringLiteral("CGetToken - description query failed: ") + query.lastError().text();
            checkSqlError(nFailCode);
        }
        bool bFound = false;
        while (bOk && query.next()) {
            result = query.value(0);
            bFound = true;
        }
        return checkSqlError(505) == 0 && bFound;
    };

    QVariant id;
    if (!lastValue(QStringLiteral("select description_id from token_value where token=upper(?)"),
                   {QString::fromStdString(strToken)}, 508, id))
        return -1;
    // Bound as text, as the ids were always compared.
    QVariant languageId;
    if (!lastValue(QStringLiteral("select description_id from descriptions_language where id=? and language=?"),
                   {QString::number(id.toInt()), QString::number(nLanguage)}, 508, languageId))
        return -1;
    QVariant text;
    if (!lastValue(QStringLiteral("select description from descriptions where id=?"),
                   {QString::number(languageId.toInt())}, 508, text))
        return -1;

    const QByteArray utf8 = text.toString().toUtf8();
    if (nLanguage == DescriptionLanguage)
        strDescription = utf8.toStdString();
    else
        strDescription = QString::fromLatin1(utf8).toUtf8().toStdString();
    nStatus = 0;
    return 0;
}

int CGetToken::checkSqlError(int nCode)
{
    if (!isOpen())
        return nCode;
    const QSqlError error = lastError();
    if (error.isValid()) {
        qDebug().noquote() << QStringLiteral("CGetToken - database error: ") + error.text();
        return -1;
    }
    return 0;
}

bool CGetToken::readJson()
{
    const std::unique_ptr<platform::LockFile> lock = acquireCacheLock();
    if (!lock)
        return false;
    qDebug("Read json file");
    try {
        QFile file(platform::toNativePath(m_strCachePath));
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning().noquote() << QStringLiteral("Couldn't open file %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        if (file.size() > MaxCacheBytes) {
            qWarning().noquote() << QStringLiteral("CGetToken - cache file too large: %1").arg(file.fileName());
            return false;
        }
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        if (!document.isObject()) {
            qWarning("CGetToken - isObject is false");
            file.close();
            file.remove();
            return false;
        }

        m_mapTokens.clear();
        const QJsonArray tokens = document.object().value(QLatin1String("tokens")).toArray();
        for (const QJsonValue& element : tokens) {
            const QJsonObject object = element.toObject();
            if (object.isEmpty())
                continue;
            TokenRecord record;
            const std::string strName = object.value(QLatin1String("Name")).toString().toStdString();
            record.description = object.value(QLatin1String("Descr")).toString().toStdString();
            record.type = object.value(QLatin1String("Type")).toInt();
            const QString strValue = object.value(QLatin1String("Value")).toString();
            if (record.type == 1) {
                record.doubleValue = strValue.toDouble();
            } else if (record.type == 2) {
                bool bOk = false;
                const int nValue = strValue.toInt(&bOk, 10);
                record.intValue = bOk ? nValue : 0;
            } else if (record.type == 3) {
                record.stringValue = strValue.toLocal8Bit().toStdString();
            }
            m_mapTokens[strName] = record;
        }
    } catch (const std::exception& e) {
        qDebug("%s", e.what());
        return false;
    } catch (...) {
        qDebug("Unknown exception");
        return false;
    }

    if (m_mapTokens.empty()) {
        qDebug("token size is 0");
        return false;
    }
    qDebug("CGetToken - read OK");
    return true;
}

bool CGetToken::saveJson()
{
    qDebug("saveJson");
    const std::unique_ptr<platform::LockFile> lock = acquireCacheLock();
    if (!lock)
        return false;
    // An empty map would leave a cache that every reader deletes; keep the file as it is.
    if (m_mapTokens.empty())
        return false;

    // Written to a temporary file and renamed, so readers never see a half-written cache.
    QSaveFile file(platform::toNativePath(m_strCachePath));
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Couldn't open save file.");
        return false;
    }
    QJsonArray tokens;
    for (const auto& entry : m_mapTokens) {
        const TokenRecord& record = entry.second;
        QJsonObject object;
        object.insert(QStringLiteral("Name"), QString::fromStdString(entry.first));
        object.insert(QStringLiteral("Descr"), QString::fromStdString(record.description));
        object.insert(QStringLiteral("Type"), record.type);
        object.insert(QStringLiteral("Value"), valueText(record));
        tokens.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("1"));
    root.insert(QStringLiteral("lastsave"), QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")));
    root.insert(QStringLiteral("tokens"), tokens);
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        qWarning("Couldn't open save file.");
        return false;
    }
    return true;
}

void CGetToken::logMissing(const char* szGetter, const char* szName)
{
    if (!m_fileMissing.isOpen())
        return;
    m_fileMissing.write(QByteArray(szGetter) + " missing token " + QByteArray(szName) + '\n');
    m_fileMissing.flush();
}

bool CGetToken::lookup(const char* szName, int nType, TokenRecord& record, const char* szGetter)
{
    const auto it = m_mapTokens.find(szName);
    if (it != m_mapTokens.end() && it->second.type == nType) {
        record = it->second;
        return true;
    }
    qWarning().noquote() << QStringLiteral("CGetToken - Not found ") + QString::fromUtf8(szName);
    logMissing(szGetter, szName);
    return false;
}

double CGetToken::getTokValueDouble(const char* szName)
{
    szName = safeName(szName);
    qDebug().noquote() << QStringLiteral("Get token ") + QString::fromUtf8(szName);
    std::lock_guard<std::mutex> guard(m_mutex);
    TokenRecord record;
    if (!readJson() || !lookup(szName, 1, record, "getTokValueDouble"))
        return 0;
    return record.doubleValue;
}

int CGetToken::getTokValueInt(const char* szName)
{
    szName = safeName(szName);
    qDebug().noquote() << QStringLiteral("Get token ") + QString::fromUtf8(szName);
    std::lock_guard<std::mutex> guard(m_mutex);
    TokenRecord record;
    if (!readJson() || !lookup(szName, 2, record, "getTokValueInt"))
        return 0;
    return record.intValue;
}

std::string CGetToken::getTokValueStr(const char* szName)
{
    szName = safeName(szName);
    qDebug().noquote() << QStringLiteral("Get token ") + QString::fromUtf8(szName);
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!readJson()) {
        qWarning("CGetToken - read failed");
        return std::string();
    }
    TokenRecord record;
    if (!lookup(szName, 3, record, "getTokValueStr"))
        return std::string();
    return record.stringValue;
}

int CGetToken::get_token_value(const char* szName, TokenRecord* pRecord)
{
    szName = safeName(szName);
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!readJson())
        return -1;
    const auto it = m_mapTokens.find(szName);
    if (it == m_mapTokens.end()) {
        qWarning().noquote() << QStringLiteral("get_token_value - Not found ") + QString::fromUtf8(szName);
        logMissing("get_token_value", szName);
        return -1;
    }
    if (pRecord)
        *pRecord = it->second;
    return 0;
}
