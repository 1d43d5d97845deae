// The remove-surveys dialog on a survey database of the installation.
#include "TqelRuntime/RemSurvDlg.h"

#include "platform/paths.h"
#include "platform/registry.h"
#include "test_scratch.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

namespace {

QStringList listed(const CRemSurvDlg& oDialog)
{
    QStringList lstNames;
    for (int nRow = 0; nRow < oDialog.surveyList()->count(); ++nRow)
        lstNames << oDialog.surveyList()->item(nRow)->text();
    return lstNames;
}

// A survey database named by the machine's ODBC registration.
class RemSurvDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        const QString strDatabase = QDir(corvtest::scratchDir()).filePath(QStringLiteral("tqel-surveys.db"));
        QFile::remove(strDatabase);
        {
            QSqlDatabase oDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
            oDatabase.setDatabaseName(strDatabase);
            ASSERT_TRUE(oDatabase.open());
            QSqlQuery oQuery(oDatabase);
            for (const char* szStatement :
                 {"create table survey (id integer, surveyname text)",
                  "create table dds_parameters (fallback_survey integer)",
                  "create table hdds_survey (survey_id integer)",
                  "insert into survey values (12, 'Harbour'), (50, 'Calibration'), (51, 'North Bank'),"
                  " (52, 'Fallback'), (53, 'Held'), (60, 'Approach'), (70, 'Channel')",
                  "insert into dds_parameters values (52)", "insert into hdds_survey values (53)"})
                ASSERT_TRUE(oQuery.exec(QLatin1String(szStatement))) << szStatement;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        writeRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\TQELDB]\nDatabase=" + strDatabase.toUtf8() + "\n");
    }

    static void writeRegistry(const QByteArray& baText)
    {
        QFile oFile(platform::toNativePath(platform::machineRegistryFile()));
        QDir().mkpath(QFileInfo(oFile.fileName()).absolutePath());
        ASSERT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        oFile.write(baText);
    }

    static void press(CRemSurvDlg& oDialog, QDialogButtonBox::StandardButton eButton)
    {
        auto* poBox = oDialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QTimer::singleShot(0, poBox->button(eButton), &QPushButton::click);
    }
};

TEST_F(RemSurvDlgTest, OffersOnlySurveysThatMayBeRemovedByName)
{
    CRemSurvDlg oDialog;
    EXPECT_EQ(listed(oDialog), QStringList({QStringLiteral("Approach"), QStringLiteral("Channel"),
                                            QStringLiteral("North Bank")}));
    EXPECT_EQ(oDialog.windowTitle(), QStringLiteral("Remove Surveys"));
}

TEST_F(RemSurvDlgTest, OkHandsOverTheSelectedSurveysCancelNone)
{
    CRemSurvDlg oDialog;
    for (int nRow = 0; nRow < oDialog.surveyList()->count(); ++nRow)
        oDialog.surveyList()->item(nRow)->setSelected(true);
    press(oDialog, QDialogButtonBox::Ok);
    EXPECT_EQ(oDialog.exec(), QDialog::Accepted);
    EXPECT_EQ(oDialog.m_lstSurveys.join(QLatin1Char(';')), QStringLiteral("Approach;Channel;North Bank"));

    CRemSurvDlg oCancelled;
    oCancelled.surveyList()->item(0)->setSelected(true);
    press(oCancelled, QDialogButtonBox::Cancel);
    EXPECT_EQ(oCancelled.exec(), QDialog::Rejected);
    EXPECT_TRUE(oCancelled.m_lstSurveys.isEmpty());
}

TEST_F(RemSurvDlgTest, WithoutADatabaseTheListIsEmpty)
{
    writeRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\TQELDB]\nDatabase=C:\\nowhere\\tqel.db\n");
    EXPECT_TRUE(listed(CRemSurvDlg()).isEmpty());
    // The dialog only reads: a missing database is not created.
    EXPECT_FALSE(QFile::exists(platform::toNativePath(QStringLiteral("C:\\nowhere\\tqel.db"))));
    writeRegistry("");
    EXPECT_TRUE(listed(CRemSurvDlg()).isEmpty());
}

} // namespace
