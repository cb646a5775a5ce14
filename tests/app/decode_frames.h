// Every frame of a video (or of a PNG series "frame_%05d.png") decoded with FFmpeg, for the
// render tests to read back what they wrote.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <string>

namespace pp::test {

// Hands each decoded frame of the file's video stream to take(frame, seconds) in order; nothing
// when the file cannot be read. VP9 goes through libvpx's decoder, which reads the alpha plane
// that FFmpeg's own leaves out.
template <class Take>
void DecodeFrames(const std::string& path, Take&& take) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return;
    const AVCodec* codec = nullptr;
    const int index = avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0)
                          : -1;
    if (index >= 0 && format->streams[index]->codecpar->codec_id == AV_CODEC_ID_VP9)
        codec = avcodec_find_decoder_by_name("libvpx-vp9");
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto drain = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            take(*frame, static_cast<double>(frame->best_effort_timestamp) *
                             av_q2d(format->streams[index]->time_base));
        }
    };
    if (index >= 0 &&
        avcodec_parameters_to_context(context, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(context, codec, nullptr) >= 0) {
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index) avcodec_send_packet(context, packet);
            av_packet_unref(packet);
            drain();
        }
        avcodec_send_packet(context, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
}

}  // namespace pp::test
