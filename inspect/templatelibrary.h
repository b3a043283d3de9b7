#pragma once

#include <QString>
#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <span>
#include <vector>

class OperatorPrompt;

// Told about every template file written or deleted (the plant link listens).
class TemplateNotifier {
public:
    virtual ~TemplateNotifier() = default;
    virtual void templateWritten(const QString& absolutePath) = 0;
    virtual void templateDeleted(int cameraNo, int detectionNo, const QString& fileName) = 0;
};

// The reference images of one camera and detection, in memory and as files
// "<dir>/cammer<camera+1><detection+1>/template<slot>.bmp". Slot 0 is the
// reference the detection is aligned to. A slot's image is allocated only when
// it holds a template.
class TemplateLibrary {
public:
    // slotCount: the template maximum; colour: 32-bit RGBA frames instead of 8-bit gray.
    TemplateLibrary(QString dir, int camera, int detection, int slotCount, bool colour);

    // Reads every slot's file; a file that does not load, or has the wrong size
    // or depth, leaves its slot empty. An empty slot 0 becomes a synthetic
    // reference (a bright centre rectangle) and counts as valid.
    void load(int imageW, int imageH);

    int camera() const { return m_camera; }
    int detection() const { return m_detection; }
    int slotCount() const { return static_cast<int>(m_images.size()); }
    int count() const { return m_count; }
    bool isValid(int slot) const;
    const cv::Mat& image(int slot) const;  // empty when the slot is invalid
    int shown() const { return m_shown; }

    // The slot a new template goes to: the lowest free one, or, when full, the
    // slot of the oldest file (the second oldest when that is template 0);
    // never slot 0. Deletes a file whose number lies beyond the slots.
    int chooseSlotForNewTemplate();
    // Stores image in slot (becoming valid) and writes its file.
    bool storeTemplate(int slot, const cv::Mat& image);
    // Empties slot (never 0), deletes its file and shows the next valid one.
    bool deleteSlot(int slot);
    // Keeps only template 0 (memory and files).
    void keepOnlyReference();
    // Slot 0 becomes the given image; its file is rewritten.
    bool resample(const cv::Mat& aligned);

    // Moves the shown template to the next (previous) valid slot, wrapping.
    int showNext();
    int showPrevious();

    // Modification time of a slot's file, "yyyy-MM-dd hh.mm.ss"; empty when missing.
    QString templateTime(int slot) const;
    QString folder() const;
    QString filePath(int slot) const;

    // The last three failed images of the detection.
    void storeRecentFailure(const cv::Mat& image);
    const cv::Mat& recentFailure(int i) const { return m_recentNg[i % 3]; }
    int recentFailureCount() const { return m_recentCount; }

    void setNotifier(TemplateNotifier* n) { m_notifier = n; }

private:
    bool writeSlot(int slot);

    QString m_dir;
    int m_camera;
    int m_detection;
    bool m_colour;
    std::vector<cv::Mat> m_images;  // empty Mat = invalid slot
    int m_count = 0;
    int m_shown = 0;
    std::array<cv::Mat, 3> m_recentNg;
    int m_recentCount = 0;
    TemplateNotifier* m_notifier = nullptr;
};

// Writes a colour frame (RGBA) as a 32-bit bitmap, or a gray one as an 8-bit
// indexed bitmap, through a temporary file and a rename.
bool saveFrameBitmap(const QString& path, const cv::Mat& frame);
// Reads a bitmap of the given size and format; empty when unfit.
cv::Mat loadFrameBitmap(const QString& path, int width, int height, bool colour);

// The operator's template operations with their questions, warnings and
// operation-record lines. record receives the text to record.
using RecordFn = std::function<void(const QString&)>;
// Adds source to the library; false when refused or not confirmed.
bool addTemplate(TemplateLibrary& lib, const cv::Mat& source, OperatorPrompt& prompt,
                 const RecordFn& record);
// Deletes the template on show (never template 0).
bool deleteShownTemplate(TemplateLibrary& lib, OperatorPrompt& prompt, const RecordFn& record);
// Keeps only template 0 of every library.
void deleteAllTemplates(std::span<TemplateLibrary* const> libs, const RecordFn& record);

// Raw-image archive names "<dir>/originalimage/cammer<c+1><d+1>/template<k>.bmp"
// with one counter 0..199 shared by all cameras.
class RawImageArchive {
public:
    explicit RawImageArchive(QString dir) : m_dir(std::move(dir)) {}
    // The name for this image; the counter moves on.
    QString nextPath(int camera, int detection);
    bool save(int camera, int detection, const cv::Mat& frame);
    int counter() const { return m_counter; }

private:
    QString m_dir;
    int m_counter = 0;
};

// Demonstration images "<dir>/cammer15/template<k>.bmp", k = 0..49 wrapping,
// used when no camera was found.
class DemoImageSource {
public:
    explicit DemoImageSource(QString dir) : m_dir(std::move(dir)) {}
    // The next image if it has the given size and format, else empty.
    cv::Mat next(int width, int height, bool colour);
    int counter() const { return m_counter; }

private:
    QString m_dir;
    int m_counter = 0;
};
