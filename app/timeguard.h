#pragma once

#include <QString>

// The last manually set clock time ("realytime.txt", ms since the epoch).
namespace timeguard {
qint64 readLastSetTime(const QString& dir);
bool writeLastSetTime(const QString& dir, qint64 msSinceEpoch);
// The clock is trusted once it was set by hand and has not gone back since.
bool clockTrusted(qint64 lastSetMs, qint64 nowMs);
}  // namespace timeguard
