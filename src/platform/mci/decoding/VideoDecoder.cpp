// Decoding follows FFmpeg's demux-and-decode order, as the sound's does
// (platform/mci/decoding/FfmpegStream.h). Two frames are kept: the one shown and
// the one after it, whose start says when to move on. Every FFmpeg call's result is
// checked; a failure ends the stream where it is, and the last picture stays.
#include "platform/mci/decoding/VideoDecoder.h"

#include <algorithm>
#include <utility>

#include "platform/mci/decoding/FfmpegStream.h"

namespace plat {
namespace {

constexpr int64_t kSeekAheadUs = 5000000;  // further ahead than this a seek beats decoding on
constexpr int64_t kDefaultFrameUs = 40000;  // a frame without a time stamp follows the last by this

}  // namespace

struct VideoDecoder::Context {
  FfmpegStream in;
  SwsContext* sws = nullptr;
  AVFrame* current = nullptr;  // the frame shown
  AVFrame* next = nullptr;     // the frame after it, once decoded
  bool ended = false;
  bool haveCurrent = false;
  bool haveNext = false;
  int64_t currentUs = 0;
  int64_t nextUs = 0;
  bool firstAfterSeek = false; // current is the first frame decoded after a seek to seekUs
  int64_t seekUs = 0;
};

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() { Close(); }

void VideoDecoder::Close() {
  if (!cx_) return;
  av_->sws_freeContext(cx_->sws);
  av_->av_frame_free(&cx_->current);
  av_->av_frame_free(&cx_->next);
  CloseFfmpegStream(*av_, cx_->in);
  cx_.reset();
}

bool VideoDecoder::Open(const std::string& hostPath, FfmpegOpen* why) {
  Close();
  FfmpegOpen unused = FfmpegOpen::Ok;
  FfmpegOpen& result = why ? *why : unused;
  result = FfmpegOpen::Unreadable;
  av_ = Ffmpeg();
  if (!av_) return false;
  cx_ = std::make_unique<Context>();
  Context& c = *cx_;
  result = OpenFfmpegStream(*av_, hostPath, AVMEDIA_TYPE_VIDEO, c.in);
  c.current = av_->av_frame_alloc();
  c.next = av_->av_frame_alloc();
  if (result != FfmpegOpen::Ok || !c.current || !c.next) {
    if (result == FfmpegOpen::Ok) result = FfmpegOpen::Unreadable;
    Close();
    return false;
  }
  return true;
}

// Decodes the frame after the current one into next; false at the end.
bool VideoDecoder::DecodeNext() {
  Context& c = *cx_;
  while (!c.ended) {
    av_->av_frame_unref(c.next);
    const int got = av_->avcodec_receive_frame(c.in.codec, c.next);
    if (got == 0) {
      if (c.next->width <= 0 || c.next->height <= 0) continue;
      const AVStream* stream = c.in.format->streams[c.in.stream];
      const int64_t pts = c.next->best_effort_timestamp;
      const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
      c.nextUs = pts != AV_NOPTS_VALUE ? av_->av_rescale_q(pts - start, stream->time_base, AVRational{1, 1000000})
                 : c.haveCurrent        ? c.currentUs + kDefaultFrameUs
                                        : 0;
      c.haveNext = true;
      return true;
    }
    // The decoder wants input: the next packet of the stream, or the drain at the end.
    if (got != AVERROR(EAGAIN) || c.in.flushed || !FeedFfmpegStream(*av_, c.in)) c.ended = true;
  }
  c.haveNext = false;
  return false;
}

// Seeks to the key frame at or before us and decodes the first frame there.
bool VideoDecoder::SeekBefore(int64_t us) {
  Context& c = *cx_;
  const AVStream* stream = c.in.format->streams[c.in.stream];
  const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  const int64_t target = start + av_->av_rescale_q(us, AVRational{1, 1000000}, stream->time_base);
  if (av_->av_seek_frame(c.in.format, c.in.stream, target, AVSEEK_FLAG_BACKWARD) < 0 &&
      av_->av_seek_frame(c.in.format, c.in.stream, start, AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  av_->avcodec_flush_buffers(c.in.codec);
  c.in.flushed = c.ended = false;
  c.haveNext = false;  // the picture shown stays when nothing decodes here
  if (!DecodeNext()) return false;
  TakeNext();
  c.firstAfterSeek = true;
  c.seekUs = us;
  return true;
}

// The next frame becomes the one shown.
void VideoDecoder::TakeNext() {
  Context& c = *cx_;
  std::swap(c.current, c.next);
  c.currentUs = c.nextUs;
  c.haveCurrent = true;
  c.haveNext = false;
  c.firstAfterSeek = false;
}

bool VideoDecoder::MoveTo(int64_t us) {
  Context& c = *cx_;
  // The first picture is read from the start, without a seek.
  if (!c.haveCurrent && !c.ended) {
    if (!DecodeNext()) return false;
    TakeNext();
  }
  const bool behind = us < c.currentUs && !(c.firstAfterSeek && us >= c.seekUs);
  if (behind || us > c.currentUs + kSeekAheadUs) SeekBefore(us);
  while (c.haveCurrent && (c.haveNext || DecodeNext()) && c.nextUs <= us) TakeNext();
  return c.haveCurrent;
}

const Bitmap* VideoDecoder::PictureAt(int64_t ms, int width, int height) {
  if (!cx_ || width <= 0 || height <= 0) return nullptr;
  const int64_t us = std::max<int64_t>(ms, 0) * 1000;
  if (!MoveTo(us)) return nullptr;
  Context& c = *cx_;
  if (scaled_ && pictureUs_ == c.currentUs && picture_.width == width && picture_.height == height) return &picture_;
  const AVFrame* f = c.current;
  c.sws = av_->sws_getCachedContext(c.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height,
                                    AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!c.sws) return nullptr;
  picture_.width = width;
  picture_.height = height;
  picture_.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(picture_.pixels.data()), nullptr, nullptr, nullptr};
  const int strides[4] = {width * 4, 0, 0, 0};
  if (av_->sws_scale(c.sws, f->data, f->linesize, 0, f->height, planes, strides) <= 0) {
    scaled_ = false;
    return nullptr;
  }
  for (uint32_t& p : picture_.pixels) p &= 0xFFFFFF;  // BGRA's alpha byte is no part of a pixel
  scaled_ = true;
  pictureUs_ = c.currentUs;
  return &picture_;
}

}  // namespace plat
