#include "platform.h"

#include <fcntl.h>
#include <glog/logging.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QProcess>
#include <QThread>
#include <cstdlib>

void ShellCommandRunner::run(const QString& command) {
    LOG(INFO) << "run: " << command.toStdString();
    QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
}

void RecordingCommandRunner::run(const QString& command) {
    m_commands << command;
    LOG(INFO) << "not run (simulation): " << command.toStdString();
    if (m_exitOnReboot &&
        (command == QLatin1String("reboot") || command == QLatin1String("init 0"))) {
        google::FlushLogFiles(google::GLOG_INFO);
        std::_Exit(0);
    }
}

void SystemClock::sleepMs(int ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

IoctlLedDevice::IoctlLedDevice(const char* path) : m_fd(::open(path, O_RDWR)) {}

IoctlLedDevice::~IoctlLedDevice() {
    if (m_fd > 0)
        ::close(m_fd);
}

void IoctlLedDevice::request(unsigned long code) {
    if (m_fd > 0)
        ::ioctl(m_fd, code);
}

bool Platform::isPanel() {
    return ::access("/dev/led", F_OK) == 0;
}

Platform Platform::forThisMachine() {
    Platform p;
    p.clock = std::make_unique<SystemClock>();
    if (isPanel()) {
        p.commands = std::make_unique<ShellCommandRunner>();
        p.led = std::make_unique<IoctlLedDevice>();
        p.serialPorts = true;
    } else {
        p.commands = std::make_unique<RecordingCommandRunner>(true);
        p.led = std::make_unique<RecordingLedDevice>();
    }
    return p;
}
