// What a playback device plays: 16-bit signed interleaved samples, mono or stereo,
// produced on demand from a frame position (decoded from a file, or synthesized).
#pragma once

#include <cstdint>

namespace plat {

class SoundSource {
 public:
  virtual ~SoundSource() = default;
  virtual int Rate() const = 0;
  virtual int Channels() const = 0;
  // Fills out with up to `frames` frames; fewer at the end of the sound.
  virtual int64_t Read(int16_t* out, int64_t frames) = 0;
  // Moves to a frame; the next Read starts there. False when it cannot.
  virtual bool SeekFrame(int64_t frame) = 0;
  // The frame the next Read starts at.
  virtual int64_t Position() const = 0;
};

}  // namespace plat
