#pragma once

#include <QThread>
#include <atomic>

class CameraHandle;

// The capture loop of one camera: pulls frames from its handle and publishes
// them; moves data only.
class CameraThread final : public QThread {
    Q_OBJECT
public:
    CameraThread(CameraHandle& handle, int startDelayMs, QObject* parent = nullptr)
        : QThread(parent), m_handle(handle), m_startDelayMs(startDelayMs) {}
    ~CameraThread() override;
    // Sets the running flag and starts at the highest priority.
    void startCapture();
    // Clears the running flag; the loop ends within one pass (at most ~110 ms).
    void stopCapture() { m_running = false; }
    bool running() const { return m_running; }
    std::uint64_t passes() const { return m_passes; }

protected:
    void run() override;

private:
    CameraHandle& m_handle;
    int m_startDelayMs;
    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_passes{0};
};
