#include "mouldscene.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace mouldscene {

namespace {

constexpr int kRecessGray = 48;
constexpr int kPartGray = 168;
constexpr int kPlateGray = 40;
constexpr int kMarkerGray = 245;
constexpr int kBarGray = 200;

// Brings a texture to the mould steel's mean and contrast.
cv::Mat normalised(const cv::Mat& src, cv::Size size, double mean, double stddev) {
    cv::Mat f;
    cv::resize(src, f, size, 0, 0, cv::INTER_AREA);
    f.convertTo(f, CV_32F);
    cv::Scalar m, s;
    cv::meanStdDev(f, m, s);
    f = (f - m[0]) * (stddev / std::max(s[0], 1.0)) + mean;
    cv::Mat out;
    f.convertTo(out, CV_8U);
    return out;
}

}  // namespace

MouldScene::MouldScene(const SceneOptions& options) : m_opt(options) {
    m_opt.cavities = std::clamp(m_opt.cavities, 1, 8);
    const int W = m_opt.size.width, H = m_opt.size.height;
    cv::RNG rng(m_opt.seed);
    // Steel.
    if (!m_opt.steelTexture.empty()) {
        m_steel = normalised(m_opt.steelTexture, m_opt.size, 105, 16);
    } else {
        cv::Mat fine(m_opt.size, CV_32F), coarse(m_opt.size, CV_32F);
        rng.fill(fine, cv::RNG::NORMAL, 0, 1);
        rng.fill(coarse, cv::RNG::NORMAL, 0, 1);
        cv::GaussianBlur(fine, fine, cv::Size(0, 0), 1.2);
        cv::GaussianBlur(coarse, coarse, cv::Size(0, 0), 7);
        cv::Mat sum = fine * 3.0 + coarse * 12.0;
        m_steel = normalised(sum, m_opt.size, 105, 16);
        for (int i = 0; i < 25; ++i) {  // machining marks
            const cv::Point a(rng.uniform(0, W), rng.uniform(0, H));
            const cv::Point b = a + cv::Point(rng.uniform(-W / 6, W / 6), rng.uniform(-4, 4));
            cv::line(m_steel, a, b, cv::Scalar(rng.uniform(80, 135)), 1, cv::LINE_AA);
        }
    }
    // Cavities in two rows.
    const int n = m_opt.cavities;
    const int cols = (n + 1) / 2;
    const int rows = n > 1 ? 2 : 1;
    const int ax = W * 7 / 100, ay = H * 10 / 100, aw = W * 86 / 100, ah = H * 50 / 100;
    const int cw = aw / cols, ch = ah / rows;
    const int inset = std::max(6, std::min(W, H) / 100);
    for (int i = 0; i < n; ++i) {
        const int c = i % cols, r = i / cols;
        const cv::Rect cell(ax + c * cw, ay + r * ch, cw, ch);
        const cv::Rect recess(cell.x + cw / 10, cell.y + ch / 8, cw * 8 / 10, ch * 6 / 8);
        m_layout.cavities.push_back(recess);
        m_layout.parts.push_back(cv::Rect(recess.x + inset, recess.y + inset,
                                          recess.width - 2 * inset, recess.height - 2 * inset));
    }
    m_layout.partArea = cv::countNonZero(partMask(m_layout.parts[0], false));
    const int runnerH = std::max(6, H / 60);
    m_layout.runner = cv::Rect(ax + cw / 2, ay + ch - runnerH / 2, (cols - 1) * cw + 1, runnerH);
    if (rows == 1)
        m_layout.runner = cv::Rect(ax + cw / 2, ay + ch * 15 / 16, (cols - 1) * cw + 1, runnerH);
    m_layout.plate = cv::Rect(W / 10, H * 72 / 100, W * 3 / 10, H * 14 / 100);
    m_layout.gapWidth = std::max(8, W / 40);
    const int yc = H * 79 / 100;
    const int g = m_layout.gapWidth;
    m_layout.gapStrip = cv::Rect(W * 70 / 100 - g, yc - 10, 3 * g, 20);
    const cv::Rect& rc = m_layout.cavities[std::min(2, n - 1)];
    m_layout.flash = cv::Point(rc.x + rc.width + 4, rc.y + rc.height / 2);

    // Foreign object: a coin cut from the picture, else a struck disc.
    const int dia = std::max(12, std::min(rc.width, rc.height) * 6 / 10);
    if (!m_opt.coinPicture.empty()) {
        cv::Mat bin;
        cv::threshold(m_opt.coinPicture, bin, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        std::vector<std::vector<cv::Point>> cs;
        cv::findContours(bin, cs, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        double best = 0;
        cv::Rect box;
        for (const auto& c : cs) {
            const cv::Rect b = cv::boundingRect(c);
            const double a = cv::contourArea(c);
            const double aspect = double(b.width) / std::max(b.height, 1);
            if (a > best && aspect > 0.75 && aspect < 1.33 && b.x > 0 && b.y > 0 &&
                b.br().x < bin.cols && b.br().y < bin.rows) {
                best = a;
                box = b;
            }
        }
        if (best > 0)
            cv::resize(m_opt.coinPicture(box), m_coin, cv::Size(dia, dia), 0, 0, cv::INTER_AREA);
    }
    if (m_coin.empty()) {
        m_coin = cv::Mat(dia, dia, CV_8UC1, cv::Scalar(175));
        for (int r = dia / 2; r > 2; r -= 3)
            cv::circle(m_coin, {dia / 2, dia / 2}, r, cv::Scalar(150 + (r % 2) * 60), 1,
                       cv::LINE_AA);
    }
    m_coinMask = cv::Mat::zeros(dia, dia, CV_8UC1);
    cv::circle(m_coinMask, {dia / 2, dia / 2}, dia / 2 - 1, cv::Scalar(255), cv::FILLED);
}

cv::Mat MouldScene::partMask(const cv::Rect& box, bool mirrored) const {
    cv::Mat m = cv::Mat::zeros(box.size(), CV_8UC1);
    const int w = box.width, h = box.height;
    const int cut = std::min(w, h) * 45 / 100;
    std::vector<cv::Point> poly{{cut, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}, {0, cut}};
    if (mirrored)
        for (auto& p : poly)
            p.x = w - 1 - p.x;
    cv::fillPoly(m, std::vector<std::vector<cv::Point>>{poly}, cv::Scalar(255), cv::LINE_8);
    return m;
}

void MouldScene::drawPart(cv::Mat& img, int cavity, bool mirrored, double missingShare) const {
    const cv::Rect box = m_layout.parts[cavity];
    cv::Mat mask = partMask(box, mirrored);
    if (missingShare > 0) {
        const int total = cv::countNonZero(mask);
        int removed = 0;
        for (int x = box.width - 1; x >= 0 && removed < total * missingShare; --x) {
            removed += cv::countNonZero(mask.col(x));
            mask.col(x).setTo(0);
        }
    }
    const int w = box.width, h = box.height;
    cv::Mat part(box.size(), CV_8UC1);
    const double sx = w * (mirrored ? 0.35 : 0.65), sy = h * 0.35, s = 0.15 * w;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double gloss =
                35.0 * std::exp(-((x - sx) * (x - sx) + (y - sy) * (y - sy)) / (2 * s * s));
            part.at<uchar>(y, x) = cv::saturate_cast<uchar>(kPartGray + 18.0 * x / w + gloss);
        }
    cv::circle(part, {w / 2, h * 6 / 10}, std::min(w, h) / 8, cv::Scalar(kRecessGray + 10),
               cv::FILLED, cv::LINE_AA);
    std::vector<std::vector<cv::Point>> outline;
    cv::findContours(mask.clone(), outline, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    cv::drawContours(part, outline, -1, cv::Scalar(130), 2, cv::LINE_AA);
    part.copyTo(img(box), mask);
}

cv::Mat MouldScene::ideal(bool product, Fault fault) const {
    cv::Mat img = m_steel.clone();
    const int n = static_cast<int>(m_layout.cavities.size());
    // Recesses and the runner channel: dark, polished, with a bright rim.
    auto recess = [&](const cv::Rect& r) {
        cv::Mat dst = img(r);
        m_steel(r).convertTo(dst, CV_8U, 0.3, kRecessGray - 0.3 * 105);
        cv::rectangle(img, r, cv::Scalar(150), 1, cv::LINE_AA);
    };
    for (const auto& r : m_layout.cavities)
        recess(r);
    recess(m_layout.runner);
    if (product) {
        cv::Mat runner = img(m_layout.runner);
        runner.setTo(kPartGray - 5);
        for (int i = 0; i < n; ++i) {
            const bool turned = fault == Fault::WrongWay && i == std::min(3, n - 1);
            const double missing = (fault == Fault::ShortShot && i == std::min(1, n - 1)) ? 0.1 : 0;
            drawPart(img, i, turned, missing);
        }
    } else if (fault == Fault::PartLeft) {
        drawPart(img, 0, false, 0);
    }
    // Marker plate.
    const cv::Rect& pl = m_layout.plate;
    img(pl).setTo(kPlateGray);
    int markers = m_layout.markers;
    if (product && fault == Fault::MissingSpot)
        markers -= 1;
    if (product && fault == Fault::ExtraSpot)
        markers += 1;
    const int rad = std::max(4, pl.width / 30);
    for (int i = 0; i < markers; ++i) {
        const int x = pl.x + pl.width * (2 * i + 1) / (2 * (m_layout.markers + 1)) + pl.width / 8;
        cv::circle(img, {x, pl.y + pl.height / 2}, rad, cv::Scalar(kMarkerGray), cv::FILLED,
                   cv::LINE_AA);
    }
    // Slider bars with the gap between them.
    const int W = m_opt.size.width, H = m_opt.size.height;
    const int y0 = H * 72 / 100, y1 = H * 86 / 100;
    const int gapX = W * 70 / 100;
    const int gap = m_layout.gapWidth + ((product && fault == Fault::GapChanged) ? 4 : 0);
    cv::rectangle(img, cv::Rect(W * 55 / 100, y0, gapX - W * 55 / 100, y1 - y0),
                  cv::Scalar(kBarGray), cv::FILLED);
    img(cv::Rect(gapX, y0, gap, y1 - y0)).setTo(55);
    cv::rectangle(img, cv::Rect(gapX + gap, y0, W * 88 / 100 - gapX - gap, y1 - y0),
                  cv::Scalar(kBarGray), cv::FILLED);
    if (!product && fault == Fault::ForeignObject) {
        const cv::Rect& r = m_layout.cavities[std::min(4, n - 1)];
        const cv::Rect at(r.x + (r.width - m_coin.cols) / 2, r.y + (r.height - m_coin.rows) / 2,
                          m_coin.cols, m_coin.rows);
        m_coin.copyTo(img(at), m_coinMask);
    }
    cv::GaussianBlur(img, img, cv::Size(0, 0), 0.7);  // the lens
    if (product && fault == Fault::Flash) {
        cv::Mat burr = img(cv::Rect(m_layout.flash, cv::Size(3, 3)));
        const double local = cv::mean(burr)[0];
        burr.setTo(cv::saturate_cast<uchar>(local + 40));
    }
    return img;
}

cv::Mat MouldScene::applyPose(const cv::Mat& ideal, const Pose& pose) const {
    cv::Mat out;
    if (pose.dx != 0 || pose.dy != 0 || pose.angle != 0) {
        const cv::Point2f c(ideal.cols / 2.0f, ideal.rows / 2.0f);
        cv::Mat m = cv::getRotationMatrix2D(c, pose.angle, 1.0);
        m.at<double>(0, 2) += pose.dx;
        m.at<double>(1, 2) += pose.dy;
        cv::warpAffine(ideal, out, m, ideal.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT101);
    } else {
        out = ideal.clone();
    }
    if (pose.gain != 1.0 || pose.noise > 0) {
        cv::Mat f;
        out.convertTo(f, CV_32F, pose.gain);
        if (pose.noise > 0) {
            cv::Mat noise(f.size(), CV_32F);
            cv::RNG rng(pose.seed * 7919 + 17);
            rng.fill(noise, cv::RNG::NORMAL, 0.0, pose.noise);
            f += noise;
        }
        f.convertTo(out, CV_8U);
    }
    return out;
}

cv::Mat MouldScene::render(bool product, Fault fault, const Pose& pose) const {
    return applyPose(ideal(product, fault), pose);
}

}  // namespace mouldscene
