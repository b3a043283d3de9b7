#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class QSqlDatabase;

// Operating modes (system_mode).
enum SystemMode {
    kModeStandard = 0,
    kModeTwoColor = 1,
    kModeTurntable = 2,
    kModeAutoParts = 3,
    kModeMultiDetect = 4
};

// The machine-level settings: one flat record of 32-bit integers and a few
// 100-byte texts, persisted as rows of table sysparam in PARAM.db. There is a
// live record and an edit copy for the parameter screens.
struct SystemParams {
    // trigInDelay: start delay of detection 1..8, units of 100 ms
    int finished_product_detect = 0, cavity_detect = 0, neutron_detect = 0, fourth_detect = 0;
    int detect_delay_5 = 0, detect_delay_6 = 0, detect_delay_7 = 0, detect_delay_8 = 0;

    // camera settings per camera 0..7
    std::array<int, 8> expose_time{}, adjust_plus{}, sharp{}, contrast{}, gamma{};

    // numFailDetect
    int system_mode = 0, mold_side = 0, auto_exposure = 0, auto_shading = 0, save_ok_record = 0;
    int enable_black_area = 0, enable_white_area = 0, enable_similarity = 0;

    int is_psw_used = 0;
    QByteArray password;  // Latin-1, at most 99 bytes

    // system1
    int semi_auto = 0, enable_first_detect = 0, enabe_two_test = 0, enable_correct = 0;
    int enable_stop_mold = 0, pre_cut_time = 0, front_auto_check_time = 0, ok_record_max_num = 0;
    int auto_generate_area = 0;

    // system2
    int mold_cutoff = 0, max_mold_num = 0, min_spot = 0, ng_max_num = 0, thimble_pulse = 0;
    int mold_pulse = 0, enable_stop_not_alarm = 0, is_cut_ontime = 0, enable_cutoff_ontime = 0;
    int enable_pass_protect = 0, template_pass_protect = 0, ignore_pass_protect = 0;
    int language = 0;  // copied to the global language when the live record is loaded
    int enable_mold_backup = 0, location_adge = 0, location_level = 0, capture_speed = 0;
    int input_timeout_len = 0;

    // system3
    int enable_output_thimble_pulse = 0, enable_disarm_before_open = 0, difference_multiplier = 0;
    int enable_defect_detect = 0, enable_spot_detect = 0, enable_ignore_area = 0;
    int enable_manual_edit = 0, enable_display_detail = 0, auto_cancel_timelen = 0;
    int enable_one_not_mold = 0, enable_trigger_safety = 0;

    // system4
    int template_auto_update = 0;
    std::array<int, 4> local_address{}, netmask{}, gateway{};
    int minimum_size = 0, minimum_area = 0;

    // system5 (after the camera 5/6 settings)
    int prod_ok_ng_pulse = 0, angle = 0, cut_thimble_on_alarm = 0, external_trigger = 0;
    int cut_clamp_on_alarm = 0;

    // system6 (after the camera 7/8 settings)
    int shake_erase_time = 0, enable_statistics = 0, reserved6_10 = 0, stop_pass_protect = 0;

    // system7
    int serial_port = 0, enable_color_camera = 0, enable_gray_channel = 0, snap_shot = 0;
    std::array<int, 9> output_polarity{};  // [2] is the alarm output ("report_alarm")
    int prohibit_optimize = 0, factory_param = 0, ng_image = 0, reserved7_11 = 0;
    int realtime_roi = 0, show_mold_no = 0, enable_white_number = 0;

    // system8
    int multi_detect_count = 2;
    std::array<int, 8> row_trigger{}, row_cut_mode{};
    int is_cut_ontime_thimble = 0, use_log = 0, direction_recognition = 0;

    // system9
    std::array<int, 8> detect_row{};
    int timing_alarm = 0, skip_count = 0, enable_skip = 0, separate_signal = 0, dist_measure = 0;
    int reserved9 = 0;  // written six times

    // system10
    std::array<int, 8> input_name_index{}, output_name_index{};
    int reserved10_16 = 0, mold_ng_pulse = 0, image_adjust = 0, stop_thimble_on_stop = 0;

    // system11
    std::array<int, 16> reserved11{};
    int camera_lost_tips = 0, io_lost_tips = 0, not_sequential = 0, reserved11_19 = 0;

    // system12
    std::array<int, 8> h_mirror{}, v_mirror{};
    int mold_ok_ng_pulse = 0, show_mode_button = 0, live_on_trigger_alarm = 0, timed_capture = 0;

    // CntNet: link switch, video sharing, frame-rate index, NG video, SMS alarm,
    // mould cavities, product number, product serial number
    std::array<int, 8> cnt_net{0, 1, 3, 0, 0, 6, 1, 10000};
    QByteArray cnt_use_name, cnt_msg_tech_name, cnt_msg_tech_num, cnt_pro_name, cnt_operator;

    // --- not stored ---
    int param_group = 0;  // "sysadd.txt"
    // derived from the mode at load
    int detect_count = 0;  // detections per cycle
    int detect_slots = 0;  // detection slots the screens show
    std::array<int, 8> detect_enable{0, 1, 0, 0, 0, 0, 0, 0};
    std::array<int, 8> detect_trigger{};  // input channel; 255 either of two; -1 none
    int current_side = 0;                 // two-colour/turntable: 0 left, 1 right, 2 both
    QStringList io_names;                 // first eight lines of "name.txt"; empty when unreadable

    int& enable_network() { return cnt_net[0]; }
    int enable_network() const { return cnt_net[0]; }

    bool operator==(const SystemParams&) const = default;
};

// Trigger input of a multi-detection row's trigger selection 0..7.
int multiDetectTriggerInput(int selection);

// Loading, repairing and saving the record. The field table inside is the only
// place that knows keys, positions and their order.
namespace params {

// Parses a stored value as whitespace-separated integers the way a text stream
// does: it stops at the first token that is not a number; a number directly
// followed by other text is taken and then parsing stops.
std::vector<int> parseIntegers(const QString& text);

// Applies the load repairs and the mode derivations, in their fixed order.
void applyLoadRules(SystemParams& p);
void deriveModeValues(SystemParams& p);

// Reads every key from db (table sysparam) into p; inserts missing rows of
// system7..system12 with their default text. Reads "sysadd.txt" and "name.txt"
// from dir. Returns false when db is not usable.
bool load(SystemParams& p, QSqlDatabase& db, const QString& dir);

// Writes every key in one transaction (either all keys change or none).
bool save(const SystemParams& p, QSqlDatabase& db);

// The stored text of a key as save writes it (empty for unknown keys).
QString storedValue(const SystemParams& p, const QString& key);
// Keys in save order, the five text keys last.
QStringList keysInSaveOrder();

// "sysadd.txt": current parameter group.
int readParamGroup(const QString& dir);
bool writeParamGroup(const QString& dir, int group);

// SN.db: camera serial numbers serialNB0..7. Missing rows are inserted with '0'.
// Values of 9..99 characters are serial numbers; others are reported empty.
std::array<QString, 8> readSerialNumbers(QSqlDatabase& snDb);
int recordedCameraCount(const std::array<QString, 8>& serials);
bool clearSerialNumbers(QSqlDatabase& snDb);

}  // namespace params
