// The first load of a process writes the bookkeeping file back; later loads do not. Runs in a
// process of its own.
#include "SurveyUtils/SurveyData.h"

#include "SurveyFolders.h"

#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

TEST(SurveyFirstLoad, OnlyTheFirstLoadWritesTheFile)
{
    corvtest::useProgramData();
    corvtest::clearWindowsRoot();
    {
        CSurveyData oSurvey;
        ASSERT_TRUE(oSurvey.load("Ulma 2200"));
    }
    QFile oFile(corvtest::surveyInfo());
    ASSERT_TRUE(oFile.open(QIODevice::ReadOnly));
    const QString strText = QString::fromUtf8(oFile.readAll());
    EXPECT_TRUE(strText.contains("RawFileNameStructure=CNT _ YEAR MONTH DAY _ HOUR MIN SEC")) << strText.toStdString();
    EXPECT_TRUE(strText.contains("GridPath=C:/qeldata/grids/Fallback_Ulma 2200")) << strText.toStdString();

    QSettings oIni(corvtest::surveyInfo(), QSettings::IniFormat);
    EXPECT_EQ(oIni.value("Common/RawDataRoot"), QVariant("C:/qeldata/raw/"));
    oIni.beginGroup("Ulma 2200");
    EXPECT_EQ(oIni.value("CurrentSurvey"), QVariant("Fallback_Ulma 2200"));
    EXPECT_EQ(oIni.value("Projection"), QVariant("Mercator"));
    EXPECT_EQ(oIni.value("GridSize").toInt(), 100);
    EXPECT_TRUE(oIni.contains("Comment"));
    EXPECT_EQ(oIni.value("PreviousSurveys").toStringList(), QStringList{"Fallback_Ulma 2200"});
    EXPECT_EQ(oIni.value("RawPath"), QVariant("Fallback_Ulma 2200"));
    EXPECT_EQ(oIni.value("CurrLine").toInt(), 0);
    oIni.endGroup();

    QFile::remove(corvtest::surveyInfo());
    {
        CSurveyData oSecond;
        ASSERT_TRUE(oSecond.load("Ulma 2200"));
    }
    EXPECT_FALSE(QFile::exists(corvtest::surveyInfo()));
}

} // namespace
