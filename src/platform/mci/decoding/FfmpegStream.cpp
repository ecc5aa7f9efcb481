#include "platform/mci/decoding/FfmpegStream.h"

#include <sys/stat.h>

namespace plat {
namespace {

// Reading a sound or a video's header takes milliseconds; this leaves room for a
// slow disk and still ends a scan through gigabytes of padding.
constexpr std::chrono::seconds kOpenDeadline{5};

int Interrupt(void* opaque) {
  auto* deadline = static_cast<FfmpegDeadline*>(opaque);
  if (std::chrono::steady_clock::now() < deadline->until) return 0;
  deadline->expired = true;
  return 1;
}

}  // namespace

FfmpegOpen OpenFfmpegFormat(const FfmpegFunctions& av, const std::string& hostPath, FfmpegDeadline& deadline,
                            AVFormatContext** format) {
  struct stat st {};
  if (::stat(hostPath.c_str(), &st) != 0) return FfmpegOpen::Unreadable;
  if (!S_ISREG(st.st_mode)) return FfmpegOpen::NotAFile;
  *format = av.avformat_alloc_context();
  if (!*format) return FfmpegOpen::Unreadable;
  deadline.expired = false;
  deadline.until = std::chrono::steady_clock::now() + kOpenDeadline;
  (*format)->interrupt_callback = AVIOInterruptCB{Interrupt, &deadline};
  // A failed open frees the context and sets *format to null.
  bool opened = av.avformat_open_input(format, hostPath.c_str(), nullptr, nullptr) >= 0;
  opened = opened && av.avformat_find_stream_info(*format, nullptr) >= 0 && !deadline.expired;
  if (!opened) {
    av.avformat_close_input(format);
    return deadline.expired ? FfmpegOpen::TimedOut : FfmpegOpen::Unreadable;
  }
  deadline.until = std::chrono::steady_clock::time_point::max();
  return FfmpegOpen::Ok;
}

FfmpegOpen OpenFfmpegStream(const FfmpegFunctions& av, const std::string& hostPath, AVMediaType type, FfmpegStream& s) {
  s.deadline = std::make_unique<FfmpegDeadline>();
  const FfmpegOpen format = OpenFfmpegFormat(av, hostPath, *s.deadline, &s.format);
  if (format != FfmpegOpen::Ok) {
    CloseFfmpegStream(av, s);
    return format;
  }
  const AVCodec* decoder = nullptr;
  const bool opened = (s.stream = av.av_find_best_stream(s.format, type, -1, -1, &decoder, 0)) >= 0 && decoder &&
                      (s.codec = av.avcodec_alloc_context3(decoder)) != nullptr &&
                      (s.packet = av.av_packet_alloc()) != nullptr &&
                      av.avcodec_parameters_to_context(s.codec, s.format->streams[s.stream]->codecpar) >= 0 &&
                      av.avcodec_open2(s.codec, decoder, nullptr) >= 0;
  if (!opened) CloseFfmpegStream(av, s);
  return opened ? FfmpegOpen::Ok : FfmpegOpen::Unreadable;
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
