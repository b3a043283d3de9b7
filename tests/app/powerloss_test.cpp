#include "databases.h"
#include "savestates.h"
#include "testworkdir.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QThread>

namespace {

SystemParams loadFrom(const QString& file, const QString& dir, bool* healthy) {
    SystemParams p;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pl"));
        db.setDatabaseName(file);
        *healthy = db.open() && db::isHealthy(db, QStringLiteral("sysparam"));
        params::load(p, db, dir);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pl"));
    return p;
}

// A save killed at any moment leaves the whole old or the whole new state.
TEST(PowerLoss, KilledSaveLeavesOldOrNewParameters) {
    TestWorkDir wd;
    const QString file = wd.file(QStringLiteral("PARAM.db"));
    const QString source = wd.file(QStringLiteral("paraGroup/default/PARAM.db"));
    bool healthy = false;
    const SystemParams a = loadFrom(source, wd.path(), &healthy);
    const SystemParams b = otherState(a);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 30; ++round) {
        QProcess child;
        child.start(QStringLiteral(MM_PARAM_SAVE_CHILD), {file, wd.path(), source});
        ASSERT_TRUE(child.waitForReadyRead(10000));
        QThread::usleep(QRandomGenerator::global()->bounded(1, 20000));
        child.kill();
        child.waitForFinished();

        const SystemParams now = loadFrom(file, wd.path(), &healthy);
        ASSERT_TRUE(healthy) << "round " << round;
        const bool isA = now == a, isB = now == b;
        ASSERT_TRUE(isA || isB) << "mixed parameters after round " << round;
        sawA += isA;
        sawB += isB;
    }
    EXPECT_GT(sawA + sawB, 0);
}

}  // namespace
