// One ALSA PCM stream of 16-bit interleaved samples, for playing or recording.
// The device is the `audiodev` setting; "default" falls back to "null" when it
// cannot be opened (a machine without a sound card), another name does not. ALSA's
// own error printing is silenced: the caller reports the failure.
#pragma once

#include <cstdint>
#include <string>

typedef struct _snd_pcm snd_pcm_t;

namespace plat {

struct AlsaFunctions;

class AlsaPcm {
 public:
  enum class Direction { Playback, Capture };

  AlsaPcm() = default;
  ~AlsaPcm();
  AlsaPcm(const AlsaPcm&) = delete;
  AlsaPcm& operator=(const AlsaPcm&) = delete;

  // Opens the device (or its fallback); false when none opens or libasound cannot
  // be loaded.
  bool Open(const std::string& device, Direction direction);
  // Sets rate and channels; false when the device refuses them.
  bool Configure(int rate, int channels);
  bool IsOpen() const { return pcm_ != nullptr; }
  // Writes or reads whole frames, recovering from an underrun or overrun once;
  // returns the frames done (a read that fails fills the rest with silence).
  int64_t Write(const int16_t* samples, int64_t frames);
  int64_t Read(int16_t* samples, int64_t frames);
  // Ends the stream: Drain lets the written frames play out, Drop discards them.
  void Drain();
  void Close();
  // The name of the device that was opened ("null" after a fallback).
  const std::string& DeviceName() const { return name_; }

 private:
  const AlsaFunctions* alsa_ = nullptr;  // libasound, loaded by the first Open
  snd_pcm_t* pcm_ = nullptr;
  std::string name_;
  int channels_ = 2;
};

}  // namespace plat
