// FFmpeg's libavformat, libavcodec, libavutil, libswresample and libswscale, opened
// together on first use: the functions media lengths, sound decoding and the
// pictures of a video call.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace plat {

struct FfmpegFunctions {
  // libavformat
  decltype(&::avformat_alloc_context) avformat_alloc_context;
  decltype(&::avformat_open_input) avformat_open_input;
  decltype(&::avformat_find_stream_info) avformat_find_stream_info;
  decltype(&::avformat_close_input) avformat_close_input;
  decltype(&::av_find_best_stream) av_find_best_stream;
  decltype(&::av_read_frame) av_read_frame;
  decltype(&::av_seek_frame) av_seek_frame;
  // libavcodec
  decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
  decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context;
  decltype(&::avcodec_open2) avcodec_open2;
  decltype(&::avcodec_send_packet) avcodec_send_packet;
  decltype(&::avcodec_receive_frame) avcodec_receive_frame;
  decltype(&::avcodec_flush_buffers) avcodec_flush_buffers;
  decltype(&::avcodec_free_context) avcodec_free_context;
  decltype(&::av_packet_alloc) av_packet_alloc;
  decltype(&::av_packet_unref) av_packet_unref;
  decltype(&::av_packet_free) av_packet_free;
  // libavutil
  decltype(&::av_log_set_level) av_log_set_level;
  decltype(&::av_frame_alloc) av_frame_alloc;
  decltype(&::av_frame_unref) av_frame_unref;
  decltype(&::av_frame_free) av_frame_free;
  decltype(&::av_rescale_q) av_rescale_q;
  decltype(&::av_channel_layout_default) av_channel_layout_default;
  decltype(&::av_channel_layout_uninit) av_channel_layout_uninit;
  // libswresample
  decltype(&::swr_alloc_set_opts2) swr_alloc_set_opts2;
  decltype(&::swr_init) swr_init;
  decltype(&::swr_get_out_samples) swr_get_out_samples;
  decltype(&::swr_convert) swr_convert;
  decltype(&::swr_free) swr_free;
  // libswscale
  decltype(&::sws_getCachedContext) sws_getCachedContext;
  decltype(&::sws_scale) sws_scale;
  decltype(&::sws_freeContext) sws_freeContext;
};

// The table, loaded on the first call with FFmpeg's logging silenced; nullptr when
// one of the five libraries or one of their functions is missing (the system's
// text goes to standard error once).
const FfmpegFunctions* Ffmpeg();

}  // namespace plat
