#include "test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace inspect_test {

namespace fs = std::filesystem;

cv::Mat SyntheticPart(cv::Size size, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat img(size, CV_8UC1);
    // Smooth shading across the part.
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            img.at<uchar>(y, x) =
                cv::saturate_cast<uchar>(90 + 40.0 * x / size.width + 25.0 * y / size.height);
        }
    }
    const int area = size.width * size.height;
    const int shapes = std::max(6, area / 2500);
    for (int i = 0; i < shapes; ++i) {
        const cv::Point c(rng.uniform(0, size.width), rng.uniform(0, size.height));
        const int r = rng.uniform(4, std::max(5, std::min(size.width, size.height) / 6));
        const cv::Scalar gray(rng.uniform(20, 235));
        switch (i % 4) {
            case 0:
                cv::circle(img, c, r, gray, cv::FILLED, cv::LINE_AA);
                break;
            case 1:
                cv::rectangle(img, cv::Rect(c.x, c.y, r * 2, r), gray, cv::FILLED, cv::LINE_AA);
                break;
            case 2: {
                const cv::RotatedRect rr(c, cv::Size2f(2.5f * r, 0.8f * r),
                                         static_cast<float>(rng.uniform(0, 180)));
                cv::ellipse(img, rr, gray, cv::FILLED, cv::LINE_AA);
                break;
            }
            default:
                cv::line(img, c, c + cv::Point(r * 2, r), gray, std::max(2, r / 3), cv::LINE_AA);
                break;
        }
    }
    cv::GaussianBlur(img, img, cv::Size(0, 0), 0.8);
    return img;
}

cv::Mat AddNoise(const cv::Mat& img, double sigma, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat noise(img.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat f;
    img.convertTo(f, CV_32F);
    f += noise;
    cv::Mat out;
    f.convertTo(out, CV_8U);
    return out;
}

cv::Mat Lighting(const cv::Mat& img, double gain, double offset) {
    cv::Mat out;
    img.convertTo(out, CV_8U, gain, offset);
    return out;
}

namespace {

const std::map<std::string, std::string> kSums = {
    {"brick", "7966caf324f6ba843118d98f7a07746d22f6a343430add0233eca5f6eaaa8fcf"},
    {"grass", "b6b6022426b38936c43a4ac09635cd78af074e90f42ffa8227ac8b7452d39f89"},
    {"gravel", "c48615b451bf1e606fbd72c0aa9f8cc0f068ab7111ef7d93bb9b0f2586440c12"},
    {"coins", "f8d773fc9cfa6f4d8e5942dc34d0a0788fcaed2a4fefbbed0aef5398d7ef4cba"},
};

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return out;
    }
    std::array<char, 256> buf{};
    while (std::fgets(buf.data(), static_cast<int>(buf.size()), pipe)) {
        out += buf.data();
    }
    ::pclose(pipe);
    return out;
}

std::string Sha256(const fs::path& file) {
    const std::string out = Run("sha256sum '" + file.string() + "' 2>/dev/null");
    return out.substr(0, out.find(' '));
}

// Holds an exclusive lock on a file while alive, so parallel test processes fetch only once.
class DirLock {
public:
    explicit DirLock(const fs::path& file) : m_fd(::open(file.c_str(), O_CREAT | O_RDWR, 0644)) {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~DirLock() {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    DirLock(const DirLock&) = delete;
    DirLock& operator=(const DirLock&) = delete;

private:
    int m_fd;
};

// Fetches and unpacks the package once; returns the data folder or an empty path.
fs::path DataDir(std::string& why) {
    const fs::path root = fs::path(MM_BINARY_DIR) / "test-data" / "skimage";
    const fs::path data = root / "x/usr/lib/python3/dist-packages/skimage/data";
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) {
        why = "cannot create " + root.string();
        return {};
    }
    DirLock lock(root / ".lock");
    if (fs::exists(data / "coins.png")) {
        return data;
    }
    // After a failed fetch, later test processes skip at once for a while instead of retrying.
    const fs::path failed = root / "unavailable";
    if (fs::exists(failed) &&
        fs::last_write_time(failed) > fs::file_time_type::clock::now() - std::chrono::minutes(10)) {
        why = "an earlier fetch in this build tree failed (see " + failed.string() + ")";
        return {};
    }
    const std::string q = "'" + root.string() + "'";
    Run("cd " + q +
        " && apt-get download -o Acquire::Retries=0 -o Acquire::http::Timeout=20"
        " python3-skimage >download.log 2>&1");
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    if (deb.empty()) {
        why = "apt-get download python3-skimage failed (no package registry reachable?)";
        fs::copy_file(root / "download.log", failed, fs::copy_options::overwrite_existing, ec);
        return {};
    }
    Run("dpkg-deb -x '" + deb.string() + "' " + q + "/x 2>&1");
    if (!fs::exists(data / "coins.png")) {
        why = "dpkg-deb could not unpack " + deb.string();
        return {};
    }
    return data;
}

}  // namespace

cv::Mat SampleImage(const std::string& name, std::string& why) {
    static std::mutex mutex;
    static std::map<std::string, cv::Mat> cache;
    const std::lock_guard<std::mutex> guard(mutex);
    if (const auto it = cache.find(name); it != cache.end()) {
        return it->second;
    }
    const auto sum = kSums.find(name);
    if (sum == kSums.end()) {
        why = "no pinned checksum";
        return {};
    }
    const fs::path dir = DataDir(why);
    if (dir.empty()) {
        return {};
    }
    const fs::path file = dir / (name + ".png");
    if (Sha256(file) != sum->second) {
        why = "checksum mismatch for " + file.string();
        return {};
    }
    cv::Mat img = cv::imread(file.string(), cv::IMREAD_GRAYSCALE);
    if (img.empty()) {
        why = "cannot decode " + file.string();
        return {};
    }
    cache[name] = img;
    return img;
}

}  // namespace inspect_test
