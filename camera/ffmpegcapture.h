#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVFilterGraph;
struct AVFilterContext;
struct SwsContext;

// The three filter texts of a Video4Linux2 camera and the description they form.
struct FilterTexts {
    QString contrast, gamma, sharpness, extra;
    static FilterTexts fromParams(int contrast, int gamma, int sharpness);
    QString description() const { return contrast + gamma + sharpness + extra; }
};

// Read, decode, filter and convert one video input through FFmpeg: a
// Video4Linux2 device on the panel, a file or lavfi source in tests. Not
// thread-safe; its owner serialises every call under the camera's frame lock.
class FfmpegCapture {
public:
    enum class Step { Picture, NoPicture, ReadError };

    FfmpegCapture();
    ~FfmpegCapture();
    FfmpegCapture(const FfmpegCapture&) = delete;
    FfmpegCapture& operator=(const FfmpegCapture&) = delete;

    // Opens url with the input format (empty: detected) and demuxer options;
    // finds the video stream and opens its decoder.
    bool open(const QString& url, const QString& inputFormat,
              const std::map<std::string, std::string>& options);
    bool isOpen() const;
    // Seek to the start when the input ends (files used as endless sources).
    void setLoop(bool loop) { m_loop = loop; }

    // Replaces the filter graph ("in" -> description -> "out", gray only).
    bool rebuildFilterGraph(const QString& description);
    const QString& filterDescription() const { return m_description; }

    // One read-decode-filter-convert step: reads one packet; when it yields a
    // picture, writes it centred on a black w x h image into dst (gray, or
    // RGBA when colour; a larger picture is cropped to its centre).
    Step step(std::uint8_t* dst, int w, int h, bool colour);

    int sourceWidth() const;
    int sourceHeight() const;

private:
    bool buildGraph(const AVFrame* like);
    bool convert(const AVFrame* f, std::uint8_t* dst, int w, int h, bool colour);

    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> m_fmt;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> m_dec;
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> m_frame, m_filtered;
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> m_packet;
    std::unique_ptr<AVFilterGraph, void (*)(AVFilterGraph*)> m_graph;
    std::unique_ptr<SwsContext, void (*)(SwsContext*)> m_sws;
    AVFilterContext* m_src = nullptr;   // owned by m_graph
    AVFilterContext* m_sink = nullptr;  // owned by m_graph
    int m_graphW = 0, m_graphH = 0, m_graphFormat = -1;
    int m_stream = -1;
    bool m_loop = false;
    QString m_description;
    std::vector<std::uint8_t> m_converted;
};
