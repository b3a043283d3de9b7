#include "netns.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <thread>

namespace {
bool runIp(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ip"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}  // namespace

NetnsGuard::NetnsGuard() = default;

NetnsGuard::~NetnsGuard() {
    for (const QString& n : m_names)
        runIp({"netns", "del", n});
}

QString NetnsGuard::unavailableReason() {
    if (::geteuid() != 0)
        return QStringLiteral("network namespaces need root");
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        return QStringLiteral("the ip tool is missing");
    const QString probe = QStringLiteral("mmcamprobe%1").arg(QCoreApplication::applicationPid());
    if (!runIp({"netns", "add", probe}))
        return QStringLiteral("cannot create a network namespace here");
    runIp({"netns", "del", probe});
    return {};
}

std::string NetnsGuard::add(const std::string& shortName) {
    const QString name = QStringLiteral("mmcam%1%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QString::fromStdString(shortName));
    if (!runIp({"netns", "add", name}))
        return {};
    m_names << name;
    runIp({"-n", name, "link", "set", "lo", "up"});
    return name.toStdString();
}

bool NetnsGuard::ip(const QString& args) {
    return runIp(args.split(' ', Qt::SkipEmptyParts));
}

bool NetnsGuard::runIn(const std::string& ns, const std::function<void()>& fn) {
    bool joined = false;
    std::thread t([&] {
        const int fd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        joined = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        if (joined)
            fn();
    });
    t.join();
    return joined;
}
