#pragma once

#include <QString>
#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <span>
#include <vector>

class QSqlDatabase;
struct SystemParams;

// Shape codes of a region.
enum RoiShapeCode { ShapeRect = 1, ShapePolygon = 2, ShapeCircle = 4 };

// What a region checks.
enum RoiFunction {
    FuncDefect = 0,
    FuncSpot = 1,
    FuncIgnoreArea = 2,
    FuncPosition = 3,
    FuncBlackArea = 4,
    FuncWhiteArea = 5,
    FuncSimilarity = 6,
    FuncWhiteNumber = 7,
    FuncDirection = 8,
    FuncDistance = 9,
};

constexpr int kDetections = 8;
constexpr int kMaxRois = 50;
constexpr int kCavityFlags = 16;
constexpr int kMaxPolygonVertices = 8096;

// One region of interest: a shape on the camera view (display coordinates),
// its function and three function-dependent parameters.
struct RoiEntry {
    int minWH = 3;
    int sensitivity = 25;
    int area = 100;
    int function = FuncDefect;
    int shape = ShapeRect;
    // rectangle: two corners
    int x1 = 50, y1 = 50, x2 = 100, y2 = 100;
    // circle: centre and radii
    int cx = 0, cy = 0, outerRadius = 0, innerRadius = 0;
    // polygon: vertices
    std::vector<cv::Point> points;

    // derived: bounding rectangle in image pixels and the mask of that size
    cv::Rect imageRect;
    cv::Mat roiMask;

    // Recomputes imageRect and roiMask from the geometry.
    void rebuild();
    // The default Defect rectangle a broken stored region becomes.
    static RoiEntry defaultRegion() { return {}; }
    // Same function, parameters and geometry (derived data aside).
    bool sameAs(const RoiEntry& o) const;
};

// The regions of one detection.
struct DetectionRois {
    int count = 0;
    std::array<RoiEntry, kMaxRois> rois;
    std::array<int, kCavityFlags> cavityFlags{};  // 0 unchecked, 2 checked
};

// All regions of one camera: eight detections and one output number per
// region position, shared by every detection.
struct CameraRoiSet {
    int camera = 0;
    std::array<DetectionRois, kDetections> detections;
    std::array<int, kMaxRois> outputNo{};

    bool sameAs(const CameraRoiSet& o) const;
};

// Packed parameters: spot gray bounds in minWH, white-spot count bounds in area.
inline int packLowHigh8(int low, int high) {
    return (low & 0xFF) | ((high & 0xFF) << 8);
}
inline int low8(int v) {
    return v & 0xFF;
}
inline int high8(int v) {
    return (v >> 8) & 0xFF;
}
inline int packLowHigh16(int low, int high) {
    return (low & 0xFFFF) | ((high & 0xFFFF) << 16);
}
inline int low16(int v) {
    return v & 0xFFFF;
}
inline int high16(int v) {
    return (v >> 16) & 0xFFFF;
}

// Shown when a stored detection claims more regions than allowed.
using RoiWarning = std::function<void(const QString&)>;

// Fills set (camera index already set) from table cammer<camera> of db and
// rebuilds every mask. A missing table loads every detection empty.
void loadRois(CameraRoiSet& set, QSqlDatabase& db, const RoiWarning& warn);
// Writes all eight detections of the set; the caller decides the transaction.
bool saveRois(const CameraRoiSet& set, QSqlDatabase& db);
// Saves several cameras in one transaction: either all change or none.
bool saveRoiSets(std::span<const CameraRoiSet* const> sets, QSqlDatabase& db);

// The stored texts of a detection row and of a region row.
QString detectionRowText(const DetectionRois& d);
QString roiRowText(const RoiEntry& e, int outputNo);

// The editor's function cycling: the next enabled function after the current
// one; its parameters take that function's starting values. With no function
// enabled the entry stays as it is.
void nextFunction(RoiEntry& e, const SystemParams& p);

// Ignore-point images "<dir>/cammer<camera+1><detection+1>/ignorepoint.bmp":
// 8-bit, gImageW x gImageH, non-zero where alarm pixels are ignored. A missing
// or unfit file gives an all-zero image.
std::array<cv::Mat, kDetections> loadIgnoreMasks(const QString& dir, int camera);
bool saveIgnoreMask(const QString& dir, int camera, int detection, const cv::Mat& mask);

// Writes an 8-bit image as an indexed bitmap with a gray colour table, through a
// temporary file and a rename so that a power loss never leaves half a file.
bool saveGrayBitmap(const QString& path, const cv::Mat& gray);
// Reads an 8-bit indexed bitmap of the given size; empty when unfit.
cv::Mat loadGrayBitmap(const QString& path, int width, int height);
