#include "SurveyUtils/SurveyData.h"

#include "SurveyFolders.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

using corvtest::dataFolder;
using corvtest::surveyInfo;

class SurveyDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::useProgramData();
        // The first load of the process writes the file back; take it here so that every
        // test sees the behaviour of all later loads.
        CSurveyData oFirst;
        oFirst.load("first");
    }

    void SetUp() override { corvtest::clearWindowsRoot(); }

    // Writes keys of "SurveyInfo.ini" as another program of the installation would.
    static void writeKeys(const QVariantMap& mapKeys)
    {
        QSettings oIni(surveyInfo(), QSettings::IniFormat);
        for (auto it = mapKeys.constBegin(); it != mapKeys.constEnd(); ++it)
            oIni.setValue(it.key(), it.value());
    }

    static QVariant readKey(const QString& strKey)
    {
        QSettings oIni(surveyInfo(), QSettings::IniFormat);
        return oIni.value(strKey);
    }

    // Loads the sounder, saves, and returns the previous surveys as written.
    static QStringList loadAndSave(const std::string& strSounder)
    {
        CSurveyData oSurvey;
        EXPECT_TRUE(oSurvey.load(strSounder));
        EXPECT_TRUE(oSurvey.save());
        return readKey(QString::fromStdString(strSounder) + QStringLiteral("/PreviousSurveys")).toStringList();
    }
};

TEST_F(SurveyDataTest, SaveWritesEveryKeyWithDefaults)
{
    CSurveyData oSurvey;
    ASSERT_TRUE(oSurvey.load("Ulma 2200"));
    EXPECT_FALSE(QFile::exists(surveyInfo())) << "only the first load of a process writes";
    ASSERT_TRUE(oSurvey.save());

    QSettings oIni(surveyInfo(), QSettings::IniFormat);
    EXPECT_EQ(oIni.value("Common/RawDataRoot"), QVariant("C:/qeldata/raw/"));
    EXPECT_EQ(oIni.value("Common/RawFileNameStructure"), QVariant("CNT _ YEAR MONTH DAY _ HOUR MIN SEC"));
    EXPECT_FALSE(oIni.contains("Common/GridDataRoot"));
    EXPECT_FALSE(oIni.contains("Common/NumGridCells"));
    oIni.beginGroup("Ulma 2200");
    EXPECT_EQ(oIni.value("CurrentSurvey"), QVariant("Fallback_Ulma 2200"));
    EXPECT_EQ(oIni.value("Projection"), QVariant("Mercator"));
    EXPECT_EQ(oIni.value("GridSize").toInt(), 100);
    EXPECT_EQ(oIni.value("Comment"), QVariant(""));
    EXPECT_EQ(oIni.value("PreviousSurveys").toStringList(), QStringList{"Fallback_Ulma 2200"});
    EXPECT_EQ(oIni.value("RawPath"), QVariant("Fallback_Ulma 2200"));
    EXPECT_EQ(oIni.value("GridPath"), QVariant("C:/qeldata/grids/Fallback_Ulma 2200"));
    EXPECT_EQ(oIni.value("CurrLine").toInt(), 0);
}

TEST_F(SurveyDataTest, SaveKeepsWhatTheFileHolds)
{
    writeKeys({{"Common/RawDataRoot", "D:/raw"},
               {"Common/GridDataRoot", "D:/grids/"},
               {"Common/AppendName", true},
               {"Ulma 770/CurrentSurvey", "North Sea 7"},
               {"Ulma 770/Projection", "UTM32N"},
               {"Ulma 770/Comment", "Pipeline, phase 2"},
               {"Ulma 770/CurrLine", 12}});
    loadAndSave("Ulma 770");

    QSettings oIni(surveyInfo(), QSettings::IniFormat);
    EXPECT_EQ(oIni.value("Common/RawDataRoot"), QVariant("D:/raw"));
    EXPECT_EQ(oIni.value("Common/RawFileNameStructure"), QVariant("CNT _ YEAR MONTH DAY _ HOUR MIN SEC _ SHIP"));
    oIni.beginGroup("Ulma 770");
    EXPECT_EQ(oIni.value("Projection"), QVariant("UTM32N"));
    EXPECT_EQ(oIni.value("Comment"), QVariant("Pipeline, phase 2"));
    EXPECT_EQ(oIni.value("GridPath"), QVariant("D:/grids/North Sea 7"));
    EXPECT_EQ(oIni.value("RawPath"), QVariant("North Sea 7"));
    EXPECT_EQ(oIni.value("CurrLine").toInt(), 12);
    EXPECT_EQ(oIni.value("PreviousSurveys").toStringList(), QStringList{"North Sea 7"});
}

TEST_F(SurveyDataTest, PreviousSurveysAreNormalised)
{
    struct Case {
        QStringList lstStored;
        const char* szCurrent;
        int nLine;
        QStringList lstExpected;
        const char* szWhat;
    };
    const Case kCases[] = {
        {{"B:7", "A", "B:9", "C:x:1"}, "A", 4, {"A:4", "B:9", "C:0"}, "sorted, later entry wins, odd entries 0"},
        {{"Survey1:5", "Survey10:8", "Survey1x:2"}, "Survey1", 6, {"Survey1:6", "Survey10:8", "Survey1x:2"},
         "only the current survey's own entry takes the line"},
        {{"X:3"}, "Y", 2, {"X:3", "Y"}, "current survey appended without a line"},
        {{"A:1", "A:1", ":", "::", "D::5"}, "D", 9, {"A:1", "D:9"}, "duplicates and empty parts dropped"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.szWhat);
        corvtest::clearWindowsRoot();
        writeKeys({{"Ulma 330/PreviousSurveys", c.lstStored},
                   {"Ulma 330/CurrentSurvey", c.szCurrent},
                   {"Ulma 330/CurrLine", c.nLine}});
        EXPECT_EQ(loadAndSave("Ulma 330"), c.lstExpected);
    }
}

TEST_F(SurveyDataTest, GridSizeFollowsTheSounderModel)
{
    struct Case {
        const char* szSounder;
        QVariantMap mapKeys;
        int nExpected;
    };
    const Case kCases[] = {
        {"Ulma 2200", {}, 100},
        {"Ulma 770", {}, 500},
        {"Ulma 330", {}, 1000},
        {"Ulma 110", {}, 5000},
        {"Ulma 770 Deep", {{"Common/CellSize770", 250}}, 250},
        {"Ulma 2200", {{"Common/CellSize2200", 20}}, 20},
        {"ulma 110", {}, 100}, // the model prefix is case-sensitive
        {"Echo 5", {}, 100},
        {"Ulma 110", {{"Ulma 110/GridSize", 250}}, 250}, // a stored size stays
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.szSounder);
        corvtest::clearWindowsRoot();
        writeKeys(c.mapKeys);
        loadAndSave(c.szSounder);
        EXPECT_EQ(readKey(QString::fromLatin1(c.szSounder) + QStringLiteral("/GridSize")).toInt(), c.nExpected);
    }
}

TEST_F(SurveyDataTest, LoadSeesChangesOfOtherPrograms)
{
    writeKeys({{"Ulma 770/CurrentSurvey", "Old"}});
    CSurveyData oSurvey; // opened before the other program writes
    writeKeys({{"Ulma 770/CurrentSurvey", "The much longer new survey"}});
    oSurvey.load("Ulma 770");
    oSurvey.save();
    EXPECT_EQ(readKey("Ulma 770/CurrentSurvey"), QVariant("The much longer new survey"));
}

TEST_F(SurveyDataTest, SaveBeforeLoadWritesNothing)
{
    {
        CSurveyData oSurvey;
        EXPECT_FALSE(oSurvey.save());
    }
    EXPECT_FALSE(QFile::exists(surveyInfo()));
}

TEST_F(SurveyDataTest, DataRoots)
{
    CSurveyData oDefaults;
    EXPECT_EQ(oDefaults.getGridDataRoot(), "C:/qeldata/grids/");
    EXPECT_EQ(oDefaults.getRawDataRoot(), "C:/qeldata/raw/");

    writeKeys({{"Common/GridDataRoot", "E:/g"}, {"Common/RawDataRoot", "E:/r"}});
    CSurveyData oStored;
    EXPECT_EQ(oStored.getGridDataRoot(), "E:/g");
    EXPECT_EQ(oStored.getRawDataRoot(), "E:/r");
}

class GridFolderTest : public SurveyDataTest {
protected:
    static QString nativeGridFolder(const QString& strSurvey)
    {
        return platform::toNativePath(QStringLiteral("C:/qeldata/grids/") + strSurvey);
    }
    static void writeTemplate(const QString& strProjection, const QByteArray& baText)
    {
        QDir().mkpath(dataFolder() + QStringLiteral("/proj4"));
        QFile oFile(dataFolder() + QStringLiteral("/proj4/") + strProjection + QStringLiteral(".projsetup"));
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
        oFile.write(baText);
    }
    static QByteArray readFile(const QString& strPath)
    {
        QFile oFile(strPath);
        return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray("<missing>");
    }
    static std::string prepare(const char* szSurvey, const char* szProjection)
    {
        writeKeys({{"Ulma 770/CurrentSurvey", szSurvey}, {"Ulma 770/Projection", szProjection}});
        CSurveyData oSurvey;
        oSurvey.load("Ulma 770");
        return oSurvey.prepareGridFolder();
    }
    const QByteArray m_baTemplate = "<QEL_Projection>\r\nEPSG:4326\r\n+proj=utm +zone=32 +north +units=cm\r\n";
};

TEST_F(GridFolderTest, CopiesTheTemplateIntoANewFolder)
{
    writeTemplate("UTM32N", m_baTemplate);
    const std::string strTarget = prepare("Vessel A/Survey 1", "UTM32N");
    EXPECT_EQ(strTarget, "C:/qeldata/grids//Vessel A/Survey 1/qel_projv6.txt");
    EXPECT_EQ(readFile(platform::toNativePath(QString::fromStdString(strTarget))), m_baTemplate);
    EXPECT_EQ(readFile(nativeGridFolder("Vessel A/Survey 1/qel_projv6.txt")), m_baTemplate);
}

TEST_F(GridFolderTest, NeverReplacesAnExistingFile)
{
    writeTemplate("Mercator", m_baTemplate);
    QDir().mkpath(nativeGridFolder("S2"));
    QFile oExisting(nativeGridFolder("S2/qel_projv6.txt"));
    ASSERT_TRUE(oExisting.open(QIODevice::WriteOnly));
    oExisting.write("mine");
    oExisting.close();

    EXPECT_EQ(prepare("S2", "Mercator"), "C:/qeldata/grids//S2/qel_projv6.txt");
    EXPECT_EQ(readFile(nativeGridFolder("S2/qel_projv6.txt")), QByteArray("mine"));
}

TEST_F(GridFolderTest, MissingTemplateLeavesAnEmptyFolder)
{
    prepare("S3", "Lambert");
    EXPECT_TRUE(QDir(nativeGridFolder("S3")).exists());
    EXPECT_FALSE(QFile::exists(nativeGridFolder("S3/qel_projv6.txt")));
}

TEST_F(GridFolderTest, NamesThatLeaveTheirFolderAreRefused)
{
    writeTemplate("Mercator", m_baTemplate);
    prepare("../../escaped", "Mercator");
    EXPECT_FALSE(QDir(platform::toNativePath(QStringLiteral("C:/escaped"))).exists());
    EXPECT_FALSE(QDir(platform::toNativePath(QStringLiteral("C:/qeldata/escaped"))).exists());

    writeTemplate("secret", "not a projection");
    prepare("S4", "../proj4/secret");
    EXPECT_FALSE(QFile::exists(nativeGridFolder("S4/qel_projv6.txt")));
}

} // namespace
