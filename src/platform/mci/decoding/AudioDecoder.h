// The sound of a media file as 16-bit signed interleaved samples at the file's own
// rate, mono or stereo (more channels are mixed down to two), decoded on demand by
// FFmpeg's libavcodec and converted by libswresample.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mci/SoundSource.h"

namespace plat {

struct FfmpegFunctions;
enum class FfmpegOpen;

class AudioDecoder : public SoundSource {
 public:
  AudioDecoder();
  ~AudioDecoder() override;
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // Opens the first audio stream of a file; false when there is none, it cannot be
  // decoded or FFmpeg cannot be loaded (*why, when given, says which).
  bool Open(const std::string& hostPath, FfmpegOpen* why = nullptr);
  int Rate() const override { return rate_; }
  int Channels() const override { return channels_; }
  int64_t Read(int16_t* out, int64_t frames) override;
  bool SeekFrame(int64_t frame) override;
  int64_t Position() const override { return position_; }

 private:
  struct Context;
  bool Refill();
  bool MakeConverter();
  void Close();

  const FfmpegFunctions* av_ = nullptr;  // FFmpeg, loaded by the first Open
  std::unique_ptr<Context> cx_;
  std::string path_;             // the file opened, read again by a seek near its start
  int rate_ = 0;
  int channels_ = 0;
  int64_t position_ = 0;
  int64_t skip_ = 0;             // frames to drop after a seek before the target
  std::vector<int16_t> pending_; // decoded frames not yet read
  size_t pendingAt_ = 0;         // samples of pending_ already read
  bool ended_ = false;
  bool seeking_ = false;         // the next decoded frame sets skip_ from its time stamp
  int64_t seekTarget_ = 0;
};

}  // namespace plat
