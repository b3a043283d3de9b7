#pragma once

#include "access.h"
#include "operationrecord.h"
#include "panellamps.h"
#include "platform.h"
#include "resultimages.h"
#include "systemparams.h"
#include "touchfilter.h"

#include <QRgb>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <memory>

class ChooseBox;
class IoBoard;
class KeyboardHost;
class LostCameraShutdown;
class ScreenWake;
struct SharedBoxes;
class LogManager;
class OperatorPrompt;
class WarnBox;
struct Platform;

// The main window: owns the databases, the parameters, the records and (as
// their issues land) the cameras, the IO board and the cycle. Its constructor
// brings the system up in a fixed order.
class DeRaWizard : public QWidget, public TouchTarget {
    Q_OBJECT
public:
    // workDir is the working directory; prompt answers start-up questions
    // (null: the shared boxes ask the operator).
    DeRaWizard(Platform& platform, const QString& workDir, OperatorPrompt* prompt = nullptr,
               QWidget* parent = nullptr);
    ~DeRaWizard() override;

    // False when start-up ended in a repair-and-reboot path.
    bool started() const { return m_started; }
    SystemParams& params() { return m_params; }
    SystemParams& editParams() { return m_editParams; }
    OperationRecord& record() { return m_record; }
    PanelLamps& lamps() { return m_lamps; }
    bool detecting() const { return m_detecting; }
    int accessLevel() const { return m_access.level(); }
    AccessLevel& access() { return m_access; }
    KeyboardHost& keys() { return *m_keys; }
    SharedBoxes& boxes() { return *m_boxes; }
    int shownCamera() const { return m_shownCamera; }
    const QVector<QRgb>& grayTable() const { return m_grayTable; }
    IoBoard* ioBoard() { return m_io.get(); }
    ResultImageSlots& resultSlots() { return m_resultSlots; }
    ProductionCounters& counters() { return m_counters; }

    // Closes the three databases and pauses, before a reboot or power-off.
    void FLushAll();

    // TouchTarget
    bool hasCameraFamily() const override;
    QTimer& touchCalibrationTimer() override { return m_touchCalibrationTimer; }
    bool calibrationArmed() const override { return m_calibrationArmed; }
    void runTouchCalibration() override;
    void restartIdleTimers() override;
    bool isScreenOff() const override { return m_lamps.isScreenOff(); }
    void wakeScreen() override { m_lamps.screenOn(); }

public slots:
    void InsertRecord(const QString& text);
    void ClearRecord();
    void SlotCheckDate();
    void TSClibrate();
    void TimerLCD();
    void TimerLogout();
    void CountRead();
    void CountWrite();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool openDatabases();
    void loadParameters();
    bool checkCameraPresence();
    void createFolders();
    void runTimeGuard();
    void stopDetection();
    void createIoBoard();
    void startImageSaver();
    void prohibitClamping();

    Platform& m_platform;
    QString m_dir;
    std::unique_ptr<OperatorPrompt> m_ownPrompt;
    OperatorPrompt* m_prompt = nullptr;
    AccessLevel m_access;            // password unlock level: 0 none, 1 primary, 2 advanced
    KeyboardHost* m_keys = nullptr;  // child widget
    std::unique_ptr<SharedBoxes> m_boxes;
    std::unique_ptr<ScreenWake> m_screenWake;
    std::unique_ptr<LostCameraShutdown> m_cameraShutdown;
    std::unique_ptr<LogManager> m_logManager;
    std::unique_ptr<IoBoard> m_io;
    ResultImageSlots m_resultSlots;
    SystemClock m_saverClock;  // the saver pauses for real, on its own thread
    std::unique_ptr<ResultImageSaver> m_saver;
    std::unique_ptr<SaveFialImageThread> m_saveThread;
    ProductionCounters m_counters;

    SystemParams m_params;
    SystemParams m_editParams;
    OperationRecord m_record;
    PanelLamps m_lamps;
    QVector<QRgb> m_grayTable;

    QTimer m_touchCalibrationTimer;
    QTimer m_logoutTimer;
    QTimer m_screenOffTimer;
    QTimer m_checkDateTimer;
    bool m_calibrationArmed = false;

    bool m_started = false;
    bool m_detecting = false;
    int m_shownCamera = 0;
};
