#include "systemparams.h"

#include "databases.h"

#include <glog/logging.h>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <optional>

namespace {

using IntRef = int& (*)(SystemParams&);
using TextRef = QByteArray SystemParams::*;

template <auto M>
int& field(SystemParams& p) {
    return p.*M;
}
template <auto M, int I>
int& elem(SystemParams& p) {
    return (p.*M)[I];
}

#define F(x) &field<&SystemParams::x>
#define A(x, i) &elem<&SystemParams::x, i>

// One integer key: its positions in order, and the row text inserted when a
// row of the later keys is missing (empty: a missing row is left alone).
struct IntKey {
    const char* name;
    std::vector<IntRef> positions;
    const char* missingRowText = nullptr;
};

const char* const kTwentyZeros = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";

const std::vector<IntKey>& intKeys() {
    static const std::vector<IntKey> keys = {
        {"trigInDelay",
         {F(finished_product_detect), F(cavity_detect), F(neutron_detect), F(fourth_detect),
          F(detect_delay_5), F(detect_delay_6), F(detect_delay_7), F(detect_delay_8)}},
        {"exposeTime",
         {A(expose_time, 0), A(expose_time, 1), A(expose_time, 2), A(expose_time, 3)}},
        {"adjustPlus",
         {A(adjust_plus, 0), A(adjust_plus, 1), A(adjust_plus, 2), A(adjust_plus, 3)}},
        {"sharp", {A(sharp, 0), A(sharp, 1), A(sharp, 2), A(sharp, 3)}},
        {"contrast", {A(contrast, 0), A(contrast, 1), A(contrast, 2), A(contrast, 3)}},
        {"numFailDetect",
         {F(system_mode), F(mold_side), F(auto_exposure), F(auto_shading), F(save_ok_record),
          F(enable_black_area), F(enable_white_area), F(enable_similarity)}},
        {"numAllDetect",
         {A(gamma, 0), A(gamma, 1), A(gamma, 2), A(gamma, 3), A(gamma, 4), A(gamma, 5), A(gamma, 6),
          A(gamma, 7)}},
        {"isPswUsed", {F(is_psw_used)}},
        {"system1",
         {F(semi_auto), F(enable_first_detect), F(enabe_two_test), F(enable_correct),
          F(enable_stop_mold), F(pre_cut_time), F(front_auto_check_time), F(ok_record_max_num),
          F(auto_generate_area)}},
        {"system2",
         {F(mold_cutoff), F(max_mold_num), F(min_spot), F(ng_max_num), F(thimble_pulse),
          F(mold_pulse), F(enable_stop_not_alarm), F(is_cut_ontime), F(enable_cutoff_ontime),
          F(enable_pass_protect), F(template_pass_protect), F(ignore_pass_protect), F(language),
          F(enable_mold_backup), F(location_adge), F(location_level), F(capture_speed),
          F(input_timeout_len)}},
        {"system3",
         {F(enable_output_thimble_pulse), F(enable_disarm_before_open), F(difference_multiplier),
          F(enable_defect_detect), F(enable_spot_detect), F(enable_ignore_area),
          F(enable_manual_edit), F(enable_display_detail), F(auto_cancel_timelen),
          F(enable_one_not_mold), F(enable_trigger_safety)}},
        {"system4",
         {F(template_auto_update), A(local_address, 0), A(local_address, 1), A(local_address, 2),
          A(local_address, 3), A(netmask, 0), A(netmask, 1), A(netmask, 2), A(netmask, 3),
          A(gateway, 0), A(gateway, 1), A(gateway, 2), A(gateway, 3), F(minimum_size),
          F(minimum_area)}},
        {"system5",
         {A(expose_time, 4), A(expose_time, 5), A(adjust_plus, 4), A(adjust_plus, 5), A(sharp, 4),
          A(sharp, 5), A(contrast, 4), A(contrast, 5), F(prod_ok_ng_pulse), F(angle),
          F(cut_thimble_on_alarm), F(external_trigger), F(cut_clamp_on_alarm)}},
        {"system6",
         {A(expose_time, 6), A(expose_time, 7), A(adjust_plus, 6), A(adjust_plus, 7), A(sharp, 6),
          A(sharp, 7), A(contrast, 6), A(contrast, 7), F(shake_erase_time), F(enable_statistics),
          F(reserved6_10), F(stop_pass_protect)}},
        {"system7",
         {F(serial_port),
          F(enable_color_camera),
          F(enable_gray_channel),
          F(snap_shot),
          A(output_polarity, 0),
          A(output_polarity, 1),
          A(output_polarity, 2),
          F(prohibit_optimize),
          A(output_polarity, 3),
          F(factory_param),
          F(ng_image),
          F(reserved7_11),
          F(realtime_roi),
          F(show_mold_no),
          A(output_polarity, 4),
          A(output_polarity, 5),
          A(output_polarity, 6),
          A(output_polarity, 7),
          A(output_polarity, 8),
          F(enable_white_number)},
         "0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0"},
        {"system8",
         {F(multi_detect_count),
          A(row_trigger, 0),
          A(row_trigger, 1),
          A(row_trigger, 2),
          A(row_trigger, 3),
          A(row_trigger, 4),
          A(row_trigger, 5),
          A(row_trigger, 6),
          A(row_trigger, 7),
          A(row_cut_mode, 0),
          A(row_cut_mode, 1),
          A(row_cut_mode, 2),
          A(row_cut_mode, 3),
          A(row_cut_mode, 4),
          A(row_cut_mode, 5),
          A(row_cut_mode, 6),
          A(row_cut_mode, 7),
          F(is_cut_ontime_thimble),
          F(use_log),
          F(direction_recognition)},
         kTwentyZeros},
        {"system9",
         {A(detect_row, 0), A(detect_row, 1),    A(detect_row, 2), A(detect_row, 3),
          A(detect_row, 4), A(detect_row, 5),    A(detect_row, 6), A(detect_row, 7),
          F(timing_alarm),  F(skip_count),       F(enable_skip),   F(separate_signal),
          F(dist_measure),  F(enable_stop_mold), F(reserved9),     F(reserved9),
          F(reserved9),     F(reserved9),        F(reserved9),     F(reserved9)},
         kTwentyZeros},
        {"system10",
         {A(input_name_index, 0),  A(input_name_index, 1),  A(input_name_index, 2),
          A(input_name_index, 3),  A(input_name_index, 4),  A(input_name_index, 5),
          A(input_name_index, 6),  A(input_name_index, 7),  A(output_name_index, 0),
          A(output_name_index, 1), A(output_name_index, 2), A(output_name_index, 3),
          A(output_name_index, 4), A(output_name_index, 5), A(output_name_index, 6),
          A(output_name_index, 7), F(reserved10_16),        F(mold_ng_pulse),
          F(image_adjust),         F(stop_thimble_on_stop)},
         kTwentyZeros},
        {"system11",
         {A(reserved11, 0),    A(reserved11, 1),  A(reserved11, 2),  A(reserved11, 3),
          A(reserved11, 4),    A(reserved11, 5),  A(reserved11, 6),  A(reserved11, 7),
          A(reserved11, 8),    A(reserved11, 9),  A(reserved11, 10), A(reserved11, 11),
          A(reserved11, 12),   A(reserved11, 13), A(reserved11, 14), A(reserved11, 15),
          F(camera_lost_tips), F(io_lost_tips),   F(not_sequential), F(reserved11_19)},
         kTwentyZeros},
        {"system12",
         {A(h_mirror, 0),      A(h_mirror, 1),      A(h_mirror, 2),           A(h_mirror, 3),
          A(h_mirror, 4),      A(h_mirror, 5),      A(h_mirror, 6),           A(h_mirror, 7),
          A(v_mirror, 0),      A(v_mirror, 1),      A(v_mirror, 2),           A(v_mirror, 3),
          A(v_mirror, 4),      A(v_mirror, 5),      A(v_mirror, 6),           A(v_mirror, 7),
          F(mold_ok_ng_pulse), F(show_mode_button), F(live_on_trigger_alarm), F(timed_capture)},
         kTwentyZeros},
        {"CntNet",
         {A(cnt_net, 0), A(cnt_net, 1), A(cnt_net, 2), A(cnt_net, 3), A(cnt_net, 4), A(cnt_net, 5),
          A(cnt_net, 6), A(cnt_net, 7)}},
    };
    return keys;
}

#undef F
#undef A

// Text keys: the password (Latin-1) and the plant-link texts.
struct TextKey {
    const char* name;
    TextRef member;
    bool utf8;
};

const std::vector<TextKey>& textKeys() {
    static const std::vector<TextKey> keys = {
        {"password", &SystemParams::password, false},
        {"CntNet_UseName", &SystemParams::cnt_use_name, false},
        {"CntNet_MsgTechName", &SystemParams::cnt_msg_tech_name, false},
        {"CntNet_MsgTechNum", &SystemParams::cnt_msg_tech_num, false},
        {"CntNet_ProName", &SystemParams::cnt_pro_name, true},
        {"CntNet_Operator", &SystemParams::cnt_operator, false},
    };
    return keys;
}

const IntKey* findIntKey(QStringView name) {
    for (const auto& k : intKeys())
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

const TextKey* findTextKey(QStringView name) {
    for (const auto& k : textKeys())
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

constexpr int kMaxText = 99;

const char* const kLoadOrder[] = {
    "trigInDelay",       "exposeTime",     "adjustPlus",     "numFailDetect",
    "numAllDetect",      "isPswUsed",      "password",       "system1",
    "system2",           "system3",        "system4",        "sharp",
    "contrast",          "system5",        "system6",        "system7",
    "system8",           "system9",        "system10",       "system11",
    "system12",          "CntNet",         "CntNet_UseName", "CntNet_MsgTechName",
    "CntNet_MsgTechNum", "CntNet_ProName", "CntNet_Operator"};

const char* const kSaveOrder[] = {
    "trigInDelay",       "exposeTime",     "sharp",          "contrast",
    "adjustPlus",        "numFailDetect",  "numAllDetect",   "isPswUsed",
    "password",          "system1",        "system2",        "system3",
    "system4",           "system5",        "system6",        "system7",
    "system8",           "system9",        "system10",       "system11",
    "system12",          "CntNet",         "CntNet_UseName", "CntNet_MsgTechName",
    "CntNet_MsgTechNum", "CntNet_ProName", "CntNet_Operator"};

bool isAlwaysPresent(const char* key) {
    // rows saved with a plain update; the plant-link keys are made sure of first
    return QByteArrayView(key).startsWith("CntNet") == false;
}

std::optional<QString> selectValue(QSqlDatabase& db, const QString& key) {
    return db::selectValue(db, QStringLiteral("sysparam"), key);
}

using db::execBound;

bool ensureRow(QSqlDatabase& db, const QString& key, const QString& text) {
    if (selectValue(db, key))
        return true;
    return execBound(db, QStringLiteral("insert into sysparam values(?, ?)"), {key, text});
}

void clampAbove(int& v, int limit, int repl) {
    if (v > limit)
        v = repl;
}
void clampOutside(int& v, int lo, int hi, int repl) {
    if (v < lo || v > hi)
        v = repl;
}

}  // namespace

int multiDetectTriggerInput(int selection) {
    static constexpr int kInputs[8] = {0, 2, 3, 4, 5, 6, 7, 8};
    return (selection >= 0 && selection < 8) ? kInputs[selection] : -1;
}

namespace params {

std::vector<int> parseIntegers(const QString& text) {
    std::vector<int> out;
    const QStringView s(text);
    qsizetype i = 0;
    while (true) {
        while (i < s.size() && s[i].isSpace())
            ++i;
        if (i == s.size())
            break;
        qsizetype j = i;
        if (s[j] == u'-' || s[j] == u'+')
            ++j;
        const qsizetype digitsFrom = j;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128)
            ++j;
        if (j == digitsFrom)
            break;  // not a number: the stream stops here
        bool ok = false;
        const int v = s.sliced(i, j - i).toInt(&ok);
        if (!ok)
            break;  // out of range for a 32-bit value
        out.push_back(v);
        if (j < s.size() && !s[j].isSpace())
            break;  // "12abc": 12 is taken, the rest stops the stream
        i = j;
    }
    return out;
}

void applyLoadRules(SystemParams& p) {
    for (int c = 0; c < 8; ++c) {
        clampAbove(p.expose_time[c], 10000, 30);
        clampAbove(p.adjust_plus[c], 10000, 32);
        clampAbove(p.sharp[c], 10000, 0);
        clampOutside(p.contrast[c], 1, 10000, 100);
        clampOutside(p.gamma[c], 1, 10000, 100);
    }
    clampOutside(p.multi_detect_count, 2, 8, 2);
    // Values that index tables also have to be non-negative.
    clampOutside(p.system_mode, 0, 5, 0);
    clampOutside(p.mold_side, 0, 3, 0);
    clampAbove(p.pre_cut_time, 10000, 0);
    clampAbove(p.front_auto_check_time, 10000, 0);
    clampOutside(p.minimum_size, 1, 100, 3);
    clampOutside(p.minimum_area, 1, 100000, 100);
    clampOutside(p.max_mold_num, 1, 100, 10);
    clampAbove(p.ng_max_num, 10000, 0);
    clampAbove(p.ok_record_max_num, 10000, 0);
    clampAbove(p.thimble_pulse, 10000, 0);
    clampAbove(p.mold_pulse, 10000, 0);
    if (p.enable_correct != 0 && p.enable_correct != -1)
        p.enable_correct = -1;
    clampAbove(p.angle, 180, 0);
    clampAbove(p.auto_cancel_timelen, 10000, 0);
    clampOutside(p.difference_multiplier, 0, 4, 0);
    clampOutside(p.location_adge, 1, 8000, 8000);
    if (p.location_level != 0 && (p.location_level < 30 || p.location_level > 10000))
        p.location_level = 600;
    clampAbove(p.capture_speed, 100, 12);
    clampAbove(p.input_timeout_len, 100000000, 60);
    clampOutside(p.language, 0, 2, 0);
    clampOutside(p.serial_port, 0, 100, 0);
    clampOutside(p.min_spot, 1, 100, 3);
    clampOutside(p.skip_count, 1, 100, 0);
    clampAbove(p.reserved9, 100000000, 0);
    if (!p.enable_defect_detect && !p.enable_spot_detect && !p.enable_black_area &&
        !p.enable_white_area && !p.enable_white_number && !p.enable_similarity &&
        p.direction_recognition && p.dist_measure)
        p.enable_defect_detect = 1;
    deriveModeValues(p);
}

void deriveModeValues(SystemParams& p) {
    p.detect_enable.fill(0);
    p.detect_trigger.fill(-1);
    // the second detection of a side waits for the ejector-back input in semi-automatic mode
    auto second = [&](int first) { return p.semi_auto ? 2 : first; };
    switch (p.system_mode) {
        case kModeTwoColor:
        case kModeTurntable: {
            p.detect_count = 4;
            p.detect_slots = 4;
            const bool mode1 = p.system_mode == kModeTwoColor;
            int t0 = 0, t1 = 0;
            if (p.mold_side == 0) {
                p.detect_enable = {p.enable_first_detect, 1, 0, 0, 0, 0, 0, 0};
                p.current_side = 0;
                t0 = 0;
                t1 = mode1 ? 2 : second(0);
            } else if (p.mold_side == 1) {
                p.detect_enable = {0, 0, p.enable_first_detect, 1, 0, 0, 0, 0};
                p.current_side = 1;
                t0 = mode1 ? 0 : 3;
                t1 = mode1 ? 3 : second(3);
            } else {
                p.detect_enable = {p.enable_first_detect, 1, p.enable_first_detect, 1, 0, 0, 0, 0};
                p.current_side = 2;
                t0 = mode1 ? 0 : 255;
                t1 = mode1 ? 255 : second(255);
            }
            // a detection's trigger is looked up by its index modulo 2
            p.detect_trigger[0] = p.detect_trigger[2] = t0;
            p.detect_trigger[1] = p.detect_trigger[3] = t1;
            break;
        }
        case kModeMultiDetect:
            p.detect_count = p.detect_slots = p.multi_detect_count;
            for (int d = 0; d < p.detect_count; ++d) {
                const int row = p.detect_row[d];
                if (row < 0 || row > 7 || (d == 0 && !p.enable_first_detect))
                    continue;
                p.detect_enable[d] = 1;
                p.detect_trigger[d] = multiDetectTriggerInput(p.row_trigger[row]);
            }
            break;
        default:  // standard, auto parts, and the unused mode 5, which works as standard
            p.detect_count = 2;
            p.detect_slots = 4;
            p.detect_enable[0] = p.enable_first_detect;
            p.detect_enable[1] = 1;
            p.detect_trigger[0] = 0;
            p.detect_trigger[1] = second(0);
            for (int k = 4; k <= 7; ++k)
                p.output_polarity[k] = p.enable_stop_not_alarm ? 0 : 1;
            break;
    }
}

int readParamGroup(const QString& dir) {
    QFile f(dir + QStringLiteral("/sysadd.txt"));
    if (!f.open(QIODevice::ReadOnly)) {
        writeParamGroup(dir, 0);
        return 0;
    }
    QTextStream in(&f);
    int group = 0;
    in >> group;
    return group;
}

bool writeParamGroup(const QString& dir, int group) {
    QFile f(dir + QStringLiteral("/sysadd.txt"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QByteArray::number(group) + '\n');
    return true;
}

bool load(SystemParams& p, QSqlDatabase& db, const QString& dir) {
    if (!db.isOpen())
        return false;
    p.param_group = readParamGroup(dir);
    for (const char* name : kLoadOrder) {
        const QString key = QString::fromLatin1(name);
        const auto value = selectValue(db, key);
        if (const IntKey* k = findIntKey(key)) {
            if (!value) {
                if (k->missingRowText)
                    ensureRow(db, key, QString::fromLatin1(k->missingRowText));
                continue;
            }
            const auto numbers = parseIntegers(*value);
            for (size_t i = 0; i < numbers.size() && i < k->positions.size(); ++i)
                k->positions[i](p) = numbers[i];
        } else if (const TextKey* t = findTextKey(key); t && value) {
            const QByteArray bytes = t->utf8 ? value->toUtf8() : value->toLatin1();
            if (bytes.size() <= kMaxText)
                p.*(t->member) = bytes;
        }
    }
    applyLoadRules(p);

    p.io_names.clear();
    QFile names(dir + QStringLiteral("/name.txt"));
    if (names.open(QIODevice::ReadOnly)) {
        QTextStream in(&names);
        while (p.io_names.size() < 8 && !in.atEnd())
            p.io_names << in.readLine();
    }
    return true;
}

QString storedValue(const SystemParams& p, const QString& key) {
    auto& mp = const_cast<SystemParams&>(p);  // the field table hands out references
    if (const IntKey* k = findIntKey(key)) {
        QStringList parts;
        for (IntRef ref : k->positions)
            parts << QString::number(ref(mp));
        return parts.join(u' ');
    }
    if (const TextKey* t = findTextKey(key)) {
        const QByteArray& bytes = p.*(t->member);
        return t->utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }
    return {};
}

QStringList keysInSaveOrder() {
    QStringList keys;
    for (const char* k : kSaveOrder)
        keys << QString::fromLatin1(k);
    return keys;
}

bool save(const SystemParams& p, QSqlDatabase& db) {
    if (!db.isOpen() || !db.transaction())
        return false;
    bool ok = true;
    for (const char* name : kSaveOrder) {
        const QString key = QString::fromLatin1(name);
        if (!isAlwaysPresent(name))
            ok = ok && ensureRow(db, key, QStringLiteral("0"));
        ok = ok && execBound(db, QStringLiteral("update sysparam set value=? where name=?"),
                             {storedValue(p, key), key});
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    return db.commit();
}

std::array<QString, 8> readSerialNumbers(QSqlDatabase& snDb) {
    std::array<QString, 8> serials;
    for (int c = 0; c < 8; ++c) {
        const QString key = QStringLiteral("serialNB%1").arg(c);
        const auto value = selectValue(snDb, key);
        if (!value) {
            execBound(snDb, QStringLiteral("insert into sysparam values(?, '0')"), {key});
            continue;
        }
        if (value->size() >= 9 && value->size() <= 99)
            serials[c] = *value;
    }
    return serials;
}

int recordedCameraCount(const std::array<QString, 8>& serials) {
    return static_cast<int>(std::count_if(serials.begin(), serials.end(),
                                          [](const QString& s) { return !s.isEmpty(); }));
}

bool clearSerialNumbers(QSqlDatabase& snDb) {
    if (!snDb.transaction())
        return false;
    bool ok = true;
    for (int c = 0; c < 8; ++c)
        ok = ok && execBound(snDb, QStringLiteral("update sysparam set value='0' where name=?"),
                             {QStringLiteral("serialNB%1").arg(c)});
    return ok ? snDb.commit() : (snDb.rollback(), false);
}

}  // namespace params
