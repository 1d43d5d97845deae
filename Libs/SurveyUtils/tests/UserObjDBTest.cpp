// The user-object database is registered and opened once per process: a process of its own.
#include "SurveyUtils/UserObjs.h"

#include "SurveyFolders.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

QStringList g_lstMessages;

void collect(QtMsgType, const QMessageLogContext&, const QString& strText)
{
    g_lstMessages << strText;
}

TEST(UserObjDB, TwoCollectionsOpenTheDatabaseOnce)
{
    corvtest::useProgramData();
    corvtest::clearWindowsRoot();
    const QString strFile = corvtest::dataFolder() + QStringLiteral("/userobjects.sqlite");
    {
        QSqlDatabase oSetup = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        oSetup.setDatabaseName(strFile);
        ASSERT_TRUE(oSetup.open());
        QSqlQuery(oSetup).exec(QStringLiteral("create table objects (id integer primary key)"));
        oSetup.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));

    const QtMessageHandler pfPrevious = qInstallMessageHandler(&collect);
    {
        CUserObjs oFirst;
        QSqlDatabase oDatabase = QSqlDatabase::database(QStringLiteral("tvgpl"), false);
        ASSERT_TRUE(oDatabase.isValid());
        EXPECT_TRUE(oDatabase.isOpen());
        EXPECT_EQ(oDatabase.databaseName(), strFile);
        QSqlQuery oQuery(oDatabase);
        ASSERT_TRUE(oQuery.exec(QStringLiteral("PRAGMA foreign_keys")));
        ASSERT_TRUE(oQuery.next());
        EXPECT_EQ(oQuery.value(0).toInt(), 1);
    }
    // A second collection neither registers the connection again nor reopens it.
    QFile::remove(strFile);
    {
        CUserObjs oSecond;
        CUserObjDB oOpener;
        EXPECT_TRUE(oOpener.open());
    }
    qInstallMessageHandler(pfPrevious);
    EXPECT_TRUE(g_lstMessages.isEmpty()) << g_lstMessages.join('|').toStdString();
    EXPECT_EQ(QSqlDatabase::connectionNames(), QStringList{"tvgpl"});
    EXPECT_TRUE(QSqlDatabase::database(QStringLiteral("tvgpl"), false).isOpen());
    EXPECT_FALSE(QFile::exists(strFile)) << "the second opener must not have created a database";
}

} // namespace
