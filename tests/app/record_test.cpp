#include "logs.h"
#include "operationrecord.h"
#include "platform.h"
#include "testworkdir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

const QDateTime kEvening(QDate(2026, 3, 14), QTime(23, 59, 30));

QString recordCount(const TestWorkDir& wd, const QString& file) {
    return wd.value(file, QStringLiteral("select count(*) from RECORD"));
}

TEST(OperationRecord, TextIsStoredAsItStands) {
    TestWorkDir wd;
    FakeClock clock(kEvening);
    OperationRecord rec(wd.path(), clock);
    const QString text = QStringLiteral("it's a 'quoted' text'); DELETE FROM RECORD; --");
    ASSERT_TRUE(rec.insert(QStringLiteral("Unlogged"), text));
    rec.close();
    EXPECT_EQ(wd.value(QStringLiteral("RECORD.db"), QStringLiteral("select remarks from RECORD")),
              text);
    EXPECT_EQ(
        wd.value(QStringLiteral("RECORD.db"), QStringLiteral("select recordtime from RECORD")),
        QStringLiteral("23.59.30"));
    EXPECT_EQ(
        wd.value(QStringLiteral("RECORD.db"), QStringLiteral("select recordpassword from RECORD")),
        QStringLiteral("Unlogged"));
}

TEST(OperationRecord, RotatesAtMidnight) {
    TestWorkDir wd;
    FakeClock clock(kEvening);
    OperationRecord rec(wd.path(), clock);
    QFile::remove(wd.file(QStringLiteral("time.txt")));
    rec.readStoredDate();
    EXPECT_EQ(rec.storedDate(), kEvening.date());
    ASSERT_TRUE(rec.insert(QStringLiteral("L"), QStringLiteral("before midnight")));
    EXPECT_FALSE(rec.checkDate());

    clock.advanceMs(60000);  // 00:00:30 of the next day
    EXPECT_TRUE(rec.checkDate());
    ASSERT_TRUE(rec.insert(QStringLiteral("L"), QStringLiteral("after midnight")));
    rec.close();

    EXPECT_EQ(recordCount(wd, QStringLiteral("RECORD/2026-03-14.db")), QStringLiteral("1"));
    EXPECT_EQ(wd.value(QStringLiteral("RECORD/2026-03-14.db"),
                       QStringLiteral("select remarks from RECORD")),
              QStringLiteral("before midnight"));
    EXPECT_EQ(wd.value(QStringLiteral("RECORD.db"), QStringLiteral("select remarks from RECORD")),
              QStringLiteral("after midnight"));
    QFile f(wd.file(QStringLiteral("time.txt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("2026-03-15"));
}

TEST(OperationRecord, FailedArchiveKeepsTheDaysRecords) {
    TestWorkDir wd;
    FakeClock clock(kEvening);
    OperationRecord rec(wd.path(), clock);
    rec.readStoredDate();
    ASSERT_TRUE(rec.insert(QStringLiteral("L"), QStringLiteral("keep me")));
    // the archive folder cannot be made: a plain file stands in its place
    ASSERT_TRUE(wd.write(QStringLiteral("RECORD"), "not a folder"));
    clock.advanceMs(60000);
    EXPECT_FALSE(rec.checkDate());
    rec.close();
    EXPECT_EQ(wd.value(QStringLiteral("RECORD.db"), QStringLiteral("select remarks from RECORD")),
              QStringLiteral("keep me"));
}

TEST(OperationRecord, ClearEmptiesTodaysRecord) {
    TestWorkDir wd;
    FakeClock clock(kEvening);
    OperationRecord rec(wd.path(), clock);
    rec.insert(QStringLiteral("L"), QStringLiteral("a"));
    EXPECT_TRUE(rec.clear());
    rec.close();
    EXPECT_EQ(recordCount(wd, QStringLiteral("RECORD.db")), QStringLiteral("0"));
}

TEST(TextLog, WritesOnlyWhenSwitchedOn) {
    TestWorkDir wd;
    auto log = std::make_unique<LogManager>(wd.path(), kEvening);
    qDebug("not written");
    EXPECT_FALSE(QFile::exists(log->filePath()));
    log->setEnabled(true);
    qWarning("written");
    QFile f(log->filePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QByteArray("create newlog version 15.0.2.26 2026-03-14"));
    EXPECT_TRUE(lines[1].startsWith("[W ")) << lines[1].constData();
    EXPECT_TRUE(lines[1].endsWith("] written")) << lines[1].constData();
}

TEST(TextLog, FiftiethFileRemovesTheOldest) {
    TestWorkDir wd;
    const QString dir = wd.file(QStringLiteral("RECORD/LOG"));
    QDir().mkpath(dir);
    QDateTime t(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < 50; ++i) {
        QFile f(dir + QStringLiteral("/%1_log.txt").arg(i, 3, 10, QLatin1Char('0')));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.setFileTime(t.addSecs(i * 60), QFileDevice::FileModificationTime);
    }
    { LogManager log(wd.path(), kEvening); }
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/000_log.txt")));
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/001_log.txt")));
    EXPECT_EQ(QDir(dir).entryList({QStringLiteral("*_log.txt")}).size(), 49);
}

}  // namespace
