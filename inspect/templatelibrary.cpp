#include "inspect/templatelibrary.h"

#include "globals.h"
#include "inspect/roiset.h"
#include "operatorprompt.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>

namespace {
constexpr int kMsgMaxTemplateIsOne = 1229;
constexpr int kMsgConfirmAdd = 1230;
constexpr int kMsgAddedTemplate = 1231;
constexpr int kMsgCannotDeleteFirst = 1232;
constexpr int kMsgConfirmDelete = 1233;
constexpr int kMsgDeletedTemplate = 1234;
constexpr int kMsgDeletedAll = 1235;
constexpr int kArchiveSize = 200;
constexpr int kDemoImages = 50;

// Slot number of "template<j>.bmp"; -1 when the name is not of that form.
int slotOfFile(const QString& name) {
    if (!name.startsWith(QLatin1String("template")) || !name.endsWith(QLatin1String(".bmp")))
        return -1;
    bool ok = false;
    const int j = name.mid(8, name.size() - 12).toInt(&ok);
    return ok && j >= 0 ? j : -1;
}

// Whole file present? The bitmap header states its size.
bool completeBitmap(const QByteArray& bytes) {
    return bytes.size() >= 14 && bytes.startsWith("BM") &&
           qFromLittleEndian<quint32>(bytes.constData() + 2) <= static_cast<quint32>(bytes.size());
}
}  // namespace

bool saveFrameBitmap(const QString& path, const cv::Mat& frame) {
    if (frame.type() == CV_8UC1)
        return saveGrayBitmap(path, frame);
    if (frame.type() != CV_8UC4)
        return false;
    // RGBA bytes to a 32-bit RGB image
    QImage img(frame.cols, frame.rows, QImage::Format_RGB32);
    for (int y = 0; y < frame.rows; ++y) {
        const uchar* s = frame.ptr(y);
        auto* d = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < frame.cols; ++x, s += 4)
            d[x] = qRgb(s[0], s[1], s[2]);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !img.save(&file, "BMP"))
        return false;
    return file.commit();
}

cv::Mat loadFrameBitmap(const QString& path, int width, int height, bool colour) {
    if (!colour)
        return loadGrayBitmap(path, width, height);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    QImage img;
    if (!completeBitmap(bytes) || !img.loadFromData(bytes, "BMP") || img.depth() != 32 ||
        img.width() != width || img.height() != height)
        return {};
    img = img.convertToFormat(QImage::Format_RGBA8888);
    cv::Mat out(height, width, CV_8UC4);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.ptr(y), img.constScanLine(y), static_cast<size_t>(width) * 4);
    return out;
}

TemplateLibrary::TemplateLibrary(QString dir, int camera, int detection, int slotCount, bool colour)
    : m_dir(std::move(dir)),
      m_camera(camera),
      m_detection(detection),
      m_colour(colour),
      m_images(static_cast<size_t>(std::max(slotCount, 1))) {}

QString TemplateLibrary::folder() const {
    return m_dir + QStringLiteral("/cammer%1%2").arg(m_camera + 1).arg(m_detection + 1);
}

QString TemplateLibrary::filePath(int slot) const {
    return folder() + QStringLiteral("/template%1.bmp").arg(slot);
}

void TemplateLibrary::load(int imageW, int imageH) {
    m_count = 0;
    for (int j = 0; j < slotCount(); ++j) {
        m_images[j] = loadFrameBitmap(filePath(j), imageW, imageH, m_colour);
        m_count += !m_images[j].empty();
    }
    if (m_images[0].empty()) {
        cv::Mat ref = cv::Mat::zeros(imageH, imageW, m_colour ? CV_8UC4 : CV_8UC1);
        const cv::Rect centre(imageW / 4, imageH / 4, 3 * imageW / 4 - imageW / 4 + 1,
                              3 * imageH / 4 - imageH / 4 + 1);
        ref(centre & cv::Rect(0, 0, imageW, imageH)).setTo(cv::Scalar::all(255));
        m_images[0] = ref;
        ++m_count;
    }
    m_shown = 0;
    for (auto& img : m_recentNg)
        img = cv::Mat::zeros(imageH, imageW, m_colour ? CV_8UC4 : CV_8UC1);
    m_recentCount = 0;
}

bool TemplateLibrary::isValid(int slot) const {
    return slot >= 0 && slot < slotCount() && !m_images[slot].empty();
}

const cv::Mat& TemplateLibrary::image(int slot) const {
    static const cv::Mat none;
    return isValid(slot) ? m_images[slot] : none;
}

int TemplateLibrary::chooseSlotForNewTemplate() {
    const int n = slotCount();
    if (m_count < n) {
        for (int j = 0; j < n; ++j)
            if (!isValid(j))
                return j;
    }
    const QFileInfoList files = QDir(folder()).entryInfoList(
        {QStringLiteral("template*.bmp")}, QDir::Files, QDir::Time | QDir::Reversed);
    int pick = 0;
    if (!files.isEmpty() && files[0].fileName() == QLatin1String("template0.bmp"))
        pick = 1;
    int j = pick < files.size() ? slotOfFile(files[pick].fileName()) : -1;
    if (j >= n) {
        QFile::remove(files[pick].absoluteFilePath());
        if (m_notifier)
            m_notifier->templateDeleted(m_camera + 1, m_detection + 1, files[pick].fileName());
        j = n - 1;
    }
    // the reference is never replaced this way
    if (j <= 0)
        j = n - 1;
    return j;
}

bool TemplateLibrary::writeSlot(int slot) {
    QDir().mkpath(folder());
    const bool ok = saveFrameBitmap(filePath(slot), m_images[slot]);
    if (ok && m_notifier)
        m_notifier->templateWritten(QFileInfo(filePath(slot)).absoluteFilePath());
    return ok;
}

bool TemplateLibrary::storeTemplate(int slot, const cv::Mat& image) {
    if (slot < 0 || slot >= slotCount() || image.empty())
        return false;
    if (!isValid(slot))
        ++m_count;
    image.copyTo(m_images[slot]);
    return writeSlot(slot);
}

bool TemplateLibrary::deleteSlot(int slot) {
    if (slot <= 0 || !isValid(slot))
        return false;
    m_images[slot].release();
    --m_count;
    QFile::remove(filePath(slot));
    if (m_notifier)
        m_notifier->templateDeleted(m_camera + 1, m_detection + 1,
                                    QStringLiteral("template%1.bmp").arg(slot));
    m_shown = slot;
    showNext();
    return true;
}

void TemplateLibrary::keepOnlyReference() {
    for (int j = 1; j < slotCount(); ++j)
        m_images[j].release();
    m_count = 1;
    m_shown = 0;
    QDir d(folder());
    const QStringList files = d.entryList({QStringLiteral("template*")}, QDir::Files, QDir::Name);
    for (int i = 1; i < files.size(); ++i) {
        d.remove(files[i]);
        if (m_notifier)
            m_notifier->templateDeleted(m_camera + 1, m_detection + 1, files[i]);
    }
}

bool TemplateLibrary::resample(const cv::Mat& aligned) {
    if (aligned.empty())
        return false;
    if (!isValid(0))
        ++m_count;
    aligned.copyTo(m_images[0]);
    return writeSlot(0);
}

int TemplateLibrary::showNext() {
    for (int i = 1; i <= slotCount(); ++i) {
        const int j = (m_shown + i) % slotCount();
        if (isValid(j))
            return m_shown = j;
    }
    return m_shown;
}

int TemplateLibrary::showPrevious() {
    for (int i = 1; i <= slotCount(); ++i) {
        const int j = ((m_shown - i) % slotCount() + slotCount()) % slotCount();
        if (isValid(j))
            return m_shown = j;
    }
    return m_shown;
}

QString TemplateLibrary::templateTime(int slot) const {
    const QFileInfo fi(filePath(slot));
    return fi.exists() ? fi.lastModified().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"))
                       : QString();
}

void TemplateLibrary::storeRecentFailure(const cv::Mat& image) {
    image.copyTo(m_recentNg[m_recentCount % 3]);
    ++m_recentCount;
}

bool addTemplate(TemplateLibrary& lib, const cv::Mat& source, OperatorPrompt& prompt,
                 const RecordFn& record) {
    if (lib.slotCount() < 2) {
        prompt.warn(tx(kMsgMaxTemplateIsOne));
        return false;
    }
    if (!prompt.ask(tx(kMsgConfirmAdd)))
        return false;
    record(tx(kMsgAddedTemplate).arg(lib.camera() + 1));
    const int slot = lib.chooseSlotForNewTemplate();
    return lib.storeTemplate(slot, source);
}

bool deleteShownTemplate(TemplateLibrary& lib, OperatorPrompt& prompt, const RecordFn& record) {
    const int slot = lib.shown();
    if (slot == 0) {
        prompt.warn(tx(kMsgCannotDeleteFirst));
        return false;
    }
    if (!prompt.ask(tx(kMsgConfirmDelete)))
        return false;
    if (!lib.deleteSlot(slot))
        return false;
    record(tx(kMsgDeletedTemplate).arg(lib.camera() + 1).arg(slot + 1));
    return true;
}

void deleteAllTemplates(std::span<TemplateLibrary* const> libs, const RecordFn& record) {
    for (TemplateLibrary* lib : libs)
        lib->keepOnlyReference();
    record(tx(kMsgDeletedAll));
}

QString RawImageArchive::nextPath(int camera, int detection) {
    const QString path = m_dir + QStringLiteral("/originalimage/cammer%1%2/template%3.bmp")
                                     .arg(camera + 1)
                                     .arg(detection + 1)
                                     .arg(m_counter);
    m_counter = (m_counter + 1) % kArchiveSize;
    return path;
}

bool RawImageArchive::save(int camera, int detection, const cv::Mat& frame) {
    const QString path = nextPath(camera, detection);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return saveFrameBitmap(path, frame);
}

cv::Mat DemoImageSource::next(int width, int height, bool colour) {
    const QString path = m_dir + QStringLiteral("/cammer15/template%1.bmp").arg(m_counter);
    m_counter = (m_counter + 1) % kDemoImages;
    return loadFrameBitmap(path, width, height, colour);
}
