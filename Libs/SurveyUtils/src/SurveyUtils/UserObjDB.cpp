#include "SurveyUtils/UserObjDB.h"

#include "Common/CorvPaths.h"

#include <platform/paths.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <atomic>

namespace {
std::atomic<bool> g_bRegistered{false};
} // namespace

bool CUserObjDB::open()
{
    if (g_bRegistered.exchange(true))
        return true;
    QSqlDatabase oDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tvgpl"));

    const QString strFile = platform::toNativePath(programDataPath() + QStringLiteral("\\userobjects.sqlite"));
    if (!QFileInfo(strFile).isFile())
        return false;
    oDatabase.setDatabaseName(strFile);
    if (!oDatabase.open())
        return false;
    QSqlQuery oQuery(oDatabase);
    oQuery.exec(QStringLiteral("PRAGMA foreign_keys = ON;"));
    return oDatabase.isOpen();
}
