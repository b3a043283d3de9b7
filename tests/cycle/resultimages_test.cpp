#include "resultimages.h"
#include "platform.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QDateTime kNoon(QDate(2026, 5, 1), QTime(12, 0, 0, 250));

QImage picture(int gray) {
    QImage img(32, 24, QImage::Format_RGB32);
    img.fill(qRgb(gray, gray, gray));
    return img;
}

QStringList jpgs(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
}

class Saver : public ::testing::Test {
protected:
    void SetUp() override {
        for (int d = 0; d < 2; ++d)
            for (ResultKind k : {kNgImage, kOkImage})
                QDir().mkpath(resultFolder(dir(), 0, d, k));
    }
    QString dir() const { return m_dir.path(); }
    ResultImageSaver saver(qint64 first = 100000) {
        return ResultImageSaver(dir(), m_slots, {&m_cameras, &m_detections, &m_ngLimit, &m_okLimit},
                                m_clock, first);
    }
    QTemporaryDir m_dir;
    ResultImageSlots m_slots;
    FakeClock m_clock{kNoon};
    int m_cameras = 1, m_detections = 2, m_ngLimit = 3, m_okLimit = 5;
};

TEST_F(Saver, NamesCarryTheSequenceAndTheTime) {
    EXPECT_EQ(resultFileName(100123, QDateTime(QDate(2020, 5, 1), QTime(8, 15, 30, 250))),
              QStringLiteral("100123_2020-05-01_08.15.30.250.jpg"));
    auto s = saver(100123);
    m_slots.request(0, 1, kOkImage, picture(100));
    EXPECT_EQ(s.savePass(), 1);
    EXPECT_EQ(jpgs(resultFolder(dir(), 0, 1, kOkImage)),
              QStringList{QStringLiteral("100123_2026-05-01_12.00.00.250.jpg")});
    EXPECT_EQ(s.nextSequence(), 100124);
    EXPECT_EQ(m_clock.now(), kNoon.addMSecs(200));
    EXPECT_EQ(s.savePass(), 0);  // the request was taken
}

TEST_F(Saver, FullFolderLosesItsLowestNumberFirst) {
    const QString ng = resultFolder(dir(), 0, 0, kNgImage);
    for (const char* name : {"100007_a_xyz.jpg", "100002_b_xyz.jpg", "100011_c_xyz.jpg"})
        picture(1).save(ng + u'/' + QLatin1String(name), "JPG");
    auto s = saver(100020);
    m_slots.request(0, 0, kNgImage, picture(50));
    s.savePass();
    const QStringList left = jpgs(ng);
    EXPECT_EQ(left.size(), 3);
    EXPECT_FALSE(left.contains(QStringLiteral("100002_b_xyz.jpg")));
    EXPECT_TRUE(left.contains(QStringLiteral("100007_a_xyz.jpg")));
}

TEST_F(Saver, OkAfterNgOfTheSamePairGoesBesideIt) {
    auto s = saver();
    m_slots.request(0, 0, kNgImage, picture(10));
    m_slots.request(0, 0, kOkImage, picture(200));
    EXPECT_EQ(s.savePass(), 2);
    EXPECT_EQ(jpgs(resultFolder(dir(), 0, 0, kNgImage)).size(), 2);
    EXPECT_TRUE(jpgs(resultFolder(dir(), 0, 0, kOkImage)).isEmpty());
    EXPECT_EQ(m_clock.now(), kNoon.addMSecs(1000 + 200));  // a second between the two
}

TEST_F(Saver, OnlyCamerasAndDetectionsInUseArePassed) {
    auto s = saver();
    m_slots.request(1, 0, kNgImage, picture(10));  // camera 2 of a one-camera system
    EXPECT_EQ(s.savePass(), 0);
    EXPECT_TRUE(m_slots.pending(1, 0, kNgImage));
}

TEST(ResultFolders, StartScanRenamesLegacyFilesAndContinuesNumbers) {
    QTemporaryDir tmp;
    const QString a = resultFolder(tmp.path(), 0, 0, kNgImage);
    const QString b = resultFolder(tmp.path(), 1, 7, kOkImage);
    QDir().mkpath(a);
    QDir().mkpath(b);
    for (const QString& f : {a + QStringLiteral("/100500_2021-01-01_10.00.00.000.jpg"),
                             a + QStringLiteral("/old.jpg"), b + QStringLiteral("/older_one.jpg"),
                             b + QStringLiteral("/100200_2021-01-01_10.00.00.000.jpg")})
        QFile(f).open(QIODevice::WriteOnly);
    EXPECT_EQ(scanResultFolders(tmp.path(), 2), 100600);
    EXPECT_TRUE(QFile::exists(a + QStringLiteral("/99999_old.jpg")));
    EXPECT_TRUE(QFile::exists(b + QStringLiteral("/99998_older_one.jpg")));

    QTemporaryDir empty;
    EXPECT_EQ(scanResultFolders(empty.path(), 8), 100100);
}

TEST(Counters, ReadRepairsAndWriteKeepsTheFormat) {
    QTemporaryDir tmp;
    QFile f(tmp.filePath(QStringLiteral("count.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("10 2 200000000 5 7");  // short file, one value out of range
    f.close();
    ProductionCounters c;
    c.CountRead(tmp.path());
    EXPECT_EQ(c.total[0], 10);
    EXPECT_EQ(c.ng[0], 2);
    EXPECT_EQ(c.total[1], 0);
    EXPECT_EQ(c.ng[1], 5);
    EXPECT_EQ(c.total[2], 7);
    EXPECT_EQ(c.ng[2], 0);
    ASSERT_TRUE(c.CountWrite(tmp.path()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("10 2 0 5 7 0 0 0 0 0 0 0 0 0 0 0 "));

    ProductionCounters none;
    none.CountRead(tmp.path() + QStringLiteral("/missing"));
    EXPECT_EQ(none.total[0], 0);
}

}  // namespace
