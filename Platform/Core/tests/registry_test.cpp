#include "platform/paths.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void writeRegistry(const QByteArray& text)
{
    const QString path = platform::toNativePath(platform::machineRegistryFile());
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST(MachineRegistry, ReadsValuesByKeyPathWithoutCase)
{
    writeRegistry("; machine-wide values\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel]\n"
                  "T-Qel_Mode=3\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\TQELDB]\n"
                  "Database = \"C:\\qeldata\\tqel.sqlite\"\n");

    EXPECT_EQ(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel"), QStringLiteral("T-Qel_Mode")).toInt(), 3);
    EXPECT_EQ(platform::machineRegistryValue(QStringLiteral("hkey_local_machine\\software\\t-qel"), QStringLiteral("t-qel_mode")).toString(), QStringLiteral("3"));
    EXPECT_EQ(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\TQELDB"), QStringLiteral("Database")).toString(),
              QStringLiteral("C:\\qeldata\\tqel.sqlite"));
    EXPECT_TRUE(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel"), QStringLiteral("Database")).isNull());
    EXPECT_TRUE(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"), QStringLiteral("T-Qel_Mode")).isNull());
}

TEST(MachineRegistry, MissingOrDamagedFileMeansAbsent)
{
    QFile::remove(platform::toNativePath(platform::machineRegistryFile()));
    EXPECT_TRUE(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel"), QStringLiteral("T-Qel_Mode")).isNull());

    writeRegistry(QByteArray("T-Qel_Mode=1\n[unterminated\n=novalue\n\0\xff garbage", 40));
    EXPECT_TRUE(platform::machineRegistryValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel"), QStringLiteral("T-Qel_Mode")).isNull());
}

} // namespace
