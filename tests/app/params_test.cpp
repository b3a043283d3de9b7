#include "databases.h"
#include "systemparams.h"
#include "testworkdir.h"

#include <gtest/gtest.h>
#include <QSqlDatabase>
#include <functional>

namespace {

// Loads PARAM.db of a working directory into a fresh record.
SystemParams loadParams(const TestWorkDir& wd) {
    SystemParams p;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pt"));
        db.setDatabaseName(wd.file(QStringLiteral("PARAM.db")));
        EXPECT_TRUE(db.open());
        EXPECT_TRUE(params::load(p, db, wd.path()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pt"));
    return p;
}

bool saveParams(const TestWorkDir& wd, const SystemParams& p) {
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pt"));
        db.setDatabaseName(wd.file(QStringLiteral("PARAM.db")));
        ok = db.open() && params::save(p, db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pt"));
    return ok;
}

void store(const TestWorkDir& wd, const QString& key, const QString& value) {
    ASSERT_TRUE(
        wd.exec(QStringLiteral("PARAM.db"),
                QStringLiteral("update sysparam set value='%1' where name='%2'").arg(value, key)));
}

struct LoadCase {
    const char* key;
    const char* stored;
    std::function<int(const SystemParams&)> field;
    int expected;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.key << "='" << c.stored << "'";
}

class LoadRules : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadRules, StoredValueLoadsRepaired) {
    const LoadCase& c = GetParam();
    TestWorkDir wd;
    store(wd, QLatin1String(c.key), QLatin1String(c.stored));
    EXPECT_EQ(c.field(loadParams(wd)), c.expected);
}

#define FIELD(expr) [](const SystemParams& p) { return p.expr; }
const std::string z20 = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";

INSTANTIATE_TEST_SUITE_P(
    Table, LoadRules,
    ::testing::Values(
        LoadCase{"numFailDetect", "7 0 0 0 0 0 0 0", FIELD(system_mode), 0},
        LoadCase{"numFailDetect", "5 0 0 0 0 0 0 0", FIELD(system_mode), 5},
        LoadCase{"numFailDetect", "-3 0", FIELD(system_mode), 0},
        LoadCase{"numFailDetect", "1 4", FIELD(mold_side), 0},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 8000 0", FIELD(location_level), 0},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 8000 20", FIELD(location_level), 600},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 8000 10000", FIELD(location_level),
                 10000},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 3", FIELD(language), 0},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 -1", FIELD(language), 0},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 2", FIELD(language), 2},
        LoadCase{"system2", "0 0", FIELD(max_mold_num), 10},
        LoadCase{"system2", "0 10 0", FIELD(min_spot), 3},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 9000", FIELD(location_adge), 8000},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 8000 600 101", FIELD(capture_speed),
                 12},
        LoadCase{"system2", "0 10 3 100 0 0 0 0 0 0 0 0 1 0 8000 600 12 100000001",
                 FIELD(input_timeout_len), 60},
        LoadCase{"system1", "0 1 0 1", FIELD(enable_correct), -1},
        LoadCase{"system1", "0 1 0 0", FIELD(enable_correct), 0},
        LoadCase{"system1", "0 1 0 -1", FIELD(enable_correct), -1},
        LoadCase{"system1", "0 1 0 0 0 10001", FIELD(pre_cut_time), 0},
        LoadCase{"exposeTime", "10001 5", FIELD(expose_time[0]), 30},
        LoadCase{"exposeTime", "10001 5", FIELD(expose_time[1]), 5},
        LoadCase{"contrast", "0", FIELD(contrast[0]), 100},
        LoadCase{"numAllDetect", "100 100 100 100 100 100 100 0", FIELD(gamma[7]), 100},
        LoadCase{"system5", "30 10001 32 32", FIELD(expose_time[5]), 30},
        LoadCase{"system5", "30 30 32 32 0 0 100 100 0 181", FIELD(angle), 0},
        LoadCase{"system3", "0 0 5", FIELD(difference_multiplier), 0},
        LoadCase{"system4", "0 192 168 1 100 255 255 255 0 192 168 1 1 0 0", FIELD(minimum_size),
                 3},
        LoadCase{"system4", "0 192 168 1 100 255 255 255 0 192 168 1 1 3 0", FIELD(minimum_area),
                 100},
        LoadCase{"system7", "101", FIELD(serial_port), 0},
        LoadCase{"system8", "9", FIELD(multi_detect_count), 2},
        LoadCase{"system9", "0 1 -1 -1 -1 -1 -1 -1 0 101", FIELD(skip_count), 0},
        LoadCase{"system9", "0 1 -1 -1 -1 -1 -1 -1 0 0 0 0 0 0 5 5 5 5 5 100000001",
                 FIELD(reserved9), 0},
        // the copy in system9 wins over the one in system1
        LoadCase{"system9", "0 1 -1 -1 -1 -1 -1 -1 0 0 0 0 0 1", FIELD(enable_stop_mold), 1},
        // a token that is not a number stops the parse; later positions keep
        // the values they had (the defaults of a fresh record)
        LoadCase{"trigInDelay", "12 abc 7", FIELD(finished_product_detect), 12},
        LoadCase{"trigInDelay", "12 abc 7", FIELD(neutron_detect), 0},
        LoadCase{"trigInDelay", "9x 7", FIELD(finished_product_detect), 9},
        LoadCase{"trigInDelay", "9x 7", FIELD(cavity_detect), 0},
        LoadCase{"trigInDelay", "99999999999 7", FIELD(finished_product_detect), 0},
        LoadCase{"trigInDelay", "", FIELD(fourth_detect), 0}));

TEST(Params, AlgorithmRuleSwitchesDefectDetectionOn) {
    TestWorkDir wd;
    store(wd, QStringLiteral("system3"), QStringLiteral("0 0 0 0 0 0 0 0 0 0 0"));
    store(wd, QStringLiteral("system8"), QStringLiteral("2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1"));
    store(wd, QStringLiteral("system9"), QStringLiteral("0 1 -1 -1 -1 -1 -1 -1 0 0 0 0 1"));
    EXPECT_EQ(loadParams(wd).enable_defect_detect, 1);
    store(wd, QStringLiteral("system9"), QStringLiteral("0 1 -1 -1 -1 -1 -1 -1 0 0 0 0 0"));
    EXPECT_EQ(loadParams(wd).enable_defect_detect, 0);
}

TEST(Params, ModeDerivations) {
    struct Case {
        const char* numFail;
        const char* system1;
        int count;
        std::array<int, 4> enable;
        std::array<int, 2> trigger;
    };
    const Case cases[] = {
        {"0 0", "0 1", 2, {1, 1, 0, 0}, {0, 0}}, {"0 0", "1 0", 2, {0, 1, 0, 0}, {0, 2}},
        {"1 0", "0 1", 4, {1, 1, 0, 0}, {0, 2}}, {"1 1", "0 1", 4, {0, 0, 1, 1}, {0, 3}},
        {"2 1", "1 1", 4, {0, 0, 1, 1}, {3, 2}}, {"2 2", "0 1", 4, {1, 1, 1, 1}, {255, 255}},
    };
    for (const Case& c : cases) {
        TestWorkDir wd;
        store(wd, QStringLiteral("numFailDetect"), QLatin1String(c.numFail));
        store(wd, QStringLiteral("system1"), QLatin1String(c.system1));
        const SystemParams p = loadParams(wd);
        SCOPED_TRACE(std::string(c.numFail) + " / " + c.system1);
        EXPECT_EQ(p.detect_count, c.count);
        for (int d = 0; d < 4; ++d)
            EXPECT_EQ(p.detect_enable[d], c.enable[d]) << "detection " << d;
        EXPECT_EQ(p.detect_trigger[0], c.trigger[0]);
        EXPECT_EQ(p.detect_trigger[1], c.trigger[1]);
    }
}

TEST(Params, MultiDetectionTakesTriggersFromRows) {
    TestWorkDir wd;
    store(wd, QStringLiteral("numFailDetect"), QStringLiteral("4 0"));
    store(wd, QStringLiteral("system8"), QStringLiteral("3 5 1 0 0 0 0 0 0"));
    store(wd, QStringLiteral("system9"), QStringLiteral("1 0 -1 0 0 0 0 0"));
    const SystemParams p = loadParams(wd);
    EXPECT_EQ(p.detect_count, 3);
    EXPECT_EQ(p.detect_trigger[0], 2);   // row 1, selection 1 = input 2
    EXPECT_EQ(p.detect_trigger[1], 6);   // row 0, selection 5 = input 6
    EXPECT_EQ(p.detect_trigger[2], -1);  // no row
    EXPECT_EQ(p.detect_enable[2], 0);
    EXPECT_EQ(p.detect_enable[3], 0);  // beyond the detection count
}

TEST(Params, MissingLaterRowsAreAddedWithDefaults) {
    TestWorkDir wd;
    ASSERT_TRUE(wd.exec(QStringLiteral("PARAM.db"),
                        QStringLiteral("delete from sysparam where name in ('system7','system8',"
                                       "'system9','system10','system11','system12','sharp')")));
    const SystemParams first = loadParams(wd);
    EXPECT_EQ(first.output_polarity[2], 0);  // built-in default on this start
    EXPECT_EQ(wd.value(QStringLiteral("PARAM.db"),
                       QStringLiteral("select value from sysparam where name='system7'")),
              QStringLiteral("0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(wd.value(QStringLiteral("PARAM.db"),
                       QStringLiteral("select value from sysparam where name='system10'")),
              QString::fromStdString(z20));
    EXPECT_EQ(wd.value(QStringLiteral("PARAM.db"),
                       QStringLiteral("select count(*) from sysparam where name='sharp'")),
              QStringLiteral("0"));                   // other keys are not added
    EXPECT_EQ(loadParams(wd).output_polarity[2], 1);  // the next start reads the new row
}

TEST(Params, SaveThenLoadKeepsEveryPosition) {
    TestWorkDir wd;
    // distinct values in every position, then the record as loaded
    int n = 1;
    for (const QString& key : params::keysInSaveOrder()) {
        if (key == QLatin1String("password") || key.startsWith(QLatin1String("CntNet_")))
            continue;
        QStringList values;
        for (int i = 0; i < 20; ++i)
            values << QString::number((n++ % 7) + (i % 2));
        store(wd, key, values.join(u' '));
    }
    SystemParams p = loadParams(wd);
    p.password = "pa'ss; --\"";
    p.cnt_pro_name = QStringLiteral("产品 'A'").toUtf8();
    p.cnt_operator = "O'Brien";

    TestWorkDir other;
    ASSERT_TRUE(saveParams(other, p));
    const SystemParams q = loadParams(other);
    for (const QString& key : params::keysInSaveOrder())
        EXPECT_EQ(params::storedValue(q, key), params::storedValue(p, key)) << key.toStdString();
    EXPECT_TRUE(p == q);
    EXPECT_EQ(other.value(QStringLiteral("PARAM.db"),
                          QStringLiteral("select value from sysparam where name='password'")),
              QStringLiteral("pa'ss; --\""));
    EXPECT_EQ(
        other.value(QStringLiteral("PARAM.db"), QStringLiteral("select count(*) from sysparam")),
        wd.value(QStringLiteral("PARAM.db"), QStringLiteral("select count(*) from sysparam")));
}

TEST(Params, StoredFormatIsPlainDecimalText) {
    SystemParams p;
    p.detect_row = {1, -1, -1, -1, -1, -1, -1, -1};
    p.reserved9 = 4;
    EXPECT_EQ(params::storedValue(p, QStringLiteral("system9")),
              QStringLiteral("1 -1 -1 -1 -1 -1 -1 -1 0 0 0 0 0 0 4 4 4 4 4 4"));
    EXPECT_EQ(params::storedValue(p, QStringLiteral("CntNet")),
              QStringLiteral("0 1 3 0 0 6 1 10000"));
}

TEST(Params, OverlongPasswordIsIgnored) {
    TestWorkDir wd;
    store(wd, QStringLiteral("password"), QStringLiteral("x").repeated(100));
    EXPECT_TRUE(loadParams(wd).password.isEmpty());
    store(wd, QStringLiteral("password"), QStringLiteral("x").repeated(99));
    EXPECT_EQ(loadParams(wd).password.size(), 99);
}

TEST(Params, ParamGroupFileIsCreatedWhenMissing) {
    TestWorkDir wd;
    QFile::remove(wd.file(QStringLiteral("sysadd.txt")));
    EXPECT_EQ(params::readParamGroup(wd.path()), 0);
    EXPECT_TRUE(QFile::exists(wd.file(QStringLiteral("sysadd.txt"))));
    params::writeParamGroup(wd.path(), 3);
    EXPECT_EQ(params::readParamGroup(wd.path()), 3);
}

TEST(Params, SerialNumbersCountOnlyPlausibleValues) {
    TestWorkDir wd;
    wd.exec(QStringLiteral("SN.db"),
            QStringLiteral("update sysparam set value='12345678' where name='serialNB0'"));
    wd.exec(QStringLiteral("SN.db"),
            QStringLiteral("update sysparam set value='123456789' where name='serialNB1'"));
    wd.exec(QStringLiteral("SN.db"), QStringLiteral("delete from sysparam where name='serialNB7'"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sn"));
        db.setDatabaseName(wd.file(QStringLiteral("SN.db")));
        ASSERT_TRUE(db.open());
        const auto serials = params::readSerialNumbers(db);
        EXPECT_TRUE(serials[0].isEmpty());
        EXPECT_EQ(serials[1], QStringLiteral("123456789"));
        EXPECT_EQ(params::recordedCameraCount(serials), 1);
        EXPECT_TRUE(params::clearSerialNumbers(db));
        EXPECT_EQ(params::recordedCameraCount(params::readSerialNumbers(db)), 0);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sn"));
    EXPECT_EQ(wd.value(QStringLiteral("SN.db"),
                       QStringLiteral("select value from sysparam where name='serialNB7'")),
              QStringLiteral("0"));
}

}  // namespace
