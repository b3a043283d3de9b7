#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QThread>
#include <array>
#include <atomic>
#include <functional>

class Clock;

// Kinds of kept images.
enum ResultKind { kNgImage = 0, kOkImage = 1 };

// The images the cycle asked to keep: one slot per camera, detection and kind,
// with a pending flag each, shared with the saver under gSaveLock.
class ResultImageSlots {
public:
    static constexpr int kCameras = 8, kDetections = 8;

    // Fills a slot and marks it for saving (GUI thread).
    void request(int camera, int detection, ResultKind kind, const QImage& image);
    // Takes a pending image out and clears its flag (saver thread); null when none.
    QImage take(int camera, int detection, ResultKind kind);
    bool pending(int camera, int detection, ResultKind kind) const;

private:
    struct Slot {
        QImage image;
        bool pending = false;
    };
    std::array<Slot, kCameras * kDetections * 2> m_slots;
    static int index(int c, int d, ResultKind k) { return (c * kDetections + d) * 2 + k; }
};

// Result folders "<dir>/alarmimage/camera<c>/detect<d>/NG|OK".
QString resultFolder(const QString& dir, int camera, int detection, ResultKind kind);

// Image file names "<sequence>_<yyyy-MM-dd_hh.mm.ss.zzz>.jpg".
QString resultFileName(qint64 sequence, const QDateTime& when);

// Deletes the oldest (lowest-numbered) images of folder until limit - 1 remain.
void pruneResultFolder(const QString& folder, int limit);

// Renames legacy file names and returns the first sequence number to use:
// above every stored number by 100 (at least 100100).
qint64 scanResultFolders(const QString& dir, int cameraCount);

// Settings the saver reads on every pass (single aligned integers, no lock).
struct SaverSettings {
    const int* cameraCount = nullptr;
    const int* detections = nullptr;  // detections per cycle
    const int* ngLimit = nullptr;
    const int* okLimit = nullptr;
};

// Stores the requested result images as JPEG files, one pass at a time.
class ResultImageSaver {
public:
    ResultImageSaver(QString dir, ResultImageSlots& imageSlots, SaverSettings settings,
                     Clock& clock, qint64 firstSequence);
    // One pass over every camera and detection; returns the number of files written.
    int savePass();
    qint64 nextSequence() const { return m_sequence.load(); }
    // Told the absolute path of every stored file (the plant link listens).
    void setStoredHandler(std::function<void(const QString&)> h) { m_stored = std::move(h); }

private:
    QString m_dir;
    ResultImageSlots& m_slots;
    SaverSettings m_settings;
    Clock& m_clock;
    std::atomic<qint64> m_sequence;
    std::function<void(const QString&)> m_stored;
};

// The background thread around the saver: a pass, then 100 ms, forever.
class SaveFialImageThread : public QThread {
    Q_OBJECT
public:
    explicit SaveFialImageThread(ResultImageSaver& saver, QObject* parent = nullptr)
        : QThread(parent), m_saver(saver) {}
    ~SaveFialImageThread() override;

protected:
    void run() override;

private:
    ResultImageSaver& m_saver;
};

// Production counters per camera (total cycles, NG cycles) in "count.txt".
struct ProductionCounters {
    std::array<int, 8> total{};
    std::array<int, 8> ng{};

    void CountRead(const QString& dir);
    bool CountWrite(const QString& dir) const;
};
