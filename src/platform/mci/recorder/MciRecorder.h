// The wave-audio recording device of the MCI command interface. Samples come from
// the ALSA capture device at the clock's pace: after t ms of recording (paused time
// left out) the recording holds t x rate / 1000 frames, counted in 64 bits. They are
// streamed to a work file, never held in memory; saving writes the 44-byte PCM WAV
// header and copies them behind it. A write of the work file that fails (its disk
// full) stops the recording there: what it holds up to then is saved whole.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mci/AlsaPcm.h"
#include "platform/os/Files.h"
#include "platform/mci/MciErrors.h"

namespace plat {

struct WaveFormat {
  uint32_t formatTag = 1;  // PCM
  uint32_t channels = 2;
  uint32_t samplesPerSec = 44100;
  uint32_t avgBytesPerSec = 176400;
  uint32_t blockAlign = 4;
  uint32_t bitsPerSample = 16;
};

// The 44-byte header of a PCM WAV file holding dataBytes of samples.
std::string WaveHeader(const WaveFormat& format, uint32_t dataBytes);

// The most sample bytes a PCM WAV file can state (its RIFF sizes are 32 bits).
constexpr int64_t kMaxWaveDataBytes = 0xFFFFFFFFLL - 44;

class MciRecordDevice {
 public:
  // maxDataBytes: where the recording stops (a WAV file's limit; smaller in tests).
  explicit MciRecordDevice(int64_t maxDataBytes = kMaxWaveDataBytes) : maxDataBytes_(maxDataBytes) {}
  // Opens the capture device; workFile is the Windows path the samples go to.
  MCIERROR Open(const std::string& audiodev, std::string workFile);
  // Only 16-bit PCM, one or two channels, with matching block and byte rates.
  MCIERROR SetFormat(const WaveFormat& format);
  MCIERROR Record(uint64_t now);
  void Pause(uint64_t now);
  void Resume(uint64_t now);
  void Stop(uint64_t now);
  // Writes the WAV file (a Windows path); MCIERR_FILE_NOT_SAVED when it cannot.
  MCIERROR Save(const std::string& path);
  void Close(uint64_t now);
  // Takes the frames due at clock time now.
  void Pump(uint64_t now);
  bool Recording() const { return recording_; }
  const WaveFormat& Format() const { return format_; }
  int64_t Frames() const { return frames_; }
  // The recording reached the most a WAV file holds and stopped there.
  bool Full() const { return full_; }
  // The system's reason (UTF-8) the last save failed.
  const std::string& Failure() const { return failure_; }
  // Why the recording stopped on its own before the limit (UTF-8: the work file's
  // disk named, with the system's reason); "" while it can go on.
  const std::string& WorkFailure() const { return workFailure_; }
  // No sound card: "default" fell back to the null device, which records silence.
  bool Silent() const { return pcm_.DeviceName() == "null"; }

 private:
  AlsaPcm pcm_;
  WaveFormat format_;
  std::string workPath_;
  File work_;
  bool recording_ = false;
  bool configured_ = false;
  uint64_t segmentClock_ = 0;  // the clock when recording last started or resumed
  uint64_t doneMs_ = 0;        // recorded time before that
  int64_t frames_ = 0;         // frames in the work file
  int64_t maxDataBytes_;
  bool full_ = false;
  std::string failure_;
  std::string workFailure_;  // a write of the work file failed (a full disk): the recording stopped there
};

}  // namespace plat
