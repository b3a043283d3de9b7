#include "inspect/roiset.h"

#include "databases.h"
#include "globals.h"
#include "inspect/region_shape.h"
#include "inspect/vision_globals.h"
#include "systemparams.h"

#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QtEndian>
#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr int kMsgCameraFileError = 1228;  // "Camera parameter file error!"

QString tableName(int camera) {
    return QStringLiteral("cammer%1").arg(camera);
}

using db::execBound;
using db::selectValue;

// Hands out stored integers one by one; once they run out, the target keeps its value.
class Reader {
public:
    explicit Reader(const QString& text) : m_values(params::parseIntegers(text)) {}
    bool next(int& target) {
        if (m_pos >= m_values.size())
            return false;
        target = m_values[m_pos++];
        return true;
    }
    size_t remaining() const { return m_values.size() - m_pos; }

private:
    std::vector<int> m_values;
    size_t m_pos = 0;
};

void readRegion(RoiEntry& e, int& outputNo, const QString& text) {
    Reader r(text);
    r.next(e.minWH);
    r.next(e.sensitivity);
    r.next(e.area);
    r.next(e.function);
    r.next(e.shape);
    r.next(outputNo);
    if (outputNo > 3 || outputNo < 0)
        outputNo = 0;
    int first = 0;
    r.next(first);
    switch (e.shape) {
        case ShapePolygon: {
            if (first < 1 || first > kMaxPolygonVertices) {
                e = RoiEntry::defaultRegion();
                outputNo = 0;
                return;
            }
            e.points.clear();
            for (int i = 0; i < first; ++i) {
                int x = 0, y = 0;
                if (!r.next(x) || !r.next(y))
                    break;  // a cut-off row keeps the vertices read so far
                e.points.emplace_back(CheckInRange(x, 1), CheckInRange(y, 0));
            }
            if (e.points.empty()) {
                e = RoiEntry::defaultRegion();
                outputNo = 0;
            }
            break;
        }
        case ShapeCircle: {
            if (r.next(e.cx))
                e.cx = CheckInRange(e.cx, 1);
            if (r.next(e.cy))
                e.cy = CheckInRange(e.cy, 0);
            int radii = 0;
            if (r.next(radii)) {
                e.outerRadius = low16(radii);
                e.innerRadius = high16(radii);
            }
            break;
        }
        case ShapeRect:
            if (r.next(e.x1))
                e.x1 = CheckInRange(e.x1, 1);
            if (r.next(e.y1))
                e.y1 = CheckInRange(e.y1, 0);
            if (r.next(e.x2))
                e.x2 = CheckInRange(e.x2, 1);
            if (r.next(e.y2))
                e.y2 = CheckInRange(e.y2, 0);
            break;
        default:
            break;  // unknown shape: the geometry stays as it was
    }
}

}  // namespace

void RoiEntry::rebuild() {
    std::unique_ptr<RegionShape> s;
    switch (shape) {
        case ShapeRect:
            s = std::make_unique<ClustomRect>(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1),
                                              std::abs(y2 - y1));
            break;
        case ShapeCircle: {
            auto c = std::make_unique<Circle>(cx, cy, outerRadius, innerRadius);
            c->UpdateRect();
            s = std::move(c);
            break;
        }
        case ShapePolygon: {
            std::vector<cv::Point2d> pts(points.begin(), points.end());
            s = std::make_unique<RePolygon>(pts);
            break;
        }
        default:
            imageRect = {};
            roiMask.release();
            return;
    }
    s->setImageRect();
    roiMask = s->UpdateMask();
    imageRect = s->ImageRect();
}

bool RoiEntry::sameAs(const RoiEntry& o) const {
    if (minWH != o.minWH || sensitivity != o.sensitivity || area != o.area ||
        function != o.function || shape != o.shape)
        return false;
    switch (shape) {
        case ShapeRect:
            return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2;
        case ShapeCircle:
            return cx == o.cx && cy == o.cy && outerRadius == o.outerRadius &&
                   innerRadius == o.innerRadius;
        case ShapePolygon:
            return points == o.points;
        default:
            return true;
    }
}

bool CameraRoiSet::sameAs(const CameraRoiSet& o) const {
    for (int d = 0; d < kDetections; ++d) {
        const DetectionRois& a = detections[d];
        const DetectionRois& b = o.detections[d];
        if (a.count != b.count || a.cavityFlags != b.cavityFlags)
            return false;
        for (int k = 0; k < a.count && k < kMaxRois; ++k)
            if (!a.rois[k].sameAs(b.rois[k]) || outputNo[k] != o.outputNo[k])
                return false;
    }
    return true;
}

QString detectionRowText(const DetectionRois& d) {
    QStringList parts{QString::number(d.count)};
    for (int f : d.cavityFlags)
        parts << QString::number(f);
    return parts.join(u' ');
}

QString roiRowText(const RoiEntry& e, int outputNo) {
    QString s;
    for (int v : {e.minWH, e.sensitivity, e.area, e.function, e.shape, outputNo})
        s += QString::number(v) + u' ';
    switch (e.shape) {
        case ShapeCircle:
            s += QStringLiteral("0 %1 %2 %3")
                     .arg(e.cx)
                     .arg(e.cy)
                     .arg(packLowHigh16(e.outerRadius, e.innerRadius));
            break;
        case ShapePolygon:
            s += QString::number(e.points.size()) + u' ';
            for (const cv::Point& p : e.points)
                s += QStringLiteral("%1 %2 ").arg(p.x).arg(p.y);
            break;
        default:
            s += QStringLiteral("0 %1 %2 %3 %4").arg(e.x1).arg(e.y1).arg(e.x2).arg(e.y2);
            break;
    }
    return s;
}

void loadRois(CameraRoiSet& set, QSqlDatabase& db, const RoiWarning& warn) {
    const QString table = tableName(set.camera);
    for (int d = 0; d < kDetections; ++d) {
        DetectionRois& det = set.detections[d];
        det = DetectionRois{};
        const QString detectName = QStringLiteral("detect%1").arg(d);
        if (const auto row = selectValue(db, table, detectName)) {
            Reader r(*row);
            r.next(det.count);
            for (int& f : det.cavityFlags)
                r.next(f);
        } else {
            det.count = 0;
            execBound(db, QStringLiteral("insert into %1 values(?, '0')").arg(table), {detectName});
        }
        if (det.count > kMaxRois || det.count < 0) {
            if (warn)
                warn(tx(kMsgCameraFileError));
            det.count = 0;
        }
        for (int k = 0; k < det.count; ++k) {
            RoiEntry& e = det.rois[k];
            e = RoiEntry::defaultRegion();
            int outputNo = 0;
            if (const auto row = selectValue(db, table, QStringLiteral("ROI%1-%2").arg(d).arg(k)))
                readRegion(e, outputNo, *row);
            set.outputNo[k] = outputNo;  // the last detection loaded wins
            e.rebuild();
        }
    }
}

bool saveRois(const CameraRoiSet& set, QSqlDatabase& db) {
    const QString table = tableName(set.camera);
    bool ok = true;
    for (int d = 0; d < kDetections; ++d) {
        const DetectionRois& det = set.detections[d];
        const QString detectName = QStringLiteral("detect%1").arg(d);
        // a set saved before it was ever loaded still needs its detection rows
        if (!selectValue(db, table, detectName))
            ok &= execBound(db, QStringLiteral("insert into %1 values(?, '0')").arg(table),
                            {detectName});
        ok &= execBound(db, QStringLiteral("update %1 set value=? where name=?").arg(table),
                        {detectionRowText(det), detectName});
        for (int k = 0; k < kMaxRois; ++k) {
            const QString name = QStringLiteral("ROI%1-%2").arg(d).arg(k);
            const bool exists = selectValue(db, table, name).has_value();
            if (k < det.count) {
                const QString text = roiRowText(det.rois[k], set.outputNo[k]);
                ok &= exists
                          ? execBound(
                                db, QStringLiteral("update %1 set value=? where name=?").arg(table),
                                {text, name})
                          : execBound(db, QStringLiteral("insert into %1 values(?, ?)").arg(table),
                                      {name, text});
            } else if (exists) {
                ok &=
                    execBound(db, QStringLiteral("delete from %1 where name=?").arg(table), {name});
            }
        }
    }
    return ok;
}

bool saveRoiSets(std::span<const CameraRoiSet* const> sets, QSqlDatabase& db) {
    if (!db.transaction())
        return false;
    bool ok = true;
    for (const CameraRoiSet* s : sets)
        ok = ok && saveRois(*s, db);
    if (!ok) {
        db.rollback();
        return false;
    }
    return db.commit();
}

void nextFunction(RoiEntry& e, const SystemParams& p) {
    const std::array<int, 10> enabled = {
        p.enable_defect_detect,  p.enable_spot_detect, p.enable_ignore_area, p.enable_manual_edit,
        p.enable_black_area,     p.enable_white_area,  p.enable_similarity,  p.enable_white_number,
        p.direction_recognition, p.dist_measure};
    const int start = (e.function < 0 || e.function > 9) ? 0 : e.function + 1;
    for (int i = 0; i < 10; ++i) {
        const int code = (start + i) % 10;
        if (!enabled[code])
            continue;
        e.function = code;
        switch (code) {
            case FuncDefect:
            case FuncIgnoreArea:
                e.minWH = p.minimum_size;
                e.sensitivity = 45;
                e.area = p.minimum_area;
                break;
            case FuncSpot:
                e.minWH = packLowHigh8(0, 50);
                e.sensitivity = 80;
                e.area = 500;
                break;
            case FuncPosition:
                e.minWH = e.sensitivity = e.area = 10;
                break;
            case FuncBlackArea:
                e.sensitivity = 50;
                e.area = 100;
                break;
            case FuncWhiteArea:
                e.sensitivity = 200;
                e.area = 100;
                break;
            case FuncSimilarity:
                e.sensitivity = 80;
                break;
            case FuncWhiteNumber:
                e.minWH = 1;
                e.sensitivity = 128;
                e.area = packLowHigh16(1, 2);
                break;
            case FuncDirection:
                e.minWH = 1;
                e.sensitivity = 5000;
                e.area = 10000;
                break;
            case FuncDistance:
                e.minWH = 1;
                e.sensitivity = 35;
                e.area = 50;
                break;
        }
        return;
    }
}

cv::Mat loadGrayBitmap(const QString& path, int width, int height) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    // a cut-off file is not an image, even if the decoder would fill in the rest
    if (bytes.size() < 14 || !bytes.startsWith("BM") ||
        qFromLittleEndian<quint32>(bytes.constData() + 2) > static_cast<quint32>(bytes.size()))
        return {};
    QImage img;
    if (!img.loadFromData(bytes, "BMP") || img.format() != QImage::Format_Indexed8 ||
        img.width() != width || img.height() != height)
        return {};
    cv::Mat out(height, width, CV_8UC1);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.ptr(y), img.constScanLine(y), static_cast<size_t>(width));
    return out;
}

bool saveGrayBitmap(const QString& path, const cv::Mat& gray) {
    if (gray.empty() || gray.type() != CV_8UC1)
        return false;
    QImage img(gray.cols, gray.rows, QImage::Format_Indexed8);
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(i, i, i);
    img.setColorTable(table);
    for (int y = 0; y < gray.rows; ++y)
        std::memcpy(img.scanLine(y), gray.ptr(y), static_cast<size_t>(gray.cols));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !img.save(&file, "BMP"))
        return false;
    return file.commit();
}

namespace {
QString ignoreFile(const QString& dir, int camera, int detection) {
    return dir + QStringLiteral("/cammer%1%2/ignorepoint.bmp").arg(camera + 1).arg(detection + 1);
}
}  // namespace

std::array<cv::Mat, kDetections> loadIgnoreMasks(const QString& dir, int camera) {
    std::array<cv::Mat, kDetections> masks;
    for (int d = 0; d < kDetections; ++d) {
        masks[d] = loadGrayBitmap(ignoreFile(dir, camera, d), gImageW, gImageH);
        if (masks[d].empty())
            masks[d] = cv::Mat::zeros(gImageH, gImageW, CV_8UC1);
    }
    return masks;
}

bool saveIgnoreMask(const QString& dir, int camera, int detection, const cv::Mat& mask) {
    return saveGrayBitmap(ignoreFile(dir, camera, detection), mask);
}
