#include "platform/mci/FfmpegStream.h"

namespace plat {

bool OpenFfmpegStream(const FfmpegFunctions& av, const std::string& hostPath, AVMediaType type, FfmpegStream& s) {
  const AVCodec* decoder = nullptr;
  const bool opened = av.avformat_open_input(&s.format, hostPath.c_str(), nullptr, nullptr) >= 0 &&
                      av.avformat_find_stream_info(s.format, nullptr) >= 0 &&
                      (s.stream = av.av_find_best_stream(s.format, type, -1, -1, &decoder, 0)) >= 0 && decoder &&
                      (s.codec = av.avcodec_alloc_context3(decoder)) != nullptr &&
                      (s.packet = av.av_packet_alloc()) != nullptr &&
                      av.avcodec_parameters_to_context(s.codec, s.format->streams[s.stream]->codecpar) >= 0 &&
                      av.avcodec_open2(s.codec, decoder, nullptr) >= 0;
  if (!opened) CloseFfmpegStream(av, s);
  return opened;
}

void CloseFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s) {
  av.av_packet_free(&s.packet);
  av.avcodec_free_context(&s.codec);
  av.avformat_close_input(&s.format);
  s = FfmpegStream{};
}

bool FeedFfmpegStream(const FfmpegFunctions& av, FfmpegStream& s) {
  int read = 0;
  while ((read = av.av_read_frame(s.format, s.packet)) >= 0 && s.packet->stream_index != s.stream) {
    av.av_packet_unref(s.packet);
  }
  if (read < 0) {
    s.flushed = true;
    return av.avcodec_send_packet(s.codec, nullptr) >= 0;
  }
  const int sent = av.avcodec_send_packet(s.codec, s.packet);
  av.av_packet_unref(s.packet);
  return sent >= 0 || sent == AVERROR(EAGAIN) || sent == AVERROR_INVALIDDATA;
}

}  // namespace plat
