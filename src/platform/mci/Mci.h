// The media control interface as the player and the recorder use it: command
// strings addressed to a device by its file path, the parameter-block commands of
// the wave recorder, and the wave and MIDI output volumes. Devices run on the
// program clock of the UI host: while one plays or records, a timer of the host
// brings its sound up to the clock, and every command does so first.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/gdi/Gdi.h"
#include "platform/mci/MciErrors.h"
#include "platform/mci/player/MciPlayback.h"
#include "platform/mci/recorder/MciRecorder.h"
#include "platform/mci/midi/MidiSynth.h"
#include "platform/ui/Ui.h"

namespace plat {

// Messages and flags of the command interface, and the wave-audio device type id.
enum : uint32_t {
  MCI_OPEN = 0x0803,
  MCI_CLOSE = 0x0804,
  MCI_STOP = 0x0808,
  MCI_PAUSE = 0x0809,
  MCI_SET = 0x080D,
  MCI_RECORD = 0x080F,
  MCI_SAVE = 0x0813,
  MCI_RESUME = 0x0855,
};
enum : uint32_t {
  MCI_WAIT = 0x2,
  MCI_SAVE_FILE = 0x100,
  MCI_OPEN_ELEMENT = 0x200,
  MCI_OPEN_TYPE_ID = 0x1000,
  MCI_OPEN_TYPE = 0x2000,
  MCI_WAVE_SET_FORMATTAG = 0x10000,
  MCI_WAVE_SET_CHANNELS = 0x20000,
  MCI_WAVE_SET_SAMPLESPERSEC = 0x40000,
  MCI_WAVE_SET_AVGBYTESPERSEC = 0x80000,
  MCI_WAVE_SET_BLOCKALIGN = 0x100000,
  MCI_WAVE_SET_BITSPERSAMPLE = 0x200000,
};
enum : uint32_t { MCI_DEVTYPE_WAVEFORM_AUDIO = 522 };

struct MCI_OPEN_PARMS {
  uintptr_t dwCallback = 0;
  uint32_t wDeviceID = 0;          // set by MCI_OPEN
  uint32_t wDeviceType = 0;        // with MCI_OPEN_TYPE_ID
  const char* lpstrElementName = nullptr;
};
struct MCI_WAVE_SET_PARMS {
  uintptr_t dwCallback = 0;
  WaveFormat format;
};
struct MCI_SAVE_PARMS {
  uintptr_t dwCallback = 0;
  const char* lpfilename = nullptr;  // Windows path
};
struct MCI_GENERIC_PARMS {
  uintptr_t dwCallback = 0;
};

class MciHost {
 public:
  explicit MciHost(UiHost& ui);
  ~MciHost();
  MciHost(const MciHost&) = delete;
  MciHost& operator=(const MciHost&) = delete;

  // The ALSA device sound goes to and comes from ("default" falls back to "null").
  void SetAudioDevice(std::string name) { audiodev_ = std::move(name); }
  const std::string& AudioDevice() const { return audiodev_; }
  // The folder (Windows path) where recordings are streamed before they are saved.
  void SetWorkFolder(std::string folder) { workFolder_ = std::move(folder); }
  // The General MIDI SoundFont (Windows path; "" FluidSynth's or Debian's default).
  void SetSoundFont(std::string path) { soundFont_ = std::move(path); }

  // The surface of a window that video devices open as their parent ("parent N")
  // paint their pictures into; nullptr takes it away. The surface must stay while set.
  void SetWindowSurface(uintptr_t window, Bitmap* surface);
  // Paints the video windows of a parent over what it painted itself.
  void PaintChildren(uintptr_t window);

  // Runs a command string; the reply (NUL-terminated) goes to reply when it fits
  // replyLength bytes, else the result is MCIERR_PARAM_OVERFLOW. window is the
  // caller's window, for the child windows of video devices.
  MCIERROR SendString(std::string_view command, char* reply, unsigned replyLength, uintptr_t window = 0);
  // Runs a command with a parameter block of the type its message takes:
  // MCI_OPEN_PARMS for MCI_OPEN, MCI_WAVE_SET_PARMS for MCI_SET, MCI_SAVE_PARMS for
  // MCI_SAVE, MCI_GENERIC_PARMS (or none) for the others.
  MCIERROR SendCommand(uint32_t device, uint32_t message, uint32_t flags, void* params);

  // The output volumes: low word left, high word right, each 0 to 0xFFFF; full at start.
  uint32_t WaveVolume() const { return waveVolume_; }
  void SetWaveVolume(uint32_t volume) { waveVolume_ = volume; }
  uint32_t MidiVolume() const { return midiVolume_; }
  void SetMidiVolume(uint32_t volume) { midiVolume_ = volume; }

  // Brings every device's sound up to the clock.
  void Pump();
  // The open playback device of a name, or nullptr.
  MciPlaybackDevice* Find(std::string_view name);
  // A recording device that reached the most a WAV file holds and stopped there.
  bool RecorderFull(uint32_t device) const;
  // The system's reason (UTF-8) a recording device's save failed; "" none.
  std::string RecorderFailure(uint32_t device) const;
  // Why a recording device stopped on its own when its work file could take no more
  // (UTF-8, the disk named); "" while it records. Device 0: any recording device.
  std::string RecorderWorkFailure(uint32_t device) const;

 private:
  MCIERROR Open(const std::string& name, const std::vector<std::string>& args, char* reply, unsigned replyLength);
  MCIERROR Run(MciPlaybackDevice& device, const std::string& verb, const std::vector<std::string>& args, std::string& reply);
  void Close(const std::string& name);
  void KeepPumping();
  void Paint(MciPlaybackDevice& device);
  // The synthesizer of the sequencers, made on first use; nullptr (said once on
  // standard error) without FluidSynth or a SoundFont.
  MidiSynth* Synth();

  UiHost& ui_;
  std::string audiodev_ = "default";
  std::string workFolder_;
  std::string soundFont_;
  std::unique_ptr<MidiSynth> synth_;  // before the devices, which use it
  bool synthTried_ = false;
  bool silenceNoted_ = false;  // "no sound card: silence recorded" said once
  std::map<uintptr_t, Bitmap*> surfaces_;
  std::map<std::string, std::unique_ptr<MciPlaybackDevice>> devices_;  // by upper-case name
  std::map<uint32_t, std::unique_ptr<MciRecordDevice>> recorders_;
  uint32_t nextId_ = 1;
  uint32_t waveVolume_ = 0xFFFFFFFF;
  uint32_t midiVolume_ = 0xFFFFFFFF;
};

}  // namespace plat
