#pragma once

#include <QTemporaryDir>
#include <array>
#include <memory>
#include <opencv2/core.hpp>

#include "inspect/detect/detectorset.h"
#include "inspect/templatelibrary.h"
#include "inspect/vision_globals.h"
#include "systemparams.h"

namespace detect_test {

// A rectangle region in image pixels (the view is set to the image size).
inline RoiEntry rectRoi(int function, const cv::Rect& r, int minWH, int sensitivity, int area) {
    RoiEntry e;
    e.function = function;
    e.shape = ShapeRect;
    e.x1 = r.x;
    e.y1 = r.y;
    e.x2 = r.x + r.width;
    e.y2 = r.y + r.height;
    e.minWH = minWH;
    e.sensitivity = sensitivity;
    e.area = area;
    e.rebuild();
    return e;
}

// Parameters with every function switched on and alignment on.
inline SystemParams allOn() {
    SystemParams p;
    p.enable_defect_detect = p.enable_spot_detect = p.enable_black_area = 1;
    p.enable_white_area = p.enable_similarity = p.enable_white_number = 1;
    p.direction_recognition = p.dist_measure = 1;
    p.enable_correct = 0;
    p.angle = 0;
    p.location_adge = 40;
    p.difference_multiplier = 0;
    p.min_spot = 1;
    p.minimum_size = 3;
    p.minimum_area = 3;
    p.max_mold_num = 10;
    p.enable_network() = 1;
    return p;
}

// One camera with everything its detectors need, in a temporary folder.
struct Camera {
    explicit Camera(cv::Size size, SystemParams params = allOn(), bool colour = false)
        : params(std::move(params)) {
        SetViewGeometry(size.width, size.height, size.width, size.height);
        rois.camera = 0;
        for (int d = 0; d < kDetections; ++d) {
            libs[d] = std::make_unique<TemplateLibrary>(dir.path(), 0, d, 10, colour);
            ignore[d] = cv::Mat::zeros(size, CV_8UC1);
        }
        DetectorInputs in;
        in.camera = 0;
        in.params = &this->params;
        in.rois = &rois;
        for (int d = 0; d < kDetections; ++d)
            in.templates[d] = libs[d].get();
        in.ignoreMasks = &ignore;
        in.imageSize = size;
        in.colour = colour;
        detectors = std::make_unique<DetectorSet>(in);
    }
    void add(int d, const RoiEntry& e) { rois.detections[d].rois[rois.detections[d].count++] = e; }
    // Aligns image as detection d.
    const cv::Mat& align(int d, const cv::Mat& image) {
        image.copyTo(detectors->currentImage());
        detectors->alignImage(d);
        return detectors->alignedImage();
    }
    // Judges image as detection d (aligning first).
    void run(int d, const cv::Mat& image) {
        image.copyTo(detectors->currentImage());
        detectors->alignImage(d);
        detectors->runDetection(d);
    }

    QTemporaryDir dir;
    SystemParams params;
    CameraRoiSet rois;
    std::array<std::unique_ptr<TemplateLibrary>, kDetections> libs;
    std::array<cv::Mat, kDetections> ignore;
    std::unique_ptr<DetectorSet> detectors;
};

}  // namespace detect_test
