#include "camerathread.h"

#include "cameradriver.h"

#include <chrono>

CameraThread::~CameraThread() {
    m_running = false;
    wait();
}

void CameraThread::startCapture() {
    m_running = true;
    start(QThread::TimeCriticalPriority);
}

void CameraThread::run() {
    // Give the camera time to deliver its first frame; leave early when stopped.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_startDelayMs);
    while (m_running && std::chrono::steady_clock::now() < until)
        QThread::msleep(10);
    while (m_running) {
        m_handle.captureStep();
        ++m_passes;
        QThread::msleep(10);
    }
}
