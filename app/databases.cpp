#include "databases.h"

#include <glog/logging.h>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace db {

const StoreSpec& paramStore() {
    static const StoreSpec s{"PARAM.db",
                             "dbIn",
                             "sysparam",
                             "paraGroup/default/PARAM.db",
                             "cp -f ./paraGroup/default/PARAM.db ./",
                             160,
                             100};
    return s;
}
const StoreSpec& recordStore() {
    static const StoreSpec s{
        "RECORD.db", "dbRecord", "RECORD", "RECORDNULL.db", "cp -f RECORDNULL.db RECORD.db",
        135,         300};
    return s;
}
const StoreSpec& serialStore() {
    static const StoreSpec s{
        "SN.db", "dbT", "sysparam", "paraGroup/default/SN.db", "cp -f ./paraGroup/default/SN.db ./",
        160,     100};
    return s;
}

bool isHealthy(QSqlDatabase& db, const QString& table, QString* why) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
        q.value(0).toString() != QLatin1String("ok")) {
        if (why)
            *why = QStringLiteral("integrity check failed: ") + q.lastError().text();
        return false;
    }
    q.finish();
    QSqlQuery t(db);
    t.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"));
    t.addBindValue(table);
    if (!t.exec() || !t.next() || t.value(0).toInt() != 1) {
        if (why)
            *why = QStringLiteral("table %1 missing").arg(table);
        return false;
    }
    return true;
}

bool openChecked(const StoreSpec& store, const QString& dir, QString* why) {
    const QString connection = QLatin1String(store.connection);
    QSqlDatabase db = QSqlDatabase::contains(connection)
                          ? QSqlDatabase::database(connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    if (db.isOpen())
        db.close();
    const QString path = dir + u'/' + QLatin1String(store.file);
    if (!QFile::exists(path)) {
        if (why)
            *why = QStringLiteral("missing");
        return false;
    }
    db.setDatabaseName(path);
    if (!db.open()) {
        if (why)
            *why = db.lastError().text();
        return false;
    }
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=FULL"));
    if (!isHealthy(db, QLatin1String(store.table), why)) {
        db.close();
        return false;
    }
    return true;
}

bool repair(const StoreSpec& store, const QString& dir) {
    const QString target = dir + u'/' + QLatin1String(store.file);
    const QString source = dir + u'/' + QLatin1String(store.repairSource);
    LOG(WARNING) << "repair: " << store.repairCommand;
    // the damaged file is kept aside for inspection
    if (QFile::exists(target)) {
        const QString aside = target + QStringLiteral(".bad");
        QFile::remove(aside);
        if (!QFile::rename(target, aside) && !QFile::remove(target))
            return false;
    }
    if (!QFile::copy(source, target))
        return false;
    return QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
}

void closeAll() {
    for (const StoreSpec* s : {&paramStore(), &recordStore(), &serialStore()}) {
        const QString connection = QLatin1String(s->connection);
        if (QSqlDatabase::contains(connection)) {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            db.close();
        }
    }
}

bool execBound(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const auto& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        LOG(WARNING) << "sql: " << q.lastError().text().toStdString();
        return false;
    }
    return true;
}

std::optional<QString> selectValue(QSqlDatabase& db, const QString& table, const QString& name) {
    QSqlQuery q(db);
    // table names come from the program, never from stored text
    q.prepare(QStringLiteral("select value from %1 where name=?").arg(table));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toString();
}

bool runScript(const QString& sqlFile, const QString& dbFile, QString* error) {
    QFile src(sqlFile);
    if (!src.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read ") + sqlFile;
        return false;
    }
    QFile::remove(dbFile);
    const QString connection = QStringLiteral("script:") + dbFile;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dbFile);
        ok = db.open() && db.transaction();
        QString statement;
        QTextStream in(&src);
        while (ok && !in.atEnd()) {
            const QString line = in.readLine();
            if (line.trimmed().startsWith(QLatin1String("--")))
                continue;
            statement += line + u'\n';
            if (!line.trimmed().endsWith(u';'))
                continue;
            QSqlQuery q(db);
            if (!q.exec(statement)) {
                if (error)
                    *error = sqlFile + QStringLiteral(": ") + q.lastError().text();
                ok = false;
            }
            statement.clear();
        }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

}  // namespace db
