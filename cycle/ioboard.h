#pragma once

#include <QString>
#include <QThread>
#include <array>
#include <atomic>
#include <memory>

struct SystemParams;

// The words the IO thread and the GUI thread share. input and output cross
// only under gIoLock, one word copy per access; the link state is written by
// the IO thread alone and may be read without the lock.
struct IoWords {
    int input = 0;                 // last input word reported by the board, 10 bits
    int output = 0;                // output word the board must show, 10 bits
    std::array<int, 16> info{};    // board information (commands 3 and 4)
    std::atomic<int> linkLost{0};  // 1 after kSilenceLimit empty passes
    std::atomic<int> silence{0};   // empty passes since the last good frame
};

// Polls the IO board every period on its own thread: sends the poll, reads and
// parses the replies, re-sends the outputs when the echo differs.
class IOThread : public QThread {
    Q_OBJECT
public:
    IOThread(QString device, IoWords& words, int periodMs = 5, QObject* parent = nullptr);
    ~IOThread() override;

    const QString& device() const { return m_device; }

signals:
    // A text for the operation record ("IO通讯重新连接"); connect it queued to
    // the main window's InsertRecord(QString).
    void linkRecord(const QString& text);

protected:
    void run() override;

private:
    QString m_device;
    IoWords& m_words;
    int m_periodMs;
};

// The GUI thread's handle of the IO board: prepares output levels with their
// polarity, publishes them to the IO thread, reads inputs and their edges.
class IoBoard {
public:
    static constexpr int kInputs = 8;
    static constexpr int kOutputs = 9;

    // Opens device (see ioDevicePath), resets and commits the outputs and starts
    // the IO thread. params is the live parameter record; it must outlive the board.
    IoBoard(const SystemParams& params, const QString& device, int periodMs = 5);
    // Stops the IO thread (a running monitor never gets here).
    ~IoBoard();
    IoBoard(const IoBoard&) = delete;
    IoBoard& operator=(const IoBoard&) = delete;

    void setOutput(int ch, bool active);
    void resetOutputs();
    void commitOutputs();
    bool outputState(int ch) const;  // physical level in the pending word
    bool inputState(int i) const;    // latched at the last inputEdge call
    bool inputEdge(int i);           // true once per activation of input i

    bool linkLost() const { return m_words.linkLost.load(std::memory_order_relaxed) != 0; }
    int silence() const { return m_words.silence.load(std::memory_order_relaxed); }
    int boardInfo(int slot) const;
    int pendingOutputs() const { return m_pending; }

    IOThread* thread() const { return m_thread.get(); }

private:
    bool isActiveLevel(int ch, bool level) const;

    const SystemParams& m_params;
    IoWords m_words;
    std::array<unsigned char, kInputs> m_previous{};
    int m_pending = 0;
    int m_latched = 0;
    std::unique_ptr<IOThread> m_thread;
};

// Set by the safety-door release in IoBoard::inputEdge; cleared by the cycle at
// each cycle start and read by the ROI editor. GUI thread only.
extern bool safetyDoorOpened;

// The serial device of the IO board: "/dev/ttyS%1" for the "IO Port" index,
// unless the working directory holds "simulation.ini" with a key io/device
// (a pseudo-terminal of the board simulator).
QString ioDevicePath(const QString& workDir, int serialPort);
