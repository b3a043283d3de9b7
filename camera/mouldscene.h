#pragma once

#include "simcamerasdk.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <opencv2/core.hpp>
#include <random>

// Where the simulated machine is in its cycle; fed by the simulated IO board.
enum class MachinePhase { Closed, Open, Ejected };

// What a cycle's picture may show wrongly.
enum class MouldFault { None, PartLeftInCavity, ShortShot };

// The picture a camera over an injection mould sees: two mould halves with a
// 2 x 2 cavity layout; parts in the cavities while the mould opens, empty
// cavities after ejection, and now and then a planted fault. Thread-safe:
// the phase is set by the simulation, frames are drawn on SDK threads.
class MouldScene {
public:
    // faultRate: chance per cycle of a random planted fault (0 for none).
    explicit MouldScene(double faultRate = 0.05, std::uint32_t seed = 1);

    void setMachinePhase(MachinePhase phase);
    MachinePhase machinePhase() const;
    // Plants a fault for the next cycle (the next Open and Ejected phases).
    void plantFault(MouldFault fault);
    MouldFault currentFault() const;
    std::uint64_t cycles() const;

    // Draws the scene into dst (w x h, 1, 3 or 4 channels) for frame n.
    void render(std::int64_t n, std::uint8_t* dst, int w, int h, int channels);
    // The same as a frame source of the simulated SDK.
    SimFrameSource source();

    // Cavity rectangles of a w x h picture (tests and the simulated checks).
    static std::array<cv::Rect, 4> cavities(int w, int h);

private:
    void drawGray(cv::Mat& img, MachinePhase phase, MouldFault fault) const;

    mutable std::mutex m_mutex;
    MachinePhase m_phase = MachinePhase::Closed;
    MouldFault m_fault = MouldFault::None;
    MouldFault m_planted = MouldFault::None;
    int m_faultCavity = 0;
    std::uint64_t m_cycles = 0;
    double m_faultRate;
    std::mt19937 m_rng;
    cv::Mat m_cache;  // gray picture of the current state at the last size
    bool m_dirty = true;
};
