#include "globals.h"
#include "inspect/templatelibrary.h"
#include "operatorprompt.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <deque>

namespace {

constexpr int W = 40, H = 30;

class Answers final : public OperatorPrompt {
public:
    QStringList warnings, questions;
    bool answer = true;
    void warn(const QString& t) override { warnings << t; }
    bool ask(const QString& q) override {
        questions << q;
        return answer;
    }
};

cv::Mat frame(int value) {
    return cv::Mat(H, W, CV_8UC1, cv::Scalar(value));
}

class Templates : public ::testing::Test {
protected:
    void SetUp() override { language = 1; }
    QString dir() const { return m_dir.path(); }
    // Writes template files for the given slots, oldest first, a minute apart.
    void writeFiles(const TemplateLibrary& lib, std::initializer_list<int> numbers) {
        QDir().mkpath(lib.folder());
        QDateTime t(QDate(2026, 1, 1), QTime(8, 0));
        for (int j : numbers) {
            ASSERT_TRUE(saveFrameBitmap(lib.filePath(j), frame(10 * j + 5)));
            QFile f(lib.filePath(j));
            f.open(QIODevice::ReadWrite);
            f.setFileTime(t, QFileDevice::FileModificationTime);
            t = t.addSecs(60);
        }
    }
    QTemporaryDir m_dir;
};

TEST_F(Templates, FreshCameraShowsTheSyntheticReference) {
    TemplateLibrary lib(dir(), 0, 0, 5, false);
    lib.load(W, H);
    EXPECT_EQ(lib.count(), 1);
    ASSERT_TRUE(lib.isValid(0));
    const cv::Mat& ref = lib.image(0);
    EXPECT_EQ(ref.at<uchar>(H / 2, W / 2), 255);
    EXPECT_EQ(ref.at<uchar>(H / 4, W / 4), 255);
    EXPECT_EQ(ref.at<uchar>(3 * H / 4, 3 * W / 4), 255);
    EXPECT_EQ(ref.at<uchar>(0, 0), 0);
    EXPECT_EQ(ref.at<uchar>(H / 4 - 1, W / 2), 0);
    EXPECT_FALSE(lib.isValid(1));
    EXPECT_TRUE(lib.image(1).empty());  // nothing allocated for empty slots
}

TEST_F(Templates, UnfitFilesLeaveTheirSlotEmpty) {
    TemplateLibrary lib(dir(), 1, 2, 5, false);
    writeFiles(lib, {0, 1, 2, 3});
    QFile cut(lib.filePath(1));
    cut.resize(cut.size() - 100);
    saveFrameBitmap(lib.filePath(2), cv::Mat(H + 1, W, CV_8UC1, cv::Scalar(1)));   // wrong size
    saveFrameBitmap(lib.filePath(3), cv::Mat(H, W, CV_8UC4, cv::Scalar::all(1)));  // wrong depth
    lib.load(W, H);
    EXPECT_TRUE(lib.isValid(0));
    EXPECT_EQ(lib.image(0).at<uchar>(0, 0), 5);
    EXPECT_FALSE(lib.isValid(1));
    EXPECT_FALSE(lib.isValid(2));
    EXPECT_FALSE(lib.isValid(3));
    EXPECT_EQ(lib.count(), 1);
}

TEST_F(Templates, ColourTemplatesRoundTrip) {
    TemplateLibrary lib(dir(), 0, 0, 3, true);
    lib.load(W, H);
    cv::Mat c(H, W, CV_8UC4, cv::Scalar(10, 20, 30, 255));
    ASSERT_TRUE(lib.storeTemplate(1, c));
    TemplateLibrary again(dir(), 0, 0, 3, true);
    again.load(W, H);
    ASSERT_TRUE(again.isValid(1));
    EXPECT_EQ(again.image(1).at<cv::Vec4b>(3, 3), cv::Vec4b(10, 20, 30, 255));
}

TEST_F(Templates, NewTemplateTakesTheLowestFreeSlot) {
    TemplateLibrary lib(dir(), 0, 0, 5, false);
    writeFiles(lib, {0, 1, 3});
    lib.load(W, H);
    EXPECT_EQ(lib.chooseSlotForNewTemplate(), 2);
}

TEST_F(Templates, FullLibraryReplacesTheOldestButNeverTheReference) {
    TemplateLibrary lib(dir(), 0, 0, 3, false);
    writeFiles(lib, {0, 2, 1});  // template0 oldest, then 2
    lib.load(W, H);
    EXPECT_EQ(lib.chooseSlotForNewTemplate(), 2);

    TemplateLibrary other(dir(), 0, 1, 3, false);
    writeFiles(other, {1, 0, 2});
    other.load(W, H);
    EXPECT_EQ(other.chooseSlotForNewTemplate(), 1);
}

TEST_F(Templates, FileBeyondTheSlotsIsDeletedAndTheLastSlotUsed) {
    TemplateLibrary lib(dir(), 0, 0, 3, false);
    writeFiles(lib, {7, 0, 1, 2});
    lib.load(W, H);
    EXPECT_EQ(lib.chooseSlotForNewTemplate(), 2);
    EXPECT_FALSE(QFile::exists(lib.filePath(7)));
}

TEST_F(Templates, AddingAsksRecordsAndStores) {
    TemplateLibrary lib(dir(), 2, 0, 4, false);
    lib.load(W, H);
    Answers a;
    QStringList records;
    ASSERT_TRUE(addTemplate(lib, frame(77), a, [&](const QString& r) { records << r; }));
    EXPECT_EQ(a.questions, QStringList{gText[1230][1]});
    EXPECT_EQ(records, QStringList{QStringLiteral("Camerar 3 added a template")});
    EXPECT_EQ(lib.count(), 2);
    EXPECT_EQ(lib.image(1).at<uchar>(0, 0), 77);
    EXPECT_TRUE(QFile::exists(lib.filePath(1)));

    TemplateLibrary single(dir(), 2, 1, 1, false);
    single.load(W, H);
    EXPECT_FALSE(addTemplate(single, frame(1), a, [&](const QString& r) { records << r; }));
    EXPECT_EQ(a.warnings.last(), gText[1229][1]);
}

TEST_F(Templates, DeletingTheShownTemplate) {
    TemplateLibrary lib(dir(), 0, 0, 6, false);
    writeFiles(lib, {0, 2, 4});
    lib.load(W, H);
    Answers a;
    QStringList records;
    const auto rec = [&](const QString& r) { records << r; };
    EXPECT_FALSE(deleteShownTemplate(lib, a, rec));  // template 0
    EXPECT_EQ(a.warnings.size(), 1);
    lib.showNext();
    lib.showNext();
    ASSERT_EQ(lib.shown(), 4);
    ASSERT_TRUE(deleteShownTemplate(lib, a, rec));
    EXPECT_EQ(records, QStringList{QStringLiteral("Camera 1 has deleted the 5 template ")});
    EXPECT_EQ(lib.shown(), 0);  // the view moved on, wrapping
    EXPECT_FALSE(QFile::exists(lib.filePath(4)));
    EXPECT_EQ(lib.count(), 2);
}

TEST_F(Templates, DeletingAllKeepsTheFirstFile) {
    TemplateLibrary a(dir(), 0, 0, 4, false), b(dir(), 1, 0, 4, false);
    writeFiles(a, {0, 1, 3});
    writeFiles(b, {0, 2});
    a.load(W, H);
    b.load(W, H);
    QStringList records;
    TemplateLibrary* libs[] = {&a, &b};
    deleteAllTemplates(libs, [&](const QString& r) { records << r; });
    EXPECT_EQ(records, QStringList{QStringLiteral("Delete all templates")});
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(QDir(a.folder()).entryList(QDir::Files),
              QStringList{QStringLiteral("template0.bmp")});
    EXPECT_EQ(QDir(b.folder()).entryList(QDir::Files),
              QStringList{QStringLiteral("template0.bmp")});
}

TEST_F(Templates, BrowsingWrapsOverValidSlots) {
    TemplateLibrary lib(dir(), 0, 0, 6, false);
    writeFiles(lib, {0, 2, 5});
    lib.load(W, H);
    EXPECT_EQ(lib.showNext(), 2);
    EXPECT_EQ(lib.showNext(), 5);
    EXPECT_EQ(lib.showNext(), 0);
    EXPECT_EQ(lib.showPrevious(), 5);
    EXPECT_EQ(lib.templateTime(2), QStringLiteral("2026-01-01 08.01.00"));
}

TEST_F(Templates, RecentFailuresRotateOverThree) {
    TemplateLibrary lib(dir(), 0, 0, 2, false);
    lib.load(W, H);
    for (int v : {1, 2, 3, 4})
        lib.storeRecentFailure(frame(v));
    EXPECT_EQ(lib.recentFailureCount(), 4);
    EXPECT_EQ(lib.recentFailure(0).at<uchar>(0, 0), 4);
    EXPECT_EQ(lib.recentFailure(1).at<uchar>(0, 0), 2);
}

TEST_F(Templates, ArchiveCounterIsSharedAndWraps) {
    RawImageArchive archive(dir());
    EXPECT_TRUE(
        archive.nextPath(0, 0).endsWith(QLatin1String("/originalimage/cammer11/template0.bmp")));
    EXPECT_TRUE(
        archive.nextPath(1, 0).endsWith(QLatin1String("/originalimage/cammer21/template1.bmp")));
    for (int i = 2; i < 200; ++i)
        archive.nextPath(0, 1);
    EXPECT_EQ(archive.counter(), 0);
    ASSERT_TRUE(archive.save(0, 1, frame(9)));
    EXPECT_TRUE(QFile::exists(dir() + QStringLiteral("/originalimage/cammer12/template0.bmp")));
}

TEST_F(Templates, DemonstrationImagesCycleAndSkipUnfitOnes) {
    QDir().mkpath(dir() + QStringLiteral("/cammer15"));
    saveFrameBitmap(dir() + QStringLiteral("/cammer15/template0.bmp"), frame(3));
    DemoImageSource demo(dir());
    EXPECT_EQ(demo.next(W, H, false).at<uchar>(0, 0), 3);
    EXPECT_TRUE(demo.next(W, H, false).empty());  // template1 missing
    for (int i = 2; i < 50; ++i)
        demo.next(W, H, false);
    EXPECT_EQ(demo.counter(), 0);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    loadTextTable();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
