#include "videofile.h"

#include <memory>

namespace {
// Deleters of the FFmpeg objects of one encoding run.
struct OutputCloser {
    void operator()(AVFormatContext* oc) const {
        if (oc && oc->pb)
            avio_closep(&oc->pb);
        avformat_free_context(oc);
    }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
}  // namespace

bool writeVideo(const std::string& path, AVCodecID codecId, int w, int h, AVPixelFormat format,
                int frames, const std::function<void(int, AVFrame*)>& fill, int fps) {
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (!codec)
        return false;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()) < 0)
        return false;
    std::unique_ptr<AVFormatContext, OutputCloser> oc(raw);
    std::unique_ptr<AVCodecContext, CodecCloser> enc(avcodec_alloc_context3(codec));
    enc->width = w;
    enc->height = h;
    enc->pix_fmt = format;
    enc->time_base = {1, fps};
    enc->framerate = {fps, 1};
    enc->gop_size = 10;
    enc->bit_rate = 2000000;
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(enc.get(), codec, nullptr) < 0)
        return false;
    AVStream* st = avformat_new_stream(oc.get(), nullptr);
    avcodec_parameters_from_context(st->codecpar, enc.get());
    st->time_base = enc->time_base;
    if (avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return false;
    if (avformat_write_header(oc.get(), nullptr) < 0)
        return false;
    std::unique_ptr<AVFrame, FrameCloser> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketCloser> pkt(av_packet_alloc());
    frame->width = w;
    frame->height = h;
    frame->format = format;
    av_frame_get_buffer(frame.get(), 0);
    auto drain = [&] {
        while (avcodec_receive_packet(enc.get(), pkt.get()) >= 0) {
            av_packet_rescale_ts(pkt.get(), enc->time_base, st->time_base);
            pkt->stream_index = st->index;
            av_interleaved_write_frame(oc.get(), pkt.get());
        }
    };
    for (int n = 0; n < frames; ++n) {
        av_frame_make_writable(frame.get());
        fill(n, frame.get());
        frame->pts = n;
        avcodec_send_frame(enc.get(), frame.get());
        drain();
    }
    avcodec_send_frame(enc.get(), nullptr);
    drain();
    av_write_trailer(oc.get());
    return true;
}
