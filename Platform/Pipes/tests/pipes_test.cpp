#include "platform/pipes.h"
#include "platform/socket_io.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Sets or unsets environment variables for one test and restores them afterwards.
class EnvGuard {
public:
    void set(const char* name, const std::optional<QByteArray>& value)
    {
        m_saved.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt});
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvGuard()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                qputenv(it->first, *it->second);
            else
                qunsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

QString uniquePipeName(const char* stem)
{
    static int counter = 0;
    return QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(++counter);
}

TEST(PipeNames, DirectoryFollowsTheEnvironmentInOrder)
{
    struct Case {
        std::optional<QByteArray> pipeDir;
        std::optional<QByteArray> runtimeDir;
        QString expected;
    };
    const QString fallback = QStringLiteral("/tmp/dremm-%1").arg(::getuid());
    const Case cases[] = {
        {QByteArray("/x/pipes/"), QByteArray("/run/user/7"), QStringLiteral("/x/pipes")},
        {QByteArray(""), QByteArray("/run/user/7"), QStringLiteral("/run/user/7/dremm")},
        {std::nullopt, QByteArray("/run/user/7"), QStringLiteral("/run/user/7/dremm")},
        {std::nullopt, QByteArray(""), fallback},
        {std::nullopt, std::nullopt, fallback},
    };
    for (const Case& c : cases) {
        EnvGuard env;
        env.set("DREMM_PIPE_DIR", c.pipeDir);
        env.set("XDG_RUNTIME_DIR", c.runtimeDir);
        EXPECT_EQ(platform::pipeDirectory(), c.expected);
    }
}

TEST(PipeNames, EnsureCreatesAPrivateFolderWithItsParents)
{
    QTemporaryDir scratch;
    EnvGuard env;
    env.set("DREMM_PIPE_DIR", std::nullopt);
    env.set("XDG_RUNTIME_DIR", QDir(scratch.path()).filePath(QStringLiteral("fresh/run")).toUtf8());
    QString error;
    ASSERT_TRUE(platform::ensurePipeDirectory(&error)) << error.toStdString();
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(platform::pipeDirectory()).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(platform::ensurePipeDirectory()); // again: already there

    const QString file = QDir(scratch.path()).filePath(QStringLiteral("plainfile"));
    QFile(file).open(QIODevice::WriteOnly);
    env.set("DREMM_PIPE_DIR", file.toUtf8());
    EXPECT_FALSE(platform::ensurePipeDirectory(&error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(PipeNames, PathAcceptsBareAndWindowsNamesAndRejectsEscapes)
{
    const QString dir = platform::pipeDirectory();
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("dremmCorv"), dir + QStringLiteral("/dremmCorv")},
        {QStringLiteral("\\\\.\\pipe\\dremmCorv"), dir + QStringLiteral("/dremmCorv")},
        {QStringLiteral("\\\\.\\PIPE\\dremmCorvOut"), dir + QStringLiteral("/dremmCorvOut")},
        {QString(), QString()},
        {QStringLiteral("\\\\.\\pipe\\"), QString()},
        {QStringLiteral(".."), QString()},
        {QStringLiteral("a/b"), QString()},
        {QStringLiteral("\\\\.\\pipe\\..\\x"), QString()},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(platform::pipePath(name), expected) << name.toStdString();
}

TEST(PipeListener, PairCarriesBytesBothWaysAndTheFileGoesWithTheListener)
{
    const QString name = uniquePipeName("pair");
    const QString path = platform::pipePath(name);
    {
        platform::PipeListener listener;
        QString error;
        ASSERT_TRUE(listener.listen(path, &error)) << error.toStdString();
        EXPECT_TRUE(QFileInfo::exists(path));

        platform::UniqueFd client = platform::connectPipe(QStringLiteral("\\\\.\\pipe\\") + name);
        ASSERT_TRUE(client.valid());
        platform::UniqueFd server = listener.accept(1000ms);
        ASSERT_TRUE(server.valid());

        ASSERT_EQ(platform::writeAll(client.get(), "ping", 4).status, platform::IoStatus::Ok);
        QByteArray got;
        while (got.size() < 4)
            ASSERT_EQ(platform::readAvailable(server.get(), got, 5000ms).status, platform::IoStatus::Ok);
        EXPECT_EQ(got, QByteArray("ping"));
        ASSERT_EQ(platform::writeAll(server.get(), "pong", 4).status, platform::IoStatus::Ok);
        got.clear();
        while (got.size() < 4)
            ASSERT_EQ(platform::readAvailable(client.get(), got, 5000ms).status, platform::IoStatus::Ok);
        EXPECT_EQ(got, QByteArray("pong"));

        // Moving the listener moves the duty to remove the file.
        platform::PipeListener moved(std::move(listener));
        EXPECT_FALSE(listener.isListening());
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    errno = 0;
    EXPECT_FALSE(platform::connectPipe(name).valid());
    EXPECT_EQ(errno, ENOENT);
}

TEST(PipeListener, AcceptTimesOutWithoutClient)
{
    platform::PipeListener listener;
    ASSERT_TRUE(listener.listen(platform::pipePath(uniquePipeName("lonely"))));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(listener.accept(100ms).valid());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 3000ms);
    EXPECT_FALSE(listener.accept(0ms).valid());
}

TEST(PipeListener, StaleSocketIsReplacedButALiveOneOrAPlainFileIsNot)
{
    const QString path = platform::pipePath(uniquePipeName("stale"));
    {
        // A socket file whose owner died without removing it.
        platform::UniqueFd orphan(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
        ASSERT_EQ(::bind(orphan.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    errno = 0;
    EXPECT_FALSE(platform::connectSocket(path).valid());
    EXPECT_EQ(errno, ECONNREFUSED);

    platform::PipeListener first;
    ASSERT_TRUE(first.listen(path));
    platform::PipeListener second;
    QString error;
    EXPECT_FALSE(second.listen(path, &error));
    EXPECT_FALSE(error.isEmpty());
    second = platform::PipeListener(); // the failed one must not remove the live file
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(platform::connectSocket(path).valid());

    const QString plain = platform::pipePath(uniquePipeName("plain"));
    QFile(plain).open(QIODevice::WriteOnly);
    platform::PipeListener third;
    EXPECT_FALSE(third.listen(plain));
    EXPECT_TRUE(QFileInfo::exists(plain));
}

TEST(PipeListener, ClosedListenerKeepsAFileThatReplacedItsOwn)
{
    const QString path = platform::pipePath(uniquePipeName("replaced"));
    platform::PipeListener old;
    ASSERT_TRUE(old.listen(path));
    ASSERT_EQ(::unlink(QFile::encodeName(path).constData()), 0);
    platform::PipeListener current;
    ASSERT_TRUE(current.listen(path));
    old.close();
    EXPECT_TRUE(platform::connectSocket(path).valid());
}

TEST(PipeListener, PathsLongerThanASocketAddressWorkAndOverlongNamesFail)
{
    const QString deep = platform::pipeDirectory() + QStringLiteral("/") + QString(60, QLatin1Char('d')) + QStringLiteral("/")
                         + QString(60, QLatin1Char('e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString path = deep + QStringLiteral("/dremmCorvOut");
    ASSERT_GT(QFile::encodeName(path).size(), 108);
    {
        platform::PipeListener listener;
        QString error;
        ASSERT_TRUE(listener.listen(path, &error)) << error.toStdString();
        EXPECT_TRUE(QFileInfo::exists(path));
        platform::UniqueFd client = platform::connectSocket(path);
        ASSERT_TRUE(client.valid());
        EXPECT_TRUE(listener.accept(1000ms).valid());
    }
    EXPECT_FALSE(QFileInfo::exists(path));

    platform::PipeListener listener;
    QString error;
    EXPECT_FALSE(listener.listen(platform::pipeDirectory() + QLatin1Char('/') + QString(200, QLatin1Char('x')), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(platform::connectSocket(QString(200, QLatin1Char('x'))).valid());
}

} // namespace
