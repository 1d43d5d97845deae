#include "Common/CorvPaths.h"
#include "Common/GetToken.h"

#include <platform/lock_file.h>
#include <platform/paths.h>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

QString cachePath()
{
    return platform::toNativePath(programDataPath() + QStringLiteral("QelTokens.json"));
}

QString databasePath()
{
    return platform::toNativePath(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\tqel.db"));
}

QString tempDir()
{
    return platform::toNativePath(QStringLiteral("c:\\temp"));
}

QString lockPath()
{
    return platform::toNativePath(QStringLiteral("c:\\temp\\token.lck"));
}

QString missingLogPath()
{
    return platform::toNativePath(QStringLiteral("c:/temp/missingtokens.txt"));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QJsonObject token(const char* name, int type, const char* value, const char* descr = "")
{
    return QJsonObject{{"Name", name}, {"Type", type}, {"Value", value}, {"Descr", QString::fromUtf8(descr)}};
}

void writeCache(const QJsonArray& tokens)
{
    const QJsonObject root{{"version", "1"}, {"lastsave", "20240101_120000"}, {"tokens", tokens}};
    writeFile(cachePath(), QJsonDocument(root).toJson());
}

const QJsonArray& standardTokens()
{
    static const QJsonArray tokens = {
        token("ROZOVED_MIN_SHIP_HULL_LEN", 1, "12.5", "hull length"),
        token("CORRIDOR_ENABLE", 2, "1"),
        token("NEG_INT", 2, "-42"),
        token("BAD_INT", 2, "12abc"),
        token("ROZOVED_SHIP_FBX", 3, "ship.fbx"),
        token("ODD_TYPE", 7, "5"),
    };
    return tokens;
}

// Collects the Qt messages of every thread while alive; a test can wait for one.
class MessageLog {
public:
    MessageLog()
    {
        s_active = this;
        m_previous = qInstallMessageHandler(&MessageLog::handler);
    }
    ~MessageLog()
    {
        qInstallMessageHandler(m_previous);
        s_active = nullptr;
    }

    bool has(QtMsgType type, const QString& text) const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const auto& entry : m_entries) {
            if (entry.first == type && entry.second == text)
                return true;
        }
        return false;
    }

    int countStartingWith(const QString& prefix) const
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        int n = 0;
        for (const auto& entry : m_entries)
            n += entry.second.startsWith(prefix) ? 1 : 0;
        return n;
    }

    bool waitFor(const QString& text, std::chrono::seconds timeout = std::chrono::seconds(20))
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        return m_changed.wait_for(guard, timeout, [&] {
            for (const auto& entry : m_entries) {
                if (entry.second == text)
                    return true;
            }
            return false;
        });
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        MessageLog* log = s_active;
        if (!log)
            return;
        {
            std::lock_guard<std::mutex> guard(log->m_mutex);
            log->m_entries.emplace_back(type, text);
        }
        log->m_changed.notify_all();
    }

    static std::atomic<MessageLog*> s_active;
    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<QtMsgType, QString>> m_entries;
};

std::atomic<MessageLog*> MessageLog::s_active{nullptr};

// Every test starts from an empty data folder and temp folder.
class TokenStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ProgramData", "C:\\ProgramData");
        QDir(platform::toNativePath(QStringLiteral("C:\\ProgramData"))).removeRecursively();
        QDir(tempDir()).removeRecursively();
        QDir().mkpath(tempDir());
        QDir().mkpath(QFileInfo(cachePath()).path());
    }

    MessageLog m_log;
};

// ---- the process-wide store of this test process, reading caches written by the tests ----

TEST_F(TokenStore, TypedGettersAnswerOnlyTokensOfTheirType)
{
    writeCache(standardTokens());
    struct Case { const char* kind; const char* name; double number; const char* text; bool found; };
    const Case cases[] = {
        {"double", "ROZOVED_MIN_SHIP_HULL_LEN", 12.5, "", true},
        {"int", "CORRIDOR_ENABLE", 1, "", true},
        {"int", "NEG_INT", -42, "", true},
        {"int", "BAD_INT", 0, "", true},
        {"str", "ROZOVED_SHIP_FBX", 0, "ship.fbx", true},
        {"int", "corridor_enable", 0, "", false},
        {"int", "ROZOVED_MIN_SHIP_HULL_LEN", 0, "", false},
        {"double", "CORRIDOR_ENABLE", 0, "", false},
        {"str", "CORRIDOR_ENABLE", 0, "", false},
        {"int", "ODD_TYPE", 0, "", false},
        {"str", "ABSENT", 0, "", false},
        {"int", "", 0, "", false},
    };
    for (const Case& c : cases) {
        const QString kind = QLatin1String(c.kind);
        if (kind == QLatin1String("double"))
            EXPECT_DOUBLE_EQ(g_getToken.getTokValueDouble(c.name), c.number) << c.name;
        else if (kind == QLatin1String("int"))
            EXPECT_EQ(g_getToken.getTokValueInt(c.name), static_cast<int>(c.number)) << c.name;
        else
            EXPECT_EQ(g_getToken.getTokValueStr(c.name), std::string(c.text)) << c.name;
        EXPECT_EQ(m_log.has(QtWarningMsg, QStringLiteral("CGetToken - Not found ") + QLatin1String(c.name)), !c.found)
            << c.kind << " " << c.name;
        EXPECT_TRUE(m_log.has(QtDebugMsg, QStringLiteral("Get token ") + QLatin1String(c.name))) << c.name;
    }
    EXPECT_EQ(g_getToken.getTokValueInt(nullptr), 0);
    EXPECT_EQ(g_getToken.getTokValueStr(nullptr), std::string());
}

TEST_F(TokenStore, GetTokenValueCopiesTheWholeRecordOfAnyType)
{
    writeCache(standardTokens());
    TokenRecord record;
    ASSERT_EQ(g_getToken.get_token_value("ROZOVED_MIN_SHIP_HULL_LEN", &record), 0);
    EXPECT_EQ(record.type, 1);
    EXPECT_DOUBLE_EQ(record.doubleValue, 12.5);
    EXPECT_EQ(record.intValue, 0);
    EXPECT_EQ(record.stringValue, "");
    EXPECT_EQ(record.description, "hull length");

    ASSERT_EQ(g_getToken.get_token_value("ODD_TYPE", &record), 0);
    EXPECT_EQ(record.type, 7);
    EXPECT_EQ(record.intValue, 0) << "an unknown type carries no value";

    TokenRecord untouched;
    untouched.type = 99;
    untouched.stringValue = "keep";
    EXPECT_EQ(g_getToken.get_token_value("ABSENT", &untouched), -1);
    EXPECT_EQ(untouched.type, 99);
    EXPECT_EQ(untouched.stringValue, "keep");
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("get_token_value - Not found ABSENT")));
    EXPECT_EQ(g_getToken.get_token_value("CORRIDOR_ENABLE", nullptr), 0);
}

TEST_F(TokenStore, EveryGetterRereadsTheCache)
{
    writeCache({token("CORRIDOR_WIDTH_PORT", 2, "100")});
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_WIDTH_PORT"), 100);
    writeCache({token("CORRIDOR_WIDTH_PORT", 2, "250")});
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_WIDTH_PORT"), 250);
}

TEST_F(TokenStore, EmptyTokenListReadsAsFailureWithoutMissingTokens)
{
    writeCache({});
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_ENABLE"), 0);
    EXPECT_EQ(g_getToken.getTokValueDouble("ROZOVED_MIN_SHIP_HULL_LEN"), 0);
    EXPECT_EQ(g_getToken.getTokValueStr("ROZOVED_SHIP_FBX"), "");
    TokenRecord record;
    EXPECT_EQ(g_getToken.get_token_value("CORRIDOR_ENABLE", &record), -1);
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("CGetToken - read failed")));
    EXPECT_EQ(m_log.countStartingWith(QStringLiteral("CGetToken - read failed")), 1) << "only the string getter warns";
    EXPECT_EQ(m_log.countStartingWith(QStringLiteral("CGetToken - Not found")), 0);
    EXPECT_EQ(m_log.countStartingWith(QStringLiteral("get_token_value - Not found")), 0);
    EXPECT_TRUE(QFileInfo::exists(cachePath())) << "an empty list is not a damaged cache";
}

TEST_F(TokenStore, DamagedCacheReadsAsMissingAndOnlyNonObjectsAreDeleted)
{
    struct Case { const char* what; QByteArray bytes; bool deleted; };
    const Case cases[] = {
        {"empty file", "", true},
        {"not JSON", "this is not json", true},
        {"cut short", R"({"tokens":[{"Name":"CORRIDOR_ENABLE","Type":2,"Value":"1")", true},
        {"an array", R"([{"Name":"CORRIDOR_ENABLE","Type":2,"Value":"1"}])", true},
        {"binary", QByteArray("\x00\xff\xfe{\x01", 5), true},
        {"tokens not an array", R"({"tokens":5})", false},
        {"elements of other kinds", R"({"tokens":[1,"x",null,[],{}]})", false},
        {"fields of other kinds", R"({"tokens":[{"Name":5,"Type":"2","Value":7},{"Name":"CORRIDOR_ENABLE","Type":2.5,"Value":"1"}]})", false},
    };
    for (const Case& c : cases) {
        writeFile(cachePath(), c.bytes);
        EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_ENABLE"), 0) << c.what;
        EXPECT_EQ(g_getToken.getTokValueStr("CORRIDOR_ENABLE"), "") << c.what;
        EXPECT_EQ(QFileInfo::exists(cachePath()), !c.deleted) << c.what;
    }
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("CGetToken - isObject is false")));
}

TEST_F(TokenStore, DeletedCacheKeepsFailingUntilRebuilt)
{
    writeFile(cachePath(), "{broken");
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_ENABLE"), 0);
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("CGetToken - isObject is false")));
    EXPECT_FALSE(QFileInfo::exists(cachePath()));
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_ENABLE"), 0);
    // The line names the file it could not open.
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("Couldn't open file %1: No such file or directory").arg(cachePath())));
}

TEST_F(TokenStore, MissingTempFolderFailsEveryRead)
{
    writeCache(standardTokens());
    QDir(tempDir()).removeRecursively();
    EXPECT_EQ(g_getToken.getTokValueInt("CORRIDOR_ENABLE"), 0);
    EXPECT_TRUE(m_log.has(QtWarningMsg, QStringLiteral("Error creating handle to new file.")));
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
}

TEST_F(TokenStore, GetterWaitsForALockHeldByAnotherThread)
{
    writeCache(standardTokens());
    platform::LockFile holder(lockPath());
    ASSERT_TRUE(holder.tryLock(0, 1));

    std::atomic<bool> bDone{false};
    int nValue = -1;
    std::thread reader([&] {
        nValue = g_getToken.getTokValueInt("CORRIDOR_ENABLE");
        bDone = true;
    });
    ASSERT_TRUE(m_log.waitFor(QStringLiteral("File lock failed. Sleep some")));
    EXPECT_FALSE(bDone.load()) << "the getter read the cache while the lock was held";
    holder.unlock(0, 1);
    reader.join();
    EXPECT_EQ(nValue, 1);
    EXPECT_TRUE(m_log.has(QtDebugMsg, QStringLiteral("File lock secured")));
}

TEST_F(TokenStore, ConcurrentGettersEachGetTheirOwnToken)
{
    writeCache(standardTokens());
    std::atomic<int> nWrong{0};
    std::vector<std::thread> threads;
    const std::vector<std::function<bool()>> checks = {
        [] { return g_getToken.getTokValueInt("CORRIDOR_ENABLE") == 1; },
        [] { return g_getToken.getTokValueInt("NEG_INT") == -42; },
        [] { return g_getToken.getTokValueDouble("ROZOVED_MIN_SHIP_HULL_LEN") == 12.5; },
        [] { return g_getToken.getTokValueStr("ROZOVED_SHIP_FBX") == "ship.fbx"; },
    };
    for (const auto& check : checks) {
        threads.emplace_back([&nWrong, check] {
            for (int i = 0; i < 25; ++i)
                nWrong += check() ? 0 : 1;
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(nWrong.load(), 0);
}

// ---- a fresh process with its own store, built before main ----

struct ProbeRun {
    int nExit = -1;
    QStringList lines; // stdout
    QString strErr;
};

QProcessEnvironment probeEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ProgramData"), QStringLiteral("C:\\ProgramData"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=true"));
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{message}"));
    return env;
}

ProbeRun runProbe(const QStringList& requests)
{
    QProcess probe;
    probe.setProcessEnvironment(probeEnvironment());
    probe.start(QStringLiteral(TOKEN_PROBE), requests);
    ProbeRun run;
    if (!probe.waitForFinished(30000)) {
        probe.kill();
        probe.waitForFinished();
        return run;
    }
    run.nExit = probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
    run.lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.strErr = QString::fromLocal8Bit(probe.readAllStandardError());
    return run;
}

// Builds the installation database with the tables and joins the store reads.
class DatabaseFixture {
public:
    explicit DatabaseFixture(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile::remove(path);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
            db.setDatabaseName(path);
            m_bOpen = db.open();
        }
    }
    ~DatabaseFixture()
    {
        QSqlDatabase::database(QStringLiteral("fixture"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    }

    bool exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("fixture"), false));
        query.prepare(sql);
        for (const QVariant& value : values)
            query.addBindValue(value);
        const bool bOk = query.exec();
        EXPECT_TRUE(bOk) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return bOk;
    }

    void createTables(bool bWithDescriptions = true)
    {
        exec("create table token_value (value_id integer, token text, description_id integer)");
        exec("create table float_values (id integer, value real)");
        exec("create table integer_values (id integer, value integer)");
        exec("create table varchar_values (id integer, value text)");
        if (bWithDescriptions) {
            exec("create table descriptions_language (id integer, language integer, description_id integer)");
            exec("create table descriptions (id integer, description text)");
        }
    }

    void addToken(int nValueId, const QString& name, const char* table, const QVariant& value, int nDescriptionId = 0)
    {
        exec("insert into token_value values (?, ?, ?)", {nValueId, name, nDescriptionId});
        exec(QStringLiteral("insert into %1 values (?, ?)").arg(QLatin1String(table)), {nValueId, value});
    }

    void addDescription(int nDescriptionId, int nLanguage, int nTextId, const QString& text)
    {
        exec("insert into descriptions_language values (?, ?, ?)", {nDescriptionId, nLanguage, nTextId});
        exec("insert into descriptions values (?, ?)", {nTextId, text});
    }

    bool isOpen() const { return m_bOpen; }

private:
    bool m_bOpen = false;
};

QString valueOf(const ProbeRun& run, const QString& name)
{
    for (const QString& line : run.lines) {
        if (line.startsWith(name + QLatin1Char('=')))
            return line.mid(name.size() + 1);
    }
    return QStringLiteral("<no answer>");
}

QString longText()
{
    return QString(500, QLatin1Char('d')) + QStringLiteral("end");
}

TEST_F(TokenStore, FreshProcessBuildsTheCacheFromTheDatabaseAndReadsItBack)
{
    {
        DatabaseFixture db(databasePath());
        ASSERT_TRUE(db.isOpen());
        db.createTables();
        db.addToken(1, "ROZOVED_MARKER_BODY_LEN", "float_values", 0.123456789, 10);
        db.addDescription(10, 3, 100, QStringLiteral("Marker body length \u00f8"));
        db.addDescription(10, 1, 101, QStringLiteral("another language"));
        db.addToken(2, "CORRIDOR_WIDTH_PORT", "integer_values", 250, 11);
        db.addToken(3, "ROZOVED_SHIP_FBX", "varchar_values", "vessel.fbx");
        db.addToken(4, "DUAL", "integer_values", 7);
        db.exec("insert into varchar_values values (4, 'seven')");
        db.addToken(5, "QUOTE'S", "integer_values", 5, 12);
        db.addDescription(12, 3, 102, QStringLiteral("quoted name"));
        db.addToken(6, "LONG_DESC", "integer_values", 6, 13);
        db.addDescription(13, 3, 103, longText());
    }
    const QByteArray databaseBefore = readFile(databasePath());
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);

    const ProbeRun run = runProbe({"double:ROZOVED_MARKER_BODY_LEN", "int:CORRIDOR_WIDTH_PORT", "str:ROZOVED_SHIP_FBX",
                                   "str:DUAL", "int:DUAL", "rec:QUOTE'S", "rec:LONG_DESC"});
    ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("Init tokens. Empty list")));
    EXPECT_DOUBLE_EQ(valueOf(run, "ROZOVED_MARKER_BODY_LEN").toDouble(), 0.123457) << "6 significant digits";
    EXPECT_EQ(valueOf(run, "CORRIDOR_WIDTH_PORT"), "250");
    EXPECT_EQ(valueOf(run, "ROZOVED_SHIP_FBX"), "vessel.fbx");
    EXPECT_EQ(valueOf(run, "DUAL"), "seven") << "the string pass comes last";
    EXPECT_EQ(run.lines.filter(QStringLiteral("DUAL=0")).size(), 1) << "the integer getter misses it";
    EXPECT_EQ(valueOf(run, "QUOTE'S"), "0 2 5 0 |quoted name") << "a quote in a name is a value, not SQL";
    EXPECT_EQ(valueOf(run, "LONG_DESC"), "0 2 6 0 |" + longText()) << "long descriptions are kept whole";
    EXPECT_EQ(readFile(databasePath()), databaseBefore);

    const QByteArray raw = readFile(cachePath());
    EXPECT_TRUE(raw.startsWith("{\n    \"lastsave\"")) << raw.left(40).toStdString();
    const QJsonObject root = QJsonDocument::fromJson(raw).object();
    EXPECT_EQ(root.value("version").toString(), "1");
    const QDateTime saved = QDateTime::fromString(root.value("lastsave").toString(), "yyyyMMdd_hhmmss");
    EXPECT_TRUE(saved.isValid() && saved >= started && saved <= QDateTime::currentDateTime()) << root.value("lastsave").toString().toStdString();
    QStringList names;
    QJsonObject marker;
    for (const QJsonValue& element : root.value("tokens").toArray()) {
        names << element.toObject().value("Name").toString();
        if (names.last() == QLatin1String("ROZOVED_MARKER_BODY_LEN"))
            marker = element.toObject();
    }
    EXPECT_EQ(names, QStringList({"CORRIDOR_WIDTH_PORT", "DUAL", "LONG_DESC", "QUOTE'S", "ROZOVED_MARKER_BODY_LEN", "ROZOVED_SHIP_FBX"}));
    EXPECT_EQ(marker, QJsonObject({{"Name", "ROZOVED_MARKER_BODY_LEN"}, {"Descr", QStringLiteral("Marker body length \u00f8")}, {"Type", 1}, {"Value", "0.123457"}}));

    // A later start reads the cache alone.
    ASSERT_TRUE(QFile::remove(databasePath()));
    const ProbeRun later = runProbe({"int:CORRIDOR_WIDTH_PORT"});
    EXPECT_EQ(valueOf(later, "CORRIDOR_WIDTH_PORT"), "250");
    EXPECT_FALSE(later.strErr.contains(QStringLiteral("Init tokens")));
}

TEST_F(TokenStore, FreshProcessWithoutUsableDatabaseAnswersMissing)
{
    struct Case { const char* what; std::function<void()> prepare; const char* warning; };
    const Case cases[] = {
        {"no database", [] {}, nullptr},
        {"not a database", [] { writeFile(databasePath(), QByteArray(4096, '\x5a')); }, "No tokens in database"},
        {"no tables", [] { DatabaseFixture db(databasePath()); db.exec("create table other (x integer)"); },
         "No tokens in database"},
        {"empty tables", [] { DatabaseFixture db(databasePath()); db.createTables(); }, "No tokens in database"},
    };
    for (const Case& c : cases) {
        QFile::remove(databasePath());
        QFile::remove(cachePath());
        c.prepare();
        const bool bHadDatabase = QFileInfo::exists(databasePath());
        const ProbeRun run = runProbe({"int:CORRIDOR_ENABLE", "str:ROZOVED_SHIP_FBX"});
        EXPECT_EQ(run.nExit, 0) << c.what << ": " << run.strErr.toStdString();
        EXPECT_EQ(valueOf(run, "CORRIDOR_ENABLE"), "0") << c.what;
        EXPECT_EQ(valueOf(run, "ROZOVED_SHIP_FBX"), "") << c.what;
        if (c.warning) {
            EXPECT_TRUE(run.strErr.contains(QLatin1String(c.warning))) << c.what << ": " << run.strErr.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(cachePath())) << c.what << ": no cache from an empty store";
        EXPECT_EQ(QFileInfo::exists(databasePath()), bHadDatabase) << c.what << ": the database is never created";
    }
}

TEST_F(TokenStore, FreshProcessWithoutDescriptionTablesStillLoadsValues)
{
    {
        DatabaseFixture db(databasePath());
        db.createTables(false);
        db.addToken(1, "CORRIDOR_ENABLE", "integer_values", 1, 10);
    }
    const ProbeRun run = runProbe({"rec:CORRIDOR_ENABLE"});
    EXPECT_EQ(valueOf(run, "CORRIDOR_ENABLE"), "0 2 1 0 |");
}

TEST_F(TokenStore, MissingTokensAreAppendedToTheLog)
{
    writeCache(standardTokens());
    const QStringList requests = {"int:ABSENT", "double:CORRIDOR_ENABLE", "rec:ALSO_ABSENT", "str:ROZOVED_SHIP_FBX",
                                  "int:CORRIDOR_ENABLE"};
    const QByteArray once = "getTokValueInt missing token ABSENT\n"
                            "getTokValueDouble missing token CORRIDOR_ENABLE\n"
                            "get_token_value missing token ALSO_ABSENT\n";
    ASSERT_EQ(runProbe(requests).nExit, 0);
    EXPECT_EQ(readFile(missingLogPath()), once);
    ASSERT_EQ(runProbe(requests).nExit, 0);
    EXPECT_EQ(readFile(missingLogPath()), once + once);
}

TEST_F(TokenStore, MissingTempFolderAtStartLeavesNoLog)
{
    writeCache(standardTokens());
    QDir(tempDir()).removeRecursively();
    const ProbeRun run = runProbe({"int:CORRIDOR_ENABLE", "int:ABSENT"});
    EXPECT_EQ(valueOf(run, "CORRIDOR_ENABLE"), "0");
    EXPECT_TRUE(run.strErr.contains(QStringLiteral("Error creating handle to new file.")));
    EXPECT_FALSE(QFileInfo::exists(missingLogPath()));
}

TEST_F(TokenStore, GetterWaitsForALockHeldByAnotherProcess)
{
    writeCache(standardTokens());
    platform::LockFile holder(lockPath());
    ASSERT_TRUE(holder.tryLock(0, 1));

    QProcess probe;
    probe.setProcessEnvironment(probeEnvironment());
    probe.setReadChannel(QProcess::StandardError);
    probe.start(QStringLiteral(TOKEN_PROBE), {"int:CORRIDOR_ENABLE"});
    ASSERT_TRUE(probe.waitForStarted());
    QByteArray err;
    while (!err.contains("File lock failed. Sleep some") && probe.waitForReadyRead(20000))
        err += probe.readAllStandardError();
    ASSERT_TRUE(err.contains("File lock failed. Sleep some")) << err.toStdString();
    EXPECT_EQ(probe.state(), QProcess::Running);
    holder.unlock(0, 1);
    ASSERT_TRUE(probe.waitForFinished(20000));
    EXPECT_EQ(QString::fromLocal8Bit(probe.readAllStandardOutput()), "CORRIDOR_ENABLE=1\n");
}

} // namespace
