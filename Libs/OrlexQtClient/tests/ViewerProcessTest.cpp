// The launcher against a fake server executable that reports how it was started.
#include "OrlexQtClient/ViewerProcess.h"

#include "platform/paths.h"
#include "platform/pipes.h"
#include "platform/socket_io.h"

#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <chrono>

using Dremm::Orlex::QtClient::ViewerProcess;
using Dremm::Orlex::QtClient::findExecutableOnPath;
using Dremm::Orlex::QtClient::killProcessesByImageName;
using namespace std::chrono_literals;

namespace {

const char* const kExe = "Tavrin.Dremm.Orlex.exe";

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QString& value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_old;
};

// Places copies of the fake server and listens for the report of the one that starts.
class ViewerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::ensurePipeDirectory());
        static int s_count = 0;
        m_socketPath = QDir(platform::pipeDirectory()).filePath(QStringLiteral("fake%1").arg(++s_count));
        ASSERT_TRUE(m_listener.listen(m_socketPath));
        m_socketEnv = std::make_unique<ScopedEnv>("FAKE_VIEWER_SOCKET", m_socketPath);
        m_root = QDir(corvtest::scratchDir()).filePath(QStringLiteral("launch%1").arg(s_count));
        QDir(m_root).removeRecursively();
    }

    // Puts the fake server into folder (a local path) under name; returns the folder.
    QString place(const QString& folder, const QString& name = QString::fromLatin1(kExe))
    {
        QDir().mkpath(folder);
        const QString target = QDir(folder).filePath(name);
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(qEnvironmentVariable("CORV_FAKE_VIEWER"), target)) << target.toStdString();
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return folder;
    }

    // The started fake's working folder and arguments.
    QStringList report()
    {
        m_connection = m_listener.accept(10000ms);
        if (!m_connection.valid())
            return {};
        QByteArray bytes;
        while (!bytes.endsWith("END\n")) {
            if (platform::readAvailable(m_connection.get(), bytes, 10000ms).status != platform::IoStatus::Ok)
                break;
        }
        QStringList lines = QString::fromLocal8Bit(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!lines.isEmpty())
            lines.removeLast(); // END
        return lines;
    }

    // True once the reporting fake has ended (its socket closed).
    bool waitForExit()
    {
        QByteArray rest;
        return platform::readAvailable(m_connection.get(), rest, 10000ms).status == platform::IoStatus::Closed;
    }

    QString m_root;

private:
    QString m_socketPath;
    platform::PipeListener m_listener;
    platform::UniqueFd m_connection;
    std::unique_ptr<ScopedEnv> m_socketEnv;
};

} // namespace

TEST_F(ViewerProcessTest, StartsInItsFolderWithTheArgumentsAndEndsAtDestruction)
{
    place(platform::toNativePath(QStringLiteral("C:\\V")));
    {
        ViewerProcess process("C:\\V\\Tavrin.Dremm.Orlex.exe", false, 0, "dremmCorv", 0, true);
        EXPECT_EQ(process.executableName(), kExe);
        EXPECT_NE(process.processId(), 0);
        const QStringList report = this->report();
        ASSERT_EQ(report.size(), 3);
        EXPECT_EQ(QFileInfo(report[0]).canonicalFilePath(),
                  QFileInfo(platform::toNativePath(QStringLiteral("C:\\V"))).canonicalFilePath());
        EXPECT_EQ(report.mid(1), (QStringList{"--PipeName=dremmCorv", "--PreferNvidia"}));
    }
    EXPECT_TRUE(waitForExit());
}

TEST_F(ViewerProcessTest, TimeOutIsPassedOnlyWhenAboveZero)
{
    const QString folder = place(QDir(m_root).filePath("t"));
    ViewerProcess process((folder + "/" + kExe).toStdString(), false, 0, "pipe2", 3000, false);
    EXPECT_EQ(report().mid(1), (QStringList{"--PipeName=pipe2", "--ClientConnectTimeoutMs=3000"}));
}

TEST_F(ViewerProcessTest, BareNameIsFoundOnThePathEmptyElementsIncluded)
{
    const QString a = QDir(m_root).filePath("A");
    const QString b = place(QDir(m_root).filePath("B"));
    QDir().mkpath(a);
    ScopedEnv path("PATH", a + "::" + b + ":" + qEnvironmentVariable("PATH"));
    EXPECT_EQ(findExecutableOnPath(kExe), b.toStdString());
    EXPECT_EQ(findExecutableOnPath("no-such-program.exe"), "");

    ViewerProcess process(kExe, false, 0, "dremmCorv", 0, true);
    const QStringList report = this->report();
    ASSERT_FALSE(report.isEmpty());
    EXPECT_EQ(QFileInfo(report[0]).canonicalFilePath(), QFileInfo(b).canonicalFilePath());
}

TEST_F(ViewerProcessTest, OrlexDirBinIsTriedBeforeZudovovo)
{
    const QString orlexDir = QDir(m_root).filePath("orlex");
    place(orlexDir + "/bin");
    const QString zudovovo = place(QDir(m_root).filePath("zudovovo"));
    ScopedEnv orlex("ORLEXDIR", orlexDir);
    ScopedEnv zudo("ZUDOVOVO", zudovovo);

    ViewerProcess process((QDir(m_root).filePath("missing") + "/" + kExe).toStdString(), false, 0, "p", 0, true);
    const QStringList report = this->report();
    ASSERT_FALSE(report.isEmpty());
    EXPECT_EQ(QFileInfo(report[0]).canonicalFilePath(), QFileInfo(orlexDir + "/bin").canonicalFilePath());
}

TEST_F(ViewerProcessTest, NoCandidateLeavesNoProcess)
{
    ScopedEnv orlex("ORLEXDIR", QDir(m_root).filePath("none"));
    qunsetenv("ZUDOVOVO");
    ViewerProcess process((QDir(m_root).filePath("missing") + "/" + kExe).toStdString(), false, 0, "p", 0, true);
    EXPECT_EQ(process.processId(), 0);
    EXPECT_EQ(process.executableName(), kExe);
}

TEST_F(ViewerProcessTest, KillByImageNameEndsMatchingProcessesOnly)
{
    // A name of its own, so no other test's server is touched.
    const QString name = QStringLiteral("KillTest%1.exe").arg(QCoreApplication::applicationPid());
    const QString folder = place(QDir(m_root).filePath("k"), name);
    ViewerProcess process((folder + "/" + name).toStdString(), false, 0, "p", 0, false);
    ASSERT_FALSE(report().isEmpty());

    EXPECT_TRUE(killProcessesByImageName((folder + "/" + name).toStdString())); // a folder part matches nothing
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(process.processId())));
    EXPECT_TRUE(killProcessesByImageName(name.toStdString()));
    EXPECT_TRUE(waitForExit());
}
