#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

namespace mouldscene {

// What is planted into a rendered frame.
enum class Fault {
    None,
    PartLeft,       // mould frame: a part stays in cavity 0
    ShortShot,      // product frame: 10 % of the part in cavity 1 is missing
    Flash,          // product frame: a 3 x 3 px burr at contrast 40 beside cavity 2
    WrongWay,       // product frame: the part in cavity 3 is turned the wrong way
    GapChanged,     // product frame: the slider gap is 4 px wider
    MissingSpot,    // product frame: one white marker of the plate is missing
    ExtraSpot,      // product frame: one white marker more on the plate
    ForeignObject,  // mould frame: a coin lies in cavity 4
};

// How a frame deviates from the reference shot.
struct Pose {
    double dx = 0, dy = 0;   // vibration shift, pixels
    double angle = 0;        // rotation about the image centre, degrees
    double gain = 1.0;       // illumination
    double noise = 0.0;      // sensor noise sigma, gray levels
    std::uint64_t seed = 0;  // noise seed
};

struct SceneOptions {
    cv::Size size{800, 600};
    int cavities = 6;  // 4..8
    std::uint64_t seed = 1;
    cv::Mat steelTexture;  // optional 8-bit picture for the mould steel (brick, gravel)
    cv::Mat coinPicture;   // optional 8-bit picture with coins (one is cut out)
};

// Where things are in the reference pose, in image pixels.
struct Layout {
    std::vector<cv::Rect> cavities;  // recess of each cavity
    std::vector<cv::Rect> parts;     // bounding box of each moulded part
    cv::Rect runner;                 // runner channel
    cv::Rect plate;                  // dark plate with the white markers
    int markers = 3;                 // markers on a good plate
    cv::Rect gapStrip;               // caliper strip across the slider gap (along x)
    int gapWidth = 0;                // good gap in pixels
    cv::Point flash;                 // top-left of the planted burr
    int partArea = 0;                // pixel area of one part
};

// Draws a textured mould with cavities, glossy asymmetric parts, a runner, a
// marker plate and a slider gap; frames are rendered at a pose with noise.
class MouldScene {
public:
    explicit MouldScene(const SceneOptions& options);

    const Layout& layout() const { return m_layout; }
    cv::Size size() const { return m_opt.size; }

    // The ideal frame (product: parts moulded and in the mould; else the empty mould).
    cv::Mat ideal(bool product, Fault fault = Fault::None) const;
    // ideal() seen at pose: moved, turned, lit and noisy. 8-bit gray.
    cv::Mat render(bool product, Fault fault, const Pose& pose) const;
    // Applies a pose to any ideal frame.
    cv::Mat applyPose(const cv::Mat& ideal, const Pose& pose) const;

private:
    void drawPart(cv::Mat& img, int cavity, bool mirrored, double missingShare) const;
    cv::Mat partMask(const cv::Rect& box, bool mirrored) const;

    SceneOptions m_opt;
    Layout m_layout;
    cv::Mat m_steel;  // steel texture, float-free 8-bit
    cv::Mat m_coin;   // foreign object patch
    cv::Mat m_coinMask;
};

}  // namespace mouldscene
