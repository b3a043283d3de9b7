#include "resultimages.h"

#include "globals.h"
#include "platform.h"

#include <glog/logging.h>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <functional>

namespace {
const QString kStampFormat = QStringLiteral("yyyy-MM-dd_hh.mm.ss.zzz");

// Sequence number in front of the first '_'; -1 when there is none.
qint64 sequenceOf(const QString& name) {
    bool ok = false;
    const qint64 n = name.section(u'_', 0, 0).toLongLong(&ok);
    return ok ? n : -1;
}

bool isCurrentName(const QString& fileName) {
    const QStringList parts = QFileInfo(fileName).completeBaseName().split(u'_');
    return parts.size() > 2 && parts[2].size() >= 3 && sequenceOf(fileName) >= 0;
}
}  // namespace

void ResultImageSlots::request(int camera, int detection, ResultKind kind, const QImage& image) {
    QMutexLocker lock(&gSaveLock);
    Slot& s = m_slots[index(camera, detection, kind)];
    s.image = image;  // implicitly shared: a copy of the handle
    s.pending = true;
}

QImage ResultImageSlots::take(int camera, int detection, ResultKind kind) {
    QMutexLocker lock(&gSaveLock);
    Slot& s = m_slots[index(camera, detection, kind)];
    if (!s.pending)
        return {};
    s.pending = false;
    return std::exchange(s.image, QImage());
}

bool ResultImageSlots::pending(int camera, int detection, ResultKind kind) const {
    QMutexLocker lock(&gSaveLock);
    return m_slots[index(camera, detection, kind)].pending;
}

QString resultFolder(const QString& dir, int camera, int detection, ResultKind kind) {
    return QStringLiteral("%1/alarmimage//camera%2//detect%3//%4")
        .arg(dir)
        .arg(camera + 1)
        .arg(detection + 1)
        .arg(kind == kNgImage ? QStringLiteral("NG") : QStringLiteral("OK"));
}

QString resultFileName(qint64 sequence, const QDateTime& when) {
    return QStringLiteral("%1_%2.jpg").arg(sequence).arg(when.toString(kStampFormat));
}

void pruneResultFolder(const QString& folder, int limit) {
    QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return sequenceOf(a.fileName()) > sequenceOf(b.fileName());
    });
    const qsizetype keep = std::max(limit - 1, 0);
    for (qsizetype i = keep; i < files.size() && files.size() >= limit; ++i)
        QFile::remove(files[i].absoluteFilePath());
}

qint64 scanResultFolders(const QString& dir, int cameraCount) {
    qint64 counter = 100000;
    int prefix = 99999;
    for (int c = 0; c < cameraCount; ++c)
        for (int d = 0; d < 8; ++d)
            for (ResultKind k : {kNgImage, kOkImage}) {
                QDir folder(resultFolder(dir, c, d, k));
                for (const QString& name :
                     folder.entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
                    if (!isCurrentName(name)) {
                        folder.rename(name, QStringLiteral("%1_%2").arg(prefix).arg(name));
                        prefix = std::max(prefix - 1, 100);
                        continue;
                    }
                    counter = std::max(counter, sequenceOf(name));
                }
            }
    return counter + 100;
}

ResultImageSaver::ResultImageSaver(QString dir, ResultImageSlots& imageSlots,
                                   SaverSettings settings, Clock& clock, qint64 firstSequence)
    : m_dir(std::move(dir)),
      m_slots(imageSlots),
      m_settings(settings),
      m_clock(clock),
      m_sequence(firstSequence) {}

int ResultImageSaver::savePass() {
    int written = 0;
    const int cameras = std::clamp(*m_settings.cameraCount, 0, ResultImageSlots::kCameras);
    const int detections = std::clamp(*m_settings.detections, 0, ResultImageSlots::kDetections);
    for (int c = 0; c < cameras; ++c) {
        for (int d = 0; d < detections; ++d) {
            const bool ng = m_slots.pending(c, d, kNgImage);
            const bool ok = m_slots.pending(c, d, kOkImage);
            for (ResultKind k : {kNgImage, kOkImage}) {
                const QImage image = m_slots.take(c, d, k);
                if (image.isNull())
                    continue;
                // an OK image right after an NG of the same pair goes beside it
                const bool toNg = k == kNgImage || ng;
                const QString folder = resultFolder(m_dir, c, d, toNg ? kNgImage : kOkImage);
                pruneResultFolder(folder, toNg ? *m_settings.ngLimit : *m_settings.okLimit);
                const qint64 seq = m_sequence++;
                const QString path =
                    QDir(folder).absoluteFilePath(resultFileName(seq, m_clock.now()));
                if (image.save(path, "JPG")) {
                    ++written;
                    if (m_stored)
                        m_stored(path);
                } else {
                    LOG(WARNING) << "result image lost: " << path.toStdString();
                }
                m_clock.sleepMs(k == kNgImage && ok ? 1000 : 200);
            }
        }
    }
    return written;
}

SaveFialImageThread::~SaveFialImageThread() {
    requestInterruption();
    wait();
}

void SaveFialImageThread::run() {
    SystemClock clock;
    while (!isInterruptionRequested()) {
        m_saver.savePass();
        clock.sleepMs(100);
    }
}

void ProductionCounters::CountRead(const QString& dir) {
    QFile f(dir + QStringLiteral("/count.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return;
    QTextStream in(&f);
    for (int c = 0; c < 8; ++c) {
        for (int* v : {&total[c], &ng[c]}) {
            qint64 x = 0;
            in >> x;
            if (in.status() != QTextStream::Ok)
                return;
            *v = (x > 100000000 || x < 0) ? 0 : static_cast<int>(x);
        }
    }
}

bool ProductionCounters::CountWrite(const QString& dir) const {
    QString line;
    for (int c = 0; c < 8; ++c)
        line += QStringLiteral("%1 %2 ").arg(total[c]).arg(ng[c]);
    QFile f(dir + QStringLiteral("/count.txt"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(line.toLatin1()) == line.size();
}
