// Saves two parameter states in turn until it is killed. Both states derive
// from the source database, never from the one being written.
//   param_save_child <database> <working dir> <source database>
#include "savestates.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    SystemParams a;
    {
        QSqlDatabase src =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("src"));
        src.setDatabaseName(QString::fromLocal8Bit(argv[3]));
        if (!src.open() || !params::load(a, src, QString::fromLocal8Bit(argv[2])))
            return 1;
        src.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("src"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbIn"));
    db.setDatabaseName(QString::fromLocal8Bit(argv[1]));
    if (!db.open())
        return 1;
    const SystemParams b = otherState(a);
    std::puts("ready");
    std::fflush(stdout);
    for (unsigned i = 0;; ++i)
        params::save(i % 2 ? a : b, db);
}
