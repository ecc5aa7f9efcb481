#include "platform/mci/midi/MidiSynth.h"

#include <algorithm>

#include "platform/mci/midi/FluidSynthLibrary.h"
#include "platform/os/Files.h"

namespace plat {
namespace {

// Debian's General MIDI SoundFont (fluid-soundfont-gm), after FluidSynth's own default.
constexpr char kDebianSoundFont[] = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr double kGain = 0.5;  // FluidSynth's 0.2 is far quieter than a wave file
constexpr int kRenderChunk = 4096;

}  // namespace

std::unique_ptr<MidiSynth> MidiSynth::Create(const std::string& hostPath, std::string* why) {
  const FluidSynthFunctions* fl = FluidSynth();
  if (why) why->clear();
  if (!fl) return nullptr;  // the library's loader said why
  std::unique_ptr<MidiSynth> synth(new MidiSynth());
  synth->fl_ = fl;
  synth->settings_ = fl->new_fluid_settings();
  if (!synth->settings_ && why) *why = "FluidSynth";
  if (!synth->settings_) return nullptr;
  fl->fluid_settings_setnum(synth->settings_, "synth.sample-rate", kRate);
  fl->fluid_settings_setnum(synth->settings_, "synth.gain", kGain);
  // Samples are read when a program first wants them: the whole bank takes a second.
  fl->fluid_settings_setint(synth->settings_, "synth.dynamic-sample-loading", 1);
  synth->synth_ = fl->new_fluid_synth(synth->settings_);
  if (!synth->synth_ && why) *why = "FluidSynth";
  if (!synth->synth_) return nullptr;
  std::vector<std::string> candidates;
  if (!hostPath.empty()) {
    candidates.push_back(hostPath);
  } else {
    char* builtIn = nullptr;
    if (fl->fluid_settings_getstr_default(synth->settings_, "synth.default-soundfont", &builtIn) == FLUID_OK && builtIn) {
      candidates.emplace_back(builtIn);
    }
    candidates.emplace_back(kDebianSoundFont);
  }
  for (const std::string& path : candidates) {
    if (fl->fluid_synth_sfload(synth->synth_, path.c_str(), 1) != FLUID_FAILED) return synth;
  }
  if (why) *why = candidates.back();
  return nullptr;
}

MidiSynth::~MidiSynth() {
  if (synth_) fl_->delete_fluid_synth(synth_);
  if (settings_) fl_->delete_fluid_settings(settings_);
}

void MidiSynth::Reset() { fl_->fluid_synth_system_reset(synth_); }

void MidiSynth::Send(const MidiEvent& e) {
  const int channel = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80: fl_->fluid_synth_noteoff(synth_, channel, e.data1); break;
    case 0x90:
      // A note-on of velocity 0 is a note-off.
      if (e.data2 == 0) {
        fl_->fluid_synth_noteoff(synth_, channel, e.data1);
      } else {
        fl_->fluid_synth_noteon(synth_, channel, e.data1, e.data2);
      }
      break;
    case 0xA0: fl_->fluid_synth_key_pressure(synth_, channel, e.data1, e.data2); break;
    case 0xB0: fl_->fluid_synth_cc(synth_, channel, e.data1, e.data2); break;
    case 0xC0: fl_->fluid_synth_program_change(synth_, channel, e.data1); break;
    case 0xD0: fl_->fluid_synth_channel_pressure(synth_, channel, e.data1); break;
    case 0xE0: fl_->fluid_synth_pitch_bend(synth_, channel, (e.data2 & 0x7F) << 7 | (e.data1 & 0x7F)); break;
    default:
      if (e.status == 0xF0 && e.sysex.size() <= INT32_MAX) {
        fl_->fluid_synth_sysex(synth_, reinterpret_cast<const char*>(e.sysex.data()), static_cast<int>(e.sysex.size()),
                               nullptr, nullptr, nullptr, 0);
      }
      break;
  }
}

void MidiSynth::Render(int16_t* out, int64_t frames) {
  while (frames > 0) {
    const int n = static_cast<int>(std::min<int64_t>(frames, kRenderChunk));
    fl_->fluid_synth_write_s16(synth_, n, out, 0, 2, out, 1, 2);
    out += static_cast<size_t>(n) * 2;
    frames -= n;
  }
}

MidiSound::MidiSound(std::string bytes, MidiSynth& synth) : bytes_(std::move(bytes)), synth_(synth) {
  open_ = sequence_.Open(std::span(reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size()));
  synth_.Reset();
  haveNext_ = open_ && Fetch();
}

MidiSound::~MidiSound() { synth_.Reset(); }

bool MidiSound::Fetch() { return haveNext_ = sequence_.Next(next_); }

int64_t MidiSound::FrameOf(const MidiEvent& event) const {
  return static_cast<int64_t>(static_cast<__int128>(event.timeUs) * MidiSynth::kRate / 1000000);
}

int64_t MidiSound::Read(int16_t* out, int64_t frames) {
  int64_t done = 0;
  while (done < frames) {
    // Events due at this frame first, then the frames up to the next event.
    while (haveNext_ && FrameOf(next_) <= position_) {
      synth_.Send(next_);
      Fetch();
    }
    int64_t run = frames - done;
    if (haveNext_) run = std::min(run, FrameOf(next_) - position_);
    synth_.Render(out + done * 2, run);
    done += run;
    position_ += run;
  }
  return done;
}

bool MidiSound::SeekFrame(int64_t frame) {
  if (!open_ || frame < 0) return false;
  synth_.Reset();
  sequence_.Rewind();
  Fetch();
  while (haveNext_ && FrameOf(next_) < frame) {
    const uint8_t type = next_.status & 0xF0;
    if (type != 0x80 && type != 0x90 && type != 0xA0) synth_.Send(next_);
    Fetch();
  }
  position_ = frame;
  return true;
}

}  // namespace plat
