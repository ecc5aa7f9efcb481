// MIDI made audible: one FluidSynth synthesizer with a General MIDI SoundFont,
// shared by the sequencer devices of a host (a SoundFont takes a while to load),
// and the sound of one MIDI file rendered through it on demand, as the frames of a
// sound source at 44,100 Hz stereo.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mci/midi/MidiSequence.h"
#include "platform/mci/SoundSource.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace plat {

struct FluidSynthFunctions;

class MidiSynth {
 public:
  static constexpr int kRate = 44100;

  // A synthesizer with the SoundFont at hostPath, or, when it is empty, the first of
  // FluidSynth's default and Debian's General MIDI SoundFont that loads. nullptr
  // when FluidSynth or a SoundFont cannot be loaded: *why names the SoundFont, or
  // is empty when the library's loader has said why already.
  static std::unique_ptr<MidiSynth> Create(const std::string& hostPath, std::string* why);
  ~MidiSynth();
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;

  // Every note off and every channel back to its start state.
  void Reset();
  void Send(const MidiEvent& event);
  // Renders frames of stereo samples.
  void Render(int16_t* out, int64_t frames);

 private:
  MidiSynth() = default;

  const FluidSynthFunctions* fl_ = nullptr;
  _fluid_hashtable_t* settings_ = nullptr;
  _fluid_synth_t* synth_ = nullptr;
};

// The sound of a MIDI file: its events sent to the synthesizer at their frames.
// A seek starts the file again from a reset synthesizer and sends every event
// before the target but the notes, so programs, controllers and bends are as they
// would be there.
class MidiSound : public SoundSource {
 public:
  // bytes: the file; synth outlives the sound.
  MidiSound(std::string bytes, MidiSynth& synth);
  ~MidiSound() override;
  MidiSound(const MidiSound&) = delete;
  MidiSound& operator=(const MidiSound&) = delete;

  bool IsOpen() const { return open_; }
  int Rate() const override { return MidiSynth::kRate; }
  int Channels() const override { return 2; }
  int64_t Read(int16_t* out, int64_t frames) override;
  bool SeekFrame(int64_t frame) override;
  int64_t Position() const override { return position_; }

 private:
  bool Fetch();
  int64_t FrameOf(const MidiEvent& event) const;

  std::string bytes_;
  MidiSynth& synth_;
  MidiSequence sequence_;
  bool open_ = false;
  int64_t position_ = 0;
  MidiEvent next_;        // the next event to send
  bool haveNext_ = false;
};

}  // namespace plat
