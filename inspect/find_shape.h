#pragma once

#include <memory>

#include <opencv2/core.hpp>

// Locates a taught part in a camera image. Gradient-orientation matching on the coarsest level of
// an image pyramid finds candidate poses; each is aligned level by level down to full resolution
// by intensity alignment with robust weights and gain/offset compensation, giving sub-pixel
// position and sub-degree angle. Scores are 0..100: the mean agreement of the part's edge
// directions with the image at the found pose (100 = every edge matches; reversed edges count
// negative unless polarity is ignored).
//
// Angles are in degrees; a positive angle turns the part counter-clockwise on screen (the
// convention of TransformImage). A model is immutable after CreateShape; Find reuses internal
// buffers, so one object must not run Find from two threads at once.
class FindShape {
public:
    FindShape();
    ~FindShape();
    FindShape(FindShape&&) noexcept;
    FindShape& operator=(FindShape&&) noexcept;
    FindShape(const FindShape&) = delete;
    FindShape& operator=(const FindShape&) = delete;

    // Builds the model from a reference crop.
    //   pattern:        8-bit gray crop of the part (colour crops are converted to gray).
    //   angleStep:      coarse angle step in degrees at the top pyramid level; 0 = derived from
    //                   the part's size (about one pixel of movement at its outermost edge).
    //   numLevels:      pyramid levels including full resolution; 0 = automatic (the usual
    //                   search level keeps the part at least 24 px on its short side; deeper
    //                   levels down to 12 px serve searches of very large areas).
    //   angleRange:     the part is searched within -angleRange..+angleRange degrees (0..180).
    //   refX, refY:     image position (pixels) of the crop's pixel (width/2, height/2), integer
    //                   division; Find reports positions relative to this reference.
    //   ignorePolarity: true accepts edges whose contrast is reversed (dark/light swapped).
    //   maskValue:      mask pixels equal to this value belong to the part; 0 = any non-zero.
    //   mask:           empty for the whole crop, else 8-bit of the crop's size; only the masked
    //                   area is learnt and matched.
    //   leastMatch:     minimum score 0..100 for Find to report the part.
    //   minContrast:    smallest gradient (gray levels per pixel) used as an edge; 0 = automatic.
    // Returns false (and leaves no model) when the crop has too little structure.
    bool CreateShape(const cv::Mat& pattern, double angleStep, int numLevels, double angleRange,
                     double refX, double refY, bool ignorePolarity, int maskValue,
                     const cv::Mat& mask, double leastMatch, int minContrast);

    // True once a model exists.
    bool IsValid() const;
    // Drops the model.
    void Clear();

    // Searches `window`, the 8-bit gray camera image cut to the search area; the part may reach
    // outside it by up to a fifth of its size. When `window` is a region of a larger image
    // (cv::Mat ROI) its position there is taken into account; a stand-alone image is treated as
    // lying at the image origin.
    //   leastMatch: minimum score 0..100 for this call; 0 = the value given to CreateShape.
    //   x, y:       the window's top-left corner (image pixels) carried along with the part's
    //               movement, so (x - window.x, y - window.y) is the part's shift from the
    //               reference position.
    //   score:      0..100 at the found pose.
    //   angle:      rotation of the part relative to the reference, degrees.
    // Returns true when the part was found with score >= leastMatch; on false the outputs hold the
    // best rejected pose (score 0 when there was none) and must not be used as a position.
    bool Find(const cv::Mat& window, double leastMatch, double& x, double& y, double& score,
              double& angle);
    // Same, with the search area given as a rectangle `window` (image pixels) of `image`.
    bool Find(const cv::Mat& image, const cv::Rect& window, double leastMatch, double& x, double& y,
              double& score, double& angle);

    // Number of pyramid levels of the model (0 without a model).
    int NumLevels() const;
    // Image position of the reference point at the last successful Find.
    cv::Point2d LastPosition() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
