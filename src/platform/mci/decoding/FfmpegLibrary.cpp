#include "platform/mci/decoding/FfmpegLibrary.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

namespace {

bool ResolveFormat(SharedLibrary& so, FfmpegFunctions& f) {
  return so.Resolve("avformat_alloc_context", f.avformat_alloc_context) &&
         so.Resolve("avformat_open_input", f.avformat_open_input) &&
         so.Resolve("avformat_find_stream_info", f.avformat_find_stream_info) &&
         so.Resolve("avformat_close_input", f.avformat_close_input) &&
         so.Resolve("av_find_best_stream", f.av_find_best_stream) && so.Resolve("av_read_frame", f.av_read_frame) &&
         so.Resolve("av_seek_frame", f.av_seek_frame);
}

bool ResolveCodec(SharedLibrary& so, FfmpegFunctions& f) {
  return so.Resolve("avcodec_alloc_context3", f.avcodec_alloc_context3) &&
         so.Resolve("avcodec_parameters_to_context", f.avcodec_parameters_to_context) &&
         so.Resolve("avcodec_open2", f.avcodec_open2) && so.Resolve("avcodec_send_packet", f.avcodec_send_packet) &&
         so.Resolve("avcodec_receive_frame", f.avcodec_receive_frame) &&
         so.Resolve("avcodec_flush_buffers", f.avcodec_flush_buffers) &&
         so.Resolve("avcodec_free_context", f.avcodec_free_context) && so.Resolve("av_packet_alloc", f.av_packet_alloc) &&
         so.Resolve("av_packet_unref", f.av_packet_unref) && so.Resolve("av_packet_free", f.av_packet_free);
}

bool ResolveUtil(SharedLibrary& so, FfmpegFunctions& f) {
  return so.Resolve("av_log_set_level", f.av_log_set_level) && so.Resolve("av_frame_alloc", f.av_frame_alloc) &&
         so.Resolve("av_frame_unref", f.av_frame_unref) && so.Resolve("av_frame_free", f.av_frame_free) &&
         so.Resolve("av_rescale_q", f.av_rescale_q) &&
         so.Resolve("av_channel_layout_default", f.av_channel_layout_default) &&
         so.Resolve("av_channel_layout_uninit", f.av_channel_layout_uninit);
}

bool ResolveResample(SharedLibrary& so, FfmpegFunctions& f) {
  return so.Resolve("swr_alloc_set_opts2", f.swr_alloc_set_opts2) && so.Resolve("swr_init", f.swr_init) &&
         so.Resolve("swr_get_out_samples", f.swr_get_out_samples) && so.Resolve("swr_convert", f.swr_convert) &&
         so.Resolve("swr_free", f.swr_free);
}

bool ResolveScale(SharedLibrary& so, FfmpegFunctions& f) {
  return so.Resolve("sws_getCachedContext", f.sws_getCachedContext) && so.Resolve("sws_scale", f.sws_scale) &&
         so.Resolve("sws_freeContext", f.sws_freeContext);
}

}  // namespace

const FfmpegFunctions* Ffmpeg() {
  static const LoadedLibrary<FfmpegFunctions> loaded = [] {
    LoadedLibrary<FfmpegFunctions> l;
    FfmpegFunctions& f = l.functions;
    SharedLibrary util(kAvUtilSoname);
    SharedLibrary codec(kAvCodecSoname);
    SharedLibrary format(kAvFormatSoname);
    SharedLibrary resample(kSwResampleSoname);
    SharedLibrary scale(kSwScaleSoname);
    l.ok = ResolveUtil(util, f) && ResolveCodec(codec, f) && ResolveFormat(format, f) && ResolveResample(resample, f) &&
           ResolveScale(scale, f);
    for (const SharedLibrary* so : {&util, &codec, &format, &resample, &scale}) {
      if (l.error.empty()) l.error = so->Error();
    }
    if (l.ok) {
      f.av_log_set_level(AV_LOG_QUIET);
    } else {
      ReportLibraryError(l.error);
    }
    return l;
  }();
  return loaded.Get(nullptr);
}

}  // namespace plat
