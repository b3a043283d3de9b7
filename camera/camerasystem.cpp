#include "camerasystem.h"

#include "camerasizes.h"
#include "globals.h"
#include "platform.h"
#include "systemparams.h"

#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstring>
#include <opencv2/core.hpp>

// ---------------------------------------------------------------- CameraDevice

CameraDevice::CameraDevice(CameraSystem& system, int index) : m_system(system), m_index(index) {
    m_system.attach(this);
}

CameraDevice::~CameraDevice() {
    m_system.closeCamera(*this);
    m_system.detach(this);
}

void CameraDevice::publish(const std::uint8_t* data, bool lockHeld) {
    if (!lockHeld)
        gFrameLock[m_index].lock();
    std::memcpy(m_frame.data(), data, m_frame.size());
    gFrameReady[m_index] = 1;
    if (!lockHeld)
        gFrameLock[m_index].unlock();
}

void CameraDevice::clearReady() {
    QMutexLocker lock(&gFrameLock[m_index]);
    gFrameReady[m_index] = 0;
}

bool CameraDevice::takeFrame(std::vector<std::uint8_t>& out) {
    QMutexLocker lock(&gFrameLock[m_index]);
    if (!gFrameReady[m_index])
        return false;
    out.assign(m_frame.begin(), m_frame.end());
    gFrameReady[m_index] = 0;
    return true;
}

bool CameraDevice::takeFrame(cv::Mat& out) {
    const int type = m_colour ? CV_8UC4 : CV_8UC1;
    if (out.rows != m_h || out.cols != m_w || out.type() != type)
        out.create(m_h, m_w, type);
    QMutexLocker lock(&gFrameLock[m_index]);
    if (!gFrameReady[m_index] || m_frame.size() != out.total() * out.elemSize())
        return false;
    std::memcpy(out.data, m_frame.data(), m_frame.size());
    gFrameReady[m_index] = 0;
    return true;
}

// ---------------------------------------------------------------- CameraSystem

CameraSystem::CameraSystem(CameraBackends backends, CameraHost& host, Clock& clock)
    : m_backends(std::move(backends)),
      m_host(host),
      m_clock(clock),
      m_defaults(std::make_unique<SystemParams>()) {
    m_live = m_defaults.get();
}

CameraSystem::~CameraSystem() {
    for (CameraDevice* d : m_devices)
        if (d)
            closeCamera(*d);
}

void CameraSystem::setParams(const SystemParams* live, SystemParams* edit) {
    m_live = live ? live : m_defaults.get();
    m_edit = edit;
}

const SystemParams& CameraSystem::active() const {
    return (m_screenOpen && m_edit) ? *m_edit : *m_live;
}

bool CameraSystem::sizeOptimised() const {
    return m_live->prohibit_optimize == 0;
}

bool CameraSystem::colourOperation() const {
    return m_live->enable_color_camera != 0;
}

CameraSettings CameraSystem::settingsFor(int c) const {
    const SystemParams& p = active();
    CameraSettings s;
    s.exposure = p.expose_time[c];
    s.gain = p.adjust_plus[c];
    s.sharpness = p.sharp[c];
    s.contrast = p.contrast[c];
    s.gamma = p.gamma[c];
    s.autoExposure = p.auto_exposure != 0;
    s.autoShading = p.auto_shading != 0;
    s.externalTrigger = p.external_trigger != 0;
    s.hMirror = p.h_mirror[c] != 0;
    s.vMirror = p.v_mirror[c] != 0;
    s.colorOperation = p.enable_color_camera != 0;
    s.captureSpeed = p.capture_speed;
    return s;
}

void CameraSystem::attach(CameraDevice* d) {
    m_devices[d->index()] = d;
}

void CameraSystem::detach(CameraDevice* d) {
    if (m_devices[d->index()] == d)
        m_devices[d->index()] = nullptr;
}

int CameraSystem::openedCount() const {
    int n = 0;
    for (CameraDevice* d : m_devices)
        n += (d && d->present()) ? 1 : 0;
    return n;
}

const ProbeResult& CameraSystem::probeCameras() {
    if (m_backends.repairGige && m_backends.repairGige() > 0)
        m_clock.sleepMs(6000);
    m_probe = ProbeResult{};
    m_driver = nullptr;
    for (auto& f : m_backends.families) {
        if (auto r = f->probe(sizeOptimised())) {
            m_probe = *r;
            m_driver = f.get();
            break;
        }
    }
    if (!m_driver) {
        m_probe.family = kFamilyNone;
        m_probe.count = 2;
        m_probe.imageW = m_probe.sensorW = 1920;
        m_probe.imageH = m_probe.sensorH = 1080;
    }
    m_probe.count = std::clamp(m_probe.count, 0, 8);
    cameraFamily = m_probe.family;
    cameraCount = m_probe.count;
    return m_probe;
}

bool CameraSystem::openCamera(CameraDevice& cam) {
    const int p = cam.index();
    if (p >= m_probe.count || cam.m_present)
        return cam.m_present;
    cam.m_w = m_probe.imageW;
    cam.m_h = m_probe.imageH;
    cam.m_colour = colourOperation();
    {
        QMutexLocker lock(&gFrameLock[p]);
        cam.m_frame.assign(static_cast<std::size_t>(cam.m_w) * cam.m_h * (cam.m_colour ? 4 : 1), 0);
        gFrameReady[p] = 0;
    }
    if (!m_driver) {
        cam.m_present = true;  // demonstration: present without a device
        return true;
    }
    OpenContext ctx;
    ctx.probe = m_probe;
    ctx.optimise = sizeOptimised();
    ctx.colorOperation = cam.m_colour;
    ctx.sink = &cam;
    ctx.onDisconnect = [this] { m_disconnected = true; };
    ctx.record = [this](const QString& s) { m_host.record(s); };
    ctx.log = [this](const QString& s) { m_host.log(s); };
    cam.m_handle = m_driver->open(p, m_serials[p], ctx);
    if (!cam.m_handle)
        return false;
    cam.m_present = true;
    cam.m_thread = std::make_unique<CameraThread>(*cam.m_handle, m_startDelayMs);
    applyTriggerMode(cam, true);
    applyGain(cam);
    applyExposure(cam);
    applyGamma(cam);
    applySharpness(cam);
    applyContrast(cam);
    applyMirror(cam);
    return true;
}

void CameraSystem::closeCamera(CameraDevice& cam) {
    cam.m_present = false;
    if (cam.m_thread) {
        cam.m_thread->stopCapture();
        cam.m_thread->wait();
        cam.m_thread.reset();
    }
    if (cam.m_handle) {
        cam.m_handle->stop();
        cam.m_handle.reset();
    }
}

void CameraSystem::startGrabbing(CameraDevice& cam) {
    if (!cam.m_handle)
        return;
    cam.m_handle->start();
    if (cam.m_thread && !cam.m_thread->isRunning())
        cam.m_thread->startCapture();
}

void CameraSystem::stopGrabbing(CameraDevice& cam) {
    if (cam.m_thread)
        cam.m_thread->stopCapture();
    if (cam.m_handle)
        cam.m_handle->stop();
    if (cam.m_thread)
        cam.m_thread->wait();
}

void CameraSystem::applyExposure(CameraDevice& cam) {
    if (cam.m_handle) {
        cam.m_handle->applyExposure(settingsFor(cam.index()));
        applyWhiteBalance(cam);
    }
}

void CameraSystem::applyGain(CameraDevice& cam) {
    if (cam.m_handle) {
        cam.m_handle->applyGain(settingsFor(cam.index()));
        applyWhiteBalance(cam);
    }
}

void CameraSystem::applySharpness(CameraDevice& cam) {
    if (cam.m_handle)
        cam.m_handle->applySharpness(settingsFor(cam.index()));
}

void CameraSystem::applyContrast(CameraDevice& cam) {
    if (cam.m_handle)
        cam.m_handle->applyContrast(settingsFor(cam.index()));
}

void CameraSystem::applyGamma(CameraDevice& cam) {
    if (cam.m_handle)
        cam.m_handle->applyGamma(settingsFor(cam.index()));
}

void CameraSystem::applyWhiteBalance(CameraDevice& cam) {
    if (cam.m_handle)
        cam.m_handle->applyWhiteBalance(settingsFor(cam.index()));
}

void CameraSystem::applyTriggerMode(CameraDevice& cam, bool flag) {
    if (!cam.m_handle)
        return;
    cam.m_handle->applyTriggerMode(settingsFor(cam.index()), flag);
    cam.clearReady();
}

void CameraSystem::applyMirror(CameraDevice& cam) {
    if (cam.m_handle)
        cam.m_handle->applyMirror(settingsFor(cam.index()));
}

void CameraSystem::applyFrameRate() {
    for (CameraDevice* d : m_devices) {
        if (!d || !d->m_handle)
            continue;
        d->m_handle->stop();
        d->m_handle->applyFrameRate(settingsFor(d->index()));
        d->m_handle->start();
    }
}

void CameraSystem::restoreCameraDefaults(CameraDevice& cam) {
    if (!cam.m_handle)
        return;
    const int c = cam.index();
    const auto rb = cam.m_handle->restoreDefaults(settingsFor(c));
    if (!rb)
        return;
    if (m_edit) {
        if (rb->exposure)
            m_edit->expose_time[c] = *rb->exposure;
        if (rb->gain)
            m_edit->adjust_plus[c] = *rb->gain;
        if (rb->sharpness)
            m_edit->sharp[c] = *rb->sharpness;
        if (rb->contrast)
            m_edit->contrast[c] = *rb->contrast;
        if (rb->gamma)
            m_edit->gamma[c] = *rb->gamma;
    }
    if (m_probe.family == kFamilyMind)
        applyFrameRate();
}

bool CameraSystem::saveSerialNumbers(bool clearOnly, QSqlDatabase& snDb) {
    m_serials.fill(QStringLiteral("0"));
    if (!clearOnly) {
        for (CameraDevice* d : m_devices) {
            if (!d || !d->m_handle)
                continue;
            const QString sn = d->m_handle->serialNumber();
            const int pos = m_order[d->index()];
            if (pos >= 0 && pos < 8 && !sn.isEmpty())
                m_serials[pos] = sn;
        }
    }
    bool ok = true;
    for (int c = 0; c < 8; ++c) {
        QSqlQuery q(snDb);
        ok = q.exec(QStringLiteral("update sysparam set value='%1' where name='serialNB%2'")
                        .arg(m_serials[c])
                        .arg(c)) &&
             ok;
    }
    if (!clearOnly) {
        for (CameraDevice* d : m_devices) {
            if (!d || !d->m_handle)
                continue;
            const int pos = m_order[d->index()];
            if (pos >= 0 && pos < 8)
                m_host.record(QStringLiteral("Save SN %1: %2").arg(pos + 1).arg(m_serials[pos]));
        }
    }
    return ok;
}

void CameraSystem::handleCameraLost(int camera) {
    if (m_lost)
        return;
    switch (m_probe.family) {
        case kFamilyGalaxy:
        case kFamilyUEye:
        case kFamilyMind:
        case kFamilyV4l2:
            break;
        case kFamilyHik:
            if (!m_driver->confirmLoss(openedCount()))
                return;
            break;
        default:
            return;
    }
    m_lost = true;
    m_openedAtLoss = openedCount();
    ++m_lossCount;
    m_host.log(QStringLiteral("The %1th Camera Lost, %2").arg(m_lossCount).arg(camera + 1));
    if (m_host.cycleState() != 3)
        m_host.prohibitMachine();
    const bool tips = m_live->camera_lost_tips != 0;
    if (tips)
        m_host.showLostCameraBox();
    for (CameraDevice* d : m_devices) {
        if (!d)
            continue;
        m_host.clearDetectionResult(d->index());
        stopGrabbing(*d);
        closeCamera(*d);
    }
    if (!tips)
        m_host.showWarning(tx(1236));
}

void CameraSystem::tryCameraRestart() {
    if (!m_lost || !m_driver)
        return;
    m_driver->prepareRestart();
    if (m_driver->countDevices() != m_openedAtLoss)
        return;
    m_lost = false;
    for (CameraDevice* d : m_devices) {
        if (!d)
            continue;
        if (openCamera(*d))
            startGrabbing(*d);
    }
    m_host.hideLostBoxes();
    m_host.showReconnectBox();
    m_host.log(QStringLiteral("Camera Restart"));
    for (CameraDevice* d : m_devices) {
        if (d && d->index() < m_probe.count && !d->present()) {
            // Lost again; the restart still waits for all cameras of the first loss.
            const int expected = m_openedAtLoss;
            handleCameraLost(d->index());
            m_openedAtLoss = expected;
            return;
        }
    }
    m_disconnected = false;
    applyFrameRate();
}
