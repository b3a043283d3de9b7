#pragma once

#include <functional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// Encodes frames into a file with FFmpeg (muxer from the file name). fill
// writes frame n into an allocated frame. Returns false when the encoder or
// muxer is missing.
bool writeVideo(const std::string& path, AVCodecID codec, int w, int h, AVPixelFormat format,
                int frames, const std::function<void(int, AVFrame*)>& fill, int fps = 30);
