#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

// The seams between the monitor and the machine it runs on. On the panel they
// reach the real shell, clock and lamp device; in tests and in the simulation
// they only record what would have happened.

// Runs shell commands ("reboot", "init 0", "mount ...", "./tsc", ...) and waits for them.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual void run(const QString& command) = 0;
};

// Wall clock and waiting.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual void sleepMs(int ms) = 0;
};

// The "/dev/led" device: status lamps and LCD backlight by ioctl request.
class LedDevice {
public:
    virtual ~LedDevice() = default;
    virtual bool isOpen() const = 0;
    virtual void request(unsigned long code) = 0;
};

// Executes commands with /bin/sh on a real panel.
class ShellCommandRunner final : public CommandRunner {
public:
    void run(const QString& command) override;
};

// Records commands instead of running them. With exitOnReboot, "reboot" and
// "init 0" end the process, as they would on the panel (used by the simulation).
class RecordingCommandRunner final : public CommandRunner {
public:
    explicit RecordingCommandRunner(bool exitOnReboot = false) : m_exitOnReboot(exitOnReboot) {}
    void run(const QString& command) override;
    const QStringList& commands() const { return m_commands; }
    bool ran(const QString& command) const { return m_commands.contains(command); }

private:
    QStringList m_commands;
    bool m_exitOnReboot;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void sleepMs(int ms) override;
};

// A clock that only moves when told to; sleeping advances it.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void sleepMs(int ms) override { m_now = m_now.addMSecs(ms); }
    void set(QDateTime t) { m_now = std::move(t); }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

// "/dev/led" through ioctl; a failed open leaves the device closed and every
// request does nothing.
class IoctlLedDevice final : public LedDevice {
public:
    explicit IoctlLedDevice(const char* path = "/dev/led");
    ~IoctlLedDevice() override;
    IoctlLedDevice(const IoctlLedDevice&) = delete;
    IoctlLedDevice& operator=(const IoctlLedDevice&) = delete;
    bool isOpen() const override { return m_fd > 0; }
    void request(unsigned long code) override;

private:
    int m_fd = -1;
};

// Records lamp requests (tests, simulation).
class RecordingLedDevice final : public LedDevice {
public:
    bool isOpen() const override { return true; }
    void request(unsigned long code) override { m_requests.push_back(code); }
    const std::vector<unsigned long>& requests() const { return m_requests; }

private:
    std::vector<unsigned long> m_requests;
};

// The seams one process uses, chosen once at start.
struct Platform {
    std::unique_ptr<CommandRunner> commands;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<LedDevice> led;
    // Whether the serial ports "/dev/ttyS*" may be opened. Off the panel the IO
    // board is reached only through a simulator's pseudo-terminal.
    bool serialPorts = false;

    // The panel is recognised by its lamp device; anywhere else the monitor
    // runs as a simulation that records its commands instead of running them.
    static Platform forThisMachine();
    static bool isPanel();
};
