#include "ioboard.h"

#include "globals.h"
#include "iolinkengine.h"
#include "systemparams.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSerialPort>
#include <QSettings>

bool safetyDoorOpened = false;

namespace {

const char kReconnectRecord[] = "IO通讯重新连接";

bool writeFrame(QSerialPort& port, const ioproto::Request& q) {
    if (!port.isOpen())
        return false;
    port.write(reinterpret_cast<const char*>(q.data()), qint64(q.size()));
    return port.waitForBytesWritten(5);
}

}  // namespace

IOThread::IOThread(QString device, IoWords& words, int periodMs, QObject* parent)
    : QThread(parent), m_device(std::move(device)), m_words(words), m_periodMs(periodMs) {}

IOThread::~IOThread() {
    requestInterruption();
    wait();
}

// One pass: take the wanted outputs, send the poll, then until the pass's
// deadline read and parse whatever the board answers (re-sending the outputs
// once when an echo differs); a pass without a byte counts as silent.
void IOThread::run() {
    QSerialPort port;
    port.setPortName(m_device);
    if (port.open(QIODevice::ReadWrite)) {
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
    }
    IoLinkEngine engine;
    std::array<std::uint8_t, ioproto::kBufferSize> scratch{};
    QElapsedTimer clock;
    clock.start();
    qint64 deadline = clock.elapsed();

    while (!isInterruptionRequested()) {
        deadline += m_periodMs;
        if (deadline < clock.elapsed())  // fell behind (debugger, overload): start afresh
            deadline = clock.elapsed() + m_periodMs;
        int want;
        {
            QMutexLocker lock(&gIoLock);
            want = m_words.output;
        }
        writeFrame(port, engine.nextPoll());

        bool gotBytes = false;
        bool resent = false;
        for (qint64 left = deadline - clock.elapsed(); left > 0;
             left = deadline - clock.elapsed()) {
            if (!port.isOpen() || !port.waitForReadyRead(int(left))) {
                // Timed out, or the device failed (hang-up): wait out the pass
                // instead of spinning; the silence counter reports a dead board.
                const qint64 rest = deadline - clock.elapsed();
                if (rest > 0)
                    QThread::msleep(quint64(rest));
                port.clearError();
                continue;
            }
            const qint64 n =
                port.read(reinterpret_cast<char*>(scratch.data()), qint64(scratch.size()));
            if (n <= 0)
                continue;
            gotBytes = true;
            const auto r = engine.receive(scratch.data(), std::size_t(n), want);
            if (r.inputs) {
                QMutexLocker lock(&gIoLock);
                m_words.input = r.inputWord;
            }
            m_words.silence.store(engine.silence(), std::memory_order_relaxed);
            m_words.linkLost.store(engine.lost() ? 1 : 0, std::memory_order_relaxed);
            if (r.reconnected)
                emit linkRecord(QString::fromUtf8(kReconnectRecord));
            if (r.mismatch && !resent) {
                resent = true;
                writeFrame(port, ioproto::encodeRequest(ioproto::kSetOutputs, std::uint16_t(want)));
            }
            if (r.frame) {
                std::array<int, 16> info;
                for (int i = 0; i < 16; ++i)
                    info[i] = engine.info(i);
                QMutexLocker lock(&gIoLock);
                m_words.info = info;
            }
        }
        if (!gotBytes)
            engine.silentPass();
        m_words.silence.store(engine.silence(), std::memory_order_relaxed);
        m_words.linkLost.store(engine.lost() ? 1 : 0, std::memory_order_relaxed);
    }
}

IoBoard::IoBoard(const SystemParams& params, const QString& device, int periodMs)
    : m_params(params), m_thread(std::make_unique<IOThread>(device, m_words, periodMs)) {
    resetOutputs();
    commitOutputs();
    m_thread->start(QThread::InheritPriority);
}

IoBoard::~IoBoard() {
    m_thread.reset();  // joins before the shared words go
}

bool IoBoard::isActiveLevel(int ch, bool level) const {
    return level != (m_params.output_polarity[std::size_t(ch)] != 0);
}

void IoBoard::setOutput(int ch, bool active) {
    if (ch < 0 || ch >= kOutputs)
        return;
    const bool level = active != (m_params.output_polarity[std::size_t(ch)] != 0);
    auto put = [this, level](int bit) {
        if (level)
            m_pending |= 1 << bit;
        else
            m_pending &= ~(1 << bit);
    };
    put(ch);
    const int k = m_params.enable_mold_backup;
    if (k > 0 && ch == k - 1)
        put(3);
}

void IoBoard::resetOutputs() {
    for (int ch = 0; ch < 8; ++ch)
        setOutput(ch, false);
    setOutput(8, false);
}

void IoBoard::commitOutputs() {
    QMutexLocker lock(&gIoLock);
    m_words.output = m_pending;
}

bool IoBoard::outputState(int ch) const {
    return ch >= 0 && ch < kOutputs && (m_pending >> ch & 1) != 0;
}

bool IoBoard::inputState(int i) const {
    return i >= 0 && i < 10 && (m_latched >> i & 1) != 0;
}

int IoBoard::boardInfo(int slot) const {
    if (slot < 0 || slot >= 16)
        return 0;
    QMutexLocker lock(&gIoLock);
    return m_words.info[std::size_t(slot)];
}

bool IoBoard::inputEdge(int i) {
    if (i < 0 || i >= kInputs)
        return false;
    int latched;
    {
        QMutexLocker lock(&gIoLock);
        latched = m_words.input;
    }
    const int k = m_params.enable_output_thimble_pulse;
    if (k > 0 && k <= 8)
        latched = (latched & ~(1 << 3)) | ((latched >> (k - 1) & 1) << 3);
    m_latched = latched;

    const bool level = (latched >> i & 1) != 0;
    const bool rising = level && m_previous[std::size_t(i)] == 0;

    const int mode = m_params.system_mode;
    if (mode != kModeTwoColor && mode != kModeTurntable && (latched >> 1 & 1) == 0 &&
        m_previous[1] == 1) {
        if (isActiveLevel(2, outputState(2)))
            setOutput(2, false);
        commitOutputs();
        safetyDoorOpened = true;
    }
    m_previous[std::size_t(i)] = level ? 1 : 0;
    return rising;
}

QString ioDevicePath(const QString& workDir, int serialPort) {
    const QString ini = QDir(workDir).filePath(QStringLiteral("simulation.ini"));
    if (QFileInfo::exists(ini)) {
        const QSettings s(ini, QSettings::IniFormat);
        const QString dev = s.value(QStringLiteral("io/device")).toString().trimmed();
        if (!dev.isEmpty())
            return dev;
    }
    return QStringLiteral("/dev/ttyS%1").arg(serialPort);
}
