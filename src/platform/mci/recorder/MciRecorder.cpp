#include "platform/mci/recorder/MciRecorder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/text/CodePage.h"

namespace plat {
namespace {

constexpr int64_t kChunkFrames = 4096;
constexpr int64_t kHeaderBytes = 44;

void PutU16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}
void PutU32(std::string& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

std::string WaveHeader(const WaveFormat& f, uint32_t dataBytes) {
  std::string h = "RIFF";
  PutU32(h, dataBytes + 36);
  h += "WAVEfmt ";
  PutU32(h, 16);
  PutU16(h, f.formatTag);
  PutU16(h, f.channels);
  PutU32(h, f.samplesPerSec);
  PutU32(h, f.avgBytesPerSec);
  PutU16(h, f.blockAlign);
  PutU16(h, f.bitsPerSample);
  h += "data";
  PutU32(h, dataBytes);
  return h;
}

MCIERROR MciRecordDevice::Open(const std::string& audiodev, std::string workFile) {
  if (!pcm_.Open(audiodev, AlsaPcm::Direction::Capture)) return MCIERR_HARDWARE;
  workPath_ = std::move(workFile);
  return 0;
}

MCIERROR MciRecordDevice::SetFormat(const WaveFormat& f) {
  if (f.formatTag != 1 || f.bitsPerSample != 16 || f.channels < 1 || f.channels > 2 || f.samplesPerSec < 1000 ||
      f.samplesPerSec > 384000 || f.blockAlign != f.channels * 2 || f.avgBytesPerSec != f.samplesPerSec * f.blockAlign) {
    return MCIERR_OUTOFRANGE;
  }
  if (recording_) return MCIERR_UNSUPPORTED_FUNCTION;
  format_ = f;
  configured_ = false;
  return 0;
}

MCIERROR MciRecordDevice::Record(uint64_t now) {
  if (recording_ || full_ || !workFailure_.empty()) return 0;
  if (!configured_) {
    if (!pcm_.Configure(static_cast<int>(format_.samplesPerSec), static_cast<int>(format_.channels))) return MCIERR_HARDWARE;
    configured_ = true;
  }
  if (!work_.IsOpen() && !CreateWorkFile(work_, workPath_)) return MCIERR_FILE_WRITE;
  segmentClock_ = now;
  recording_ = true;
  return 0;
}

void MciRecordDevice::Pump(uint64_t now) {
  if (!recording_) return;
  const uint64_t ms = doneMs_ + (now - std::min(now, segmentClock_));
  const int64_t maxFrames = maxDataBytes_ / format_.blockAlign;
  const int64_t target = std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(ms, INT64_MAX / 400000) * format_.samplesPerSec / 1000), maxFrames);
  std::vector<int16_t> samples(static_cast<size_t>(kChunkFrames * format_.channels));
  while (frames_ < target) {
    const int64_t n = std::min(kChunkFrames, target - frames_);
    pcm_.Read(samples.data(), n);  // a failed read gives silence: the time still passes
    if (!work_.Write(samples.data(), n * format_.blockAlign)) {
      // The frames written so far stay whole; the part of this chunk is not counted.
      const size_t sep = FindLastSeparator(workPath_);
      workFailure_ = Cp932ToUtf8(ShownPath(sep == std::string::npos ? workPath_ : workPath_.substr(0, sep))) + " (" +
                     std::strerror(errno) + ")";
      break;
    }
    frames_ += n;
  }
  // At the limit, or where the work file could take no more, the recording stops:
  // what it holds is saved whole, and the caller says it was cut.
  if (frames_ >= maxFrames || !workFailure_.empty()) {
    full_ = workFailure_.empty();
    doneMs_ = ms;
    recording_ = false;
  }
}

void MciRecordDevice::Pause(uint64_t now) {
  if (!recording_) return;
  Pump(now);
  doneMs_ += now - std::min(now, segmentClock_);
  recording_ = false;
}

void MciRecordDevice::Resume(uint64_t now) {
  if (recording_ || !work_.IsOpen() || full_ || !workFailure_.empty()) return;
  segmentClock_ = now;
  recording_ = true;
}

void MciRecordDevice::Stop(uint64_t now) { Pause(now); }

MCIERROR MciRecordDevice::Save(const std::string& path) {
  if (!work_.IsOpen()) return MCIERR_FILE_NOT_SAVED;
  const int64_t dataBytes = frames_ * format_.blockAlign;
  File in;
  File out;
  if (!in.Open(workPath_, File::Mode::Read) || !out.Open(path, File::Mode::CreateNew)) {
    failure_ = std::strerror(errno);
    return MCIERR_FILE_NOT_SAVED;
  }
  const std::string header = WaveHeader(format_, static_cast<uint32_t>(dataBytes));
  bool ok = out.Write(header.data(), kHeaderBytes);
  std::vector<char> buffer(1 << 16);
  for (int64_t left = dataBytes; ok && left > 0;) {
    const int64_t got = in.Read(buffer.data(), std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
    ok = got > 0 && out.Write(buffer.data(), got);
    left -= std::max<int64_t>(got, 0);
  }
  if (!ok) failure_ = std::strerror(errno);
  out.Close();
  if (!ok) {
    RemoveFile(path);
    return MCIERR_FILE_NOT_SAVED;
  }
  return 0;
}

void MciRecordDevice::Close(uint64_t now) {
  Stop(now);
  pcm_.Close();
  if (work_.IsOpen()) {
    work_.Close();
    RemoveFile(workPath_);
  }
}

}  // namespace plat
