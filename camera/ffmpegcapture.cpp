#include "ffmpegcapture.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

void closeInput(AVFormatContext* f) {
    avformat_close_input(&f);
}
void freeCodec(AVCodecContext* c) {
    avcodec_free_context(&c);
}
void freeFrame(AVFrame* f) {
    av_frame_free(&f);
}
void freePacket(AVPacket* p) {
    av_packet_free(&p);
}
void freeGraph(AVFilterGraph* g) {
    avfilter_graph_free(&g);
}
void freeSws(SwsContext* s) {
    sws_freeContext(s);
}

// Unreferences a frame when leaving a scope.
struct FrameUnref {
    AVFrame* f;
    ~FrameUnref() { av_frame_unref(f); }
};
// Unreferences a packet when leaving a scope.
struct PacketUnref {
    AVPacket* p;
    ~PacketUnref() { av_packet_unref(p); }
};

}  // namespace

FilterTexts FilterTexts::fromParams(int contrast, int gamma, int sharpness) {
    FilterTexts t;
    t.contrast = QString::asprintf("eq=contrast=%f:", contrast * 0.02 - 2);
    t.gamma = QString::asprintf("gamma=%f,", gamma * 0.0396 + 0.1);
    t.sharpness = QString::asprintf("unsharp=5:5:%f", sharpness * 0.05);
    return t;
}

FfmpegCapture::FfmpegCapture()
    : m_fmt(nullptr, closeInput),
      m_dec(nullptr, freeCodec),
      m_frame(av_frame_alloc(), freeFrame),
      m_filtered(av_frame_alloc(), freeFrame),
      m_packet(av_packet_alloc(), freePacket),
      m_graph(nullptr, freeGraph),
      m_sws(nullptr, freeSws) {
    static const bool registered = [] {
        avdevice_register_all();
        return true;
    }();
    (void)registered;
}

FfmpegCapture::~FfmpegCapture() = default;

bool FfmpegCapture::isOpen() const {
    return m_fmt && m_dec;
}

int FfmpegCapture::sourceWidth() const {
    return m_dec ? m_dec->width : 0;
}

int FfmpegCapture::sourceHeight() const {
    return m_dec ? m_dec->height : 0;
}

bool FfmpegCapture::open(const QString& url, const QString& inputFormat,
                         const std::map<std::string, std::string>& options) {
    m_dec.reset();
    m_fmt.reset();
    m_graph.reset();
    m_src = m_sink = nullptr;
    const AVInputFormat* fmt = nullptr;
    if (!inputFormat.isEmpty()) {
        fmt = av_find_input_format(inputFormat.toUtf8().constData());
        if (!fmt)
            return false;
    }
    AVDictionary* dict = nullptr;
    for (const auto& [k, v] : options)
        av_dict_set(&dict, k.c_str(), v.c_str(), 0);
    AVFormatContext* ctx = nullptr;
    const int rc = avformat_open_input(&ctx, url.toUtf8().constData(), fmt, &dict);
    av_dict_free(&dict);
    if (rc < 0)
        return false;
    m_fmt.reset(ctx);
    if (avformat_find_stream_info(ctx, nullptr) < 0)
        return false;
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec)
        return false;
    m_dec.reset(avcodec_alloc_context3(codec));
    if (!m_dec ||
        avcodec_parameters_to_context(m_dec.get(), ctx->streams[m_stream]->codecpar) < 0 ||
        avcodec_open2(m_dec.get(), codec, nullptr) < 0) {
        m_dec.reset();
        return false;
    }
    return true;
}

bool FfmpegCapture::rebuildFilterGraph(const QString& description) {
    m_description = description;
    m_graph.reset();
    m_src = m_sink = nullptr;
    m_graphFormat = -1;
    if (!isOpen())
        return false;
    // Built from the decoder's parameters now; rebuilt from the first frame
    // should a frame arrive with other parameters.
    AVFrame like{};
    like.width = m_dec->width;
    like.height = m_dec->height;
    like.format = m_dec->pix_fmt;
    like.sample_aspect_ratio = m_dec->sample_aspect_ratio;
    if (like.width <= 0 || like.height <= 0 || like.format < 0)
        return true;  // unknown until the first frame
    return buildGraph(&like);
}

bool FfmpegCapture::buildGraph(const AVFrame* like) {
    m_graph.reset(avfilter_graph_alloc());
    m_src = m_sink = nullptr;
    m_graphFormat = -1;
    if (!m_graph)
        return false;
    const AVRational tb = m_fmt->streams[m_stream]->time_base;
    const AVRational sar = like->sample_aspect_ratio;
    const QByteArray args =
        QString::asprintf("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                          like->width, like->height, like->format, tb.num, tb.den, sar.num,
                          std::max(sar.den, 1))
            .toLatin1();
    if (avfilter_graph_create_filter(&m_src, avfilter_get_by_name("buffer"), "in", args.constData(),
                                     nullptr, m_graph.get()) < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer source\n");
        m_graph.reset();
        return false;
    }
    if (avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, m_graph.get()) < 0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot create buffer sink\n");
        m_graph.reset();
        return false;
    }
    const enum AVPixelFormat formats[] = {AV_PIX_FMT_GRAY8, AV_PIX_FMT_NONE};
    if (av_opt_set_int_list(m_sink, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN) <
        0) {
        av_log(nullptr, AV_LOG_ERROR, "Cannot set output pixel format\n");
        m_graph.reset();
        return false;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = m_src;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = m_sink;
    const QByteArray desc =
        (m_description.isEmpty() ? QStringLiteral("null") : m_description).toUtf8();
    int rc = avfilter_graph_parse_ptr(m_graph.get(), desc.constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (rc >= 0)
        rc = avfilter_graph_config(m_graph.get(), nullptr);
    if (rc < 0) {
        m_graph.reset();
        m_src = m_sink = nullptr;
        return false;
    }
    m_graphW = like->width;
    m_graphH = like->height;
    m_graphFormat = like->format;
    return true;
}

FfmpegCapture::Step FfmpegCapture::step(std::uint8_t* dst, int w, int h, bool colour) {
    if (!isOpen())
        return Step::ReadError;
    AVPacket* pkt = m_packet.get();
    const int rc = av_read_frame(m_fmt.get(), pkt);
    PacketUnref unrefPacket{pkt};
    if (rc < 0) {
        if (rc == AVERROR_EOF && m_loop) {
            av_seek_frame(m_fmt.get(), m_stream, 0, AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(m_dec.get());
        }
        return Step::ReadError;
    }
    if (pkt->stream_index != m_stream)
        return Step::NoPicture;
    if (avcodec_send_packet(m_dec.get(), pkt) < 0)
        return Step::NoPicture;  // damaged packet: skipped
    Step result = Step::NoPicture;
    while (avcodec_receive_frame(m_dec.get(), m_frame.get()) >= 0) {
        FrameUnref unrefFrame{m_frame.get()};
        AVFrame* f = m_frame.get();
        if (f->width <= 0 || f->height <= 0)
            continue;
        if (!m_graph || f->width != m_graphW || f->height != m_graphH ||
            f->format != m_graphFormat) {
            if (!buildGraph(f))
                continue;
        }
        if (av_buffersrc_add_frame_flags(m_src, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
            continue;
        while (av_buffersink_get_frame(m_sink, m_filtered.get()) >= 0) {
            FrameUnref unrefFiltered{m_filtered.get()};
            if (convert(m_filtered.get(), dst, w, h, colour))
                result = Step::Picture;
        }
    }
    return result;
}

bool FfmpegCapture::convert(const AVFrame* f, std::uint8_t* dst, int w, int h, bool colour) {
    const int fw = f->width, fh = f->height;
    const AVPixelFormat target = colour ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_GRAY8;
    m_sws.reset(sws_getCachedContext(m_sws.release(), fw, fh, AVPixelFormat(f->format), fw, fh,
                                     target, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!m_sws)
        return false;
    const int bpp = colour ? 3 : 1;
    m_converted.resize(static_cast<std::size_t>(fw) * fh * bpp);
    std::uint8_t* planes[4] = {m_converted.data(), nullptr, nullptr, nullptr};
    int strides[4] = {fw * bpp, 0, 0, 0};
    if (sws_scale(m_sws.get(), f->data, f->linesize, 0, fh, planes, strides) != fh)
        return false;
    // Centre on a black image; a larger picture gives up its borders.
    const int outBpp = colour ? 4 : 1;
    std::memset(dst, 0, static_cast<std::size_t>(w) * h * outBpp);
    const int copyW = std::min(w, fw), copyH = std::min(h, fh);
    const int dx = (w - copyW) / 2, dy = (h - copyH) / 2;
    const int sx = (fw - copyW) / 2, sy = (fh - copyH) / 2;
    for (int y = 0; y < copyH; ++y) {
        const std::uint8_t* s =
            m_converted.data() + (static_cast<std::size_t>(sy + y) * fw + sx) * bpp;
        std::uint8_t* d = dst + (static_cast<std::size_t>(dy + y) * w + dx) * outBpp;
        if (colour)
            cv::cvtColor(cv::Mat(1, copyW, CV_8UC3, const_cast<std::uint8_t*>(s)),
                         cv::Mat(1, copyW, CV_8UC4, d), cv::COLOR_RGB2RGBA);
        else
            std::memcpy(d, s, copyW);
    }
    return true;
}
