#include "platform/mci/player/MciPlayback.h"

#include <algorithm>
#include <vector>

#include "platform/mci/decoding/AudioDecoder.h"
#include "platform/mci/decoding/FfmpegStream.h"
#include "platform/mci/player/FrameTime.h"
#include "platform/mci/midi/MidiSequence.h"
#include "platform/mci/midi/MidiSynth.h"
#include "platform/os/Files.h"

namespace plat {
namespace {

constexpr int64_t kMaxMidiBytes = 16 << 20;
constexpr int64_t kFeedChunk = 4096;     // frames decoded and written at once
constexpr int kDefaultFrameMs = 33;      // a video frame when the file gives no rate
// The largest picture scaled at once; a larger window shows a smaller one enlarged.
constexpr int64_t kMaxPicturePixels = int64_t{1} << 23;

MCIERROR OpenError(FfmpegOpen why) {
  switch (why) {
    case FfmpegOpen::NotAFile: return MCIERR_NOT_A_FILE;
    case FfmpegOpen::TimedOut: return MCIERR_FILE_READ;
    default: return MCIERR_INVALID_FILE;
  }
}

// Scales a sample by a volume word (0 to 0xFFFF) in signed arithmetic.
int16_t Scale(int16_t sample, uint32_t word) { return static_cast<int16_t>(static_cast<int32_t>(sample) * static_cast<int32_t>(word) / 0xFFFF); }

}  // namespace

MCIERROR MciPlaybackDevice::Open(const std::string& name, Type type, MidiSynth* synth,
                                  std::unique_ptr<MciPlaybackDevice>& out) {
  const auto host = ToHostPath(name);
  const auto stat = Stat(name);
  if (!host || !stat || stat->isDirectory) return MCIERR_FILE_NOT_FOUND;
  // Reading a named pipe waits for a writer without end.
  if (stat->isSpecial) return MCIERR_NOT_A_FILE;
  std::unique_ptr<MciPlaybackDevice> device(new MciPlaybackDevice());
  device->type_ = type;
  device->hostPath_ = *host;
  if (type == Type::Sequencer) {
    auto bytes = ReadFileHead(name, kMaxMidiBytes);
    if (!bytes) return MCIERR_FILE_NOT_FOUND;
    const auto ms = MidiLengthMs(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
    if (!ms) return MCIERR_INVALID_FILE;
    device->lengthMs_ = std::min<int64_t>(*ms, INT32_MAX);
    if (synth) device->sound_ = std::make_unique<MidiSound>(std::move(*bytes), *synth);
  } else {
    FfmpegOpen why = FfmpegOpen::Ok;
    const auto info = ProbeMedia(*host, &why);
    if (!info) return OpenError(why);
    if (!info->hasAudio && !info->hasVideo) return MCIERR_INVALID_FILE;
    if (type == Type::WaveAudio && !info->hasAudio) return MCIERR_INVALID_FILE;
    device->info_ = *info;
    device->lengthMs_ = info->lengthMs;
    const bool pictures = type == Type::DigitalVideo && info->hasVideo;
    if (info->hasAudio) {
      // A sound that cannot be decoded (65,535 channels) is an error where it is all
      // the file holds; a video plays its pictures without it.
      auto decoder = std::make_unique<AudioDecoder>();
      if (decoder->Open(*host, &why)) {
        device->sound_ = std::move(decoder);
      } else if (why == FfmpegOpen::TimedOut || !pictures) {
        return OpenError(why);
      }
    }
    if (pictures) {
      device->video_ = std::make_unique<VideoDecoder>();
      if (!device->video_->Open(*host, &why)) {
        if (why == FfmpegOpen::TimedOut) return OpenError(why);
        device->video_.reset();
      }
    }
  }
  out = std::move(device);
  return 0;
}

int64_t MciPlaybackDevice::Position(uint64_t now) {
  if (mode_ != Mode::Playing) return posMs_;
  const int64_t elapsed = static_cast<int64_t>(std::min<uint64_t>(now - std::min(now, playClock_), INT64_MAX / 2));
  const int64_t pos = posMs_ + elapsed;
  if (pos < lengthMs_) return pos;
  // At the end the device stops where the media ends.
  mode_ = Mode::Stopped;
  posMs_ = lengthMs_;
  return posMs_;
}

MCIERROR MciPlaybackDevice::Play(uint64_t now, int64_t fromMs, const std::string& audiodev) {
  if (fromMs < 0 || fromMs > lengthMs_) return MCIERR_OUTOFRANGE;
  if (sound_) {
    if (!pcm_.IsOpen() && (!pcm_.Open(audiodev, AlsaPcm::Direction::Playback) ||
                           !pcm_.Configure(sound_->Rate(), sound_->Channels()))) {
      pcm_.Close();
      return MCIERR_HARDWARE;
    }
    const int64_t frame = fromMs * sound_->Rate() / 1000;
    if (frame != sound_->Position()) soundEnded_ = !sound_->SeekFrame(frame);
  }
  posMs_ = fromMs;
  playClock_ = now;
  mode_ = fromMs < lengthMs_ ? Mode::Playing : Mode::Stopped;
  return 0;
}

void MciPlaybackDevice::Stop(uint64_t now, Mode mode) {
  posMs_ = Position(now);
  mode_ = mode;
}

MCIERROR MciPlaybackDevice::Resume(uint64_t now, const std::string& audiodev) {
  if (mode_ == Mode::Playing) return 0;
  return Play(now, posMs_, audiodev);
}

void MciPlaybackDevice::Seek(uint64_t now, int64_t toMs) {
  Stop(now);
  posMs_ = std::clamp<int64_t>(toMs, 0, lengthMs_);
}

void MciPlaybackDevice::Step(uint64_t now, int64_t frames) {
  Stop(now, Mode::Paused);
  const int64_t to = info_.frameRateMilli > 500 ? StepFrames(posMs_, frames, info_.frameRateMilli)
                                                : posMs_ + frames * kDefaultFrameMs;
  posMs_ = std::clamp<int64_t>(to, 0, lengthMs_);
}

void MciPlaybackDevice::Feed(uint64_t now, uint32_t volume) {
  if (!sound_ || !pcm_.IsOpen() || soundEnded_) return;
  const bool playing = mode_ == Mode::Playing;
  const int64_t pos = Position(now);
  if (!playing) return;
  const int rate = sound_->Rate();
  const int channels = sound_->Channels();
  const int64_t want = pos * rate / 1000;
  const uint32_t left = volume & 0xFFFF;
  const uint32_t right = channels == 2 ? volume >> 16 : left;
  std::vector<int16_t> samples(static_cast<size_t>(kFeedChunk * channels));
  while (sound_->Position() < want) {
    const int64_t frames = sound_->Read(samples.data(), std::min(kFeedChunk, want - sound_->Position()));
    if (frames <= 0) {
      soundEnded_ = true;
      break;
    }
    if (volume != 0xFFFFFFFF) {
      for (int64_t i = 0; i < frames * channels; i += channels) {
        samples[i] = Scale(samples[i], left);
        if (channels == 2) samples[i + 1] = Scale(samples[i + 1], right);
      }
    }
    pcm_.Write(samples.data(), frames);
  }
}

void MciPlaybackDevice::Paint(uint64_t now, Bitmap& surface) {
  const int width = window[2], height = window[3];
  if (!video_ || width <= 0 || height <= 0) return;
  // Nothing to scale when the window lies wholly outside the surface.
  const int64_t right = int64_t{window[0]} + width, bottom = int64_t{window[1]} + height;
  if (right <= 0 || bottom <= 0 || window[0] >= surface.width || window[1] >= surface.height) return;
  int shrink = 1;
  while (int64_t{width / shrink} * (height / shrink) > kMaxPicturePixels) ++shrink;
  const Bitmap* picture = video_->PictureAt(Position(now), std::max(width / shrink, 1), std::max(height / shrink, 1));
  if (!picture) return;
  if (shrink == 1) {
    BitBlt(surface, window[0], window[1], width, height, *picture, 0, 0);
  } else {
    StretchBlt(surface, window[0], window[1], width, height, *picture, 0, 0, picture->width, picture->height, COLORONCOLOR);
  }
}

void MciPlaybackDevice::Close(uint64_t now, uint32_t volume) {
  Feed(now, volume);
  // A device that ran to its end lets the last frames play out; a stopped one does not wait.
  if (pcm_.IsOpen() && mode_ != Mode::Playing && posMs_ >= lengthMs_) pcm_.Drain();
  pcm_.Close();
}

}  // namespace plat
