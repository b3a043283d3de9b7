#include "testworkdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

TestWorkDir::TestWorkDir() {
    const QString tool = QStringLiteral(MM_BINARY_DIR "/tools/mkworkdir/mkworkdir");
    QProcess::execute(tool,
                      {QStringLiteral("layout"), QStringLiteral(MM_WORKDIR_TEMPLATE), path()});
}

namespace {
template <typename F>
auto withDb(const QString& path, F f) {
    const QString name = QStringLiteral("test:") + path;
    auto result = [&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        auto r = f(db);
        db.close();
        return r;
    }();
    QSqlDatabase::removeDatabase(name);
    return result;
}
}  // namespace

bool TestWorkDir::exec(const QString& dbFile, const QString& sql) const {
    return withDb(file(dbFile), [&](QSqlDatabase& db) { return QSqlQuery(db).exec(sql); });
}

QString TestWorkDir::value(const QString& dbFile, const QString& sql) const {
    return withDb(file(dbFile), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        return (q.exec(sql) && q.next()) ? q.value(0).toString() : QString();
    });
}

bool TestWorkDir::write(const QString& name, const QByteArray& content) const {
    QFile f(file(name));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}
