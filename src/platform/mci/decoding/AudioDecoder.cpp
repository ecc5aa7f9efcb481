// Decoding follows FFmpeg's demux-and-decode order: read a packet of the audio
// stream, send it, receive every frame it gives, convert each to interleaved S16 at
// the same rate; at the end the decoder is drained with an empty packet. Every
// FFmpeg call's result is checked; a failure ends the stream where it is.
#include "platform/mci/decoding/AudioDecoder.h"

#include <algorithm>
#include <cstring>

#include "platform/mci/decoding/FfmpegStream.h"

namespace plat {

namespace {

// Four MP3 frames: enough for a frame's overlap and its bit reservoir.
constexpr int64_t kSeekPreRollFrames = 4 * 1152;

}  // namespace

struct AudioDecoder::Context {
  FfmpegStream in;
  SwrContext* swr = nullptr;
  AVFrame* frame = nullptr;
};

AudioDecoder::AudioDecoder() = default;
AudioDecoder::~AudioDecoder() { Close(); }

void AudioDecoder::Close() {
  if (!cx_) return;
  av_->av_frame_free(&cx_->frame);
  av_->swr_free(&cx_->swr);
  CloseFfmpegStream(*av_, cx_->in);
  cx_.reset();
}

bool AudioDecoder::Open(const std::string& hostPath, FfmpegOpen* why) {
  Close();
  FfmpegOpen unused = FfmpegOpen::Ok;
  FfmpegOpen& result = why ? *why : unused;
  result = FfmpegOpen::Unreadable;
  av_ = Ffmpeg();
  if (!av_) return false;
  cx_ = std::make_unique<Context>();
  path_ = hostPath;
  Context& c = *cx_;
  result = OpenFfmpegStream(*av_, hostPath, AVMEDIA_TYPE_AUDIO, c.in);
  if (result != FfmpegOpen::Ok || c.in.codec->sample_rate <= 0 || c.in.codec->ch_layout.nb_channels <= 0) {
    if (result == FfmpegOpen::Ok) result = FfmpegOpen::Unreadable;
    Close();
    return false;
  }
  rate_ = c.in.codec->sample_rate;
  channels_ = c.in.codec->ch_layout.nb_channels == 1 ? 1 : 2;
  c.frame = av_->av_frame_alloc();
  if (!MakeConverter() || !c.frame) {
    result = FfmpegOpen::Unreadable;
    Close();
    return false;
  }
  position_ = 0;
  skip_ = 0;
  pending_.clear();
  pendingAt_ = 0;
  ended_ = false;
  return true;
}

// A fresh converter from the decoder's format and layout to interleaved S16.
bool AudioDecoder::MakeConverter() {
  Context& c = *cx_;
  av_->swr_free(&c.swr);
  AVChannelLayout outLayout;
  av_->av_channel_layout_default(&outLayout, channels_);
  const int made = av_->swr_alloc_set_opts2(&c.swr, &outLayout, AV_SAMPLE_FMT_S16, rate_, &c.in.codec->ch_layout,
                                       c.in.codec->sample_fmt, rate_, 0, nullptr);
  av_->av_channel_layout_uninit(&outLayout);
  return made >= 0 && c.swr && av_->swr_init(c.swr) >= 0;
}

// Decodes until some frames are pending or the stream ends.
bool AudioDecoder::Refill() {
  if (!cx_ || ended_) return false;
  Context& c = *cx_;
  for (;;) {
    const int got = av_->avcodec_receive_frame(c.in.codec, c.frame);
    if (got == 0) {
      const int in = c.frame->nb_samples;
      if (in <= 0) continue;
      if (seeking_) {
        seeking_ = false;
        const AVStream* stream = c.in.format->streams[c.in.stream];
        const int64_t pts = c.frame->best_effort_timestamp;
        const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        const int64_t landed =
            pts == AV_NOPTS_VALUE ? seekTarget_ : av_->av_rescale_q(pts - start, stream->time_base, AVRational{1, rate_});
        skip_ = std::max<int64_t>(seekTarget_ - landed, 0);
      }
      const int room = av_->swr_get_out_samples(c.swr, in);
      if (room <= 0) continue;
      pending_.assign(static_cast<size_t>(room) * channels_, 0);
      uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
      const int out = av_->swr_convert(c.swr, outPlanes, room, const_cast<const uint8_t**>(c.frame->extended_data), in);
      av_->av_frame_unref(c.frame);
      if (out < 0) {
        ended_ = true;
        return false;
      }
      pending_.resize(static_cast<size_t>(out) * channels_);
      pendingAt_ = 0;
      // After a seek the frames before the target are dropped.
      const int64_t drop = std::min<int64_t>(skip_, out);
      skip_ -= drop;
      pendingAt_ = static_cast<size_t>(drop) * channels_;
      if (pendingAt_ < pending_.size()) return true;
      continue;
    }
    if (got == AVERROR_EOF) {
      ended_ = true;
      return false;
    }
    if (got != AVERROR(EAGAIN)) {
      ended_ = true;
      return false;
    }
    // The decoder wants input: the next packet of the stream, or the drain at the end.
    if (c.in.flushed || !FeedFfmpegStream(*av_, c.in)) {
      ended_ = true;
      return false;
    }
  }
}

int64_t AudioDecoder::Read(int16_t* out, int64_t frames) {
  int64_t done = 0;
  while (done < frames) {
    if (pendingAt_ >= pending_.size() && !Refill()) break;
    const int64_t have = static_cast<int64_t>(pending_.size() - pendingAt_) / channels_;
    const int64_t take = std::min(have, frames - done);
    std::memcpy(out + done * channels_, pending_.data() + pendingAt_, static_cast<size_t>(take * channels_) * sizeof(int16_t));
    pendingAt_ += static_cast<size_t>(take * channels_);
    done += take;
  }
  position_ += done;
  return done;
}

// Seeks the container to a key point at or before the target; the first frame
// decoded there tells by its time stamp how many frames to drop up to the target.
// A stream without time stamps lands on the target as far as the demuxer knows.
bool AudioDecoder::SeekFrame(int64_t frame) {
  if (!cx_ || frame < 0) return false;
  if (frame == position_) return true;
  Context& c = *cx_;
  const AVStream* stream = c.in.format->streams[c.in.stream];
  const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  // The decoder starts a little before the frame and its output up to the frame is
  // dropped: a coded frame needs the ones before it (MP3's bit reservoir and overlap),
  // so decoding from the frame itself would give wrong samples at first.
  const int64_t preRoll = std::max<int64_t>(rate_ / 10, kSeekPreRollFrames);
  const int64_t from = std::max<int64_t>(frame - preRoll, 0);
  if (from == 0) {
    // Near the start the file is decoded from its beginning again, where the
    // decoder drops the coder's leading delay as it did the first time.
    const std::string path = path_;
    if (!Open(path)) return false;
    skip_ = frame;
    position_ = frame;
    return true;
  }
  const int64_t target = start + av_->av_rescale_q(from, AVRational{1, rate_}, stream->time_base);
  if (av_->av_seek_frame(c.in.format, c.in.stream, target, AVSEEK_FLAG_BACKWARD) < 0 &&
      av_->av_seek_frame(c.in.format, c.in.stream, start, AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  av_->avcodec_flush_buffers(c.in.codec);
  if (!MakeConverter()) {
    ended_ = true;
    return false;
  }
  c.in.flushed = false;
  ended_ = false;
  pending_.clear();
  pendingAt_ = 0;
  skip_ = 0;
  seekTarget_ = frame;
  seeking_ = true;
  position_ = frame;
  return true;
}

}  // namespace plat
