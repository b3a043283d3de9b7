#include "databases.h"
#include "globals.h"
#include "inspect/roiset.h"
#include "inspect/vision_globals.h"
#include "systemparams.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

// PARAM.db as shipped, opened under its own connection.
class RoiDb : public ::testing::Test {
protected:
    void SetUp() override {
        SetViewGeometry(1600, 1200, 800, 600);
        ASSERT_TRUE(db::runScript(QStringLiteral(MM_SOURCE_DIR "/data/param.sql"), file()));
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("roi"));
        m_db.setDatabaseName(file());
        ASSERT_TRUE(m_db.open());
    }
    void TearDown() override {
        m_db.close();
        m_db = {};
        QSqlDatabase::removeDatabase(QStringLiteral("roi"));
    }
    QString file() const { return m_dir.filePath(QStringLiteral("PARAM.db")); }
    QString row(int camera, const QString& name) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("select value from cammer%1 where name='%2'").arg(camera).arg(name));
        return q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }
    void put(int camera, const QString& name, const QString& value) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("delete from cammer%1 where name='%2'").arg(camera).arg(name));
        ASSERT_TRUE(q.exec(QStringLiteral("insert into cammer%1 values('%2', '%3')")
                               .arg(camera)
                               .arg(name, value)));
    }
    CameraRoiSet load(int camera, QStringList* warnings = nullptr) {
        CameraRoiSet s;
        s.camera = camera;
        loadRois(s, m_db, [&](const QString& w) {
            if (warnings)
                *warnings << w;
        });
        return s;
    }

    QTemporaryDir m_dir;
    QSqlDatabase m_db;
};

RoiEntry rect(int x1, int y1, int x2, int y2, int function = FuncDefect) {
    RoiEntry e;
    e.function = function;
    e.x1 = x1, e.y1 = y1, e.x2 = x2, e.y2 = y2;
    return e;
}

TEST_F(RoiDb, EveryShapeAndFunctionSurvivesARoundTrip) {
    CameraRoiSet s;
    s.camera = 2;
    DetectionRois& d0 = s.detections[0];
    d0.count = 3;
    d0.rois[0] = rect(10, 20, 110, 220);
    d0.rois[1].function = FuncSpot;
    d0.rois[1].minWH = packLowHigh8(10, 60);
    d0.rois[1].shape = ShapeCircle;
    d0.rois[1].cx = 300, d0.rois[1].cy = 200, d0.rois[1].outerRadius = 35,
    d0.rois[1].innerRadius = 20;
    d0.rois[2].function = FuncSimilarity;
    d0.rois[2].shape = ShapePolygon;
    d0.rois[2].points = {{10, 10}, {20, 10}, {15, 20}};
    d0.cavityFlags[0] = 2;
    d0.cavityFlags[15] = 2;
    s.outputNo[1] = 3;
    for (int f = 0; f < 10; ++f) {  // detection 5 holds one region of every function
        s.detections[5].rois[f] = rect(5 * f, 5, 5 * f + 40, 60, f);
        s.detections[5].count = 10;
    }
    const CameraRoiSet* sets[] = {&s};
    ASSERT_TRUE(saveRoiSets(sets, m_db));

    EXPECT_EQ(row(2, QStringLiteral("detect0")),
              QStringLiteral("3 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 2"));
    EXPECT_EQ(row(2, QStringLiteral("ROI0-0")), QStringLiteral("3 25 100 0 1 0 0 10 20 110 220"));
    EXPECT_EQ(row(2, QStringLiteral("ROI0-1")),
              QStringLiteral("15370 25 100 1 4 3 0 300 200 1310755"));
    EXPECT_EQ(row(2, QStringLiteral("ROI0-2")),
              QStringLiteral("3 25 100 6 2 0 3 10 10 20 10 15 20 "));
    EXPECT_EQ(row(2, QStringLiteral("ROI5-1")), QStringLiteral("3 25 100 1 1 3 0 5 5 45 60"));
    EXPECT_EQ(row(2, QStringLiteral("ROI0-3")), QStringLiteral("<none>"));

    const CameraRoiSet back = load(2);
    EXPECT_TRUE(back.sameAs(s));
    EXPECT_EQ(back.outputNo[1], 3);
    // masks are rebuilt in image pixels (view 800 x 600, image 1600 x 1200)
    EXPECT_EQ(back.detections[0].rois[0].imageRect, cv::Rect(20, 40, 200, 400));
    EXPECT_EQ(back.detections[0].rois[1].roiMask.type(), CV_8UC1);
    EXPECT_GT(cv::countNonZero(back.detections[0].rois[2].roiMask), 0);
}

struct RepairCase {
    const char* name;
    const char* detect;  // detect0 row
    const char* roi;     // ROI0-0 row, or nullptr for a missing row
    int count, function, shape, outputNo, x2;
    bool warned;
};

void PrintTo(const RepairCase& c, std::ostream* os) {
    *os << c.name;
}

class RoiRepairs : public RoiDb, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(RoiRepairs, LoadRepairsWhatIsBroken) {
    const RepairCase& c = GetParam();
    put(0, QStringLiteral("detect0"), QLatin1String(c.detect));
    if (c.roi)
        put(0, QStringLiteral("ROI0-0"), QLatin1String(c.roi));
    QStringList warnings;
    const CameraRoiSet s = load(0, &warnings);
    const DetectionRois& d = s.detections[0];
    EXPECT_EQ(d.count, c.count);
    EXPECT_EQ(warnings.size(), c.warned ? 1 : 0);
    if (c.warned) {
        EXPECT_EQ(warnings.value(0), QStringLiteral("Camera parameter file error!"));
    }
    if (c.count > 0) {
        EXPECT_EQ(d.rois[0].function, c.function);
        EXPECT_EQ(d.rois[0].shape, c.shape);
        EXPECT_EQ(s.outputNo[0], c.outputNo);
        EXPECT_EQ(d.rois[0].x2, c.x2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoiRepairs,
    ::testing::Values(
        RepairCase{"more than 50 regions", "51 0", "3 25 100 0 1 0 0 1 1 9 9", 0, 0, 0, 0, 0, true},
        RepairCase{"missing region row", "1", nullptr, 1, FuncDefect, ShapeRect, 0, 100, false},
        RepairCase{"polygon without vertices", "1", "3 25 100 6 2 1 0 ", 1, FuncDefect, ShapeRect,
                   0, 100, false},
        RepairCase{"polygon with too many vertices", "1", "3 25 100 6 2 1 8097 1 1", 1, FuncDefect,
                   ShapeRect, 0, 100, false},
        RepairCase{"output number above 3", "1", "3 25 100 5 1 7 0 1 1 9 9", 1, FuncWhiteArea,
                   ShapeRect, 0, 9, false},
        RepairCase{"corner outside the view", "1", "3 25 100 0 1 2 0 1 1 900 9", 1, FuncDefect,
                   ShapeRect, 2, 800, false},
        RepairCase{"garbage in the middle", "1", "4 30 abc 1 1 1", 1, FuncDefect, ShapeRect, 0, 100,
                   false},
        RepairCase{"garbage count", "x1", "3 25 100 0 1 0 0 1 1 9 9", 0, 0, 0, 0, 0, false}));

TEST_F(RoiDb, FewerRegionsDeleteTheRowsBeyond) {
    CameraRoiSet s;
    s.detections[2].count = 5;
    const CameraRoiSet* sets[] = {&s};
    ASSERT_TRUE(saveRoiSets(sets, m_db));
    EXPECT_NE(row(0, QStringLiteral("ROI2-4")), QStringLiteral("<none>"));
    s.detections[2].count = 3;
    ASSERT_TRUE(saveRoiSets(sets, m_db));
    EXPECT_NE(row(0, QStringLiteral("ROI2-2")), QStringLiteral("<none>"));
    EXPECT_EQ(row(0, QStringLiteral("ROI2-3")), QStringLiteral("<none>"));
    EXPECT_EQ(row(0, QStringLiteral("ROI2-4")), QStringLiteral("<none>"));
}

TEST_F(RoiDb, SavingSeveralCamerasIsAllOrNothing) {
    CameraRoiSet good;
    good.detections[0].count = 2;
    CameraRoiSet broken;
    broken.camera = 9;  // no such table: its save fails
    const CameraRoiSet* sets[] = {&good, &broken};
    EXPECT_FALSE(saveRoiSets(sets, m_db));
    EXPECT_EQ(row(0, QStringLiteral("ROI0-0")), QStringLiteral("<none>"));
}

TEST(RoiFunctions, CyclingTakesOnlyEnabledFunctions) {
    SystemParams p;
    p.enable_spot_detect = p.enable_similarity = 1;
    RoiEntry e;
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        nextFunction(e, p);
        seen.push_back(e.function);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 6, 1, 6}));

    p = SystemParams{};
    p.enable_defect_detect = p.enable_white_number = 1;
    p.minimum_size = 4;
    p.minimum_area = 250;
    e.function = 12;  // out of range: starts again at 0
    nextFunction(e, p);
    EXPECT_EQ(e.function, FuncDefect);
    EXPECT_EQ(e.minWH, 4);
    EXPECT_EQ(e.sensitivity, 45);
    EXPECT_EQ(e.area, 250);
    nextFunction(e, p);
    EXPECT_EQ(e.function, FuncWhiteNumber);
    EXPECT_EQ(e.area, 131073);

    p = SystemParams{};
    nextFunction(e, p);  // nothing enabled: unchanged
    EXPECT_EQ(e.function, FuncWhiteNumber);
}

class IgnoreMasks : public ::testing::Test {
protected:
    void SetUp() override {
        SetViewGeometry(64, 48, 32, 24);
        QDir(m_dir.path()).mkpath(QStringLiteral("cammer13"));
    }
    QString file() const { return m_dir.filePath(QStringLiteral("cammer13/ignorepoint.bmp")); }
    QTemporaryDir m_dir;
};

TEST_F(IgnoreMasks, SavedMaskLoadsBackAsItWas) {
    cv::Mat m = cv::Mat::zeros(48, 64, CV_8UC1);
    m(cv::Rect(5, 6, 7, 8)).setTo(255);
    m.at<uchar>(0, 63) = 17;
    ASSERT_TRUE(saveIgnoreMask(m_dir.path(), 0, 2, m));
    QImage img(file());
    EXPECT_EQ(img.format(), QImage::Format_Indexed8);
    const auto masks = loadIgnoreMasks(m_dir.path(), 0);
    EXPECT_EQ(cv::countNonZero(masks[2] != m), 0);
    EXPECT_EQ(cv::countNonZero(masks[0]), 0);  // missing file
}

TEST_F(IgnoreMasks, UnfitFilesGiveAnEmptyMask) {
    cv::Mat m(48, 64, CV_8UC1, cv::Scalar(255));
    ASSERT_TRUE(saveIgnoreMask(m_dir.path(), 0, 2, m));
    QFile f(file());
    const qint64 full = f.size();

    const std::function<void()> damages[] = {
        [&] { f.resize(full / 2); },
        [&] {
            QFile g(file());
            g.open(QIODevice::WriteOnly | QIODevice::Truncate);
            g.write("not a bitmap at all");
        },
        [&] { QImage(64, 48, QImage::Format_RGB32).save(file(), "BMP"); },
        [&] {
            cv::Mat small(10, 10, CV_8UC1, cv::Scalar(255));
            saveGrayBitmap(file(), small);
        },
    };
    for (const auto& damage : damages) {
        ASSERT_TRUE(saveIgnoreMask(m_dir.path(), 0, 2, m));
        damage();
        EXPECT_EQ(cv::countNonZero(loadIgnoreMasks(m_dir.path(), 0)[2]), 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    loadTextTable();
    language = 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
