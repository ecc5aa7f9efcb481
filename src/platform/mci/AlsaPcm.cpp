#include "platform/mci/AlsaPcm.h"

#include "platform/mci/AlsaLibrary.h"

#include <algorithm>
#include <cstring>

namespace plat {
namespace {

constexpr unsigned kLatencyUs = 200000;
constexpr int64_t kChunkFrames = 4096;  // frames handed to ALSA in one call

void SilentErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

AlsaPcm::~AlsaPcm() { Close(); }

bool AlsaPcm::Open(const std::string& device, Direction direction) {
  Close();
  alsa_ = Alsa();
  if (!alsa_) return false;
  alsa_->snd_lib_error_set_handler(SilentErrors);
  const snd_pcm_stream_t stream = direction == Direction::Playback ? SND_PCM_STREAM_PLAYBACK : SND_PCM_STREAM_CAPTURE;
  const std::string first = device.empty() ? "default" : device;
  for (const std::string& name : {first, std::string("null")}) {
    if (alsa_->snd_pcm_open(&pcm_, name.c_str(), stream, 0) == 0) {
      name_ = name;
      return true;
    }
    pcm_ = nullptr;
    if (first != "default") break;
  }
  return false;
}

bool AlsaPcm::Configure(int rate, int channels) {
  if (!pcm_ || rate <= 0 || channels < 1 || channels > 2) return false;
  channels_ = channels;
  return alsa_->snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(channels),
                            static_cast<unsigned>(rate), 1, kLatencyUs) == 0;
}

int64_t AlsaPcm::Write(const int16_t* samples, int64_t frames) {
  int64_t done = 0;
  bool recovered = false;
  while (pcm_ && done < frames) {
    const snd_pcm_sframes_t n =
        alsa_->snd_pcm_writei(pcm_, samples + done * channels_, static_cast<snd_pcm_uframes_t>(std::min(frames - done, kChunkFrames)));
    if (n >= 0) {
      done += n;
      continue;
    }
    if (recovered || alsa_->snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) break;
    recovered = true;
  }
  return done;
}

int64_t AlsaPcm::Read(int16_t* samples, int64_t frames) {
  int64_t done = 0;
  bool recovered = false;
  while (pcm_ && done < frames) {
    const snd_pcm_sframes_t n =
        alsa_->snd_pcm_readi(pcm_, samples + done * channels_, static_cast<snd_pcm_uframes_t>(std::min(frames - done, kChunkFrames)));
    if (n > 0) {
      done += n;
      continue;
    }
    if (n == 0 || recovered || alsa_->snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) break;
    recovered = true;
  }
  if (done < frames) std::memset(samples + done * channels_, 0, static_cast<size_t>((frames - done) * channels_) * sizeof(int16_t));
  return done;
}

void AlsaPcm::Drain() {
  if (pcm_) alsa_->snd_pcm_drain(pcm_);
}

void AlsaPcm::Close() {
  if (pcm_) alsa_->snd_pcm_close(pcm_);
  pcm_ = nullptr;
}

}  // namespace plat
