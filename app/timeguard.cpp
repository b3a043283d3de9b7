#include "timeguard.h"

#include <QFile>

namespace timeguard {

qint64 readLastSetTime(const QString& dir) {
    QFile f(dir + QStringLiteral("/realytime.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 v = f.readAll().trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? v : 0;
}

bool writeLastSetTime(const QString& dir, qint64 msSinceEpoch) {
    QFile f(dir + QStringLiteral("/realytime.txt"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QByteArray::number(msSinceEpoch));
    return true;
}

bool clockTrusted(qint64 lastSetMs, qint64 nowMs) {
    return lastSetMs != 0 && lastSetMs <= nowMs;
}

}  // namespace timeguard
