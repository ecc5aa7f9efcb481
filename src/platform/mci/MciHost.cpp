// The command-string interpreter. It knows the strings the player sends: open (as
// sequencer, waveaudio or a child window), set time format, status length,
// position and nominal frame rate, play [from], pause, resume, stop, seek, step,
// where, put, window and close; "wait" and "notify" are taken and ignored. Times
// are milliseconds. Anything else is refused with its MCI error. A video device's
// window paints its picture into its parent's surface whenever the sound is brought
// up to the clock and after every command to it.
#include "platform/mci/Mci.h"

#include <algorithm>
#include <cstring>

#include "base/AsciiCase.h"
#include "platform/mci/MciParse.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"

namespace plat {
namespace {

constexpr int kPumpTimer = 1;
constexpr uint32_t kPumpMs = 20;

// The key of a device name: ASCII letters in upper case, double-byte characters kept.
std::string NameKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 0; i < key.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(key[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      key[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return key;
}

MCIERROR WriteReply(const std::string& text, char* reply, unsigned length) {
  if (!reply || length == 0) return 0;
  if (text.size() + 1 > length) {
    reply[0] = '\0';
    return MCIERR_PARAM_OVERFLOW;
  }
  std::memcpy(reply, text.c_str(), text.size() + 1);
  return 0;
}

// The argument words without the "wait" and "notify" flags.
std::vector<std::string> Words(const std::vector<std::string>& args) {
  std::vector<std::string> words;
  for (const std::string& a : args) {
    if (a != "wait" && a != "notify") words.push_back(a);
  }
  return words;
}

// Reads "keyword N" at words[i]; advances i past it.
MCIERROR TakeInteger(const std::vector<std::string>& words, size_t& i, int64_t& value) {
  if (i + 1 >= words.size()) return MCIERR_MISSING_PARAMETER;
  const auto n = ParseMciInteger(words[i + 1]);
  if (!n) return MCIERR_BAD_INTEGER;
  value = *n;
  i += 2;
  return 0;
}

}  // namespace

MciHost::MciHost(UiHost& ui) : ui_(ui) {}

MciHost::~MciHost() {
  ui_.KillTimers(this);
  for (auto& [name, device] : devices_) device->Close(ui_.NowMs(), waveVolume_);
  for (auto& [id, recorder] : recorders_) recorder->Close(ui_.NowMs());
}

MciPlaybackDevice* MciHost::Find(std::string_view name) {
  const auto it = devices_.find(NameKey(name));
  return it == devices_.end() ? nullptr : it->second.get();
}

void MciHost::SetWindowSurface(uintptr_t window, Bitmap* surface) {
  if (surface) {
    surfaces_[window] = surface;
  } else {
    surfaces_.erase(window);
  }
}

void MciHost::Paint(MciPlaybackDevice& device) {
  if (!device.HasWindow() || device.parent == 0) return;
  const auto it = surfaces_.find(device.parent);
  if (it != surfaces_.end()) device.Paint(ui_.NowMs(), *it->second);
}

void MciHost::PaintChildren(uintptr_t window) {
  for (auto& [name, device] : devices_) {
    if (device->parent == window) Paint(*device);
  }
}

MidiSynth* MciHost::Synth() {
  if (synthTried_) return synth_.get();
  synthTried_ = true;
  std::string host;
  if (!soundFont_.empty()) host = ToHostPath(soundFont_).value_or(soundFont_);
  std::string why;
  // FluidSynth would wait without end on a named pipe: only a regular file is loaded.
  const auto info = soundFont_.empty() ? std::nullopt : Stat(soundFont_);
  if (info && (info->isSpecial || info->isDirectory)) {
    why = host + " (通常のファイルではありません)";
  } else {
    synth_ = MidiSynth::Create(host, &why);
  }
  if (!synth_ && !why.empty()) {
    ui_.NoteUtf8("MIDI の音色 (SoundFont) を読めません: " + why + " (設定 soundfont)。MIDI は音なしで再生します。");
  }
  return synth_.get();
}

void MciHost::Pump() {
  const uint64_t now = ui_.NowMs();
  for (auto& [name, device] : devices_) {
    device->Feed(now, device->GetType() == MciPlaybackDevice::Type::Sequencer ? midiVolume_ : waveVolume_);
    Paint(*device);
  }
  for (auto& [id, recorder] : recorders_) recorder->Pump(now);
  KeepPumping();
}

// The pump timer runs while something plays or records.
void MciHost::KeepPumping() {
  const bool busy =
      std::any_of(devices_.begin(), devices_.end(),
                  [](const auto& d) { return d.second->GetMode() == MciPlaybackDevice::Mode::Playing; }) ||
      std::any_of(recorders_.begin(), recorders_.end(), [](const auto& r) { return r.second->Recording(); });
  if (busy && !ui_.HasTimer(this, kPumpTimer)) {
    ui_.SetTimer(this, kPumpTimer, kPumpMs, [this](int) { Pump(); });
  } else if (!busy) {
    ui_.KillTimer(this, kPumpTimer);
  }
}

MCIERROR MciHost::SendString(std::string_view command, char* reply, unsigned replyLength, uintptr_t /*window*/) {
  if (reply && replyLength > 0) reply[0] = '\0';
  MciStringCommand cmd;
  if (const MCIERROR bad = ParseMciString(command, cmd)) return bad;
  Pump();
  if (cmd.verb == "open") return Open(cmd.device, cmd.args, reply, replyLength);
  MciPlaybackDevice* device = Find(cmd.device);
  if (!device) return MCIERR_INVALID_DEVICE_NAME;
  if (cmd.verb == "close") {
    if (!Words(cmd.args).empty()) return MCIERR_UNRECOGNIZED_KEYWORD;
    Close(cmd.device);
    KeepPumping();
    return 0;
  }
  std::string text;
  const MCIERROR result = Run(*device, cmd.verb, Words(cmd.args), text);
  Paint(*device);
  KeepPumping();
  if (result != 0) return result;
  return WriteReply(text, reply, replyLength);
}

MCIERROR MciHost::Open(const std::string& name, const std::vector<std::string>& args, char* reply, unsigned replyLength) {
  if (Find(name)) return MCIERR_DEVICE_OPEN;
  const std::vector<std::string> words = Words(args);
  std::string type;
  bool child = false;
  uintptr_t parent = 0;
  for (size_t i = 0; i < words.size();) {
    int64_t value = 0;
    if (words[i] == "type" && i + 1 < words.size()) {
      type = words[i + 1];
      i += 2;
    } else if (words[i] == "buffer" || words[i] == "parent") {
      if (const MCIERROR bad = TakeInteger(words, i, value)) return bad;
      if (words[i - 2] == "parent") {
        child = true;
        parent = static_cast<uintptr_t>(value);
      }
    } else if (words[i] == "style" && i + 1 < words.size()) {
      child = true;
      i += 2;
    } else {
      return words[i] == "type" || words[i] == "style" ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
    }
  }
  MciPlaybackDevice::Type kind = MciPlaybackDevice::Type::WaveAudio;
  if (type == "sequencer") {
    kind = MciPlaybackDevice::Type::Sequencer;
  } else if (type == "waveaudio") {
    kind = MciPlaybackDevice::Type::WaveAudio;
  } else if (type == "avivideo" || type == "mpegvideo" || type == "digitalvideo") {
    kind = MciPlaybackDevice::Type::DigitalVideo;
  } else if (!type.empty()) {
    return MCIERR_INVALID_DEVICE_NAME;
  } else if (EndsWithNoCase(name, ".mid") || EndsWithNoCase(name, ".midi") || EndsWithNoCase(name, ".rmi")) {
    kind = MciPlaybackDevice::Type::Sequencer;
  } else if (child) {
    kind = MciPlaybackDevice::Type::DigitalVideo;
  } else if (const auto host = ToHostPath(name)) {
    // Opened by its file alone: a file with pictures is a video.
    const auto info = ProbeMedia(*host);
    if (info && info->hasVideo) kind = MciPlaybackDevice::Type::DigitalVideo;
  }
  std::unique_ptr<MciPlaybackDevice> device;
  MidiSynth* synth = kind == MciPlaybackDevice::Type::Sequencer ? Synth() : nullptr;
  if (const MCIERROR bad = MciPlaybackDevice::Open(name, kind, synth, device)) return bad;
  if (device->HasWindow()) {
    device->window[2] = device->Info().width;
    device->window[3] = device->Info().height;
    device->parent = parent;
  }
  devices_[NameKey(name)] = std::move(device);
  return WriteReply("", reply, replyLength);
}

void MciHost::Close(const std::string& name) {
  const auto it = devices_.find(NameKey(name));
  if (it == devices_.end()) return;
  it->second->Close(ui_.NowMs(), waveVolume_);
  devices_.erase(it);
}

MCIERROR MciHost::Run(MciPlaybackDevice& device, const std::string& verb, const std::vector<std::string>& words,
                      std::string& reply) {
  const uint64_t now = ui_.NowMs();
  const bool video = device.GetType() == MciPlaybackDevice::Type::DigitalVideo;
  auto is = [&](std::initializer_list<const char*> expected) {
    if (words.size() != expected.size()) return false;
    size_t i = 0;
    for (const char* w : expected) {
      if (words[i++] != w) return false;
    }
    return true;
  };
  if (verb == "play") {
    if (words.empty()) return device.Play(now, audiodev_);
    size_t i = 0;
    int64_t from = 0;
    if (words[0] != "from") return MCIERR_UNRECOGNIZED_KEYWORD;
    if (const MCIERROR bad = TakeInteger(words, i, from)) return bad;
    if (i != words.size()) return MCIERR_UNRECOGNIZED_KEYWORD;
    return device.Play(now, from, audiodev_);
  }
  if (verb == "stop" || verb == "pause") {
    if (!words.empty()) return MCIERR_UNRECOGNIZED_KEYWORD;
    device.Stop(now, verb == "pause" ? MciPlaybackDevice::Mode::Paused : MciPlaybackDevice::Mode::Stopped);
    return 0;
  }
  if (verb == "resume") return words.empty() ? device.Resume(now, audiodev_) : MCIERR_UNRECOGNIZED_KEYWORD;
  if (verb == "seek") {
    if (is({"to", "start"})) {
      device.Seek(now, 0);
    } else if (is({"to", "end"})) {
      device.Seek(now, device.Length());
    } else {
      size_t i = 0;
      int64_t to = 0;
      if (words.empty() || words[0] != "to") return words.empty() ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
      if (const MCIERROR bad = TakeInteger(words, i, to)) return bad;
      if (i != words.size()) return MCIERR_UNRECOGNIZED_KEYWORD;
      if (to < 0 || to > device.Length()) return MCIERR_OUTOFRANGE;
      device.Seek(now, to);
    }
    return 0;
  }
  if (verb == "step") {
    if (!video) return MCIERR_UNSUPPORTED_FUNCTION;
    int64_t by = 1;
    size_t i = 0;
    if (!words.empty() && words[0] != "by" && words[0] != "reverse") return MCIERR_UNRECOGNIZED_KEYWORD;
    if (!words.empty() && words[0] == "by") {
      if (const MCIERROR bad = TakeInteger(words, i, by)) return bad;
    }
    if (i < words.size() && words[i] == "reverse") {
      by = -by;
      ++i;
    }
    if (i != words.size()) return MCIERR_UNRECOGNIZED_KEYWORD;
    device.Step(now, by);
    return 0;
  }
  if (verb == "set") {
    if (is({"time", "format", "milliseconds"}) || is({"time", "format", "ms"})) return 0;
    if (words.size() == 3 && words[0] == "time" && words[1] == "format") return MCIERR_BAD_TIME_FORMAT;
    return words.empty() ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
  }
  if (verb == "status") {
    if (is({"length"})) {
      reply = std::to_string(device.Length());
    } else if (is({"position"})) {
      reply = std::to_string(device.Position(now));
    } else if (is({"nominal", "frame", "rate"}) || is({"frame", "rate"})) {
      if (!video) return MCIERR_UNSUPPORTED_FUNCTION;
      reply = std::to_string(device.Info().frameRateMilli);
    } else {
      return words.empty() ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
    }
    return 0;
  }
  if (verb == "where" || verb == "put" || verb == "window") {
    if (!device.HasWindow()) return video ? MCIERR_NO_WINDOW : MCIERR_UNSUPPORTED_FUNCTION;
    if (verb == "where") {
      if (!is({"window"}) && !is({"destination"})) return MCIERR_UNRECOGNIZED_KEYWORD;
      reply = std::to_string(device.window[0]) + " " + std::to_string(device.window[1]) + " " +
              std::to_string(device.window[2]) + " " + std::to_string(device.window[3]);
      return 0;
    }
    if (verb == "put") {
      if (words.size() != 6 || words[0] != "window" || words[1] != "at") return MCIERR_UNRECOGNIZED_KEYWORD;
      int rect[4];
      for (int k = 0; k < 4; ++k) {
        const auto n = ParseMciInteger(words[2 + k]);
        if (!n) return MCIERR_BAD_INTEGER;
        rect[k] = static_cast<int>(*n);
      }
      std::copy(rect, rect + 4, device.window);
      return 0;
    }
    if (words.size() == 2 && words[0] == "state") {
      static const char* const kStates[] = {"restore", "show", "hide", "minimize", "maximize", "normal"};
      const bool known = std::find(std::begin(kStates), std::end(kStates), words[1]) != std::end(kStates);
      return known ? MCIERROR{0} : MCIERROR{MCIERR_UNRECOGNIZED_KEYWORD};
    }
    return MCIERR_UNRECOGNIZED_KEYWORD;
  }
  return MCIERR_UNRECOGNIZED_COMMAND;
}

bool MciHost::RecorderFull(uint32_t device) const {
  const auto it = recorders_.find(device);
  return it != recorders_.end() && it->second->Full();
}

std::string MciHost::RecorderFailure(uint32_t device) const {
  const auto it = recorders_.find(device);
  return it == recorders_.end() ? std::string() : it->second->Failure();
}

std::string MciHost::RecorderWorkFailure(uint32_t device) const {
  for (const auto& [id, recorder] : recorders_) {
    if ((device == 0 || id == device) && !recorder->WorkFailure().empty()) return recorder->WorkFailure();
  }
  return "";
}

MCIERROR MciHost::SendCommand(uint32_t id, uint32_t message, uint32_t flags, void* params) {
  Pump();
  const uint64_t now = ui_.NowMs();
  if (message == MCI_OPEN) {
    auto* open = static_cast<MCI_OPEN_PARMS*>(params);
    if (!open) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_OPEN_TYPE) || !(flags & MCI_OPEN_TYPE_ID) || open->wDeviceType != MCI_DEVTYPE_WAVEFORM_AUDIO) {
      return MCIERR_INVALID_DEVICE_NAME;
    }
    // Only a new recording: an element that names a file is not recorded into here.
    if ((flags & MCI_OPEN_ELEMENT) && open->lpstrElementName && open->lpstrElementName[0] != '\0') {
      return MCIERR_UNSUPPORTED_FUNCTION;
    }
    const uint32_t newId = nextId_++;
    auto recorder = std::make_unique<MciRecordDevice>();
    const std::string work = workFolder_ + "\\PelnorRec" + std::to_string(newId) + ".tmp";
    if (const MCIERROR bad = recorder->Open(audiodev_, work)) return bad;
    if (recorder->Silent() && audiodev_ != "null" && !silenceNoted_) {
      silenceNoted_ = true;
      ui_.NoteUtf8("録音: サウンド カードがありません (ALSA の " + audiodev_ +
                   " を開けません)。null デバイスで無音を録音します (設定 audiodev)。");
    }
    recorders_[newId] = std::move(recorder);
    open->wDeviceID = newId;
    return 0;
  }
  const auto it = recorders_.find(id);
  if (it == recorders_.end()) return MCIERR_INVALID_DEVICE_ID;
  MciRecordDevice& recorder = *it->second;
  MCIERROR result = 0;
  switch (message) {
    case MCI_SET: {
      const auto* set = static_cast<const MCI_WAVE_SET_PARMS*>(params);
      if (!set) return MCIERR_NULL_PARAMETER_BLOCK;
      WaveFormat f = recorder.Format();
      if (flags & MCI_WAVE_SET_FORMATTAG) f.formatTag = set->format.formatTag;
      if (flags & MCI_WAVE_SET_CHANNELS) f.channels = set->format.channels;
      if (flags & MCI_WAVE_SET_SAMPLESPERSEC) f.samplesPerSec = set->format.samplesPerSec;
      if (flags & MCI_WAVE_SET_AVGBYTESPERSEC) f.avgBytesPerSec = set->format.avgBytesPerSec;
      if (flags & MCI_WAVE_SET_BLOCKALIGN) f.blockAlign = set->format.blockAlign;
      if (flags & MCI_WAVE_SET_BITSPERSAMPLE) f.bitsPerSample = set->format.bitsPerSample;
      result = recorder.SetFormat(f);
      break;
    }
    case MCI_RECORD: result = recorder.Record(now); break;
    case MCI_PAUSE: recorder.Pause(now); break;
    case MCI_RESUME: recorder.Resume(now); break;
    case MCI_STOP: recorder.Stop(now); break;
    case MCI_SAVE: {
      const auto* save = static_cast<const MCI_SAVE_PARMS*>(params);
      if (!save || !(flags & MCI_SAVE_FILE) || !save->lpfilename) return MCIERR_MISSING_PARAMETER;
      result = recorder.Save(save->lpfilename);
      break;
    }
    case MCI_CLOSE:
      recorder.Close(now);
      recorders_.erase(it);
      break;
    default: result = MCIERR_UNRECOGNIZED_COMMAND; break;
  }
  KeepPumping();
  return result;
}

}  // namespace plat
