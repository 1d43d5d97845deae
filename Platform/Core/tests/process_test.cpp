#include "platform/paths.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include "test_wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>

#include <limits>

namespace {

// A copy of sleep(1) under a Windows program name, so that it can be found by image name.
QString makeSleeper(const QString& name)
{
    const QString dir = platform::winRoot() + QStringLiteral("/c/Orlex");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name;
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), path));
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}


TEST(Process, StartFindAndEndByImageNameWithoutCase)
{
    makeSleeper(QStringLiteral("Corv.ProcessProbe.exe"));
    const auto pid = platform::startDetached({QStringLiteral("C:\\Orlex\\Corv.ProcessProbe.exe"),
                                              {QStringLiteral("60")}, QStringLiteral("C:\\"), std::nullopt, false});
    ASSERT_TRUE(pid.has_value());

    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (const auto& info : platform::findProcessesByImageName(QStringLiteral("corv.processprobe.EXE")))
            if (info.pid == *pid)
                return true;
        return false;
    }));
    const auto found = platform::findProcessesByImageName(QStringLiteral("Corv.ProcessProbe.exe"));
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front().arguments.value(1), QStringLiteral("60"));

    EXPECT_GE(platform::endProcessesByImageName(QStringLiteral("CORV.PROCESSPROBE.EXE")), 1);
    EXPECT_TRUE(corvtest::waitUntil([&] { return platform::findProcessesByImageName(QStringLiteral("Corv.ProcessProbe.exe")).empty(); }));
}

TEST(Process, ArgumentsAreNeverSplitOrInterpreted)
{
    const QString out = platform::winRoot() + QStringLiteral("/c/args.txt");
    QDir().mkpath(QFileInfo(out).path());
    // printf writes each argument on a line of its own; a shell would have split or expanded them.
    const auto pid = platform::startDetached({QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("printf '%s\\n' \"$@\" > \"$0\""), out,
         QStringLiteral("a b"), QStringLiteral("$HOME;rm -rf x"), QStringLiteral("*")},
        QString(), std::nullopt, true});
    ASSERT_TRUE(pid.has_value());
    ASSERT_TRUE(corvtest::waitUntil([&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) && f.readAll().count('\n') == 3;
    }));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("a b\n$HOME;rm -rf x\n*\n"));
}

TEST(Process, FailuresAreReportedNotThrown)
{
    EXPECT_FALSE(platform::startDetached({QStringLiteral("C:\\nowhere\\missing.exe"), {}, QString(), std::nullopt, true}).has_value());
    EXPECT_FALSE(platform::endProcess(0));
    EXPECT_FALSE(platform::endProcess(1)) << "init is never ended";
    EXPECT_FALSE(platform::endProcess(QCoreApplication::applicationPid()));
    EXPECT_FALSE(platform::endProcess(std::numeric_limits<int>::max())) << "no such process";
    EXPECT_EQ(platform::endProcessesByImageName(QStringLiteral("no-such-image.exe")), 0);
}

TEST(Process, FindOnPathSplitsAtColons)
{
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", "/nonexistent::/bin:/usr/bin");
    EXPECT_FALSE(platform::findOnPath(QStringLiteral("sh")).isEmpty());
    EXPECT_TRUE(platform::findOnPath(QStringLiteral("no-such-program-here")).isEmpty());
    EXPECT_TRUE(platform::findOnPath(QString()).isEmpty());
    qputenv("PATH", saved);
}

} // namespace
