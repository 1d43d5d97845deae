// The rules behind the main window's commands: tools definition files and their commands, the
// companion programs' argument lists as the programs receive them, and the folders of remote
// survey grids built from names received over the network.
#include "MainWindowCommands.h"
#include "MainWindowText.h"

#include "platform/paths.h"
#include "platform/process.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>

#include <cmath>
#include <limits>

namespace {

bool writeFile(const QString& strPath, const QByteArray& baContent)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* szName, const QByteArray& baValue, bool bSet = true)
        : m_szName(szName), m_bHad(qEnvironmentVariableIsSet(szName)), m_baOld(qgetenv(szName))
    {
        if (bSet)
            qputenv(szName, baValue);
        else
            qunsetenv(szName);
    }
    ~EnvironmentVariable()
    {
        if (m_bHad)
            qputenv(m_szName, m_baOld);
        else
            qunsetenv(m_szName);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_szName;
    bool m_bHad;
    QByteArray m_baOld;
};

TEST(ToolCommand, AVariableBetweenPercentSignsBecomesItsValue)
{
    const EnvironmentVariable oRoot("TOOLROOT", "C:/tools");
    const EnvironmentVariable oBackslashRoot("TOOLROOT_BS", "D:\\apps\\");
    const EnvironmentVariable oLocal("TOOLROOT_LOCAL", "/opt/corv/");
    const EnvironmentVariable oUnset("TOOLROOT_UNSET", QByteArray(), false);
    struct Case {
        const char* szCommand;
        QString strExpected;
    };
    const Case aCases[] = {
        {"%TOOLROOT%/bin/tool.exe", QStringLiteral("C:/tools/bin/tool.exe")},
        {"%TOOLROOT_BS%/bin/tool.exe", QStringLiteral("D:/apps/bin/tool.exe")},
        {"%TOOLROOT_LOCAL%/bin/../tool", QStringLiteral("/opt/corv/tool")},
        // Without a "/" the whole command follows the value.
        {"%TOOLROOT%tool.exe", QStringLiteral("C:/tools/%TOOLROOT%tool.exe")},
        // An unset variable is empty: the rest of the command from the root.
        {"%TOOLROOT_UNSET%/bin/tool.exe", QStringLiteral("/bin/tool.exe")},
        // No variable: as written.
        {"C:/tools/bin/tool.exe", QStringLiteral("C:/tools/bin/tool.exe")},
        {"notepad.exe", QStringLiteral("notepad.exe")},
        // A single percent sign names no variable.
        {"%tool.exe", QStringLiteral("%tool.exe")},
    };
    for (const Case& oCase : aCases)
        EXPECT_EQ(expandToolCommand(QLatin1String(oCase.szCommand)), oCase.strExpected) << oCase.szCommand;
}

TEST(ToolCommand, StartsInTheProgramsFolderWithOneBlankArgument)
{
    const ToolLaunch oWithFolder = toolLaunch(QStringLiteral("C:/tools/bin/tool.exe"));
    EXPECT_EQ(oWithFolder.strProgram, QStringLiteral("C:/tools/bin/tool.exe"));
    EXPECT_EQ(oWithFolder.strName, QStringLiteral("tool.exe"));
    EXPECT_EQ(oWithFolder.strFolder, QStringLiteral("C:/tools/bin"));
    EXPECT_EQ(oWithFolder.lstArguments, QStringList{QStringLiteral(" ")});

    const ToolLaunch oOnPath = toolLaunch(QStringLiteral("notepad.exe"));
    EXPECT_EQ(oOnPath.strName, QStringLiteral("notepad.exe"));
    EXPECT_EQ(oOnPath.strFolder, QDir::currentPath());
    EXPECT_EQ(oOnPath.lstArguments, QStringList{QStringLiteral(" ")});
}

class ToolsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        m_strFile = QStringLiteral("C:/ProgramData/Tavrin Nautic/tqel/corvtools.ini");
    }
    QString m_strFile;
};

TEST_F(ToolsFileTest, EntriesInFileOrderWithTheirFileLayout)
{
    ASSERT_TRUE(writeFile(platform::toNativePath(m_strFile),
                          "[QXTools]\nNumItems=3\n"
                          "Item1=Editor, Edit the notes, %TOOLROOT%/bin/edit.exe, ignored\n"
                          "Item2=Viewer, View the grids, C:/tools/view.exe\n"
                          "Item3=Calc, Calculator, calc.exe\n"));
    const QList<ToolItem> lstWorking = readToolItems(m_strFile, true);
    ASSERT_EQ(lstWorking.size(), 3);
    EXPECT_EQ(lstWorking.at(0).nItem, 1);
    EXPECT_EQ(lstWorking.at(0).strText, QStringLiteral("Editor"));
    EXPECT_EQ(lstWorking.at(0).strStatusTip, QStringLiteral("Edit the notes"));
    EXPECT_EQ(lstWorking.at(0).strCommand, QStringLiteral("%TOOLROOT%/bin/edit.exe"));
    EXPECT_EQ(lstWorking.at(2).strCommand, QStringLiteral("calc.exe"));

    // The data folder's layout has no status tip: the second field is the command.
    const QList<ToolItem> lstData = readToolItems(m_strFile, false);
    ASSERT_EQ(lstData.size(), 3);
    EXPECT_EQ(lstData.at(1).strText, QStringLiteral("Viewer"));
    EXPECT_TRUE(lstData.at(1).strStatusTip.isEmpty());
    EXPECT_EQ(lstData.at(1).strCommand, QStringLiteral("View the grids"));
}

TEST_F(ToolsFileTest, ShortMissingAndOverAnnouncedEntriesAreNotRead)
{
    ASSERT_TRUE(writeFile(platform::toNativePath(m_strFile),
                          "[QXTools]\nNumItems=2147483647\n"
                          "Item1=Only a name\n"
                          "Item2=Name, tip\n"
                          "Item4=Editor, tip, edit.exe\n"));
    EXPECT_EQ(toolItemCount(m_strFile), 256);
    const QList<ToolItem> lstItems = readToolItems(m_strFile, true);
    ASSERT_EQ(lstItems.size(), 1);
    EXPECT_EQ(lstItems.at(0).nItem, 4);
    ASSERT_EQ(readToolItems(m_strFile, false).size(), 2);
    EXPECT_EQ(readToolItems(m_strFile, false).at(0).strCommand, QStringLiteral("tip"));

    EXPECT_TRUE(readToolItems(QStringLiteral("C:/nowhere/corvtools.ini"), true).isEmpty());
    ASSERT_TRUE(writeFile(platform::toNativePath(m_strFile), "[Other]\nNumItems=2\nItem1=a, b, c\n"));
    EXPECT_EQ(toolItemCount(m_strFile), 0);
    EXPECT_TRUE(readToolItems(m_strFile, true).isEmpty());
    ASSERT_TRUE(writeFile(platform::toNativePath(m_strFile), "[QXTools]\nNumItems=-5\nItem1=a, b, c\n"));
    EXPECT_EQ(toolItemCount(m_strFile), 0);
}

TEST(MapConfigurator, ArgumentsInTheirOrderWithTheCentreTruncated)
{
    EXPECT_EQ(mapConfiguratorProgram(), QStringLiteral("../TerrainEditor/Tavrin.Dremm.TerrainEditorApp.exe"));
    const QStringList lstArguments = mapConfiguratorArguments(QStringLiteral("WMTS"), QStringLiteral(" 32632 "), 812.6, -345.2);
    const QStringList lstExpected{QStringLiteral("--mapSource"), QStringLiteral("WMTS"), QStringLiteral("--epsg"),
                                  QStringLiteral("32632"), QStringLiteral("--center-x"), QStringLiteral("812"),
                                  QStringLiteral("--center-y"), QStringLiteral("-345"), QStringLiteral("--size"),
                                  QStringLiteral("2097152"), QStringLiteral("--save-dir"), QStringLiteral("C:\\temp"),
                                  QStringLiteral("--levels"), QStringLiteral("13"), QStringLiteral("--url")};
    ASSERT_EQ(lstArguments.size(), lstExpected.size() + 1);
    EXPECT_EQ(lstArguments.mid(0, lstExpected.size()), lstExpected);
    EXPECT_TRUE(lstArguments.last().startsWith(QLatin1String("http://localhost")));

    // A centre that is no number, or beyond what an integer holds, gives no garbage.
    const double dNaN = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(mapConfiguratorArguments(QStringLiteral("WMS"), QString(), dNaN, 1e300).mid(4, 4),
              (QStringList{QStringLiteral("--center-x"), QStringLiteral("0"), QStringLiteral("--center-y"),
                           QString::number(std::numeric_limits<qint64>::max())}));
    EXPECT_EQ(mapConfiguratorArguments(QStringLiteral("WMS"), QString(), -0.9, -1e300).mid(4, 4),
              (QStringList{QStringLiteral("--center-x"), QStringLiteral("0"), QStringLiteral("--center-y"),
                           QString::number(std::numeric_limits<qint64>::min())}));
}

// The stand-in companion records its arguments: they arrive exactly as the list was made,
// without any splitting or quoting.
TEST(CompanionPrograms, ReceiveTheirArgumentListUnchanged)
{
    corvtest::prepareScratch();
    const QString strLog = corvtest::scratchDir() + QStringLiteral("/companions.jsonl");
    QFile::remove(strLog);
    QProcessEnvironment oEnvironment = QProcessEnvironment::systemEnvironment();
    oEnvironment.insert(QStringLiteral("CORV_COMPANION_LOG"), strLog);

    const QStringList lstArguments =
        mapConfiguratorArguments(QStringLiteral("WMS"), QStringLiteral("3395"), 1.5, 2.5)
        << QStringLiteral("two words") << QStringLiteral("quote \" and \\ backslash") << QStringLiteral("line\nend")
        << QString() << QStringLiteral(" ");
    platform::StartOptions oOptions;
    oOptions.program = qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Tavrin.Dremm.TerrainEditorApp.exe");
    oOptions.arguments = lstArguments;
    oOptions.workingDirectory = corvtest::scratchDir();
    oOptions.environment = oEnvironment;
    ASSERT_TRUE(platform::startDetached(oOptions).has_value());

    ASSERT_TRUE(corvtest::waitUntil([&] {
        QFile oFile(strLog);
        return oFile.open(QIODevice::ReadOnly) && oFile.readAll().endsWith('\n');
    }));
    QFile oFile(strLog);
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    const QJsonObject oRecord = QJsonDocument::fromJson(oFile.readLine()).object();
    EXPECT_EQ(oRecord.value(QStringLiteral("program")).toString(), QStringLiteral("Tavrin.Dremm.TerrainEditorApp.exe"));
    EXPECT_EQ(oRecord.value(QStringLiteral("workingDirectory")).toString(), QDir(corvtest::scratchDir()).canonicalPath());
    QStringList lstReceived;
    for (const QJsonValue& vArgument : oRecord.value(QStringLiteral("arguments")).toArray())
        lstReceived << vArgument.toString();
    EXPECT_EQ(lstReceived, lstArguments);
}

TEST(RemoteGrid, NamesFromThePeerStayOneFolderBelowTheGridRoot)
{
    EXPECT_EQ(remoteGridFolder(QStringLiteral("alpha"), QStringLiteral("S1")), QStringLiteral("c:/qeldata/grids/alpha/S1"));
    EXPECT_EQ(remoteSurveyInfoFile(QStringLiteral("alpha"), QStringLiteral("S 1.v2")),
              QStringLiteral("c:/qeldata/grids/alpha/S 1.v2/Terrain/surveyinfo.json"));
    const QString aBad[] = {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../x"),
                            QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("C:"), QStringLiteral("/etc"),
                            QStringLiteral("a\nb"), QStringLiteral("a") + QChar(0) + QStringLiteral("b")};
    for (const QString& strBad : aBad) {
        EXPECT_FALSE(isPlainFolderName(strBad)) << qPrintable(strBad);
        EXPECT_TRUE(remoteGridFolder(strBad, QStringLiteral("S1")).isNull()) << qPrintable(strBad);
        EXPECT_TRUE(remoteGridFolder(QStringLiteral("alpha"), strBad).isNull()) << qPrintable(strBad);
        EXPECT_TRUE(remoteSurveyInfoFile(QStringLiteral("alpha"), strBad).isNull()) << qPrintable(strBad);
    }
    EXPECT_TRUE(isPlainFolderName(QStringLiteral("..a")));
    EXPECT_TRUE(isPlainFolderName(QStringLiteral("Survey 2024-01-02")));
}

} // namespace

// F1 opens the configured page when it is there, else the page installed beside the program.
TEST(HelpPage, ConfiguredPageElseTheInstalledOne)
{
    const QString strRoot = corvtest::scratchDir() + QStringLiteral("/help-case");
    const QString strProgram = strRoot + QStringLiteral("/bin");
    const QString strOwn = strRoot + QStringLiteral("/Doc/own.htm");
    const QString strInstalled = strProgram + QStringLiteral("/help/default.htm");
    QDir().mkpath(strProgram + QStringLiteral("/help"));
    QDir().mkpath(strRoot + QStringLiteral("/Doc"));
    struct Case {
        bool bOwn;
        bool bInstalled;
        QString strConfigured;
        QString strExpected;
    };
    const Case aCases[] = {
        {true, true, strOwn, strOwn},
        {false, true, strOwn, strInstalled},
        {false, true, QString(), strInstalled},
        {true, false, strOwn, strOwn},
        {false, false, strOwn, QString()},
    };
    for (const Case& oCase : aCases) {
        QFile::remove(strOwn);
        QFile::remove(strInstalled);
        for (const auto& [bWanted, strFile] : {std::pair<bool, QString>{oCase.bOwn, strOwn}, {oCase.bInstalled, strInstalled}}) {
            QFile oFile(strFile);
            if (bWanted)
                ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
        }
        EXPECT_EQ(helpFile(oCase.strConfigured, strProgram), oCase.strExpected)
            << oCase.bOwn << oCase.bInstalled << qPrintable(oCase.strConfigured);
    }
}
