#include "mouldscene.h"

#include <opencv2/imgproc.hpp>

MouldScene::MouldScene(double faultRate, std::uint32_t seed)
    : m_faultRate(faultRate), m_rng(seed) {}

void MouldScene::setMachinePhase(MachinePhase phase) {
    std::lock_guard lock(m_mutex);
    if (phase == m_phase)
        return;
    if (phase == MachinePhase::Open) {
        // A new cycle: decide its fault.
        ++m_cycles;
        m_fault = m_planted;
        m_planted = MouldFault::None;
        if (m_fault == MouldFault::None && m_faultRate > 0 &&
            std::uniform_real_distribution<double>(0, 1)(m_rng) < m_faultRate)
            m_fault = (m_rng() & 1) ? MouldFault::PartLeftInCavity : MouldFault::ShortShot;
        m_faultCavity = static_cast<int>(m_rng() % 4);
    }
    if (phase == MachinePhase::Closed)
        m_fault = MouldFault::None;
    m_phase = phase;
    m_dirty = true;
}

MachinePhase MouldScene::machinePhase() const {
    std::lock_guard lock(m_mutex);
    return m_phase;
}

void MouldScene::plantFault(MouldFault fault) {
    std::lock_guard lock(m_mutex);
    m_planted = fault;
}

MouldFault MouldScene::currentFault() const {
    std::lock_guard lock(m_mutex);
    return m_fault;
}

std::uint64_t MouldScene::cycles() const {
    std::lock_guard lock(m_mutex);
    return m_cycles;
}

std::array<cv::Rect, 4> MouldScene::cavities(int w, int h) {
    const int cw = w / 6, ch = h / 5;
    const int x0 = w / 2 - cw - w / 20, x1 = w / 2 + w / 20;
    const int y0 = h / 2 - ch - h / 20, y1 = h / 2 + h / 20;
    return {cv::Rect(x0, y0, cw, ch), cv::Rect(x1, y0, cw, ch), cv::Rect(x0, y1, cw, ch),
            cv::Rect(x1, y1, cw, ch)};
}

void MouldScene::drawGray(cv::Mat& img, MachinePhase phase, MouldFault fault) const {
    const int w = img.cols, h = img.rows;
    img.setTo(cv::Scalar(40));
    if (phase == MachinePhase::Closed) {
        // Both halves meet: one steel face with its parting line.
        img(cv::Rect(w / 8, h / 10, w * 3 / 4, h * 4 / 5)).setTo(cv::Scalar(120));
        cv::line(img, {w / 2, h / 10}, {w / 2, h * 9 / 10}, cv::Scalar(70), std::max(2, w / 200));
        return;
    }
    // Moving half on the left edge, fixed half with the cavities in the middle.
    img(cv::Rect(0, h / 10, w / 10, h * 4 / 5)).setTo(cv::Scalar(110));
    img(cv::Rect(w / 5, h / 10, w * 3 / 5, h * 4 / 5)).setTo(cv::Scalar(130));
    const auto cav = cavities(w, h);
    for (int k = 0; k < 4; ++k) {
        img(cav[k]).setTo(cv::Scalar(60));
        const bool withPart = phase == MachinePhase::Open ||
                              (fault == MouldFault::PartLeftInCavity && k == m_faultCavity);
        if (!withPart)
            continue;
        cv::Rect part(cav[k].x + cav[k].width / 8, cav[k].y + cav[k].height / 8,
                      cav[k].width * 3 / 4, cav[k].height * 3 / 4);
        if (phase == MachinePhase::Open && fault == MouldFault::ShortShot && k == m_faultCavity)
            part.width /= 2;  // the melt did not fill the cavity
        img(part).setTo(cv::Scalar(220));
        cv::circle(img, (part.tl() + part.br()) / 2, std::max(2, part.height / 6), cv::Scalar(180),
                   -1);
    }
}

void MouldScene::render(std::int64_t n, std::uint8_t* dst, int w, int h, int channels) {
    cv::Mat gray;
    {
        std::lock_guard lock(m_mutex);
        if (m_dirty || m_cache.cols != w || m_cache.rows != h) {
            cv::Mat fresh(h, w, CV_8UC1);  // new buffer: readers of the old one are unaffected
            drawGray(fresh, m_phase, m_fault);
            m_cache = fresh;
            m_dirty = false;
        }
        gray = m_cache;  // shared; replaced, never written, once published
    }
    // A little sensor flicker that changes from frame to frame.
    const std::uint8_t flicker = static_cast<std::uint8_t>(n % 3);
    if (channels == 1) {
        cv::Mat out(h, w, CV_8UC1, dst);
        cv::add(gray, cv::Scalar(flicker), out);
        return;
    }
    cv::Mat colour;
    cv::cvtColor(gray, colour, channels == 4 ? cv::COLOR_GRAY2RGBA : cv::COLOR_GRAY2RGB);
    cv::Mat out(h, w, channels == 4 ? CV_8UC4 : CV_8UC3, dst);
    colour.copyTo(out);
}

SimFrameSource MouldScene::source() {
    return [this](std::int64_t n, std::uint8_t* dst, int w, int h, int ch) {
        render(n, dst, w, h, ch);
    };
}
