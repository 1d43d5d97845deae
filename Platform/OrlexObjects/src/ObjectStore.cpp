#include "ObjectStore.h"

#include "Common/CorvPaths.h"
#include "SurveyUtils/UserObjDB.h"

#include <platform/paths.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

#include <cmath>

namespace orlex_objects {

namespace {

// SQLite stores a null text as NULL.
QString text(const QString& str)
{
    return str.isNull() ? QStringLiteral("") : str;
}

const char* const s_szConnection = "tvgpl";

QString pointsText(const std::vector<float>& points)
{
    QJsonArray array;
    for (float f : points)
        array.append(static_cast<double>(f));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool readPoints(const QString& strText, std::vector<float>& points)
{
    const QJsonDocument document = QJsonDocument::fromJson(strText.toUtf8());
    if (!document.isArray())
        return false;
    const QJsonArray array = document.array();
    if (array.size() % 2 != 0)
        return false;
    for (const QJsonValue& value : array) {
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            return false;
        points.push_back(static_cast<float>(value.toDouble()));
    }
    return true;
}

QSqlDatabase database()
{
    return QSqlDatabase::database(QLatin1String(s_szConnection), false);
}

bool exec(QSqlQuery& query)
{
    if (query.exec())
        return true;
    qWarning().noquote() << "COrlexObjs: user-object database:" << query.lastError().text();
    return false;
}

} // namespace

bool ObjectStore::ensureOpen()
{
    if (m_bTableReady)
        return true;
    CUserObjDB opener;
    opener.open();
    QSqlDatabase db = database();
    if (!db.isValid())
        return false;
    if (!db.isOpen()) {
        // No database yet: this library makes it, so objects are kept.
        db.setDatabaseName(platform::toNativePath(programDataPath() + QStringLiteral("userobjects.sqlite")));
        if (!db.open()) {
            qWarning().noquote() << "COrlexObjs: cannot open the user-object database:" << db.lastError().text();
            return false;
        }
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("CREATE TABLE IF NOT EXISTS dremm_objects (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                 "kind INTEGER NOT NULL, name TEXT NOT NULL DEFAULT '', color TEXT NOT NULL DEFAULT '', "
                                 "width INTEGER NOT NULL DEFAULT 3, points TEXT NOT NULL, link TEXT NOT NULL DEFAULT '')"));
    m_bTableReady = exec(query);
    return m_bTableReady;
}

bool ObjectStore::isOpen()
{
    return ensureOpen();
}

std::int64_t ObjectStore::insert(int nKind, const QString& strName, const QString& strColor, int nWidth,
                                 const std::vector<float>& points, const QString& strLink)
{
    if (!ensureOpen())
        return 0;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("INSERT INTO dremm_objects (kind, name, color, width, points, link) VALUES (?, ?, ?, ?, ?, ?)"));
    query.addBindValue(nKind);
    query.addBindValue(text(strName));
    query.addBindValue(text(strColor));
    query.addBindValue(nWidth);
    query.addBindValue(pointsText(points));
    query.addBindValue(text(strLink));
    if (!exec(query))
        return 0;
    return query.lastInsertId().toLongLong();
}

bool ObjectStore::update(std::int64_t nRowId, const QString& strName, const QString& strColor,
                         const std::vector<float>& points, const QString& strLink)
{
    if (!ensureOpen())
        return false;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE dremm_objects SET name = ?, color = ?, points = ?, link = ? WHERE id = ?"));
    query.addBindValue(text(strName));
    query.addBindValue(text(strColor));
    query.addBindValue(pointsText(points));
    query.addBindValue(text(strLink));
    query.addBindValue(static_cast<qlonglong>(nRowId));
    return exec(query);
}

bool ObjectStore::remove(std::int64_t nRowId)
{
    if (!ensureOpen())
        return false;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("DELETE FROM dremm_objects WHERE id = ?"));
    query.addBindValue(static_cast<qlonglong>(nRowId));
    return exec(query);
}

std::vector<StoredObject> ObjectStore::readAll()
{
    std::vector<StoredObject> rows;
    if (!ensureOpen())
        return rows;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT id, kind, name, color, width, points, link FROM dremm_objects ORDER BY id"));
    if (!exec(query))
        return rows;
    while (query.next()) {
        StoredObject row;
        row.nRowId = query.value(0).toLongLong();
        row.nKind = query.value(1).toInt();
        row.strName = query.value(2).toString();
        row.strColor = query.value(3).toString();
        row.nWidth = query.value(4).toInt();
        row.strLink = query.value(6).toString();
        if (row.nKind < 0 || row.nKind > 3 || !readPoints(query.value(5).toString(), row.points)) {
            qWarning().noquote() << "COrlexObjs: stored object" << row.nRowId << "is damaged";
            continue;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace orlex_objects
