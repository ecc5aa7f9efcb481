#include "platform/mci/MciPlayback.h"

#include <algorithm>
#include <vector>

#include "platform/os/Files.h"
#include "platform/mci/MidiLength.h"

namespace plat {
namespace {

constexpr int64_t kMaxMidiBytes = 16 << 20;
constexpr int64_t kFeedChunk = 4096;     // frames decoded and written at once
constexpr int kDefaultFrameMs = 33;      // a video frame when the file gives no rate

// Scales a sample by a volume word (0 to 0xFFFF) in signed arithmetic.
int16_t Scale(int16_t sample, uint32_t word) { return static_cast<int16_t>(static_cast<int32_t>(sample) * static_cast<int32_t>(word) / 0xFFFF); }

}  // namespace

MCIERROR MciPlaybackDevice::Open(const std::string& name, Type type, std::unique_ptr<MciPlaybackDevice>& out) {
  const auto host = ResolveHostPath(name);
  if (!host || !Stat(name) || IsDirectory(name)) return MCIERR_FILE_NOT_FOUND;
  std::unique_ptr<MciPlaybackDevice> device(new MciPlaybackDevice());
  device->type_ = type;
  device->hostPath_ = *host;
  if (type == Type::Sequencer) {
    const auto bytes = ReadFileHead(name, kMaxMidiBytes);
    if (!bytes) return MCIERR_FILE_NOT_FOUND;
    const auto ms = MidiLengthMs(std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()));
    if (!ms) return MCIERR_INVALID_FILE;
    device->lengthMs_ = std::min<int64_t>(*ms, INT32_MAX);
  } else {
    const auto info = ProbeMedia(*host);
    if (!info || (!info->hasAudio && !info->hasVideo)) return MCIERR_INVALID_FILE;
    if (type == Type::WaveAudio && !info->hasAudio) return MCIERR_INVALID_FILE;
    device->info_ = *info;
    device->lengthMs_ = info->lengthMs;
    if (info->hasAudio) {
      device->decoder_ = std::make_unique<AudioDecoder>();
      if (!device->decoder_->Open(*host)) device->decoder_.reset();
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
  if (decoder_) {
    if (!pcm_.IsOpen() && (!pcm_.Open(audiodev, AlsaPcm::Direction::Playback) ||
                           !pcm_.Configure(decoder_->Rate(), decoder_->Channels()))) {
      pcm_.Close();
      return MCIERR_HARDWARE;
    }
    const int64_t frame = fromMs * decoder_->Rate() / 1000;
    if (frame != decoder_->Position()) soundEnded_ = !decoder_->SeekFrame(frame);
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

int64_t MciPlaybackDevice::FrameMs() const {
  return info_.frameRateMilli > 500 ? std::max<int64_t>(1000000 / info_.frameRateMilli, 1) : kDefaultFrameMs;
}

void MciPlaybackDevice::Step(uint64_t now, int64_t frames) {
  Stop(now, Mode::Paused);
  posMs_ = std::clamp<int64_t>(posMs_ + frames * FrameMs(), 0, lengthMs_);
}

void MciPlaybackDevice::Feed(uint64_t now, uint32_t volume) {
  if (!decoder_ || !pcm_.IsOpen() || soundEnded_) return;
  const bool playing = mode_ == Mode::Playing;
  const int64_t pos = Position(now);
  if (!playing) return;
  const int rate = decoder_->Rate();
  const int channels = decoder_->Channels();
  const int64_t want = pos * rate / 1000;
  const uint32_t left = volume & 0xFFFF;
  const uint32_t right = channels == 2 ? volume >> 16 : left;
  std::vector<int16_t> samples(static_cast<size_t>(kFeedChunk * channels));
  while (decoder_->Position() < want) {
    const int64_t frames = decoder_->Read(samples.data(), std::min(kFeedChunk, want - decoder_->Position()));
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

void MciPlaybackDevice::Close(uint64_t now, uint32_t volume) {
  Feed(now, volume);
  // A device that ran to its end lets the last frames play out; a stopped one does not wait.
  if (pcm_.IsOpen() && mode_ != Mode::Playing && posMs_ >= lengthMs_) pcm_.Drain();
  pcm_.Close();
}

}  // namespace plat
