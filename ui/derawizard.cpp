#include "derawizard.h"

#include "boxes.h"
#include "databases.h"
#include "display.h"
#include "globals.h"
#include "inspect/vision_globals.h"
#include "ioboard.h"
#include "keyboardhost.h"
#include "logs.h"
#include "platform.h"
#include "sharedboxes.h"
#include "timeguard.h"

#include <glog/logging.h>

extern "C" {
#include <libavdevice/avdevice.h>
}
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSqlDatabase>

namespace {
constexpr int kMsgNoCamera = 134;
constexpr int kMsgCameraCountChanged = 360;
constexpr int kMsgStopManually = 141;
constexpr int kMsgReady = 150;
constexpr int kMsgAdvanced = 154, kMsgPrimary = 155, kMsgUnlogged = 156;
constexpr int kMsgReleaseForCalibration = 370;
constexpr int kEnglish = 1;  // the language is not known before the parameters load

const QString kClockErrorWarning = QStringLiteral("系统时间出错，导致停止检测，\n请重新设置时间！");
const QString kClockErrorRecord = QStringLiteral("系统时间出错，导致停止检测");
const QString kClockNotSetRecord = QStringLiteral("系统时间错误，未修改时间");
}  // namespace

DeRaWizard::DeRaWizard(Platform& platform, const QString& workDir, OperatorPrompt* prompt,
                       QWidget* parent)
    : QWidget(parent),
      m_platform(platform),
      m_dir(workDir),
      m_record(workDir, *platform.clock),
      m_lamps(*platform.led) {
    // the capture devices of the multimedia library (Video4Linux2 cameras)
    avdevice_register_all();

    // frameless, the size of the panel
    setWindowFlags(Qt::FramelessWindowHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    // the camera view spans the panel until the camera layer sets the image size
    SetViewGeometry(gImageW, gImageH, width(), height());

    if (QFile::exists(m_dir + QStringLiteral("/update.sh"))) {
        m_platform.commands->run(QStringLiteral("./update.sh"));
        m_platform.clock->sleepMs(300);
        QFile::remove(m_dir + QStringLiteral("/update.sh"));
    }

    m_touchCalibrationTimer.setSingleShot(true);
    connect(&m_touchCalibrationTimer, &QTimer::timeout, this, &DeRaWizard::TSClibrate);
    m_logoutTimer.setSingleShot(true);
    connect(&m_logoutTimer, &QTimer::timeout, this, &DeRaWizard::TimerLogout);
    m_screenOffTimer.setSingleShot(true);
    connect(&m_screenOffTimer, &QTimer::timeout, this, &DeRaWizard::TimerLCD);
    // every widget picks its layout from the panel's size
    displaySize() = {width(), height()};
    m_keys = new KeyboardHost(this);
    new KeyboardHider(*m_keys, this);
    m_boxes = std::make_unique<SharedBoxes>(this, *m_keys, m_params, *m_platform.clock, m_access);
    m_screenWake = std::make_unique<ScreenWake>(m_lamps, m_screenOffTimer, m_params);
    m_boxes->setScreenWake(m_screenWake.get());
    m_boxes->lostCom->setLinkLost([this] { return m_io && m_io->linkLost(); });
    // the camera layer reports lost cameras once it is attached
    m_cameraShutdown = std::make_unique<LostCameraShutdown>(
        *m_platform.commands, *m_platform.clock, [] { return false; },
        [this](const QString& t) { InsertRecord(t); }, [this] { FLushAll(); });
    m_boxes->lostCamera->setShutdown(m_cameraShutdown.get());
    if (prompt) {
        m_prompt = prompt;
    } else {
        m_ownPrompt = std::make_unique<BoxPrompt>(*m_boxes->warn, *m_boxes->choose);
        m_prompt = m_ownPrompt.get();
    }

    if (!openDatabases())
        return;  // repaired; the panel reboots
    loadParameters();

    if (!LogManager::instance())
        m_logManager = std::make_unique<LogManager>(m_dir, m_platform.clock->now());
    if (LogManager* log = LogManager::instance())
        log->setEnabled(m_params.use_log != 0);
    qDebug("application start");

    // Camera enumeration sets cameraFamily and cameraCount once the camera
    // layer is present; until then no camera is found.
    cameraFamily = 0;
    cameraCount = 0;

    createIoBoard();

    m_grayTable.resize(256);
    for (int i = 0; i < 256; ++i)
        m_grayTable[i] = qRgb(i, i, i);

    if (!checkCameraPresence())
        return;  // serial numbers cleared; the panel reboots
    m_shownCamera = cameraCount == 1 ? 0 : cameraCount;

    createFolders();
    startImageSaver();
    m_record.readStoredDate();
    SlotCheckDate();
    m_detecting = true;

    connect(&m_checkDateTimer, &QTimer::timeout, this, &DeRaWizard::SlotCheckDate);
    m_checkDateTimer.start(60000);
    InsertRecord(tx(kMsgReady).arg(cameraCount));
    CountRead();
    if (m_params.location_level > 0)
        m_screenOffTimer.start(m_params.location_level * 1000);
    m_started = true;
    runTimeGuard();
}

DeRaWizard::~DeRaWizard() {
    m_boxes->detach();
    m_record.close();
    db::closeAll();
}

bool DeRaWizard::openDatabases() {
    for (const db::StoreSpec* store : {&db::paramStore(), &db::recordStore(), &db::serialStore()}) {
        QString why;
        if (db::openChecked(*store, m_dir, &why))
            continue;
        LOG(ERROR) << store->file << " unusable: " << why.toStdString();
        m_prompt->warn(gText[store->messageId][kEnglish]);
        db::repair(*store, m_dir);
        m_platform.clock->sleepMs(store->pauseMs);
        m_platform.commands->run(QStringLiteral("reboot"));
        return false;
    }
    return true;
}

void DeRaWizard::loadParameters() {
    QSqlDatabase paramDb = QSqlDatabase::database(QLatin1String(db::paramStore().connection));
    params::load(m_params, paramDb, m_dir);
    m_editParams = SystemParams{};
    m_params.save_ok_record = 1;
    language = m_params.language;
}

bool DeRaWizard::checkCameraPresence() {
    QSqlDatabase snDb = QSqlDatabase::database(QLatin1String(db::serialStore().connection));
    const int recorded = params::recordedCameraCount(params::readSerialNumbers(snDb));
    if (cameraFamily == 0 || cameraCount == 0) {
        cameraFamily = 0;
        cameraCount = recorded;
        if (m_prompt->ask(tx(kMsgNoCamera)))
            params::clearSerialNumbers(snDb);
    } else if (recorded > 0 && recorded != cameraCount) {
        if (m_prompt->ask(tx(kMsgCameraCountChanged))) {
            params::clearSerialNumbers(snDb);
            FLushAll();
            m_platform.commands->run(QStringLiteral("reboot"));
            return false;
        }
    }
    return true;
}

void DeRaWizard::createFolders() {
    QDir dir(m_dir);
    for (int c = 1; c <= cameraCount; ++c) {
        for (int d = 1; d <= 8; ++d) {
            const QString detect =
                QStringLiteral("./alarmimage//camera%1//detect%2//").arg(c).arg(d);
            dir.mkpath(detect + QStringLiteral("NG"));
            dir.mkpath(detect + QStringLiteral("OK"));
            dir.mkpath(QStringLiteral("./cammer%1%2").arg(c).arg(d));
            dir.mkpath(QStringLiteral("./originalimage//cammer%1%2").arg(c).arg(d));
        }
    }
    dir.mkpath(QStringLiteral("./RECORD"));
    dir.mkpath(QStringLiteral("./ResStatistics"));
}

void DeRaWizard::runTimeGuard() {
    const qint64 lastSet = timeguard::readLastSetTime(m_dir);
    if (timeguard::clockTrusted(lastSet, m_platform.clock->now().toMSecsSinceEpoch()))
        return;
    InsertRecord(kClockErrorRecord);
    stopDetection();
    m_prompt->warn(kClockErrorWarning);
    // The time-setting dialog joins here; without it the clock stays as it is.
    InsertRecord(kClockNotSetRecord);
}

void DeRaWizard::createIoBoard() {
    QString device = ioDevicePath(m_dir, m_params.serial_port);
    if (!m_platform.serialPorts && device.startsWith(QLatin1String("/dev/ttyS")))
        device.clear();  // no board here: the link reports itself lost
    m_io = std::make_unique<IoBoard>(m_params, device);
    connect(m_io->thread(), &IOThread::linkRecord, this, &DeRaWizard::InsertRecord,
            Qt::QueuedConnection);
    // the machine may not close the mould until the first cycle allows it
    prohibitClamping();
}

void DeRaWizard::startImageSaver() {
    const qint64 firstSequence = scanResultFolders(m_dir, cameraCount);
    m_saver = std::make_unique<ResultImageSaver>(
        m_dir, m_resultSlots,
        SaverSettings{&cameraCount, &m_params.detect_count, &m_params.ng_max_num,
                      &m_params.ok_record_max_num},
        m_saverClock, firstSequence);
    m_saveThread = std::make_unique<SaveFialImageThread>(*m_saver);
    m_saveThread->start();
}

void DeRaWizard::CountRead() {
    m_counters.CountRead(m_dir);
}

void DeRaWizard::CountWrite() {
    m_counters.CountWrite(m_dir);
}

void DeRaWizard::prohibitClamping() {
    m_io->setOutput(0, true);
    m_io->commitOutputs();
}

void DeRaWizard::stopDetection() {
    m_detecting = false;
    prohibitClamping();
    InsertRecord(tx(kMsgStopManually));
    m_lamps.setLamp(4, 0);
}

void DeRaWizard::InsertRecord(const QString& text) {
    const int level = m_access.level() == 2   ? kMsgAdvanced
                      : m_access.level() == 1 ? kMsgPrimary
                                              : kMsgUnlogged;
    m_record.insert(tx(level), text);
}

void DeRaWizard::ClearRecord() {
    m_record.clear();
}

void DeRaWizard::SlotCheckDate() {
    m_record.checkDate();
}

void DeRaWizard::FLushAll() {
    m_record.close();
    db::closeAll();
    m_platform.clock->sleepMs(500);
}

bool DeRaWizard::hasCameraFamily() const {
    return cameraFamily != 0;
}

void DeRaWizard::TSClibrate() {
    m_touchCalibrationTimer.stop();
    if (cameraFamily != 0)
        return;
    m_calibrationArmed = true;
    m_prompt->warn(tx(kMsgReleaseForCalibration));
}

void DeRaWizard::runTouchCalibration() {
    m_calibrationArmed = false;
    m_platform.commands->run(QStringLiteral("./tsc"));
    m_platform.clock->sleepMs(500);
    FLushAll();
    m_platform.commands->run(QStringLiteral("reboot"));
}

void DeRaWizard::restartIdleTimers() {
    if (m_params.auto_cancel_timelen > 0)
        m_logoutTimer.start(m_params.auto_cancel_timelen * 1000);
    if (m_params.location_level > 0)
        m_screenOffTimer.start(m_params.location_level * 1000);
}

void DeRaWizard::TimerLCD() {
    m_screenOffTimer.stop();
    m_lamps.screenOff();
}

void DeRaWizard::TimerLogout() {
    m_logoutTimer.stop();
    m_access.lock();
}

void DeRaWizard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x1d, 0x26, 0x2e));
}
