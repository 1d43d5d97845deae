#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"

#include <platform/paths.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

class GuiIniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ProgramData", "C:\\ProgramData");
        g_strGuiIniPath.clear();
        QDir().mkpath(QFileInfo(GuiIni::localPath()).path());
        QFile::remove(GuiIni::localPath());
    }

    void writeRaw(const QByteArray& text)
    {
        QFile file(GuiIni::localPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QByteArray readRaw()
    {
        QFile file(GuiIni::localPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(GuiIniFile, MissingFileGivesEveryTableDefault)
{
    struct Case { const char* group; const char* key; QVariant expected; };
    const Case cases[] = {
        {"RUNTIME", "CorvModel", 2200},
        {"RUNTIME", "CorvLayoutFile", QStringLiteral("defaultCorv.cvn")},
        {"RUNTIME", "imageryFactor", 10},
        {"RUNTIME", "tileSize", 127},
        {"RUNTIME", "cacheSize", 128u},
        {"RUNTIME", "CORR_WIDTH", 2.0},
        {"RUNTIME", "CorvNoMCAST", false},
        {"RUNTIME", "CorvPortAdd", 0},
        {"RUNTIME", "CorvPosPort", 25125},
        {"RUNTIME", "CorvTailPort", 25130},
        {"RUNTIME", "SendIP", QStringLiteral("NOT_SET")},
        {"GENERAL_DEFS", "RawPath", QStringLiteral("C:/qeldata")},
        {"GENERAL_DEFS", "Gridpath", QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GuiIni::value(QLatin1String(c.group), QLatin1String(c.key)), c.expected) << c.key;
    EXPECT_FALSE(GuiIni::defaultValue(QStringLiteral("RUNTIME"), QStringLiteral("MapPath")).isValid())
        << "the terrain folder default is a configuration token, not a table value";
    EXPECT_FALSE(QFile::exists(GuiIni::localPath())) << "reading never creates the file";
}

TEST_F(GuiIniFile, StoredValuesWinAndConvertLikeQt)
{
    writeRaw("[RUNTIME]\nCorvModel=2040\nCorvNoMCAST=true\nCORR_WIDTH=3.5\n[GENERAL_DEFS]\nGridpath=C:/qeldata/Grids\n");
    EXPECT_EQ(GuiIni::value(QStringLiteral("RUNTIME"), QStringLiteral("CorvModel")).toInt(), 2040);
    EXPECT_TRUE(GuiIni::value(QStringLiteral("RUNTIME"), QStringLiteral("CorvNoMCAST")).toBool());
    EXPECT_DOUBLE_EQ(GuiIni::value(QStringLiteral("RUNTIME"), QStringLiteral("CORR_WIDTH")).toDouble(), 3.5);
    EXPECT_EQ(GuiIni::value(QStringLiteral("GENERAL_DEFS"), QStringLiteral("Gridpath")).toString(), QStringLiteral("C:/qeldata/Grids"));
    EXPECT_EQ(GuiIni::value(QStringLiteral("RUNTIME"), QStringLiteral("CorvModel"), 0).toInt(), 2040);
}

TEST_F(GuiIniFile, WritesLandInTheFileAQtReaderSees)
{
    ASSERT_TRUE(GuiIni::setValue(QStringLiteral("RUNTIME"), QStringLiteral("CorvLayoutFile"), QStringLiteral("bridge.cvn")));
    QSettings reader(GuiIni::localPath(), QSettings::IniFormat);
    EXPECT_EQ(reader.value(QStringLiteral("RUNTIME/CorvLayoutFile")).toString(), QStringLiteral("bridge.cvn"));
}

TEST_F(GuiIniFile, StoredPathWinsOnceFilled)
{
    g_strGuiIniPath = "C:\\Other\\gui.ini";
    EXPECT_EQ(GuiIni::localPath(), platform::winRoot() + QStringLiteral("/c/Other/gui.ini"));
    g_strGuiIniPath.clear();
}

TEST_F(GuiIniFile, AbsentCountersAreWrittenBackOnFirstRead)
{
    EXPECT_EQ(GuiIni::readGridEngine(), 1);
    EXPECT_EQ(GuiIni::readSendFileQuarantineSec(), 30);
    const QByteArray text = readRaw();
    EXPECT_TRUE(text.contains("GRIDENGINE=1")) << text.constData();
    EXPECT_TRUE(text.contains("[REMOTESETTINGS]")) << text.constData();
    EXPECT_TRUE(text.contains("SENDFILE_QUARANTINE_SEC=30")) << text.constData();

    // Qt notices a changed file by its size and time stamp: the new text is longer.
    writeRaw("[RUNTIME]\nGRIDENGINE=2\n\n[REMOTESETTINGS]\nSENDFILE_QUARANTINE_SEC=abc\n");
    EXPECT_EQ(GuiIni::readGridEngine(), 2);
    EXPECT_EQ(GuiIni::readSendFileQuarantineSec(), 1);
    EXPECT_FALSE(readRaw().contains("=30")) << "a present value is never rewritten";
}

TEST_F(GuiIniFile, SendIpNotSetIsReplacedByTheLocalAddress)
{
    const QString local = GuiIni::localHostFirstIPv4();
    if (local.isEmpty())
        GTEST_SKIP() << "this host's name has no IPv4 address";
    writeRaw("[RUNTIME]\nSendIP=NOT_SET\n");
    EXPECT_EQ(GuiIni::readSendIp(), local);
    QSettings reader(GuiIni::localPath(), QSettings::IniFormat);
    EXPECT_EQ(reader.value(QStringLiteral("RUNTIME/SendIP")).toString(), local);

    writeRaw("; written by hand\n[RUNTIME]\nSendIP=10.1.2.3\n");
    EXPECT_EQ(GuiIni::readSendIp(), QStringLiteral("10.1.2.3"));
}

} // namespace
