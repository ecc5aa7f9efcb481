// One open MCI playback device: a sequencer (MIDI), a wave-audio or a digital-video
// device over one file. Its position runs on the program clock: while playing it is
// the start position plus the clock time since play began, up to the length, where
// the device stops. The sound follows the same clock: each time the host pumps, the
// frames up to the position are decoded and written to ALSA (so a device without a
// card, "null", and a file device receive exactly what was played). MIDI is
// synthesized through the host's synthesizer; without one it plays silently. A
// video's window shows the picture at the position, painted into its parent's
// surface at the window's rectangle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/mci/AlsaPcm.h"
#include "platform/mci/MciErrors.h"
#include "platform/mci/decoding/MediaProbe.h"
#include "platform/mci/SoundSource.h"
#include "platform/mci/decoding/VideoDecoder.h"

namespace plat {

class MidiSynth;

class MciPlaybackDevice {
 public:
  enum class Type { Sequencer, WaveAudio, DigitalVideo };
  enum class Mode { Stopped, Playing, Paused };

  // Opens name (a Windows path) as the type; 0 or the error (file not found, a file
  // the type cannot play). A sequencer sounds through synth when there is one.
  static MCIERROR Open(const std::string& name, Type type, MidiSynth* synth, std::unique_ptr<MciPlaybackDevice>& out);

  Type GetType() const { return type_; }
  Mode GetMode() const { return mode_; }
  int64_t Length() const { return lengthMs_; }
  bool HasWindow() const { return type_ == Type::DigitalVideo && info_.hasVideo; }
  const MediaInfo& Info() const { return info_; }

  // The position at clock time now; reaching the length stops the device.
  int64_t Position(uint64_t now);
  // Plays from a position (or from where it stands); the sound goes to audiodev.
  MCIERROR Play(uint64_t now, int64_t fromMs, const std::string& audiodev);
  MCIERROR Play(uint64_t now, const std::string& audiodev) { return Play(now, Position(now), audiodev); }
  // Stop and pause keep the position; resume plays on from it.
  void Stop(uint64_t now, Mode mode = Mode::Stopped);
  MCIERROR Resume(uint64_t now, const std::string& audiodev);
  // Moves the position, which stops the device.
  void Seek(uint64_t now, int64_t toMs);
  // Moves by whole video frames, which leaves the device paused.
  void Step(uint64_t now, int64_t frames);
  // Writes the sound up to clock time now, with the volume (low word left, high right).
  void Feed(uint64_t now, uint32_t volume);
  // Ends the sound: what was written plays out when the device ran to its end.
  void Close(uint64_t now, uint32_t volume);
  // Paints the picture at the position into the window's rectangle of surface.
  void Paint(uint64_t now, Bitmap& surface);

  // The video window's rectangle as the last "put" set it: left, top, width, height.
  int window[4] = {0, 0, 0, 0};
  // The window it is a child of ("open ... parent N"); 0 none.
  uintptr_t parent = 0;

 private:
  MciPlaybackDevice() = default;

  Type type_ = Type::WaveAudio;
  std::string hostPath_;
  MediaInfo info_;
  int64_t lengthMs_ = 0;
  Mode mode_ = Mode::Stopped;
  int64_t posMs_ = 0;        // the position when not playing; the start while playing
  uint64_t playClock_ = 0;   // the clock when play began
  std::unique_ptr<SoundSource> sound_;
  std::unique_ptr<VideoDecoder> video_;
  AlsaPcm pcm_;
  bool soundEnded_ = false;  // the sound gave its last frame
};

}  // namespace plat
